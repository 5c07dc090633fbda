// GDI text over the presented frame: byte counts cut CP949 text exactly (a cut inside a
// two-byte character draws nothing of it), the opaque white box behind black glyphs,
// runs replaced at the same position, and the composition with presented frames.
#include "support/shell_test_window.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

using win32_test::CreateHeadlessWindow;

namespace {

// "초기높이" in CP949: four two-byte characters.
const char kLabel[] = "\xC3\xCA\xB1\xE2\xB3\xF4\xC0\xCC";

struct Rgba {
    std::uint8_t r, g, b, a;
    bool operator==(const Rgba&) const = default;
};

Rgba PixelAt(const platform::Image& image, int x, int y) {
    const std::uint8_t* p = &image.rgba[(static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) +
                                         static_cast<std::size_t>(x)) * 4];
    return {p[0], p[1], p[2], p[3]};
}

// The client image after drawing `count` bytes of `text` at (10, 10) on a fresh window.
platform::Image ImageOfText(const char* text, int count) {
    static int windowNumber = 0;
    std::string className = "TextWindow" + std::to_string(windowNumber++);
    HWND hwnd = CreateHeadlessWindow(200, 40, win32_test::RecordingProcedure, className.c_str());
    EXPECT_TRUE(TextOutA(GetDC(hwnd), 10, 10, text, count));
    platform::Image image;
    EXPECT_TRUE(platform::ReadClientImage(hwnd, &image));
    return image;
}

int CountDarkPixels(const platform::Image& image) {
    int dark = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            if (PixelAt(image, x, y).r < 100) ++dark;
    return dark;
}

std::vector<std::uint8_t> SolidFrame(int width, int height, Rgba colour) {
    std::vector<std::uint8_t> rgba;
    for (int i = 0; i < width * height; ++i) rgba.insert(rgba.end(), {colour.r, colour.g, colour.b, colour.a});
    return rgba;
}

}  // namespace

TEST(Win32Text, ByteCountCutsAsciiTextExactly) {
    const char* full = "fps_MAX 1000.000000";  // 19 bytes
    ASSERT_EQ(std::strlen(full), 19u);
    platform::Image cut = ImageOfText(full, 17);
    platform::Image shorter = ImageOfText("fps_MAX 1000.0000", 17);
    platform::Image whole = ImageOfText(full, 19);
    EXPECT_EQ(cut.rgba, shorter.rgba);
    EXPECT_NE(cut.rgba, whole.rgba);
    EXPECT_GT(CountDarkPixels(cut), 50);
}

TEST(Win32Text, CutInsideAHangulCharacterDrawsNothingOfIt) {
    platform::Image threeAndAHalf = ImageOfText(kLabel, 7);
    platform::Image three = ImageOfText(kLabel, 6);
    platform::Image four = ImageOfText(kLabel, 8);
    EXPECT_EQ(threeAndAHalf.rgba, three.rgba);
    EXPECT_NE(three.rgba, four.rgba);
    EXPECT_GT(CountDarkPixels(three), 30);

    // The overlay's height line: the label, a blank and the number, cut at 17 bytes.
    std::string line = std::string(kLabel) + " 101.000000";
    EXPECT_EQ(ImageOfText(line.c_str(), 17).rgba, ImageOfText((std::string(kLabel) + " 101.0000").c_str(), 17).rgba);
}

TEST(Win32Text, NothingIsDrawnForZeroBytesAndBadArgumentsFail) {
    platform::Image empty = ImageOfText("abc", 0);
    EXPECT_EQ(CountDarkPixels(empty), 0);
    EXPECT_EQ(PixelAt(empty, 15, 15), (Rgba{255, 255, 255, 255}));
    EXPECT_FALSE(TextOutA(nullptr, 0, 0, "abc", 3));
    HWND hwnd = CreateHeadlessWindow();
    EXPECT_FALSE(TextOutA(GetDC(hwnd), 0, 0, "abc", -1));
    EXPECT_FALSE(TextOutA(reinterpret_cast<HDC>(hwnd), 0, 0, "abc", 3));  // a window is no device context
}

