#include "springdrop/d3d9/rasterizer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace d3d9sw {
namespace {

std::uint8_t ToByte(double channel) {
    double rounded = std::floor(channel + 0.5);
    return static_cast<std::uint8_t>(std::clamp(rounded, 0.0, 255.0));
}

std::uint32_t PackChannels(double r, double g, double b, double a) {
    return PackRgba(ToByte(r), ToByte(g), ToByte(b), ToByte(a));
}

// Writes an already packed colour where the depth test (when enabled) passes.
void WritePackedPixel(const RasterTarget& target, int x, int y, double z, std::uint32_t color) {
    std::size_t index = static_cast<std::size_t>(y) * static_cast<std::size_t>(target.pitch) + static_cast<std::size_t>(x);
    if (target.depth && target.depthTest) {
        float depth = static_cast<float>(z);
        if (!(depth <= target.depth[index])) return;
        if (target.depthWrite) target.depth[index] = depth;
    }
    std::memcpy(target.color + index * 4, &color, sizeof color);
}

void WritePixel(const RasterTarget& target, int x, int y, double z, double r, double g, double b, double a) {
    WritePackedPixel(target, x, y, z, PackChannels(r, g, b, a));
}

bool SameColour(const ScreenVertex& a, const ScreenVertex& b) {
    return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a;
}

bool IsFinite(const ScreenVertex& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// Pixel indices i whose centre i + 0.5 lies in the half-open range from `from` (included)
// towards `to` (excluded), clamped to [low, high). Empty when first > last.
std::pair<double, double> CentresBetween(double from, double to, int low, int high) {
    double first, last;
    if (to > from) {
        first = std::ceil(from - 0.5);
        last = std::ceil(to - 0.5) - 1.0;
    } else {
        first = std::floor(to - 0.5) + 1.0;
        last = std::floor(from - 0.5);
    }
    return {std::max(first, static_cast<double>(low)), std::min(last, static_cast<double>(high) - 1.0)};
}

double Lerp(float from, float to, double t) { return from + (static_cast<double>(to) - from) * t; }

// Signed edge function of p against the directed edge from (ax, ay) to (bx, by):
// positive on the inside of a clockwise (on screen) triangle.
double Edge(double ax, double ay, double bx, double by, double px, double py) {
    return (bx - ax) * (py - ay) - (by - ay) * (px - ax);
}

// Whether a centre exactly on the directed edge (of a clockwise triangle) is covered.
bool IsTopOrLeft(const ScreenVertex& from, const ScreenVertex& to) {
    double dx = static_cast<double>(to.x) - from.x;
    double dy = static_cast<double>(to.y) - from.y;
    return (dy == 0.0 && dx > 0.0) || dy < 0.0;
}

bool Covers(double edge, bool topOrLeft) { return edge > 0.0 || (edge == 0.0 && topOrLeft); }

}  // namespace

// Wide copies run at the speed of memset where a loop of 32-bit stores does not, so a
// colour with unequal bytes fills one block word by word and copies it on.
void FillPixels(std::uint8_t* first, std::size_t count, std::uint32_t pixel) {
    const auto byte = static_cast<std::uint8_t>(pixel);
    if (pixel == byte * 0x01010101u) {
        std::memset(first, byte, count * sizeof pixel);
        return;
    }
    constexpr std::size_t kBlockPixels = 4096;
    const std::size_t block = std::min(count, kBlockPixels);
    for (std::size_t i = 0; i < block; ++i) std::memcpy(first + i * sizeof pixel, &pixel, sizeof pixel);
    const std::size_t blockBytes = block * sizeof pixel;
    const std::size_t totalBytes = count * sizeof pixel;
    for (std::size_t done = blockBytes; done < totalBytes; done += blockBytes)
        std::memcpy(first + done, first, std::min(blockBytes, totalBytes - done));
}

void RasterizePoint(const RasterTarget& target, const ScreenVertex& point) {
    if (!IsFinite(point)) return;
    double x = std::floor(static_cast<double>(point.x));
    double y = std::floor(static_cast<double>(point.y));
    if (x < target.left || x >= target.right || y < target.top || y >= target.bottom) return;
    WritePixel(target, static_cast<int>(x), static_cast<int>(y), point.z, point.r, point.g, point.b, point.a);
}

void RasterizeLine(const RasterTarget& target, const ScreenVertex& start, const ScreenVertex& end) {
    if (!IsFinite(start) || !IsFinite(end)) return;
    double dx = static_cast<double>(end.x) - start.x;
    double dy = static_cast<double>(end.y) - start.y;
    if (dx == 0.0 && dy == 0.0) return;
    bool xMajor = std::fabs(dx) >= std::fabs(dy);
    double majorStart = xMajor ? start.x : start.y;
    double majorDelta = xMajor ? dx : dy;
    double minorStart = xMajor ? start.y : start.x;
    double minorDelta = xMajor ? dy : dx;
    int majorLow = xMajor ? target.left : target.top;
    int majorHigh = xMajor ? target.right : target.bottom;
    int minorLow = xMajor ? target.top : target.left;
    int minorHigh = xMajor ? target.bottom : target.right;

    // Interpolating equal channels gives back the same value at every t (c + 0 · t), so a
    // single-coloured line packs its colour once instead of once per pixel.
    const bool oneColour = SameColour(start, end);
    const std::uint32_t startColour = PackChannels(start.r, start.g, start.b, start.a);
    auto [first, last] = CentresBetween(majorStart, majorStart + majorDelta, majorLow, majorHigh);
    for (double i = first; i <= last; i += 1.0) {
        double t = (i + 0.5 - majorStart) / majorDelta;
        double minor = std::floor(minorStart + t * minorDelta);
        if (minor < minorLow || minor >= minorHigh) continue;
        int x = static_cast<int>(xMajor ? i : minor);
        int y = static_cast<int>(xMajor ? minor : i);
        std::uint32_t colour = oneColour ? startColour
                                         : PackChannels(Lerp(start.r, end.r, t), Lerp(start.g, end.g, t),
                                                        Lerp(start.b, end.b, t), Lerp(start.a, end.a, t));
        WritePackedPixel(target, x, y, Lerp(start.z, end.z, t), colour);
    }
}

void RasterizeTriangle(const RasterTarget& target, const ScreenVertex& a, const ScreenVertex& bIn,
                       const ScreenVertex& cIn, CullMode cull) {
    if (!IsFinite(a) || !IsFinite(bIn) || !IsFinite(cIn)) return;
    double area = Edge(a.x, a.y, bIn.x, bIn.y, cIn.x, cIn.y);
    if (area == 0.0 || !std::isfinite(area)) return;
    bool clockwise = area > 0.0;
    if ((cull == CullMode::Clockwise && clockwise) || (cull == CullMode::CounterClockwise && !clockwise)) return;
    // Walk every triangle clockwise so that "inside" is "all edge functions positive".
    const ScreenVertex& b = clockwise ? bIn : cIn;
    const ScreenVertex& c = clockwise ? cIn : bIn;
    area = std::fabs(area);

    bool topLeftAB = IsTopOrLeft(a, b);
    bool topLeftBC = IsTopOrLeft(b, c);
    bool topLeftCA = IsTopOrLeft(c, a);

    double minX = std::min({static_cast<double>(a.x), static_cast<double>(b.x), static_cast<double>(c.x)});
    double maxX = std::max({static_cast<double>(a.x), static_cast<double>(b.x), static_cast<double>(c.x)});
    double minY = std::min({static_cast<double>(a.y), static_cast<double>(b.y), static_cast<double>(c.y)});
    double maxY = std::max({static_cast<double>(a.y), static_cast<double>(b.y), static_cast<double>(c.y)});
    int x0 = static_cast<int>(std::max(std::floor(minX), static_cast<double>(target.left)));
    int x1 = static_cast<int>(std::min(std::ceil(maxX), static_cast<double>(target.right)));
    int y0 = static_cast<int>(std::max(std::floor(minY), static_cast<double>(target.top)));
    int y1 = static_cast<int>(std::min(std::ceil(maxY), static_cast<double>(target.bottom)));

    for (int y = y0; y < y1; ++y) {
        double py = y + 0.5;
        for (int x = x0; x < x1; ++x) {
            double px = x + 0.5;
            double weightC = Edge(a.x, a.y, b.x, b.y, px, py);
            double weightA = Edge(b.x, b.y, c.x, c.y, px, py);
            double weightB = Edge(c.x, c.y, a.x, a.y, px, py);
            if (!Covers(weightC, topLeftAB) || !Covers(weightA, topLeftBC) || !Covers(weightB, topLeftCA)) continue;
            weightA /= area;
            weightB /= area;
            weightC /= area;
            auto blend = [&](float va, float vb, float vc) { return weightA * va + weightB * vb + weightC * vc; };
            WritePixel(target, x, y, blend(a.z, b.z, c.z), blend(a.r, b.r, c.r), blend(a.g, b.g, c.g),
                       blend(a.b, b.b, c.b), blend(a.a, b.a, c.a));
        }
    }
}

}  // namespace d3d9sw
