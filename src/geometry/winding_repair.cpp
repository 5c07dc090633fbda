// Winding repair: the edges are sorted by their two vertices to find the pairs of faces
// across each edge, a breadth-first walk over those pairs gives each face its component
// and whether it must turn relative to the walk's first face, and the signed volume (the
// sum of p0 · (p1 × p2) over the faces, six times the volume) decides each closed
// component's way out.
#include "geometry/winding_repair.h"

#include <algorithm>

namespace facet {

namespace {

constexpr std::uint32_t kNoFace = 0xFFFFFFFF;

struct EdgeRecord {
    std::uint64_t key;  // lower vertex << 32 | higher vertex
    std::uint32_t face;
    bool forward;  // the face runs from the lower vertex to the higher one
};

struct Link {
    std::uint32_t face = kNoFace;
    bool sameWay = false;  // both faces run along the edge the same way
};

double SignedVolumeTerm(const std::vector<float>& positions, const std::uint32_t* c) {
    const float* p0 = &positions[3 * std::size_t{c[0]}];
    const float* p1 = &positions[3 * std::size_t{c[1]}];
    const float* p2 = &positions[3 * std::size_t{c[2]}];
    const double cx = double{p1[1]} * p2[2] - double{p1[2]} * p2[1];
    const double cy = double{p1[2]} * p2[0] - double{p1[0]} * p2[2];
    const double cz = double{p1[0]} * p2[1] - double{p1[1]} * p2[0];
    return p0[0] * cx + p0[1] * cy + p0[2] * cz;
}

}  // namespace

WindingRepairCounts RepairWinding(std::vector<std::uint32_t>& corners, const std::vector<float>& positions,
                                  std::uint32_t skipCorner) {
    const std::size_t faces = corners.size() / 3;
    std::vector<EdgeRecord> edges;
    edges.reserve(corners.size());
    for (std::size_t f = 0; f < faces; ++f) {
        if (corners[3 * f] == skipCorner) continue;
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t a = corners[3 * f + k], b = corners[3 * f + (k + 1) % 3];
            edges.push_back({std::uint64_t{std::min(a, b)} << 32 | std::max(a, b), static_cast<std::uint32_t>(f),
                             a < b});
        }
    }
    std::sort(edges.begin(), edges.end(), [](const EdgeRecord& x, const EdgeRecord& y) {
        return x.key != y.key ? x.key < y.key : x.face < y.face;
    });
    std::vector<Link> links(3 * faces);
    std::vector<std::uint8_t> linkCount(faces, 0);
    std::vector<bool> onOpenEdge(faces, false);
    for (std::size_t i = 0; i < edges.size();) {
        std::size_t end = i + 1;
        while (end < edges.size() && edges[end].key == edges[i].key) ++end;
        if (end - i == 2 && edges[i].face != edges[i + 1].face) {
            const bool sameWay = edges[i].forward == edges[i + 1].forward;
            const std::uint32_t f = edges[i].face, g = edges[i + 1].face;
            links[3 * std::size_t{f} + linkCount[f]++] = {g, sameWay};
            links[3 * std::size_t{g} + linkCount[g]++] = {f, sameWay};
        } else {
            for (std::size_t j = i; j < end; ++j) onOpenEdge[edges[j].face] = true;
        }
        i = end;
    }

    WindingRepairCounts counts;
    std::vector<std::uint32_t> component(faces, kNoFace), members;
    std::vector<bool> turn(faces, false);
    for (std::size_t start = 0; start < faces; ++start) {
        if (corners[3 * start] == skipCorner || component[start] != kNoFace) continue;
        const std::uint32_t id = counts.components++;
        members.assign(1, static_cast<std::uint32_t>(start));
        component[start] = id;
        bool closed = true;
        std::size_t turned = 0;
        for (std::size_t next = 0; next < members.size(); ++next) {
            const std::uint32_t f = members[next];
            closed = closed && !onOpenEdge[f];
            turned += turn[f];
            for (std::uint8_t k = 0; k < linkCount[f]; ++k) {
                const Link& link = links[3 * std::size_t{f} + k];
                if (component[link.face] != kNoFace) continue;
                component[link.face] = id;
                turn[link.face] = turn[f] != link.sameWay;
                members.push_back(link.face);
            }
        }
        // Reverse whichever side of the component is smaller.
        const bool turnOthers = 2 * turned > members.size();
        counts.flippedFaces += static_cast<std::uint32_t>(turnOthers ? members.size() - turned : turned);
        double volume = 0.0;
        for (const std::uint32_t f : members) {
            turn[f] = turn[f] != turnOthers;
            const std::uint32_t* c = &corners[3 * std::size_t{f}];
            volume += turn[f] ? -SignedVolumeTerm(positions, c) : SignedVolumeTerm(positions, c);
        }
        const bool inside = closed && volume < 0.0;
        counts.closedComponents += closed;
        counts.invertedComponents += inside;
        for (const std::uint32_t f : members)
            if (turn[f] != inside) std::swap(corners[3 * std::size_t{f} + 1], corners[3 * std::size_t{f} + 2]);
    }
    return counts;
}

}  // namespace facet