TEST(Win32Text, BlackTextSitsOnAnOpaqueWhiteBoxOverTheFrame) {
    const Rgba blue{0, 0, 255, 255};
    HWND hwnd = CreateHeadlessWindow(100, 60);
    auto frame = SolidFrame(100, 60, blue);
    platform::PresentToWindow(hwnd, frame.data(), 100, 60);
    ASSERT_TRUE(TextOutA(GetDC(hwnd), 10, 20, "Hi", 2));
    platform::Image image;
    ASSERT_TRUE(platform::ReadClientImage(hwnd, &image));

    int minX = 100, maxX = -1, minY = 60, maxY = -1, dark = 0;
    for (int y = 0; y < 60; ++y) {
        for (int x = 0; x < 100; ++x) {
            Rgba p = PixelAt(image, x, y);
            EXPECT_EQ(p.a, 255);
            if (p == blue) continue;
            EXPECT_TRUE(p.r == p.g && p.g == p.b) << "x " << x << " y " << y;  // grey levels only
            if (p.r < 64) ++dark;
            minX = std::min(minX, x);
            maxX = std::max(maxX, x);
            minY = std::min(minY, y);
            maxY = std::max(maxY, y);
        }
    }
    EXPECT_GT(dark, 10);
    EXPECT_EQ(minX, 10);
    EXPECT_EQ(minY, 20);
    EXPECT_EQ(maxY - minY + 1, 16);  // one line of text
    EXPECT_GT(maxX, 15);
    EXPECT_LT(maxX, 40);
    EXPECT_EQ(PixelAt(image, 11, 21), (Rgba{255, 255, 255, 255}));  // box corner, no glyph there
}

TEST(Win32Text, NewTextAtTheSamePositionReplacesTheOldRun) {
    HWND hwnd = CreateHeadlessWindow(200, 40, win32_test::RecordingProcedure, "Replacing");
    HDC hdc = GetDC(hwnd);
    TextOutA(hdc, 10, 10, "WWWWWWWW", 8);
    TextOutA(hdc, 10, 10, "i", 1);
    platform::Image replaced;
    ASSERT_TRUE(platform::ReadClientImage(hwnd, &replaced));
    EXPECT_EQ(replaced.rgba, ImageOfText("i", 1).rgba);

    TextOutA(hdc, 100, 10, "W", 1);  // another place: both runs stay
    platform::Image both;
    ASSERT_TRUE(platform::ReadClientImage(hwnd, &both));
    EXPECT_GT(CountDarkPixels(both), CountDarkPixels(replaced));
}

TEST(Win32Text, TextStaysOverLaterPresentedFrames) {
    const Rgba red{255, 0, 0, 255};
    HWND hwnd = CreateHeadlessWindow(64, 48);
    TextOutA(GetDC(hwnd), 0, 0, "M", 1);
    auto frame = SolidFrame(64, 48, red);
    platform::PresentToWindow(hwnd, frame.data(), 64, 48);
    platform::Image image;
    ASSERT_TRUE(platform::ReadClientImage(hwnd, &image));
    EXPECT_EQ(PixelAt(image, 63, 47), red);
    EXPECT_GT(CountDarkPixels(image), 5);
}

TEST(Win32Text, WithoutAnyHangulFontGlyphsBecomeBoxesAndOneWarningIsPrinted) {
    // A font configuration that knows no fonts at all.
    auto directory = std::filesystem::temp_directory_path() / ("no-fonts-" + std::to_string(getpid()));
    std::filesystem::create_directories(directory / "fonts");
    std::ofstream(directory / "fonts.conf") << "<?xml version=\"1.0\"?>\n<fontconfig><dir>"
                                            << (directory / "fonts").string() << "</dir><cachedir>"
                                            << (directory / "cache").string() << "</cachedir></fontconfig>\n";
    setenv("FONTCONFIG_FILE", (directory / "fonts.conf").c_str(), 1);

    testing::internal::CaptureStderr();
    platform::Image first = ImageOfText(kLabel, 2);
    platform::Image again = ImageOfText(kLabel, 4);
    std::string warnings = testing::internal::GetCapturedStderr();
    std::filesystem::remove_all(directory);

    EXPECT_EQ(std::count(warnings.begin(), warnings.end(), '\n'), 1) << warnings;
    EXPECT_NE(warnings.find("Hangul"), std::string::npos);
    // One box: an outline with white inside, starting at the text's left edge.
    int top = -1, bottom = -1;
    for (int y = 0; y < first.height; ++y) {
        if (PixelAt(first, 10, y).r == 0) {
            if (top < 0) top = y;
            bottom = y;
        }
    }
    ASSERT_GE(top, 10);
    ASSERT_GT(bottom - top, 4);
    EXPECT_EQ(PixelAt(first, 12, (top + bottom) / 2), (Rgba{255, 255, 255, 255}));
    EXPECT_EQ(CountDarkPixels(again), 2 * CountDarkPixels(first));
}
