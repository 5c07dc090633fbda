// Chunked text reading: see text_chunks.h.
#include "geometry/text_chunks.h"

#include "facet/thread_pool.h"
#include "geometry/text_scanner.h"

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

namespace {

// Lines and lines with a word on them in bytes [begin, end).
struct LineCount {
    std::uint64_t lines = 0;
    std::uint64_t filled = 0;
};

LineCount CountLines(const char* name, const char* bytes, std::size_t begin, std::size_t end, char commentMark) {
    TextScanner scanner(name, bytes, end, begin);
    LineCount count;
    std::string_view word;
    while (scanner.NextLine(commentMark)) count.filled += scanner.NextWord(&word) ? 1 : 0;
    count.lines = scanner.LineNumber();
    return count;
}

}  // namespace

ChunkedRead ReadTextChunks(const char* name, const char* bytes, std::size_t begin, std::size_t size,
                           std::uint64_t linesBefore, char commentMark, std::uint64_t records, ThreadPool* pool,
                           std::size_t parts, const ChunkReader& readChunk,
                           const std::function<std::string(std::uint64_t recordsFound)>& endOfFile,
                           MeshFileContents* contents, std::string* error) {
    const std::vector<std::size_t> bounds = ChunksAtLineEnds(bytes, begin, size, parts);
    std::vector<LineCount> counts(parts);
    RunParts(pool, parts, [&](std::size_t part) {
        counts[part] = CountLines(name, bytes, bounds[part], bounds[part + 1], commentMark);
    });
    std::vector<TextChunk> chunks(parts);
    std::uint64_t filledBefore = 0;
    for (std::size_t part = 0; part < parts; ++part) {
        TextChunk& chunk = chunks[part];
        chunk.begin = bounds[part];
        chunk.end = bounds[part + 1];
        chunk.linesBefore = linesBefore;
        chunk.firstRecord = std::min(filledBefore, records);
        chunk.records = std::min(filledBefore + counts[part].filled, records) - chunk.firstRecord;
        linesBefore += counts[part].lines;
        filledBefore += counts[part].filled;
    }

    std::vector<MeshFileContents> chunkContents(parts);
    std::vector<std::string> errors(parts);
    std::vector<char> read(parts, 0);
    RunParts(pool, parts, [&](std::size_t part) {
        read[part] = readChunk(chunks[part], &chunkContents[part], &errors[part]) ? 1 : 0;
    });
    // Every chunk before the first refused one was read whole, so a single read meets
    // the same refusal first.
    for (std::size_t part = 0; part < parts; ++part)
        if (!read[part]) {
            *error = std::move(errors[part]);
            return ChunkedRead::Refused;
        }
    if (filledBefore < records) {
        // A single read runs out of lines at the file's last one.
        TextScanner(name, bytes, size, size, linesBefore).Fail(error, endOfFile(filledBefore));
        return ChunkedRead::Refused;
    }
    return JoinChunkContents(chunkContents, contents) ? ChunkedRead::Read : ChunkedRead::OnOneThread;
}

}  // namespace facet
