// The rasterizer of the software device: points, lines and triangles in screen space,
// written into an RGBA8 colour buffer with an optional depth test, all inside a scissor
// rectangle (the viewport). Results are fixed by the rules below, so images are exact.
//
// Screen space: x grows to the right, y downwards; pixel (i, j) covers [i, i+1) × [j, j+1)
// and its centre is (i + 0.5, j + 0.5). All coverage arithmetic is done in double
// precision on the float vertex coordinates, which keeps the coverage tests exact for
// coordinates of ordinary size.
//
// Triangles: a pixel is covered when its centre lies inside the triangle. A centre exactly
// on an edge is covered only if the edge is a top edge (horizontal, with the triangle
// below it) or a left edge (the triangle to its right), so triangles sharing an edge never
// both cover a pixel and never both miss it. Winding is judged on screen: with y down,
// a positive signed area (b − a) × (c − a) is clockwise. D3DCULL_CW discards clockwise
// triangles, D3DCULL_CCW counter-clockwise ones, D3DCULL_NONE neither; triangles of zero
// area draw nothing.
//
// Lines: the major axis is x when |dx| ≥ |dy|, otherwise y. Along the major axis, one
// pixel is lit per pixel column (x-major) or row (y-major) whose centre lies in the
// half-open range from the start point (included) to the end point (excluded), in the
// direction the line is drawn. In that column the lit pixel is the one whose span
// contains the line's exact minor coordinate at the column's centre (floor of it). So a
// line from (10.5, 20.5) to (20.5, 20.5) lights x = 10..19 at y = 20; a line of zero
// length lights nothing; consecutive strip segments never light their shared end twice.
//
// Points: the pixel that contains the point (floor of x and y); point size is ignored.
//
// Attributes: colour (and depth) are interpolated linearly in screen space — by the
// barycentric weights at the pixel centre for triangles and by the position of the
// column's (row's) centre along the major axis for lines — and rounded to the nearest
// 8-bit value (halves up). Depth test, when enabled: the pixel passes when its depth is
// less than or equal to the stored depth; the stored depth is replaced when depth writes
// are enabled.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace d3d9sw {

// A vertex after the viewport transform: screen position, depth in [MinZ, MaxZ] and
// colour channels in [0, 255].
struct ScreenVertex {
    float x, y, z;
    float r, g, b, a;
};

// The buffers drawn into and the scissor rectangle [left, right) × [top, bottom), which
// must lie inside the buffers. `color` holds RGBA8 pixels (bytes R, G, B, A in memory),
// `depth` one float per pixel or null when there is no depth buffer.
struct RasterTarget {
    std::uint8_t* color = nullptr;
    float* depth = nullptr;
    int pitch = 0;  // pixels per row
    int left = 0, top = 0, right = 0, bottom = 0;
    bool depthTest = false;
    bool depthWrite = false;
};

enum class CullMode { None, Clockwise, CounterClockwise };

// Writes `pixel` into `count` consecutive pixels from `first` at memory speed: a memset
// when its four bytes agree (white, black), else a filled block copied onwards.
void FillPixels(std::uint8_t* first, std::size_t count, std::uint32_t pixel);

void RasterizePoint(const RasterTarget& target, const ScreenVertex& point);
void RasterizeLine(const RasterTarget& target, const ScreenVertex& start, const ScreenVertex& end);
void RasterizeTriangle(const RasterTarget& target, const ScreenVertex& a, const ScreenVertex& b,
                       const ScreenVertex& c, CullMode cull);

// The 32-bit word whose bytes in memory are r, g, b, a. Inline: it runs once per pixel.
// (memcpy rather than std::bit_cast, which the web build's standard library lacks; both
// compile to the same move.)
inline std::uint32_t PackRgba(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a) {
    const std::uint8_t bytes[4] = {r, g, b, a};
    std::uint32_t word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

}  // namespace d3d9sw
