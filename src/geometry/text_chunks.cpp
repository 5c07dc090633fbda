// Chunked text reading: see text_chunks.h.
#include "geometry/text_chunks.h"

#include "facet/thread_pool.h"
#include "geometry/text_scanner.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace facet {

std::size_t TextChunkCount(const ThreadPool* pool, std::size_t size) {
    if (pool == nullptr || pool->Size() < 2 || size < kParallelTextBytes) return 1;
    // A few chunks per thread, handed out as threads come free: a thread slowed by other
    // work on its core then reads fewer of them instead of holding up the rest.
    constexpr std::size_t kChunksPerThread = 4;
    return std::min(kChunksPerThread * pool->Size(), size / kSmallestTextChunk);
}

void ReleaseChunkPages(const MeshInputBytes* input, std::size_t begin, std::size_t end) {
    if (input != nullptr) input->ReleaseRange(begin, end);
}

std::vector<std::size_t> ChunksAtLineEnds(const char* bytes, std::size_t begin, std::size_t end,
                                          std::size_t parts, bool joinContinued) {
    // Whether the line whose '\n' is at `at` goes on over the next one.
    const auto continued = [&](std::size_t at) {
        const std::size_t lineBreak = at > begin && bytes[at - 1] == '\r' ? at - 1 : at;
        return joinContinued && lineBreak > begin && bytes[lineBreak - 1] == '\\';
    };
    std::vector<std::size_t> bounds(parts + 1, end);
    bounds[0] = begin;
    for (std::size_t part = 1; part < parts; ++part) {
        std::size_t at = std::max(bounds[part - 1], begin + PartStart(end - begin, parts, part));
        for (;;) {
            const void* lineEnd = at < end ? std::memchr(bytes + at, '\n', end - at) : nullptr;
            if (lineEnd == nullptr) {
                at = end;
                break;
            }
            at = static_cast<std::size_t>(static_cast<const char*>(lineEnd) - bytes) + 1;
            if (!continued(at - 1)) break;
        }
        bounds[part] = at;
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

// The counting state of one chunk's bytes, taken one byte at a time.
class LineCounter {
public:
    explicit LineCounter(char commentMark) : commentMark_(commentMark) {}

    // Takes the byte at `*at` (and the '\n' of a "\r\n" there), moving `*at` past it.
    void Take(const char* bytes, std::size_t* at, std::size_t end) {
        const char c = bytes[*at];
        ++*at;
        if (c == '\n' || c == '\r') {
            if (c == '\r' && *at < end && bytes[*at] == '\n') ++*at;
            EndLine();
            return;
        }
        open_ = true;
        comment_ = comment_ || (c == commentMark_ && commentMark_ != '\0');
        filled_ = filled_ || (!comment_ && c != ' ' && c != '\t');
    }
    void EndLine() {
        ++count_.lines;
        count_.filled += filled_ ? 1 : 0;
        filled_ = comment_ = open_ = false;
    }
    // Whether eight bytes with no line break or comment mark leave the state as it is.
    bool Settled() const { return filled_ || comment_; }
    LineCount Finish() {
        if (open_) EndLine();
        return count_;
    }
    char CommentMark() const { return commentMark_; }

private:
    char commentMark_;
    LineCount count_;
    bool filled_ = false, comment_ = false, open_ = false;
};

// A pass over the bytes rather than the scanner's lines and words: it runs over the whole
// body before any of it is read, so once a line's state is settled it passes eight bytes
// at a time to the next line break or comment mark. A line is filled when a byte other
// than a blank comes before its comment mark, as for the scanner's words.
LineCount CountLines(const char* bytes, std::size_t begin, std::size_t end, char commentMark) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ull, kHigh = 0x8080808080808080ull;
    // The high bit of each byte that may be zero: exact for the lowest such byte.
    const auto maybeZero = [](std::uint64_t eight) { return (eight - kOnes) & ~eight & kHigh; };
    LineCounter counter(commentMark);
    const std::uint64_t marks = static_cast<unsigned char>(commentMark) * kOnes;
    std::size_t at = begin;
    while (at + 8 <= end) {
        if (!counter.Settled()) {
            counter.Take(bytes, &at, end);
            continue;
        }
        std::uint64_t eight;
        std::memcpy(&eight, bytes + at, 8);
        std::uint64_t stops = maybeZero(eight ^ ('\n' * kOnes)) | maybeZero(eight ^ ('\r' * kOnes));
        if (commentMark != '\0') stops |= maybeZero(eight ^ marks);
        if (stops == 0) {
            at += 8;
            continue;
        }
        at += static_cast<std::size_t>(std::countr_zero(stops)) / 8;
        counter.Take(bytes, &at, end);
    }
    while (at < end) counter.Take(bytes, &at, end);
    return counter.Finish();
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
        counts[part] = CountLines(bytes, bounds[part], bounds[part + 1], commentMark);
        ReleaseChunkPages(contents->input, bounds[part], bounds[part + 1]);
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
        ReleaseChunkPages(contents->input, chunks[part].begin, chunks[part].end);
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
