#pragma once
// The bytecode, defined once. Each row: mnemonic, number, whether the operand means
// anything, cost in units of 0.003 s of simulated time, and stack effect: how many values
// the instruction adds to the data stack. CALL counts 0 because the callee removes the
// arguments; the compiler accounts for them at the call.
// "pop two" rows use S[sp-1] (first operand) and S[sp] (second) and leave the result in S[sp-1].

#include <array>
#include <cstdint>

namespace kv {

#define KV_OPCODES(X)                                                                  \
    X(NOP,     0, false,  1,  0)  /* nothing; also a jump label                     */ \
    X(LOADL,   1, true,   1,  0)  /* A = S[sp+k]                                    */ \
    X(STOREL,  2, true,   1,  0)  /* S[sp+k] = A                                    */ \
    X(LOADG,   3, true,   1,  0)  /* A = S[g]                                       */ \
    X(STOREG,  4, true,   1,  0)  /* S[g] = A                                       */ \
    X(ADD,     5, false,  1, -1)  /* pop two: a + b, wrapping                       */ \
    X(SUB,     6, false,  1, -1)  /* pop two: a - b                                 */ \
    X(MUL,     7, false, 10, -1)  /* pop two: a * b, low 32 bits                    */ \
    X(DIV,     8, false, 10, -1)  /* pop two: a / b toward zero; b = 0 faults       */ \
    X(MOD,     9, false, 10, -1)  /* pop two: a % b, sign of a; b = 0 faults        */ \
    X(CALL,   10, true,   1,  0)  /* CS[++csp] = pc; pc = t                         */ \
    X(RET,    11, false,  1,  0)  /* pc = CS[csp--] + 1; empty call stack: Finished */ \
    X(PUSHA,  12, false,  1, +1)  /* S[++sp] = A                                    */ \
    X(PUSHC,  13, true,   1, +1)  /* S[++sp] = v                                    */ \
    X(ALLOC,  14, true,   1, +1)  /* insert a zero at sp + 1 + k                    */ \
    X(POPA,   15, false,  1, -1)  /* A = S[sp--]                                    */ \
    X(JMP,    16, true,   1,  0)  /* pc = t                                         */ \
    X(JZ,     17, true,   1, -1)  /* pop; if it was 0, pc = t                       */ \
    X(LOR,    18, false,  1, -1)  /* pop two: a || b as 0/1                         */ \
    X(LAND,   19, false,  1, -1)  /* pop two: a && b as 0/1                         */ \
    X(NOT,    20, false,  1,  0)  /* top: !a                                        */ \
    X(BOR,    21, false,  1, -1)  /* pop two: a | b                                 */ \
    X(BXOR,   22, false,  1, -1)  /* pop two: a ^ b                                 */ \
    X(BAND,   23, false,  1, -1)  /* pop two: a & b                                 */ \
    X(COMPL,  24, false,  1,  0)  /* top: ~a                                        */ \
    X(EQ,     25, false,  1, -1)  /* pop two: a == b                                */ \
    X(NE,     26, false,  1, -1)  /* pop two: a != b                                */ \
    X(SHL,    27, false,  1, -1)  /* pop two: a << (b & 31)                         */ \
    X(SHR,    28, false,  1, -1)  /* pop two: a >> (b & 31), sign kept              */ \
    X(INC,    29, false,  1,  0)  /* top: a + 1                                     */ \
    X(DEC,    30, false,  1,  0)  /* top: a - 1                                     */ \
    X(NEG,    31, false,  1,  0)  /* top: 0 - a                                     */ \
    X(LT,     32, false,  1, -1)  /* pop two: a < b                                 */ \
    X(GT,     33, false,  1, -1)  /* pop two: a > b                                 */ \
    X(LE,     34, false,  1, -1)  /* pop two: a <= b                                */ \
    X(GE,     35, false,  1, -1)  /* pop two: a >= b                                */ \
    X(SCAN,   36, false,  1, -1)  /* pop two: robot Scan(direction, resolution)     */ \
    X(CANNON, 37, false,  1, -1)  /* pop two: robot Cannon(direction, range)        */ \
    X(DRIVE,  38, false,  1, -1)  /* pop two: robot Drive(direction, speed)         */ \
    X(DAMAGE, 39, false,  1, +1)  /* push robot damage                              */ \
    X(SPEED,  40, false,  1, +1)  /* push robot current speed                       */ \
    X(LOCX,   41, false,  1, +1)  /* push robot x                                   */ \
    X(LOCY,   42, false,  1, +1)  /* push robot y                                   */ \
    X(RAND,   43, false,  5,  0)  /* top: next random value % a; a = 0 faults       */ \
    X(SQRT,   44, false, 20,  0)  /* top: trunc(sqrt(a))                            */ \
    X(SIN,    45, false, 20,  0)  /* top: trunc(sin(a degrees) * 100000)            */ \
    X(COS,    46, false, 20,  0)  /* top: trunc(cos(a degrees) * 100000)            */ \
    X(TAN,    47, false, 20,  0)  /* top: trunc(tan(a degrees) * 100000)            */ \
    X(ATAN,   48, false, 20,  0)  /* top: trunc(atan(a / 100000) in degrees)        */

enum Opcode : int32_t {
#define KV_OPCODE_ENUM(name, number, operand, cost, stack) name = number,
    KV_OPCODES(KV_OPCODE_ENUM)
#undef KV_OPCODE_ENUM
};

inline constexpr int32_t kOpcodeCount = 49;

struct OpcodeInfo {
    const char* mnemonic;
    bool hasOperand;
    int32_t cost;
    int32_t stackEffect;
};

inline constexpr std::array<OpcodeInfo, kOpcodeCount> kOpcodeTable = {{
#define KV_OPCODE_INFO(name, number, operand, cost, stack) {#name, operand, cost, stack},
    KV_OPCODES(KV_OPCODE_INFO)
#undef KV_OPCODE_INFO
}};

// Cost in units; an opcode outside the table does nothing and costs 1 like NOP.
constexpr int32_t CostTable(int32_t op) {
    return op >= 0 && op < kOpcodeCount ? kOpcodeTable[op].cost : 1;
}

// Values the instruction adds to the data stack (negative: removes); 0 outside the table.
constexpr int32_t StackEffect(int32_t op) {
    return op >= 0 && op < kOpcodeCount ? kOpcodeTable[op].stackEffect : 0;
}

constexpr const char* Mnemonic(int32_t op) {
    return op >= 0 && op < kOpcodeCount ? kOpcodeTable[op].mnemonic : "?";
}

}  // namespace kv
