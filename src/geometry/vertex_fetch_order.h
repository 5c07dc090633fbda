// Vertex order for fetching: vertices numbered in the order the faces first use them, so
// that drawing reads the vertex buffer front to back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace facet {

constexpr std::uint32_t kUnusedVertex = 0xFFFFFFFF;

// Fills `newIndexOf` (vertexCount entries) with each vertex's number in the order of first
// use by `corners` (each below vertexCount); vertices no corner names get kUnusedVertex.
// Returns the number of vertices used. Linear time.
std::uint32_t NumberVerticesByFirstUse(const std::uint32_t* corners, std::size_t cornerCount,
                                       std::size_t vertexCount, std::vector<std::uint32_t>* newIndexOf);

}  // namespace facet
