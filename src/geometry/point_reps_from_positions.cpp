// PointRepsFromPositions: a position hash over the vertices in index order. With epsilon
// 0 the hash key is the position's bit pattern (with -0 read as 0) and a slot holds the
// first vertex seen at that position. With a positive epsilon the key is the cell of a
// grid the position falls in; a vertex looks in the cells (its own and at most one on
// either side per axis) that points within epsilon per component can lie in, and picks
// the lowest index among the representatives it finds there. Only representatives enter
// the hash, so a vertex is never welded through a chain of near neighbours to something
// further away than epsilon.
//
// The cells are about twice epsilon wide, so a vertex usually looks in one to eight
// cells, and never narrower than 2^-32 of the mesh's largest coordinate: an epsilon far
// below the spacing of the floats (1e-30 on a mesh of size 1) or coordinates far above it
// (1e30) would otherwise need cell numbers beyond any integer and put every vertex in one
// cell. Representatives in one cell are more than epsilon apart on some axis, so a cell
// holds a handful of them unless the mesh's points crowd closer than the floats near its
// largest coordinate can tell.
//
// With a thread pool and epsilon 0, each vertex's hash is formed on every thread for a
// range of vertices, and the hash values are then split into as many classes as threads:
// each thread welds, in index order, only the vertices of its class, in a table of its
// own. Equal positions hash alike, so each vertex meets exactly the earlier vertices it
// would meet in one table, and the result is the same for any number of threads.
#include "facet/weld.h"

#include "facet/thread_pool.h"

#include "geometry/vertex_layout_view.h"
#include "geometry/work_array.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace facet {

