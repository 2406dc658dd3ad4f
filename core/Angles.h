#pragma once
// π and the conversions between degrees and radians. The simulation and the machine's
// trigonometric opcodes depend on the exact order of operations: degrees times π, then
// divided by 180 (and radians times 180, then divided by π).

namespace kv {

inline constexpr double kPi = 3.141592653589793;

constexpr double Radians(double degrees) { return degrees * kPi / 180; }
constexpr double Degrees(double radians) { return radians * 180 / kPi; }

}  // namespace kv
