// OFF: a first line "OFF" or "[ST][C][N]OFF" (texture coordinates, colours, normals: any
// of the prefixes, in that order), the line "VERTICES FACES EDGES" (it may share the
// first line), one vertex per line, x y z then, as the prefixes say, nx ny nz, a colour
// of 3 or 4 values (r g b [a]) and s t, then one face per line "n i1 ... in", possibly
// followed by a face colour, which is dropped. A file's colours are 0 to 255 when all of
// their words are whole numbers and floats 0 to 1 otherwise. "#" starts a comment; blank
// lines are passed over. Binary OFF is refused.
//
// A large body is read in chunks on the caller's threads: each vertex or face takes one
// line with a word on it, so once every chunk has counted its lines and filled lines, each
// knows the line number it starts at and which vertex or face its first filled line is.
// Whether the colours are bytes depends on every colour before, so the chunks keep them as
// written and the first colour that is not whole numbers, and they are settled once all
// are read.
#include "geometry/mesh_file_contents.h"
#include "geometry/text_chunks.h"
#include "geometry/text_scanner.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <vector>

namespace facet {

namespace {

// The next line with a word on it, its first word in `*word`.
bool NextFilledLine(TextScanner& scanner, std::string_view* word) {
    while (scanner.NextLine('#'))
        if (scanner.NextWord(word)) return true;
    return false;
}

// What the prefixes of "[ST][C][N]OFF" say each vertex line holds after its position.
struct OffVariant {
    bool normals = false;
    bool colors = false;
    bool textureCoordinates = false;
};

bool ParseVariant(std::string_view prefix, OffVariant* variant) {
    if (prefix.substr(0, 2) == "ST") {
        variant->textureCoordinates = true;
        prefix.remove_prefix(2);
    }
    if (!prefix.empty() && prefix[0] == 'C') {
        variant->colors = true;
        prefix.remove_prefix(1);
    }
    if (!prefix.empty() && prefix[0] == 'N') {
        variant->normals = true;
        prefix.remove_prefix(1);
    }
    return prefix.empty();
}

bool ReadCounts(TextScanner& scanner, const MeshReadOptions& options, OffVariant* variant,
                std::uint64_t* vertices, std::uint64_t* faces, std::string* error) {
    std::string_view word;
    if (!NextFilledLine(scanner, &word)) return scanner.Fail(error, "the file is empty");
    if (word.size() < 3 || word.substr(word.size() - 3) != "OFF")
        return scanner.Fail(error, "an OFF file starts with the line 'OFF'");
    if (!ParseVariant(word.substr(0, word.size() - 3), variant))
        return scanner.Fail(error, "unknown OFF variant " + Quoted(word) + " (the prefixes are [ST][C][N])");
    std::string_view next;
    if (scanner.NextWord(&next) && next == "BINARY") return scanner.Fail(error, "binary OFF is not read");
    const bool countsFollow = next.empty();
    if (countsFollow && !NextFilledLine(scanner, &next)) return scanner.Fail(error, "the counts line is missing");
    std::string_view faceWord;
    if (!TextScanner::ParseUnsigned(next, vertices) || !scanner.NextWord(&faceWord) ||
        !TextScanner::ParseUnsigned(faceWord, faces))
        return scanner.Fail(error, "the counts line must read 'VERTICES FACES EDGES'");
    // Each vertex line holds at least "0 0 0\n" and each face line its count "n\n": a face
    // with too few corners is then refused at its own line, for that reason.
    const std::uint64_t left = scanner.Size() - scanner.Offset() + 1;
    if (*vertices > left / 6 || *vertices > kMaxFileVertices || *faces > (left - 6 * *vertices) / 2)
        return scanner.Fail(error, "the counts " + std::to_string(*vertices) + " vertices and " +
                                       std::to_string(*faces) + " faces need more than the " +
                                       std::to_string(left - 1) + " bytes that follow");
    if (*faces == 0 && !options.allowNoFaces) return scanner.Fail(error, "the file holds no faces");
    return true;
}

// An alpha a chunk's colour line does not give, until the colours are settled: no colour
// read is NaN.
constexpr float kUnsetAlpha = std::numeric_limits<float>::quiet_NaN();

// The vertex lines' data besides positions, gathered until the colours' kind is known.
class OffVertexData {
public:
    // With `settledLater` (a chunk), the colours are kept as written, an alpha the line
    // does not give as kUnsetAlpha, and FirstFloatColor tells where they become floats:
    // SettleChunkColors then gives them what a single read gives.
    OffVertexData(const OffVariant& variant, std::uint64_t vertices, bool settledLater = false)
        : variant_(variant), settledLater_(settledLater) {
        if (variant.normals) normals_.reserve(3 * vertices);
        if (variant.colors) colors_.reserve(4 * vertices);
        if (variant.textureCoordinates) textureCoordinates_.reserve(2 * vertices);
    }

