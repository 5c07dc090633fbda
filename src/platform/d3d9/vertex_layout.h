// Where a draw finds each vertex's position and diffuse colour, derived either from a
// flexible vertex format code or from a vertex declaration, and how many bytes of each
// stream one vertex occupies (used to check that a draw stays inside its buffers).
#pragma once

#include "springdrop/d3d9/d3d9.h"

#include <array>
#include <cstdint>

namespace d3d9sw {

constexpr UINT kMaxStreams = 16;

enum class PositionKind {
    Model,        // x, y, z; w taken as 1, transformed by world · view · projection
    Homogeneous,  // x, y, z, w, transformed by world · view · projection
    Transformed,  // screen x, y, z and reciprocal w: no transform, no clipping
};

enum class ColorKind {
    None,    // the vertex has no diffuse colour: white
    Packed,  // D3DCOLOR, 0xAARRGGBB
    Float4,  // r, g, b, a floats in [0, 1]
};

struct ElementLocation {
    UINT stream = 0;
    UINT offset = 0;
};

struct VertexLayout {
    PositionKind position = PositionKind::Model;
    ElementLocation positionAt;
    ColorKind diffuse = ColorKind::None;
    ElementLocation diffuseAt;
    // Bytes of each stream one vertex reads (0: the stream is not read).
    std::array<UINT, kMaxStreams> streamExtent{};
};

// True for codes whose reserved bits are clear and whose position bits name a format.
bool IsValidFvf(DWORD fvf);
// Bytes of one vertex of a valid code (0 for an invalid one).
UINT FvfVertexSize(DWORD fvf);
// False when the code is invalid or has no position.
bool LayoutFromFvf(DWORD fvf, VertexLayout* layout);

// Bytes of one element of a declaration type (0 for an unknown type).
UINT DeclarationTypeSize(BYTE type);
// Counts the elements before the end marker; false when an element is malformed (bad
// stream, type, method or usage), a usage and index pair repeats, or no end marker comes
// within MAXD3DDECLLENGTH elements.
bool MeasureDeclaration(const D3DVERTEXELEMENT9* elements, UINT* count);
// False when the declaration has no usable position (POSITION as FLOAT3 or FLOAT4, or
// POSITIONT as FLOAT4). COLOR 0 is read when it is D3DCOLOR or FLOAT4.
bool LayoutFromDeclaration(const D3DVERTEXELEMENT9* elements, UINT count, VertexLayout* layout);

}  // namespace d3d9sw
