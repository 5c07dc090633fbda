// GDI text drawn from a glyph source onto a window's client image.
#include "springdrop/shell/text_renderer.h"

#include <algorithm>

namespace platform::detail {

namespace {

void BlendBlack(const PixelRows& target, int x, int y, std::uint8_t coverage) {
    if (x < 0 || y < 0 || x >= target.width || y >= target.height || coverage == 0) return;
    std::uint8_t* pixel = target.rgba + static_cast<std::size_t>(y) * target.pitch + static_cast<std::size_t>(x) * 4;
    for (int c = 0; c < 3; ++c) pixel[c] = static_cast<std::uint8_t>(pixel[c] * (255 - coverage) / 255);
    pixel[3] = 255;
}

void FillWhite(const PixelRows& target, int x0, int y0, int x1, int y1) {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, target.width);
    y1 = std::min(y1, target.height);
    for (int y = y0; y < y1; ++y) {
        std::uint8_t* row = target.rgba + static_cast<std::size_t>(y) * target.pitch;
        std::fill(row + static_cast<std::size_t>(x0) * 4, row + static_cast<std::size_t>(x1) * 4, 255);
    }
}

}  // namespace

TextRenderer::TextRenderer(std::unique_ptr<GlyphSource> glyphs) : source_(std::move(glyphs)) {
    if (source_) ascent_ = source_->Ascent();
}

Glyph TextRenderer::MissingGlyph(char32_t code) const {
    // An outlined box half a line wide for a visible character, blank for a space.
    Glyph glyph;
    glyph.advance = kTextLineHeight / 2 + 1;
    if (code == U' ') return glyph;
    glyph.width = kTextLineHeight / 2;
    glyph.height = ascent_;
    glyph.top = ascent_;
    glyph.coverage.assign(static_cast<std::size_t>(glyph.width * glyph.height), 0);
    for (int y = 0; y < glyph.height; ++y) {
        for (int x = 0; x < glyph.width; ++x) {
            bool edge = x == 0 || y == 0 || x == glyph.width - 1 || y == glyph.height - 1;
            if (edge) glyph.coverage[static_cast<std::size_t>(y * glyph.width + x)] = 255;
        }
    }
    return glyph;
}

const Glyph& TextRenderer::Get(char32_t code) {
    auto found = glyphs_.find(code);
    if (found != glyphs_.end()) return found->second;
    Glyph glyph;
    if (!source_ || !source_->Render(code, &glyph)) glyph = MissingGlyph(code);
    return glyphs_.emplace(code, std::move(glyph)).first->second;
}

int TextRenderer::LineHeight() const { return kTextLineHeight; }

int TextRenderer::Advance(std::u32string_view text) {
    int advance = 0;
    for (char32_t code : text) advance += Get(code).advance;
    return advance;
}

void TextRenderer::Draw(const PixelRows& target, int x, int y, std::u32string_view text) {
    if (text.empty()) return;
    FillWhite(target, x, y, x + Advance(text), y + kTextLineHeight);
    int pen = x;
    const int baseline = y + ascent_;
    for (char32_t code : text) {
        const Glyph& glyph = Get(code);
        for (int gy = 0; gy < glyph.height; ++gy) {
            for (int gx = 0; gx < glyph.width; ++gx) {
                BlendBlack(target, pen + glyph.left + gx, baseline - glyph.top + gy,
                           glyph.coverage[static_cast<std::size_t>(gy * glyph.width + gx)]);
            }
        }
        pen += glyph.advance;
    }
}

}  // namespace platform::detail
