// Wavefront OBJ: "v x y z [w | r g b]" lines give the vertices in order (six numbers: a
// colour r g b as floats), "vt u [v [w]]" the texture coordinates, "vn x y z" the normals
// and "f" lines the polygons, each corner "v", "v/vt", "v//vn" or "v/vt/vn" with 1-based
// or negative (counted back from the last one so far) indices. A corner must name a
// vertex, texture coordinate and normal defined above it. Where corners of one vertex
// name different texture coordinates or normals, the vertex is split (see
// facet/mesh_file.h for the numbering). In a file without faces, "vt" or "vn" statements
// as many as the vertices belong to them in order. Other statements are skipped; "#" starts a
// comment. A backslash at the end of a line continues the statement on the next line.
//
// A large file is read in chunks on the caller's threads, cut at line ends that end a
// statement: each chunk first counts its lines and its v, vt and vn statements, so each
// knows its first line number and the items defined before it, which is all its corners
// need to be resolved. Which vertices are split depends on every corner before, so the
// chunks keep what each corner names, and one pass over the joined corners in file order
// splits them as a single read does.
#include "facet/thread_pool.h"
#include "geometry/mesh_file_contents.h"
#include "geometry/text_chunks.h"
#include "geometry/text_scanner.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <span>
#include <unordered_map>
#include <vector>

namespace facet {

namespace {

constexpr DWORD kNone = 0xFFFFFFFF;

// The vertices, texture coordinates and normals a part of the file defines.
struct ObjItems {
    std::uint64_t vertices = 0;
    std::uint64_t textureCoordinates = 0;
    std::uint64_t normals = 0;
};

// What a corner names besides its position; kNone where it names nothing.
struct CornerData {
    DWORD textureCoordinate = kNone;
    DWORD normal = kNone;
    bool operator==(const CornerData&) const = default;
};

struct CopyKey {
    DWORD vertex;
    CornerData data;
    bool operator==(const CopyKey&) const = default;
};

struct CopyKeyHash {
    std::size_t operator()(const CopyKey& key) const {
        std::uint64_t hash = key.vertex * 0x9E3779B97F4A7C15ull;
        hash = (hash ^ key.data.textureCoordinate) * 0xC2B2AE3D27D4EB4Full;
        hash = (hash ^ key.data.normal) * 0x165667B19E3779F9ull;
        return static_cast<std::size_t>(hash ^ (hash >> 29));
    }
};

// Splits the vertices whose corners name different texture coordinates or normals: a
// vertex takes what its first corner names, and each other combination a copy, numbered
// after the file's vertices in the order of its first corner. A corner that needs a copy
// is stored as kLastCopy − (copy number) until the file's vertex count is known; Finish
// then numbers the copies.
class VertexSplitter {
public:
    void AddVertex() {
        vertexData_.push_back(CornerData{});
        used_.push_back(false);
    }
    void SetVertexCount(std::size_t vertices) {
        vertexData_.assign(vertices, CornerData{});
        used_.assign(vertices, false);
    }
    std::size_t Vertices() const { return vertexData_.size(); }
    // Whether every corner from now on must be passed to VertexOfCorner.
    bool SplitsCorners() const { return cornersNamedData_; }

    // The vertex a corner becomes: the file's vertex when its data is the first seen for
    // it (or the same), else the copy made for that data. `before` are the corners before
    // this one, in file order.
    DWORD VertexOfCorner(DWORD vertex, const CornerData& data, std::initializer_list<std::span<const DWORD>> before) {
        if (!cornersNamedData_) {
            // While no corner names a texture coordinate or normal, no vertex is split and
            // the vertices' data stays empty: the corners used so far are marked only when
            // the first corner that names some arrives.
            if (data == CornerData{}) return vertex;
            cornersNamedData_ = true;
            for (const std::span<const DWORD> corners : before)
                for (const DWORD used : corners) used_[used] = true;
        }
        if (!used_[vertex]) {
            used_[vertex] = true;
            vertexData_[vertex] = data;
            return vertex;
        }
        if (vertexData_[vertex] == data) return vertex;
        const auto [found, added] =
            copyNumbers_.try_emplace(CopyKey{vertex, data}, static_cast<DWORD>(copies_.size()));
        if (added) copies_.push_back(CopyKey{vertex, data});
        return kLastCopy - found->second;
    }

