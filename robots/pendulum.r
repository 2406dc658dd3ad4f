/*
 * Pendulum - swings from wall to wall at full speed.
 *
 * Full speed makes it a hard target, but a robot above half speed cannot
 * turn, so at each end it brakes, turns round and accelerates again. On the
 * way it watches the two sides of its lane, where enemies are most likely to
 * be, and fires across. When it takes damage it moves to another lane.
 */

int lane, going_east, last_damage;

/* Brakes to a stop: heading changes only at half speed or less. */
stop()
{
    drive(0, 0);
    while (speed() > 50) ;
}

/* Turns onto a new heading from a standstill. */
turn(dir)
{
    stop();
    drive(dir, 100);
}

/* Looks north and south of the lane and fires across. */
watch()
{
    range = scan(90, 10);
    if (range > 0 && range <= 700) { cannon(90, range); return; }
    range = scan(270, 10);
    if (range > 0 && range <= 700) cannon(270, range);
}

/* Moves to the lane at height y, then carries on east or west. */
change_lane(y)
{
    if (y > loc_y()) turn(90); else turn(270);
    while (loc_y() < y - 20 || loc_y() > y + 20) watch();
    if (going_east) turn(0); else turn(180);
}

main()
{
    lane = 500;
    going_east = 1;
    change_lane(lane);
    last_damage = damage();
    while (1) {
        if (going_east && loc_x() > 850) { going_east = 0; turn(180); }
        if (!going_east && loc_x() < 150) { going_east = 1; turn(0); }
        watch();
        if (damage() > last_damage) {
            last_damage = damage();
            lane = 200 + rand(600);
            change_lane(lane);
        }
    }
}
