// Wavefront OBJ: "v x y z [w | r g b]" lines give the vertices in order and "f" lines the
// polygons, each corner "v", "v/vt", "v//vn" or "v/vt/vn" with 1-based or negative
// (counted back from the last vertex so far) indices. A corner must name a vertex
// defined above it. Other statements are skipped; "#" starts a comment. A backslash at
// the end of a line continues the statement on the next line.
#include "geometry/mesh_file_contents.h"
#include "geometry/text_scanner.h"

#include <vector>

namespace facet {

namespace {

bool ReadVertex(TextScanner& scanner, MeshFileContents* contents, std::string* error) {
    float position[3];
    std::string_view word;
    for (float& value : position) {
        if (!scanner.NextWord(&word)) return scanner.Fail(error, "a vertex needs three coordinates");
        if (!TextScanner::ParseFloat(word, &value))
            return scanner.Fail(error, "coordinate " + Quoted(word) + " is not a finite number");
    }
    if (contents->positions.size() / 3 >= kMaxFileVertices) return scanner.Fail(error, "too many vertices");
    contents->positions.insert(contents->positions.end(), position, position + 3);
    return true;
}

bool ReadFace(TextScanner& scanner, std::vector<DWORD>* polygon, MeshFileContents* contents, std::string* error) {
    polygon->clear();
    const std::int64_t defined = contents->positions.size() / 3;
    std::string_view word;
    while (scanner.NextWord(&word)) {
        const std::string_view vertex = word.substr(0, word.find('/'));
        std::int64_t index = 0;
        if (!TextScanner::ParseSigned(vertex, &index) || index == 0)
            return scanner.Fail(error, "corner " + Quoted(word) + " does not start with a vertex number");
        const std::int64_t resolved = index > 0 ? index - 1 : defined + index;
        if (resolved < 0 || resolved >= defined)
            return scanner.Fail(error, "corner " + Quoted(word) + " names no vertex (" + std::to_string(defined) +
                                           " defined so far)");
        polygon->push_back(static_cast<DWORD>(resolved));
    }
    if (polygon->size() < 3)
        return scanner.Fail(error, "a face needs at least three corners, this one has " +
                                       std::to_string(polygon->size()));
    if (!AppendPolygon(polygon->data(), polygon->size(), contents)) return scanner.Fail(error, "too many faces");
    return true;
}

}  // namespace

bool ReadObjContents(const char* name, const char* bytes, std::size_t size, const MeshReadOptions& options,
                     MeshFileContents* contents, std::string* error) {
    TextScanner scanner(name, bytes, size);
    ProgressTicker progress(options, size);
    std::vector<DWORD> polygon;
    std::string_view keyword;
    while (scanner.NextLine('#', true)) {
        progress.At(scanner.Offset());
        const int foreign = scanner.ForeignByte();
        if (foreign >= 0) {
            char text[64];
            std::snprintf(text, sizeof text, "byte 0x%02X does not belong in a text file", foreign);
            return scanner.Fail(error, text);
        }
        if (!scanner.NextWord(&keyword)) continue;
        if (keyword == "v") {
            if (!ReadVertex(scanner, contents, error)) return false;
        } else if (keyword == "f") {
            if (!ReadFace(scanner, &polygon, contents, error)) return false;
        }
    }
    if (contents->corners.empty() && !options.allowNoFaces) return scanner.Fail(error, "the file holds no faces");
    return true;
}

}  // namespace facet
