#pragma once
// A running sum of many small terms, compensated (Kahan), so that a fixed tick adds up to
// round battle times. The battle keeps its time so; the machines read theirs from it.

namespace kv {

struct KvKahanSum {
    double value = 0;
    double carry = 0;

    void Add(double term) {
        const double y = term - carry;
        const double after = value + y;
        carry = (after - value) - y;
        value = after;
    }
};

}  // namespace kv
