/* Tries everything that could hurt the game: deep recursion, division by zero, huge
   allocations, out-of-range built-in arguments and an endless loop. */
int depth;

dive(n)
{
    depth = depth + 1;
    return dive(n + 1) + 1;
}

main()
{
    int x;
    drive(-2147483647, 2147483647);
    scan(2147483647, -2147483647);
    cannon(-2147483647, 2147483647);
    x = rand(7);
    if (x == 0) x = 1 / x;
    if (x == 1) dive(0);
    if (x == 2) x = x % 0;
    if (x == 3) while (1) cannon(rand(360), rand(1000));
    while (1) x = x + 1;
}
