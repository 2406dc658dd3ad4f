fact(n) { if (n <= 1) return 1; return n * fact(n - 1); }
gcd(a, b) { while (b) { t = a % b; a = b; b = t; } return a; }
main() {
    x = fact(10) / 7 - -3;
    y = ~x ^ 0 | 5 << 3 >> 1;
    z = !x || y && x != y == 0 <= 1 >= 2 < 3 > 4;
    x += 1; x -= 2; x *= 3; x /= 4; x %= 5; x <<= 1; x >>= 1; x &= 7; x ^= 3; x |= 8;
    a = b = c += 4;
    ++a; b--; --c; a++;
    q = gcd(x + 36, 24) + sin(30) + cos(60) + tan(45) + atan(100000) + sqrt(-1);
    return q;
}
