#pragma once
// Last compiler stage: lays the called functions out into one code array in byte-wise
// name order and turns every jump, call and global reference into an absolute index.

#include "lang/Parser.h"
#include "vm/RobotProgram.h"

namespace kv {

// Only after an error-free Parse. Addresses are written back into the parser's records.
RobotProgram Link(Parser& parser);

}  // namespace kv
