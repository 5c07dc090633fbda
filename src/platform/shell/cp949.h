// Conversion of text held in the Korean ANSI code page (CP949) with iconv.
//
// Only complete characters are converted: when a byte count ends inside a two-byte
// character, that partial character yields nothing. A byte sequence that is not CP949
// becomes U+FFFD, one per offending byte, and conversion goes on after it.
#pragma once

#include <cstddef>
#include <string>

namespace platform::detail {

std::u32string Cp949ToCodePoints(const char* bytes, std::size_t count);
std::string Cp949ToUtf8(const char* bytes, std::size_t count);

}  // namespace platform::detail
