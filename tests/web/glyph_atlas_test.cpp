// The glyph atlas the web build draws its overlay from, against the FreeType path it was
// rendered by: every glyph and the ascent identical, a character outside the atlas
// missing (drawn as the box), and whole overlay lines drawn identically by both.
#include "springdrop/shell/web/glyph_atlas.h"
#include "springdrop/shell/sdl/freetype_glyphs.h"
#include "springdrop/shell/text_renderer.h"

#include <gtest/gtest.h>

namespace {

using platform::detail::Glyph;

std::unique_ptr<platform::detail::GlyphSource> DesktopGlyphs() {
    auto glyphs = platform::detail::OpenFreeTypeGlyphs(platform::detail::FindHangulFont().path);
    EXPECT_NE(glyphs, nullptr) << "no font found; the atlas generator refuses to run without one";
    return glyphs;
}

platform::Image WhiteImage(int width, int height) {
    platform::Image image;
    image.width = width;
    image.height = height;
    image.rgba.assign(static_cast<std::size_t>(width * height * 4), 255);
    return image;
}

}  // namespace

TEST(GlyphAtlas, EveryGlyphAndTheAscentMatchTheFreeTypePath) {
    auto desktop = DesktopGlyphs();
    auto atlas = platform::detail::OpenAtlasGlyphs();
    ASSERT_NE(desktop, nullptr);
    EXPECT_EQ(atlas->Ascent(), desktop->Ascent());
    ASSERT_GT(platform::detail::kAtlasGlyphCount, 95u);  // printable ASCII and the Hangul labels
    for (std::size_t i = 0; i < platform::detail::kAtlasGlyphCount; ++i) {
        const char32_t code = platform::detail::kAtlasGlyphs[i].code;
        if (i > 0) {
            EXPECT_LT(platform::detail::kAtlasGlyphs[i - 1].code, code) << "lookups need sorted codes";
        }
        Glyph fromAtlas, fromFont;
        ASSERT_TRUE(atlas->Render(code, &fromAtlas)) << std::hex << static_cast<unsigned>(code);
        ASSERT_TRUE(desktop->Render(code, &fromFont));
        EXPECT_EQ(fromAtlas.left, fromFont.left);
        EXPECT_EQ(fromAtlas.top, fromFont.top);
        EXPECT_EQ(fromAtlas.advance, fromFont.advance);
        EXPECT_EQ(fromAtlas.width, fromFont.width);
        EXPECT_EQ(fromAtlas.height, fromFont.height);
        EXPECT_EQ(fromAtlas.coverage, fromFont.coverage) << std::hex << static_cast<unsigned>(code);
    }
}

TEST(GlyphAtlas, ACharacterOutsideTheAtlasIsMissingAndDrawnAsTheBox) {
    auto atlas = platform::detail::OpenAtlasGlyphs();
    Glyph glyph;
    EXPECT_FALSE(atlas->Render(U'\u4E00', &glyph));
    EXPECT_FALSE(atlas->Render(U'\u001F', &glyph));
    EXPECT_FALSE(atlas->Render(U'\U0010FFFF', &glyph));

    platform::detail::TextRenderer renderer(platform::detail::OpenAtlasGlyphs());
    platform::detail::TextRenderer boxes(nullptr);
    EXPECT_EQ(renderer.Advance(U"\u4E00"), boxes.Advance(U"\u4E00"));
}

TEST(GlyphAtlas, OverlayLinesDrawTheSamePixelsFromBothSources) {
    platform::detail::TextRenderer desktop(DesktopGlyphs());
    platform::detail::TextRenderer web(platform::detail::OpenAtlasGlyphs());
    for (const std::u32string& line : {std::u32string(U"fps_MAX 123.45600"), std::u32string(U"fps_Now inf"),
                                       std::u32string(U"\uCD08\uAE30\uB192\uC774 101.0000")}) {
        platform::Image fromDesktop = WhiteImage(200, 30);
        platform::Image fromWeb = WhiteImage(200, 30);
        desktop.Draw(platform::detail::RowsOf(fromDesktop), 10, 5, line);
        web.Draw(platform::detail::RowsOf(fromWeb), 10, 5, line);
        EXPECT_EQ(fromWeb.rgba, fromDesktop.rgba);
        EXPECT_NE(fromWeb.rgba, WhiteImage(200, 30).rgba) << "the line drew nothing";
    }
}
