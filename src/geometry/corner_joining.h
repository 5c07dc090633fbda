// CornerJoiner: turns the separate triangle corners of a format that lists each
// triangle's positions (STL) into shared vertices. Corners whose three coordinates are
// equal become one vertex (-0 and +0 are equal; the vertex keeps its first corner's
// bits); vertices are numbered in the order their first corners come. A hash table of
// vertices, grown as vertices are added, finds the earlier corner; each slot keeps its
// vertex's position beside the number, so that a look-up, a cache miss on a large mesh,
// reads one place in memory rather than the slot and then the vertex's position.
#pragma once

#include "geometry/mesh_file_contents.h"
#include "geometry/work_array.h"

#include <cstddef>
#include <cstdint>

namespace facet {

class CornerJoiner {
public:
    // Adds vertices and corners to `contents`, which must outlive the joiner;
    // `expectedVertices` sizes the table at the start (0 when unknown).
    CornerJoiner(MeshFileContents* contents, std::size_t expectedVertices);

    // Appends the `count` corners at `positions` (three finite coordinates each) to the
    // contents' corners, in order, hashing them a run at a time for AddAllHashed.
    void AddAll(const float* positions, std::size_t count);
    // The hashes of `count` positions (three coordinates each) for AddAllHashed; any
    // thread may form them.
    static void HashAll(const float* positions, std::size_t count, std::uint64_t* hashes);
    // Appends the `count` corners at `positions`, whose `hashes` HashAll formed, in order,
    // as Add does one by one; the table slots of the next few are fetched ahead, since on
    // a large mesh nearly every corner's slot is a cache miss.
    void AddAllHashed(const float* positions, const std::uint64_t* hashes, std::size_t count);

private:
    // A vertex and its position, so that a look-up reads one place in memory.
    struct Slot {
        DWORD vertex;  // kEmptySlot where none
        float position[3];
    };

    static std::uint64_t HashOf(const float* position);
    void AddHashed(const float* position, std::uint64_t hash);
    void Allocate(std::size_t slots);
    void Grow();
    void Insert(std::uint64_t hash, DWORD vertex, const float* position);

    MeshFileContents* contents_;
    // In huge pages when large: nearly every corner's slot is a cache miss, and in 4 KiB
    // pages an address translation miss too.
    WorkArray<Slot> slots_;
    std::size_t mask_ = 0;
};

}  // namespace facet
