// The edge grouping gathered in ranges of lower keys: whatever cap on the records kept at
// once, whatever number of parts and threads, and whether keys are few enough for a
// bucket each or not, it visits the same groups in the same order, each group's records in
// the order they were given, as a stable sort by undirected edge would.
#include "facet/thread_pool.h"
#include "geometry/directed_edge_groups.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <thread>
#include <tuple>
#include <vector>

namespace {

using facet::DirectedEdgeGroups;
using facet::EdgeRecord;
using facet::FaceKeys;

// Faces on keys below 2^16, many of them sharing edges (in either direction) so that
// groups hold two, three or more records, a few keys shared by very many faces.
std::vector<FaceKeys> RandomFaces(std::size_t count) {
    std::mt19937 random(11);
    std::uniform_int_distribution<DWORD> key(0, 0xFFFF), pick(0, 9);
    std::vector<FaceKeys> faces;
    while (faces.size() < count) {
        DWORD a = key(random), b = key(random);
        const DWORD c = key(random);
        if (pick(random) == 0) a = 1234;  // a key of very many edges
        FaceKeys face{{a, b, c}};
        if (!face.AreDistinct()) continue;
        faces.push_back(face);
        if (pick(random) < 4) faces.push_back({{b, a, key(random)}});  // the edge the other way
        if (pick(random) == 0) faces.push_back({{c, a, b}});            // the same edges again
        if (!faces.back().AreDistinct()) faces.pop_back();
    }
    return faces;
}

std::vector<EdgeRecord> EdgesOf(const std::vector<FaceKeys>& faces) {
    std::vector<EdgeRecord> edges;
    for (DWORD face = 0; face < faces.size(); ++face)
        for (DWORD corner = 0; corner < 3; ++corner) edges.push_back(faces[face].Edge(face, corner));
    return edges;
}

using Visit = std::vector<std::tuple<DWORD, DWORD, std::vector<DWORD>>>;  // low, high, records

Visit Expected(std::vector<EdgeRecord> edges) {
    std::stable_sort(edges.begin(), edges.end(), [](const EdgeRecord& a, const EdgeRecord& b) {
        return std::tie(a.low, a.high) < std::tie(b.low, b.high);
    });
    Visit visit;
    for (const EdgeRecord& edge : edges) {
        if (visit.empty() || std::get<0>(visit.back()) != edge.low || std::get<1>(visit.back()) != edge.high)
            visit.emplace_back(edge.low, edge.high, std::vector<DWORD>{});
        std::get<2>(visit.back()).push_back(edge.faceEdgeAndDirection);
    }
    return visit;
}

// Groups the edges of `faces`, keys of `keyBits` bits, in `parts` consecutive parts on
// `threads` threads, keeping at most `mostRecords` records at once; the groups in the
// order visited.
Visit Grouped(const std::vector<FaceKeys>& faces, unsigned keyBits, std::size_t parts, unsigned threads,
              std::size_t mostRecords, std::size_t* ranges) {
    facet::ThreadPool pool(threads);
    DirectedEdgeGroups groups;
    Visit visit;
    const auto forEachPart = [&](std::size_t part, auto&& emit) {
        for (std::size_t i = facet::PartStart(faces.size(), parts, part); i < facet::PartStart(faces.size(), parts, part + 1);
             ++i)
            emit(static_cast<DWORD>(i), faces[i]);
    };
    EXPECT_TRUE(groups.StartCounting(keyBits, &pool, parts));
    pool.Run(parts, [&](std::size_t part) {
        forEachPart(part, [&](DWORD, const FaceKeys& keys) { groups.CountFace(part, keys); });
    });
    const HRESULT result = groups.Gather(
        mostRecords, forEachPart,
        [&] {
            // Visited on this thread so the groups come in order; the bounds still split
            // the range into runs of whole lower keys.
            const std::vector<std::size_t> bounds = groups.PartBounds(3);
            for (std::size_t part = 0; part + 1 < bounds.size(); ++part)
                groups.ForEachGroupIn(bounds[part], bounds[part + 1], [](std::size_t) {},
                                      [&](std::size_t start, std::size_t end) {
                                          std::vector<DWORD> records;
                                          for (std::size_t r = start; r < end; ++r)
                                              records.push_back(groups[r].faceEdgeAndDirection);
                                          visit.emplace_back(groups[start].low, groups[start].high, records);
                                      });
        });
    EXPECT_EQ(result, D3D_OK);
    *ranges = groups.RangeCount();
    return visit;
}

TEST(DirectedEdgeGroupsTest, AnyCapOnTheRecordsKeptVisitsTheSameGroupsInOrder) {
    const std::vector<FaceKeys> faces = RandomFaces(70000);
    const std::vector<EdgeRecord> edges = EdgesOf(faces);
    const Visit expected = Expected(edges);
    // 16 bits: a bucket per key, sorted by both keys as they are scattered when all fit at
    // once. 20 bits: sixteen buckets of 4096 keys in use, each sorted in the cache; a cap
    // below one bucket gathers each alone (the empty buckets above them add one range).
    for (const unsigned keyBits : {16u, 20u})
        for (const std::size_t mostRecords : {std::size_t{1}, std::size_t{30000}, edges.size() / 2, edges.size()})
            for (const unsigned threads : {1u, 2u, 7u}) {
                if (keyBits == 16 && mostRecords == 1) continue;  // a pass over the faces per key
                std::size_t ranges = 0;
                EXPECT_EQ(Grouped(faces, keyBits, threads, threads, mostRecords, &ranges), expected)
                    << keyBits << "-bit keys, " << mostRecords << " records at once, " << threads << " threads";
                if (mostRecords == 1) {
                    EXPECT_EQ(ranges, 17u);
                } else if (mostRecords == edges.size()) {
                    EXPECT_EQ(ranges, 1u);
                } else {
                    EXPECT_GE(ranges, 2u);
                }
            }
}

// Large meshes keep a third of their records and a thirty-second more: with their lower
// keys spread over many buckets, the records are then gathered in three ranges (three
// passes over the faces), where a cap of exactly a third would need a fourth for the
// buckets left over.
TEST(DirectedEdgeGroupsTest, ACapOfAThirdAndALittleMoreGathersInThreeRanges) {
    std::mt19937 random(5);
    std::uniform_int_distribution<DWORD> key(0, (1u << 22) - 1);
    std::vector<FaceKeys> faces;
    while (faces.size() < 300000) {
        const FaceKeys face{{key(random), key(random), key(random)}};
        if (face.AreDistinct()) faces.push_back(face);
    }
    const Visit expected = Expected(EdgesOf(faces));
    for (const std::size_t mostRecords : {faces.size(), faces.size() + faces.size() / 32}) {
        std::size_t ranges = 0;
        EXPECT_EQ(Grouped(faces, 22, 2, 2, mostRecords, &ranges), expected);
        EXPECT_EQ(ranges, mostRecords == faces.size() ? 4u : 3u) << mostRecords << " records at once";
    }
}

TEST(DirectedEdgeGroupsTest, NoEdgesVisitsOneEmptyRange) {
    for (const unsigned keyBits : {16u, 20u}) {
        std::size_t ranges = 0;
        EXPECT_TRUE(Grouped({}, keyBits, 2, 2, 100, &ranges).empty());
        EXPECT_EQ(ranges, 1u);
    }
}

// The grouping's working storage: a small array freed on a thread is handed to the
// thread's next array that fits (so repeated calls on small meshes fault nothing in
// afresh), aligned for any value, and an array too large to keep is not kept.
TEST(DirectedEdgeGroupsTest, SmallWorkArraysAreKeptForTheThreadsNextCall) {
    struct alignas(32) Wide {
        float values[8];
    };
    const void* first = nullptr;
    {
        facet::WorkArray<Wide> array;
        ASSERT_TRUE(array.Allocate(1000));
        first = array.get();
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(first) % alignof(Wide), 0u);
    }
    facet::WorkArray<EdgeRecord> reused;
    ASSERT_TRUE(reused.Allocate(1000 * sizeof(Wide) / sizeof(EdgeRecord)));
    EXPECT_EQ(static_cast<const void*>(reused.get()), first);
    facet::WorkArray<EdgeRecord> fresh;
    ASSERT_TRUE(fresh.Allocate(10));
    EXPECT_NE(static_cast<const void*>(fresh.get()), first);  // the kept block is in use
    // On another thread the block is not there to be had.
    reused.Free();
    std::thread([&] {
        facet::WorkArray<EdgeRecord> elsewhere;
        ASSERT_TRUE(elsewhere.Allocate(10));
        EXPECT_NE(static_cast<const void*>(elsewhere.get()), first);
    }).join();
}

}  // namespace
