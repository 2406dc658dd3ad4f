main() { while (1) ; }
