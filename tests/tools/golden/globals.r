/* Globals sit at the bottom of the stack, the first declared highest. */
int a, b;
main()
{
    a = 1;
    b = a + 1;
    drive(a, b);
}
