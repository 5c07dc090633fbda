// The fast ways through the readers give what the careful ones give. Binary PLY in its
// common layouts is copied in bulk (and, when it needs 32-bit indices, straight into the
// mesh's buffers); big-endian PLY of the same records is read value by value, so every
// little-endian file here is read beside its big-endian twin and both must give the same
// mesh, summary or refusal. Text numbers go through a fast float parser that must agree
// with the standard one, and lines through a scanner that looks at eight bytes at a time.
#include "facet/mesh_file.h"
#include "facet/thread_pool.h"
#include "geometry/text_scanner.h"
#include "geometry_test_support.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using facet::MeshFileFormat;

// A PLY file's vertices and polygons, written with either byte order.
struct PlyRecords {
    std::vector<float> positions;
    std::vector<std::vector<std::int64_t>> faces;
    bool extraProperties = false;  // a uchar before x and a float after z, passed over
    const char* countType = "uchar";
    const char* indexType = "int";

    std::string Encode(bool bigEndian) const {
        std::string bytes = std::string("ply\nformat ") + (bigEndian ? "binary_big_endian" : "binary_little_endian") +
                            // The comments make both headers as long, so refusals name the same bytes.
                            (bigEndian ? " 1.0\ncomment abcd\n" : " 1.0\ncomment a\n") + "element vertex " +
                            std::to_string(positions.size() / 3) + "\n" +
                            (extraProperties ? "property uchar flags\n" : "") +
                            "property float x\nproperty float y\nproperty float z\n" +
                            (extraProperties ? "property float quality\n" : "") + "element face " +
                            std::to_string(faces.size()) + "\nproperty list " + countType + " " + indexType +
                            " vertex_indices\nend_header\n";
        const auto put = [&](const void* value, std::size_t size) {
            char raw[8];
            std::memcpy(raw, value, size);
            if (bigEndian) std::reverse(raw, raw + size);
            bytes.append(raw, size);
        };
        for (std::size_t v = 0; v < positions.size() / 3; ++v) {
            const std::uint8_t flags = 7;
            const float quality = 0.5f;
            if (extraProperties) put(&flags, 1);
            put(&positions[3 * v], 4);
            put(&positions[3 * v + 1], 4);
            put(&positions[3 * v + 2], 4);
            if (extraProperties) put(&quality, 4);
        }
        const std::size_t countBytes = std::string(countType) == "uchar" ? 1 : 4;
        for (const auto& face : faces) {
            const auto count = static_cast<std::uint32_t>(face.size());
            put(&count, countBytes);
            for (const std::int64_t corner : face) {
                const auto index = static_cast<std::uint32_t>(corner);
                put(&index, 4);
            }
        }
        return bytes;
    }
};

// A grid of `side` x `side` vertices and its triangles, corners shuffled apart.
PlyRecords Grid(std::uint32_t side) {
    PlyRecords records;
    for (std::uint32_t y = 0; y < side; ++y)
        for (std::uint32_t x = 0; x < side; ++x)
            records.positions.insert(records.positions.end(), {x * 0.25f, y * -0.5f, (x ^ y) * 1e-3f});
    for (std::uint32_t y = 0; y + 1 < side; ++y)
        for (std::uint32_t x = 0; x + 1 < side; ++x) {
            const std::int64_t a = y * side + x, b = a + 1, c = a + side, d = c + 1;
            records.faces.push_back({a, b, d});
            records.faces.push_back({a, d, c});
        }
    std::shuffle(records.faces.begin(), records.faces.end(), std::mt19937(5));
    return records;
}

class BulkReadingTest : public geometry_test::DeviceTest {
protected:
    struct Read {
        HRESULT result = E_FAIL;
        std::vector<float> positions;
        std::vector<std::uint32_t> corners;
        facet::MeshFileSummary summary;
        std::string error;
        bool wide = false;
    };

    static Read Contents(HRESULT result, facet::Mesh* mesh, const facet::MeshFileSummary& summary,
                         const std::string& error) {
        Read read;
        read.result = result;
        read.summary = summary;
        read.error = error;
        if (mesh == nullptr) return read;
        void* bytes = nullptr;
        EXPECT_EQ(mesh->LockVertices(D3DLOCK_READONLY, &bytes), D3D_OK);
        for (DWORD v = 0; v < mesh->VertexCount(); ++v) {
            const auto* vertex = reinterpret_cast<const float*>(static_cast<const BYTE*>(bytes) + v * mesh->VertexStride());
            read.positions.insert(read.positions.end(), vertex, vertex + 3);
        }
        mesh->UnlockVertices();
        read.wide = (mesh->Options() & facet::MeshOptions::Indices32Bit) != 0;
        EXPECT_EQ(mesh->LockIndices(D3DLOCK_READONLY, &bytes), D3D_OK);
        for (DWORD i = 0; i < 3 * mesh->FaceCount(); ++i)
            read.corners.push_back(read.wide ? static_cast<const DWORD*>(bytes)[i] : static_cast<const WORD*>(bytes)[i]);
        mesh->UnlockIndices();
        mesh->Release();
        return read;
    }

