#include "springdrop/d3d9/clipping.h"

#include <array>

namespace d3d9sw {
namespace {

constexpr float kMinimumW = 1e-6f;
constexpr int kPlaneCount = 7;

// Signed distance of v from plane `plane`; inside when ≥ 0.
float Distance(const ClipVertex& v, int plane) {
    switch (plane) {
    case 0: return v.z;
    case 1: return v.w - kMinimumW;
    case 2: return v.w - v.z;
    case 3: return v.w + v.x;
    case 4: return v.w - v.x;
    case 5: return v.w + v.y;
    default: return v.w - v.y;
    }
}

float Mix(float from, float to, float t) { return from + (to - from) * t; }

ClipVertex Intersect(const ClipVertex& inside, float insideDistance, const ClipVertex& outside,
                     float outsideDistance) {
    float t = insideDistance / (insideDistance - outsideDistance);
    return ClipVertex{Mix(inside.x, outside.x, t), Mix(inside.y, outside.y, t), Mix(inside.z, outside.z, t),
                      Mix(inside.w, outside.w, t), Mix(inside.r, outside.r, t), Mix(inside.g, outside.g, t),
                      Mix(inside.b, outside.b, t), Mix(inside.a, outside.a, t)};
}

}  // namespace

bool IsVisible(const ClipVertex& point) {
    for (int plane = 0; plane < kPlaneCount; ++plane)
        if (!(Distance(point, plane) >= 0.0f)) return false;
    return true;
}

bool ClipLine(ClipVertex* start, ClipVertex* end) {
    for (int plane = 0; plane < kPlaneCount; ++plane) {
        float d0 = Distance(*start, plane);
        float d1 = Distance(*end, plane);
        bool in0 = d0 >= 0.0f;
        bool in1 = d1 >= 0.0f;
        if (!in0 && !in1) return false;
        if (in0 && !in1) *end = Intersect(*start, d0, *end, d1);
        if (!in0 && in1) *start = Intersect(*end, d1, *start, d0);
    }
    return true;
}

int ClipTriangle(const ClipVertex& a, const ClipVertex& b, const ClipVertex& c, ClipVertex* out) {
    std::array<ClipVertex, kMaxClippedVertices> buffers[2];
    buffers[0][0] = a;
    buffers[0][1] = b;
    buffers[0][2] = c;
    int count = 3;
    int current = 0;
    for (int plane = 0; plane < kPlaneCount && count > 0; ++plane) {
        const auto& in = buffers[current];
        auto& next = buffers[1 - current];
        int written = 0;
        // A convex polygon gains at most one vertex per plane; the bound only matters for
        // numerically degenerate input, which is cut short rather than overrun.
        for (int i = 0; i < count && written <= kMaxClippedVertices - 2; ++i) {
            const ClipVertex& from = in[i];
            const ClipVertex& to = in[(i + 1) % count];
            float dFrom = Distance(from, plane);
            float dTo = Distance(to, plane);
            bool fromInside = dFrom >= 0.0f;
            bool toInside = dTo >= 0.0f;
            if (fromInside) next[written++] = from;
            if (fromInside && !toInside) next[written++] = Intersect(from, dFrom, to, dTo);
            if (!fromInside && toInside) next[written++] = Intersect(to, dTo, from, dFrom);
        }
        count = written < 3 ? 0 : written;
        current = 1 - current;
    }
    for (int i = 0; i < count; ++i) out[i] = buffers[current][i];
    return count;
}

}  // namespace d3d9sw
