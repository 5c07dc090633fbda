// Polygons and faceless files as the readers hand them on: a concave polygon's triangles
// cover exactly its area; convex ones keep the fan; outlines that cross themselves or go
// round twice keep the fan too; and a point cloud is read only when the caller allows it.
#include "facet/mesh_file.h"
#include "geometry_test_support.h"

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

using facet::MeshFileFormat;

struct Triangulated {
    HRESULT result = E_FAIL;
    std::vector<float> positions;  // three per vertex
    std::vector<DWORD> corners;    // three per triangle
    facet::MeshFileSummary summary;
    std::string error;
};

class PolygonReadingTest : public geometry_test::DeviceTest {
protected:
    Triangulated Read(MeshFileFormat format, const std::string& bytes, bool allowNoFaces = false) {
        Triangulated read;
        facet::MeshReadOptions options;
        options.allowNoFaces = allowNoFaces;
        facet::Mesh* mesh = nullptr;
        read.result = facet::ReadMeshBytes(device(), "polygon.file", format, bytes.data(), bytes.size(), options,
                                           &mesh, &read.summary, &read.error);
        if (mesh == nullptr) return read;
        void* data = nullptr;
        EXPECT_EQ(mesh->LockVertices(D3DLOCK_READONLY, &data), D3D_OK);
        for (DWORD v = 0; v < mesh->VertexCount(); ++v) {
            float position[3];
            std::memcpy(position, static_cast<const BYTE*>(data) + v * mesh->VertexStride(), sizeof position);
            read.positions.insert(read.positions.end(), position, position + 3);
        }
        mesh->UnlockVertices();
        EXPECT_EQ(mesh->LockIndices(D3DLOCK_READONLY, &data), D3D_OK);
        for (DWORD i = 0; i < 3 * mesh->FaceCount(); ++i) read.corners.push_back(static_cast<const WORD*>(data)[i]);
        mesh->UnlockIndices();
        mesh->Release();
        return read;
    }
};

// Twice the signed area of the triangle (a, b, c) of points in the z = 0 plane.
double Turn(const float* a, const float* b, const float* c) {
    return (double{b[0]} - a[0]) * (double{c[1]} - a[1]) - (double{b[1]} - a[1]) * (double{c[0]} - a[0]);
}

std::string Obj(const std::vector<std::pair<float, float>>& outline) {
    std::string text;
    for (const auto& [x, y] : outline) text += "v " + std::to_string(x) + " " + std::to_string(y) + " 0\n";
    text += "f";
    for (std::size_t i = 1; i <= outline.size(); ++i) text += " " + std::to_string(i);
    return text + "\n";
}

// The triangles of a polygon in the z = 0 plane cover it exactly: each turns the
// polygon's way, their areas add up to the polygon's, and each lies inside the polygon
// (its centroid does; with the areas adding up, none can stick out or overlap another).
void ExpectExactCover(const Triangulated& read, std::size_t cornerCount) {
    ASSERT_EQ(read.corners.size(), 3 * (cornerCount - 2));
    const float* p = read.positions.data();
    double polygon = 0.0;
    for (std::size_t i = 0; i < cornerCount; ++i) polygon += Turn(p, p + 3 * i, p + 3 * ((i + 1) % cornerCount));
    double triangles = 0.0;
    for (std::size_t t = 0; t < read.corners.size(); t += 3) {
        const float* a = p + 3 * read.corners[t];
        const float* b = p + 3 * read.corners[t + 1];
        const float* c = p + 3 * read.corners[t + 2];
        const double area = Turn(a, b, c);
        EXPECT_GT(area, 0.0) << "triangle " << t / 3;
        triangles += area;
        // Even-odd test of the centroid against the outline.
        const double cx = (double{a[0]} + b[0] + c[0]) / 3, cy = (double{a[1]} + b[1] + c[1]) / 3;
        bool inside = false;
        for (std::size_t i = 0, j = cornerCount - 1; i < cornerCount; j = i++) {
            const double xi = p[3 * i], yi = p[3 * i + 1], xj = p[3 * j], yj = p[3 * j + 1];
            if ((yi > cy) != (yj > cy) && cx < (xj - xi) * (cy - yi) / (yj - yi) + xi) inside = !inside;
        }
        EXPECT_TRUE(inside) << "triangle " << t / 3;
    }
    EXPECT_NEAR(triangles, polygon, 1e-9 * polygon);
}

