// The header of a PLY file: its encoding, and its elements with their properties in
// order, read up to "end_header" and checked against the bytes after it. The body is read
// by ply_reader.cpp (and, in its common binary layouts, ply_binary_records).
#pragma once

#include "facet/mesh_file.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace facet::ply {

enum class Scalar { Int8, UInt8, Int16, UInt16, Int32, UInt32, Float32, Float64 };

inline std::size_t SizeOf(Scalar type) {
    switch (type) {
        case Scalar::Int8: case Scalar::UInt8: return 1;
        case Scalar::Int16: case Scalar::UInt16: return 2;
        case Scalar::Int32: case Scalar::UInt32: case Scalar::Float32: return 4;
        case Scalar::Float64: return 8;
    }
    return 8;
}

inline bool IsInteger(Scalar type) { return type != Scalar::Float32 && type != Scalar::Float64; }

// The range of an integer type and the name a refusal gives it.
struct IntegerRange {
    std::int64_t lowest;
    std::int64_t highest;
    const char* name;
};

inline IntegerRange RangeOf(Scalar type) {
    switch (type) {
        case Scalar::Int8: return {-128, 127, "char"};
        case Scalar::UInt8: return {0, 255, "uchar"};
        case Scalar::Int16: return {-32768, 32767, "short"};
        case Scalar::UInt16: return {0, 65535, "ushort"};
        case Scalar::Int32: return {-2147483648LL, 2147483647LL, "int"};
        case Scalar::UInt32: return {0, 4294967295LL, "uint"};
        case Scalar::Float32: case Scalar::Float64: break;
    }
    return {0, 0, "float"};
}

struct Property {
    std::string name;
    Scalar type = Scalar::Float32;  // of the value, or of each item of a list
    bool isList = false;
    Scalar countType = Scalar::UInt8;
};

enum class Role { Other, Vertex, Face };

struct Element {
    std::string name;
    std::uint64_t count = 0;
    std::uint64_t line = 0;
    std::vector<Property> properties;
    Role role = Role::Other;
    int coordinate[3] = {-1, -1, -1};  // property numbers of x, y, z
    int normal[3] = {-1, -1, -1};      // of nx, ny, nz
    int texture[2] = {-1, -1};         // of u, v (or their other names)
    int color[4] = {-1, -1, -1, -1};   // of red, green, blue, alpha
    int corners = -1;                   // property number of the face's index list

    bool HasNormals() const { return normal[0] >= 0 && normal[1] >= 0 && normal[2] >= 0; }
    bool HasTextureCoordinates() const { return texture[0] >= 0 && texture[1] >= 0; }
    bool HasColors() const { return color[0] >= 0 && color[1] >= 0 && color[2] >= 0; }
};

struct Header {
    MeshFileEncoding encoding = MeshFileEncoding::Text;
    std::vector<Element> elements;
    std::size_t bodyStart = 0;
    std::uint64_t headerLines = 0;
    std::uint64_t vertexCount = 0;
};

// Reads the header of the PLY file `name` (`size` bytes at `bytes`) up to "end_header"
// and checks its counts against the bytes after it: every element's count times the
// smallest size its record can have must fit, so a header claiming billions of elements
// in a short file is refused at its own line before anything is allocated. False with
// the refusal ("NAME: line N: why") in `*error`.
bool ReadHeader(const char* name, const char* bytes, std::size_t size, const MeshReadOptions& options,
                Header* header, std::string* error);

}  // namespace facet::ply
