register f() { }
main() { }
