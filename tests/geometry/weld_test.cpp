// Welding by position: representatives are the lowest index at a position (or within
// epsilon of one, never through a chain), and with them the adjacency of a shuffled mesh
// split along seams finds the neighbours that meshoptimizer's position-welded adjacency
// finds.
#include "facet/weld.h"
#include "geometry_test_support.h"
#include "support/generated_meshes.h"

#include <meshoptimizer.h>

#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

using generated_meshes::MeshData;

class WeldTest : public geometry_test::DeviceTest {
protected:
    // A position-and-normal mesh of `data`, in the index width `options` picks.
    geometry_test::MeshPtr Build(const MeshData& data, DWORD options = facet::MeshOptions::Managed) {
        std::vector<float> vertices;
        for (std::size_t v = 0; v < data.VertexCount(); ++v)
            vertices.insert(vertices.end(), {data.positions[3 * v], data.positions[3 * v + 1],
                                             data.positions[3 * v + 2], 0, 0, 0});
        return MakeMesh(std::vector<DWORD>(data.corners.begin(), data.corners.end()), vertices,
                        D3DFVF_XYZ | D3DFVF_NORMAL, options);
    }

    std::vector<DWORD> Reps(facet::Mesh* mesh, float epsilon) {
        std::vector<DWORD> reps(mesh->VertexCount(), 0xA5A5A5A5);
        EXPECT_EQ(facet::PointRepsFromPositions(mesh, epsilon, reps.data()), D3D_OK);
        return reps;
    }
};

TEST_F(WeldTest, EqualPositionsShareTheirLowestIndex) {
    MeshData data;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (const auto& p : std::vector<std::array<float, 3>>{
             {1, 2, 3}, {0, 0, 0}, {1, 2, 3}, {-0.0f, 0, -0.0f}, {nan, 0, 0}, {nan, 0, 0}, {1, 2, 3.0000002f}, {0, 0, 0}})
        data.AddVertex(p[0], p[1], p[2]);
    data.AddFace(0, 1, 2);
    auto mesh = Build(data);
    EXPECT_EQ(Reps(mesh.get(), 0.0f), (std::vector<DWORD>{0, 1, 0, 1, 4, 5, 6, 1}));
}

TEST_F(WeldTest, WithinEpsilonJoinsTheLowestRepresentativeAndNeverChains) {
    MeshData data;
    for (float x : {0.0f, 0.6f, 1.2f, 1.9f, 0.95f}) data.AddVertex(x, 0, 0);
    data.AddVertex(0.5f, 1.5f, 0);  // within 1 in x, not in y
    data.AddFace(0, 1, 2);
    auto mesh = Build(data);
    // 0.6 joins 0; 1.2 is within 1 of 0.6 but 0.6 is no representative, and 1.2 from 0 is
    // too far; 1.9 joins 1.2; 0.95 is within 1 of both 0 and 1.2 and takes the lower.
    EXPECT_EQ(Reps(mesh.get(), 1.0f), (std::vector<DWORD>{0, 0, 2, 2, 0, 5}));
    // A cell far from the origin works alike.
    MeshData far;
    for (float x : {1.0e30f, 1.0e30f + 1.0e23f, -1.0e30f}) far.AddVertex(x, x, x);
    far.AddFace(0, 1, 2);
    auto farMesh = Build(far);
    EXPECT_EQ(Reps(farMesh.get(), 1.0e24f), (std::vector<DWORD>{0, 0, 2}));
}

// The welding rule stated directly: each vertex in index order joins the lowest earlier
// representative within epsilon in every component, or stands for itself. Positions that
// are not finite stand alone.
std::vector<DWORD> BruteForceReps(const MeshData& data, float epsilon) {
    const auto at = [&](std::size_t v, int c) { return double{data.positions[3 * v + c]}; };
    const auto finite = [&](std::size_t v) {
        return std::isfinite(at(v, 0)) && std::isfinite(at(v, 1)) && std::isfinite(at(v, 2));
    };
    std::vector<DWORD> reps(data.VertexCount());
    std::vector<DWORD> representatives;
    for (std::size_t v = 0; v < data.VertexCount(); ++v) {
        reps[v] = static_cast<DWORD>(v);
        if (!finite(v)) continue;
        for (DWORD r : representatives) {
            if (std::fabs(at(v, 0) - at(r, 0)) <= epsilon && std::fabs(at(v, 1) - at(r, 1)) <= epsilon &&
                std::fabs(at(v, 2) - at(r, 2)) <= epsilon) {
                reps[v] = r;
                break;
            }
        }
        if (reps[v] == v) representatives.push_back(static_cast<DWORD>(v));
    }
    return reps;
}

