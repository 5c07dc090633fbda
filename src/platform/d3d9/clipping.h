// Clipping in homogeneous clip space against the view volume −w ≤ x ≤ w, −w ≤ y ≤ w,
// 0 ≤ z ≤ w, and w ≥ a tiny positive bound, so that the perspective divide that follows
// never divides by zero or flips a point through infinity. A segment or triangle that
// crosses the near plane z = 0 keeps only its visible part.
//
// Each new vertex is interpolated from the edge's inside end towards its outside end, so
// an edge shared by two triangles is cut at bit-identical points for both.
#pragma once

namespace d3d9sw {

struct ClipVertex {
    float x, y, z, w;
    float r, g, b, a;  // colour channels in [0, 255]
};

// A triangle clipped by seven planes has at most 3 + 7 vertices.
constexpr int kMaxClippedVertices = 10;

// True when the point lies inside the view volume.
bool IsVisible(const ClipVertex& point);

// Clips the segment in place; false when nothing of it is visible.
bool ClipLine(ClipVertex* start, ClipVertex* end);

// Clips the triangle into a convex polygon with the same winding, written to `out`;
// returns its vertex count (0 when nothing is visible, otherwise at least 3).
int ClipTriangle(const ClipVertex& a, const ClipVertex& b, const ClipVertex& c, ClipVertex* out);

}  // namespace d3d9sw
