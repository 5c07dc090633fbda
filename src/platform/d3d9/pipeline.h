// The fixed-function draw: primitive assembly, vertex fetch, transform of row vectors by
// world · view · projection, vertex colour (unlit diffuse, or the simple lighting below),
// clipping, perspective divide, viewport mapping and rasterization.
//
// Lighting, when D3DRS_LIGHTING is on: no lights exist on this device, so every vertex
// gets the material's emissive colour plus its ambient colour times D3DRS_AMBIENT,
// clamped to [0, 1], with the material's diffuse alpha. Pre-transformed vertices are
// never lit, transformed or clipped (only scissored).
//
// The caller has checked every vertex the draw reads against its buffers.
#pragma once

#include "springdrop/d3d9/d3d9.h"
#include "springdrop/d3d9/rasterizer.h"
#include "springdrop/d3d9/vertex_layout.h"

#include <array>
#include <cstdint>

namespace d3d9sw {

// One bound stream: its bytes, the byte offset of vertex 0 and the stride.
struct StreamView {
    const std::uint8_t* data = nullptr;
    UINT offset = 0;
    UINT stride = 0;
};

// Which vertex stands at each position of the assembled vertex sequence: consecutive
// vertices from `startVertex`, or `baseVertexIndex` plus the entries of the index data
// from `startIndex` on.
struct VertexSource {
    UINT startVertex = 0;
    const std::uint8_t* indices = nullptr;
    bool indices32 = false;
    UINT startIndex = 0;
    INT baseVertexIndex = 0;

    // A signed 64-bit index so the caller can reject negative ones.
    std::int64_t VertexAt(UINT position) const;
};

struct FixedFunctionState {
    D3DMATRIX worldViewProjection;
    D3DVIEWPORT9 viewport;
    CullMode cull = CullMode::None;
    bool lighting = false;
    D3DCOLOR ambient = 0;
    D3DMATERIAL9 material{};
};

// Vertices consumed by `primitiveCount` primitives of `type`; 0 for an unknown type or a
// count of 0.
UINT VerticesForPrimitives(D3DPRIMITIVETYPE type, UINT primitiveCount);

void DrawPrimitives(const RasterTarget& target, const FixedFunctionState& state, const VertexLayout& layout,
                    const std::array<StreamView, kMaxStreams>& streams, const VertexSource& source,
                    D3DPRIMITIVETYPE type, UINT primitiveCount);

// a · b for row-vector matrices.
D3DMATRIX MultiplyMatrices(const D3DMATRIX& a, const D3DMATRIX& b);

}  // namespace d3d9sw
