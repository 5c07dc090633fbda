// Face order for a post-transform vertex cache: faces are emitted one by one, each time the
// face whose corners score best, a corner scoring high when it sits near the front of a
// simulated least-recently-used cache and when few faces still wait for it. Linear time in
// the face count (each step looks only at the faces of the vertices in the cache).
#pragma once

#include <cstddef>
#include <cstdint>

namespace facet {

// Writes to `faceOrder` (faceCount entries) every face of `corners` (three vertex indices
// per face, each below vertexCount) exactly once, in the order to draw them. Faces with
// repeated corners are accepted. False, with `faceOrder` unset, when the working storage
// (about 13 bytes per face and 12 per vertex) cannot be allocated.
bool OrderFacesForVertexCache(const std::uint32_t* corners, std::size_t faceCount, std::size_t vertexCount,
                              std::uint32_t* faceOrder);

}  // namespace facet