    // Numbers the copies after the file's vertices, gives them their vertex's position and
    // colour (when `contents` has colours), and gives every vertex the texture coordinate
    // and normal it names, from the file's `textureCoordinates` and `normals` (when
    // `uses` them). False when the copies pass the vertex limit.
    bool Finish(MeshFileContents* contents, const std::vector<float>& textureCoordinates,
                const std::vector<float>& normals, bool usesTextureCoordinates, bool usesNormals) {
        const std::size_t fileVertices = vertexData_.size();
        if (fileVertices + copies_.size() > kMaxFileVertices) return false;
        if (!copies_.empty())
            for (DWORD& corner : contents->corners)
                if (corner >= fileVertices) corner = static_cast<DWORD>(fileVertices + (kLastCopy - corner));
        std::vector<float>& colors = contents->colors;
        for (const CopyKey& copy : copies_) {
            const std::size_t from = 3 * std::size_t{copy.vertex};
            contents->positions.insert(contents->positions.end(),
                                       {contents->positions[from], contents->positions[from + 1],
                                        contents->positions[from + 2]});
            vertexData_.push_back(copy.data);
            if (colors.empty()) continue;
            const std::size_t color = 4 * std::size_t{copy.vertex};
            colors.insert(colors.end(), {colors[color], colors[color + 1], colors[color + 2], colors[color + 3]});
        }
        contents->summary.splitVertices = static_cast<DWORD>(copies_.size());
        const std::size_t vertices = vertexData_.size();
        // A file of points has no corners to give its vertices their data; as many "vt" or
        // "vn" statements as vertices are theirs in order, as writers of points put them.
        if (contents->corners.empty() && vertices > 0) {
            if (textureCoordinates.size() == 2 * vertices) {
                usesTextureCoordinates = true;
                for (std::size_t v = 0; v < vertices; ++v) vertexData_[v].textureCoordinate = static_cast<DWORD>(v);
            }
            if (normals.size() == 3 * vertices) {
                usesNormals = true;
                for (std::size_t v = 0; v < vertices; ++v) vertexData_[v].normal = static_cast<DWORD>(v);
            }
        }
        if (usesTextureCoordinates) {
            contents->textureCoordinates.assign(2 * vertices, 0.0f);
            for (std::size_t v = 0; v < vertices; ++v)
                if (const DWORD t = vertexData_[v].textureCoordinate; t != kNone)
                    std::copy_n(&textureCoordinates[2 * std::size_t{t}], 2, &contents->textureCoordinates[2 * v]);
        }
        if (usesNormals) {
            contents->normals.assign(3 * vertices, 0.0f);
            for (std::size_t v = 0; v < vertices; ++v)
                if (const DWORD n = vertexData_[v].normal; n != kNone)
                    std::copy_n(&normals[3 * std::size_t{n}], 3, &contents->normals[3 * v]);
        }
        return true;
    }

private:
    static constexpr DWORD kLastCopy = 0xFFFFFFFE;

    std::vector<CornerData> vertexData_;  // per file vertex; the copies' are added by Finish
    std::vector<bool> used_;              // per file vertex: a corner has used it (see VertexOfCorner)
    bool cornersNamedData_ = false;       // some corner has named a texture coordinate or normal
    std::unordered_map<CopyKey, DWORD, CopyKeyHash> copyNumbers_;
    std::vector<CopyKey> copies_;  // in the order of their first corners
};

// What one chunk read besides its contents: what its corners name (one per corner, from
// its first corner that names something on; empty when none does), and its texture
// coordinates and normals.
struct ChunkCornerData {
    std::size_t plainCorners = 0;  // corners before the first in `named`
    std::vector<CornerData> named;
    std::vector<float> textureCoordinates;
    std::vector<float> normals;
    bool usesTextureCoordinates = false;
    bool usesNormals = false;
};

// The OBJ statements as read, and the vertices the corners turn them into.
class ObjReader {
public:
    ObjReader(TextScanner& scanner, MeshFileContents* contents, std::string* error)
        : scanner_(scanner), contents_(contents), error_(error) {}
    // A reader of one chunk, after the items `before` it: its corners are resolved but not
    // split, and what they name goes to `*cornerData` (see FinishChunk).
    ObjReader(TextScanner& scanner, const ObjItems& before, MeshFileContents* contents, std::string* error,
              ChunkCornerData* cornerData)
        : scanner_(scanner), contents_(contents), error_(error), before_(before), chunkData_(cornerData) {}

