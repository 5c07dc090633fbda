// Writing an RGBA8 image as a PNG file with libpng.
//
// The file is written beside the target under a temporary name and renamed over the
// target only once it is complete, so on any failure (unwritable directory, disk full,
// an image whose pixel data does not match its size) no file is left behind and the
// target is untouched. `error`, when given, then receives one line saying what failed.
#pragma once

#include "win32/shell.h"

#include <string>

namespace platform {

bool WritePngFile(const std::string& path, const Image& image, std::string* error);

}  // namespace platform