    bool Read(TextScanner& scanner, MeshFileContents* contents, std::string* error) {
        std::string_view word;
        if (!NextFilledLine(scanner, &word)) return scanner.Fail(error, "the file ends before its last vertex");
        words_.assign(1, word);
        while (scanner.NextWord(&word)) words_.push_back(word);
        const std::size_t fixed = 3 + (variant_.normals ? 3 : 0) + (variant_.textureCoordinates ? 2 : 0);
        const std::size_t colorWords = words_.size() < fixed ? 0 : words_.size() - fixed;
        if (words_.size() < fixed || (variant_.colors && colorWords != 3 && colorWords != 4))
            return scanner.Fail(error, "a vertex of this OFF variant needs " + std::to_string(fixed) +
                                           (variant_.colors ? " values and a colour of 3 or 4" : " values") + ", not " +
                                           std::to_string(words_.size()));
        std::size_t at = 0;
        float value = 0.0f;
        for (int axis = 0; axis < 3; ++axis, ++at) {
            if (!TextScanner::ParseFloat(words_[at], &value))
                return scanner.Fail(error, "coordinate " + Quoted(words_[at]) + " is not a finite number");
            contents->positions.push_back(value);
        }
        if (variant_.normals && !ReadFloats(scanner, 3, "normal", &at, &normals_, error)) return false;
        if (variant_.colors && !ReadColor(scanner, colorWords, &at, error)) return false;
        if (variant_.textureCoordinates &&
            !ReadFloats(scanner, 2, "texture coordinate", &at, &textureCoordinates_, error))
            return false;
        return true;
    }

    // Hands the data over once every vertex is read.
    void Finish(MeshFileContents* contents) {
        contents->normals = std::move(normals_);
        contents->textureCoordinates = std::move(textureCoordinates_);
        if (!variant_.colors) return;
        contents->colorBytes = wholeColors_;
        if (wholeColors_ && !settledLater_)
            for (float& value : colors_) value /= 255.0f;
        contents->colors = std::move(colors_);
    }

    // A chunk's: its first vertex whose colour is not all whole numbers, or its vertex
    // count when there is none.
    std::uint64_t FirstFloatColor() const { return firstFloatColor_; }

private:
    bool ReadFloats(TextScanner& scanner, int count, const char* what, std::size_t* at, std::vector<float>* out,
                    std::string* error) {
        float value = 0.0f;
        for (int k = 0; k < count; ++k, ++*at) {
            if (!TextScanner::ParseFloat(words_[*at], &value))
                return scanner.Fail(error, std::string(what) + " " + Quoted(words_[*at]) + " is not a finite number");
            out->push_back(value);
        }
        return true;
    }