    bool ReadVertex() {
        float values[6];
        std::string_view word;
        std::size_t count = 0;
        while (count < 6 && scanner_.NextWord(&word)) {
            if (!TextScanner::ParseFloat(word, &values[count]))
                return scanner_.Fail(error_, "coordinate " + Quoted(word) + " is not a finite number");
            ++count;
        }
        if (count < 3) return scanner_.Fail(error_, "a vertex needs three coordinates");
        if (DefinedVertices() >= kMaxFileVertices) return scanner_.Fail(error_, "too many vertices");
        for (int axis = 0; axis < 3; ++axis) contents_->positions.push_back(values[axis]);
        const std::size_t vertices = contents_->positions.size() / 3;
        if (chunkData_ == nullptr) splitter_.AddVertex();
        // Six numbers are a position and a colour; four (a weight) or seven are not.
        const bool colored = count == 6 && !scanner_.NextWord(&word);
        if (colored && colors_.empty()) colors_.assign(4 * (vertices - 1), 1.0f);
        if (colored) colors_.insert(colors_.end(), {values[3], values[4], values[5], 1.0f});
        else if (!colors_.empty()) colors_.insert(colors_.end(), {1.0f, 1.0f, 1.0f, 1.0f});
        return true;
    }

    bool ReadTextureCoordinate() { return ReadVector(&textureCoordinates_, 1, 2, "texture coordinate"); }
    bool ReadNormal() { return ReadVector(&normals_, 3, 3, "normal"); }

    bool ReadFace() {
        polygon_.clear();
        polygonData_.clear();
        std::string_view word;
        while (scanner_.NextWord(&word)) {
            DWORD vertex = 0;
            CornerData data;
            if (!ReadCorner(word, &vertex, &data)) return false;
            if (chunkData_ != nullptr) {
                polygon_.push_back(vertex);
                polygonData_.push_back(data);
            } else {
                polygon_.push_back(splitter_.VertexOfCorner(vertex, data, {contents_->corners, polygon_}));
            }
        }
        if (polygon_.size() < 3)
            return scanner_.Fail(error_, "a face needs at least three corners, this one has " +
                                             std::to_string(polygon_.size()));
        if (!AppendPolygon(polygon_.data(), polygon_.size(), contents_)) return scanner_.Fail(error_, "too many faces");
        if (chunkData_ != nullptr) KeepCornerData();
        return true;
    }

    // Gives every vertex its texture coordinate, normal and colour once all are read.
    bool Finish() {
        contents_->colors = std::move(colors_);
        if (!splitter_.Finish(contents_, textureCoordinates_, normals_, usesTextureCoordinates_, usesNormals_))
            return scanner_.Fail(error_, "too many vertices");
        return true;
    }

    // A chunk's end: its colours to its contents, and its texture coordinates and normals
    // to its corner data.
    void FinishChunk() {
        contents_->colors = std::move(colors_);
        chunkData_->textureCoordinates = std::move(textureCoordinates_);
        chunkData_->normals = std::move(normals_);
        chunkData_->usesTextureCoordinates = usesTextureCoordinates_;
        chunkData_->usesNormals = usesNormals_;
    }
private:
    // Keeps what the corners of the polygon just added name, one per corner of its fan,
    // from the chunk's first corner that names something on.
    void KeepCornerData() {
        std::vector<CornerData>& named = chunkData_->named;
        if (named.empty()) {
            const bool namesSome = std::any_of(polygonData_.begin(), polygonData_.end(),
                                               [](const CornerData& data) { return !(data == CornerData{}); });
            if (!namesSome) {
                chunkData_->plainCorners = contents_->corners.size();
                return;
            }
        }
        for (std::size_t k = 1; k + 1 < polygonData_.size(); ++k)
            named.insert(named.end(), {polygonData_[0], polygonData_[k], polygonData_[k + 1]});
    }

