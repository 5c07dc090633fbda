// Large text bodies are read in chunks split at line ends when the caller passes a pool.
// Whatever the thread count, the mesh (every byte of its buffers), the summary and the
// refusal (its text and line number) must be those of a read on one thread, also when
// the lines around the cuts are comments, blank, or end in "\r\n" or a lone "\r".
#include "facet/mesh_file.h"
#include "facet/thread_pool.h"
#include "geometry/text_chunks.h"
#include "geometry_test_support.h"
#include "support/packaged_meshes.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using facet::MeshFileFormat;

constexpr unsigned kThreadCounts[] = {2, 7};

// A grid of `side` x `side` vertices, its cells as quads, every other one cut in two
// triangles, and one fan-shaped polygon of six corners per row, in text above 4 MiB.
// Lines of the vertex and face parts end alike in "\n", "\r\n" or "\r", with comments
// and blank lines between them.
struct TextGrid {
    unsigned side = 330;
    std::string vertexSuffix;  // words after each position (normals, texture coordinates)

    std::vector<std::string> VertexLines() const {
        std::vector<std::string> lines;
        for (unsigned y = 0; y < side; ++y)
            for (unsigned x = 0; x < side; ++x)
                lines.push_back(std::to_string(x * 0.125f) + " " + std::to_string(y * -0.3f) + " " +
                                std::to_string(((x * 7 + y * 3) % 11) * 1e-3) + vertexSuffix);
        return lines;
    }

    std::vector<std::string> FaceLines() const {
        std::vector<std::string> lines;
        for (unsigned y = 0; y + 1 < side; ++y) {
            for (unsigned x = 0; x + 1 < side; ++x) {
                const unsigned a = y * side + x, b = a + 1, c = a + side, d = c + 1;
                if ((x + y) % 2 == 0) {
                    lines.push_back("4 " + std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(d) + " " +
                                    std::to_string(c));
                } else {
                    lines.push_back("3 " + std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(d));
                    lines.push_back("3  " + std::to_string(a) + "\t" + std::to_string(d) + " " + std::to_string(c));
                }
            }
            const unsigned row = y * side;
            lines.push_back("6 " + std::to_string(row) + " " + std::to_string(row + 2) + " " + std::to_string(row + 1) +
                            " " + std::to_string(row + side + 1) + " " + std::to_string(row + side + 3) + " " +
                            std::to_string(row + side));
        }
        return lines;
    }
};

// Joins `lines` with varied line ends, a comment line (when the format has comments) and
// a blank line now and then.
std::string Body(const std::vector<std::string>& lines, bool comments) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        text += lines[i];
        text += i % 5 == 1 ? "\r\n" : i % 7 == 3 ? "\r" : "\n";
        if (comments && i % 97 == 5) text += i % 2 == 0 ? "# a comment\n" : "   # indented comment \r\n";
        if (i % 131 == 7) text += "\n  \t\n";
    }
    return text;
}

std::string OffText(const TextGrid& grid, const char* keyword) {
    const std::vector<std::string> vertices = grid.VertexLines(), faces = grid.FaceLines();
    return std::string(keyword) + "\n# made for the chunked reading test\n" + std::to_string(vertices.size()) + " " +
           std::to_string(faces.size()) + " 0\n" + Body(vertices, true) + Body(faces, true);
}

// ASCII PLY of the grid; `vertexProperties` declares the vertex suffix's words, and an
// element of edges follows the faces. `emptyElements`: elements without properties (whose
// records take no line) come first and between the vertices and the faces.
std::string PlyText(const TextGrid& grid, const std::string& vertexProperties, bool emptyElements = false) {
    const std::string empty = emptyElements ? "element material 3\n" : "";
    const std::vector<std::string> vertices = grid.VertexLines(), faces = grid.FaceLines();
    std::vector<std::string> edges;
    for (unsigned e = 0; e < 5000; ++e) edges.push_back(std::to_string(e) + " " + std::to_string(e + 1));
    return "ply\nformat ascii 1.0\ncomment made for the chunked reading test\n" + empty + "element vertex " +
           std::to_string(vertices.size()) + "\nproperty float x\nproperty float y\nproperty float z\n" +
           vertexProperties + empty + "element face " + std::to_string(faces.size()) +
           "\nproperty list uchar int vertex_indices\nelement edge 5000\nproperty int vertex1\nproperty int "
           "vertex2\nend_header\n" +
           Body(vertices, false) + Body(faces, false) + Body(edges, false);
}

