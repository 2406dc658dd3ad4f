#pragma once
// The game's procedural textures. Every texture that repeats on a surface tiles seamlessly.

#include "tools/kvassets/Image.h"

namespace kv::gen {

Image GrassTexture(bool dark);
Image BodyTexture(Rgba paint, uint32_t seed);
Image ShellTexture(Rgba paint);
Image GunmetalTexture();   // turret
Image PodTexture();        // launcher pods
Image SteelTexture();      // scanner and wreck fragments
Image WheelTexture();      // tread strip below, hub above
Image FlameSprite();
Image SmokeSprite();
Image MarkSprite();

}  // namespace kv::gen
