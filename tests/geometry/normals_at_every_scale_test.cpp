// ComputeVertexNormals beyond the ordinary: the spheres' normals keep their exact bits,
// every normalisation routine of the dispatch gives unit normals for meshes from 1e-30 to
// 1e30 (and for sub-millimetre triangles far from the origin), and degenerate, cancelling
// or non-finite faces never give NaN.
#include "facet/dispatch.h"
#include "facet/normals.h"
#include "facet/sphere.h"
#include "geometry_test_support.h"
#include "support/generated_meshes.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace {

using generated_meshes::MeshData;
using geometry_test::MeshPtr;
using Vec = std::array<float, 3>;

class NormalsAtEveryScaleTest : public geometry_test::DeviceTest {
public:
    static std::vector<Vec> Normals(facet::Mesh* mesh) {
        void* data = nullptr;
        EXPECT_EQ(mesh->LockVertices(D3DLOCK_READONLY, &data), D3D_OK);
        std::vector<Vec> normals(mesh->VertexCount());
        const auto* floats = static_cast<const float*>(data);
        for (DWORD v = 0; v < mesh->VertexCount(); ++v)
            normals[v] = {floats[6 * v + 3], floats[6 * v + 4], floats[6 * v + 5]};
        mesh->UnlockVertices();
        return normals;
    }

protected:
    // `data` scaled by `scale` and moved by `offset`, as a position-normal mesh.
    MeshPtr Build(const MeshData& data, double scale, double offset = 0.0) {
        std::vector<float> vertices;
        for (std::size_t v = 0; v < data.VertexCount(); ++v) {
            for (int c = 0; c < 3; ++c)
                vertices.push_back(static_cast<float>(offset + scale * data.positions[3 * v + c]));
            vertices.insert(vertices.end(), {9, 9, 9});
        }
        return MakeMesh(std::vector<DWORD>(data.corners.begin(), data.corners.end()), vertices, 0x12,
                        facet::MeshOptions::Managed | facet::MeshOptions::Indices32Bit);
    }

    void SetUp() override {
        geometry_test::DeviceTest::SetUp();
        facet::InitDispatchTable(1);
        installed_ = facet::DispatchTable.routines.Vec3Normalize;
    }
    // The table is the process's: give the next test in this process the routine it had.
    void TearDown() override {
        facet::DispatchTable.routines.Vec3Normalize = installed_;
        geometry_test::DeviceTest::TearDown();
    }

    // Installs one family's Vec3Normalize in the process's dispatch table.
    static void UseNormalise(facet::RoutineFamily family) {
        facet::RoutineTable table = facet::PortableTable;
        if (family == facet::RoutineFamily::X87) facet::FillX87Routines(&table);
        if (family == facet::RoutineFamily::Sse) facet::FillSseRoutines(&table);
        if (family == facet::RoutineFamily::Sse2) facet::FillSse2Routines(&table);
        facet::DispatchTable.routines.Vec3Normalize = table.routines.Vec3Normalize;
    }

private:
    decltype(facet::DispatchTable.routines.Vec3Normalize) installed_ = nullptr;
};

// Single-precision sums of the face vectors of a 16-bit mesh, formed as the library forms
// them, shared through `reps` when given, then normalised by the dispatched routine.
std::vector<Vec> NormalisedSingleSums(facet::Mesh* mesh, const std::vector<DWORD>* reps) {
    void* data = nullptr;
    EXPECT_EQ(mesh->LockIndices(D3DLOCK_READONLY, &data), D3D_OK);
    const std::vector<WORD> indices(static_cast<WORD*>(data), static_cast<WORD*>(data) + 3 * mesh->FaceCount());
    mesh->UnlockIndices();
    EXPECT_EQ(mesh->LockVertices(D3DLOCK_READONLY, &data), D3D_OK);
    const auto* floats = static_cast<const float*>(data);
    const auto position = [&](DWORD v) { return facet::Vector3{floats[6 * v], floats[6 * v + 1], floats[6 * v + 2]}; };
    std::vector<facet::Vector3> sums(mesh->VertexCount(), facet::Vector3{0, 0, 0});
    const auto target = [&](DWORD v) { return reps != nullptr ? (*reps)[v] : v; };
    for (std::size_t f = 0; f < indices.size() / 3; ++f) {
        const facet::Vector3 p0 = position(indices[3 * f]);
        const facet::Vector3 n = Cross(p0 - position(indices[3 * f + 1]), p0 - position(indices[3 * f + 2]));
        for (int k = 0; k < 3; ++k) sums[target(indices[3 * f + k])] = sums[target(indices[3 * f + k])] + n;
    }
    mesh->UnlockVertices();
    std::vector<Vec> normals;
    for (DWORD v = 0; v < sums.size(); ++v) {
        facet::Vector3 sum = sums[target(v)];
        facet::Vec3Normalize(&sum, &sum);
        normals.push_back({sum.x, sum.y, sum.z});
    }
    return normals;
}