// OBJ of the grid, vertices and faces interleaved by rows so that corners count back with
// negative indices across chunk cuts, most faces continued over two lines, and
// texture coordinates and normals defined (`cornerData`: and named by the corners).
std::string ObjText(const TextGrid& grid, bool cornerData, bool someColors) {
    std::vector<std::string> lines = {"# made for the chunked reading test", "mtllib none.mtl", "o grid"};
    const std::vector<std::string> vertices = grid.VertexLines();
    const unsigned side = grid.side;
    for (unsigned y = 0; y < side; ++y) {
        lines.push_back("g row" + std::to_string(y));
        for (unsigned x = 0; x < side; ++x) {
            const unsigned v = y * side + x;
            lines.push_back("v " + vertices[v] + (someColors && y == side - 3 && x % 4 == 0 ? " 0.5 0.25 1" : ""));
            if (x % 50 == 0) lines.push_back("vt 0.5 0.25");
            if (x % 70 == 0) lines.push_back("vn 0 0 1");
        }
        if (y == 0) continue;
        for (unsigned x = 0; x + 1 < side; ++x) {
            // Corners of the row above counted back from the last vertex so far.
            const long above = static_cast<long>(x) - 2 * static_cast<long>(side);
            const std::string a = std::to_string(above), b = std::to_string(above + 1);
            const std::string c = std::to_string((y * side + x) + 1), d = std::to_string((y * side + x) + 2);
            const std::string data = cornerData && x == side / 2 ? "/1/1" : "";
            // Most faces go on over a second line, so some cut target falls in one.
            const std::string rest = x % 4 == 0 ? " " + d + " " + c : " \\\n  " + d + " " + c;
            lines.push_back("f " + a + data + " " + b + rest);
        }
    }
    return Body(lines, true);
}

// Text STL of a grid of `side` x `side` cells, two facets a cell (neighbours share their
// corners' positions), in solids of `facetsPerSolid` facets whose names read as a whole
// facet, so that a chunk may start on a name and read a facet that is none. Lines end alike in "\n", "\r\n" or "\r",
// and every eleventh facet has its words broken over lines anywhere, its keywords in
// other cases.
std::string StlText(unsigned side, unsigned facetsPerSolid) {
    const auto position = [](unsigned x, unsigned y) {
        return std::to_string(x * 0.125f) + " " + std::to_string(y * -0.3f) + " " +
               std::to_string(((x * 7 + y * 3) % 11) * 1e-3);
    };
    std::string text;
    unsigned facet = 0;
    for (unsigned y = 0; y < side; ++y)
        for (unsigned x = 0; x < side; ++x)
            for (int half = 0; half < 2; ++half, ++facet) {
                if (facet % facetsPerSolid == 0)
                    text += std::string(facet == 0 ? "" : "endsolid part\n") + "solid part " + std::to_string(facet) +
                            " facet normal 0 0 1 outer loop vertex 9 9 9 vertex 9 9 8 vertex 9 8 9 endloop endfacet\n";
                const std::string a = position(x, y), b = position(x + 1, y + half), c = position(x + half, y + 1);
                const std::string end = facet % 5 == 1 ? "\r\n" : facet % 7 == 3 ? "\r" : "\n";
                if (facet % 11 == 4) {
                    text += "FACET\nNormal 0 0\n1 OUTER\r\nloop vertex " + a + "\nVERTEX\n" + b + " vertex " + c +
                            " ENDLOOP endfacet" + end;
                    continue;
                }
                text += "  facet normal 0 0 1" + end + "    outer loop" + end;
                for (const std::string* corner : {&a, &b, &c}) text += "      vertex " + *corner + end;
                text += "    endloop" + end + "  endfacet" + end;
            }
    return text + "endsolid part\n";
}

// Every byte a read gives: the result, the refusal, the summary and the mesh's buffers.
struct Outcome {
    HRESULT result = E_FAIL;
    std::string error;
    std::vector<BYTE> vertices, indices;
    DWORD fvf = 0, options = 0;
    std::vector<std::string> summary;

    bool operator==(const Outcome&) const = default;
};

