// Korean ANSI code page (CP949) text conversion through iconv.
#include "springdrop/shell/cp949.h"

#include <cerrno>
#include <iconv.h>

namespace platform::detail {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// One conversion descriptor for the process, reset before each use.
iconv_t Cp949ToUtf32Converter() {
    static iconv_t converter = iconv_open("UTF-32LE", "CP949");
    return converter;
}

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

}  // namespace

std::u32string Cp949ToCodePoints(const char* bytes, std::size_t count) {
    std::u32string result;
    iconv_t converter = Cp949ToUtf32Converter();
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        // Without a converter only ASCII can be told apart from the rest.
        for (std::size_t i = 0; i < count; ++i) {
            auto byte = static_cast<unsigned char>(bytes[i]);
            result += byte < 0x80 ? static_cast<char32_t>(byte) : kReplacement;
        }
        return result;
    }
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(bytes);
    std::size_t inLeft = count;
    while (inLeft > 0) {
        unsigned char buffer[256];
        char* out = reinterpret_cast<char*>(buffer);
        std::size_t outLeft = sizeof buffer;
        std::size_t converted = iconv(converter, &in, &inLeft, &out, &outLeft);
        int error = converted == static_cast<std::size_t>(-1) ? errno : 0;
        for (unsigned char* p = buffer; p + 4 <= reinterpret_cast<unsigned char*>(out); p += 4) {
            result += static_cast<char32_t>(p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<char32_t>(p[3]) << 24));
        }
        if (error == EINVAL) break;  // the count ends inside a character
        if (error == EILSEQ) {
            result += kReplacement;
            ++in;
            --inLeft;
        } else if (error != 0 && error != E2BIG) {
            break;
        }
    }
    return result;
}

std::string Cp949ToUtf8(const char* bytes, std::size_t count) {
    std::string out;
    for (char32_t code : Cp949ToCodePoints(bytes, count)) AppendUtf8(out, code);
    return out;
}

}  // namespace platform::detail
