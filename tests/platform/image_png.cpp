// PNG output: a written file reads back with libpng pixel for pixel, and a failure leaves
// no file behind and says why.
#include "image/png_file.h"

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

TEST(ImagePng, WrittenFileReadsBackPixelForPixel) {
    auto directory = ScratchDirectory();
    auto path = (directory / "frame.png").string();
    platform::Image image = Gradient(37, 23);
    std::string error;
    ASSERT_TRUE(platform::WritePngFile(path, image, &error)) << error;

    platform::Image back;
    ASSERT_TRUE(ReadPng(path, &back));
    EXPECT_EQ(back.width, 37);
    EXPECT_EQ(back.height, 23);
    EXPECT_EQ(back.rgba, image.rgba);
    // Only the target is left: the temporary file was renamed onto it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(directory), std::filesystem::directory_iterator()), 1);

    // Writing again replaces the file.
    ASSERT_TRUE(platform::WritePngFile(path, Gradient(5, 4), &error));
    ASSERT_TRUE(ReadPng(path, &back));
    EXPECT_EQ(back.width, 5);
    std::filesystem::remove_all(directory);
}

TEST(ImagePng, FailuresLeaveNoFileAndReportWhy) {
    auto directory = ScratchDirectory();
    std::string error;
    auto missingDirectory = (directory / "missing" / "frame.png").string();
    EXPECT_FALSE(platform::WritePngFile(missingDirectory, Gradient(4, 4), &error));
    EXPECT_NE(error.find(missingDirectory), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(directory / "missing"));

    platform::Image broken = Gradient(4, 4);
    broken.rgba.pop_back();
    error.clear();
    EXPECT_FALSE(platform::WritePngFile((directory / "broken.png").string(), broken, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(platform::WritePngFile((directory / "empty.png").string(), platform::Image{}, nullptr));
    EXPECT_FALSE(platform::WritePngFile("", Gradient(4, 4), nullptr));

    // A directory in the way of the target: the rename fails, nothing else stays.
    std::filesystem::create_directories(directory / "taken.png" / "inside");
    EXPECT_FALSE(platform::WritePngFile((directory / "taken.png").string(), Gradient(4, 4), &error));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(directory), std::filesystem::directory_iterator()), 1);
    std::filesystem::remove_all(directory);
}
