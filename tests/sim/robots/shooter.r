/* Sweeps the scanner round and fires at whatever it finds. */
main()
{
    int angle, range;
    angle = 0;
    while (1) {
        range = scan(angle, 10);
        if (range > 0) {
            cannon(angle, range);
        } else {
            angle = angle + 20;
        }
    }
}
