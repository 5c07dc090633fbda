// TextScanner: see text_scanner.h.
#include "geometry/text_scanner.h"

#include "geometry/mesh_input_start.h"

#include <fast_float/fast_float.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace facet {

TextScanner::TextScanner(const char* name, const char* bytes, std::size_t size, std::size_t start,
                         std::uint64_t linesBefore)
    : name_(name), bytes_(bytes), size_(size), next_(start), lineNumber_(linesBefore) {
    if (start == 0) next_ = Utf8MarkLength(bytes, size);
}

namespace {

constexpr std::uint64_t kOnes = 0x0101010101010101ull, kHigh = 0x8080808080808080ull;

// The high bit of each byte of `eight` that may be zero: exact for the lowest such byte,
// possibly set above it, so a hit is looked at byte by byte.
std::uint64_t MaybeZeroBytes(std::uint64_t eight) { return (eight - kOnes) & ~eight & kHigh; }

// The first line break (\n or \r) in [from, end), or end; `*mark` becomes the first
// `markByte` before it unless `*mark` is set already (kNoMark) or `markByte` is 0, and
// `*foreign` is set when a byte before it may be one no text holds.
constexpr std::size_t kNoMark = static_cast<std::size_t>(-1);

bool ForeignTextByte(unsigned char byte) {
    // Line breaks inside a line are those of joined lines.
    return (byte < 0x20 && byte != '\t' && byte != '\r' && byte != '\n') || byte == 0x7F;
}

std::size_t LineBreakFrom(const char* bytes, std::size_t from, std::size_t end, char markByte, std::size_t* mark,
                          bool* foreign) {
    const auto isBreak = [&](std::size_t i) {
        if (bytes[i] == '\n' || bytes[i] == '\r') return true;
        if (markByte != '\0' && bytes[i] == markByte && *mark == kNoMark) *mark = i;
        *foreign = *foreign || ForeignTextByte(static_cast<unsigned char>(bytes[i]));
        return false;
    };
    const std::uint64_t markBytes = static_cast<unsigned char>(markByte) * kOnes;
    std::uint64_t controls = 0;  // bytes below 0x20 or 0x7F, possibly
    std::size_t i = from;
    for (; i + 8 <= end; i += 8) {
        std::uint64_t eight;
        std::memcpy(&eight, bytes + i, 8);
        std::uint64_t hits = MaybeZeroBytes(eight ^ ('\n' * kOnes)) | MaybeZeroBytes(eight ^ ('\r' * kOnes));
        if (markByte != '\0') hits |= MaybeZeroBytes(eight ^ markBytes);
        if (hits == 0) {
            controls |= ((eight - 0x20 * kOnes) | ((eight ^ (0x7F * kOnes)) - kOnes)) & ~eight & kHigh;
            continue;
        }
        for (std::size_t k = i; k < i + 8; ++k)
            if (isBreak(k)) {
                *foreign = *foreign || controls != 0;
                return k;
            }
    }
    for (; i < end; ++i)
        if (isBreak(i)) break;
    *foreign = *foreign || controls != 0;
    return i;
}

}  // namespace

bool TextScanner::NextLine(char commentMark, bool joinContinued) {
    if (next_ >= size_) return false;
    lineNumber_ += 1 + joinedLines_;
    joinedLines_ = 0;
    lineStart_ = next_;
    std::size_t end = lineStart_;
    // The comment starts at the first mark of the whole line, joined lines and all.
    std::size_t mark = kNoMark;
    maybeForeign_ = false;
    for (;;) {
        end = LineBreakFrom(bytes_, end, size_, commentMark, &mark, &maybeForeign_);
        next_ = end;
        if (next_ < size_) next_ += bytes_[next_] == '\r' && next_ + 1 < size_ && bytes_[next_ + 1] == '\n' ? 2 : 1;
        if (!joinContinued || end == lineStart_ || bytes_[end - 1] != '\\' || end >= size_) break;
        ++joinedLines_;
        end = next_;
    }
    lineEnd_ = mark != kNoMark ? mark : end;
    cursor_ = lineStart_;
    return true;
}

