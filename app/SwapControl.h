#pragma once
// Changing the swap interval of the current context while the game runs, where the window
// system allows it (GLX's or EGL's swap-control functions).

#include <cstdint>

namespace kv {

// With the game's context current: whether the interval can be changed now.
bool SwapIntervalChangeable();
// With the game's context current: sets the interval; false when it cannot.
bool SetSwapInterval(int32_t interval);

}  // namespace kv
