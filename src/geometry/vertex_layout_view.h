// VertexLayoutView: the elements of a vertex declaration that the library knows how to
// read, found by usage, usage index and type, and the vertex stride.
#pragma once

#include "springdrop/d3d9/d3d9.h"

namespace facet {

struct VertexLayoutView {
    static constexpr UINT kTextureSets = 8;

    // Null where the declaration has no element of the accepted kind. A later element
    // of the same kind replaces an earlier one.
    const D3DVERTEXELEMENT9* position = nullptr;      // POSITION 0, FLOAT3
    const D3DVERTEXELEMENT9* blendWeights = nullptr;  // BLENDWEIGHT 0, FLOAT1 … FLOAT4
    const D3DVERTEXELEMENT9* blendIndices = nullptr;  // BLENDINDICES 0, UBYTE4 or D3DCOLOR
    const D3DVERTEXELEMENT9* normal = nullptr;        // NORMAL 0, FLOAT3
    const D3DVERTEXELEMENT9* textureCoordinates[kTextureSets] = {};  // TEXCOORD i, FLOAT1 … FLOAT4
    const D3DVERTEXELEMENT9* diffuse = nullptr;       // COLOR 0, FLOAT4 or D3DCOLOR
    const D3DVERTEXELEMENT9* specular = nullptr;      // COLOR 1, FLOAT4 or D3DCOLOR
    UINT stride = 0;                                  // DeclarationStride of stream 0

    // Views `declaration`, which must stay alive as long as the view is used.
    explicit VertexLayoutView(const D3DVERTEXELEMENT9* declaration);
};

}  // namespace facet