int TextScanner::ForeignByte() const {
    if (!maybeForeign_) return -1;
    // Eight bytes at a time: none of them is below 0x20 or 0x7F in the usual line.
    std::size_t i = lineStart_;
    for (; i + 8 <= lineEnd_; i += 8) {
        std::uint64_t eight;
        std::memcpy(&eight, bytes_ + i, 8);
        const std::uint64_t deleteBytes = eight ^ (0x7F * kOnes);
        const std::uint64_t suspect = ((eight - 0x20 * kOnes) | (deleteBytes - kOnes)) & ~eight & kHigh;
        if (suspect == 0) continue;
        for (std::size_t k = i; k < i + 8; ++k)
            if (ForeignTextByte(static_cast<unsigned char>(bytes_[k]))) return static_cast<unsigned char>(bytes_[k]);
    }
    for (; i < lineEnd_; ++i)
        if (ForeignTextByte(static_cast<unsigned char>(bytes_[i]))) return static_cast<unsigned char>(bytes_[i]);
    return -1;
}

bool TextScanner::Fail(std::string* error, const std::string& why) const {
    *error = std::string(name_) + ": line " + std::to_string(lineNumber_ == 0 ? 1 : lineNumber_) + ": " + why;
    return false;
}

namespace {

// The standard parser, kept for the values the fast one could round otherwise: those that
// are zero, subnormal or out of range as floats. Too small for a float: the value is
// taken as a double and then as the nearest float, which may be zero. Too large: refused.
bool ParseRareFloat(const char* first, const char* end, float* value) {
    float parsed = 0.0f;
    std::from_chars_result found = std::from_chars(first, end, parsed);
    if (found.ec == std::errc::result_out_of_range) {
        double wide = 0.0;
        found = std::from_chars(first, end, wide);
        if (found.ec != std::errc() || std::fabs(wide) > 1.0) return false;
        parsed = static_cast<float>(wide);
    }
    if (found.ec != std::errc() || found.ptr != end || !std::isfinite(parsed)) return false;
    *value = parsed;
    return true;
}

// Whether a number's digits before its exponent are all zeros, so that it is exactly zero.
bool ZeroDigits(const char* first, const char* end) {
    for (; first != end && *first != 'e' && *first != 'E'; ++first)
        if (*first >= '1' && *first <= '9') return false;
    return true;
}

}  // namespace

bool TextScanner::ParseFloat(std::string_view word, float* value) {
    // Neither parser takes a plus sign; one is allowed before a digit or a point.
    if (!word.empty() && word.front() == '+') {
        word.remove_prefix(1);
        if (word.empty() || word.front() == '-') return false;
    }
    const char* first = word.data();
    const char* end = first + word.size();
    float parsed = 0.0f;
    const fast_float::from_chars_result found = fast_float::from_chars(first, end, parsed);
    if (found.ec != std::errc() || found.ptr != end) return false;
    // A normal float (or an exact zero) is the correctly rounded value, as the standard
    // parser gives it; the rest are left to that parser.
    if (std::fabs(parsed) >= std::numeric_limits<float>::min() && std::isfinite(parsed)) {
        *value = parsed;
        return true;
    }
    if (parsed == 0.0f && ZeroDigits(first, end)) {
        *value = parsed;
        return true;
    }
    return ParseRareFloat(first, end, value);
}

bool TextScanner::ParseLongUnsigned(std::string_view word, std::uint64_t* value) {
    const char* end = word.data() + word.size();
    auto [stop, status] = std::from_chars(word.data(), end, *value);
    return !word.empty() && status == std::errc() && stop == end;
}

bool TextScanner::ParseLongSigned(std::string_view word, std::int64_t* value) {
    const char* end = word.data() + word.size();
    auto [stop, status] = std::from_chars(word.data(), end, *value);
    return !word.empty() && status == std::errc() && stop == end;
}

std::string Quoted(std::string_view word) {
    constexpr std::size_t kShown = 40;
    std::string text = "'";
    for (std::size_t i = 0; i < word.size() && i < kShown; ++i) {
        const auto byte = static_cast<unsigned char>(word[i]);
        if (byte < 0x20 || byte >= 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            text += escaped;
        } else {
            text += static_cast<char>(byte);
        }
    }
    if (word.size() > kShown) text += "...";
    return text + "'";
}

}  // namespace facet
