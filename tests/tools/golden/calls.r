/* Functions are laid out in name order; only called ones. */
sub(a, b) { return a - b; }
unused(x) { return x; }
add(a, b) int a, b; { return a + b; }
main()
{
    drive(sub(7, 2), add(1, 2));
    scan(cannon(45, 700), 10);
}
