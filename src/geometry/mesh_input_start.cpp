// JudgeMeshInputStart: see mesh_input_start.h.
#include "geometry/mesh_input_start.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace facet {

namespace {

std::string ByteRefusal(const char* name, std::size_t offset, const std::string& why) {
    return std::string(name) + ": byte " + std::to_string(offset) + ": " + why;
}

// The line (1-based) that holds byte `offset`; \n, \r\n and \r each end a line.
std::size_t LineOf(const char* bytes, std::size_t offset) {
    std::size_t line = 1;
    for (std::size_t i = 0; i < offset; ++i)
        if (bytes[i] == '\n' || (bytes[i] == '\r' && (i + 1 >= offset || bytes[i + 1] != '\n'))) ++line;
    return line;
}

bool Starts(std::string_view bytes, std::string_view prefix) { return bytes.substr(0, prefix.size()) == prefix; }

// The encoding named by a byte-order mark or by the magic number of compressed or
// archived data; empty for others.
std::string_view MarkedEncoding(std::string_view start) {
    using namespace std::string_view_literals;
    // UTF-32's marks begin with UTF-16's, so they are looked for first.
    if (Starts(start, "\xFF\xFE\0\0"sv)) return "UTF-32 (little-endian) text";
    if (Starts(start, "\0\0\xFE\xFF"sv)) return "UTF-32 (big-endian) text";
    if (Starts(start, "\xFF\xFE"sv)) return "UTF-16 (little-endian) text";
    if (Starts(start, "\xFE\xFF"sv)) return "UTF-16 (big-endian) text";
    if (Starts(start, "\x1F\x8B"sv)) return "gzip-compressed data";
    if (Starts(start, "BZh"sv)) return "bzip2-compressed data";
    if (Starts(start, "\xFD" "7zXZ\0"sv)) return "xz-compressed data";
    if (Starts(start, "\x28\xB5\x2F\xFD"sv)) return "zstd-compressed data";
    if (Starts(start, "PK\x03\x04"sv)) return "a zip archive";
    return {};
}

// As MarkedEncoding, or the encoding told by NUL bytes standing between ASCII characters;
// empty for text.
std::string_view ForeignEncoding(std::string_view start) {
    if (const std::string_view marked = MarkedEncoding(start); !marked.empty()) return marked;
    if (start.size() < 4) return {};
    const auto zero = [&](std::size_t i) { return start[i] == '\0'; };
    if (zero(0) && zero(1) && zero(2) && zero(3)) return "binary data (NUL bytes)";
    if (!zero(0) && zero(1) && zero(2) && zero(3)) return "UTF-32 (little-endian) text";
    if (zero(0) && zero(1) && zero(2) && !zero(3)) return "UTF-32 (big-endian) text";
    if (!zero(0) && zero(1) && !zero(2) && zero(3)) return "UTF-16 (little-endian) text";
    if (zero(0) && !zero(1) && zero(2) && !zero(3)) return "UTF-16 (big-endian) text";
    return {};
}

bool IsObjStatement(std::string_view word) {
    static constexpr std::string_view kStatements[] = {"v",  "vt", "vn",     "vp",     "f",     "o",      "g",
                                                       "s",  "l",  "p",      "mtllib", "usemtl", "curv", "surf"};
    return std::find(std::begin(kStatements), std::end(kStatements), word) != std::end(kStatements);
}

bool IsOffKeyword(std::string_view word) {
    if (word.size() < 3 || word.substr(word.size() - 3) != "OFF") return false;
    return word.substr(0, word.size() - 3).find_first_not_of("CNST") == std::string_view::npos;
}

// The first word of the first line that holds a word and is no comment, and where it
// starts; empty when there is none.
std::string_view FirstWord(std::string_view text, std::size_t* offset) {
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find_first_of("\r\n", at), text.size());
        const std::string_view line = text.substr(at, end - at);
        const std::size_t first = line.find_first_not_of(" \t");
        if (first != std::string_view::npos && line[first] != '#') {
            *offset = at + first;
            const std::string_view rest = line.substr(first);
            return rest.substr(0, rest.find_first_of(" \t#"));
        }
        at = end + 1;
    }
    return {};
}

// The format told by the first word ("ply" only as the very first line).
bool FormatOfText(std::string_view text, MeshFileFormat* format) {
    if (text.substr(0, 4) == "ply\n" || text.substr(0, 4) == "ply\r") {
        *format = MeshFileFormat::Ply;
        return true;
    }
    std::size_t offset = 0;
    const std::string_view word = FirstWord(text, &offset);
    if (IsOffKeyword(word)) *format = MeshFileFormat::Off;
    else if (word == "solid") *format = MeshFileFormat::Stl;
    else if (IsObjStatement(word)) *format = MeshFileFormat::Obj;
    else return false;
    return true;
}

}  // namespace

std::size_t Utf8MarkLength(const char* bytes, std::size_t size) {
    return size >= 3 && std::memcmp(bytes, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
}

bool JudgeMeshInputStart(const char* name, const char* bytes, std::size_t size, bool formatKnown,
                         MeshFileFormat* format, std::string* error) {
    size = std::min(size, kJudgedStartBytes);
    const std::string_view start(bytes, size);
    // Binary STL's header and counts may hold any bytes, so only marks and magic numbers
    // are judged for STL (named so, or told by "solid"); its reader judges the rest once
    // it has the size, which tells binary from text.
    const bool stl = formatKnown && *format == MeshFileFormat::Stl;
    const std::string_view encoding = stl ? MarkedEncoding(start) : ForeignEncoding(start);
    if (!encoding.empty()) {
        *error = ByteRefusal(name, 0, "the file is " + std::string(encoding) +
                                          ", not a mesh file in UTF-8 or ASCII text");
        return false;
    }
    if (size == 0 && formatKnown) return true;  // the reader names an empty file itself
    const std::size_t mark = Utf8MarkLength(bytes, size);
    const std::string_view text = start.substr(mark);
    if (!formatKnown && !FormatOfText(text, format)) {
        *error = std::string(name) + ": line 1: not an OBJ, PLY, OFF or text STL file (name it .obj, .ply, .off or "
                                     ".stl)";
        return false;
    }
    if (*format == MeshFileFormat::Stl) return true;
    if (*format == MeshFileFormat::Ply) {
        if (text.substr(0, 4) != "ply\n" && text.substr(0, 4) != "ply\r" && text != "ply") {
            *error = std::string(name) + ": line 1: a PLY file starts with the line 'ply'";
            return false;
        }
        // Only the header is text; a binary body may hold any byte.
        const std::size_t headerEnd = start.find("end_header");
        const std::size_t nul = start.substr(0, headerEnd).find('\0');
        if (nul != std::string_view::npos) {
            *error = std::string(name) + ": line " + std::to_string(LineOf(bytes, nul)) +
                     ": the header holds a byte no text holds";
            return false;
        }
        return true;
    }
    if (*format == MeshFileFormat::Off) {
        std::size_t offset = 0;
        const std::string_view word = FirstWord(text, &offset);
        if (!word.empty() && (word.size() < 3 || word.substr(word.size() - 3) != "OFF")) {
            *error = std::string(name) + ": line " + std::to_string(LineOf(bytes, mark + offset)) +
                     ": an OFF file starts with the line 'OFF'";
            return false;
        }
    }
    const std::size_t nul = start.find('\0');
    if (nul != std::string_view::npos) {
        *error = std::string(name) + ": line " + std::to_string(LineOf(bytes, nul)) +
                 ": byte 0x00 does not belong in a text file";
        return false;
    }
    return true;
}

}  // namespace facet
