// Polygons of the mesh files as triangles. Every polygon is first appended as its fan, so
// the triangle count and the file's face order are fixed while reading; once all
// positions are known, each polygon of more than three corners is judged in its own
// plane (the plane of its Newell normal, which for a polygon that is not planar is the
// best fit), and one that is not strictly convex there gets ear-clipping triangles in
// its fan's places. A convex polygon keeps the fan, so files of convex polygons read as
// they always have.
#include "geometry/mesh_file_contents.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace facet {

namespace {

// Polygons larger than this keep their fan: ear clipping takes time growing with the
// square of the corners, and no real file needs it on a polygon this large.
constexpr std::size_t kMaxClippedCorners = 4096;

struct PlanePoint {
    double u, v;
};

// Twice the signed area of the triangle (a, b, c) in the plane.
double Turn(const PlanePoint& a, const PlanePoint& b, const PlanePoint& c) {
    return (b.u - a.u) * (c.v - a.v) - (b.v - a.v) * (c.u - a.u);
}

// The polygon's corners projected onto its own plane and oriented so that the polygon
// winds counter-clockwise there. False when the corners lie on one line (no plane).
bool ProjectIntoOwnPlane(const std::vector<DWORD>& polygon, const std::vector<float>& positions,
                         std::vector<PlanePoint>* points) {
    double normal[3] = {0.0, 0.0, 0.0};
    const std::size_t count = polygon.size();
    for (std::size_t i = 0; i < count; ++i) {
        const float* a = &positions[3 * std::size_t{polygon[i]}];
        const float* b = &positions[3 * std::size_t{polygon[(i + 1) % count]}];
        for (int axis = 0; axis < 3; ++axis) {
            const int next = (axis + 1) % 3, after = (axis + 2) % 3;
            normal[axis] += (double{a[next]} - b[next]) * (double{a[after]} + b[after]);
        }
    }
    int dropped = 0;
    for (int axis = 1; axis < 3; ++axis)
        if (std::fabs(normal[axis]) > std::fabs(normal[dropped])) dropped = axis;
    if (normal[dropped] == 0.0) return false;
    // Dropping the normal's largest axis keeps (u, v) right-handed about it; a negative
    // component mirrors the plane, which swapping u for −u undoes.
    const int uAxis = (dropped + 1) % 3, vAxis = (dropped + 2) % 3;
    const double mirror = normal[dropped] > 0.0 ? 1.0 : -1.0;
    points->resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const float* p = &positions[3 * std::size_t{polygon[i]}];
        (*points)[i] = {mirror * p[uAxis], double{p[vAxis]}};
    }
    return true;
}

// Strictly convex: every corner turns left, and the boundary goes round once (a star
// polygon also turns left at every corner, but its edges change direction in u more
// than twice).
bool IsStrictlyConvex(const std::vector<PlanePoint>& points) {
    const std::size_t count = points.size();
    int uDirectionChanges = 0;
    double lastDu = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        const PlanePoint& previous = points[(i + count - 1) % count];
        const PlanePoint& next = points[(i + 1) % count];
        if (Turn(previous, points[i], next) <= 0.0) return false;
        const double du = next.u - points[i].u;
        if (du != 0.0) {
            if (lastDu != 0.0 && (du > 0.0) != (lastDu > 0.0)) ++uDirectionChanges;
            lastDu = du;
        }
    }
    // Counted without wrapping round, which can miss one change only: a boundary that
    // goes round once changes direction twice, one that goes round more, four times or more.
    return uDirectionChanges <= 2;
}

bool IsInsideOrOn(const PlanePoint& p, const PlanePoint& a, const PlanePoint& b, const PlanePoint& c) {
    return Turn(a, b, p) >= 0.0 && Turn(b, c, p) >= 0.0 && Turn(c, a, p) >= 0.0;
}

bool SamePoint(const PlanePoint& a, const PlanePoint& b) { return a.u == b.u && a.v == b.v; }

