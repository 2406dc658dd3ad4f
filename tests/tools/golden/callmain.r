/* A call of main before its definition lands past main's prologue. */
int n;
again() { if (n < 2) main(); }
main() { n++; drive(n, 0); again(); }
