#include "springdrop/d3d9/pipeline.h"

#include "springdrop/d3d9/clipping.h"

#include <algorithm>
#include <cstring>

namespace d3d9sw {
namespace {

// A vertex after vertex processing: clip-space position (or, when pre-transformed, the
// screen position with the reciprocal w) and colour.
struct ProcessedVertex {
    ClipVertex clip;
    bool transformed;
};

float ReadFloat(const std::uint8_t* bytes) {
    float value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

const std::uint8_t* ElementBytes(const std::array<StreamView, kMaxStreams>& streams, ElementLocation at,
                                 std::int64_t vertex) {
    const StreamView& stream = streams[at.stream];
    return stream.data + stream.offset + static_cast<std::size_t>(vertex) * stream.stride + at.offset;
}

float Clamp01(float value) { return std::clamp(value, 0.0f, 1.0f); }

void SetDiffuse(const VertexLayout& layout, const std::uint8_t* bytes, ClipVertex* v) {
    switch (layout.diffuse) {
    case ColorKind::Packed: {
        std::uint32_t argb;
        std::memcpy(&argb, bytes, sizeof argb);
        v->r = static_cast<float>((argb >> 16) & 0xFF);
        v->g = static_cast<float>((argb >> 8) & 0xFF);
        v->b = static_cast<float>(argb & 0xFF);
        v->a = static_cast<float>(argb >> 24);
        return;
    }
    case ColorKind::Float4:
        v->r = Clamp01(ReadFloat(bytes)) * 255.0f;
        v->g = Clamp01(ReadFloat(bytes + 4)) * 255.0f;
        v->b = Clamp01(ReadFloat(bytes + 8)) * 255.0f;
        v->a = Clamp01(ReadFloat(bytes + 12)) * 255.0f;
        return;
    case ColorKind::None:
        v->r = v->g = v->b = v->a = 255.0f;
        return;
    }
}

void SetLitColour(const FixedFunctionState& state, ClipVertex* v) {
    auto channel = [&](float emissive, float ambient, unsigned shift) {
        float global = static_cast<float>((state.ambient >> shift) & 0xFF) / 255.0f;
        return Clamp01(emissive + ambient * global) * 255.0f;
    };
    v->r = channel(state.material.Emissive.r, state.material.Ambient.r, 16);
    v->g = channel(state.material.Emissive.g, state.material.Ambient.g, 8);
    v->b = channel(state.material.Emissive.b, state.material.Ambient.b, 0);
    v->a = Clamp01(state.material.Diffuse.a) * 255.0f;
}

ProcessedVertex ProcessVertex(const FixedFunctionState& state, const VertexLayout& layout,
                              const std::array<StreamView, kMaxStreams>& streams, std::int64_t vertex) {
    const std::uint8_t* position = ElementBytes(streams, layout.positionAt, vertex);
    float x = ReadFloat(position), y = ReadFloat(position + 4), z = ReadFloat(position + 8);
    float w = layout.position == PositionKind::Model ? 1.0f : ReadFloat(position + 12);
    ProcessedVertex out{};
    out.transformed = layout.position == PositionKind::Transformed;
    if (out.transformed) {
        out.clip.x = x;
        out.clip.y = y;
        out.clip.z = z;
        out.clip.w = w;
    } else {
        const D3DMATRIX& m = state.worldViewProjection;
        out.clip.x = x * m._11 + y * m._21 + z * m._31 + w * m._41;
        out.clip.y = x * m._12 + y * m._22 + z * m._32 + w * m._42;
        out.clip.z = x * m._13 + y * m._23 + z * m._33 + w * m._43;
        out.clip.w = x * m._14 + y * m._24 + z * m._34 + w * m._44;
    }
    if (state.lighting && !out.transformed)
        SetLitColour(state, &out.clip);
    else
        SetDiffuse(layout, layout.diffuse == ColorKind::None ? nullptr : ElementBytes(streams, layout.diffuseAt, vertex),
                   &out.clip);
    return out;
}

// Perspective divide and viewport mapping of a clipped vertex.
ScreenVertex ToScreen(const D3DVIEWPORT9& viewport, const ClipVertex& v) {
    float rhw = 1.0f / v.w;
    float halfWidth = static_cast<float>(viewport.Width) * 0.5f;
    float halfHeight = static_cast<float>(viewport.Height) * 0.5f;
    return ScreenVertex{static_cast<float>(viewport.X) + (v.x * rhw + 1.0f) * halfWidth,
                        static_cast<float>(viewport.Y) + (1.0f - v.y * rhw) * halfHeight,
                        viewport.MinZ + v.z * rhw * (viewport.MaxZ - viewport.MinZ),
                        v.r,
                        v.g,
                        v.b,
                        v.a};
}

// A pre-transformed vertex is already on screen.
ScreenVertex AsScreen(const ClipVertex& v) { return ScreenVertex{v.x, v.y, v.z, v.r, v.g, v.b, v.a}; }

class PrimitiveDrawer {
public:
    PrimitiveDrawer(const RasterTarget& target, const FixedFunctionState& state) : target_(target), state_(state) {}

    void Point(const ProcessedVertex& p) {
        if (p.transformed) {
            RasterizePoint(target_, AsScreen(p.clip));
        } else if (IsVisible(p.clip)) {
            RasterizePoint(target_, ToScreen(state_.viewport, p.clip));
        }
    }

    void Line(const ProcessedVertex& p, const ProcessedVertex& q) {
        if (p.transformed) {
            RasterizeLine(target_, AsScreen(p.clip), AsScreen(q.clip));
            return;
        }
        ClipVertex start = p.clip, end = q.clip;
        if (ClipLine(&start, &end))
            RasterizeLine(target_, ToScreen(state_.viewport, start), ToScreen(state_.viewport, end));
    }

    void Triangle(const ProcessedVertex& p, const ProcessedVertex& q, const ProcessedVertex& r) {
        if (p.transformed) {
            RasterizeTriangle(target_, AsScreen(p.clip), AsScreen(q.clip), AsScreen(r.clip), state_.cull);
            return;
        }
        ClipVertex polygon[kMaxClippedVertices];
        int count = ClipTriangle(p.clip, q.clip, r.clip, polygon);
        if (count == 0) return;
        ScreenVertex first = ToScreen(state_.viewport, polygon[0]);
        ScreenVertex previous = ToScreen(state_.viewport, polygon[1]);
        for (int i = 2; i < count; ++i) {
            ScreenVertex next = ToScreen(state_.viewport, polygon[i]);
            RasterizeTriangle(target_, first, previous, next, state_.cull);
            previous = next;
        }
    }

private:
    const RasterTarget& target_;
    const FixedFunctionState& state_;
};

}  // namespace

std::int64_t VertexSource::VertexAt(UINT position) const {
    if (!indices) return static_cast<std::int64_t>(startVertex) + position;
    std::size_t entry = static_cast<std::size_t>(startIndex) + position;
    std::uint32_t index;
    if (indices32) {
        std::memcpy(&index, indices + entry * 4, 4);
    } else {
        std::uint16_t narrow;
        std::memcpy(&narrow, indices + entry * 2, 2);
        index = narrow;
    }
    return static_cast<std::int64_t>(baseVertexIndex) + index;
}

UINT VerticesForPrimitives(D3DPRIMITIVETYPE type, UINT primitiveCount) {
    if (primitiveCount == 0) return 0;
    switch (type) {
    case D3DPT_POINTLIST: return primitiveCount;
    case D3DPT_LINELIST: return primitiveCount * 2;
    case D3DPT_LINESTRIP: return primitiveCount + 1;
    case D3DPT_TRIANGLELIST: return primitiveCount * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN: return primitiveCount + 2;
    }
    return 0;
}

void DrawPrimitives(const RasterTarget& target, const FixedFunctionState& state, const VertexLayout& layout,
                    const std::array<StreamView, kMaxStreams>& streams, const VertexSource& source,
                    D3DPRIMITIVETYPE type, UINT primitiveCount) {
    PrimitiveDrawer draw(target, state);
    auto vertex = [&](UINT position) { return ProcessVertex(state, layout, streams, source.VertexAt(position)); };
    for (UINT i = 0; i < primitiveCount; ++i) {
        switch (type) {
        case D3DPT_POINTLIST: draw.Point(vertex(i)); break;
        case D3DPT_LINELIST: draw.Line(vertex(2 * i), vertex(2 * i + 1)); break;
        case D3DPT_LINESTRIP: draw.Line(vertex(i), vertex(i + 1)); break;
        case D3DPT_TRIANGLELIST: draw.Triangle(vertex(3 * i), vertex(3 * i + 1), vertex(3 * i + 2)); break;
        case D3DPT_TRIANGLESTRIP:
            // Odd triangles swap their first two vertices so every triangle keeps the
            // strip's winding.
            if (i % 2 == 0)
                draw.Triangle(vertex(i), vertex(i + 1), vertex(i + 2));
            else
                draw.Triangle(vertex(i + 1), vertex(i), vertex(i + 2));
            break;
        case D3DPT_TRIANGLEFAN: draw.Triangle(vertex(0), vertex(i + 1), vertex(i + 2)); break;
        }
    }
}

D3DMATRIX MultiplyMatrices(const D3DMATRIX& a, const D3DMATRIX& b) {
    D3DMATRIX product{};
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            product.m[row][column] = a.m[row][0] * b.m[0][column] + a.m[row][1] * b.m[1][column] +
                                     a.m[row][2] * b.m[2][column] + a.m[row][3] * b.m[3][column];
    return product;
}

}  // namespace d3d9sw
