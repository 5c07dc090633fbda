// PrintableText, QuotedArgument and JsonString: see text_escapes.h.
#include "text_escapes.h"

#include <cstdio>

namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The length of the valid UTF-8 sequence starting at `at`, or 0 when the byte there does
// not start one (a stray continuation byte, an overlong form, a surrogate, a code point
// above U+10FFFF or a sequence cut short).
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the first continuation byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() - at < length || byte(1) < low || byte(1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (!IsContinuation(byte(i))) return 0;
    return length;
}

void AppendHexByte(std::string* out, const char* format, unsigned char byte) {
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, format, byte);
    *out += escaped;
}

}  // namespace

std::string PrintableText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const auto lead = static_cast<unsigned char>(text[at]);
        const std::size_t length = Utf8SequenceLength(text, at);
        // U+0080 to U+009F, encoded as C2 80 to C2 9F, are controls to a terminal too.
        const bool c1Control = length == 2 && lead == 0xC2 && static_cast<unsigned char>(text[at + 1]) < 0xA0;
        if (length == 1 && lead >= 0x20 && lead != 0x7F) {
            out += text[at];
        } else if (lead == '\n') {
            out += "\\n";
        } else if (lead == '\r') {
            out += "\\r";
        } else if (lead == '\t') {
            out += "\\t";
        } else if (length > 1 && !c1Control) {
            out.append(text.substr(at, length));
        } else {
            // A control byte, a C1 control's two bytes, or one byte that is not UTF-8.
            const std::size_t shown = c1Control ? 2 : 1;
            for (std::size_t i = 0; i < shown; ++i)
                AppendHexByte(&out, "\\x%02x", static_cast<unsigned char>(text[at + i]));
            at += shown;
            continue;
        }
        at += length == 0 ? 1 : length;
    }
    return out;
}

std::string QuotedArgument(std::string_view text) { return "'" + PrintableText(text) + "'"; }

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (std::size_t at = 0; at < text.size();) {
        const char c = text[at];
        const auto byte = static_cast<unsigned char>(c);
        const std::size_t length = Utf8SequenceLength(text, at);
        if (length == 0) {
            out += "\\ufffd";
            ++at;
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            AppendHexByte(&out, "\\u%04x", byte);
        } else {
            out.append(text.substr(at, length));
        }
        at += length;
    }
    return out + "\"";
}