// Points scattered at `scale`, each repeated with components moved by a few float steps,
// by about epsilon (either side of it), or set within a few epsilon of zero, where the
// floats are far denser than anywhere else in the mesh.
MeshData CrowdedPoints(float scale, float epsilon, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::vector<std::array<float, 3>> bases(600);
    for (auto& base : bases)
        for (float& c : base) c = static_cast<float>(scale * unit(random));
    MeshData data;
    for (int v = 0; v < 3000; ++v) {
        std::array<float, 3> p = bases[random() % bases.size()];
        const auto how = random() % 5;
        for (float& c : p) {
            switch (how) {
            case 0: break;
            case 1:
                for (int step = random() % 3; step >= 0; --step)
                    c = std::nextafter(c, random() % 2 ? std::numeric_limits<float>::max() : -std::numeric_limits<float>::max());
                break;
            case 2: c = static_cast<float>(c + 1.5 * epsilon * unit(random)); break;
            case 3: c = static_cast<float>(3.0 * epsilon * unit(random)); break;
            default: c = random() % 2 ? 0.0f : -0.0f; break;
            }
        }
        data.AddVertex(p[0], p[1], p[2]);
    }
    data.AddFace(0, 1, 2);
    return data;
}

TEST_F(WeldTest, AgreesWithTheRuleForEveryEpsilonAndCoordinateRange) {
    struct Case {
        float scale, epsilon;
    };
    // Epsilon far below the floats' spacing (1e-30 on a mesh of size 1, 1e-6 at 1e30),
    // near it, far above it, and meshes at the top and the bottom of the float range.
    for (const Case& test : {Case{1, 1e-30f}, Case{1, 1e-38f}, Case{1, 1e-6f}, Case{1, 0.05f}, Case{1e30f, 1e-30f},
                             Case{1e30f, 1e-6f}, Case{1e30f, 1e24f}, Case{3e38f, 1e30f}, Case{1e-30f, 1e-36f},
                             Case{1e-36f, 1e-44f}, Case{1e13f, 1e-6f}}) {
        const MeshData data = CrowdedPoints(test.scale, test.epsilon, 7);
        auto mesh = Build(data, facet::MeshOptions::Managed | facet::MeshOptions::Indices32Bit);
        const std::vector<DWORD> expected = BruteForceReps(data, test.epsilon);
        std::size_t welded = 0;
        for (std::size_t v = 0; v < expected.size(); ++v) welded += expected[v] != v;
        EXPECT_GT(welded, 100u) << "the points must crowd";
        EXPECT_LT(welded, 2900u) << "the points must crowd";
        EXPECT_EQ(Reps(mesh.get(), test.epsilon), expected) << "scale " << test.scale << ", epsilon " << test.epsilon;
    }
}

TEST_F(WeldTest, NonFinitePositionsStandAloneWithAnyPositiveEpsilon) {
    MeshData data;
    const float inf = std::numeric_limits<float>::infinity();
    for (const auto& p : std::vector<std::array<float, 3>>{
             {inf, 0, 0}, {inf, 0, 0}, {0, 0, 0}, {-inf, 1, 2}, {0, 0, 1e-30f}, {0, std::nanf(""), 0}, {1, 1, 1}})
        data.AddVertex(p[0], p[1], p[2]);
    data.AddFace(0, 1, 2);
    auto mesh = Build(data);
    EXPECT_EQ(Reps(mesh.get(), 1e-30f), (std::vector<DWORD>{0, 1, 2, 3, 2, 5, 6}));
    EXPECT_EQ(Reps(mesh.get(), inf), (std::vector<DWORD>{0, 1, 2, 3, 2, 5, 2}));
    // At epsilon 0 equal positions weld, infinite ones included.
    EXPECT_EQ(Reps(mesh.get(), 0.0f), (std::vector<DWORD>{0, 0, 2, 3, 4, 5, 6}));
}

