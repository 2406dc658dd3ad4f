#pragma once
// First compiler stage: strips block comments and folds white space, keeping every
// line feed where it stood so that later stages report the lines of the file.

#include <cstdint>
#include <vector>

#include "core/Stream.h"

namespace kv {

// Reads the whole source stream and returns the cleaned text.
std::vector<char> Preprocess(KvIStream& input);

}  // namespace kv
