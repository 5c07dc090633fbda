// PLY: a text header ("ply", "format ascii|binary_little_endian|binary_big_endian 1.0",
// "element NAME COUNT", "property TYPE NAME", "property list COUNTTYPE TYPE NAME",
// comments, "end_header"), then the elements in header order. The "vertex" element must
// have scalar x, y and z, and may have nx ny nz, a texture coordinate (u v, s t,
// texture_u texture_v or texture_s texture_t) and a colour red green blue [alpha] (or
// diffuse_red … diffuse_alpha; integer types: 0 to 255; float or double: as they are); the "face" element an
// integer list "vertex_indices" (or "vertex_index"). Other elements and properties are
// read past and dropped. The header is read and checked first (see ply_header.h), so
// nothing is allocated for counts the file cannot hold.
#include "facet/thread_pool.h"
#include "geometry/mesh_file_contents.h"
#include "geometry/ply_binary_records.h"
#include "geometry/ply_header.h"
#include "geometry/read_split_sizes.h"
#include "geometry/text_chunks.h"
#include "geometry/text_scanner.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

namespace facet {

namespace {

using ply::Element;
using ply::Header;
using ply::Property;
using ply::Role;
using ply::IntegerRange;
using ply::IsInteger;
using ply::RangeOf;
using ply::ReadHeader;
using ply::Scalar;
using ply::SizeOf;

// Values of the body, one at a time, in either encoding. A refusal names the line (text)
// or the byte offset (binary) of the value at fault.
class BodyReader {
public:
    BodyReader(const char* name, const char* bytes, std::size_t size, const Header& header)
        : name_(name), bytes_(bytes), size_(size), encoding_(header.encoding), offset_(header.bodyStart),
          text_(name, bytes, size, header.bodyStart, header.headerLines) {}
    // The lines of a text body from byte `start`, after line `linesBefore`, to byte `end`.
    BodyReader(const char* name, const char* bytes, std::size_t start, std::size_t end, std::uint64_t linesBefore)
        : name_(name), bytes_(bytes), size_(end), encoding_(MeshFileEncoding::Text), offset_(start),
          text_(name, bytes, end, start, linesBefore) {}

    std::size_t Offset() const { return encoding_ == MeshFileEncoding::Text ? text_.Offset() : offset_; }
    const char* Bytes() const { return bytes_; }
    std::size_t Size() const { return size_; }
    // Moves a binary body past `bytes` read in bulk.
    void Skip(std::size_t bytes) { offset_ += bytes; }

    // Reads one value of `type` as a double; false with the refusal set.
    bool Read(Scalar type, double* value, std::string* error) {
        if (encoding_ == MeshFileEncoding::Text) return ReadText(type, value, error);
        const std::size_t size = SizeOf(type);
        if (size_ - offset_ < size) return Fail(error, "the file ends inside an element");
        unsigned char raw[8];
        std::memcpy(raw, bytes_ + offset_, size);
        const bool swap = (encoding_ == MeshFileEncoding::BinaryBigEndian) == (std::endian::native == std::endian::little);
        if (swap)
            for (std::size_t i = 0; i < size / 2; ++i) std::swap(raw[i], raw[size - 1 - i]);
        valueOffset_ = offset_;
        offset_ += size;
        switch (type) {
            case Scalar::Int8: *value = static_cast<std::int8_t>(raw[0]); break;
            case Scalar::UInt8: *value = raw[0]; break;
            case Scalar::Int16: *value = Load<std::int16_t>(raw); break;
            case Scalar::UInt16: *value = Load<std::uint16_t>(raw); break;
            case Scalar::Int32: *value = Load<std::int32_t>(raw); break;
            case Scalar::UInt32: *value = Load<std::uint32_t>(raw); break;
            case Scalar::Float32: *value = Load<float>(raw); break;
            case Scalar::Float64: *value = Load<double>(raw); break;
        }
        return true;
    }

    // Whether `count` items of `type` fit in what is left, checked before a list is read.
    // A text list is read word by word, so its count never sizes anything before its
    // words are there.
    bool HasRoomFor(std::uint64_t count, Scalar type) const {
        return encoding_ == MeshFileEncoding::Text || count <= (size_ - offset_) / SizeOf(type);
    }

    bool Fail(std::string* error, const std::string& why) const {
        if (encoding_ == MeshFileEncoding::Text) return text_.Fail(error, why);
        *error = std::string(name_) + ": byte " + std::to_string(valueOffset_) + ": " + why;
        return false;
    }