TEST_F(WeldTest, RefusesBadArgumentsWithoutWriting) {
    auto mesh = Build(generated_meshes::SplitCube());
    std::vector<DWORD> reps(mesh->VertexCount(), 7);
    EXPECT_EQ(facet::PointRepsFromPositions(nullptr, 0.0f, reps.data()), D3DERR_INVALIDCALL);
    EXPECT_EQ(facet::PointRepsFromPositions(mesh.get(), 0.0f, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(facet::PointRepsFromPositions(mesh.get(), -1.0f, reps.data()), D3DERR_INVALIDCALL);
    EXPECT_EQ(facet::PointRepsFromPositions(mesh.get(), std::nanf(""), reps.data()), D3DERR_INVALIDCALL);
    auto writeOnly = Build(generated_meshes::SplitCube(),
                           facet::MeshOptions::Managed | facet::MeshOptions::VertexWriteOnly);
    EXPECT_EQ(facet::PointRepsFromPositions(writeOnly.get(), 0.0f, reps.data()), D3DERR_INVALIDCALL);
    EXPECT_EQ(reps, std::vector<DWORD>(reps.size(), 7));
}

// For each face's edge k, the position of the vertex across it: ours from the neighbour
// face, meshoptimizer's from its adjacency index buffer.
TEST_F(WeldTest, WeldedAdjacencyAgreesWithMeshoptimizerOnShuffledSeamedMeshes) {
    const MeshData meshes[] = {generated_meshes::Shuffled(generated_meshes::Torus(40, 24, 7), 1),
                               generated_meshes::Shuffled(generated_meshes::SplitCube(), 2),
                               generated_meshes::Shuffled(generated_meshes::Torus(400, 200, 16), 3)};
    for (const MeshData& data : meshes) {
        std::vector<unsigned> peer(2 * data.corners.size());
        meshopt_generateAdjacencyIndexBuffer(peer.data(), data.corners.data(), data.corners.size(),
                                             data.positions.data(), data.VertexCount(), 3 * sizeof(float));
        for (DWORD options : {facet::MeshOptions::Managed, facet::MeshOptions::Managed | facet::MeshOptions::Indices32Bit}) {
            if (options == facet::MeshOptions::Managed && (data.FaceCount() > 65534 || data.VertexCount() > 65534))
                continue;
            auto mesh = Build(data, options);
            const std::vector<DWORD> reps = Reps(mesh.get(), 0.0f);
            std::vector<DWORD> adjacency(data.corners.size());
            ASSERT_EQ(mesh->AdjacencyFromPointReps(reps.data(), adjacency.data()), D3D_OK);
            const auto position = [&](std::uint32_t v) {
                return std::array<float, 3>{data.positions[3 * v], data.positions[3 * v + 1], data.positions[3 * v + 2]};
            };
            std::size_t mismatches = 0;
            for (std::size_t f = 0; f < data.FaceCount(); ++f) {
                for (int k = 0; k < 3; ++k) {
                    const DWORD across = adjacency[3 * f + k];
                    ASSERT_NE(across, facet::NoNeighbour) << "closed meshes have a neighbour on every edge";
                    // The neighbour's corner that lies on neither end of the shared edge.
                    const DWORD a = reps[data.corners[3 * f + k]], b = reps[data.corners[3 * f + (k + 1) % 3]];
                    std::uint32_t opposite = 0;
                    for (int c = 0; c < 3; ++c) {
                        const std::uint32_t corner = data.corners[3 * across + c];
                        if (reps[corner] != a && reps[corner] != b) opposite = corner;
                    }
                    if (position(opposite) != position(peer[6 * f + 2 * k + 1])) ++mismatches;
                }
            }
            EXPECT_EQ(mismatches, 0u) << data.FaceCount() << " faces, options " << options;
        }
    }
}

}  // namespace