class ChunkedTextReadingTest : public geometry_test::DeviceTest {
protected:
    Outcome Read(const std::string& text, MeshFileFormat format, facet::ThreadPool* pool) {
        facet::MeshReadOptions options;
        options.pool = pool;
        facet::Mesh* mesh = nullptr;
        facet::MeshFileSummary summary;
        Outcome outcome;
        outcome.result = facet::ReadMeshBytes(device(), "grid", format, text.data(), text.size(), options, &mesh,
                                              &summary, &outcome.error);
        return Describe(mesh, summary, std::move(outcome));
    }

    // Reads `text` from a file named by `extension`, which is mapped: the chunks let go of
    // its pages as they pass them, and those must read back as they were.
    Outcome ReadMapped(const std::string& text, const std::string& extension, facet::ThreadPool* pool) {
        const std::string path = testing::TempDir() + "chunked-" + std::to_string(getpid()) + extension;
        std::ofstream(path, std::ios::binary) << text;
        facet::MeshReadOptions options;
        options.pool = pool;
        facet::Mesh* mesh = nullptr;
        facet::MeshFileSummary summary;
        Outcome outcome;
        outcome.result = facet::ReadMeshFile(device(), path.c_str(), options, &mesh, &summary, &outcome.error);
        std::remove(path.c_str());
        return Describe(mesh, summary, std::move(outcome));
    }

    Outcome Describe(facet::Mesh* mesh, const facet::MeshFileSummary& summary, Outcome outcome) {
        if (mesh == nullptr) return outcome;
        geometry_test::MeshPtr held(mesh);
        outcome.fvf = mesh->VertexFormat();
        outcome.options = mesh->Options();
        void* bytes = nullptr;
        EXPECT_EQ(mesh->LockVertices(D3DLOCK_READONLY, &bytes), D3D_OK);
        const auto* vertexBytes = static_cast<const BYTE*>(bytes);
        outcome.vertices.assign(vertexBytes, vertexBytes + std::size_t{mesh->VertexCount()} * mesh->VertexStride());
        mesh->UnlockVertices();
        EXPECT_EQ(mesh->LockIndices(D3DLOCK_READONLY, &bytes), D3D_OK);
        const std::size_t indexBytes = (mesh->Options() & facet::MeshOptions::Indices32Bit) != 0 ? 4 : 2;
        const auto* indexStart = static_cast<const BYTE*>(bytes);
        outcome.indices.assign(indexStart, indexStart + 3 * std::size_t{mesh->FaceCount()} * indexBytes);
        mesh->UnlockIndices();
        const auto number = [](float value) {
            std::uint32_t bits = 0;
            std::memcpy(&bits, &value, sizeof bits);
            return std::to_string(bits);
        };
        outcome.summary = {std::to_string(summary.polygons),          std::to_string(summary.splitPolygons),
                           std::to_string(summary.nonConvexPolygons), std::to_string(summary.vertices),
                           std::to_string(summary.splitVertices),
                           std::to_string(static_cast<int>(summary.encoding))};
        for (int axis = 0; axis < 3; ++axis) {
            outcome.summary.push_back(number(summary.minimum[axis]));
            outcome.summary.push_back(number(summary.maximum[axis]));
        }
        return outcome;
    }

    // Reads `text` on one thread and at 2 and 7 threads; expects the same outcome from all
    // and returns the one-thread outcome.
    Outcome ExpectSameOnEveryThreadCount(const std::string& text, MeshFileFormat format, const std::string& what) {
        EXPECT_GE(text.size(), facet::kParallelTextBytes) << what << ": too small to be read in chunks";
        const Outcome alone = Read(text, format, nullptr);
        for (const unsigned threads : kThreadCounts) {
            facet::ThreadPool pool(threads);
            const Outcome spread = Read(text, format, &pool);
            EXPECT_EQ(spread.result, alone.result) << what << " at " << threads << " threads";
            EXPECT_EQ(spread.error, alone.error) << what << " at " << threads << " threads";
            EXPECT_TRUE(spread == alone) << what << " at " << threads << " threads: the mesh or summary differs";
        }
        return alone;
    }

    // The line number in a refusal "grid: line N: why".
    static unsigned long LineOf(const std::string& error) {
        const std::size_t at = error.find(": line ");
        return at == std::string::npos ? 0 : std::stoul(error.substr(at + 7));
    }
};