TEST_F(PolygonReadingTest, ConcavePolygonsAreCoveredExactlyAndCounted) {
    const std::vector<std::vector<std::pair<float, float>>> outlines = {
        {{0, 0}, {4, 0}, {4, 4}, {2, 1}, {0, 4}},                          // an arrow head
        {{0, 0}, {6, 0}, {6, 1}, {1, 1}, {1, 2}, {6, 2}, {6, 3}, {0, 3}},  // a letter E lying down
        {{0, 0}, {3, 0}, {3, 3}, {0, 3}, {0, 2}, {2, 2}, {2, 1}, {0, 1}},  // a letter C
    };
    for (const auto& outline : outlines) {
        const Triangulated read = Read(MeshFileFormat::Obj, Obj(outline));
        ASSERT_EQ(read.result, D3D_OK) << read.error;
        ExpectExactCover(read, outline.size());
        EXPECT_EQ(read.summary.nonConvexPolygons, 1u);
    }
    // A polygon standing in the x = 0 plane and not quite flat, its Newell normal along
    // +x: each triangle keeps the polygon's winding, its normal along +x too.
    const std::string standing = "v 0 0 0\nv 0 0 4\nv 0 4 4\nv 0.01 1 2\nv 0 4 0\nf 1 5 4 3 2\n";
    const Triangulated read = Read(MeshFileFormat::Obj, standing);
    ASSERT_EQ(read.result, D3D_OK) << read.error;
    EXPECT_EQ(read.summary.nonConvexPolygons, 1u);
    for (std::size_t t = 0; t < read.corners.size(); t += 3) {
        const float* a = &read.positions[3 * read.corners[t]];
        const float* b = &read.positions[3 * read.corners[t + 1]];
        const float* c = &read.positions[3 * read.corners[t + 2]];
        const double nx = (double{b[1]} - a[1]) * (double{c[2]} - a[2]) - (double{b[2]} - a[2]) * (double{c[1]} - a[1]);
        EXPECT_GT(nx, 0.0) << "triangle " << t / 3;
    }
}

TEST_F(PolygonReadingTest, ConvexAndUncoverablePolygonsKeepTheirFan) {
    // Convex, with a hole joined by a bridge, crossing itself, and going round twice.
    struct Case {
        const char* name;
        std::vector<std::pair<float, float>> outline;
        std::vector<DWORD> fan;
        DWORD nonConvex;
    } cases[] = {
        {"hexagon", {{2, 0}, {4, 1}, {4, 3}, {2, 4}, {0, 3}, {0, 1}}, {0, 1, 2, 0, 2, 3, 0, 3, 4, 0, 4, 5}, 0},
        {"bow tie", {{0, 0}, {3, 3}, {3, 0}, {0, 2}}, {0, 1, 2, 0, 2, 3}, 1},
        {"square twice", {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}, {1, 0}, {1, 1}, {0, 1}},
         {0, 1, 2, 0, 2, 3, 0, 3, 4, 0, 4, 5, 0, 5, 6, 0, 6, 7}, 1},
    };
    for (const Case& c : cases) {
        const Triangulated read = Read(MeshFileFormat::Obj, Obj(c.outline));
        ASSERT_EQ(read.result, D3D_OK) << c.name << ": " << read.error;
        EXPECT_EQ(read.corners, c.fan) << c.name;
        EXPECT_EQ(read.summary.nonConvexPolygons, c.nonConvex) << c.name;
    }
    // A straight corner makes the fan a sliver: the square with a corner on its bottom
    // edge is not strictly convex and is clipped into two triangles with area.
    const Triangulated straight = Read(MeshFileFormat::Obj, Obj({{0, 0}, {1, 0}, {2, 0}, {2, 2}, {0, 2}}));
    ASSERT_EQ(straight.result, D3D_OK) << straight.error;
    ExpectExactCover(straight, 5);
    // A square with a hole, the hole joined to the outline by a bridge walked both ways.
    const std::vector<std::pair<float, float>> keyhole = {{0, 0}, {4, 0}, {4, 4}, {2, 4}, {2, 3}, {3, 3},
                                                          {3, 1}, {1, 1}, {1, 3}, {2, 3}, {2, 4}, {0, 4}};
    const Triangulated bridged = Read(MeshFileFormat::Obj, Obj(keyhole));
    ASSERT_EQ(bridged.result, D3D_OK) << bridged.error;
    EXPECT_EQ(bridged.summary.nonConvexPolygons, 1u);
    double area = 0.0;
    for (std::size_t t = 0; t < bridged.corners.size(); t += 3) {
        const double turn = Turn(&bridged.positions[3 * bridged.corners[t]],
                                 &bridged.positions[3 * bridged.corners[t + 1]],
                                 &bridged.positions[3 * bridged.corners[t + 2]]);
        EXPECT_GT(turn, 0.0) << "triangle " << t / 3;  // a fan would fold back over the hole
        area += turn;
    }
    EXPECT_DOUBLE_EQ(area / 2, 12.0);  // 16 less the 2 by 2 hole
}

