// STL: binary when the file's size is exactly 84 + 50 × the little-endian triangle count
// at byte 80 (an 80-byte header of any content, then per triangle a normal, three corner
// positions as float triples and two attribute bytes), or when it is several such bodies
// one after the other, the last ending at the file's end (exporters write one per part,
// and binary files joined with cat read so); ASCII otherwise: one or more blocks of
//   solid NAME
//     facet normal NX NY NZ
//       outer loop
//         vertex X Y Z      (three times)
//       endloop
//     endfacet
//   endsolid NAME
// where keywords may be in any case and line breaks may stand between any two words.
// Names run to the end of their line. Normals and attribute bytes are passed over; the
// corners are joined into shared vertices (see CornerJoiner). A file of empty solids (or
// a binary count of 0) holds no faces, read as such when the options allow it. The text
// form's reader is in stl_text_reader.cpp.
#include "geometry/corner_joining.h"
#include "geometry/mesh_file_contents.h"
#include "geometry/read_split_sizes.h"
#include "geometry/run_pipeline.h"
#include "geometry/stl_text_reader.h"
#include "springdrop/system/huge_page_memory.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

namespace facet {

namespace {

constexpr std::size_t kBinaryHeaderBytes = 84;
constexpr std::size_t kBinaryTriangleBytes = 50;

std::uint32_t TriangleCountAt80(const char* bytes) {
    static_assert(std::endian::native == std::endian::little, "binary STL is read in native order");
    std::uint32_t count = 0;
    std::memcpy(&count, bytes + 80, 4);
    return count;
}

// The triangles of all the binary bodies that fill the file exactly, or nothing when the
// bytes are not such bodies. Text read as a count at byte 80 is at least 0x09090909 (four
// tabs), a body of 7.6 GB, so a text file's walk ends at its first step. A body takes 84
// bytes at least, so any walk ends within size / 84 steps.
std::optional<std::uint64_t> BinaryTriangleCount(const char* bytes, std::size_t size) {
    std::uint64_t triangles = 0;
    for (std::size_t at = 0; size - at >= kBinaryHeaderBytes;) {
        const std::uint64_t count = TriangleCountAt80(bytes + at);
        const std::uint64_t end = at + kBinaryHeaderBytes + kBinaryTriangleBytes * count;
        triangles += count;
        if (end == size) return triangles;
        if (end > size) return std::nullopt;
        at = static_cast<std::size_t>(end);
    }
    return std::nullopt;
}

// Walks the triangles of a binary file's bodies in file order, passing over each later
// body's header and count.
class BinaryTrianglesInOrder {
public:
    explicit BinaryTrianglesInOrder(const char* bytes) : bytes_(bytes), left_(TriangleCountAt80(bytes)) {}

