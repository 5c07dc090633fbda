// The edge grouping gathered in ranges of lower keys: whatever cap on the records kept at
// once, and whatever number of parts and threads, it visits the same groups in the same
// order, each group's records in the order they were given, as a stable sort by
// undirected edge would.
#include "facet/thread_pool.h"
#include "geometry/directed_edge_groups.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <tuple>
#include <vector>

namespace {

using facet::DirectedEdgeGroups;
using facet::EdgeRecord;

// Edges between keys below 2^16 (sixteen buckets), many of them repeated so that groups
// hold two, three or more records, a few keys shared by very many edges.
std::vector<EdgeRecord> RandomEdges(std::size_t count) {
    std::mt19937 random(11);
    std::uniform_int_distribution<DWORD> key(0, 0xFFFF), pick(0, 9);
    std::vector<EdgeRecord> edges;
    for (DWORD i = 0; edges.size() < count; ++i) {
        DWORD from = key(random), to = key(random);
        if (pick(random) == 0) from = 1234;  // a key of very many edges
        if (from == to) continue;
        edges.push_back(EdgeRecord::Directed(from, to, i));
        if (pick(random) < 4) edges.push_back(EdgeRecord::Directed(to, from, ++i));
        if (pick(random) == 0) edges.push_back(EdgeRecord::Directed(from, to, ++i));
    }
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

// Groups `edges` in `parts` consecutive parts on `threads` threads, keeping at most
// `mostRecords` records at once; the groups in the order visited.
Visit Grouped(const std::vector<EdgeRecord>& edges, std::size_t parts, unsigned threads, std::size_t mostRecords,
              std::size_t* ranges) {
    facet::ThreadPool pool(threads);
    DirectedEdgeGroups groups;
    Visit visit;
    const auto forEachPart = [&](std::size_t part, auto&& emit) {
        for (std::size_t i = facet::PartStart(edges.size(), parts, part); i < facet::PartStart(edges.size(), parts, part + 1);
             ++i)
            emit(edges[i]);
    };
    EXPECT_TRUE(groups.StartCounting(16, &pool, parts));
    pool.Run(parts, [&](std::size_t part) {
        forEachPart(part, [&](const EdgeRecord& record) { groups.Count(part, record); });
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
    const std::vector<EdgeRecord> edges = RandomEdges(200000);
    const Visit expected = Expected(edges);
    for (const std::size_t mostRecords : {std::size_t{1}, std::size_t{30000}, edges.size() / 2, edges.size()})
        for (const unsigned threads : {1u, 2u, 7u}) {
            std::size_t ranges = 0;
            EXPECT_EQ(Grouped(edges, threads, threads, mostRecords, &ranges), expected)
                << mostRecords << " records at once, " << threads << " threads";
            // Sixteen buckets: a cap below one bucket gathers each alone, a cap of all of
            // them gathers them at once.
            if (mostRecords == 1) {
                EXPECT_EQ(ranges, 16u);
            } else if (mostRecords == edges.size()) {
                EXPECT_EQ(ranges, 1u);
            } else {
                EXPECT_GE(ranges, 2u);
            }
        }
}

TEST(DirectedEdgeGroupsTest, NoEdgesVisitsOneEmptyRange) {
    std::size_t ranges = 0;
    EXPECT_TRUE(Grouped({}, 2, 2, 100, &ranges).empty());
    EXPECT_EQ(ranges, 1u);
}

}  // namespace
