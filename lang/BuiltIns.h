#pragma once
// The built-in functions of the robot language: each name, the opcode its stub runs and the
// arguments it takes.

#include <cstdint>

#include "vm/Opcodes.h"

namespace kv {

struct BuiltIn {
    const char* name;
    int32_t opcode;
    int32_t arguments;
};

inline constexpr BuiltIn kBuiltIns[] = {
    {"scan", SCAN, 2}, {"cannon", CANNON, 2}, {"drive", DRIVE, 2}, {"damage", DAMAGE, 0}, {"speed", SPEED, 0},
    {"loc_x", LOCX, 0}, {"loc_y", LOCY, 0},   {"rand", RAND, 1},   {"sqrt", SQRT, 1},     {"sin", SIN, 1},
    {"cos", COS, 1},    {"tan", TAN, 1},      {"atan", ATAN, 1},
};

// The built-in whose stub runs opcode; null for any other opcode.
constexpr const BuiltIn* BuiltInOf(int32_t opcode) {
    for (const BuiltIn& b : kBuiltIns)
        if (b.opcode == opcode) return &b;
    return nullptr;
}

}  // namespace kv
