// Point representatives from adjacency on meshes a scan or a broken file could give: many
// vertices shared by fans that the adjacency keeps apart, asymmetric and dangling
// neighbours, unused faces, and a walk that runs too long among ordinary ones. The routine
// walks several fans at once, and on a pool every vertex's fan at once; its results must
// be those of walking one fan after the other, which the plain walk below does, at every
// thread count.
#include "facet/thread_pool.h"
#include "facet/weld.h"
#include "geometry_test_support.h"

#include <random>

namespace {

using geometry_test::MeshPtr;
using Entries = std::vector<DWORD>;
constexpr DWORD kNone = 0xFFFFFFFF;

// One fan after the other, for adjacencies in which no face names another across two
// edges (so the edge leading back is the one naming the face left).
class PlainWalk {
public:
    PlainWalk(const Entries& indices, const Entries& adjacency, DWORD vertexCount, DWORD empty)
        : indices_(indices), adjacency_(adjacency), empty_(empty), reps_(vertexCount, kNone) {}

    HRESULT Run() {
        for (DWORD face = 0; face < indices_.size() / 3; ++face)
            for (DWORD corner = 0; corner < 3; ++corner) {
                const DWORD vertex = indices_[3 * face + corner];
                if (vertex == empty_ || reps_[vertex] != kNone) continue;
                if (!WalkAround(face, corner)) return static_cast<HRESULT>(0x88760B55u);
            }
        for (DWORD vertex = 0; vertex < reps_.size(); ++vertex)
            if (reps_[vertex] == kNone) reps_[vertex] = vertex;
        return D3D_OK;
    }
    const Entries& reps() const { return reps_; }

private:
    DWORD EdgeNaming(DWORD face, DWORD named) const {
        for (DWORD edge = 0; edge < 3; ++edge)
            if (adjacency_[3 * face + edge] == named) return edge;
        return 3;
    }
    void Reach(DWORD face, DWORD corner, DWORD vertex) {
        if (indices_[3 * face + corner] != empty_) reps_[indices_[3 * face + corner]] = vertex;
    }

    bool WalkAround(DWORD start, DWORD startCorner) {
        const DWORD vertex = indices_[3 * start + startCorner];
        reps_[vertex] = vertex;
        DWORD reached = 1;
        for (DWORD face = start, corner = startCorner;;) {
            const DWORD next = adjacency_[3 * face + corner];
            if (next == kNone) break;
            if (next == start) return true;
            const DWORD edge = EdgeNaming(next, face);
            if (edge == 3) break;
            if (++reached > 10000) return false;
            face = next;
            corner = (edge + 1) % 3;
            Reach(face, corner, vertex);
        }
        for (DWORD face = start, corner = startCorner;;) {
            const DWORD next = adjacency_[3 * face + (corner + 2) % 3];
            if (next == kNone || next == start) break;
            const DWORD edge = EdgeNaming(next, face);
            if (edge == 3) break;
            if (++reached > 10000) return false;
            face = next;
            corner = edge;
            Reach(face, corner, vertex);
        }
        return true;
    }

    const Entries& indices_;
    const Entries& adjacency_;
    DWORD empty_;
    Entries reps_;
};

class FanWalkTest : public geometry_test::DeviceTest, public ::testing::WithParamInterface<DWORD> {
protected:
    DWORD Empty() const { return (GetParam() & facet::MeshOptions::Indices32Bit) != 0 ? 0xFFFFFFFF : 0xFFFF; }

    MeshPtr Make(const Entries& indices, DWORD vertexCount) {
        return MakeMesh(indices, std::vector<float>(3 * vertexCount, 0.0f), D3DFVF_XYZ,
                        facet::MeshOptions::Managed | GetParam());
    }

