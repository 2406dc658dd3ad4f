f(a, b) int a; long c; { }
main() { f(1, 2); f(1); }
