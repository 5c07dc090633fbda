// PointRepsFromPositions: a position hash over the vertices in index order. With epsilon
// 0 the hash key is the position's bit pattern (with -0 read as 0) and a slot holds the
// first vertex seen at that position. With a positive epsilon the key is the cell of a
// grid the position falls in; a vertex looks in its own cell and the 26 around it, so
// every representative within epsilon per component is found, and picks the lowest index
// among them. Only representatives enter the hash, so a vertex is never welded through a
// chain of near neighbours to something further away than epsilon.
//
// The cells are a little wider than epsilon, so that rounding in the cell number can
// never hide a neighbour two cells away, and never narrower than 2^-32 of the mesh's
// largest coordinate: an epsilon far below the spacing of the floats (1e-30 on a mesh of
// size 1) or coordinates far above it (1e30) would otherwise need cell numbers beyond any
// integer and put every vertex in one cell. With cells at least epsilon wide, two
// representatives in one cell are at most a few apart in every direction or lie closer
// than the floats near the origin can tell, so each cell holds few of them.
#include "facet/weld.h"

#include "geometry/vertex_layout_view.h"
#include "geometry/work_array.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

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

void WeldEqual(const PositionReader& positions, DWORD vertexCount, SlotTable& table, DWORD* pointReps) {
    for (DWORD vertex = 0; vertex < vertexCount; ++vertex) {
        const Position p = positions.Read(vertex);
        pointReps[vertex] = vertex;
        if (HasNaN(p)) continue;
        const std::uint64_t key = (std::uint64_t{Bits(p.x)} * 0x9E3779B1u) ^ (std::uint64_t{Bits(p.y)} << 21) ^
                                  (std::uint64_t{Bits(p.z)} << 42) ^ Bits(p.z);
        for (std::size_t slot = table.First(MixBits(key));; slot = table.Next(slot)) {
            const DWORD held = table[slot];
            if (held == kEmptySlot) {
                table[slot] = vertex;
                break;
            }
            const Position q = positions.Read(held);
            if (q.x == p.x && q.y == p.y && q.z == p.z) {
                pointReps[vertex] = held;
                break;
            }
        }
    }
}

struct Cell {
    std::int64_t x, y, z;
    bool operator==(const Cell&) const = default;
};

bool IsFinite(const Position& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

// The side of the grid's cells for `epsilon` on positions whose largest finite coordinate
// magnitude is `largest`: cell numbers then stay within about ±2^32.
double CellSide(double epsilon, double largest) {
    return std::max(epsilon, std::ldexp(largest, -32)) * (1.0 + 1.0 / 1024.0);
}

std::int64_t CellOf(float value, double side) {
    // An infinite side (an infinite epsilon) puts every finite position in cell 0.
    return static_cast<std::int64_t>(std::floor(static_cast<double>(value) / side));
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
        DWORD best = vertex;
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy)
                for (int dz = -1; dz <= 1; ++dz) {
                    const Cell cell{home.x + dx, home.y + dy, home.z + dz};
                    for (std::size_t slot = table.First(HashCell(cell)); table[slot] != kEmptySlot;
                         slot = table.Next(slot)) {
                        const DWORD held = table[slot];
                        if (held >= best) continue;
                        const Position q = positions.Read(held);
                        if (CellOf(q, side) == cell && Within(p, q, epsilon)) best = held;
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
    if (mesh == nullptr || pointReps == nullptr || !(epsilon >= 0.0f)) return D3DERR_INVALIDCALL;
    if ((mesh->Options() & MeshOptions::VertexWriteOnly) != 0) return D3DERR_INVALIDCALL;
    D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
    HRESULT result = mesh->CopyDeclaration(declaration);
    if (FAILED(result)) return result;
    const VertexLayoutView layout(declaration);
    if (layout.position == nullptr) return D3DERR_INVALIDCALL;

    const DWORD vertexCount = mesh->VertexCount();
    SlotTable table;
    if (!table.Allocate(vertexCount)) return E_OUTOFMEMORY;
    void* vertices = nullptr;
    result = mesh->LockVertices(D3DLOCK_READONLY, &vertices);
    if (FAILED(result)) return result;
    const PositionReader positions(static_cast<const BYTE*>(vertices), layout.stride, layout.position->Offset);
    if (epsilon == 0.0f)
        WeldEqual(positions, vertexCount, table, pointReps);
    else
        WeldNear(positions, vertexCount, epsilon, table, pointReps);
    mesh->UnlockVertices();
    return D3D_OK;
}

}  // namespace facet
