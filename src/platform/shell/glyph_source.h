// Where the text renderer's glyph bitmaps come from: FreeType with a font found through
// fontconfig in the native build, a glyph atlas rendered by that same path at build time
// in the WebAssembly build. Both hand out the same bitmaps, so text looks the same
// pixel for pixel.
#pragma once

#include <cstdint>
#include <vector>

namespace platform::detail {

// One glyph's coverage bitmap and metrics, in pixels.
struct Glyph {
    int left = 0;     // from the pen position to the bitmap's left edge
    int top = 0;      // from the baseline up to the bitmap's top edge
    int advance = 0;
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> coverage;  // width * height, 0 = none, 255 = full
};

class GlyphSource {
public:
    virtual ~GlyphSource() = default;
    // Pixels from a line's top to its baseline.
    virtual int Ascent() const = 0;
    // The glyph of `code`; false when the font has none for it.
    virtual bool Render(char32_t code, Glyph* glyph) = 0;
};

}  // namespace platform::detail
