/* Drives at the nearest robot it can find and rams it. */
main()
{
    int angle;
    angle = 0;
    while (1) {
        if (scan(angle, 10) > 0) {
            drive(angle, 100);
            while (scan(angle, 10) > 0) ;
            drive(angle, 0);
        }
        angle = angle + 15;
    }
}
