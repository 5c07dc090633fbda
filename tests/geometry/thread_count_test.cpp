// The routines that take a thread pool give, at 1, 2 and 7 threads, exactly what they give
// without one: welding, adjacency (with and without a group table, with edges of three
// faces), the representatives from the adjacency, the mesh statistics and the normals, on
// meshes large enough to be split between threads and on one large enough for its edges
// to be grouped in several ranges.
#include "facet/normals.h"
#include "facet/thread_pool.h"
#include "facet/weld.h"
#include "geometry/directed_edge_groups.h"
#include "geometry/mesh_statistics.h"
#include "math/dispatch_testing.h"
#include "geometry_test_support.h"
#include "support/generated_meshes.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <thread>
#include <utility>
#include <vector>

namespace {

using generated_meshes::MeshData;

constexpr unsigned kThreadCounts[] = {1, 2, 7};

class ThreadCountTest : public geometry_test::DeviceTest {
protected:
    geometry_test::MeshPtr Build(const MeshData& data, DWORD options = facet::MeshOptions::Managed |
                                                                         facet::MeshOptions::Indices32Bit) {
        std::vector<float> vertices;
        for (std::size_t v = 0; v < data.VertexCount(); ++v)
            vertices.insert(vertices.end(), {data.positions[3 * v], data.positions[3 * v + 1],
                                             data.positions[3 * v + 2], 0, 0, 0});
        return MakeMesh(std::vector<DWORD>(data.corners.begin(), data.corners.end()), vertices,
                        D3DFVF_XYZ | D3DFVF_NORMAL, options);
    }

