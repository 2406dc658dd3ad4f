/* Drives to random points and shoots at anything it sees on the way. */
int target_x, target_y;

distance(x1, y1, x2, y2)
{
    int dx, dy;
    dx = x1 - x2;
    dy = y1 - y2;
    return sqrt(dx * dx + dy * dy);
}

heading_to(x, y)
{
    int dx, dy, d;
    dx = x - loc_x();
    dy = y - loc_y();
    if (dx == 0) {
        if (dy > 0) return 90;
        return 270;
    }
    d = atan(dy * 100000 / dx);
    if (dx < 0) d = d + 180;
    return d;
}

main()
{
    int angle, range;
    angle = rand(360);
    while (1) {
        target_x = rand(800) + 100;
        target_y = rand(800) + 100;
        drive(heading_to(target_x, target_y), 50);
        while (distance(loc_x(), loc_y(), target_x, target_y) > 50 && speed() > 0) {
            range = scan(angle, 10);
            if (range > 0) cannon(angle, range);
            else angle = angle + 20;
        }
        drive(0, 0);
        while (speed() > 0) ;
    }
}
