// The page glyph source: glyphs from the atlas rendered at build time.
#include "springdrop/shell/web/glyph_atlas.h"

#include <algorithm>

namespace platform::detail {

namespace {

class AtlasGlyphs final : public GlyphSource {
public:
    int Ascent() const override { return kAtlasAscent; }

    bool Render(char32_t code, Glyph* glyph) override {
        const AtlasGlyph* end = kAtlasGlyphs + kAtlasGlyphCount;
        const AtlasGlyph* found =
            std::lower_bound(kAtlasGlyphs, end, code, [](const AtlasGlyph& g, char32_t c) { return g.code < c; });
        if (found == end || found->code != code) return false;
        glyph->left = found->left;
        glyph->top = found->top;
        glyph->advance = found->advance;
        glyph->width = found->width;
        glyph->height = found->height;
        const std::uint8_t* coverage = kAtlasCoverage + found->coverageOffset;
        glyph->coverage.assign(coverage, coverage + static_cast<std::size_t>(found->width * found->height));
        return true;
    }
};

}  // namespace

std::unique_ptr<GlyphSource> OpenAtlasGlyphs() { return std::make_unique<AtlasGlyphs>(); }

}  // namespace platform::detail