TEST_F(PolygonReadingTest, PlyFacesBeforeTheirVerticesAreTriangulatedOnceThePositionsAreKnown) {
    const std::string ply =
        "ply\nformat ascii 1.0\nelement face 1\nproperty list uchar int vertex_indices\nelement vertex 5\n"
        "property float x\nproperty float y\nproperty float z\nend_header\n5 0 1 2 3 4\n"
        "0 0 0\n4 0 0\n4 4 0\n2 1 0\n0 4 0\n";
    const Triangulated read = Read(MeshFileFormat::Ply, ply);
    ASSERT_EQ(read.result, D3D_OK) << read.error;
    ExpectExactCover(read, 5);
    EXPECT_EQ(read.summary.nonConvexPolygons, 1u);
}

TEST_F(PolygonReadingTest, FilesWithoutFacesAreReadOnlyWhenAllowed) {
    const struct {
        const char* name;
        MeshFileFormat format;
        std::string bytes;
    } clouds[] = {
        {"OBJ points and a line", MeshFileFormat::Obj, "v 1 2 3\nv -1 0 5\nv 0 -4 1\nl 1 2\np 3\n"},
        {"PLY vertices only", MeshFileFormat::Ply,
         "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
         "end_header\n1 2 3\n-1 0 5\n0 -4 1\n"},
        {"PLY with an empty face element", MeshFileFormat::Ply,
         "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
         "element face 0\nproperty list uchar int vertex_indices\nend_header\n1 2 3\n-1 0 5\n0 -4 1\n"},
        {"OFF with no faces", MeshFileFormat::Off, "OFF\n3 0 0\n1 2 3\n-1 0 5\n0 -4 1\n"},
    };
    for (const auto& cloud : clouds) {
        const Triangulated refused = Read(cloud.format, cloud.bytes);
        EXPECT_EQ(refused.result, D3DERR_INVALIDCALL) << cloud.name;
        EXPECT_NE(refused.error.find("the file holds no faces"), std::string::npos) << cloud.name << ": " << refused.error;

        facet::Mesh* mesh = reinterpret_cast<facet::Mesh*>(this);  // must come back null
        facet::MeshFileSummary summary;
        std::string error;
        facet::MeshReadOptions options;
        options.allowNoFaces = true;
        ASSERT_EQ(facet::ReadMeshBytes(device(), "cloud", cloud.format, cloud.bytes.data(), cloud.bytes.size(),
                                       options, &mesh, &summary, &error),
                  D3D_OK)
            << cloud.name << ": " << error;
        EXPECT_EQ(mesh, nullptr) << cloud.name;
        EXPECT_EQ(summary.vertices, 3u) << cloud.name;
        EXPECT_EQ(summary.polygons, 0u) << cloud.name;
        EXPECT_EQ(std::vector<float>(summary.minimum, summary.minimum + 3), (std::vector<float>{-1, -4, 1}));
        EXPECT_EQ(std::vector<float>(summary.maximum, summary.maximum + 3), (std::vector<float>{1, 2, 5}));
    }
}

}  // namespace
