// PNG encoding: a written stream reads back with libpng pixel for pixel, and an image
// whose pixels do not match its size is refused before anything is written.
#include "springdrop/image/png_file.h"

#include <gtest/gtest.h>

#include <png.h>

#include <filesystem>
#include <string>

namespace {

std::filesystem::path ScratchDirectory() {
    auto directory = std::filesystem::temp_directory_path() /
                     ("png-test-" + std::to_string(getpid()) + "-" +
                      testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(directory);
    std::filesystem::create_directories(directory);
    return directory;
}

platform::Image Gradient(int width, int height) {
    platform::Image image;
    image.width = width;
    image.height = height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.rgba.insert(image.rgba.end(), {static_cast<std::uint8_t>(x * 7), static_cast<std::uint8_t>(y * 11),
                                                 static_cast<std::uint8_t>(x ^ y), static_cast<std::uint8_t>(255 - x)});
    return image;
}

bool ReadPng(const std::string& path, platform::Image* out) {
    png_image reader{};
    reader.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&reader, path.c_str())) return false;
    reader.format = PNG_FORMAT_RGBA;
    out->width = static_cast<int>(reader.width);
    out->height = static_cast<int>(reader.height);
    out->rgba.resize(PNG_IMAGE_SIZE(reader));
    return png_image_finish_read(&reader, nullptr, out->rgba.data(), 0, nullptr) != 0;
}

}  // namespace

TEST(ImagePng, WrittenStreamReadsBackPixelForPixel) {
    auto directory = ScratchDirectory();
    auto path = (directory / "frame.png").string();
    platform::Image image = Gradient(37, 23);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::string error;
    ASSERT_TRUE(platform::WritePng(file, image, &error)) << error;
    ASSERT_EQ(std::fclose(file), 0);

    platform::Image back;
    ASSERT_TRUE(ReadPng(path, &back));
    EXPECT_EQ(back.width, 37);
    EXPECT_EQ(back.height, 23);
    EXPECT_EQ(back.rgba, image.rgba);
    std::filesystem::remove_all(directory);
}

TEST(ImagePng, ImagesWhosePixelsDoNotMatchTheirSizeAreRefused) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    platform::Image broken = Gradient(4, 4);
    broken.rgba.pop_back();
    std::string error;
    EXPECT_FALSE(platform::WritePng(file, broken, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(platform::WritePng(file, platform::Image{}, nullptr));
    EXPECT_EQ(std::ftell(file), 0);  // nothing was written
    std::fclose(file);
}