namespace {

constexpr DWORD kEmptySlot = 0xFFFFFFFF;

struct Position {
    float x, y, z;
};

class PositionReader {
public:
    PositionReader(const BYTE* vertices, DWORD stride, DWORD offset) : base_(vertices + offset), stride_(stride) {}
    Position Read(DWORD vertex) const {
        Position p;
        std::memcpy(&p, base_ + std::size_t{vertex} * stride_, sizeof p);
        return p;
    }
    void Prefetch(DWORD vertex) const { __builtin_prefetch(base_ + std::size_t{vertex} * stride_); }

private:
    const BYTE* base_;
    DWORD stride_;
};

std::uint32_t MixBits(std::uint64_t h) {
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    return static_cast<std::uint32_t>(h);
}

// A table of vertex indices with linear probing; the caller decides what matches.
class SlotTable {
public:
    bool Allocate(DWORD vertexCount) {
        std::size_t size = 16;
        while (size < std::size_t{vertexCount} * 2) size *= 2;
        if (!slots_.Allocate(size)) return false;
        std::fill(slots_.get(), slots_.get() + size, kEmptySlot);
        mask_ = size - 1;
        return true;
    }
    std::size_t First(std::uint32_t hash) const { return hash & mask_; }
    std::size_t Next(std::size_t slot) const { return (slot + 1) & mask_; }
    DWORD& operator[](std::size_t slot) { return slots_[slot]; }
    DWORD operator[](std::size_t slot) const { return slots_[slot]; }
    void Prefetch(std::uint32_t hash) const { __builtin_prefetch(&slots_[First(hash)]); }

private:
    WorkArray<DWORD> slots_;
    std::size_t mask_ = 0;
};

bool HasNaN(const Position& p) { return std::isnan(p.x) || std::isnan(p.y) || std::isnan(p.z); }

std::uint32_t Bits(float value) {
    value += 0.0f;  // -0 becomes +0, so both hash alike
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

std::uint32_t HashPosition(const Position& p) {
    const std::uint64_t key = (std::uint64_t{Bits(p.x)} * 0x9E3779B1u) ^ (std::uint64_t{Bits(p.y)} << 21) ^
                              (std::uint64_t{Bits(p.z)} << 42) ^ Bits(p.z);
    return MixBits(key);
}

// Puts `vertex` (at `p`, hashed to `hash`) into `table`, or names the earlier vertex at
// its position.
void WeldOne(const PositionReader& positions, DWORD vertex, const Position& p, std::uint32_t hash, SlotTable& table,
             DWORD* pointReps) {
    for (std::size_t slot = table.First(hash);; slot = table.Next(slot)) {
        const DWORD held = table[slot];
        if (held == kEmptySlot) {
            table[slot] = vertex;
            return;
        }
        const Position q = positions.Read(held);
        if (q.x == p.x && q.y == p.y && q.z == p.z) {
            pointReps[vertex] = held;
            return;
        }
    }
}

constexpr std::uint32_t kNoHash = 0xFFFFFFFF;  // a position with a NaN, which never welds

// A vertex's hash, or kNoHash for a position with a NaN. (A position hashing to kNoHash
// itself takes the value below: only where its probing starts can change, and an equal
// position is found wherever that is.)
std::uint32_t HashOrNone(const Position& p) { return HasNaN(p) ? kNoHash : std::min(HashPosition(p), kNoHash - 1); }

// On a large mesh each vertex's slot, and the position the slot holds, is a cache miss:
// the slot of a vertex this far ahead is fetched, and the held position of one half as
// far ahead, whose slot has arrived by then, so that the misses overlap. (The slot may
// still change before that vertex's turn: what is fetched is only a guess.)
constexpr DWORD kWeldAhead = 16;

void PrefetchHeldPosition(const PositionReader& positions, const SlotTable& table, std::uint32_t hash) {
    if (const DWORD held = table[table.First(hash)]; held != kEmptySlot) positions.Prefetch(held);
}

void WeldEqual(const PositionReader& positions, DWORD vertexCount, SlotTable& table, DWORD* pointReps) {
    static_assert((kWeldAhead & (kWeldAhead - 1)) == 0, "the ring of hashes ahead is indexed by a mask");
    std::uint32_t ahead[kWeldAhead];  // the hashes of the vertices [vertex, vertex + kWeldAhead)
    const auto hashAhead = [&](DWORD vertex) {
        const std::uint32_t hash = HashOrNone(positions.Read(vertex));
        ahead[vertex % kWeldAhead] = hash;
        if (hash != kNoHash) table.Prefetch(hash);
    };
    for (DWORD vertex = 0; vertex < std::min(kWeldAhead, vertexCount); ++vertex) hashAhead(vertex);
    for (DWORD vertex = 0; vertex < vertexCount; ++vertex) {
        const std::uint32_t hash = ahead[vertex % kWeldAhead];
        if (vertex + kWeldAhead / 2 < vertexCount)
            if (const std::uint32_t nearer = ahead[(vertex + kWeldAhead / 2) % kWeldAhead]; nearer != kNoHash)
                PrefetchHeldPosition(positions, table, nearer);
        if (vertex + kWeldAhead < vertexCount) hashAhead(vertex + kWeldAhead);
        pointReps[vertex] = vertex;
        if (hash != kNoHash) WeldOne(positions, vertex, positions.Read(vertex), hash, table, pointReps);
    }
}

// The hash class a thread welds; the hash's top bits, which the tables' slots do not use
// much.
std::size_t ClassOf(std::uint32_t hash, std::size_t classes) { return (std::uint64_t{hash} * classes) >> 32; }

// Below about this many vertices a part, equal positions are welded on one thread.
constexpr std::size_t kVerticesPerWeldPart = std::size_t{1} << 17;

HRESULT WeldEqualInParallel(const PositionReader& positions, DWORD vertexCount, ThreadPool* pool,
                            std::size_t parts, DWORD* pointReps) {
    // Each class's vertices, in index order, listed together with their hashes: counted
    // first, then dealt out by every part at its own place in each class's list.
    struct Member {
        DWORD vertex;
        std::uint32_t hash;
    };
    std::vector<std::vector<std::size_t>> places(parts, std::vector<std::size_t>(parts, 0));  // [part][class]
    const auto forEachHashed = [&](std::size_t part, auto&& use) {
        const auto [first, last] = ItemsOfPart(vertexCount, parts, part);
        for (auto vertex = static_cast<DWORD>(first); vertex < last; ++vertex)
            if (const std::uint32_t hash = HashOrNone(positions.Read(vertex)); hash != kNoHash) use(vertex, hash);
    };
    RunParts(pool, parts, [&](std::size_t part) {
        const auto [first, last] = ItemsOfPart(vertexCount, parts, part);
        for (auto vertex = static_cast<DWORD>(first); vertex < last; ++vertex) pointReps[vertex] = vertex;
        forEachHashed(part, [&](DWORD, std::uint32_t hash) { ++places[part][ClassOf(hash, parts)]; });
    });
    std::vector<std::size_t> classStarts(parts + 1, 0);
    for (std::size_t weldClass = 0; weldClass < parts; ++weldClass) {
        std::size_t place = classStarts[weldClass];
        for (std::size_t part = 0; part < parts; ++part) place += std::exchange(places[part][weldClass], place);
        classStarts[weldClass + 1] = place;
    }
    WorkArray<Member> members;
    if (!members.Allocate(classStarts[parts])) return E_OUTOFMEMORY;
    RunParts(pool, parts, [&](std::size_t part) {
        std::vector<std::size_t>& place = places[part];
        forEachHashed(part, [&](DWORD vertex, std::uint32_t hash) { members[place[ClassOf(hash, parts)]++] = {vertex, hash}; });
    });
    std::vector<char> failed(parts, 0);
    RunParts(pool, parts, [&](std::size_t weldClass) {
        const std::size_t first = classStarts[weldClass], last = classStarts[weldClass + 1];
        SlotTable table;
        if (!table.Allocate(static_cast<DWORD>(last - first))) {
            failed[weldClass] = 1;
            return;
        }
        for (std::size_t i = first; i < last; ++i) {
            if (i + kWeldAhead < last) table.Prefetch(members[i + kWeldAhead].hash);
            if (i + kWeldAhead / 2 < last) PrefetchHeldPosition(positions, table, members[i + kWeldAhead / 2].hash);
            const Member member = members[i];
            WeldOne(positions, member.vertex, positions.Read(member.vertex), member.hash, table, pointReps);
        }
    });
    return std::find(failed.begin(), failed.end(), 1) != failed.end() ? E_OUTOFMEMORY : D3D_OK;
}

struct Cell {
    std::int64_t x, y, z;
};

bool IsFinite(const Position& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

// The side of the grid's cells for `epsilon` on positions whose largest finite coordinate
// magnitude is `largest`: cell numbers then stay within about ±2^32.
double CellSide(double epsilon, double largest) {
    constexpr double kCellsPerEpsilon = 2.0;
    return std::max(kCellsPerEpsilon * epsilon, std::ldexp(largest, -32));
}

std::int64_t CellOf(float value, double side) {
    // An infinite side (an infinite epsilon) puts every finite position in cell 0.
    return static_cast<std::int64_t>(std::floor(static_cast<double>(value) / side));
}

struct CellRange {
    std::int64_t first, last;
};

// The cells along one axis that can hold a position within epsilon of `value`: no more
// than the home cell and its two neighbours, and usually the home cell alone. The range
// is widened by 2^-16 of a cell, far more than the rounding of the cell numbers (cell
// numbers stay below 2^33, so that rounding is below 2^-19 of a cell).
CellRange CellsWithin(float value, double epsilon, double side, std::int64_t home) {
    if (std::isinf(side)) return {home, home};
    constexpr double kSlack = 0x1p-16;
    const double low = std::floor((static_cast<double>(value) - epsilon) / side - kSlack);
    const double high = std::floor((static_cast<double>(value) + epsilon) / side + kSlack);
    return {std::max(home - 1, static_cast<std::int64_t>(low)), std::min(home + 1, static_cast<std::int64_t>(high))};
}

Cell CellOf(const Position& p, double side) { return {CellOf(p.x, side), CellOf(p.y, side), CellOf(p.z, side)}; }

std::uint32_t HashCell(const Cell& c) {
    return MixBits(static_cast<std::uint64_t>(c.x) * 0x9E3779B97F4A7C15ull ^
                   static_cast<std::uint64_t>(c.y) * 0xC2B2AE3D27D4EB4Full ^
                   static_cast<std::uint64_t>(c.z) * 0x165667B19E3779F9ull);
}

bool Within(const Position& a, const Position& b, double epsilon) {
    return std::fabs(static_cast<double>(a.x) - b.x) <= epsilon && std::fabs(static_cast<double>(a.y) - b.y) <= epsilon &&
           std::fabs(static_cast<double>(a.z) - b.z) <= epsilon;
}

double LargestFiniteCoordinate(const PositionReader& positions, DWORD vertexCount) {
    double largest = 0.0;
    for (DWORD vertex = 0; vertex < vertexCount; ++vertex) {
        const Position p = positions.Read(vertex);
        if (IsFinite(p)) largest = std::max({largest, std::fabs(double{p.x}), std::fabs(double{p.y}), std::fabs(double{p.z})});
    }
    return largest;
}

// Positions with a NaN or infinite component are never within a finite distance of
// anything, so they stand alone.
void WeldNear(const PositionReader& positions, DWORD vertexCount, double epsilon, SlotTable& table,
              DWORD* pointReps) {
    const double side = CellSide(epsilon, LargestFiniteCoordinate(positions, vertexCount));
    for (DWORD vertex = 0; vertex < vertexCount; ++vertex) {
        const Position p = positions.Read(vertex);
        pointReps[vertex] = vertex;
        if (!IsFinite(p)) continue;
        const Cell home = CellOf(p, side);
        const CellRange x = CellsWithin(p.x, epsilon, side, home.x), y = CellsWithin(p.y, epsilon, side, home.y),
                        z = CellsWithin(p.z, epsilon, side, home.z);
        DWORD best = vertex;
        for (std::int64_t cx = x.first; cx <= x.last; ++cx)
            for (std::int64_t cy = y.first; cy <= y.last; ++cy)
                for (std::int64_t cz = z.first; cz <= z.last; ++cz) {
                    const Cell cell{cx, cy, cz};
                    for (std::size_t slot = table.First(HashCell(cell)); table[slot] != kEmptySlot;
                         slot = table.Next(slot)) {
                        const DWORD held = table[slot];
                        if (held >= best) continue;
                        // A slot may hold another cell's vertex; any within epsilon serves.
                        if (Within(p, positions.Read(held), epsilon)) best = held;
                    }
                }
        pointReps[vertex] = best;
        if (best != vertex) continue;
        std::size_t slot = table.First(HashCell(home));
        while (table[slot] != kEmptySlot) slot = table.Next(slot);
        table[slot] = vertex;
    }
}

}  // namespace

HRESULT PointRepsFromPositions(Mesh* mesh, float epsilon, DWORD* pointReps) {
    return PointRepsFromPositions(mesh, epsilon, pointReps, nullptr);
}

HRESULT PointRepsFromPositions(Mesh* mesh, float epsilon, DWORD* pointReps, ThreadPool* pool) {
    if (mesh == nullptr || pointReps == nullptr || !(epsilon >= 0.0f)) return D3DERR_INVALIDCALL;
    if ((mesh->Options() & MeshOptions::VertexWriteOnly) != 0) return D3DERR_INVALIDCALL;
    D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
    HRESULT result = mesh->CopyDeclaration(declaration);
    if (FAILED(result)) return result;
    const VertexLayoutView layout(declaration);
    if (layout.position == nullptr) return D3DERR_INVALIDCALL;

    const DWORD vertexCount = mesh->VertexCount();
    // Welding on several threads reads every hash once more per thread, which pays only
    // from a few hundred thousand vertices.
    const std::size_t parts = epsilon == 0.0f ? PartsFor(pool, vertexCount, kVerticesPerWeldPart) : 1;
    SlotTable table;
    if (parts == 1 && !table.Allocate(vertexCount)) return E_OUTOFMEMORY;
    void* vertices = nullptr;
    result = mesh->LockVertices(D3DLOCK_READONLY, &vertices);
    if (FAILED(result)) return result;
    const PositionReader positions(static_cast<const BYTE*>(vertices), layout.stride, layout.position->Offset);
    if (parts > 1)
        result = WeldEqualInParallel(positions, vertexCount, pool, parts, pointReps);
    else if (epsilon == 0.0f)
        WeldEqual(positions, vertexCount, table, pointReps);
    else
        WeldNear(positions, vertexCount, epsilon, table, pointReps);
    mesh->UnlockVertices();
    return result;
}

}  // namespace facet
