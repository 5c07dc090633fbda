// facet info over collections of files and folders, and --threads: reports in the order
// given (a folder's mesh files by name, found recursively), one JSON object per line, a
// bad file on its own line without stopping the rest, and the same bytes at 1, 2 and 7
// threads for info and adjacency.
#include "facet_program_fixture.h"
#include "support/generated_meshes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

using generated_meshes::PlyEncoding;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST_F(FacetProgram, InfoReportsAFolderInNameOrderAndBadFilesOnTheirOwnLines) {
    fs::create_directories(Path("scans/deeper"));
    Write("scans/b.off", generated_meshes::ToOff(generated_meshes::OpenBox()));
    Write("scans/deeper/a.ply", generated_meshes::ToPly(generated_meshes::SplitCube(), PlyEncoding::LittleEndian));
    Write("scans/c.obj", "v 0 0 0\nf 1 2 3\n");  // a corner past the vertices
    Write("scans/notes.txt", "not a mesh, and not named as one\n");
    Write("single.obj", generated_meshes::ToObj(generated_meshes::ThreeOnOneEdge()));

    const Outcome json = Facet("info scans single.obj missing.stl --json --threads 3");
    EXPECT_EQ(json.status, 1) << json.err;
    const std::vector<std::string> lines = Lines(json.out);
    ASSERT_EQ(lines.size(), 5u) << json.out;
    EXPECT_EQ(lines[0].rfind("{\"file\": \"scans/b.off\", \"format\": \"OFF\"", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find("\"boundary_edges\": 4"), std::string::npos) << lines[0];
    EXPECT_EQ(lines[1].rfind("{\"file\": \"scans/c.obj\", \"error\": ", 0), 0u) << lines[1];
    EXPECT_EQ(lines[2].rfind("{\"file\": \"scans/deeper/a.ply\", \"format\": \"PLY\"", 0), 0u) << lines[2];
    EXPECT_NE(lines[2].find("\"closed\": true"), std::string::npos) << lines[2];
    EXPECT_NE(lines[3].find("\"non_manifold_edges\": 1"), std::string::npos) << lines[3];
    EXPECT_EQ(lines[4].rfind("{\"file\": \"missing.stl\", \"error\": ", 0), 0u) << lines[4];
    // Each failure is said once on standard error too, and only the failures.
    const std::vector<std::string> errors = Lines(json.err);
    ASSERT_EQ(errors.size(), 2u) << json.err;
    EXPECT_EQ(errors[0].rfind("facet info: ", 0), 0u);
    EXPECT_NE(errors[1].find("missing.stl"), std::string::npos);

    // Each file's text report is the one a run on that file alone prints.
    const Outcome text = Facet("info scans/deeper single.obj --threads 2");
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out, Facet("info scans/deeper/a.ply").out + "\n" + Facet("info single.obj").out);
}

TEST_F(FacetProgram, InfoRefusesBadThreadCountsAndEmptyCollections) {
    Write("box.off", generated_meshes::ToOff(generated_meshes::OpenBox()));
    for (const char* bad : {"0", "-1", "two", "1025", "3x", ""}) {
        const Outcome refused = Facet(std::string("info box.off --threads '") + bad + "'");
        EXPECT_EQ(refused.status, 2) << bad;
        EXPECT_NE(refused.err.find("--threads needs a whole number from 1 to 1024"), std::string::npos) << refused.err;
    }
    fs::create_directories(Path("empty"));
    const Outcome empty = Facet("info empty");
    EXPECT_EQ(empty.status, 1);
    EXPECT_NE(empty.err.find("no mesh files"), std::string::npos) << empty.err;
    EXPECT_EQ(Facet("info box.off - --json").status, 2);
}

TEST_F(FacetProgram, InfoAndAdjacencyPrintTheSameBytesAtEveryThreadCount) {
    // Large enough that every step splits between threads.
    Write("torus.ply", generated_meshes::ToPly(
                           generated_meshes::Shuffled(generated_meshes::Torus(320, 300, 16), 3), PlyEncoding::LittleEndian));
    const Outcome info = Facet("info torus.ply --json --threads 1");
    const Outcome adjacency = Facet("adjacency torus.ply --threads 1");
    ASSERT_EQ(info.status, 0) << info.err;
    ASSERT_EQ(adjacency.status, 0) << adjacency.err;
    EXPECT_NE(info.out.find("\"closed\": true"), std::string::npos);
    // The lines are written in blocks: every face has its line, and on this closed torus
    // every neighbour names the face back.
    std::istringstream lines(adjacency.out);
    std::string header;
    std::getline(lines, header);
    std::vector<long> entries{std::istream_iterator<long>(lines), std::istream_iterator<long>()};
    ASSERT_EQ(entries.size(), 3u * 192000u);
    for (std::size_t entry = 0; entry < entries.size(); ++entry) {
        const long neighbour = entries[entry];
        ASSERT_GE(neighbour, 0) << entry;
        const auto backs = std::count(entries.begin() + 3 * neighbour, entries.begin() + 3 * neighbour + 3,
                                      static_cast<long>(entry / 3));
        ASSERT_GE(backs, 1) << entry;
    }
    for (const char* threads : {"2", "7"}) {
        EXPECT_EQ(Facet(std::string("info torus.ply --json --threads ") + threads).out, info.out) << threads;
        EXPECT_EQ(Facet(std::string("adjacency torus.ply --threads ") + threads).out, adjacency.out) << threads;
    }
}

// --threads is every mesh command's: refused alike when bad, and the files written and the
// reports printed the same at one thread and at two.
TEST_F(FacetProgram, EveryMeshCommandTakesThreadsAndGivesTheSameOutput) {
    Write("torus.ply", generated_meshes::ToPly(
                           generated_meshes::Shuffled(generated_meshes::Torus(320, 300, 16), 5), PlyEncoding::LittleEndian));
    for (const char* command : {"info torus.ply", "adjacency torus.ply", "normals torus.ply -o n.ply",
                                "convert torus.ply c.off", "optimize torus.ply -o o.ply", "clean torus.ply --check"}) {
        const Outcome refused = Facet(std::string("") + command + " --threads 0");
        EXPECT_EQ(refused.status, 2) << command;
        EXPECT_NE(refused.err.find("--threads needs a whole number from 1 to 1024"), std::string::npos) << refused.err;
    }
    std::string written[2];
    for (int run = 0; run < 2; ++run) {
        const std::string threads = run == 0 ? " --threads 1" : " --threads 2";
        std::string& all = written[run];
        for (const std::string command :
             {"convert torus.ply c.off", "optimize torus.ply -o o.ply --weld 0 --json", "clean torus.ply -o k.ply --json"}) {
            const Outcome outcome = Facet(command + threads);
            ASSERT_EQ(outcome.status, 0) << command << threads << ": " << outcome.err;
            all += outcome.out;
        }
        all += Read(Path("c.off")) + Read(Path("o.ply")) + Read(Path("k.ply"));
    }
    EXPECT_NE(written[0].find("\"welded_vertices\""), std::string::npos);
    EXPECT_EQ(written[0], written[1]);
}

}  // namespace