    // Offset of the next triangle, and how many follow it within its body (one at least).
    std::size_t NextSpan(std::size_t* triangles) {
        while (left_ == 0) {
            at_ += kBinaryHeaderBytes;
            left_ = TriangleCountAt80(bytes_ + at_);
        }
        *triangles = left_;
        return at_;
    }
    void Pass(std::size_t triangles) {
        at_ += kBinaryTriangleBytes * triangles;
        left_ -= triangles;
    }

private:
    const char* bytes_;
    // The next triangle's offset less 84; once a body's triangles are passed, that is
    // where the next body starts.
    std::size_t at_ = 0;
    std::size_t left_;
};

std::string ByteRefusal(const char* name, std::uint64_t offset, const std::string& why) {
    return std::string(name) + ": byte " + std::to_string(offset) + ": " + why;
}

// Why a file of `size` bytes is not binary STL, for a refusal at byte 80.
std::string NotBinaryText(const char* bytes, std::size_t size) {
    const std::uint64_t count = TriangleCountAt80(bytes);
    return "a binary STL file whose header counts " + std::to_string(count) + " triangles holds 84 + 50 × " +
           std::to_string(count) + " = " + std::to_string(kBinaryHeaderBytes + kBinaryTriangleBytes * count) +
           " bytes, this file " + std::to_string(size);
}

// A run of binary triangles as the joiner takes them: their corners' positions, checked
// finite, and the positions' hashes.
struct CornerRun {
    static constexpr std::size_t kTriangles = kStlRunTriangles;
    float positions[9 * kTriangles];
    std::uint64_t hashes[3 * kTriangles];
};

// Runs in flight between the copying and the joining threads: about half a megabyte,
// which stays in the second-level cache beside the joining's table slots.
constexpr std::size_t kRunsInFlight = 8;

// Copies the next `count` triangles out of the file into `run`, checks that every
// coordinate is finite (without a branch per value) and hashes the corners. False at the
// first coordinate that is not, with the refusal in `error`.
bool CopyRun(const char* name, const char* bytes, BinaryTrianglesInOrder* triangles, std::size_t count,
             CornerRun* run, std::string* error) {
    std::uint32_t anyNotFinite = 0;
    // The run's spans of consecutive triangles within one body: the first triangle of each
    // and its offset less 84, kept for a refusal.
    std::size_t spanFirst[CornerRun::kTriangles], spanStart[CornerRun::kTriangles];
    std::size_t spans = 0;
    for (std::size_t t = 0; t < count;) {
        std::size_t inBody = 0;
        const std::size_t start = triangles->NextSpan(&inBody);
        const std::size_t span = std::min(inBody, count - t);
        spanFirst[spans] = t;
        spanStart[spans++] = start;
        const char* from = bytes + kBinaryHeaderBytes + start + 12;
        for (std::size_t s = 0; s < span; ++s, ++t) {
            std::memcpy(&run->positions[9 * t], from + kBinaryTriangleBytes * s, 36);
            for (int k = 0; k < 9; ++k)
                anyNotFinite |= static_cast<std::uint32_t>(
                    (std::bit_cast<std::uint32_t>(run->positions[9 * t + k]) & 0x7F800000u) == 0x7F800000u);
        }
        triangles->Pass(span);
    }
    if (anyNotFinite != 0)
        for (std::size_t t = 0, span = 0; t < count; ++t) {
            if (span + 1 < spans && spanFirst[span + 1] == t) ++span;
            for (int k = 0; k < 9; ++k) {
                if (std::isfinite(run->positions[9 * t + k])) continue;
                char text[64];
                std::snprintf(text, sizeof text, "coordinate %g is not a finite number", run->positions[9 * t + k]);
                const std::size_t at = spanStart[span] + kBinaryTriangleBytes * (t - spanFirst[span]);
                *error = ByteRefusal(name, kBinaryHeaderBytes + at + 12 + 4 * k, text);
                return false;
            }
        }
    CornerJoiner::HashAll(run->positions, 3 * count, run->hashes);
    return true;
}

bool ReadBinary(const char* name, const char* bytes, std::size_t size, std::uint64_t triangles,
                const MeshReadOptions& options, MeshFileContents* contents, std::string* error) {
    contents->summary.encoding = MeshFileEncoding::BinaryLittleEndian;
    if (triangles == 0 && !options.allowNoFaces) {
        *error = ByteRefusal(name, 80, "the file holds no faces");
        return false;
    }
    if (triangles > kMaxFileTriangles) {
        *error = ByteRefusal(name, 80, "too many faces");
        return false;
    }
    const auto count = static_cast<std::uint32_t>(triangles);
    contents->summary.polygons = count;
    // The joining reads the positions at random.
    platform::ReserveInHugePages(&contents->corners, std::size_t{3} * count);
    // A closed mesh has about half as many vertices as triangles; a file that shares fewer
    // corners grows the positions from there. The count matches the file's size.
    platform::ReserveInHugePages(&contents->positions, std::size_t{3} * (count / 2 + 1));
    CornerJoiner joiner(contents, count / 2);
    ProgressTicker progress(options, size, contents->input);
    const std::size_t runs = (std::size_t{count} + CornerRun::kTriangles - 1) / CornerRun::kTriangles;
    const auto trianglesOf = [&](std::size_t run) {
        return std::min<std::size_t>(CornerRun::kTriangles, count - run * CornerRun::kTriangles);
    };
    // The joining keeps the file's order, so the vertices are numbered as on one thread.
    // The copying may run ahead: it is the only reader of the file's bytes, and the
    // joining lets go of those before the run it is at. Runs are copied in order, so one
    // walk over the bodies serves them all.
    BinaryTrianglesInOrder inOrder(bytes);
    return RunInPipeline<CornerRun>(
        options.pool, count >= kPipelinedStlTriangles, runs, kRunsInFlight,
        [&](std::size_t run, CornerRun* copy) { return CopyRun(name, bytes, &inOrder, trianglesOf(run), copy, error); },
        [&](std::size_t run, const CornerRun& copy) {
            progress.At(kBinaryHeaderBytes + kBinaryTriangleBytes * run * CornerRun::kTriangles);
            joiner.AddAllHashed(copy.positions, copy.hashes, 3 * trianglesOf(run));
        });
}

// Whether the first 84 bytes hold a byte no text holds, as a binary header and count do.
bool StartLooksBinary(const char* bytes, std::size_t size) {
    for (std::size_t i = 0; i < std::min(size, kBinaryHeaderBytes); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if ((byte < 0x20 && byte != '\t' && byte != '\r' && byte != '\n') || byte == 0x7F) return true;
    }
    return false;
}

}  // namespace

bool ReadStlContents(const char* name, const char* bytes, std::size_t size, const MeshReadOptions& options,
                     MeshFileContents* contents, std::string* error) {
    if (const std::optional<std::uint64_t> triangles = BinaryTriangleCount(bytes, size))
        return ReadBinary(name, bytes, size, *triangles, options, contents, error);
    bool startsWithSolid = false;
    if (ReadStlText(name, bytes, size, options, contents, error, &startsWithSolid)) return true;
    // A file with a binary start that fails as text is most likely binary STL cut short
    // or padded, even when its header starts with "solid": say so.
    if (size >= kBinaryHeaderBytes && (!startsWithSolid || StartLooksBinary(bytes, size)))
        *error = ByteRefusal(name, 80, NotBinaryText(bytes, size) + ", and it is no text STL file either");
    else if (size < kBinaryHeaderBytes && !startsWithSolid)
        *error = ByteRefusal(name, 0, "a binary STL file holds 84 bytes at least and a text one starts with 'solid'");
    return false;
}

}  // namespace facet
