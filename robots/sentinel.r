/*
 * Sentinel - holds a corner and sweeps its gun over the arena.
 *
 * It runs to the nearest corner, where only a quarter of the circle can hold
 * an enemy, and sweeps that quarter in 20-degree slices. On a contact it
 * narrows the scan to aim and fires; shells land where the enemy was, so a
 * robot that keeps moving is hard to hit, but one that stops is done for.
 */

int home_x, home_y, first, last;

/* Heading from our position to (x, y), 0..359 degrees. */
course(x, y)
{
    dx = x - loc_x();
    dy = y - loc_y();
    if (dx == 0) {
        if (dy > 0) return 90;
        return 270;
    }
    d = atan(dy * 100000 / dx);
    if (dx < 0) d += 180;
    if (d < 0) d += 360;
    return d;
}

/* Straight-line distance from here to (x, y). */
distance(x, y)
{
    dx = x - loc_x();
    dy = y - loc_y();
    return sqrt(dx * dx + dy * dy);
}

/* Drives to (x, y) at half speed, so it can still steer, and stops there. */
go(x, y)
{
    while (distance(x, y) > 40)
        drive(course(x, y), 50);
    drive(0, 0);
}

/* Looks either side of dir with a narrow beam and fires at the closer echo. */
aim(dir, range)
{
    left = scan(dir - 5, 5);
    right = scan(dir + 5, 5);
    if (left > 0 && (right == 0 || left < right)) {
        dir -= 5;
        range = left;
    } else if (right > 0) {
        dir += 5;
        range = right;
    }
    return cannon(dir, range);
}

main()
{
    /* Pick the corner of the quarter we start in. */
    home_x = 40;
    if (loc_x() > 500) home_x = 960;
    home_y = 40;
    if (loc_y() > 500) home_y = 960;
    go(home_x, home_y);

    /* The quarter circle facing the middle of the arena. */
    first = course(500, 500) - 45;
    last = first + 90;
    dir = first;
    while (1) {
        range = scan(dir, 10);
        if (range > 0 && range <= 700) {
            aim(dir, range);
        } else {
            dir += 20;
            if (dir > last) dir = first;
        }
        /* Knocked out of the corner? Go back. */
        if (distance(home_x, home_y) > 80) go(home_x, home_y);
    }
}
