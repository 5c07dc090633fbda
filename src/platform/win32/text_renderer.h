// GDI text drawing: black glyphs on an opaque white box, rendered with FreeType from a
// font that covers Hangul, found through fontconfig.
//
// Draw guarantees: the box spans the run's total advance and one line height from the
// given top-left corner; glyphs are blended black over it by their coverage; a
// character the font lacks is drawn as an outlined box of fixed width. Glyphs are
// rendered once and cached, so redrawing the same runs every frame costs only blending.
#pragma once

#include "win32/shell_state.h"

#include <memory>
#include <string>
#include <string_view>

namespace platform::detail {

class TextRenderer {
public:
    // Renders with the font file at `fontPath`; an empty or unreadable path means no
    // font, and every visible character becomes a box.
    explicit TextRenderer(const std::string& fontPath);
    ~TextRenderer();
    TextRenderer(const TextRenderer&) = delete;
    TextRenderer& operator=(const TextRenderer&) = delete;

    void Draw(const PixelRows& target, int x, int y, std::u32string_view text);
    int LineHeight() const;
    // Sum of the advances of `text`, in pixels.
    int Advance(std::u32string_view text);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The font file that fontconfig matches for Korean text, and whether it has Hangul.
struct FontChoice {
    std::string path;  // empty when fontconfig finds no font at all
    bool hasHangul = false;
};
FontChoice FindHangulFont();

// The renderer TextOutA uses, created on first use from FindHangulFont. When the font
// has no Hangul, exactly one warning line goes to stderr.
TextRenderer& GdiTextRenderer();

}  // namespace platform::detail
