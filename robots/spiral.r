/*
 * Spiral - never stops moving and shoots at whatever it meets.
 *
 * It drives a widening square spiral around the middle of the arena, so a
 * gunner that aims at its last position keeps missing. Between turns it
 * spins its scanner in 30-degree slices and fires at the first contact
 * within range. Near a wall it shrinks the spiral and starts again.
 */

int leg, heading;

/* Scans one slice of the circle; fires on a contact in range. */
look(dir)
{
    range = scan(dir, 15);
    if (range > 0 && range < 700) {
        /* one finer look to place the shell better */
        if (scan(dir - 7, 7) > 0) dir -= 7;
        else if (scan(dir + 7, 7) > 0) dir += 7;
        cannon(dir, range);
        return 1;
    }
    return 0;
}

/* True when the next leg of the spiral would leave the arena. */
near_wall()
{
    x = loc_x();
    y = loc_y();
    return x < 80 || x > 919 || y < 80 || y > 919;
}

main()
{
    leg = 100;
    heading = 0;
    dir = 0;
    while (1) {
        drive(heading, 50);
        t = 0;
        while (t < leg) {
            look(dir);
            dir += 30;
            if (dir >= 360) dir -= 360;
            t += 25;
        }
        heading += 90;
        if (heading >= 360) heading = 0;
        leg += 25;
        if (near_wall()) {
            /* head back towards the middle and start a small spiral again */
            drive(0, 0);
            while (speed() > 0) ;
            if (loc_x() < 500) heading = 0; else heading = 180;
            leg = 100;
        }
    }
}
