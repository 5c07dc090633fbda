// TextScanner: see text_scanner.h.
#include "geometry/text_scanner.h"

#include "geometry/mesh_input_start.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace facet {

TextScanner::TextScanner(const char* name, const char* bytes, std::size_t size, std::size_t start,
                         std::uint64_t linesBefore)
    : name_(name), bytes_(bytes), size_(size), next_(start), lineNumber_(linesBefore) {
    if (start == 0) next_ = Utf8MarkLength(bytes, size);
}

bool TextScanner::NextLine(char commentMark, bool joinContinued) {
    if (next_ >= size_) return false;
    lineNumber_ += 1 + joinedLines_;
    joinedLines_ = 0;
    lineStart_ = next_;
    std::size_t end = lineStart_;
    for (;;) {
        while (end < size_ && bytes_[end] != '\n' && bytes_[end] != '\r') ++end;
        next_ = end;
        if (next_ < size_) next_ += bytes_[next_] == '\r' && next_ + 1 < size_ && bytes_[next_ + 1] == '\n' ? 2 : 1;
        if (!joinContinued || end == lineStart_ || bytes_[end - 1] != '\\' || end >= size_) break;
        ++joinedLines_;
        end = next_;
    }
    if (commentMark != '\0')
        for (std::size_t i = lineStart_; i < end; ++i)
            if (bytes_[i] == commentMark) {
                end = i;
                break;
            }
    lineEnd_ = end;
    cursor_ = lineStart_;
    return true;
}

namespace {

// Spaces between words: blanks, and inside a joined line a backslash ending a physical
// line together with that line's break.
std::size_t SeparatorLength(const char* bytes, std::size_t at, std::size_t end) {
    const char c = bytes[at];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') return 1;
    if (c == '\\' && at + 1 < end && (bytes[at + 1] == '\r' || bytes[at + 1] == '\n')) return 1;
    return 0;
}

}  // namespace

bool TextScanner::NextWord(std::string_view* word) {
    while (cursor_ < lineEnd_ && SeparatorLength(bytes_, cursor_, lineEnd_) > 0) ++cursor_;
    if (cursor_ >= lineEnd_) return false;
    const std::size_t start = cursor_;
    while (cursor_ < lineEnd_ && SeparatorLength(bytes_, cursor_, lineEnd_) == 0) ++cursor_;
    *word = std::string_view(bytes_ + start, cursor_ - start);
    return true;
}

int TextScanner::ForeignByte() const {
    for (std::size_t i = lineStart_; i < lineEnd_; ++i) {
        const auto byte = static_cast<unsigned char>(bytes_[i]);
        // Line breaks inside a line are those of joined lines.
        if ((byte < 0x20 && byte != '\t' && byte != '\r' && byte != '\n') || byte == 0x7F) return byte;
    }
    return -1;
}

bool TextScanner::Fail(std::string* error, const std::string& why) const {
    *error = std::string(name_) + ": line " + std::to_string(lineNumber_ == 0 ? 1 : lineNumber_) + ": " + why;
    return false;
}

bool TextScanner::ParseFloat(std::string_view word, float* value) {
    // from_chars takes no plus sign; one is allowed before a digit or a point.
    if (!word.empty() && word.front() == '+') {
        word.remove_prefix(1);
        if (word.empty() || word.front() == '-') return false;
    }
    const char* end = word.data() + word.size();
    float parsed = 0.0f;
    std::from_chars_result found = std::from_chars(word.data(), end, parsed);
    if (found.ec == std::errc::result_out_of_range) {
        // Too small for a float: take the nearest float, which may be zero. Too large: refused.
        double wide = 0.0;
        found = std::from_chars(word.data(), end, wide);
        if (found.ec != std::errc() || std::fabs(wide) > 1.0) return false;
        parsed = static_cast<float>(wide);
    }
    if (found.ec != std::errc() || found.ptr != end || !std::isfinite(parsed)) return false;
    *value = parsed;
    return true;
}

bool TextScanner::ParseUnsigned(std::string_view word, std::uint64_t* value) {
    if (word.size() > 1 && word.front() == '+' && word[1] != '-') word.remove_prefix(1);
    const char* end = word.data() + word.size();
    auto [stop, status] = std::from_chars(word.data(), end, *value);
    return !word.empty() && status == std::errc() && stop == end;
}

bool TextScanner::ParseSigned(std::string_view word, std::int64_t* value) {
    if (word.size() > 1 && word.front() == '+' && word[1] != '-') word.remove_prefix(1);
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
