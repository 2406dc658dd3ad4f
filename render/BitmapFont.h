#pragma once
// The text face as one-bit glyph bitmaps, one display list per character code, the way
// window systems hand fonts to OpenGL: DejaVu Sans rasterised by FreeType for Latin-1 codes
// 0..254. Rasterising needs no context; only BuildFontLists does.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

inline constexpr int kFontCodes = 255;

// One glyph laid out for glBitmap: rows from the bottom up, each padded to whole bytes,
// leftmost pixel in the high bit.
struct GlyphBitmap {
    int width = 0, height = 0;
    float xorig = 0, yorig = 0;  // bitmap origin relative to the pen on the baseline
    float advance = 0;           // pen movement in pixels
    std::vector<uint8_t> bits;
};

using FontBitmaps = std::array<GlyphBitmap, kFontCodes>;

// The face's file: the one found when the program was configured, else the first of the
// usual places that exists; empty when there is none.
std::string FontFile();

// Rasterises every code at cellHeight pixels from ascender to descender. Codes the face
// lacks (control codes) stay empty. Nothing when the file cannot be read as a face.
std::optional<FontBitmaps> RasteriseFont(const std::string& file, int cellHeight);

// Compiles glyph k into display list base + k. Needs a current context.
void BuildFontLists(const FontBitmaps& glyphs, uint32_t base);

// What stands for a character the font cannot draw: a glyph every reader takes for "some
// character", already in the font.
inline constexpr char kReplacementCode = '?';

// UTF-8 text as the font's codes, one per character: the printable characters of Latin-1
// as themselves, every other character, control codes and each ill-formed sequence as
// kReplacementCode. When the codes' advances add up to more than maxWidth pixels, or there
// are more than out can hold, they are cut and end in "...", all within maxWidth. Writes
// the codes and a terminating zero into out (at least 4 long); returns how many codes.
std::size_t FitText(std::string_view utf8, const FontBitmaps& glyphs, double maxWidth, std::span<char> out);

}  // namespace kv