    Read ReadBytes(const std::string& bytes, facet::ThreadPool* pool = nullptr) {
        facet::Mesh* mesh = nullptr;
        facet::MeshFileSummary summary;
        std::string error;
        facet::MeshReadOptions options;
        options.pool = pool;
        const HRESULT result = facet::ReadMeshBytes(device(), "mesh.ply", MeshFileFormat::Ply, bytes.data(),
                                                    bytes.size(), options, &mesh, &summary, &error);
        return Contents(result, mesh, summary, error);
    }

    // Through a file, so the input is mapped and its pages are let go while reading.
    Read ReadFile(const std::string& bytes) {
        const std::string path =
            (std::filesystem::temp_directory_path() / ("bulk-reading-" + std::to_string(getpid()) + ".ply")).string();
        std::FILE* file = std::fopen(path.c_str(), "wb");
        EXPECT_NE(file, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
        facet::Mesh* mesh = nullptr;
        facet::MeshFileSummary summary;
        std::string error;
        const HRESULT result = facet::ReadMeshFile(device(), path.c_str(), {}, &mesh, &summary, &error);
        std::remove(path.c_str());
        Read read = Contents(result, mesh, summary, error);
        // The error names the path; the twin comparison wants the name ReadBytes gives.
        if (read.error.rfind(path, 0) == 0) read.error = "mesh.ply" + read.error.substr(path.size());
        return read;
    }

    // Reads the file in little-endian (bulk) and big-endian (value by value) order and
    // expects the same outcome from both; returns the little-endian one.
    Read ExpectTwinsAgree(const PlyRecords& records, const std::string& what, bool viaFile = false) {
        const std::string little = records.Encode(false), big = records.Encode(true);
        const Read fast = viaFile ? ReadFile(little) : ReadBytes(little);
        const Read careful = ReadBytes(big);
        EXPECT_EQ(fast.result, careful.result) << what;
        EXPECT_EQ(fast.error, careful.error) << what;
        EXPECT_EQ(fast.positions, careful.positions) << what;
        EXPECT_EQ(fast.corners, careful.corners) << what;
        EXPECT_EQ(fast.wide, careful.wide) << what;
        const facet::MeshFileSummary& a = fast.summary;
        const facet::MeshFileSummary& b = careful.summary;
        EXPECT_EQ(a.polygons, b.polygons) << what;
        EXPECT_EQ(a.splitPolygons, b.splitPolygons) << what;
        EXPECT_EQ(a.nonConvexPolygons, b.nonConvexPolygons) << what;
        EXPECT_EQ(a.vertices, b.vertices) << what;
        for (int axis = 0; axis < 3; ++axis) {
            EXPECT_EQ(std::signbit(a.minimum[axis]), std::signbit(b.minimum[axis])) << what;
            EXPECT_EQ(a.minimum[axis], b.minimum[axis]) << what;
            EXPECT_EQ(std::signbit(a.maximum[axis]), std::signbit(b.maximum[axis])) << what;
            EXPECT_EQ(a.maximum[axis], b.maximum[axis]) << what;
        }
        return fast;
    }
};

TEST_F(BulkReadingTest, EveryLayoutAndWidthReadsAsTheValueByValueReader) {
    // 300 x 300 vertices take 32-bit indices, so those files go straight into the mesh.
    for (const std::uint32_t side : {20u, 300u})
        for (const bool extra : {false, true})
            for (const char* countType : {"uchar", "int"})
                for (const char* indexType : {"int", "uint"}) {
                    PlyRecords records = Grid(side);
                    records.extraProperties = extra;
                    records.countType = countType;
                    records.indexType = indexType;
                    const std::string what = std::to_string(side) + (extra ? " extra " : " ") + countType + " " +
                                             indexType;
                    const Read read = ExpectTwinsAgree(records, what);
                    ASSERT_EQ(read.result, D3D_OK) << what << ": " << read.error;
                    EXPECT_EQ(read.corners.size(), 3 * records.faces.size()) << what;
                    EXPECT_EQ(read.wide, side == 300u) << what;
                }
    const Read mapped = ExpectTwinsAgree(Grid(300), "through a mapped file", true);
    EXPECT_EQ(mapped.result, D3D_OK) << mapped.error;
}

TEST_F(BulkReadingTest, PolygonsAndSignedZerosPartWayThroughARunReadAsBefore) {
    PlyRecords records = Grid(300);
    // A quad and a pentagon inside the second run of records, beyond the first: the bulk
    // copy stops there and the record reader fans them, then the bulk copy goes on.
    records.faces[300] = {0, 1, 301, 300};
    records.faces[301] = {1, 2, 302, 301, 601};
    // The bounds' signed zeros are those of the first vertex at the bound.
    records.positions[3 * 5 + 2] = -0.0f;
    records.positions[2] = 0.0f;
    records.positions[1] = -0.0f;
    const Read read = ExpectTwinsAgree(records, "polygons");
    ASSERT_EQ(read.result, D3D_OK) << read.error;
    EXPECT_EQ(read.summary.splitPolygons, 2u);
    EXPECT_EQ(read.corners.size(), 3 * (records.faces.size() + 1 + 2));
    EXPECT_FALSE(std::signbit(read.summary.minimum[2]));
    EXPECT_TRUE(std::signbit(read.summary.maximum[1]));
}

TEST_F(BulkReadingTest, RefusalsDeepInTheRecordsNameTheSameByte) {
    const auto refused = [&](PlyRecords records, const std::string& what, const std::string& why) {
        const Read read = ExpectTwinsAgree(records, what);
        EXPECT_EQ(read.result, D3DERR_INVALIDCALL) << what;
        EXPECT_NE(read.error.find(why), std::string::npos) << what << ": " << read.error;
        EXPECT_EQ(read.error.rfind("mesh.ply: byte ", 0), 0u) << what << ": " << read.error;
    };
    PlyRecords records = Grid(300);
    records.positions[3 * 70000 + 1] = std::nanf("");
    refused(records, "NaN", "is not a finite float");
    records = Grid(300);
    records.positions[3 * 80000] = INFINITY;
    records.extraProperties = true;
    refused(records, "infinity", "is not a finite float");
    records = Grid(300);
    records.faces[70000][2] = 90000;
    refused(records, "index past the vertices", "names no vertex");
    records.faces[70000][2] = -1;
    refused(records, "negative index", "names no vertex");
    records = Grid(300);
    records.faces[70001] = {1, 2};
    refused(records, "two corners", "at least three corners");
    // Cut inside the faces (the bulk copy stops at the last whole record and the record
    // reader finds the cut) and inside the vertices (the header's counts are refused).
    records = Grid(300);
    for (const std::size_t cut : {records.Encode(false).size() - 5, std::size_t{2000}}) {
        const std::string little = records.Encode(false).substr(0, cut), big = records.Encode(true).substr(0, cut);
        const Read fast = ReadBytes(little), careful = ReadBytes(big);
        EXPECT_EQ(fast.result, D3DERR_INVALIDCALL);
        EXPECT_EQ(fast.error, careful.error);
    }
}

TEST_F(BulkReadingTest, EveryThreadCountGivesTheSameMeshAndRefusal) {
    // 490000 vertices and some 976000 triangles: several parts of records on seven threads.
    PlyRecords records = Grid(700);
    PlyRecords refused = records;
    refused.faces[900000][1] = 490000;
    const std::string good = records.Encode(false), bad = refused.Encode(false);
    const Read alone = ReadBytes(good), badAlone = ReadBytes(bad);
    ASSERT_EQ(alone.result, D3D_OK) << alone.error;
    ASSERT_EQ(badAlone.result, D3DERR_INVALIDCALL);
    for (const unsigned threads : {1u, 2u, 7u}) {
        facet::ThreadPool pool(threads);
        const Read read = ReadBytes(good, &pool);
        EXPECT_EQ(read.result, D3D_OK) << threads;
        EXPECT_EQ(read.positions, alone.positions) << threads;
        EXPECT_EQ(read.corners, alone.corners) << threads;
        EXPECT_EQ(read.summary.polygons, alone.summary.polygons) << threads;
        EXPECT_EQ(std::memcmp(read.summary.minimum, alone.summary.minimum, sizeof alone.summary.minimum), 0) << threads;
        EXPECT_EQ(std::memcmp(read.summary.maximum, alone.summary.maximum, sizeof alone.summary.maximum), 0) << threads;
        EXPECT_EQ(ReadBytes(bad, &pool).error, badAlone.error) << threads;
    }
}

// The standard parser with the reader's rules: a plus sign before a digit or point, a
// value too small for a float taken as a double and then as a float, a value too large or
// not finite refused.
bool StandardFloat(std::string_view word, float* value) {
    if (!word.empty() && word.front() == '+') {
        word.remove_prefix(1);
        if (word.empty() || word.front() == '-') return false;
    }
    const char* end = word.data() + word.size();
    float parsed = 0.0f;
    std::from_chars_result found = std::from_chars(word.data(), end, parsed);
    if (found.ec == std::errc::result_out_of_range) {
        double wide = 0.0;
        found = std::from_chars(word.data(), end, wide);
        if (found.ec != std::errc() || std::fabs(wide) > 1.0) return false;
        parsed = static_cast<float>(wide);
    }
    if (found.ec != std::errc() || found.ptr != end || !std::isfinite(parsed)) return false;
    *value = parsed;
    return true;
}

TEST(TextNumbers, TheFastFloatParserAgreesWithTheStandardOneBitForBit) {
    std::vector<std::string> words = {"0", "-0", "+0", "0.000", "-0e7", "0e-999", "1e-40", "-1e-45", "1e-46",
                                      "1e-50", "1.17549435e-38", "1.1754942e-38", "3.4028235e38", "3.4028236e38",
                                      "1e39", "-1e39", "nan", "inf", "-infinity", "+.5", "+-1", "+", "-", ".",
                                      "1.", ".5e1", "1e", "1e+", "0x10", "1,5", "00012.50", "1e0001",
                                      "123456789012345678901234567890", "0.000000000000000000000000000000000000000000001"};
    std::mt19937 random(11);
    char text[64];
    for (int k = 0; k < 20000; ++k) {
        const std::uint32_t bits = static_cast<std::uint32_t>(random());
        float value;
        std::memcpy(&value, &bits, 4);
        std::snprintf(text, sizeof text, k % 2 == 0 ? "%.9g" : "%.6e", static_cast<double>(value));
        words.emplace_back(text);
    }
    for (const std::string& word : words) {
        float fast = 1.0f, standard = 1.0f;
        const bool fastRead = facet::TextScanner::ParseFloat(word, &fast);
        const bool standardRead = StandardFloat(word, &standard);
        ASSERT_EQ(fastRead, standardRead) << word;
        if (fastRead) {
            ASSERT_EQ(std::memcmp(&fast, &standard, 4), 0) << word;
        }
    }
    std::int64_t whole = 0;
    EXPECT_TRUE(facet::TextScanner::ParseSigned("-9223372036854775808", &whole));
    EXPECT_EQ(whole, INT64_MIN);
    EXPECT_FALSE(facet::TextScanner::ParseSigned("9223372036854775808", &whole));
    EXPECT_TRUE(facet::TextScanner::ParseSigned("+17", &whole));
    EXPECT_EQ(whole, 17);
    EXPECT_FALSE(facet::TextScanner::ParseSigned("+-17", &whole));
    std::uint64_t count = 0;
    EXPECT_FALSE(facet::TextScanner::ParseUnsigned("-1", &count));
    EXPECT_TRUE(facet::TextScanner::ParseUnsigned("18446744073709551615", &count));
    EXPECT_EQ(count, UINT64_MAX);
}

TEST(TextLines, CommentsBreaksAndForeignBytesAnywhereInALongLine) {
    const std::string text = std::string("v 1 2 3 # a comment long enough to span words\r") +
                             "v 4 5 6\tand more words after a tab # \x01 in a comment\r\n" +
                             "f 1 2 \\\r\n3 # joined, then a comment\n" + "v 0 0 0 0 0 0 0 0 0 0 \x02 late\n" +
                             "#\n";
    facet::TextScanner scanner("t.obj", text.data(), text.size());
    std::vector<std::vector<std::string>> lines;
    std::vector<int> foreign;
    while (scanner.NextLine('#', true)) {
        lines.emplace_back();
        std::string_view word;
        while (scanner.NextWord(&word)) lines.back().emplace_back(word);
        foreign.push_back(scanner.ForeignByte());
    }
    const std::vector<std::vector<std::string>> expected = {
        {"v", "1", "2", "3"},
        {"v", "4", "5", "6", "and", "more", "words", "after", "a", "tab"},
        {"f", "1", "2", "3"},
        {"v", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "\x02", "late"},
        {}};
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(foreign, (std::vector<int>{-1, -1, -1, 2, -1}));
    EXPECT_EQ(scanner.LineNumber(), 6u);
}

}  // namespace
