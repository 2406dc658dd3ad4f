main() { x = 5 }