    // Reads up to three numbers of which `needed` are required and keeps `kept` of them
    // (missing ones 0).
    bool ReadVector(std::vector<float>* values, std::size_t needed, std::size_t kept, const char* what) {
        std::string_view word;
        float read[3] = {0.0f, 0.0f, 0.0f};
        std::size_t count = 0;
        while (count < 3 && scanner_.NextWord(&word)) {
            if (!TextScanner::ParseFloat(word, &read[count]))
                return scanner_.Fail(error_, std::string(what) + " " + Quoted(word) + " is not a finite number");
            ++count;
        }
        if (count < needed)
            return scanner_.Fail(error_, std::string("a ") + what + " needs " + std::to_string(needed) + " values");
        if (values->size() / kept + (kept == 3 ? before_.normals : before_.textureCoordinates) >= kMaxFileVertices)
            return scanner_.Fail(error_, "too many vertices");
        values->insert(values->end(), read, read + kept);
        return true;
    }

    std::size_t DefinedVertices() const { return contents_->positions.size() / 3 + before_.vertices; }

    // Resolves a 1-based or negative index against `defined` items; false when it names none.
    static bool Resolve(std::int64_t value, std::size_t defined, DWORD* index) {
        if (value == 0) return false;
        const std::int64_t resolved = value > 0 ? value - 1 : static_cast<std::int64_t>(defined) + value;
        if (resolved < 0 || resolved >= static_cast<std::int64_t>(defined)) return false;
        *index = static_cast<DWORD>(resolved);
        return true;
    }
    static bool Resolve(std::string_view word, std::size_t defined, DWORD* index) {
        std::int64_t value = 0;
        return TextScanner::ParseSigned(word, &value) && Resolve(value, defined, index);
    }

    bool ReadCorner(std::string_view word, DWORD* vertex, CornerData* data) {
        const std::size_t firstSlash = word.find('/');
        const std::string_view vertexWord = word.substr(0, firstSlash);
        std::int64_t value = 0;
        if (!TextScanner::ParseSigned(vertexWord, &value) || value == 0)
            return scanner_.Fail(error_, "corner " + Quoted(word) + " does not start with a vertex number");
        if (!Resolve(value, DefinedVertices(), vertex))
            return scanner_.Fail(error_, "corner " + Quoted(word) + " names no vertex (" +
                                             std::to_string(DefinedVertices()) + " defined so far)");
        if (firstSlash == std::string_view::npos) return true;
        const std::string_view rest = word.substr(firstSlash + 1);
        const std::size_t secondSlash = rest.find('/');
        const std::string_view textureWord = rest.substr(0, secondSlash);
        if (!textureWord.empty()) {
            const std::size_t defined = textureCoordinates_.size() / 2 + before_.textureCoordinates;
            if (!Resolve(textureWord, defined, &data->textureCoordinate))
                return scanner_.Fail(error_, "corner " + Quoted(word) + " names no texture coordinate (" +
                                                 std::to_string(defined) + " defined so far)");
            usesTextureCoordinates_ = true;
        }
        if (secondSlash == std::string_view::npos) return true;
        const std::string_view normalWord = rest.substr(secondSlash + 1);
        if (normalWord.empty()) return true;
        const std::size_t defined = normals_.size() / 3 + before_.normals;
        if (!Resolve(normalWord, defined, &data->normal))
            return scanner_.Fail(error_, "corner " + Quoted(word) + " names no normal (" + std::to_string(defined) +
                                             " defined so far)");
        usesNormals_ = true;
        return true;
    }

