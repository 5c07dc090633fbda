// Encoding an RGBA8 image as PNG with libpng onto an open stream. Where the bytes go and
// whether a half-written file survives is the caller's business (an output file that is
// only kept once complete).
#pragma once

#include "springdrop/shell/shell.h"

#include <cstdio>
#include <string>

namespace platform {

// False, with one line in `error` when given, when the image's pixel data does not match
// its size or libpng fails; write errors of the stream itself show on the stream.
bool WritePng(std::FILE* file, const Image& image, std::string* error);

}  // namespace platform
