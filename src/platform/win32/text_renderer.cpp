#include "win32/text_renderer.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>
#include <vector>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

namespace platform::detail {

namespace {

constexpr int kLineHeight = 16;
constexpr char32_t kHangulSyllableGa = 0xAC00;

struct Glyph {
    int left = 0;     // from the pen position to the bitmap's left edge
    int top = 0;      // from the baseline up to the bitmap's top edge
    int advance = 0;
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> coverage;  // width * height, 0 = none, 255 = full
};

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

struct TextRenderer::Impl {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    int ascent = 12;
    std::unordered_map<char32_t, Glyph> glyphs;

    Glyph MissingGlyph(char32_t code) const {
        // An outlined box half a line wide for a visible character, blank for a space.
        Glyph glyph;
        glyph.advance = kLineHeight / 2 + 1;
        if (code == U' ') return glyph;
        glyph.width = kLineHeight / 2;
        glyph.height = ascent;
        glyph.top = ascent;
        glyph.coverage.assign(static_cast<std::size_t>(glyph.width * glyph.height), 0);
        for (int y = 0; y < glyph.height; ++y) {
            for (int x = 0; x < glyph.width; ++x) {
                bool edge = x == 0 || y == 0 || x == glyph.width - 1 || y == glyph.height - 1;
                if (edge) glyph.coverage[static_cast<std::size_t>(y * glyph.width + x)] = 255;
            }
        }
        return glyph;
    }

    Glyph Render(char32_t code) const {
        if (!face || FT_Get_Char_Index(face, code) == 0) return MissingGlyph(code);
        if (FT_Load_Char(face, code, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL) != 0) return MissingGlyph(code);
        const FT_GlyphSlot slot = face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        Glyph glyph;
        glyph.left = slot->bitmap_left;
        glyph.top = slot->bitmap_top;
        glyph.advance = static_cast<int>((slot->advance.x + 32) >> 6);
        glyph.width = static_cast<int>(bitmap.width);
        glyph.height = static_cast<int>(bitmap.rows);
        glyph.coverage.resize(static_cast<std::size_t>(glyph.width * glyph.height));
        for (int y = 0; y < glyph.height; ++y) {
            const unsigned char* row = bitmap.buffer + static_cast<std::ptrdiff_t>(y) * bitmap.pitch;
            std::copy(row, row + glyph.width, glyph.coverage.begin() + static_cast<std::ptrdiff_t>(y * glyph.width));
        }
        return glyph;
    }

    const Glyph& Get(char32_t code) {
        auto found = glyphs.find(code);
        if (found == glyphs.end()) found = glyphs.emplace(code, Render(code)).first;
        return found->second;
    }
};

TextRenderer::TextRenderer(const std::string& fontPath) : impl_(std::make_unique<Impl>()) {
    if (fontPath.empty() || FT_Init_FreeType(&impl_->library) != 0) return;
    if (FT_New_Face(impl_->library, fontPath.c_str(), 0, &impl_->face) != 0) {
        impl_->face = nullptr;
        return;
    }
    // Size the em so that ascender plus descender make one line of kLineHeight pixels.
    FT_Face face = impl_->face;
    int designHeight = face->ascender - face->descender;
    FT_UInt pixelSize = kLineHeight;
    if (FT_IS_SCALABLE(face) && designHeight > 0)
        pixelSize = static_cast<FT_UInt>(std::max(1, kLineHeight * face->units_per_EM / designHeight));
    FT_Set_Pixel_Sizes(face, 0, pixelSize);
    impl_->ascent = std::min(kLineHeight, static_cast<int>((face->size->metrics.ascender + 63) >> 6));
}

TextRenderer::~TextRenderer() {
    if (impl_->face) FT_Done_Face(impl_->face);
    if (impl_->library) FT_Done_FreeType(impl_->library);
}

int TextRenderer::LineHeight() const { return kLineHeight; }

int TextRenderer::Advance(std::u32string_view text) {
    int advance = 0;
    for (char32_t code : text) advance += impl_->Get(code).advance;
    return advance;
}

void TextRenderer::Draw(const PixelRows& target, int x, int y, std::u32string_view text) {
    if (text.empty()) return;
    FillWhite(target, x, y, x + Advance(text), y + kLineHeight);
    int pen = x;
    const int baseline = y + impl_->ascent;
    for (char32_t code : text) {
        const Glyph& glyph = impl_->Get(code);
        for (int gy = 0; gy < glyph.height; ++gy) {
            for (int gx = 0; gx < glyph.width; ++gx) {
                BlendBlack(target, pen + glyph.left + gx, baseline - glyph.top + gy,
                           glyph.coverage[static_cast<std::size_t>(gy * glyph.width + gx)]);
            }
        }
        pen += glyph.advance;
    }
}

FontChoice FindHangulFont() {
    FontChoice choice;
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (!config) return choice;
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("ko"));
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    if (match) {
        FcChar8* file = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file)
            choice.path = reinterpret_cast<const char*>(file);
        FcCharSet* charset = nullptr;
        if (FcPatternGetCharSet(match, FC_CHARSET, 0, &charset) == FcResultMatch && charset)
            choice.hasHangul = FcCharSetHasChar(charset, kHangulSyllableGa) != 0;
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    FcConfigDestroy(config);
    return choice;
}

TextRenderer& GdiTextRenderer() {
    static TextRenderer renderer = [] {
        FontChoice font = FindHangulFont();
        if (!font.hasHangul)
            std::fprintf(stderr, "springdrop: no font with Hangul found; Korean text is drawn as boxes\n");
        return TextRenderer(font.path);
    }();
    return renderer;
}

}  // namespace platform::detail