    TextScanner& scanner_;
    MeshFileContents* contents_;
    std::string* error_;
    VertexSplitter splitter_;                // a single read's
    std::vector<float> textureCoordinates_;  // two per "vt"
    std::vector<float> normals_;             // three per "vn"
    std::vector<float> colors_;              // four per vertex, empty while no vertex has a colour
    std::vector<DWORD> polygon_;
    std::vector<CornerData> polygonData_;  // a chunk's: what the polygon's corners name
    bool usesTextureCoordinates_ = false;
    bool usesNormals_ = false;
    ObjItems before_;  // a chunk's: the items the file defines before it
    ChunkCornerData* chunkData_ = nullptr;
};

// Reads the statements of one line; false with the refusal set.
bool ReadStatement(TextScanner& scanner, ObjReader& reader, std::string* error) {
    const int foreign = scanner.ForeignByte();
    if (foreign >= 0) {
        char text[64];
        std::snprintf(text, sizeof text, "byte 0x%02X does not belong in a text file", foreign);
        return scanner.Fail(error, text);
    }
    std::string_view keyword;
    if (!scanner.NextWord(&keyword)) return true;
    if (keyword == "v") return reader.ReadVertex();
    if (keyword == "vt") return reader.ReadTextureCoordinate();
    if (keyword == "vn") return reader.ReadNormal();
    if (keyword == "f") return reader.ReadFace();
    return true;
}

// What the first pass over a chunk finds.
struct ChunkCount {
    ObjItems items;
    std::uint64_t lines = 0;      // physical lines
    std::uint64_t lastStart = 0;  // the first physical line of its last (joined) line
};

ChunkCount CountChunk(const char* name, const char* bytes, std::size_t begin, std::size_t end) {
    TextScanner scanner(name, bytes, end, begin);
    ChunkCount count;
    std::string_view keyword;
    while (scanner.NextLine('#', true)) {
        if (!scanner.NextWord(&keyword) || keyword.size() > 2 || keyword[0] != 'v') continue;
        if (keyword == "v") ++count.items.vertices;
        else if (keyword == "vt") ++count.items.textureCoordinates;
        else if (keyword == "vn") ++count.items.normals;
    }
    count.lines = scanner.LastLineNumber();
    count.lastStart = scanner.LineNumber();
    return count;
}

// One chunk: where it starts, and what reading it gave.
struct ObjChunk {
    std::size_t begin = 0, end = 0;
    std::uint64_t linesBefore = 0;
    ObjItems before;
    MeshFileContents contents;
    ChunkCornerData cornerData;
    std::string error;
    bool read = false;
};

void ReadChunk(const char* name, const char* bytes, ObjChunk* chunk) {
    TextScanner scanner(name, bytes, chunk->end, chunk->begin, chunk->linesBefore);
    ObjReader reader(scanner, chunk->before, &chunk->contents, &chunk->error, &chunk->cornerData);
    while (scanner.NextLine('#', true))
        if (!ReadStatement(scanner, reader, &chunk->error)) return;
    reader.FinishChunk();
    chunk->read = true;
}

// Splits the joined corners in file order as a single read does, from what the chunks'
// corners name, then gives the vertices their data. False when the copies pass the
// vertex limit (a single read then refuses the file).
bool SplitJoinedCorners(std::vector<ObjChunk>& chunks, const std::vector<std::size_t>& chunkCorners,
                        MeshFileContents* contents) {
    VertexSplitter splitter;
    splitter.SetVertexCount(contents->VertexCount());
    std::vector<float> textureCoordinates, normals;
    bool usesTextureCoordinates = false, usesNormals = false;
    std::vector<DWORD>& corners = contents->corners;
    std::size_t first = 0;
    for (std::size_t part = 0; part < chunks.size(); ++part) {
        ChunkCornerData& data = chunks[part].cornerData;
        const std::size_t end = first + chunkCorners[part];
        const std::size_t plainEnd = data.named.empty() ? end : first + data.plainCorners;
        // Corners that name nothing change only once some corner before them has named
        // something.
        std::size_t corner = splitter.SplitsCorners() ? first : plainEnd;
        for (; corner < end; ++corner) {
            const CornerData named = corner < plainEnd ? CornerData{} : data.named[corner - plainEnd];
            corners[corner] = splitter.VertexOfCorner(corners[corner], named, {std::span(corners.data(), corner)});
        }
        first = end;
        textureCoordinates.insert(textureCoordinates.end(), data.textureCoordinates.begin(),
                                  data.textureCoordinates.end());
        normals.insert(normals.end(), data.normals.begin(), data.normals.end());
        usesTextureCoordinates = usesTextureCoordinates || data.usesTextureCoordinates;
        usesNormals = usesNormals || data.usesNormals;
        data = ChunkCornerData{};
    }
    return splitter.Finish(contents, textureCoordinates, normals, usesTextureCoordinates, usesNormals);
}

// Reads a large file in chunks on the caller's pool.
ChunkedRead ReadInChunks(const char* name, const char* bytes, std::size_t size, const MeshReadOptions& options,
                         MeshFileContents* contents, std::string* error) {
    const std::size_t parts = TextChunkCount(options.pool, size);
    if (parts < 2) return ChunkedRead::OnOneThread;
    const std::vector<std::size_t> bounds = ChunksAtLineEnds(bytes, 0, size, parts, true);
    std::vector<ChunkCount> counts(parts);
    RunParts(options.pool, parts, [&](std::size_t part) {
        counts[part] = CountChunk(name, bytes, bounds[part], bounds[part + 1]);
        ReleaseChunkPages(contents->input, bounds[part], bounds[part + 1]);
    });
    std::vector<ObjChunk> chunks(parts);
    std::uint64_t lines = 0, lastStart = 1;
    ObjItems before;
    for (std::size_t part = 0; part < parts; ++part) {
        ObjChunk& chunk = chunks[part];
        chunk.begin = bounds[part];
        chunk.end = bounds[part + 1];
        chunk.linesBefore = lines;
        chunk.before = before;
        if (counts[part].lines > 0) lastStart = lines + counts[part].lastStart;
        lines += counts[part].lines;
        before.vertices += counts[part].items.vertices;
        before.textureCoordinates += counts[part].items.textureCoordinates;
        before.normals += counts[part].items.normals;
    }
    RunParts(options.pool, parts, [&](std::size_t part) {
        ReadChunk(name, bytes, &chunks[part]);
        ReleaseChunkPages(contents->input, chunks[part].begin, chunks[part].end);
    });

    // The first chunk in file order that a single read would not pass decides.
    std::vector<MeshFileContents> chunkContents;
    bool colored = false;
    for (ObjChunk& chunk : chunks) {
        if (!chunk.read) {
            *error = std::move(chunk.error);
            return ChunkedRead::Refused;
        }
        colored = colored || !chunk.contents.colors.empty();
    }
    std::uint64_t corners = 0;
    std::vector<std::size_t> chunkCorners;
    for (ObjChunk& chunk : chunks) {
        corners += chunk.contents.corners.size();
        chunkCorners.push_back(chunk.contents.corners.size());
        // Once any vertex has a colour, every vertex has one, white where none is given.
        if (colored && chunk.contents.colors.empty())
            chunk.contents.colors.assign(4 * std::size_t{chunk.contents.VertexCount()}, 1.0f);
        chunkContents.push_back(std::move(chunk.contents));
    }
    if (corners == 0 && !options.allowNoFaces) {
        // A single read ends on the file's last line, numbered by its first physical line.
        TextScanner(name, bytes, size, size, lastStart).Fail(error, "the file holds no faces");
        return ChunkedRead::Refused;
    }
    if (!JoinChunkContents(chunkContents, contents)) return ChunkedRead::OnOneThread;
    if (SplitJoinedCorners(chunks, chunkCorners, contents)) return ChunkedRead::Read;
    const MeshInputBytes* input = contents->input;
    *contents = MeshFileContents{};
    contents->input = input;
    return ChunkedRead::OnOneThread;
}

}  // namespace

bool ReadObjContents(const char* name, const char* bytes, std::size_t size, const MeshReadOptions& options,
                     MeshFileContents* contents, std::string* error) {
    switch (ReadInChunks(name, bytes, size, options, contents, error)) {
        case ChunkedRead::Read: return true;
        case ChunkedRead::Refused: return false;
        case ChunkedRead::OnOneThread: break;
    }
    TextScanner scanner(name, bytes, size);
    ProgressTicker progress(options, size, contents->input);
    ObjReader reader(scanner, contents, error);
    while (scanner.NextLine('#', true)) {
        progress.At(scanner.Offset());
        if (!ReadStatement(scanner, reader, error)) return false;
    }
    if (contents->corners.empty() && !options.allowNoFaces) return scanner.Fail(error, "the file holds no faces");
    return reader.Finish();
}

}  // namespace facet