    // Text records end with their line; anything left on it is refused.
    bool EndRecord(std::string* error) {
        if (encoding_ != MeshFileEncoding::Text) return true;
        std::string_view extra;
        if (text_.NextWord(&extra)) return text_.Fail(error, "unexpected " + Quoted(extra) + " after the element");
        inLine_ = false;
        return true;
    }

private:
    template <typename T>
    static T Load(const unsigned char* raw) {
        T value;
        std::memcpy(&value, raw, sizeof value);
        return value;
    }

    bool ReadText(Scalar type, double* value, std::string* error) {
        std::string_view word;
        if (inLine_) {
            if (!text_.NextWord(&word)) return text_.Fail(error, "the element ends early");
        } else {
            // An element starts on a new line; blank lines between elements are passed over.
            do {
                if (!text_.NextLine()) return text_.Fail(error, "the file ends inside an element");
            } while (!text_.NextWord(&word));
            inLine_ = true;
        }
        if (IsInteger(type)) {
            std::int64_t integer = 0;
            if (!TextScanner::ParseSigned(word, &integer)) return text_.Fail(error, Quoted(word) + " is not a whole number");
            const IntegerRange range = RangeOf(type);
            if (integer < range.lowest || integer > range.highest)
                return text_.Fail(error, Quoted(word) + " does not fit the declared type '" + range.name + "' (" +
                                             std::to_string(range.lowest) + " to " + std::to_string(range.highest) +
                                             ")");
            *value = static_cast<double>(integer);
            return true;
        }
        float number = 0.0f;
        if (!TextScanner::ParseFloat(word, &number)) return text_.Fail(error, Quoted(word) + " is not a finite number");
        *value = number;
        return true;
    }

