// A glyph atlas: glyph bitmaps and metrics rendered ahead of time by the native FreeType
// path (tools/glyph_atlas), compiled into a build that has no FreeType at run time, so
// its text matches the native text pixel for pixel.
#pragma once

#include "springdrop/shell/glyph_source.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace platform::detail {

struct AtlasGlyph {
    char32_t code;
    int left;
    int top;
    int advance;
    int width;
    int height;
    std::size_t coverageOffset;  // into kAtlasCoverage; width * height bytes
};

// The generated tables: glyphs sorted by code.
extern const int kAtlasAscent;
extern const AtlasGlyph kAtlasGlyphs[];
extern const std::size_t kAtlasGlyphCount;
extern const std::uint8_t kAtlasCoverage[];

// A glyph source over the generated tables; a character not in them is missing.
std::unique_ptr<GlyphSource> OpenAtlasGlyphs();

}  // namespace platform::detail