    // The routine's representatives (written over a fill that shows any entry left out)
    // and result, against the plain walk's.
    void ExpectAsPlainWalk(const Entries& indices, const Entries& adjacency, DWORD vertexCount, const char* what) {
        MeshPtr mesh = Make(indices, vertexCount);
        ASSERT_TRUE(mesh);
        PlainWalk plain(indices, adjacency, vertexCount, Empty());
        const HRESULT expected = plain.Run();
        Entries reps(vertexCount, kNone);
        EXPECT_EQ(mesh->PointRepsFromAdjacency(adjacency.data(), reps.data()), expected) << what;
        EXPECT_EQ(reps, plain.reps()) << what;
    }
};

// A mesh of random faces over the vertices, seams as the adjacency finds them (about a
// third of the vertices stand where an earlier one does), with some neighbours then
// broken and some faces unused.
struct SeamedMesh {
    Entries indices;
    Entries adjacency;
};

// Neither face names the other across two edges: the second naming is dropped.
void DropRepeatedNaming(Entries* adjacency) {
    for (std::size_t face = 0; face < adjacency->size() / 3; ++face)
        for (std::size_t edge = 1; edge < 3; ++edge)
            for (std::size_t earlier = 0; earlier < edge; ++earlier)
                if ((*adjacency)[3 * face + edge] == (*adjacency)[3 * face + earlier]) (*adjacency)[3 * face + edge] = kNone;
}

TEST_P(FanWalkTest, SharedVerticesAndBrokenNeighboursGiveTheOneFanAtATimeResult) {
    std::mt19937 random(24);
    for (int trial = 0; trial < 300; ++trial) {
        const DWORD vertexCount = 3 + random() % 40;
        const DWORD faceCount = 1 + random() % 150;
        Entries indices(3 * faceCount);
        for (DWORD& index : indices) index = random() % vertexCount;
        if (trial % 5 == 0) indices[3 * (random() % faceCount)] = Empty();  // an unused face
        // Neighbours as the adjacency finds them with seams (about a third of the vertices
        // stand where an earlier one does), with some entries then broken.
        Entries seams(vertexCount);
        for (DWORD vertex = 0; vertex < vertexCount; ++vertex)
            seams[vertex] = vertex > 0 && random() % 3 == 0 ? seams[random() % vertex] : vertex;
        MeshPtr mesh = Make(indices, vertexCount);
        ASSERT_TRUE(mesh);
        Entries adjacency(indices.size());
        ASSERT_EQ(mesh->AdjacencyFromPointReps(seams.data(), adjacency.data()), D3D_OK);
        const int broken = static_cast<int>(random() % 4);
        for (DWORD& entry : adjacency)
            if (static_cast<int>(random() % 10) < broken) entry = random() % 3 == 0 ? kNone : random() % faceCount;
        DropRepeatedNaming(&adjacency);
        ExpectAsPlainWalk(indices, adjacency, vertexCount, ("trial " + std::to_string(trial)).c_str());
    }
}

// Two pairs of faces round vertex 0 that are not neighbours of each other (a bow tie),
// whose shared edges join corners holding different indices, in both orders of the pairs.
TEST_P(FanWalkTest, BowTieAndSeamVertices) {
    const Entries indices = {0, 1, 2, 0, 2, 3, 0, 4, 5, 0, 5, 6};
    const Entries adjacency = {kNone, 1, kNone, 0, kNone, kNone, kNone, 3, kNone, 2, kNone, kNone};
    ExpectAsPlainWalk(indices, adjacency, 7, "bow tie");
    const Entries swapped = {0, 4, 5, 0, 5, 6, 0, 1, 2, 0, 2, 3};
    ExpectAsPlainWalk(swapped, adjacency, 7, "bow tie, fans swapped");
}

// A walk that runs too long fails the call, after the fans before it were applied and with
// none of those after it (which run alongside it) applied.
TEST_P(FanWalkTest, TooLongAWalkAmongOthersKeepsOnlyTheEarlierFans) {
    if (Empty() == 0xFFFF) GTEST_SKIP() << "the long fan needs more than 65535 indices";
    Entries indices, adjacency;
    // Forty lone triangles, a fan of 10001 faces round vertex 120, forty lone triangles.
    auto lone = [&](DWORD first) {
        indices.insert(indices.end(), {first, first + 1, first + 2});
        adjacency.insert(adjacency.end(), {kNone, kNone, kNone});
    };
    for (DWORD i = 0; i < 40; ++i) lone(3 * i);
    const DWORD hub = 120, fanStart = 40;
    for (DWORD i = 0; i < 10001; ++i) {
        indices.insert(indices.end(), {hub, hub + 1 + i, hub + 2 + i});
        adjacency.insert(adjacency.end(), {i == 0 ? kNone : fanStart + i - 1, kNone, i == 10000 ? kNone : fanStart + i + 1});
    }
    const DWORD after = hub + 10003;
    for (DWORD i = 0; i < 40; ++i) lone(after + 3 * i);
    ExpectAsPlainWalk(indices, adjacency, after + 120, "long fan");
}

// Meshes large enough to be split between threads: the walks on 1, 2 and 7 threads give
// the plain walk's representatives, in face order and in the order of a group table that
// lists some faces twice and some not at all; and a walk that runs too long among them
// gives the plain walk's failure and partial result.
class ThreadedFanWalkTest : public FanWalkTest {
protected:
    SeamedMesh RandomSeamed(std::mt19937* random, DWORD faceCount, DWORD vertexCount) {
        SeamedMesh made{Entries(3 * faceCount), Entries(3 * faceCount)};
        for (DWORD& index : made.indices) index = (*random)() % vertexCount;
        for (int i = 0; i < 20; ++i) made.indices[3 * ((*random)() % faceCount)] = Empty();
        Entries seams(vertexCount);
        for (DWORD vertex = 0; vertex < vertexCount; ++vertex)
            seams[vertex] = vertex > 0 && (*random)() % 3 == 0 ? seams[(*random)() % vertex] : vertex;
        MeshPtr mesh = Make(made.indices, vertexCount);
        EXPECT_TRUE(mesh);
        EXPECT_EQ(mesh->AdjacencyFromPointReps(seams.data(), made.adjacency.data()), D3D_OK);
        for (DWORD& entry : made.adjacency)
            if ((*random)() % 50 == 0) entry = (*random)() % 3 == 0 ? kNone : (*random)() % faceCount;
        DropRepeatedNaming(&made.adjacency);
        return made;
    }