    const char* name_;
    const char* bytes_;
    std::size_t size_;
    MeshFileEncoding encoding_;
    std::size_t offset_;
    std::size_t valueOffset_ = 0;
    TextScanner text_;
    bool inLine_ = false;
};

// Appends the vertex data of one record whose scalar values are `values` (by property).
bool AppendVertex(BodyReader& body, const Element& element, const std::vector<double>& values,
                  MeshFileContents* contents, std::string* error) {
    const auto append = [&](const int* slots, int count, const char* what, std::vector<float>* out) {
        for (int k = 0; k < count; ++k) {
            const auto value = static_cast<float>(values[static_cast<std::size_t>(slots[k])]);
            if (!std::isfinite(value)) return body.Fail(error, std::string("a ") + what + " is not a finite float");
            out->push_back(value);
        }
        return true;
    };
    if (!append(element.coordinate, 3, "coordinate", &contents->positions)) return false;
    if (element.HasNormals() && !append(element.normal, 3, "normal", &contents->normals)) return false;
    if (element.HasTextureCoordinates() &&
        !append(element.texture, 2, "texture coordinate", &contents->textureCoordinates))
        return false;
    if (!element.HasColors()) return true;
    for (int k = 0; k < 4; ++k) {
        const int slot = element.color[k];
        if (slot < 0) {
            contents->colors.push_back(1.0f);
            continue;
        }
        const double value = values[static_cast<std::size_t>(slot)];
        if (IsInteger(element.properties[static_cast<std::size_t>(slot)].type)) {
            if (value < 0 || value > 255)
                return body.Fail(error, "colour value " + std::to_string(static_cast<std::int64_t>(value)) +
                                            " is outside 0 to 255");
            contents->colors.push_back(static_cast<float>(value) / 255.0f);
        } else if (!append(&slot, 1, "colour value", &contents->colors)) {
            return false;
        }
    }
    return true;
}

// The vertex records of `element` in the bulk layout: fixed-size records whose x, y and z
// are floats, keeping nothing else (other scalar properties are passed over).
bool VertexBulkLayout(const Element& element, MeshFileEncoding encoding, PlyVertexRecordLayout* layout) {
    if (encoding != MeshFileEncoding::BinaryLittleEndian || element.role != Role::Vertex || element.HasNormals() ||
        element.HasTextureCoordinates() || element.HasColors())
        return false;
    std::size_t offset = 0;
    for (std::size_t p = 0; p < element.properties.size(); ++p) {
        const Property& property = element.properties[p];
        if (property.isList) return false;
        for (int axis = 0; axis < 3; ++axis)
            if (element.coordinate[axis] == static_cast<int>(p)) {
                if (property.type != Scalar::Float32) return false;
                layout->coordinateOffset[axis] = offset;
            }
        offset += SizeOf(property.type);
    }
    layout->recordBytes = offset;
    return true;
}

// The face records of `element` in the bulk layout: the corner list alone, its items
// 32-bit; `*countBytes` is the size of its count.
bool FaceBulkLayout(const Element& element, MeshFileEncoding encoding, std::size_t* countBytes) {
    if (encoding != MeshFileEncoding::BinaryLittleEndian || element.role != Role::Face ||
        element.properties.size() != 1 || element.corners != 0)
        return false;
    const Property& list = element.properties[0];
    if (list.type != Scalar::Int32 && list.type != Scalar::UInt32) return false;
    *countBytes = SizeOf(list.countType);
    return *countBytes != 8;
}

// Runs `read(records, at)` over blocks of the records of `count` that the bytes
// left can hold, `recordBytes` each, until a block stops short; returns the records read.
template <typename ReadBlock>
std::uint64_t ReadInBlocks(const char* bytes, std::size_t size, std::size_t start, std::uint64_t count,
                           std::size_t recordBytes, ProgressTicker& progress, const ReadBlock& read) {
    const std::uint64_t whole = std::min<std::uint64_t>(count, (size - start) / recordBytes);
    std::uint64_t done = 0;
    while (done < whole) {
        const auto block = static_cast<std::size_t>(std::min<std::uint64_t>(kPlyBulkBlock, whole - done));
        const std::size_t at = start + static_cast<std::size_t>(done) * recordBytes;
        progress.At(at);
        const std::size_t taken = read(block, bytes + at);
        done += taken;
        if (taken < block) break;
    }
    return done;
}

// Reads the leading records of `element` that the bulk loops take and moves the body
// past them; returns how many were read (the general reader goes on from there).
std::uint64_t ReadBulkRecords(BodyReader& body, const Element& element, const Header& header,
                              ProgressTicker& progress, MeshFileContents* contents) {
    PlyVertexRecordLayout vertexLayout;
    std::size_t countBytes = 0;
    std::uint64_t done = 0;
    if (VertexBulkLayout(element, header.encoding, &vertexLayout)) {
        std::vector<float>& positions = contents->positions;
        done = ReadInBlocks(body.Bytes(), body.Size(), body.Offset(), element.count, vertexLayout.recordBytes,
                            progress, [&](std::size_t records, const char* at) {
                                const std::size_t old = positions.size();
                                positions.resize(old + 3 * records);
                                const std::size_t read = ReadPlyVertexRecords(at, records, vertexLayout, &positions[old]);
                                positions.resize(old + 3 * read);
                                return read;
                            });
        body.Skip(static_cast<std::size_t>(done) * vertexLayout.recordBytes);
    } else if (FaceBulkLayout(element, header.encoding, &countBytes) &&
               element.count <= kMaxFileTriangles - contents->corners.size() / 3) {
        std::vector<DWORD>& corners = contents->corners;
        done = ReadInBlocks(body.Bytes(), body.Size(), body.Offset(), element.count, countBytes + 12, progress,
                            [&](std::size_t records, const char* at) {
                                const std::size_t old = corners.size();
                                corners.resize(old + 3 * records);
                                const std::size_t read =
                                    ReadPlyTriangleRecords(at, records, countBytes, header.vertexCount, &corners[old]);
                                corners.resize(old + 3 * read);
                                return read;
                            });
        contents->summary.polygons += static_cast<DWORD>(done);
        body.Skip(static_cast<std::size_t>(done) * (countBytes + 12));
    }
    return done;
}

// Reads records [first, last) of `element` value by value.
bool ReadRecords(BodyReader& body, const Element& element, const Header& header, std::uint64_t first,
                 std::uint64_t last, ProgressTicker& progress, std::vector<DWORD>* polygon, MeshFileContents* contents,
                 std::string* error) {
    std::vector<double> values(element.properties.size(), 0.0);
    for (std::uint64_t record = first; record < last; ++record) {
        progress.At(body.Offset());
        for (std::size_t p = 0; p < element.properties.size(); ++p) {
            const Property& property = element.properties[p];
            double value = 0.0;
            if (!property.isList) {
                if (!body.Read(property.type, &values[p], error)) return false;
                continue;
            }
            if (!body.Read(property.countType, &value, error)) return false;
            if (value < 0) return body.Fail(error, "a list has a negative length");
            const auto count = static_cast<std::uint64_t>(value);
            if (!body.HasRoomFor(count, property.type))
                return body.Fail(error, "a list of " + std::to_string(count) + " items runs past the end of the file");
            const bool corners = static_cast<int>(p) == element.corners;
            if (corners && count < 3)
                return body.Fail(error, "a face needs at least three corners, this one has " + std::to_string(count));
            if (corners) polygon->clear();
            for (std::uint64_t item = 0; item < count; ++item) {
                if (!body.Read(property.type, &value, error)) return false;
                if (!corners) continue;
                if (value < 0 || value >= static_cast<double>(header.vertexCount))
                    return body.Fail(error, "corner " + std::to_string(static_cast<std::int64_t>(value)) +
                                                " names no vertex (" + std::to_string(header.vertexCount) +
                                                " vertices)");
                polygon->push_back(static_cast<DWORD>(value));
            }
            if (corners && !AppendPolygon(polygon->data(), polygon->size(), contents))
                return body.Fail(error, "too many faces");
        }
        if (!body.EndRecord(error)) return false;
        if (element.role == Role::Vertex && !AppendVertex(body, element, values, contents, error)) return false;
    }
    return true;
}

bool ReadElement(BodyReader& body, const Element& element, const Header& header, ProgressTicker& progress,
                 std::vector<DWORD>* polygon, MeshFileContents* contents, std::string* error) {
    const std::uint64_t bulk = ReadBulkRecords(body, element, header, progress, contents);
    return ReadRecords(body, element, header, bulk, element.count, progress, polygon, contents, error);
}

// The lines a text element's records take: one each, or none for an element without
// properties, whose records hold no words.
std::uint64_t TextLinesOf(const Element& element) { return element.properties.empty() ? 0 : element.count; }

// Reads the records of one chunk of a text body, numbered over all elements in header
// order from the chunk's first record (records that take no line left out).
bool ReadTextChunk(const char* name, const char* bytes, const Header& header, const TextChunk& chunk,
                   MeshFileContents* contents, std::string* error) {
    BodyReader body(name, bytes, chunk.begin, chunk.end, chunk.linesBefore);
    // Chunks are read on the pool's threads: they report no progress, and their pages are
    // let go of once each chunk is read (see ReadTextChunks).
    const MeshReadOptions quiet;
    ProgressTicker progress(quiet, chunk.end);
    std::vector<DWORD> polygon;
    std::uint64_t elementStart = 0;
    const std::uint64_t first = chunk.firstRecord, last = first + chunk.records;
    for (const Element& element : header.elements) {
        const std::uint64_t lines = TextLinesOf(element);
        const std::uint64_t from = std::max(first, elementStart), to = std::min(last, elementStart + lines);
        if (from < to && !ReadRecords(body, element, header, from - elementStart, to - elementStart, progress,
                                      &polygon, contents, error))
            return false;
        elementStart += lines;
    }
    return true;
}

// Reads a large text body in chunks on the caller's pool: every record takes one line
// with a word on it, unless its element has no properties, when it takes none (and adds
// nothing to the mesh, so the chunks pass over it).
ChunkedRead ReadTextBodyInChunks(const char* name, const char* bytes, std::size_t size, const Header& header,
                                 const MeshReadOptions& options, MeshFileContents* contents, std::string* error) {
    const std::size_t parts = header.encoding == MeshFileEncoding::Text
                                  ? TextChunkCount(options.pool, size - header.bodyStart)
                                  : 1;
    std::uint64_t records = 0;
    for (const Element& element : header.elements) records += TextLinesOf(element);
    if (parts < 2) return ChunkedRead::OnOneThread;
    return ReadTextChunks(
        name, bytes, header.bodyStart, size, header.headerLines, '\0', records, options.pool, parts,
        [&](const TextChunk& chunk, MeshFileContents* chunkContents, std::string* chunkError) {
            return ReadTextChunk(name, bytes, header, chunk, chunkContents, chunkError);
        },
        [](std::uint64_t) { return std::string("the file ends inside an element"); }, contents, error);
}

// The triangles a file of only vertices and faces holds when every face is one: its
// face count, which the header has checked against the bytes after it.
std::uint64_t FaceCount(const Header& header) {
    for (const Element& element : header.elements)
        if (element.role == Role::Face) return element.count;
    return 0;
}

}  // namespace

bool ReadPlyContents(const char* name, const char* bytes, std::size_t size, const MeshReadOptions& options,
                     MeshFileContents* contents, std::string* error) {
    Header header;
    if (!ReadHeader(name, bytes, size, options, &header, error)) return false;
    contents->summary.encoding = header.encoding;
    contents->positions.reserve(3 * header.vertexCount);
    // Room for every face as a triangle: exact for the usual file, and a polygon file grows
    // from there. The count is bounded by the bytes after the header.
    contents->corners.reserve(3 * std::min<std::uint64_t>(FaceCount(header), kMaxFileTriangles));
    for (const Element& element : header.elements) {
        if (element.role != Role::Vertex) continue;
        if (element.HasNormals()) contents->normals.reserve(3 * header.vertexCount);
        if (element.HasTextureCoordinates()) contents->textureCoordinates.reserve(2 * header.vertexCount);
        if (element.HasColors()) {
            contents->colors.reserve(4 * header.vertexCount);
            // 8-bit only when every colour property is an integer: a float alpha beside
            // integer red, green and blue keeps all four as floats.
            contents->colorBytes = true;
            for (int slot : element.color)
                if (slot >= 0 && !IsInteger(element.properties[static_cast<std::size_t>(slot)].type))
                    contents->colorBytes = false;
        }
    }

    switch (ReadTextBodyInChunks(name, bytes, size, header, options, contents, error)) {
        case ChunkedRead::Read: return true;
        case ChunkedRead::Refused: return false;
        case ChunkedRead::OnOneThread: break;
    }
    BodyReader body(name, bytes, size, header);
    ProgressTicker progress(options, size, contents->input);
    std::vector<DWORD> polygon;
    for (const Element& element : header.elements)
        if (!ReadElement(body, element, header, progress, &polygon, contents, error)) return false;
    return true;
}

namespace {

// The file is binary PLY of vertices and faces alone, both in the bulk layouts.
bool HasTriangleBufferLayout(const Header& header) {
    PlyVertexRecordLayout vertexLayout;
    std::size_t countBytes = 0;
    if (header.elements.size() != 2) return false;
    for (const Element& element : header.elements)
        if (!VertexBulkLayout(element, header.encoding, &vertexLayout) &&
            !FaceBulkLayout(element, header.encoding, &countBytes))
            return false;
    return true;
}

}  // namespace

bool PlyTriangleBufferCounts(const char* bytes, std::size_t size, const MeshReadOptions& options,
                             std::uint64_t* vertices, std::uint64_t* triangles) {
    Header header;
    std::string ignored;
    if (!ReadHeader("", bytes, size, options, &header, &ignored) || !HasTriangleBufferLayout(header)) return false;
    *vertices = header.vertexCount;
    *triangles = FaceCount(header);
    return *vertices > 0 && *triangles > 0 && *triangles <= kMaxFileTriangles;
}

bool ReadPlyTriangleBuffers(const char* bytes, std::size_t size, const MeshReadOptions& options,
                            const MeshInputBytes* input, float* positions, DWORD* corners, MeshFileSummary* summary) {
    Header header;
    std::string ignored;
    if (!ReadHeader("", bytes, size, options, &header, &ignored) || !HasTriangleBufferLayout(header)) return false;
    // Progress comes from the first part, as far as the whole element has come at its pace;
    // the pages read are let go by each part for its own records.
    ProgressTicker progress(options, size);
    std::size_t at = header.bodyStart;
    for (const Element& element : header.elements) {
        PlyVertexRecordLayout vertexLayout;
        std::size_t countBytes = 0;
        const bool vertices = VertexBulkLayout(element, header.encoding, &vertexLayout);
        if (!vertices) FaceBulkLayout(element, header.encoding, &countBytes);
        const std::size_t recordBytes = vertices ? vertexLayout.recordBytes : countBytes + 12;
        // Reads `records` records at `from`, the first of them record `first`.
        const auto read = [&](std::size_t records, const char* from, std::size_t first) {
            return vertices ? ReadPlyVertexRecords(from, records, vertexLayout, positions + 3 * first)
                            : ReadPlyTriangleRecords(from, records, countBytes, header.vertexCount, corners + 3 * first);
        };
        if ((size - at) / recordBytes < element.count) return false;
        const auto count = static_cast<std::size_t>(element.count);
        const std::size_t parts = PartsFor(options.pool, count, kPlyBulkBlock);
        std::vector<char> complete(parts, 0);
        RunParts(options.pool, parts, [&](std::size_t part) {
            const auto [first, last] = ItemsOfPart(count, parts, part);
            std::size_t done = first;
            while (done < last) {
                const std::size_t block = std::min(kPlyBulkBlock, last - done);
                const std::size_t offset = at + done * recordBytes;
                if (part == 0) progress.At(at + (done - first) * parts * recordBytes);
                const std::size_t taken = read(block, bytes + offset, done);
                if (input != nullptr) input->ReleaseRange(offset, offset + taken * recordBytes);
                done += taken;
                if (taken < block) break;
            }
            complete[part] = done == last;
        });
        if (std::find(complete.begin(), complete.end(), 0) != complete.end()) return false;
        at += count * recordBytes;
    }
    summary->encoding = header.encoding;
    summary->polygons = static_cast<DWORD>(FaceCount(header));
    return true;
}

}  // namespace facet