// FNV-1a over the bits of the normals of spheres of several sizes, with and without
// adjacency, under the normalisation installed; each sphere's normals are also checked
// to be those of its sums normalised as they are.
std::uint64_t SphereNormalsDigest(IDirect3DDevice9* device) {
    struct Shape {
        float radius;
        UINT slices, stacks;
    };
    std::uint64_t hash = 0xCBF29CE484222325ull;
    for (const Shape& shape : {Shape{1, 3, 3}, Shape{1, 16, 8}, Shape{2.5f, 24, 12}, Shape{0.01f, 20, 10},
                               Shape{100, 7, 5}, Shape{1, 64, 32}}) {
        for (bool withAdjacency : {false, true}) {
            facet::Mesh* raw = nullptr;
            facet::ResultBuffer* adjacency = nullptr;
            EXPECT_EQ(facet::CreateSphereMesh(device, shape.radius, shape.slices, shape.stacks, &raw,
                                              withAdjacency ? &adjacency : nullptr),
                      D3D_OK);
            MeshPtr mesh(raw);
            std::vector<DWORD> reps(mesh->VertexCount());
            const auto* adjacencyData = withAdjacency ? static_cast<DWORD*>(adjacency->Data()) : nullptr;
            if (withAdjacency) {
                EXPECT_EQ(mesh->PointRepsFromAdjacency(adjacencyData, reps.data()), D3D_OK);
            }
            EXPECT_EQ(facet::ComputeVertexNormals(mesh.get(), adjacencyData), D3D_OK);
            if (adjacency != nullptr) adjacency->Release();
            const std::vector<Vec> normals = NormalsAtEveryScaleTest::Normals(mesh.get());
            EXPECT_EQ(normals, NormalisedSingleSums(mesh.get(), withAdjacency ? &reps : nullptr))
                << "radius " << shape.radius << ", " << shape.slices << " x " << shape.stacks;
            for (const Vec& n : normals)
                for (float c : n) {
                    std::uint32_t bits;
                    std::memcpy(&bits, &c, sizeof bits);
                    for (int b = 0; b < 4; ++b) hash = (hash ^ ((bits >> (8 * b)) & 0xFF)) * 0x100000001B3ull;
                }
        }
    }
    return hash;
}

// The digests were taken before normals learnt to handle every scale: ordinary meshes
// come out bit for bit as they always did. The portable and the x87-tuned routines
// compute alike on every processor; the SSE routines start from the processor's own
// reciprocal square root estimate, so their results are compared with the library's own
// routine applied to sums formed here.
TEST_F(NormalsAtEveryScaleTest, SphereNormalsKeepTheirExactBits) {
    UseNormalise(facet::RoutineFamily::Portable);
    EXPECT_EQ(SphereNormalsDigest(device()), 0x30F58C2FD9C16AE5ull);
    UseNormalise(facet::RoutineFamily::X87);
    EXPECT_EQ(SphereNormalsDigest(device()), 0x4310C19176A797A1ull);
    UseNormalise(facet::RoutineFamily::Sse2);
    SphereNormalsDigest(device());
}