    // The representatives and result on pools of 1, 2 and 7 threads against `expected`
    // (written over a fill that shows any entry left out).
    void ExpectOnEveryPool(facet::Mesh* mesh, const Entries& adjacency, HRESULT expected, const Entries& reps,
                           const std::string& what) {
        for (const unsigned threads : {1u, 2u, 7u}) {
            facet::ThreadPool pool(threads);
            Entries found(reps.size(), 0x5A5A5A5A);
            EXPECT_EQ(facet::PointRepsFromAdjacency(mesh, adjacency.data(), found.data(), &pool), expected)
                << what << ", " << threads << " threads";
            EXPECT_EQ(found, reps) << what << ", " << threads << " threads";
        }
    }
};

TEST_P(ThreadedFanWalkTest, EveryThreadCountGivesTheOneFanAtATimeResult) {
    std::mt19937 random(2024);
    for (int trial = 0; trial < 3; ++trial) {
        const DWORD faceCount = 40000 + random() % 5000, vertexCount = 12000 + random() % 12000;
        const SeamedMesh made = RandomSeamed(&random, faceCount, vertexCount);
        PlainWalk plain(made.indices, made.adjacency, vertexCount, Empty());
        const HRESULT expected = plain.Run();
        MeshPtr mesh = Make(made.indices, vertexCount);
        ASSERT_TRUE(mesh);
        ExpectOnEveryPool(mesh.get(), made.adjacency, expected, plain.reps(), "trial " + std::to_string(trial));
    }
}

TEST_P(ThreadedFanWalkTest, GroupTablesGiveTheSameOnEveryThreadCount) {
    std::mt19937 random(77);
    const DWORD faceCount = 50000, vertexCount = 20000;
    const SeamedMesh made = RandomSeamed(&random, faceCount, vertexCount);
    MeshPtr mesh = Make(made.indices, vertexCount);
    ASSERT_TRUE(mesh);
    // Later faces first, one range twice, the first thousand faces in no group.
    const facet::GroupEntry groups[] = {{0, 30000, 20000, 0, 0}, {1, 1000, 29000, 0, 0}, {2, 25000, 10000, 0, 0}};
    ASSERT_EQ(mesh->SetGroupTable(groups, 3), D3D_OK);
    Entries serial(vertexCount, 0x5A5A5A5A);
    ASSERT_EQ(mesh->PointRepsFromAdjacency(made.adjacency.data(), serial.data()), D3D_OK);
    ExpectOnEveryPool(mesh.get(), made.adjacency, D3D_OK, serial, "groups");
}

TEST_P(ThreadedFanWalkTest, TooLongAWalkFailsAsOneFanAtATime) {
    if (Empty() == 0xFFFF) GTEST_SKIP() << "the long fan needs more than 65535 indices";
    std::mt19937 random(5);
    const DWORD faceCount = 40000, vertexCount = 16000;
    SeamedMesh made = RandomSeamed(&random, faceCount, vertexCount);
    // A fan of 10001 faces round one new vertex, among the others half-way.
    const DWORD hub = vertexCount, fanStart = faceCount / 2;
    for (DWORD i = 0; i < 10001; ++i) {
        const DWORD face = fanStart + i;
        made.indices[3 * face] = hub;
        made.indices[3 * face + 1] = hub + 1 + i;
        made.indices[3 * face + 2] = hub + 2 + i;
        made.adjacency[3 * face] = i == 0 ? kNone : face - 1;
        made.adjacency[3 * face + 1] = kNone;
        made.adjacency[3 * face + 2] = i == 10000 ? kNone : face + 1;
    }
    // Neighbours elsewhere that named the fan's faces name nothing now.
    for (DWORD face = 0; face < faceCount; ++face)
        if (face < fanStart || face > fanStart + 10000)
            for (DWORD k = 0; k < 3; ++k)
                if (made.adjacency[3 * face + k] >= fanStart && made.adjacency[3 * face + k] <= fanStart + 10000)
                    made.adjacency[3 * face + k] = kNone;
    const DWORD allVertices = hub + 10003;
    PlainWalk plain(made.indices, made.adjacency, allVertices, Empty());
    const HRESULT expected = plain.Run();
    ASSERT_TRUE(FAILED(expected));
    MeshPtr mesh = Make(made.indices, allVertices);
    ASSERT_TRUE(mesh);
    ExpectOnEveryPool(mesh.get(), made.adjacency, expected, plain.reps(), "long fan");
}

INSTANTIATE_TEST_SUITE_P(IndexWidths, ThreadedFanWalkTest,
                         ::testing::Values(DWORD{0}, DWORD{facet::MeshOptions::Indices32Bit}));

INSTANTIATE_TEST_SUITE_P(IndexWidths, FanWalkTest,
                         ::testing::Values(DWORD{0}, DWORD{facet::MeshOptions::Indices32Bit}));

}  // namespace
