// TextScanner: the line and word reading shared by the text mesh formats. It hands out one
// line at a time (any of \n, \r\n or \r ends a line) and the words of the current line, and
// parses numbers strictly: a word is a number only when all of it is. A refusal names the
// file and the line. A UTF-8 byte-order mark at the start of the input is passed over.
#pragma once

#include "springdrop/d3d9/d3d9.h"

#include <bit>
#include <cstddef>
#include <cstring>
#include <cstdint>
#include <string>
#include <string_view>

namespace facet {

class TextScanner {
public:
    // Scans from byte `start`, which begins the line after line `linesBefore`.
    TextScanner(const char* name, const char* bytes, std::size_t size, std::size_t start = 0,
                std::uint64_t linesBefore = 0);

    // Moves to the next line; false at the end of the input. With `commentMark` set, the
    // line ends at the first such character. With `joinContinued`, a line whose last byte
    // is a backslash goes on over the next one, the backslash and line break counting as a
    // space; a refusal then names the first of the joined lines.
    bool NextLine(char commentMark = '\0', bool joinContinued = false);
    // The next word of the current line; false when none is left. Inline: it runs for
    // every word of a text mesh file.
    bool NextWord(std::string_view* word) {
        for (;;) {
            while (cursor_ < lineEnd_ && (bytes_[cursor_] == ' ' || bytes_[cursor_] == '\t')) ++cursor_;
            if (cursor_ >= lineEnd_ || InWord(cursor_)) break;
            ++cursor_;
        }
        if (cursor_ >= lineEnd_) return false;
        const std::size_t start = cursor_;
        for (;;) {
            cursor_ = PlainWordEnd(cursor_);
            while (cursor_ < lineEnd_ && static_cast<unsigned char>(bytes_[cursor_]) > ' ' && bytes_[cursor_] != '\\')
                ++cursor_;
            if (cursor_ >= lineEnd_ || !InWord(cursor_)) break;
            ++cursor_;
        }
        *word = std::string_view(bytes_ + start, cursor_ - start);
        return true;
    }
    // The first byte of the current line that no text file holds (a control byte other
    // than tab), or -1.
    int ForeignByte() const;

    std::uint64_t LineNumber() const { return lineNumber_; }
    // The number of the last physical line of the current line (past LineNumber() when
    // lines are joined).
    std::uint64_t LastLineNumber() const { return lineNumber_ + joinedLines_; }
    // The offset just past the current line.
    std::size_t Offset() const { return next_; }
    std::size_t Size() const { return size_; }

    // Sets `*error` to "NAME: line N: why" for the current line (line 1 before any) and returns false.
    bool Fail(std::string* error, const std::string& why) const;

    // Strict parsing of one word. A float must be finite (a value too small for a float
    // becomes the nearest float or zero).
    static bool ParseFloat(std::string_view word, float* value);
    static bool ParseUnsigned(std::string_view word, std::uint64_t* value) {
        if (word.size() > 1 && word.front() == '+' && word[1] != '-') word.remove_prefix(1);
        return ParseShortDigits(word, value) || ParseLongUnsigned(word, value);
    }
    static bool ParseSigned(std::string_view word, std::int64_t* value) {
        if (word.size() > 1 && word.front() == '+' && word[1] != '-') word.remove_prefix(1);
        const bool negative = !word.empty() && word.front() == '-';
        std::uint64_t magnitude = 0;
        if (!ParseShortDigits(negative ? word.substr(1) : word, &magnitude)) return ParseLongSigned(word, value);
        *value = negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
        return true;
    }

private:
    // Up to 18 decimal digits, which no 64-bit number overflows: the usual index or
    // count, read without the general parser. False for anything else, which the general
    // parser (the Long forms) then decides.
    static bool ParseShortDigits(std::string_view digits, std::uint64_t* value) {
        if (digits.empty() || digits.size() > 18) return false;
        std::uint64_t number = 0;
        for (const char c : digits) {
            const auto digit = static_cast<unsigned>(c - '0');
            if (digit > 9) return false;
            number = 10 * number + digit;
        }
        *value = number;
        return true;
    }
    // Past the bytes from `at` that are above the space and no backslash, eight at a time
    // while eight whole bytes of the line are left (the rest is for the caller's loop).
    std::size_t PlainWordEnd(std::size_t at) const {
        constexpr std::uint64_t kOnes = 0x0101010101010101ull, kHigh = 0x8080808080808080ull;
        for (; at + 8 <= lineEnd_; at += 8) {
            std::uint64_t eight;
            std::memcpy(&eight, bytes_ + at, 8);
            const std::uint64_t backslashes = eight ^ ('\\' * kOnes);
            // The high bit of a byte below 0x21 (not one of 0x80 and above) or of a
            // backslash, exact for the lowest such byte.
            const std::uint64_t stops =
                (((eight - 0x21 * kOnes) & ~eight) | ((backslashes - kOnes) & ~backslashes)) & kHigh;
            if (stops != 0) return at + static_cast<std::size_t>(std::countr_zero(stops)) / 8;
        }
        return at;
    }

    static bool ParseLongUnsigned(std::string_view word, std::uint64_t* value);
    static bool ParseLongSigned(std::string_view word, std::int64_t* value);

    // Whether byte `at` of the current line belongs to a word: anything but blanks, line
    // breaks (of joined lines) and a backslash that ends a joined physical line.
    bool InWord(std::size_t at) const {
        const char c = bytes_[at];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') return false;
        return !(c == '\\' && at + 1 < lineEnd_ && (bytes_[at + 1] == '\r' || bytes_[at + 1] == '\n'));
    }

    const char* name_;
    const char* bytes_;
    std::size_t size_;
    std::size_t next_;
    std::size_t lineStart_ = 0;
    std::size_t lineEnd_ = 0;
    std::size_t cursor_ = 0;
    std::uint64_t lineNumber_;
    std::uint64_t joinedLines_ = 0;  // physical lines after the first in the current line
    bool maybeForeign_ = false;      // the current line may hold a byte no text holds
};

// "'word'" with control bytes escaped and the length capped, for refusal texts.
std::string Quoted(std::string_view word);

}  // namespace facet
