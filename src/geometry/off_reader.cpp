// OFF: a first line "OFF" (or a variant with colours, normals or texture coordinates such
// as "COFF", "NOFF", "STOFF"), the line "VERTICES FACES EDGES" (it may share the first
// line), one vertex per line starting with x y z, then one face per line "n i1 ... in",
// both possibly followed by more values (colours), which are dropped. "#" starts a
// comment; blank lines are passed over. Binary OFF is refused.
#include "geometry/mesh_file_contents.h"
#include "geometry/text_scanner.h"

#include <vector>

namespace facet {

namespace {

// The next line with a word on it, its first word in `*word`.
bool NextFilledLine(TextScanner& scanner, std::string_view* word) {
    while (scanner.NextLine('#'))
        if (scanner.NextWord(word)) return true;
    return false;
}

bool ReadCounts(TextScanner& scanner, const MeshReadOptions& options, std::uint64_t* vertices,
                std::uint64_t* faces, std::string* error) {
    std::string_view word;
    if (!NextFilledLine(scanner, &word)) return scanner.Fail(error, "the file is empty");
    if (word.size() < 3 || word.substr(word.size() - 3) != "OFF")
        return scanner.Fail(error, "an OFF file starts with the line 'OFF'");
    for (char c : word.substr(0, word.size() - 3))
        if (c != 'C' && c != 'N' && c != 'S' && c != 'T')
            return scanner.Fail(error, "unknown OFF variant " + Quoted(word));
    std::string_view next;
    if (scanner.NextWord(&next) && next == "BINARY") return scanner.Fail(error, "binary OFF is not read");
    const bool countsFollow = next.empty();
    if (countsFollow && !NextFilledLine(scanner, &next)) return scanner.Fail(error, "the counts line is missing");
    std::string_view faceWord;
    if (!TextScanner::ParseUnsigned(next, vertices) || !scanner.NextWord(&faceWord) ||
        !TextScanner::ParseUnsigned(faceWord, faces))
        return scanner.Fail(error, "the counts line must read 'VERTICES FACES EDGES'");
    // Each vertex line holds at least "0 0 0\n" and each face line its count "n\n": a face
    // with too few corners is then refused at its own line, for that reason.
    const std::uint64_t left = scanner.Size() - scanner.Offset() + 1;
    if (*vertices > left / 6 || *vertices > kMaxFileVertices || *faces > (left - 6 * *vertices) / 2)
        return scanner.Fail(error, "the counts " + std::to_string(*vertices) + " vertices and " +
                                       std::to_string(*faces) + " faces need more than the " +
                                       std::to_string(left - 1) + " bytes that follow");
    if (*faces == 0 && !options.allowNoFaces) return scanner.Fail(error, "the file holds no faces");
    return true;
}

bool ReadVertex(TextScanner& scanner, MeshFileContents* contents, std::string* error) {
    std::string_view word;
    if (!NextFilledLine(scanner, &word)) return scanner.Fail(error, "the file ends before its last vertex");
    float position[3];
    for (int axis = 0; axis < 3; ++axis) {
        if (axis > 0 && !scanner.NextWord(&word)) return scanner.Fail(error, "a vertex needs three coordinates");
        if (!TextScanner::ParseFloat(word, &position[axis]))
            return scanner.Fail(error, "coordinate " + Quoted(word) + " is not a finite number");
    }
    contents->positions.insert(contents->positions.end(), position, position + 3);
    return true;
}

bool ReadFace(TextScanner& scanner, std::uint64_t vertexCount, std::vector<DWORD>* polygon,
              MeshFileContents* contents, std::string* error) {
    std::string_view word;
    if (!NextFilledLine(scanner, &word)) return scanner.Fail(error, "the file ends before its last face");
    std::uint64_t count = 0;
    if (!TextScanner::ParseUnsigned(word, &count))
        return scanner.Fail(error, "a face starts with its corner count, not " + Quoted(word));
    if (count < 3)
        return scanner.Fail(error, "a face needs at least three corners, this one has " + std::to_string(count));
    polygon->clear();
    for (std::uint64_t k = 0; k < count; ++k) {
        std::uint64_t index = 0;
        if (!scanner.NextWord(&word)) return scanner.Fail(error, "the face has fewer corners than its count");
        if (!TextScanner::ParseUnsigned(word, &index) || index >= vertexCount)
            return scanner.Fail(error, "corner " + Quoted(word) + " names no vertex (" + std::to_string(vertexCount) +
                                           " vertices)");
        polygon->push_back(static_cast<DWORD>(index));
    }
    if (!AppendPolygon(polygon->data(), polygon->size(), contents)) return scanner.Fail(error, "too many faces");
    return true;
}

}  // namespace

bool ReadOffContents(const char* name, const char* bytes, std::size_t size, const MeshReadOptions& options,
                     MeshFileContents* contents, std::string* error) {
    TextScanner scanner(name, bytes, size);
    std::uint64_t vertices = 0, faces = 0;
    if (!ReadCounts(scanner, options, &vertices, &faces, error)) return false;
    contents->positions.reserve(3 * vertices);
    ProgressTicker progress(options, size);
    for (std::uint64_t v = 0; v < vertices; ++v) {
        progress.At(scanner.Offset());
        if (!ReadVertex(scanner, contents, error)) return false;
    }
    std::vector<DWORD> polygon;
    for (std::uint64_t f = 0; f < faces; ++f) {
        progress.At(scanner.Offset());
        if (!ReadFace(scanner, vertices, &polygon, contents, error)) return false;
    }
    return true;
}

}  // namespace facet
