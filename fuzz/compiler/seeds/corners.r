int corner;

go(x, y)
int x, y;
{
    auto d;
    d = heading(x, y);
    while (distance(x, y) > 50) {
        drive(d, 100);
        if (speed() == 0) return 0;
    }
    drive(d, 0);
    return 1;
}

heading(x, y)
{
    long dx, dy;
    dx = x - loc_x();
    dy = y - loc_y();
    if (dx == 0) { if (dy > 0) return 90; return 270; }
    return atan(dy * 100000 / dx) + (dx < 0) * 180;
}

distance(x, y)
{
    register dx; dx = x - loc_x();
    int dy; dy = y - loc_y();
    return sqrt(dx * dx + dy * dy);
}

main()
{
    while (damage() < 100) {
        corner = rand(4);
        go((corner & 1) * 900 + 50, (corner >> 1) * 900 + 50);
    }
}
