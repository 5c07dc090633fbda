// Chunked text reading: see text_chunks.h.
#include "geometry/text_chunks.h"

#include "facet/thread_pool.h"

#include <algorithm>
#include <cstring>

namespace facet {

std::size_t TextChunkCount(const ThreadPool* pool, std::size_t size) {
    if (pool == nullptr || pool->Size() < 2 || size < kParallelTextBytes) return 1;
    return PartsFor(pool, size, kParallelTextBytes / 4);
}

std::vector<std::size_t> ChunksAtLineEnds(const char* bytes, std::size_t begin, std::size_t end,
                                          std::size_t parts) {
    std::vector<std::size_t> bounds(parts + 1, end);
    bounds[0] = begin;
    for (std::size_t part = 1; part < parts; ++part) {
        const std::size_t target = std::max(bounds[part - 1], begin + PartStart(end - begin, parts, part));
        const void* lineEnd = target < end ? std::memchr(bytes + target, '\n', end - target) : nullptr;
        bounds[part] = lineEnd == nullptr ? end : static_cast<std::size_t>(static_cast<const char*>(lineEnd) - bytes) + 1;
    }
    return bounds;
}

namespace {

template <typename T>
void AppendAndRelease(std::vector<T>* from, std::vector<T>* to) {
    to->insert(to->end(), from->begin(), from->end());
    std::vector<T>().swap(*from);
}

}  // namespace

bool JoinChunkContents(std::vector<MeshFileContents>& chunks, MeshFileContents* contents) {
    std::uint64_t triangles = contents->corners.size() / 3;
    for (const MeshFileContents& chunk : chunks) triangles += chunk.corners.size() / 3;
    if (triangles > kMaxFileTriangles) return false;
    for (MeshFileContents& chunk : chunks) {
        const auto before = static_cast<DWORD>(contents->corners.size() / 3);
        for (SplitPolygon split : chunk.splitPolygons) {
            split.firstTriangle += before;
            contents->splitPolygons.push_back(split);
        }
        contents->summary.polygons += chunk.summary.polygons;
        contents->summary.splitPolygons += chunk.summary.splitPolygons;
        AppendAndRelease(&chunk.positions, &contents->positions);
        AppendAndRelease(&chunk.normals, &contents->normals);
        AppendAndRelease(&chunk.textureCoordinates, &contents->textureCoordinates);
        AppendAndRelease(&chunk.colors, &contents->colors);
        AppendAndRelease(&chunk.corners, &contents->corners);
    }
    return true;
}

}  // namespace facet