TEST(TextChunksTest, CutsFallJustPastLineFeeds) {
    const std::string text = "aa\nbbbb\r\ncc\rdddddddd\n\nee";
    const std::vector<std::size_t> bounds = facet::ChunksAtLineEnds(text.data(), 1, text.size(), 4);
    ASSERT_EQ(bounds.size(), 5u);
    EXPECT_EQ(bounds.front(), 1u);
    EXPECT_EQ(bounds.back(), text.size());
    for (std::size_t part = 1; part < 4; ++part) {
        EXPECT_LE(bounds[part - 1], bounds[part]);
        EXPECT_TRUE(bounds[part] == text.size() || text[bounds[part] - 1] == '\n') << part;
    }
    // No line feed after the target: the chunk runs to the end and those after it are empty.
    const std::string oneLine = "a b c d e f g h\r i j k";
    const std::vector<std::size_t> lone = facet::ChunksAtLineEnds(oneLine.data(), 0, oneLine.size(), 3);
    EXPECT_EQ(lone, (std::vector<std::size_t>{0, oneLine.size(), oneLine.size(), oneLine.size()}));
}

TEST(TextChunksTest, SmallBodiesAndSingleThreadsStayOnTheCaller) {
    facet::ThreadPool one(1), two(2);
    EXPECT_EQ(facet::TextChunkCount(nullptr, std::size_t{1} << 30), 1u);
    EXPECT_EQ(facet::TextChunkCount(&one, std::size_t{1} << 30), 1u);
    EXPECT_EQ(facet::TextChunkCount(&two, facet::kParallelTextBytes - 1), 1u);
    EXPECT_GE(facet::TextChunkCount(&two, facet::kParallelTextBytes), 2u);
}

TEST_F(ChunkedTextReadingTest, OffVariantsReadAlikeOnEveryThreadCount) {
    TextGrid plain;
    const Outcome read = ExpectSameOnEveryThreadCount(OffText(plain, "OFF"), MeshFileFormat::Off, "OFF");
    ASSERT_EQ(read.result, D3D_OK) << read.error;
    TextGrid withNormals;
    withNormals.side = 260;
    withNormals.vertexSuffix = " 0 0.6 -0.8 0.25 0.75";
    const Outcome normals = ExpectSameOnEveryThreadCount(OffText(withNormals, "STNOFF"), MeshFileFormat::Off, "STNOFF");
    ASSERT_EQ(normals.result, D3D_OK) << normals.error;
    withNormals.vertexSuffix = " 0 0.6 -0.8 10 20 30";
    const Outcome colours = ExpectSameOnEveryThreadCount(OffText(withNormals, "CNOFF"), MeshFileFormat::Off, "CNOFF");
    ASSERT_EQ(colours.result, D3D_OK) << colours.error;
}

// Colours are bytes while every colour so far is whole numbers, and floats from the first
// that is not (those before it then scaled to 0 to 1): the chunks must agree with a single
// read wherever that first one falls, with colours of three and four values mixed.
TEST_F(ChunkedTextReadingTest, OffColoursAreBytesOrFloatsAsInASingleRead) {
    const TextGrid grid;
    const std::vector<std::string> faces = grid.FaceLines();
    const std::size_t vertices = std::size_t{grid.side} * grid.side;
    const auto colouredOff = [&](std::size_t firstFloat) {
        std::vector<std::string> lines = grid.VertexLines();
        for (std::size_t v = 0; v < vertices; ++v) {
            const std::string alpha = v % 3 == 0 ? " 128" : "";
            lines[v] += v == firstFloat ? " 0.5 1 0.25" + alpha
                                        : " " + std::to_string(v % 256) + " 7 " + std::to_string(255 - v % 200) + alpha;
        }
        return "COFF\n" + std::to_string(vertices) + " " + std::to_string(faces.size()) + " 0\n" + Body(lines, true) +
               Body(faces, true);
    };
    const Outcome bytes = ExpectSameOnEveryThreadCount(colouredOff(vertices), MeshFileFormat::Off, "whole colours");
    ASSERT_EQ(bytes.result, D3D_OK) << bytes.error;
    for (const std::size_t firstFloat : {std::size_t{5}, vertices / 2 + 17, vertices - 1}) {
        const Outcome floats = ExpectSameOnEveryThreadCount(colouredOff(firstFloat), MeshFileFormat::Off,
                                                            "first float colour at " + std::to_string(firstFloat));
        ASSERT_EQ(floats.result, D3D_OK) << floats.error;
        EXPECT_NE(floats.fvf, bytes.fvf) << "float colours are kept as floats";
    }
}

