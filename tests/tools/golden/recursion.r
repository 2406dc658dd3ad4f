/* Endless recursion ends with a full call stack or data stack, never a crash. */
down(n) { return down(n + 1); }
main() { down(0); }