// Reference normals of `data` in double precision: the normalised sums of the face
// vectors, (0, 0, 0) where the sum is zero.
std::vector<std::array<double, 3>> ReferenceNormals(const MeshData& data) {
    std::vector<std::array<double, 3>> sums(data.VertexCount(), {0, 0, 0});
    for (std::size_t f = 0; f < data.FaceCount(); ++f) {
        const std::uint32_t* c = &data.corners[3 * f];
        double a[3], b[3];
        for (int k = 0; k < 3; ++k) {
            a[k] = double{data.positions[3 * c[0] + k]} - data.positions[3 * c[1] + k];
            b[k] = double{data.positions[3 * c[0] + k]} - data.positions[3 * c[2] + k];
        }
        const double n[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
        for (int corner = 0; corner < 3; ++corner)
            for (int k = 0; k < 3; ++k) sums[c[corner]][k] += n[k];
    }
    for (auto& s : sums) {
        const double length = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
        if (length > 0)
            for (double& component : s) component /= length;
    }
    return sums;
}

TEST_F(NormalsAtEveryScaleTest, EveryNormaliseRoutineGivesUnitNormalsAtEveryScale) {
    // An irregular closed surface: a torus of 12 x 8 quads, its triangles uneven in size.
    const MeshData torus = generated_meshes::Torus(12, 8, 12);
    const auto reference = ReferenceNormals(torus);
    struct Placement {
        double scale, offset;
    };
    // 1e-4 around 1: sub-millimetre triangles of a scan in metres, whose sums fall below
    // the SSE routines' zero threshold. 1e19 and 1e30 overflow the float face vectors;
    // 1e-20 and 1e-30 underflow them.
    const Placement placements[] = {{1e-30, 0}, {1e-20, 0}, {1e-4, 1}, {1e-3, 100}, {1, 0}, {1e19, 0}, {1e30, 0}};
    for (facet::RoutineFamily family : {facet::RoutineFamily::Portable, facet::RoutineFamily::X87,
                                        facet::RoutineFamily::Sse, facet::RoutineFamily::Sse2}) {
        UseNormalise(family);
        for (const Placement& placement : placements) {
            MeshPtr mesh = Build(torus, placement.scale, placement.offset);
            ASSERT_EQ(facet::ComputeVertexNormals(mesh.get(), nullptr), D3D_OK);
            const std::vector<Vec> normals = Normals(mesh.get());
            int wrong = 0;
            for (std::size_t v = 0; v < normals.size(); ++v) {
                const Vec& n = normals[v];
                const double length = std::sqrt(double{n[0]} * n[0] + double{n[1]} * n[1] + double{n[2]} * n[2]);
                const double along = n[0] * reference[v][0] + n[1] * reference[v][1] + n[2] * reference[v][2];
                // Offset placements lose position bits, so the direction is only near.
                const double tolerance = placement.offset == 0 ? 1e-5 : 2e-2;
                if (!(std::fabs(length - 1) < 1e-5) || !(along > 1 - tolerance)) ++wrong;
            }
            EXPECT_EQ(wrong, 0) << "family " << facet::FamilyName(family) << ", scale " << placement.scale
                                << ", offset " << placement.offset;
        }
    }
}

TEST_F(NormalsAtEveryScaleTest, ZeroSumsStayZeroAndNothingIsNaN) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (double scale : {1e-30, 1.0, 1e30}) {
        const auto s = [&](double value) { return static_cast<float>(scale * value); };
        // Vertices 0-2: a triangle and the same triangle wound the other way, whose sums
        // cancel. 3-5: a collinear face only. 6-8: a face with an infinite corner, 9-11: one
        // with a NaN corner; both add nothing. 12-14: a proper face.
        const std::vector<std::array<float, 3>> positions = {
            {0, 0, 0}, {s(1), 0, 0}, {0, s(1), 0}, {0, 0, 0}, {s(1), s(1), s(1)}, {s(2), s(2), s(2)},
            {inf, 0, 0}, {s(1), 0, 0}, {0, 0, s(1)}, {nan, 0, 0}, {s(1), 0, 0}, {0, s(1), 0},
            {s(1), 0, 0}, {0, 0, s(1)}, {0, s(1), 0}};
        std::vector<float> vertices;
        for (const auto& p : positions) vertices.insert(vertices.end(), {p[0], p[1], p[2], 9, 9, 9});
        MeshPtr mesh = MakeMesh({0, 1, 2, 0, 2, 1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 13}, vertices, 0x12);
        ASSERT_EQ(facet::ComputeVertexNormals(mesh.get(), nullptr), D3D_OK);
        const std::vector<Vec> normals = Normals(mesh.get());
        for (int v = 0; v < 12; ++v) EXPECT_EQ(normals[v], (Vec{0, 0, 0})) << v << " at " << scale;
        // Face (12, 14, 13) is wound so that its normal is (1, 1, 1) / sqrt(3).
        for (int v = 12; v < 15; ++v)
            for (float c : normals[v]) EXPECT_NEAR(c, 0.57735f, 1e-5f) << v << " at " << scale;
    }
}

}  // namespace