TEST_F(ChunkedTextReadingTest, OffRefusalsNameTheLineOfASingleRead) {
    const TextGrid grid;
    const std::string good = OffText(grid, "OFF");
    // The line that starts after `where` of `text` gives way to `line`.
    const auto replaced = [](const std::string& text, double where, const std::string& line) {
        const std::size_t start = text.find('\n', static_cast<std::size_t>(where * text.size())) + 1;
        const std::size_t end = text.find_first_of("\r\n", start);
        return text.substr(0, start) + line + text.substr(end);
    };
    // Counts that claim every line for a vertex, and more.
    const std::size_t vertices = grid.VertexLines().size(), faces = grid.FaceLines().size();
    const std::string counts = std::to_string(vertices) + " " + std::to_string(faces) + " 0";
    std::string tooManyVertices = good;
    tooManyVertices.replace(good.find(counts), counts.size(),
                            std::to_string(vertices + faces + 5) + " " + std::to_string(faces) + " 0");
    struct Case {
        std::string text;
        const char* why;
    };
    const Case cases[] = {
        {replaced(good, 0.02, "1 2 nope"), "is not a finite number"},   // in the first chunk
        {replaced(good, 0.30, "1 2"), "needs 3 values"},                // a vertex past the first chunk at 7 threads
        {replaced(good, 0.93, "3 1 2 999999999"), "names no vertex"},  // a face in the last chunk
        {replaced(good, 0.93, "2 1 2"), "at least three corners"},
        // Two faults: the earlier one is the one reported.
        {replaced(replaced(good, 0.80, "3 1 2 -4"), 0.10, "x 1 2"), "coordinate 'x'"},
        {good.substr(0, good.size() - 4000), "ends before its last face"},
        {tooManyVertices, "ends before its last vertex"},
    };
    for (const Case& fault : cases) {
        const Outcome read = ExpectSameOnEveryThreadCount(fault.text, MeshFileFormat::Off, fault.why);
        EXPECT_EQ(read.result, D3DERR_INVALIDCALL) << fault.why;
        EXPECT_NE(read.error.find(fault.why), std::string::npos) << read.error;
        EXPECT_GT(LineOf(read.error), 0u) << read.error;
    }
    // The last one is refused at the file's last line, well past any first chunk.
    const Outcome late = Read(cases[5].text, MeshFileFormat::Off, nullptr);
    EXPECT_GT(LineOf(late.error), 200000u) << late.error;
}

TEST_F(ChunkedTextReadingTest, RealOffMeshesReadAlikeOnEveryThreadCount) {
    const packaged_meshes::Extracted& meshes = packaged_meshes::Meshes();
    if (meshes.Path(packaged_meshes::Names()[0]).empty()) GTEST_SKIP() << "libcgal-demo is not installed";
    for (const std::string& name : packaged_meshes::Names()) {
        std::ifstream file(meshes.Path(name), std::ios::binary);
        std::ostringstream bytes;
        bytes << file.rdbuf();
        // Comments after the last face take the file past the size read in chunks; the
        // mesh's own lines fill the first chunks.
        std::string text = bytes.str();
        while (text.size() < facet::kParallelTextBytes) text += "# padding after the mesh\n";
        const Outcome read = ExpectSameOnEveryThreadCount(text, MeshFileFormat::Off, name);
        EXPECT_EQ(read.result, D3D_OK) << name << ": " << read.error;
    }
}

TEST_F(ChunkedTextReadingTest, AsciiPlyReadsAlikeOnEveryThreadCount) {
    const Outcome plain = ExpectSameOnEveryThreadCount(PlyText(TextGrid{}, ""), MeshFileFormat::Ply, "PLY");
    ASSERT_EQ(plain.result, D3D_OK) << plain.error;
    TextGrid rich;
    rich.side = 260;
    rich.vertexSuffix = " 0 0.6 -0.8 10 200 30 0.25 0.75";
    const Outcome read = ExpectSameOnEveryThreadCount(
        PlyText(rich, "property float nx\nproperty float ny\nproperty float nz\nproperty uchar red\nproperty "
                      "uchar green\nproperty uchar blue\nproperty float u\nproperty float v\n"),
        MeshFileFormat::Ply, "PLY with normals, colours and texture coordinates");
    ASSERT_EQ(read.result, D3D_OK) << read.error;
    const Outcome withEmpty = ExpectSameOnEveryThreadCount(PlyText(TextGrid{}, "", true), MeshFileFormat::Ply,
                                                           "PLY with elements without properties");
    ASSERT_EQ(withEmpty.result, D3D_OK) << withEmpty.error;
    EXPECT_TRUE(withEmpty == plain) << "elements without properties add nothing";
}

