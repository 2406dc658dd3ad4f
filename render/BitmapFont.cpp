#include "render/BitmapFont.h"

#include <epoxy/gl.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>

namespace kv {

namespace {

// Releases the library and the face however rasterising ends.
struct FreeTypeFace {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~FreeTypeFace() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
};

bool Readable(const char* path) {
    std::FILE* f = std::fopen(path, "rb");
    if (f) std::fclose(f);
    return f != nullptr;
}

// A one-bit FreeType bitmap (rows top down) turned into glBitmap's layout (rows bottom up).
GlyphBitmap FromSlot(FT_GlyphSlot slot) {
    GlyphBitmap g;
    const FT_Bitmap& bitmap = slot->bitmap;
    g.advance = static_cast<float>(slot->advance.x) / 64.0f;
    if (bitmap.pixel_mode != FT_PIXEL_MODE_MONO || bitmap.width == 0 || bitmap.rows == 0) return g;
    g.width = static_cast<int>(bitmap.width);
    g.height = static_cast<int>(bitmap.rows);
    g.xorig = static_cast<float>(-slot->bitmap_left);
    g.yorig = static_cast<float>(g.height - slot->bitmap_top);
    const int rowBytes = (g.width + 7) / 8;
    g.bits.resize(static_cast<size_t>(rowBytes) * g.height);
    for (int row = 0; row < g.height; ++row) {
        const unsigned char* source = bitmap.buffer + static_cast<ptrdiff_t>(row) * bitmap.pitch;
        std::copy(source, source + rowBytes, g.bits.begin() + static_cast<ptrdiff_t>(g.height - 1 - row) * rowBytes);
    }
    return g;
}

// The code point that starts at s[i], or -1 for an ill-formed sequence; i moves past it, or
// past the longest start of a sequence that could have been well formed (at least a byte).
int32_t NextCodePoint(std::string_view s, std::size_t& i) {
    const auto lead = static_cast<uint8_t>(s[i++]);
    if (lead < 0x80) return lead;
    int more = 0;
    int32_t code = 0;
    uint8_t low = 0x80, high = 0xBF;  // the second byte's range, narrower after some leads
    if (lead >= 0xC2 && lead <= 0xDF) {
        more = 1;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        more = 2;
        code = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        more = 3;
        code = lead & 0x07;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
    } else {
        return -1;
    }
    for (; more > 0; --more) {
        if (i >= s.size()) return -1;
        const auto next = static_cast<uint8_t>(s[i]);
        if (next < low || next > high) return -1;
        code = code << 6 | (next & 0x3F);
        low = 0x80;
        high = 0xBF;
        ++i;
    }
    return code;
}

char FontCode(int32_t codePoint) {
    const bool printable = (codePoint >= 0x20 && codePoint < 0x7F) || (codePoint >= 0xA0 && codePoint < kFontCodes);
    return printable ? static_cast<char>(codePoint) : kReplacementCode;
}

}  // namespace

std::string FontFile() {
    static const char* const kPlaces[] = {
#ifdef KV_FONT_FILE
        KV_FONT_FILE,
#endif
        "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
        "/usr/share/fonts/dejavu/DejaVuSans.ttf",
        "/usr/share/fonts/TTF/DejaVuSans.ttf",
    };
    for (const char* place : kPlaces) {
        if (Readable(place)) return place;
    }
    return {};
}

std::optional<FontBitmaps> RasteriseFont(const std::string& file, int cellHeight) {
    FreeTypeFace ft;
    if (file.empty() || FT_Init_FreeType(&ft.library) != 0) return std::nullopt;
    if (FT_New_Face(ft.library, file.c_str(), 0, &ft.face) != 0) return std::nullopt;
    // The cell height runs from the ascender to the descender, as window systems size fonts.
    FT_Size_RequestRec request{FT_SIZE_REQUEST_TYPE_CELL, 0, cellHeight * 64, 0, 0};
    if (FT_Request_Size(ft.face, &request) != 0) return std::nullopt;
    FontBitmaps glyphs;
    for (int code = 0; code < kFontCodes; ++code) {
        // Latin-1 codes are Unicode code points.
        const FT_UInt index = FT_Get_Char_Index(ft.face, static_cast<FT_ULong>(code));
        if (index == 0) continue;
        if (FT_Load_Glyph(ft.face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0) continue;
        glyphs[code] = FromSlot(ft.face->glyph);
    }
    return glyphs;
}

void BuildFontLists(const FontBitmaps& glyphs, uint32_t base) {
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (int code = 0; code < kFontCodes; ++code) {
        const GlyphBitmap& g = glyphs[code];
        glNewList(base + static_cast<GLuint>(code), GL_COMPILE);
        if (g.bits.empty()) {
            // A blank glyph (space, control codes) still advances; an empty bitmap makes the
            // driver report an allocation failure, so it gets one unset pixel.
            static const uint8_t kBlank = 0;
            glBitmap(1, 1, 0, 0, g.advance, 0, &kBlank);
        } else {
            glBitmap(g.width, g.height, g.xorig, g.yorig, g.advance, 0, g.bits.data());
        }
        glEndList();
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
}

std::size_t FitText(std::string_view utf8, const FontBitmaps& glyphs, double maxWidth, std::span<char> out) {
    constexpr std::size_t kDots = 3;
    const std::size_t capacity = out.size() - 1;
    const double dotWidth = glyphs['.'].advance;
    std::size_t count = 0;
    std::size_t cut = 0;  // the codes that leave room for the dots after them, and their width
    double cutWidth = 0;
    double width = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const char code = FontCode(NextCodePoint(utf8, i));
        const double advance = glyphs[static_cast<uint8_t>(code)].advance;
        if (width + advance > maxWidth || count == capacity) {
            count = cut;
            for (std::size_t dot = 0; dot < kDots && cutWidth + dotWidth <= maxWidth; ++dot, cutWidth += dotWidth)
                out[count++] = '.';
            break;
        }
        out[count++] = code;
        width += advance;
        if (width + kDots * dotWidth <= maxWidth && count + kDots <= capacity) {
            cut = count;
            cutWidth = width;
        }
    }
    out[count] = '\0';
    return count;
}

}  // namespace kv
