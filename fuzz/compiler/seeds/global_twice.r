x; x;
main() { }