// The faults sit in the vertices, the faces and the edges, behind elements without
// properties, whose records take no line.
TEST_F(ChunkedTextReadingTest, AsciiPlyRefusalsNameTheLineOfASingleRead) {
    TextGrid grid;
    grid.vertexSuffix = " 7";
    const std::string good = PlyText(grid, "property uchar quality\n", true);
    const auto replaced = [&](double where, const std::string& line) {
        const std::size_t start = good.find('\n', static_cast<std::size_t>(where * good.size())) + 1;
        return good.substr(0, start) + line + good.substr(good.find_first_of("\r\n", start));
    };
    const struct {
        std::string text;
        const char* why;
    } cases[] = {
        {replaced(0.05, "1 2 3 256"), "does not fit the declared type 'uchar'"},
        {replaced(0.35, "1 2 3 4 5"), "unexpected '5' after the element"},
        {replaced(0.90, "3 1 2"), "the element ends early"},
        {good.substr(0, good.size() - 2000), "the file ends inside an element"},
    };
    for (const auto& fault : cases) {
        const Outcome read = ExpectSameOnEveryThreadCount(fault.text, MeshFileFormat::Ply, fault.why);
        EXPECT_EQ(read.result, D3DERR_INVALIDCALL) << fault.why;
        EXPECT_NE(read.error.find(fault.why), std::string::npos) << read.error;
        EXPECT_GT(LineOf(read.error), 1000u) << read.error;
    }
}

TEST(TextChunksTest, CutsFollowNoContinuedLine) {
    const std::string text = "f 1 2 \\\n3\nf 1 \\\r\n2 3\nf 4 5 6\n";
    for (std::size_t parts = 2; parts <= 6; ++parts)
        for (const std::size_t bound : facet::ChunksAtLineEnds(text.data(), 0, text.size(), parts, true))
            EXPECT_TRUE(bound == 0 || bound == 10 || bound == 21 || bound == text.size()) << parts << ": " << bound;
}

TEST_F(ChunkedTextReadingTest, ObjReadsAlikeOnEveryThreadCount) {
    const TextGrid grid;
    const Outcome plain = ExpectSameOnEveryThreadCount(ObjText(grid, false, false), MeshFileFormat::Obj, "OBJ");
    ASSERT_EQ(plain.result, D3D_OK) << plain.error;
    // Colours that appear only near the end give every vertex one.
    const Outcome colored = ExpectSameOnEveryThreadCount(ObjText(grid, false, true), MeshFileFormat::Obj, "colours");
    ASSERT_EQ(colored.result, D3D_OK) << colored.error;
    EXPECT_NE(colored.fvf, plain.fvf);
    // Corners naming texture coordinates and normals split vertices.
    const Outcome split = ExpectSameOnEveryThreadCount(ObjText(grid, true, false), MeshFileFormat::Obj, "split");
    ASSERT_EQ(split.result, D3D_OK) << split.error;
    EXPECT_NE(split.summary, plain.summary);
}

