/* Sweeps the arena with its scanner and fires at whatever it finds. */
int dir, range;

main()
{
    dir = 0;
    while (1) {
        range = scan(dir, 10);
        if (range > 0 && range < 700)
            cannon(dir, range);
        else
            dir += 20;
        dir %= 360;
        drive(dir, 30);
    }
}
