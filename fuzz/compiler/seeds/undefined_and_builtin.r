main() { g(1); scan(1); }
scan(a, b) { }