// A real file whose every corner names a texture coordinate and normal, its body repeated
// past the chunked size: copies with their own vertices; copies whose faces name the first
// copy's vertices with other data (so those are split in later chunks, numbered after
// every vertex of the file); and faces naming nothing on vertices used with data before.
TEST_F(ChunkedTextReadingTest, RealObjWithCornerDataReadsAlikeOnEveryThreadCount) {
    const char* root = std::getenv("SPRINGDROP_SOURCE_DIR");
    std::ifstream file(std::string(root != nullptr ? root : ".") + "/tests/data/obj/spider.obj");
    ASSERT_TRUE(file.good()) << "tests/data/obj/spider.obj (set SPRINGDROP_SOURCE_DIR to the source tree)";
    std::vector<std::string> lines;
    unsigned vertices = 0, coordinates = 0, normals = 0;
    for (std::string line; std::getline(file, line);) {
        vertices += line.rfind("v ", 0) == 0;
        coordinates += line.rfind("vt ", 0) == 0;
        normals += line.rfind("vn ", 0) == 0;
        lines.push_back(line);
    }
    std::string text;
    for (unsigned copy = 0; text.size() < facet::kParallelTextBytes + 200000; ++copy) {
        // Every third copy names the first copy's vertices; every seventh names no data.
        const unsigned vertexBase = copy % 3 == 2 ? 0 : copy * vertices;
        const bool named = copy % 7 != 6;
        for (const std::string& line : lines) {
            if (line.rfind("f ", 0) != 0) {
                text += line + "\n";
                continue;
            }
            std::istringstream corners(line.substr(2));
            std::string out = "f";
            for (std::string corner; corners >> corner;) {
                unsigned v = 0, t = 0, n = 0;
                ASSERT_EQ(std::sscanf(corner.c_str(), "%u/%u/%u", &v, &t, &n), 3) << corner;
                out += " " + std::to_string(v + vertexBase);
                if (named)
                    out += "/" + std::to_string(t + copy * coordinates) + "/" + std::to_string(n + copy * normals);
            }
            text += out + "\n";
        }
    }
    const Outcome read = ExpectSameOnEveryThreadCount(text, MeshFileFormat::Obj, "spider.obj repeated");
    ASSERT_EQ(read.result, D3D_OK) << read.error;
    EXPECT_GT(std::stoul(read.summary[4]), 1000u) << "split vertices";
}

TEST_F(ChunkedTextReadingTest, ObjRefusalsNameTheLineOfASingleRead) {
    const std::string good = ObjText(TextGrid{}, false, false);
    const auto replaced = [&](double where, const std::string& line) {
        const std::size_t start = good.find("\nf ", static_cast<std::size_t>(where * good.size())) + 1;
        return good.substr(0, start) + line + good.substr(good.find_first_of("\r\n", start));
    };
    std::string noFaces;
    while (noFaces.size() < facet::kParallelTextBytes) noFaces += "v 1 2 3\nvn 0 0 1 \\\n\n# end\n";
    const struct {
        std::string text;
        const char* why;
    } cases[] = {
        {replaced(0.7, "f -1 -2 -99999999"), "names no vertex"},
        {replaced(0.4, "f 1 2 3 4 5\x01"), "does not belong in a text file"},
        {replaced(0.9, "f 1 2 3/99999999"), "names no texture coordinate"},
        {noFaces, "the file holds no faces"},
    };
    for (const auto& fault : cases) {
        const Outcome read = ExpectSameOnEveryThreadCount(fault.text, MeshFileFormat::Obj, fault.why);
        EXPECT_EQ(read.result, D3DERR_INVALIDCALL) << fault.why;
        EXPECT_NE(read.error.find(fault.why), std::string::npos) << read.error;
        EXPECT_GT(LineOf(read.error), 1000u) << read.error;
    }
}

TEST_F(ChunkedTextReadingTest, StlTextReadsAlikeOnEveryThreadCount) {
    const Outcome oneSolid = ExpectSameOnEveryThreadCount(StlText(120, 1u << 30), MeshFileFormat::Stl, "one solid");
    ASSERT_EQ(oneSolid.result, D3D_OK) << oneSolid.error;
    EXPECT_EQ(oneSolid.summary[0], "28800");
    // A cut before a solid's name starts its chunk on the facet the name reads as: the
    // chunks then disagree, and the read must still be the single read's.
    const Outcome solids = ExpectSameOnEveryThreadCount(StlText(120, 2), MeshFileFormat::Stl, "two facets a solid");
    ASSERT_EQ(solids.result, D3D_OK) << solids.error;
    EXPECT_TRUE(solids == oneSolid) << "solids only group the facets";
    // A name of a megabyte: the first chunk holds few facets for its size, so the joining's
    // table, sized from it, must grow; later chunks may start after the name's line only.
    std::string longName = StlText(120, 1u << 30);
    longName.insert(std::string("solid ").size(), std::string(std::size_t{1} << 20, 'x') + " ");
    const Outcome named = ExpectSameOnEveryThreadCount(longName, MeshFileFormat::Stl, "a long name");
    EXPECT_TRUE(named == oneSolid) << "a name adds nothing";
}