    // While every colour so far is whole numbers they are kept as 0 to 255 (divided by
    // 255 in Finish); alpha is 1 (255) when the line gives none.
    bool ReadColor(TextScanner& scanner, std::size_t count, std::size_t* at, std::string* error) {
        float color[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        bool whole = true;
        for (std::size_t k = 0; k < count; ++k, ++*at) {
            std::uint64_t integer = 0;
            if (TextScanner::ParseUnsigned(words_[*at], &integer)) {
                if (integer > 255)
                    return scanner.Fail(error, "colour value " + Quoted(words_[*at]) + " is above 255");
                color[k] = static_cast<float>(integer);
            } else if (!TextScanner::ParseFloat(words_[*at], &color[k])) {
                return scanner.Fail(error, "colour value " + Quoted(words_[*at]) + " is not a finite number");
            } else {
                whole = false;
            }
        }
        if (!whole && wholeColors_) {
            // The first colour that is not all whole numbers: the file's colours are floats,
            // and the ones before were 0 to 255 after all.
            if (!settledLater_)
                for (float& value : colors_) value /= 255.0f;
            firstFloatColor_ = colors_.size() / 4;
            wholeColors_ = false;
        }
        if (count == 3) color[3] = settledLater_ ? kUnsetAlpha : wholeColors_ ? 255.0f : 1.0f;
        colors_.insert(colors_.end(), color, color + 4);
        if (wholeColors_) firstFloatColor_ = colors_.size() / 4;
        return true;
    }

    OffVariant variant_;
    bool settledLater_;
    std::vector<std::string_view> words_;
    std::vector<float> normals_, colors_, textureCoordinates_;
    bool wholeColors_ = true;
    std::uint64_t firstFloatColor_ = 0;
};

// Gives the joined colours of chunks read with their colours kept as written what a single
// read gives: those before the file's first colour that is not all whole numbers
// (`firstFloatColor`; every colour when there is none) were 0 to 255, the rest floats, and
// an alpha no line gave is 1.
void SettleChunkColors(std::uint64_t firstFloatColor, MeshFileContents* contents) {
    std::vector<float>& colors = contents->colors;
    const std::uint64_t vertices = colors.size() / 4;
    for (std::uint64_t v = 0; v < vertices; ++v) {
        float* color = &colors[4 * v];
        if (v < firstFloatColor)
            for (int k = 0; k < 4; ++k) color[k] /= 255.0f;
        if (std::isnan(color[3])) color[3] = 1.0f;
    }
    contents->colorBytes = firstFloatColor >= vertices;
}


bool ReadFace(TextScanner& scanner, std::uint64_t vertexCount, std::vector<DWORD>* polygon,
              MeshFileContents* contents, std::string* error) {
    std::string_view word;
    if (!NextFilledLine(scanner, &word)) return scanner.Fail(error, "the file ends before its last face");
    std::uint64_t count = 0;
    if (!TextScanner::ParseUnsigned(word, &count))
        return scanner.Fail(error, "a face starts with its corner count, not " + Quoted(word));
    if (count < 3)
        return scanner.Fail(error, "a face needs at least three corners, this one has " + std::to_string(count));
    polygon->clear();
    for (std::uint64_t k = 0; k < count; ++k) {
        std::uint64_t index = 0;
        if (!scanner.NextWord(&word)) return scanner.Fail(error, "the face has fewer corners than its count");
        if (!TextScanner::ParseUnsigned(word, &index) || index >= vertexCount)
            return scanner.Fail(error, "corner " + Quoted(word) + " names no vertex (" + std::to_string(vertexCount) +
                                           " vertices)");
        polygon->push_back(static_cast<DWORD>(index));
    }
    if (!AppendPolygon(polygon->data(), polygon->size(), contents)) return scanner.Fail(error, "too many faces");
    return true;
}

// Reads the vertices and faces of one chunk of the body, numbered from its first record;
// its colours are kept as written, and its first vertex whose colour is not all whole
// numbers lowers `*firstFloatColor`.
bool ReadChunk(const char* name, const char* bytes, const OffVariant& variant, std::uint64_t vertices,
               const TextChunk& chunk, MeshFileContents* contents, std::string* error,
               std::atomic<std::uint64_t>* firstFloatColor) {
    TextScanner scanner(name, bytes, chunk.end, chunk.begin, chunk.linesBefore);
    const std::uint64_t first = chunk.firstRecord, last = first + chunk.records;
    const std::uint64_t chunkVertices = std::min(last, vertices) - std::min(first, vertices);
    contents->positions.reserve(3 * chunkVertices);
    contents->corners.reserve(3 * (chunk.records - chunkVertices));
    OffVertexData vertexData(variant, chunkVertices, true);
    for (std::uint64_t record = first; record < std::min(last, vertices); ++record)
        if (!vertexData.Read(scanner, contents, error)) return false;
    vertexData.Finish(contents);
    if (variant.colors && vertexData.FirstFloatColor() < chunkVertices) {
        const std::uint64_t vertex = first + vertexData.FirstFloatColor();
        std::uint64_t lowest = firstFloatColor->load();
        while (vertex < lowest && !firstFloatColor->compare_exchange_weak(lowest, vertex)) {
        }
    }
    std::vector<DWORD> polygon;
    for (std::uint64_t record = std::max(first, vertices); record < last; ++record)
        if (!ReadFace(scanner, vertices, &polygon, contents, error)) return false;
    return true;
}

// Reads the body after the counts line in chunks on the caller's pool when it is large.
ChunkedRead ReadInChunks(const TextScanner& scanner, const char* name, const char* bytes, std::size_t size,
                         const MeshReadOptions& options, const OffVariant& variant, std::uint64_t vertices,
                         std::uint64_t faces, MeshFileContents* contents, std::string* error) {
    const std::size_t parts = TextChunkCount(options.pool, size - scanner.Offset());
    if (parts < 2) return ChunkedRead::OnOneThread;
    contents->positions.reserve(3 * vertices);
    std::atomic<std::uint64_t> firstFloatColor{vertices};
    const ChunkedRead read = ReadTextChunks(
        name, bytes, scanner.Offset(), size, scanner.LineNumber(), '#', vertices + faces, options.pool, parts,
        [&](const TextChunk& chunk, MeshFileContents* chunkContents, std::string* chunkError) {
            return ReadChunk(name, bytes, variant, vertices, chunk, chunkContents, chunkError, &firstFloatColor);
        },
        [&](std::uint64_t found) {
            return found < vertices ? "the file ends before its last vertex" : "the file ends before its last face";
        },
        contents, error);
    if (read == ChunkedRead::Read && variant.colors) SettleChunkColors(firstFloatColor.load(), contents);
    return read;
}

}  // namespace

bool ReadOffContents(const char* name, const char* bytes, std::size_t size, const MeshReadOptions& options,
                     MeshFileContents* contents, std::string* error) {
    TextScanner scanner(name, bytes, size);
    std::uint64_t vertices = 0, faces = 0;
    OffVariant variant;
    if (!ReadCounts(scanner, options, &variant, &vertices, &faces, error)) return false;
    switch (ReadInChunks(scanner, name, bytes, size, options, variant, vertices, faces, contents, error)) {
        case ChunkedRead::Read: return true;
        case ChunkedRead::Refused: return false;
        case ChunkedRead::OnOneThread: break;
    }
    contents->positions.reserve(3 * vertices);
    ProgressTicker progress(options, size, contents->input);
    OffVertexData vertexData(variant, vertices);
    for (std::uint64_t v = 0; v < vertices; ++v) {
        progress.At(scanner.Offset());
        if (!vertexData.Read(scanner, contents, error)) return false;
    }
    vertexData.Finish(contents);
    std::vector<DWORD> polygon;
    for (std::uint64_t f = 0; f < faces; ++f) {
        progress.At(scanner.Offset());
        if (!ReadFace(scanner, vertices, &polygon, contents, error)) return false;
    }
    return true;
}

}  // namespace facet
