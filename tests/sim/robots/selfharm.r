/* Fires shells of range 0 at its own feet as fast as the cannon reloads. */
main()
{
    while (1) cannon(0, 0);
}