// Real files (one cut from a program's output, one written by hand), each a whole solid,
// one after the other past the chunked size.
TEST_F(ChunkedTextReadingTest, RealStlTextReadsAlikeOnEveryThreadCount) {
    const char* root = std::getenv("SPRINGDROP_SOURCE_DIR");
    std::string pieces[2];
    const char* names[2] = {"import.stl", "cube2.stl"};
    for (int k = 0; k < 2; ++k) {
        std::ifstream file(std::string(root != nullptr ? root : ".") + "/tests/data/stl/" + names[k], std::ios::binary);
        ASSERT_TRUE(file.good()) << names[k] << " (set SPRINGDROP_SOURCE_DIR to the source tree)";
        std::ostringstream bytes;
        bytes << file.rdbuf();
        pieces[k] = bytes.str();
    }
    std::string text;
    for (unsigned copy = 0; text.size() < facet::kParallelTextBytes + 100000; ++copy) text += pieces[copy % 3 == 2];
    const Outcome read = ExpectSameOnEveryThreadCount(text, MeshFileFormat::Stl, "import.stl and cube2.stl repeated");
    ASSERT_EQ(read.result, D3D_OK) << read.error;
}

TEST_F(ChunkedTextReadingTest, StlTextRefusalsNameTheLineOfASingleRead) {
    const std::string good = StlText(120, 1000);
    // The first line of `keyword` past `where` of the text gives way to `line`.
    const auto replaced = [&](const std::string& text, double where, const std::string& line,
                              const std::string& keyword = "vertex") {
        const std::size_t start = text.find("  " + keyword, static_cast<std::size_t>(where * text.size())) + 2;
        return text.substr(0, start) + line + text.substr(text.find_first_of("\r\n", start));
    };
    const struct {
        std::string text;
        const char* why;
    } cases[] = {
        {replaced(good, 0.02, "vertex 1 2 nope"), "coordinate 'nope' is not a finite number"},
        {replaced(good, 0.45, "vertex 1 2 3 4"), "should stand here, not '4'"},
        {replaced(good, 0.93, "vertex 1 2 3\x01"), "does not belong in a text file"},
        {replaced(good, 0.60, "endfacet endsolid x\nsolids", "endfacet"),
         "'solid' or the end of the file should follow 'endsolid', not 'solids'"},
        // Two faults: the earlier one is the one reported.
        {replaced(replaced(good, 0.8, "vertex 1 2 inf"), 0.3, "vertex 1 2 nan"), "coordinate 'nan'"},
        {good.substr(0, good.size() - 3000), "the file ends"},
    };
    for (const auto& fault : cases) {
        const Outcome read = ExpectSameOnEveryThreadCount(fault.text, MeshFileFormat::Stl, fault.why);
        EXPECT_EQ(read.result, D3DERR_INVALIDCALL) << fault.why;
        EXPECT_NE(read.error.find(fault.why), std::string::npos) << read.error;
        EXPECT_GT(LineOf(read.error), 1000u) << read.error;
    }
    std::string noFaces;
    while (noFaces.size() < facet::kParallelTextBytes) noFaces += "solid facet\nendsolid facet\n";
    const Outcome empty = ExpectSameOnEveryThreadCount(noFaces, MeshFileFormat::Stl, "empty solids");
    EXPECT_NE(empty.error.find("the file holds no faces"), std::string::npos) << empty.error;
}

// A mapped file's pages are let go of chunk by chunk; a chunk reads on into the next one's
// bytes, and a disagreement reads the whole file again: all of it must read back alike.
TEST_F(ChunkedTextReadingTest, MappedFilesReadAlikeAfterTheirPagesAreLetGo) {
    const TextGrid grid;
    const struct {
        std::string text;
        MeshFileFormat format;
        const char* extension;
    } files[] = {{ObjText(grid, false, false), MeshFileFormat::Obj, ".obj"},
                 {OffText(grid, "OFF"), MeshFileFormat::Off, ".off"},
                 {PlyText(grid, ""), MeshFileFormat::Ply, ".ply"},
                 {StlText(120, 2), MeshFileFormat::Stl, ".stl"}};
    facet::ThreadPool pool(7);
    for (const auto& file : files) {
        const Outcome inMemory = Read(file.text, file.format, nullptr);
        ASSERT_EQ(inMemory.result, D3D_OK) << file.extension << ": " << inMemory.error;
        const Outcome mapped = ReadMapped(file.text, file.extension, &pool);
        EXPECT_EQ(mapped.result, D3D_OK) << file.extension << ": " << mapped.error;
        EXPECT_TRUE(mapped == inMemory) << file.extension;
    }
}

}  // namespace
