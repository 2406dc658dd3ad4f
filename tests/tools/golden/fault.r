/* Divides by zero on its third pass; the machine restarts it from main. */
int n;
main()
{
    n = 3;
    while (1) {
        drive(n, 10 / n);
        n--;
    }
}
