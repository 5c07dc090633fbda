#include "springdrop/image/png_file.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <png.h>

namespace platform {

namespace {

struct PngFailure {
    char message[256] = "";
};

// Where the encoder's bytes go; a failed write keeps the system's reason (a full disk
// should say so) rather than a bare "write error".
struct PngSink {
    std::FILE* file;
    PngFailure* failure;
};

void OnPngWrite(png_structp png, png_bytep data, png_size_t length) {
    auto* sink = static_cast<PngSink*>(png_get_io_ptr(png));
    if (std::fwrite(data, 1, length, sink->file) == length) return;
    std::snprintf(sink->failure->message, sizeof sink->failure->message, "%s", std::strerror(errno));
    png_longjmp(png, 1);
}

void OnPngFlush(png_structp png) { std::fflush(static_cast<PngSink*>(png_get_io_ptr(png))->file); }

void OnPngError(png_structp png, png_const_charp message) {
    auto* failure = static_cast<PngFailure*>(png_get_error_ptr(png));
    std::snprintf(failure->message, sizeof failure->message, "%s", message);
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// Encodes the image into an open file. Kept free of objects with destructors because
// libpng reports errors by jumping out of it.
bool EncodePng(PngSink* sink, const Image& image, png_bytep* rows, PngFailure* failure) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, failure, OnPngError, OnPngWarning);
    if (!png) {
        std::snprintf(failure->message, sizeof failure->message, "cannot start the PNG encoder");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, sink, OnPngWrite, OnPngFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
                 PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

}  // namespace

bool WritePng(std::FILE* file, const Image& image, std::string* error) {
    if (image.width <= 0 || image.height <= 0 ||
        image.rgba.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 4)
        return Fail(error, "the image has no pixels or the wrong number of them");

    std::vector<png_bytep> rows(static_cast<std::size_t>(image.height));
    for (int y = 0; y < image.height; ++y)
        rows[static_cast<std::size_t>(y)] = const_cast<png_bytep>(&image.rgba[static_cast<std::size_t>(y) *
                                                                               static_cast<std::size_t>(image.width) * 4]);
    PngFailure failure;
    PngSink sink{file, &failure};
    if (!EncodePng(&sink, image, rows.data(), &failure)) return Fail(error, failure.message);
    return true;
}

}  // namespace platform
