// Reading a PLY header: see ply_header.h.
#include "geometry/ply_header.h"

#include "geometry/mesh_file_contents.h"
#include "geometry/text_scanner.h"

#include <algorithm>
#include <initializer_list>
#include <utility>

namespace facet::ply {

namespace {

bool ScalarOfName(std::string_view name, Scalar* type) {
    static constexpr struct {
        std::string_view name;
        Scalar type;
    } kNames[] = {{"char", Scalar::Int8},     {"int8", Scalar::Int8},      {"uchar", Scalar::UInt8},
                  {"uint8", Scalar::UInt8},   {"short", Scalar::Int16},    {"int16", Scalar::Int16},
                  {"ushort", Scalar::UInt16}, {"uint16", Scalar::UInt16},  {"int", Scalar::Int32},
                  {"int32", Scalar::Int32},   {"uint", Scalar::UInt32},    {"uint32", Scalar::UInt32},
                  {"float", Scalar::Float32}, {"float32", Scalar::Float32}, {"double", Scalar::Float64},
                  {"float64", Scalar::Float64}};
    for (const auto& entry : kNames)
        if (entry.name == name) {
            *type = entry.type;
            return true;
        }
    return false;
}

// Notes property `number` of a vertex element when its name is one of the vertex data's.
void NoteVertexProperty(const std::string& name, int number, Element* element) {
    const auto note = [&](int* slots, std::initializer_list<std::string_view> names) {
        int slot = 0;
        for (std::string_view candidate : names) {
            if (candidate == name) slots[slot] = number;
            ++slot;
        }
    };
    note(element->coordinate, {"x", "y", "z"});
    note(element->normal, {"nx", "ny", "nz"});
    note(element->color, {"red", "green", "blue", "alpha"});
    note(element->color, {"diffuse_red", "diffuse_green", "diffuse_blue", "diffuse_alpha"});
    for (const auto& pair : {std::pair{"u", "v"}, std::pair{"s", "t"}, std::pair{"texture_u", "texture_v"},
                             std::pair{"texture_s", "texture_t"}})
        note(element->texture, {pair.first, pair.second});
}

bool ReadHeaderLine(TextScanner& scanner, Header* header, bool* ended, std::string* error) {
    std::string_view keyword, word;
    if (!scanner.NextWord(&keyword)) return true;
    if (keyword == "comment" || keyword == "obj_info") return true;
    if (keyword == "end_header") {
        *ended = true;
        return true;
    }
    if (keyword == "format") {
        std::string_view version;
        if (!scanner.NextWord(&word) || !scanner.NextWord(&version) || version != "1.0")
            return scanner.Fail(error, "the format line must read 'format ENCODING 1.0'");
        if (word == "ascii") header->encoding = MeshFileEncoding::Text;
        else if (word == "binary_little_endian") header->encoding = MeshFileEncoding::BinaryLittleEndian;
        else if (word == "binary_big_endian") header->encoding = MeshFileEncoding::BinaryBigEndian;
        else return scanner.Fail(error, "unknown encoding " + Quoted(word));
        return true;
    }
    if (keyword == "element") {
        Element element;
        std::string_view count;
        if (!scanner.NextWord(&word) || !scanner.NextWord(&count) || !TextScanner::ParseUnsigned(count, &element.count))
            return scanner.Fail(error, "an element line must read 'element NAME COUNT'");
        element.name = word;
        element.line = scanner.LineNumber();
        element.role = word == "vertex" ? Role::Vertex : word == "face" ? Role::Face : Role::Other;
        for (const Element& earlier : header->elements)
            if (element.role != Role::Other && earlier.role == element.role)
                return scanner.Fail(error, "a second '" + element.name + "' element");
        header->elements.push_back(element);
        return true;
    }
    if (keyword == "property") {
        if (header->elements.empty()) return scanner.Fail(error, "a property before any element");
        Property property;
        std::string_view type;
        if (!scanner.NextWord(&type)) return scanner.Fail(error, "a property needs a type and a name");
        if (type == "list") {
            property.isList = true;
            std::string_view countType;
            if (!scanner.NextWord(&countType) || !ScalarOfName(countType, &property.countType) ||
                !IsInteger(property.countType))
                return scanner.Fail(error, "a list's count type must be an integer type");
            if (!scanner.NextWord(&type)) return scanner.Fail(error, "a list property needs an item type");
        }
        if (!ScalarOfName(type, &property.type)) return scanner.Fail(error, "unknown property type " + Quoted(type));
        if (!scanner.NextWord(&word)) return scanner.Fail(error, "a property needs a name");
        property.name = word;
        Element& element = header->elements.back();
        const int number = static_cast<int>(element.properties.size());
        if (element.role == Role::Vertex && !property.isList) NoteVertexProperty(property.name, number, &element);
        if (element.role == Role::Face && property.isList &&
            (property.name == "vertex_indices" || property.name == "vertex_index")) {
            if (!IsInteger(property.type)) return scanner.Fail(error, "face corners must be integers");
            element.corners = number;
        }
        element.properties.push_back(property);
        return true;
    }
    // Free text before the first element describes no data, so it is passed over as a
    // comment (old exporters wrote "Created by ..." there without the keyword). After an
    // element it could be a mistyped property, which would shift every value after it.
    if (header->elements.empty()) return true;
    return scanner.Fail(error, "unknown header line " + Quoted(keyword));
}

// The fewest bytes one record of `element` can take.
std::uint64_t SmallestRecord(const Element& element, MeshFileEncoding encoding) {
    std::uint64_t bytes = 0;
    for (const Property& property : element.properties) {
        if (encoding == MeshFileEncoding::Text) bytes += 2;  // a digit and a separator
        else bytes += SizeOf(property.isList ? property.countType : property.type);
    }
    return bytes;
}

bool CheckHeader(TextScanner& scanner, const MeshReadOptions& options, Header* header, std::string* error) {
    const std::uint64_t body = scanner.Size() - header->bodyStart;
    std::uint64_t needed = 0;
    bool hasFaces = false;
    for (const Element& element : header->elements) {
        const std::string where = "line " + std::to_string(element.line) + ": ";
        const std::uint64_t smallest = std::max<std::uint64_t>(1, SmallestRecord(element, header->encoding));
        // The last text record may end the file without a separator.
        const std::uint64_t room = body - std::min(body, needed) + (header->encoding == MeshFileEncoding::Text ? 1 : 0);
        if (element.count > room / smallest) {
            *error = where + "the header claims " + std::to_string(element.count) + " '" + element.name +
                     "' elements, more than the " + std::to_string(body) + " bytes after it can hold";
            return false;
        }
        needed += element.count * smallest;
        if (element.role == Role::Vertex) {
            if (element.coordinate[0] < 0 || element.coordinate[1] < 0 || element.coordinate[2] < 0) {
                *error = where + "the vertex element has no x, y and z properties";
                return false;
            }
            if (element.count > kMaxFileVertices) {
                *error = where + "too many vertices";
                return false;
            }
            header->vertexCount = element.count;
        }
        if (element.role == Role::Face) {
            if (element.corners < 0) {
                *error = where + "the face element has no 'vertex_indices' list";
                return false;
            }
            hasFaces = element.count > 0;
        }
    }
    if (!hasFaces && !options.allowNoFaces) {
        *error = "line " + std::to_string(scanner.LineNumber()) + ": the file holds no faces";
        return false;
    }
    return true;
}

}  // namespace

// Reads the header up to "end_header" and checks its counts against the bytes after it.
bool ReadHeader(const char* name, const char* bytes, std::size_t size, const MeshReadOptions& options,
                Header* header, std::string* error) {
    TextScanner scanner(name, bytes, size);
    std::string_view word;
    if (!scanner.NextLine() || !scanner.NextWord(&word) || word != "ply" || scanner.NextWord(&word))
        return scanner.Fail(error, "a PLY file starts with the line 'ply'");
    bool ended = false, formatSeen = false;
    while (!ended) {
        if (!scanner.NextLine()) return scanner.Fail(error, "the header has no 'end_header' line");
        if (scanner.ForeignByte() >= 0) return scanner.Fail(error, "the header holds a byte no text holds");
        const std::size_t elements = header->elements.size();
        TextScanner peek = scanner;
        std::string_view keyword;
        formatSeen = formatSeen || (peek.NextWord(&keyword) && keyword == "format");
        if (!ReadHeaderLine(scanner, header, &ended, error)) return false;
        if (!formatSeen && (ended || header->elements.size() != elements))
            return scanner.Fail(error, "the format line must come before the elements");
    }
    header->bodyStart = scanner.Offset();
    header->headerLines = scanner.LineNumber();
    if (!CheckHeader(scanner, options, header, error)) {
        *error = std::string(name) + ": " + *error;
        return false;
    }
    return true;
}

}  // namespace facet::ply