    // A shuffled seamed torus (about 190,000 faces, so every step splits between threads;
    // the weld splits from about 260,000 vertices, which 800 rings give)
    // with a fan of three faces on one edge and, unless `withNaN` is false (a face at a
    // NaN position sends the normals to their double-precision sums), a few vertices at a
    // NaN position added.
    static MeshData Awkward(bool withNaN = true, std::uint32_t rings = 320) {
        MeshData mesh = generated_meshes::Shuffled(generated_meshes::Torus(rings, 300, 16), 7);
        const auto first = static_cast<std::uint32_t>(mesh.VertexCount());
        const MeshData fan = generated_meshes::ThreeOnOneEdge();
        mesh.positions.insert(mesh.positions.end(), fan.positions.begin(), fan.positions.end());
        for (const std::uint32_t corner : fan.corners) mesh.corners.push_back(first + corner);
        if (!withNaN) return mesh;
        const float nan = std::numeric_limits<float>::quiet_NaN();
        for (int i = 0; i < 3; ++i) mesh.AddVertex(nan, 0.0f, nan);
        const auto last = static_cast<std::uint32_t>(mesh.VertexCount());
        mesh.AddFace(last - 3, last - 2, last - 1);
        return mesh;
    }
};

TEST(ThreadPoolTest, RunsEveryTaskOnceAndWaitsForAll) {
    for (const unsigned threads : {1u, 2u, 7u}) {
        facet::ThreadPool pool(threads);
        EXPECT_EQ(pool.Size(), threads);
        for (const std::size_t count : {std::size_t{0}, std::size_t{1}, std::size_t{3}, std::size_t{100}}) {
            std::vector<std::atomic<int>> calls(count);
            pool.Run(count, [&](std::size_t i) { ++calls[i]; });
            for (std::size_t i = 0; i < count; ++i) EXPECT_EQ(calls[i].load(), 1) << threads << " threads, task " << i;
        }
    }
}

// An allocation that fails in a task (a reader's chunk, say) must reach the caller as the
// exception, and only once no task is left running on what the caller's frame holds.
TEST(ThreadPoolTest, AThrowingTaskReachesTheCallerOnceTheOthersHaveReturned) {
    for (const unsigned threads : {1u, 2u, 7u})
        for (const std::size_t throwing : {std::size_t{0}, std::size_t{3}, std::size_t{49}}) {
            facet::ThreadPool pool(threads);
            std::vector<std::atomic<int>> calls(50);
            std::atomic<int> running{0};
            bool thrown = false;
            try {
                pool.Run(calls.size(), [&](std::size_t i) {
                    ++running;
                    ++calls[i];
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
                    --running;
                    if (i == throwing) throw std::bad_alloc();
                });
            } catch (const std::bad_alloc&) {
                thrown = true;
                EXPECT_EQ(running.load(), 0) << threads << " threads";
            }
            EXPECT_TRUE(thrown) << threads << " threads, task " << throwing;
            for (std::size_t i = 0; i < calls.size(); ++i) EXPECT_LE(calls[i].load(), 1) << i;
            EXPECT_EQ(calls[throwing].load(), 1);
            // The pool goes on to run a whole job after a failed one.
            std::vector<std::atomic<int>> again(20);
            pool.Run(again.size(), [&](std::size_t i) { ++again[i]; });
            for (std::size_t i = 0; i < again.size(); ++i) EXPECT_EQ(again[i].load(), 1) << threads << " threads";
        }
}

// A math routine first called on several workers at once would otherwise run the portable
// routines on some of them while the table is being filled, with other last bits.
TEST(ThreadPoolTest, ChoosesTheMathRoutinesBeforeAnyWorkerStarts) {
    facet::ResetDispatchForTesting();
    ASSERT_EQ(facet::DispatchLevel, facet::kDispatchLevelUnchosen);
    facet::ThreadPool pool(2);
    EXPECT_NE(facet::DispatchLevel, facet::kDispatchLevelUnchosen);
}

TEST(ThreadPoolTest, PartsCoverTheItemsInOrder) {
    facet::ThreadPool pool(7);
    EXPECT_EQ(facet::PartsFor(nullptr, 1000000), 1u);
    EXPECT_EQ(facet::PartsFor(&pool, 10), 1u);  // too few to split
    const std::size_t parts = facet::PartsFor(&pool, 1000000);
    EXPECT_EQ(parts, 7u);
    EXPECT_EQ(facet::PartStart(1000000, parts, 0), 0u);
    EXPECT_EQ(facet::PartStart(1000000, parts, parts), 1000000u);
    for (std::size_t part = 0; part < parts; ++part)
        EXPECT_LT(facet::PartStart(1000000, parts, part), facet::PartStart(1000000, parts, part + 1));
}

TEST_F(ThreadCountTest, WeldingIsTheSameForEveryThreadCount) {
    const auto mesh = Build(Awkward(true, 800));
    ASSERT_NE(mesh, nullptr);
    std::vector<DWORD> reps(mesh->VertexCount());
    ASSERT_EQ(facet::PointRepsFromPositions(mesh.get(), 0.0f, reps.data()), D3D_OK);
    for (const unsigned threads : kThreadCounts) {
        facet::ThreadPool pool(threads);
        std::vector<DWORD> pooledReps(reps.size(), 0xA5A5A5A5);
        ASSERT_EQ(facet::PointRepsFromPositions(mesh.get(), 0.0f, pooledReps.data(), &pool), D3D_OK);
        EXPECT_EQ(pooledReps, reps) << threads << " threads";
    }
}

TEST_F(ThreadCountTest, WeldAndAdjacencyAreTheSameForEveryThreadCount) {
    const auto mesh = Build(Awkward());
    ASSERT_NE(mesh, nullptr);
    std::vector<DWORD> reps(mesh->VertexCount()), adjacency(3 * std::size_t{mesh->FaceCount()});
    ASSERT_EQ(facet::PointRepsFromPositions(mesh.get(), 0.0f, reps.data()), D3D_OK);
    ASSERT_EQ(mesh->AdjacencyFromPointReps(reps.data(), adjacency.data()), D3D_OK);
    for (const unsigned threads : kThreadCounts) {
        facet::ThreadPool pool(threads);
        std::vector<DWORD> pooledReps(reps.size(), 0xA5A5A5A5), pooledAdjacency(adjacency.size(), 0xA5A5A5A5);
        ASSERT_EQ(facet::PointRepsFromPositions(mesh.get(), 0.0f, pooledReps.data(), &pool), D3D_OK);
        EXPECT_EQ(pooledReps, reps) << threads << " threads";
        ASSERT_EQ(facet::AdjacencyFromPointReps(mesh.get(), reps.data(), pooledAdjacency.data(), &pool), D3D_OK);
        EXPECT_EQ(pooledAdjacency, adjacency) << threads << " threads";
        // Without representatives the adjacency joins shared indices only.
        std::vector<DWORD> byIndex(adjacency.size()), pooledByIndex(adjacency.size());
        ASSERT_EQ(mesh->AdjacencyFromPointReps(nullptr, byIndex.data()), D3D_OK);
        ASSERT_EQ(facet::AdjacencyFromPointReps(mesh.get(), nullptr, pooledByIndex.data(), &pool), D3D_OK);
        EXPECT_EQ(pooledByIndex, byIndex) << threads << " threads";
    }
}

TEST_F(ThreadCountTest, AdjacencyFollowsTheGroupTableOnAPool) {
    const auto mesh = Build(Awkward());
    ASSERT_NE(mesh, nullptr);
    const DWORD faces = mesh->FaceCount();
    // Two groups listed back to front: the visiting order, and so the pairing of the
    // three-face edge, differs from face order.
    const facet::GroupEntry groups[2] = {{1, faces / 2, faces - faces / 2, 0, mesh->VertexCount()},
                                         {0, 0, faces / 2, 0, mesh->VertexCount()}};
    ASSERT_EQ(mesh->SetGroupTable(groups, 2), D3D_OK);
    std::vector<DWORD> reps(mesh->VertexCount()), adjacency(3 * std::size_t{faces}), pooled(adjacency.size());
    ASSERT_EQ(facet::PointRepsFromPositions(mesh.get(), 0.0f, reps.data()), D3D_OK);
    ASSERT_EQ(mesh->AdjacencyFromPointReps(reps.data(), adjacency.data()), D3D_OK);
    facet::ThreadPool pool(7);
    ASSERT_EQ(facet::AdjacencyFromPointReps(mesh.get(), reps.data(), pooled.data(), &pool), D3D_OK);
    EXPECT_EQ(pooled, adjacency);
    EXPECT_EQ(facet::AdjacencyFromPointReps(nullptr, reps.data(), pooled.data(), &pool), D3DERR_INVALIDCALL);
    EXPECT_EQ(facet::AdjacencyFromPointReps(mesh.get(), reps.data(), nullptr, &pool), D3DERR_INVALIDCALL);
}

// The representatives from the welded adjacency (every chart border a seam, so many walks
// reach other vertices), from one with broken neighbours, and in the order of a group
// table listed back to front.
TEST_F(ThreadCountTest, RepresentativesFromAdjacencyAreTheSameForEveryThreadCount) {
    const auto mesh = Build(Awkward());
    ASSERT_NE(mesh, nullptr);
    const DWORD faces = mesh->FaceCount();
    std::vector<DWORD> reps(mesh->VertexCount()), welded(3 * std::size_t{faces});
    ASSERT_EQ(facet::PointRepsFromPositions(mesh.get(), 0.0f, reps.data()), D3D_OK);
    ASSERT_EQ(mesh->AdjacencyFromPointReps(reps.data(), welded.data()), D3D_OK);
    std::vector<DWORD> broken = welded;
    for (std::size_t i = 0; i < broken.size(); i += 89) broken[i] = static_cast<DWORD>((i * 7919) % faces);
    const facet::GroupEntry groups[2] = {{1, faces / 2, faces - faces / 2, 0, mesh->VertexCount()},
                                         {0, 0, faces / 2, 0, mesh->VertexCount()}};
    for (const bool grouped : {false, true}) {
        ASSERT_EQ(mesh->SetGroupTable(grouped ? groups : nullptr, grouped ? 2 : 0), D3D_OK);
        for (const std::vector<DWORD>* adjacency : {&welded, &broken}) {
            std::vector<DWORD> alone(reps.size());
            ASSERT_EQ(mesh->PointRepsFromAdjacency(adjacency->data(), alone.data()), D3D_OK);
            for (const unsigned threads : kThreadCounts) {
                facet::ThreadPool pool(threads);
                std::vector<DWORD> pooled(reps.size(), 0xA5A5A5A5);
                ASSERT_EQ(facet::PointRepsFromAdjacency(mesh.get(), adjacency->data(), pooled.data(), &pool), D3D_OK);
                EXPECT_EQ(pooled, alone) << threads << " threads, grouped " << grouped;
            }
        }
    }
    facet::ThreadPool pool(2);
    EXPECT_EQ(facet::PointRepsFromAdjacency(nullptr, welded.data(), reps.data(), &pool), D3DERR_INVALIDCALL);
    EXPECT_EQ(facet::PointRepsFromAdjacency(mesh.get(), nullptr, reps.data(), &pool), D3DERR_INVALIDCALL);
    EXPECT_EQ(facet::PointRepsFromAdjacency(mesh.get(), welded.data(), nullptr, &pool), D3DERR_INVALIDCALL);
}

TEST_F(ThreadCountTest, StatisticsAreTheSameForEveryThreadCount) {
    const auto mesh = Build(Awkward());
    ASSERT_NE(mesh, nullptr);
    std::vector<DWORD> reps(mesh->VertexCount());
    ASSERT_EQ(facet::PointRepsFromPositions(mesh.get(), 0.0f, reps.data()), D3D_OK);
    facet::MeshStatistics alone;
    ASSERT_EQ(facet::ComputeMeshStatistics(mesh.get(), reps.data(), &alone), D3D_OK);
    // The torus is one closed component; the fan of three and the NaN face are two more.
    EXPECT_EQ(alone.components, 3u);
    EXPECT_EQ(alone.nonManifoldEdges, 1u);
    EXPECT_GT(alone.weldedPoints, 0u);
    for (const unsigned threads : kThreadCounts) {
        facet::ThreadPool pool(threads);
        facet::MeshStatistics pooled;
        ASSERT_EQ(facet::ComputeMeshStatistics(mesh.get(), reps.data(), &pooled, &pool), D3D_OK);
        const auto fields = [](const facet::MeshStatistics& s) {
            return std::vector<std::uint64_t>{s.vertices, s.faces, s.indices32, s.degenerateFaces, s.zeroAreaFaces,
                                              s.unreferencedVertices, s.weldedPoints, s.boundaryEdges,
                                              s.nonManifoldEdges, s.misorientedEdges, s.components, s.edgeComponents,
                                              s.closed, s.hasVolume, std::bit_cast<std::uint64_t>(s.area),
                                              std::bit_cast<std::uint64_t>(s.volume)};
        };
        EXPECT_EQ(fields(pooled), fields(alone)) << threads << " threads";
    }
}

// The bits of every vertex's position and normal (six floats a vertex).
std::vector<std::uint32_t> VertexBits(facet::Mesh* mesh) {
    void* bytes = nullptr;
    EXPECT_EQ(mesh->LockVertices(D3DLOCK_READONLY, &bytes), D3D_OK);
    std::vector<std::uint32_t> bits(6 * std::size_t{mesh->VertexCount()});
    std::memcpy(bits.data(), bytes, bits.size() * sizeof(std::uint32_t));
    mesh->UnlockVertices();
    return bits;
}

// The normals with the welded adjacency (seams joined), with a few neighbours broken (so
// some representatives have representatives of their own), and without adjacency; at
// ordinary scale and at scales where the single-precision sums underflow or overflow.
TEST_F(ThreadCountTest, NormalsAreTheSameBitsForEveryThreadCount) {
    MeshData data = Awkward(false);
    const std::vector<float> ordinary = data.positions;
    for (const float scale : {1.0f, 1e-22f, 1e20f}) {
        for (std::size_t i = 0; i < ordinary.size(); ++i) data.positions[i] = ordinary[i] * scale;
        const auto mesh = Build(data);
        ASSERT_NE(mesh, nullptr);
        std::vector<DWORD> reps(mesh->VertexCount()), welded(3 * std::size_t{mesh->FaceCount()});
        ASSERT_EQ(facet::PointRepsFromPositions(mesh.get(), 0.0f, reps.data()), D3D_OK);
        ASSERT_EQ(mesh->AdjacencyFromPointReps(reps.data(), welded.data()), D3D_OK);
        std::vector<DWORD> broken = welded;
        for (std::size_t i = 0; i < broken.size(); i += 97) broken[i] = static_cast<DWORD>((i * 7919) % mesh->FaceCount());
        for (const DWORD* entries : {welded.data(), broken.data(), static_cast<DWORD*>(nullptr)}) {
            ASSERT_EQ(facet::ComputeVertexNormals(mesh.get(), entries), D3D_OK);
            const std::vector<std::uint32_t> alone = VertexBits(mesh.get());
            for (const unsigned threads : kThreadCounts) {
                // As in a fresh process, where no routine has been chosen before the pool.
                facet::ResetDispatchForTesting();
                facet::ThreadPool pool(threads);
                ASSERT_EQ(facet::ComputeVertexNormals(mesh.get(), entries, &pool), D3D_OK);
                EXPECT_EQ(VertexBits(mesh.get()), alone) << threads << " threads, scale " << scale;
            }
        }
    }
}

// A mesh of more than 2^20 vertices is summed in a compact copy: the same mesh with that
// many unused vertices appended gets the same bits on its used vertices and (0, 0, 0) on
// the others, at ordinary scale and at one where the single-precision sums underflow.
TEST_F(ThreadCountTest, NormalsOfAMillionVerticesAreTheSameBitsAsOfTheUsedOnes) {
    for (const float scale : {1.0f, 1e-22f}) {
        MeshData used = Awkward(false);
        for (float& coordinate : used.positions) coordinate *= scale;
        MeshData padded = used;
        for (std::uint32_t i = 0; i < (1u << 20); ++i) padded.AddVertex(5.0f, 5.0f, 5.0f);
        const auto normalsOf = [&](const MeshData& data, unsigned threads) {
            const auto mesh = Build(data);
            EXPECT_NE(mesh, nullptr);
            std::vector<DWORD> reps(mesh->VertexCount()), adjacency(3 * std::size_t{mesh->FaceCount()});
            EXPECT_EQ(facet::PointRepsFromPositions(mesh.get(), 0.0f, reps.data()), D3D_OK);
            EXPECT_EQ(mesh->AdjacencyFromPointReps(reps.data(), adjacency.data()), D3D_OK);
            facet::ThreadPool pool(threads);
            EXPECT_EQ(facet::ComputeVertexNormals(mesh.get(), adjacency.data(), &pool), D3D_OK);
            return VertexBits(mesh.get());
        };
        const std::vector<std::uint32_t> alone = normalsOf(used, 1);
        for (const unsigned threads : kThreadCounts) {
            const std::vector<std::uint32_t> bits = normalsOf(padded, threads);
            EXPECT_TRUE(std::equal(alone.begin(), alone.end(), bits.begin())) << threads << " threads";
            bool unusedAreZero = true;
            for (std::size_t v = used.VertexCount(); v < padded.VertexCount(); ++v)
                unusedAreZero = unusedAreZero && bits[6 * v + 3] == 0 && bits[6 * v + 4] == 0 && bits[6 * v + 5] == 0;
            EXPECT_TRUE(unusedAreZero) << threads << " threads, scale " << scale;
        }
    }
}

// A mesh of 1.44 million faces has more edge records than the grouping keeps at once, so it
// is gathered in several ranges of lower keys, a pass over the faces each: the adjacency
// is still every edge's one opposite directed edge, and the counts those of a closed torus,
// with and without threads.
TEST_F(ThreadCountTest, MeshesGatheredInSeveralRangesGiveTheSameAtEveryThreadCount) {
    const MeshData data = generated_meshes::Shuffled(generated_meshes::Torus(900, 800, 64), 9);
    const auto mesh = Build(data);
    ASSERT_NE(mesh, nullptr);
    ASSERT_GT(3 * data.FaceCount(), facet::MostEdgeRecordsKept(data.FaceCount()));  // two ranges or more
    std::vector<DWORD> reps(mesh->VertexCount());
    ASSERT_EQ(facet::PointRepsFromPositions(mesh.get(), 0.0f, reps.data()), D3D_OK);
    // Every directed edge's face, sorted by edge, to look up the opposite edge.
    const auto key = [&](std::size_t face, std::size_t k) { return std::uint64_t{reps[data.corners[3 * face + k % 3]]}; };
    std::vector<std::pair<std::uint64_t, DWORD>> faceOfEdge;
    for (std::size_t face = 0; face < data.FaceCount(); ++face)
        for (std::size_t k = 0; k < 3; ++k)
            faceOfEdge.emplace_back(key(face, k) << 32 | key(face, k + 1), static_cast<DWORD>(face));
    std::sort(faceOfEdge.begin(), faceOfEdge.end());
    std::vector<DWORD> expected(data.corners.size());
    for (std::size_t face = 0; face < data.FaceCount(); ++face)
        for (std::size_t k = 0; k < 3; ++k) {
            const std::uint64_t opposite = key(face, k + 1) << 32 | key(face, k);
            const auto found = std::lower_bound(faceOfEdge.begin(), faceOfEdge.end(), std::make_pair(opposite, DWORD{0}));
            ASSERT_TRUE(found != faceOfEdge.end() && found->first == opposite);
            expected[3 * face + k] = found->second;
        }

    std::vector<DWORD> adjacency(expected.size());
    ASSERT_EQ(mesh->AdjacencyFromPointReps(reps.data(), adjacency.data()), D3D_OK);
    EXPECT_EQ(adjacency, expected);
    // With its corners rewritten to their representatives, the mesh needs none: what a
    // caller that owns the mesh does to keep no copy of its keys.
    MeshData joined = data;
    for (std::uint32_t& corner : joined.corners) corner = reps[corner];
    const auto joinedMesh = Build(joined);
    ASSERT_NE(joinedMesh, nullptr);
    for (const unsigned threads : kThreadCounts) {
        facet::ThreadPool pool(threads);
        std::vector<DWORD> byIndex(expected.size(), 0xA5A5A5A5);
        ASSERT_EQ(facet::AdjacencyFromPointReps(joinedMesh.get(), nullptr, byIndex.data(), &pool), D3D_OK);
        EXPECT_EQ(byIndex, expected) << threads << " threads";
    }
    facet::MeshStatistics alone;
    ASSERT_EQ(facet::ComputeMeshStatistics(mesh.get(), reps.data(), &alone), D3D_OK);
    EXPECT_TRUE(alone.closed && alone.hasVolume);
    EXPECT_EQ(alone.boundaryEdges + alone.nonManifoldEdges + alone.misorientedEdges, 0u);
    EXPECT_EQ(alone.components, 1u);
    EXPECT_EQ(alone.edgeComponents, 1u);
    for (const unsigned threads : {2u, 7u}) {
        facet::ThreadPool pool(threads);
        std::vector<DWORD> pooled(expected.size(), 0xA5A5A5A5);
        ASSERT_EQ(facet::AdjacencyFromPointReps(mesh.get(), reps.data(), pooled.data(), &pool), D3D_OK);
        EXPECT_EQ(pooled, expected) << threads << " threads";
        facet::MeshStatistics counted;
        ASSERT_EQ(facet::ComputeMeshStatistics(mesh.get(), reps.data(), &counted, &pool), D3D_OK);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(counted.area), std::bit_cast<std::uint64_t>(alone.area));
        EXPECT_EQ(std::bit_cast<std::uint64_t>(counted.volume), std::bit_cast<std::uint64_t>(alone.volume));
        EXPECT_EQ(counted.weldedPoints, alone.weldedPoints);
        EXPECT_EQ(counted.components + counted.edgeComponents, 2u) << threads << " threads";
        EXPECT_TRUE(counted.closed) << threads << " threads";
    }
}

}  // namespace
