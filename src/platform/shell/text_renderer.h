// GDI text drawing: black glyphs on an opaque white box, from a glyph source (a font
// that covers Hangul).
//
// Draw guarantees: the box spans the run's total advance and one line height from the
// given top-left corner; glyphs are blended black over it by their coverage; a
// character the font lacks is drawn as an outlined box of fixed width. Glyphs are
// rendered once and cached, so redrawing the same runs every frame costs only blending.
#pragma once

#include "springdrop/shell/glyph_source.h"
#include "springdrop/shell/shell_state.h"

#include <memory>
#include <string_view>
#include <unordered_map>

namespace platform::detail {

// Height of one line of text in pixels: the font's ascender plus descender.
constexpr int kTextLineHeight = 16;

class TextRenderer {
public:
    // Renders from `glyphs`; without a source every visible character becomes a box.
    explicit TextRenderer(std::unique_ptr<GlyphSource> glyphs);
    TextRenderer(const TextRenderer&) = delete;
    TextRenderer& operator=(const TextRenderer&) = delete;

    void Draw(const PixelRows& target, int x, int y, std::u32string_view text);
    int LineHeight() const;
    // Sum of the advances of `text`, in pixels.
    int Advance(std::u32string_view text);

private:
    Glyph MissingGlyph(char32_t code) const;
    const Glyph& Get(char32_t code);

    std::unique_ptr<GlyphSource> source_;
    int ascent_ = 12;
    std::unordered_map<char32_t, Glyph> glyphs_;
};

// The renderer TextOutA uses, created on first use from the build's glyph source. When
// that has no Hangul, exactly one warning line goes to stderr.
TextRenderer& GdiTextRenderer();

}  // namespace platform::detail
