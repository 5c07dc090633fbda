// Glyphs rendered with FreeType from a font file, sized so that one line is
// kTextLineHeight pixels, and the font fontconfig matches for Korean text.
#pragma once

#include "springdrop/shell/glyph_source.h"

#include <memory>
#include <string>

namespace platform::detail {

// A glyph source for the font file at `fontPath`; null when the path is empty or the
// file cannot be read as a font.
std::unique_ptr<GlyphSource> OpenFreeTypeGlyphs(const std::string& fontPath);

// The font file that fontconfig matches for Korean text, and whether it has Hangul.
struct FontChoice {
    std::string path;  // empty when fontconfig finds no font at all
    bool hasHangul = false;
};
FontChoice FindHangulFont();

}  // namespace platform::detail
