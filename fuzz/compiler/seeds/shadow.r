g;
f(a, a) { }
main()
{
    int a;
    { int a; a = 2; { int a; a = 3; } }
    if (a) int b; else c = d + e;
    while (g < 3) g = g + 1;
    f(1, 2);
    main();
}
