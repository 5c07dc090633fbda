// Adjacency from point representatives and point representatives from adjacency.
#include "geometry_test_support.h"

#include "facet/math.h"
#include "facet/thread_pool.h"
#include "facet/weld.h"

#include <cmath>
#include <map>
#include <random>
#include <utility>

namespace {

using geometry_test::MeshPtr;
constexpr DWORD kNone = 0xFFFFFFFF;
using Entries = std::vector<DWORD>;

class AdjacencyTest : public geometry_test::DeviceTest, public ::testing::WithParamInterface<DWORD> {
protected:
    // Positions-only mesh in the index width under test.
    MeshPtr Make(const Entries& indices, const std::vector<float>& positions) {
        return MakeMesh(indices, positions, D3DFVF_XYZ, facet::MeshOptions::Managed | GetParam());
    }
    static Entries Adjacency(facet::Mesh* mesh, const DWORD* pointReps = nullptr) {
        Entries adjacency(3 * mesh->FaceCount(), 0x12345678);
        EXPECT_EQ(mesh->AdjacencyFromPointReps(pointReps, adjacency.data()), D3D_OK);
        return adjacency;
    }
    static Entries PointReps(facet::Mesh* mesh, const Entries& adjacency) {
        Entries reps(mesh->VertexCount(), 0x12345678);
        EXPECT_EQ(mesh->PointRepsFromAdjacency(adjacency.data(), reps.data()), D3D_OK);
        return reps;
    }
};

const std::vector<float> kSixPoints = {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 1, 0, 1, 0, 0, 1, 1, 0};

TEST_P(AdjacencyTest, SingleTriangleHasNoNeighbours) {
    MeshPtr mesh = Make({0, 1, 2}, {0, 0, 0, 1, 0, 0, 0, 1, 0});
    EXPECT_EQ(Adjacency(mesh.get()), (Entries{kNone, kNone, kNone}));
    EXPECT_EQ(PointReps(mesh.get(), {kNone, kNone, kNone}), (Entries{0, 1, 2}));
}

TEST_P(AdjacencyTest, TwoTrianglesSharingAnEdge) {
    MeshPtr mesh = Make({0, 1, 2, 2, 1, 3}, {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0});
    EXPECT_EQ(Adjacency(mesh.get()), (Entries{kNone, 1, kNone, 0, kNone, kNone}));
    EXPECT_EQ(PointReps(mesh.get(), {kNone, 1, kNone, 0, kNone, kNone}), (Entries{0, 1, 2, 3}));
}

TEST_P(AdjacencyTest, PointRepresentativesRoundTrip) {
    // Vertex 3 lies where vertex 2 lies and vertex 4 where vertex 1 lies.
    MeshPtr mesh = Make({0, 1, 2, 3, 4, 5}, kSixPoints);
    const Entries adjacency = {kNone, 1, kNone, 0, kNone, kNone};
    const Entries reps = PointReps(mesh.get(), adjacency);
    EXPECT_EQ(reps, (Entries{0, 1, 2, 2, 1, 5}));
    EXPECT_EQ(Adjacency(mesh.get(), reps.data()), adjacency);
    EXPECT_EQ(Adjacency(mesh.get()), Entries(6, kNone));
}

TEST_P(AdjacencyTest, FaceWithRepeatedCornerIsNobodysNeighbour) {
    MeshPtr mesh = Make({0, 1, 2, 2, 1, 1, 2, 1, 3}, {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0});
    EXPECT_EQ(Adjacency(mesh.get()), (Entries{kNone, 2, kNone, kNone, kNone, kNone, 0, kNone, kNone}));
}

TEST_P(AdjacencyTest, EdgeOfThreeFacesPairsTheClosestNormal) {
    // Faces 1 and 2 both run 1→0 against face 0's 0→1. Face 1 lies in face 0's plane,
    // face 2 stands upright, so face 1 wins although face 2 was recorded last.
    const std::vector<float> positions = {0, 0, 0, 1, 0, 0, 0.5f, 1, 0, 0.5f, -1, 0, 0.5f, 0, 1};
    MeshPtr mesh = Make({0, 1, 2, 1, 0, 3, 1, 0, 4}, positions);
    const Entries adjacency = Adjacency(mesh.get());
    EXPECT_EQ(adjacency[0], 1u);
    EXPECT_EQ(adjacency[3], 0u);
    EXPECT_EQ(adjacency[6], kNone);
}

TEST_P(AdjacencyTest, EqualNormalsGoToTheNewestRecordedFace) {
    const std::vector<float> positions = {0, 0, 0, 1, 0, 0, 0.5f, 1, 0, 0.5f, -1, 0, 0.5f, -2, 0};
    MeshPtr mesh = Make({0, 1, 2, 1, 0, 3, 1, 0, 4}, positions);
    EXPECT_EQ(Adjacency(mesh.get())[0], 2u);
    EXPECT_EQ(Adjacency(mesh.get())[6], 0u);

    // Visiting faces 1 and 2 before face 0 lets face 1 claim the edge first.
    const facet::GroupEntry groups[] = {{0, 1, 2, 0, 5}, {0, 0, 1, 0, 5}};
    ASSERT_EQ(mesh->SetGroupTable(groups, 2), D3D_OK);
    const Entries grouped = Adjacency(mesh.get());
    EXPECT_EQ(grouped[0], 1u);
    EXPECT_EQ(grouped[3], 0u);
    EXPECT_EQ(grouped[6], kNone);
}

TEST_P(AdjacencyTest, FacesOutsideTheGroupsAndUnusedFacesStayUnmatched) {
    const DWORD empty = GetParam() ? 0xFFFFFFFF : 0xFFFF;
    MeshPtr mesh = Make({0, 1, 2, 2, 1, 3, empty, 0, 0}, {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0});
    EXPECT_EQ(Adjacency(mesh.get()), (Entries{kNone, 1, kNone, 0, kNone, kNone, kNone, kNone, kNone}));
    EXPECT_EQ(PointReps(mesh.get(), {kNone, 1, kNone, 0, kNone, kNone, kNone, kNone, kNone}),
              (Entries{0, 1, 2, 3}));
    const facet::GroupEntry onlyFirst[] = {{0, 0, 1, 0, 3}};
    ASSERT_EQ(mesh->SetGroupTable(onlyFirst, 1), D3D_OK);
    EXPECT_EQ(Adjacency(mesh.get()), Entries(9, kNone));
}

TEST_P(AdjacencyTest, InvalidIndicesAndRepresentativesWriteNothing) {
    MeshPtr mesh = Make({0, 1, 2, 2, 1, 7}, {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0});
    Entries adjacency(6, 0x5A5A5A5A);
    EXPECT_EQ(mesh->AdjacencyFromPointReps(nullptr, adjacency.data()), D3DERR_INVALIDCALL);
    EXPECT_EQ(adjacency, Entries(6, 0x5A5A5A5A));
    Entries reps(4, 0x5A5A5A5A);
    EXPECT_EQ(mesh->PointRepsFromAdjacency(Entries(6, kNone).data(), reps.data()), D3DERR_INVALIDCALL);
    EXPECT_EQ(reps, Entries(4, 0x5A5A5A5A));

    WriteIndices(mesh.get(), {0, 1, 2, 2, 1, 3});
    const Entries badReps = {0, 1, 2, 4};
    EXPECT_EQ(mesh->AdjacencyFromPointReps(badReps.data(), adjacency.data()), D3DERR_INVALIDCALL);
    EXPECT_EQ(adjacency, Entries(6, 0x5A5A5A5A));
    // An adjacency entry naming a face that does not exist, or a group past the faces.
    EXPECT_EQ(mesh->PointRepsFromAdjacency(Entries{2, kNone, kNone, kNone, kNone, kNone}.data(), reps.data()),
              D3DERR_INVALIDCALL);
    const facet::GroupEntry pastTheEnd[] = {{0, 1, 2, 0, 4}};
    ASSERT_EQ(mesh->SetGroupTable(pastTheEnd, 1), D3D_OK);
    EXPECT_EQ(mesh->AdjacencyFromPointReps(nullptr, adjacency.data()), D3DERR_INVALIDCALL);
    EXPECT_EQ(reps, Entries(4, 0x5A5A5A5A));
}

TEST_P(AdjacencyTest, RefusedArguments) {
    MeshPtr mesh = Make({0, 1, 2}, {0, 0, 0, 1, 0, 0, 0, 1, 0});
    Entries out(3);
    EXPECT_EQ(mesh->AdjacencyFromPointReps(nullptr, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(mesh->PointRepsFromAdjacency(nullptr, out.data()), D3DERR_INVALIDCALL);
    EXPECT_EQ(mesh->PointRepsFromAdjacency(out.data(), nullptr), D3DERR_INVALIDCALL);
    MeshPtr writeOnly = MakeMesh({0, 1, 2}, {0, 0, 0, 1, 0, 0, 0, 1, 0}, D3DFVF_XYZ, 0x400 | GetParam());
    EXPECT_EQ(writeOnly->AdjacencyFromPointReps(nullptr, out.data()), D3DERR_INVALIDCALL);
    EXPECT_EQ(writeOnly->PointRepsFromAdjacency(out.data(), out.data()), D3DERR_INVALIDCALL);
}

TEST_P(AdjacencyTest, FewerThanThreeVertices) {
    MeshPtr mesh = Make({0, 1, 1, 1, 0, 0}, {0, 0, 0, 1, 0, 0});
    EXPECT_EQ(Adjacency(mesh.get()), Entries(6, kNone));
}

TEST_P(AdjacencyTest, LockFailuresArePassedThrough) {
    MeshPtr mesh = Make({0, 1, 2}, {0, 0, 0, 1, 0, 0, 0, 1, 0});
    Entries out(3, 9);
    d3d9sw::InjectFault("VertexBuffer::Lock", D3DERR_DEVICELOST);
    EXPECT_EQ(mesh->AdjacencyFromPointReps(nullptr, out.data()), D3DERR_DEVICELOST);
    d3d9sw::InjectFault("IndexBuffer::Lock", D3DERR_DEVICELOST);
    EXPECT_EQ(mesh->PointRepsFromAdjacency(Entries(3, kNone).data(), out.data()), D3DERR_DEVICELOST);
    EXPECT_EQ(out, Entries(3, 9));
    // The index buffer was unlocked after the vertex lock failed: it locks again.
    void* data = nullptr;
    EXPECT_EQ(mesh->LockIndices(0, &data), D3D_OK);
    mesh->UnlockIndices();
}

// A fan of `faces` faces around vertex 0.
Entries Fan(DWORD faces) {
    Entries indices;
    for (DWORD i = 0; i < faces; ++i) indices.insert(indices.end(), {0, i + 1, i + 2});
    return indices;
}

TEST_P(AdjacencyTest, WalkAroundTooManyFacesFails) {
    for (DWORD faces : {10000u, 10001u}) {
        MeshPtr mesh = Make(Fan(faces), std::vector<float>(3 * (faces + 2), 0.0f));
        const Entries adjacency = Adjacency(mesh.get());
        Entries reps(mesh->VertexCount(), 0);
        EXPECT_EQ(mesh->PointRepsFromAdjacency(adjacency.data(), reps.data()),
                  faces == 10000 ? D3D_OK : static_cast<HRESULT>(0x88760B55u))
            << faces;
    }
}

// Faces 0 (0, 1, 2) and 1 (0, 2, 1) are one triangle wound both ways; face 2 (1, 0, 3)
// leans towards face 0, so it takes their edge 0-1 and faces 0 and 1 share the two other
// edges. Walking round vertex 1 must cross into face 1 over the edge 1-2, not 0-2.
TEST_P(AdjacencyTest, WalkStaysAroundItsVertexWhenTwoFacesShareTwoEdges) {
    const std::vector<float> positions = {0, 0, 0, 1, 0, 0, 0, 1, 0, 0.5f, -1, 0.1f, 0, 0, 0, 0, 1, 0, 1, 0, 0};
    MeshPtr shared = Make({0, 1, 2, 0, 2, 1, 1, 0, 3}, positions);
    const Entries adjacency = Adjacency(shared.get());
    ASSERT_EQ(adjacency, (Entries{2, 1, 1, 0, 0, kNone, 0, kNone, kNone}));
    EXPECT_EQ(PointReps(shared.get(), adjacency), (Entries{0, 1, 2, 3, 4, 5, 6}));
    // The same with face 1's corners split off (4, 5, 6 repeat 0, 2, 1): indices cannot
    // tell the two shared edges apart, their order does.
    MeshPtr split = Make({0, 1, 2, 4, 5, 6, 1, 0, 3}, positions);
    EXPECT_EQ(PointReps(split.get(), adjacency), (Entries{0, 1, 2, 3, 0, 2, 1}));
}

// A bumpy height field with holes, as a scan gives, in which many triangles are doubled
// back on themselves (folds) and some doubled in the same winding, so that edges carry one
// to four faces and pairs of faces share two or three edges. Every index is one point, so every vertex
// must stand for itself, and the walks must never run away.
TEST_P(AdjacencyTest, WalksStayAroundTheirVerticesOnAFoldedScan) {
    constexpr DWORD kSide = 60;
    std::vector<float> positions;
    for (DWORD i = 0; i < kSide; ++i)
        for (DWORD j = 0; j < kSide; ++j)
            positions.insert(positions.end(), {static_cast<float>(i), static_cast<float>(j),
                                               std::sin(0.7f * static_cast<float>(i)) * std::cos(0.4f * static_cast<float>(j))});
    std::mt19937 random(GetParam() + 11);
    Entries indices;
    const auto add = [&](DWORD a, DWORD b, DWORD c) {
        const auto roll = random() % 100;
        if (roll < 25) return;  // a hole
        indices.insert(indices.end(), {a, b, c});
        if (roll < 50) indices.insert(indices.end(), {a, c, b});  // folded back
        else if (roll < 55) indices.insert(indices.end(), {b, c, a});  // doubled
    };
    for (DWORD i = 0; i + 1 < kSide; ++i)
        for (DWORD j = 0; j + 1 < kSide; ++j) {
            const DWORD v = i * kSide + j;
            add(v, v + kSide, v + kSide + 1);
            add(v, v + kSide + 1, v + 1);
        }
    MeshPtr mesh = Make(indices, positions);
    const Entries adjacency = Adjacency(mesh.get());
    Entries identity(kSide * kSide);
    for (DWORD v = 0; v < identity.size(); ++v) identity[v] = v;
    EXPECT_EQ(PointReps(mesh.get(), adjacency), identity);
}

// The matching rule stated directly: records gathered per undirected edge in visiting
// order (through a map, not a sort), then each unmatched record takes the newest unmatched
// opposite record of another face, or the one of closest unit normal when there are
// several. The library must agree with it however its sort buckets and groups records.
Entries ReferenceAdjacency(const Entries& indices, const std::vector<float>& positions, const DWORD* reps,
                           const std::vector<facet::GroupEntry>& groups) {
    const DWORD faces = static_cast<DWORD>(indices.size() / 3);
    std::vector<DWORD> order;
    if (groups.empty())
        for (DWORD face = 0; face < faces; ++face) order.push_back(face);
    for (const facet::GroupEntry& group : groups)
        for (DWORD face = group.firstFace; face < group.firstFace + group.faceCount; ++face) order.push_back(face);
    const auto key = [&](DWORD face, DWORD corner) {
        const DWORD index = indices[3 * face + corner];
        return reps != nullptr ? reps[index] : index;
    };
    const auto normal = [&](DWORD face) {
        facet::Vector3 p[3];
        for (DWORD corner = 0; corner < 3; ++corner) {
            const DWORD k = key(face, corner);
            p[corner] = {positions[3 * k], positions[3 * k + 1], positions[3 * k + 2]};
        }
        facet::Vector3 n = Cross(p[0] - p[1], p[0] - p[2]);
        facet::Vec3Normalize(&n, &n);
        return n;
    };
    struct Record {
        DWORD faceEdge;
        bool runsUp;
    };
    std::map<std::pair<DWORD, DWORD>, std::vector<Record>> edges;
    for (DWORD face : order) {
        const DWORD k[3] = {key(face, 0), key(face, 1), key(face, 2)};
        if (k[0] == k[1] || k[1] == k[2] || k[0] == k[2]) continue;
        for (DWORD edge = 0; edge < 3; ++edge) {
            const DWORD from = k[edge], to = k[(edge + 1) % 3];
            edges[{std::min(from, to), std::max(from, to)}].push_back({3 * face + edge, from < to});
        }
    }
    Entries adjacency(indices.size(), kNone);
    const auto dot = [](const facet::Vector3& a, const facet::Vector3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; };
    for (const auto& [edge, records] : edges)
        for (const Record& record : records) {
            if (adjacency[record.faceEdge] != kNone) continue;
            const DWORD face = record.faceEdge / 3;
            DWORD chosen = kNone;
            float chosenDot = 0.0f;
            for (auto candidate = records.rbegin(); candidate != records.rend(); ++candidate) {
                if (candidate->runsUp == record.runsUp || candidate->faceEdge / 3 == face ||
                    adjacency[candidate->faceEdge] != kNone)
                    continue;
                const float d = dot(normal(face), normal(candidate->faceEdge / 3));
                if (chosen == kNone || d > chosenDot) {
                    chosen = candidate->faceEdge;
                    chosenDot = d;
                }
            }
            if (chosen == kNone) continue;
            adjacency[record.faceEdge] = chosen / 3;
            adjacency[chosen] = face;
        }
    return adjacency;
}

TEST_P(AdjacencyTest, AgreesWithTheRuleOnLargeMeshesWithCrowdedEdgesHubsAndRevisitedFaces) {
    // Faces are built on a pool of edges so that edges carry one to many faces in both
    // windings; vertex 7 is a hub with hundreds of edges; some faces repeat a corner.
    // Representatives fold the top sixth of the vertices onto others. 60,000 vertices give
    // keys few enough to be grouped a key at a time; 200,000 (32-bit indices only) give
    // keys grouped in buckets sorted in the cache. A sparse mesh leaves most keys or
    // buckets empty; the largest (as many as 16-bit indices allow) is split into parts for
    // several threads. Each mesh is matched on 1, 2 and 7 threads (the groups, when there
    // are any, are visited in order on one).
    const bool wide = GetParam() != 0;
    for (const DWORD vertices : {60000u, 200000u}) {
        if (vertices > 65535 && !wide) continue;
        const DWORD kept = vertices / 6 * 5;
        std::mt19937 random(GetParam() + 5);
        std::vector<float> positions(3 * vertices);
        for (float& value : positions) value = std::uniform_real_distribution<float>(-1.0f, 1.0f)(random);
        Entries reps(vertices);
        for (DWORD v = 0; v < vertices; ++v) reps[v] = v >= kept ? (v * 7919u) % kept : v;
        std::uniform_int_distribution<DWORD> anyVertex(0, vertices - 1);
        for (DWORD faces : {300u, 20000u, wide ? 120000u : 60000u}) {
            std::vector<std::pair<DWORD, DWORD>> pool;
            for (DWORD i = 0; i < faces / 4; ++i) pool.emplace_back(i % 5 == 0 ? 7 : anyVertex(random), anyVertex(random));
            Entries indices;
            for (DWORD face = 0; face < faces; ++face) {
                auto [a, b] = pool[std::uniform_int_distribution<std::size_t>(0, pool.size() - 1)(random)];
                if (random() % 2 != 0) std::swap(a, b);
                const DWORD c = random() % 50 == 0 ? a : anyVertex(random);
                indices.insert(indices.end(), {a, b, c});
            }
            MeshPtr mesh = Make(indices, positions);
            ASSERT_NE(mesh, nullptr);
            const std::vector<facet::GroupEntry> groups = {{0, faces / 2, faces / 2, 0, vertices},
                                                           {1, 0, faces / 2 + 10, 0, vertices},
                                                           {2, faces / 4, 20, 0, vertices}};
            for (const bool grouped : {false, true}) {
                ASSERT_EQ(mesh->SetGroupTable(grouped ? groups.data() : nullptr, grouped ? 3 : 0), D3D_OK);
                const std::vector<facet::GroupEntry> visit = grouped ? groups : std::vector<facet::GroupEntry>{};
                for (const DWORD* pointReps : {static_cast<const DWORD*>(nullptr), static_cast<const DWORD*>(reps.data())}) {
                    const Entries expected = ReferenceAdjacency(indices, positions, pointReps, visit);
                    for (const unsigned threads : {1u, 2u, 7u}) {
                        facet::ThreadPool threadPool(threads);
                        Entries adjacency(3 * faces, 0x12345678);
                        ASSERT_EQ(facet::AdjacencyFromPointReps(mesh.get(), pointReps, adjacency.data(), &threadPool),
                                  D3D_OK);
                        EXPECT_EQ(adjacency, expected)
                            << vertices << " vertices, " << faces << " faces, grouped " << grouped
                            << ", representatives " << (pointReps != nullptr) << ", " << threads << " threads";
                    }
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(IndexWidths, AdjacencyTest, ::testing::Values(0u, facet::MeshOptions::Indices32Bit),
                         [](const auto& info) { return info.param ? "Indices32" : "Indices16"; });

}  // namespace