// Ear clipping over a ring of the remaining corners: a corner is an ear when it turns
// left and no other remaining corner that could cut the triangle (one that does not turn
// left) lies in it or on it. When a whole round finds no ear, the corner at hand is
// clipped anyway, so the clipping always ends with count − 2 triangles. False when a
// triangle does not turn left, or when the triangles' areas do not add up to the
// polygon's: the polygon crosses itself or goes round more than once, no triangles
// cover it exactly, and it keeps its fan.
bool ClipEars(const std::vector<DWORD>& polygon, const std::vector<PlanePoint>& points, std::vector<DWORD>* triangles) {
    const std::size_t count = polygon.size();
    std::vector<std::size_t> previous(count), next(count);
    for (std::size_t i = 0; i < count; ++i) {
        previous[i] = (i + count - 1) % count;
        next[i] = (i + 1) % count;
    }
    const auto turn = [&](std::size_t i) { return Turn(points[previous[i]], points[i], points[next[i]]); };
    const auto isEar = [&](std::size_t i) {
        const std::size_t a = previous[i], c = next[i];
        if (turn(i) <= 0.0) return false;
        for (std::size_t j = next[c]; j != a; j = next[j]) {
            if (turn(j) > 0.0) continue;
            const PlanePoint& p = points[j];
            if (SamePoint(p, points[a]) || SamePoint(p, points[i]) || SamePoint(p, points[c])) continue;
            if (IsInsideOrOn(p, points[a], points[i], points[c])) return false;
        }
        return true;
    };
    double polygonArea = 0.0;  // twice, by the shoelace formula
    for (std::size_t i = 0; i < count; ++i) polygonArea += Turn(points[0], points[i], points[next[i]]);
    double trianglesArea = 0.0;
    triangles->clear();
    std::size_t corner = 1, left = count, tried = 0;
    while (true) {
        if (left == 3 || isEar(corner) || tried >= left) {
            const double area = turn(corner);
            if (area <= 0.0) return false;
            trianglesArea += area;
            triangles->insert(triangles->end(), {polygon[previous[corner]], polygon[corner], polygon[next[corner]]});
            if (left == 3) return std::fabs(trianglesArea - polygonArea) <= 1e-9 * trianglesArea;
            next[previous[corner]] = next[corner];
            previous[next[corner]] = previous[corner];
            corner = previous[corner];
            --left;
            tried = 0;
        } else {
            corner = next[corner];
            ++tried;
        }
    }
}

}  // namespace

bool AppendPolygon(const DWORD* polygon, std::size_t count, MeshFileContents* contents) {
    const std::size_t triangles = contents->corners.size() / 3;
    if (triangles + (count - 2) > kMaxFileTriangles) return false;
    if (count > 3)
        contents->splitPolygons.push_back({static_cast<DWORD>(triangles), static_cast<DWORD>(count)});
    // One element at a time: a three-element range insert costs a library call each.
    std::vector<DWORD>& corners = contents->corners;
    for (std::size_t k = 1; k + 1 < count; ++k) {
        corners.push_back(polygon[0]);
        corners.push_back(polygon[k]);
        corners.push_back(polygon[k + 1]);
    }
    ++contents->summary.polygons;
    if (count > 3) ++contents->summary.splitPolygons;
    return true;
}

void TriangulateSplitPolygons(MeshFileContents* contents) {
    std::vector<DWORD> polygon, clipped;
    std::vector<PlanePoint> points;
    for (const SplitPolygon& split : contents->splitPolygons) {
        // The fan (c0, c1, c2), (c0, c2, c3), … gives the corners back.
        DWORD* fan = &contents->corners[3 * std::size_t{split.firstTriangle}];
        polygon.assign({fan[0], fan[1]});
        for (DWORD t = 0; t + 2 < split.cornerCount; ++t) polygon.push_back(fan[3 * t + 2]);
        if (!ProjectIntoOwnPlane(polygon, contents->positions, &points) || IsStrictlyConvex(points)) continue;
        ++contents->summary.nonConvexPolygons;
        if (polygon.size() <= kMaxClippedCorners && ClipEars(polygon, points, &clipped))
            std::copy(clipped.begin(), clipped.end(), fan);
    }
    contents->splitPolygons.clear();
    contents->splitPolygons.shrink_to_fit();
}

}  // namespace facet
