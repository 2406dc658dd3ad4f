main() { }
