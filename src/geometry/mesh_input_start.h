// The first bytes of a mesh input, judged before the rest is read or parsed, so that a
// file of the wrong kind is refused at once however large it is: a text encoding other
// than UTF-8 (UTF-16 or UTF-32, told by their byte-order marks or by the pattern of NUL
// bytes between ASCII letters), compressed or archived data, NUL bytes where only text
// may stand, or a start the format never has ("ply" for PLY). Also the format of an input
// whose name has no mesh extension, told from those same bytes.
#pragma once

#include "facet/mesh_file.h"

#include <cstddef>
#include <string>

namespace facet {

// How many bytes at the start of an input are judged (fewer when the input is shorter).
constexpr std::size_t kJudgedStartBytes = 65536;

// The length of a UTF-8 byte-order mark at the start of `bytes`: 3 or 0.
std::size_t Utf8MarkLength(const char* bytes, std::size_t size);

// Judges `size` first bytes of the input called `name` (all of it when it is shorter than
// kJudgedStartBytes). `*format` holds the format the name gave, or is told from the bytes
// when `formatKnown` is false. False with `*error` set to "NAME: byte N: why" or
// "NAME: line N: why" when the input is refused.
bool JudgeMeshInputStart(const char* name, const char* bytes, std::size_t size, bool formatKnown,
                         MeshFileFormat* format, std::string* error);

}  // namespace facet
