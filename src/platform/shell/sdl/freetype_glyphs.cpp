// The desktop glyph source: FreeType glyphs from the font fontconfig matches for Korean.
#include "springdrop/shell/sdl/freetype_glyphs.h"

#include "springdrop/shell/text_renderer.h"

#include <algorithm>
#include <cstdio>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

namespace platform::detail {

namespace {

constexpr char32_t kHangulSyllableGa = 0xAC00;

class FreeTypeGlyphs final : public GlyphSource {
public:
    ~FreeTypeGlyphs() override {
        if (face_) FT_Done_Face(face_);
        if (library_) FT_Done_FreeType(library_);
    }

    bool Open(const std::string& fontPath) {
        if (FT_Init_FreeType(&library_) != 0) return false;
        if (FT_New_Face(library_, fontPath.c_str(), 0, &face_) != 0) {
            face_ = nullptr;
            return false;
        }
        // Size the em so that ascender plus descender make one line of kTextLineHeight pixels.
        const int designHeight = face_->ascender - face_->descender;
        FT_UInt pixelSize = kTextLineHeight;
        if (FT_IS_SCALABLE(face_) && designHeight > 0)
            pixelSize = static_cast<FT_UInt>(std::max(1, kTextLineHeight * face_->units_per_EM / designHeight));
        FT_Set_Pixel_Sizes(face_, 0, pixelSize);
        ascent_ = std::min(kTextLineHeight, static_cast<int>((face_->size->metrics.ascender + 63) >> 6));
        return true;
    }

    int Ascent() const override { return ascent_; }

    bool Render(char32_t code, Glyph* glyph) override {
        if (FT_Get_Char_Index(face_, code) == 0) return false;
        if (FT_Load_Char(face_, code, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL) != 0) return false;
        const FT_GlyphSlot slot = face_->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        glyph->left = slot->bitmap_left;
        glyph->top = slot->bitmap_top;
        glyph->advance = static_cast<int>((slot->advance.x + 32) >> 6);
        glyph->width = static_cast<int>(bitmap.width);
        glyph->height = static_cast<int>(bitmap.rows);
        glyph->coverage.resize(static_cast<std::size_t>(glyph->width * glyph->height));
        for (int y = 0; y < glyph->height; ++y) {
            const unsigned char* row = bitmap.buffer + static_cast<std::ptrdiff_t>(y) * bitmap.pitch;
            std::copy(row, row + glyph->width, glyph->coverage.begin() + static_cast<std::ptrdiff_t>(y * glyph->width));
        }
        return true;
    }

private:
    FT_Library library_ = nullptr;
    FT_Face face_ = nullptr;
    int ascent_ = 0;
};

}  // namespace

std::unique_ptr<GlyphSource> OpenFreeTypeGlyphs(const std::string& fontPath) {
    if (fontPath.empty()) return nullptr;
    auto glyphs = std::make_unique<FreeTypeGlyphs>();
    if (!glyphs->Open(fontPath)) return nullptr;
    return glyphs;
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
        return TextRenderer(OpenFreeTypeGlyphs(font.path));
    }();
    return renderer;
}

}  // namespace platform::detail
