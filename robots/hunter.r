/*
 * Hunter - finds the nearest robot and runs it down.
 *
 * It sweeps the whole circle until something answers, then drives straight at
 * it at half speed (fast enough to close in, slow enough to keep steering) and
 * fires whenever the cannon has reloaded. If the target slips out of the beam
 * it looks to both sides of the last bearing before starting a full sweep.
 */

int dir, range;

/* Keeps a heading inside 0..359. */
wrap(d)
{
    while (d < 0) d += 360;
    while (d >= 360) d -= 360;
    return d;
}

/* Sweeps the full circle in 20-degree slices; leaves the bearing in dir. */
sweep()
{
    n = 0;
    while (n < 18) {
        range = scan(dir, 10);
        if (range > 0) return 1;
        dir = wrap(dir + 20);
        n++;
    }
    return 0;
}

/* Narrows the beam around dir; 0 when the target has gone. */
track()
{
    if ((range = scan(dir, 3)) > 0) return 1;
    if ((range = scan(dir - 8, 5)) > 0) { dir = wrap(dir - 8); return 1; }
    if ((range = scan(dir + 8, 5)) > 0) { dir = wrap(dir + 8); return 1; }
    return 0;
}

/* Turns away from a wall that is closer than 60 units ahead. */
avoid_walls()
{
    x = loc_x();
    y = loc_y();
    if (x < 60 || x > 939 || y < 60 || y > 939) {
        drive(0, 0);
        while (speed() > 0) ;
        /* head for the middle until clear */
        if (x < 500) away = 0; else away = 180;
        if (y < 60) away = 90;
        if (y > 939) away = 270;
        drive(away, 50);
        return 1;
    }
    return 0;
}

main()
{
    dir = rand(360);
    while (1) {
        if (sweep()) {
            while (track()) {
                if (range > 120) drive(dir, 50);
                else drive(dir, 0);       /* close enough: stand and shoot */
                cannon(dir, range);
                avoid_walls();
            }
        }
        avoid_walls();
    }
}
