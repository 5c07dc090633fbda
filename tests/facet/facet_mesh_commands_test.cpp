// facet optimize and facet clean through the program: the counts clean reports for a cube
// with known faults and the repaired file it writes, --check's exit status; optimize
// keeping the set of triangles while renumbering, with figures that match its output; and
// the refusals, one line and exit 2 with no output left behind.
#include "facet_program_fixture.h"
#include "support/generated_meshes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using generated_meshes::MeshData;

std::string Field(const std::string& json, const std::string& name, std::size_t from = 0) {
    const std::size_t at = json.find("\"" + name + "\": ", from);
    if (at == std::string::npos) return "missing";
    const std::size_t start = at + name.size() + 4;
    return json.substr(start, json.find_first_of(",}", start) - start);
}

// The vertices and triangles of an OBJ file as facet writes it (v and f lines only).
MeshData ReadObj(const std::string& text) {
    MeshData mesh;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string kind;
        words >> kind;
        if (kind == "v") {
            float x, y, z;
            words >> x >> y >> z;
            mesh.AddVertex(x, y, z);
        } else if (kind == "f") {
            std::uint32_t a, b, c;
            words >> a >> b >> c;
            mesh.AddFace(a - 1, b - 1, c - 1);
        }
    }
    return mesh;
}

using Corner = std::array<float, 3>;
using Triangle = std::array<Corner, 3>;

// The triangles by their corners' positions, each rotated to start at its least corner
// (so the winding is kept), sorted: equal for two numberings of one triangle set.
std::vector<Triangle> TriangleSet(const MeshData& mesh) {
    std::vector<Triangle> set;
    for (std::size_t f = 0; f < mesh.FaceCount(); ++f) {
        Triangle t;
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t v = mesh.corners[3 * f + k];
            t[k] = {mesh.positions[3 * v], mesh.positions[3 * v + 1], mesh.positions[3 * v + 2]};
        }
        std::rotate(t.begin(), std::min_element(t.begin(), t.end()), t.end());
        set.push_back(t);
    }
    std::sort(set.begin(), set.end());
    return set;
}

MeshData Reversed(MeshData mesh) {
    for (std::size_t f = 0; f < mesh.FaceCount(); ++f) std::swap(mesh.corners[3 * f + 1], mesh.corners[3 * f + 2]);
    return mesh;
}

TEST_F(FacetProgram, CleanCountsEachFaultOfACubeAndWritesItWholeAndOutward) {
    MeshData cube = Reversed(generated_meshes::SplitCube());  // inside out, 24 vertices at 8 points
    std::swap(cube.corners[1], cube.corners[2]);              // two faces wound against the rest
    std::swap(cube.corners[13], cube.corners[14]);
    cube.AddFace(cube.corners[8], cube.corners[6], cube.corners[7]);  // face 2 again, rotated
    cube.AddFace(0, 0, 5);                                            // two equal corners
    cube.AddVertex(2, 2, 2);
    cube.AddVertex(3, 3, 3);
    cube.AddVertex(4, 4, 4);
    cube.AddFace(24, 25, 26);  // three corners on a line
    cube.AddVertex(9, 9, 9);   // used by nothing
    Write("faulty.obj", generated_meshes::ToObj(cube));

    const Outcome check = Facet("clean faulty.obj --check --json");
    const Outcome clean = Facet("clean faulty.obj -o clean.obj --json");
    EXPECT_EQ(check.status, 3) << check.err;
    ASSERT_EQ(clean.status, 0) << clean.err;
    for (const Outcome* run : {&check, &clean}) {
        EXPECT_EQ(Field(run->out, "needs_cleaning"), "true");
        EXPECT_EQ(Field(run->out, "welded_vertices"), "16");
        EXPECT_EQ(Field(run->out, "degenerate_faces"), "2");
        EXPECT_EQ(Field(run->out, "duplicate_faces"), "1");
        EXPECT_EQ(Field(run->out, "unreferenced_vertices"), "4");
        EXPECT_EQ(Field(run->out, "flipped_faces"), "2");
        EXPECT_EQ(Field(run->out, "inverted_components"), "1");
        EXPECT_EQ(Field(run->out, "faces_before") + " " + Field(run->out, "faces_after"), "15 12");
        EXPECT_EQ(Field(run->out, "vertices_before") + " " + Field(run->out, "vertices_after"), "28 8");
        EXPECT_EQ(Field(run->out, "components") + " " + Field(run->out, "closed_components"), "1 1");
    }
    EXPECT_EQ(Field(check.out, "check_only"), "true");
    EXPECT_EQ(Listing(), "clean.obj faulty.obj");  // --check wrote nothing

    // The written cube: every edge run once each way, enclosing a volume of +1.
    const MeshData repaired = ReadObj(Read(Path("clean.obj")));
    ASSERT_EQ(repaired.FaceCount(), 12u);
    ASSERT_EQ(repaired.VertexCount(), 8u);
    std::map<std::pair<std::uint32_t, std::uint32_t>, int> runs;
    double sixVolumes = 0;
    for (std::size_t f = 0; f < 12; ++f) {
        const std::uint32_t* c = &repaired.corners[3 * f];
        for (int k = 0; k < 3; ++k) ++runs[{c[k], c[(k + 1) % 3]}];
        const float* a = &repaired.positions[3 * c[0]];
        const float* b = &repaired.positions[3 * c[1]];
        const float* d = &repaired.positions[3 * c[2]];
        sixVolumes += a[0] * (b[1] * d[2] - b[2] * d[1]) + a[1] * (b[2] * d[0] - b[0] * d[2]) +
                      a[2] * (b[0] * d[1] - b[1] * d[0]);
    }
    EXPECT_EQ(runs.size(), 36u);
    for (const auto& [edge, count] : runs) {
        EXPECT_EQ(count, 1);
        EXPECT_EQ(runs.count({edge.second, edge.first}), 1u);
    }
    EXPECT_DOUBLE_EQ(sixVolumes, 6.0);

    const Outcome again = Facet("clean clean.obj --check");
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_NE(again.out.find("needs cleaning                no\n"), std::string::npos) << again.out;

    // Two triangles whose shared edge is split by 1e-4: joined only within --weld.
    Write("near.off", "OFF\n5 2 0\n0 0 0\n1 0 0\n0 1 0\n1.0001 0 0\n1 1 0\n3 0 1 2\n3 2 3 4\n");
    EXPECT_EQ(Field(Facet("clean near.off --check --json").out, "welded_vertices"), "0");
    EXPECT_EQ(Field(Facet("clean near.off --check --json --weld 0.001").out, "welded_vertices"), "1");
}

// Transforms per face of a FIFO cache of `size` entries over the faces in order.
double MissesPerFace(const MeshData& mesh, std::size_t size) {
    std::vector<std::uint32_t> fifo;
    std::size_t misses = 0;
    for (const std::uint32_t v : mesh.corners) {
        if (std::find(fifo.begin(), fifo.end(), v) != fifo.end()) continue;
        ++misses;
        fifo.push_back(v);
        if (fifo.size() > size) fifo.erase(fifo.begin());
    }
    return static_cast<double>(misses) / static_cast<double>(mesh.FaceCount());
}

TEST_F(FacetProgram, OptimizeRenumbersButKeepsEveryTriangleAndReportsItsOwnOutput) {
    const MeshData torus = generated_meshes::Shuffled(generated_meshes::Torus(24, 12, 5), 4);
    Write("torus.ply", generated_meshes::ToPly(torus, generated_meshes::PlyEncoding::LittleEndian));
    const Outcome run = Facet("optimize torus.ply -o drawn.obj --cache 24 --json");
    ASSERT_EQ(run.status, 0) << run.err;
    const MeshData drawn = ReadObj(Read(Path("drawn.obj")));
    EXPECT_EQ(TriangleSet(drawn), TriangleSet(torus));
    EXPECT_EQ(drawn.VertexCount(), torus.VertexCount());
    // Vertices are numbered by first use.
    std::uint32_t next = 0;
    for (const std::uint32_t v : drawn.corners) {
        ASSERT_LE(v, next);
        if (v == next) ++next;
    }
    // The figures are those of a cache of 16, 32 and 24 entries, before and after.
    const std::size_t sizes[] = {16, 32, 24};
    std::size_t at = run.out.find("\"caches\"");
    for (const std::size_t size : sizes) {
        at = run.out.find("\"entries\": " + std::to_string(size), at);
        ASSERT_NE(at, std::string::npos) << size << ": " << run.out;
        EXPECT_NEAR(std::stod(Field(run.out, "acmr_before", at)), MissesPerFace(torus, size), 1e-6);
        EXPECT_NEAR(std::stod(Field(run.out, "acmr_after", at)), MissesPerFace(drawn, size), 1e-6);
        EXPECT_LT(3 * std::stod(Field(run.out, "acmr_after", at)), std::stod(Field(run.out, "acmr_before", at)));
    }

    // --weld joins the charts' split vertices (435 at 288 points); faces with two equal
    // corners go.
    Write("split.obj", generated_meshes::ToObj(generated_meshes::Torus(24, 12, 5)) + "f 1 1 2\n");
    const Outcome welded = Facet("optimize split.obj -o welded.off --weld 0 --json");
    ASSERT_EQ(welded.status, 0) << welded.err;
    EXPECT_EQ(Field(welded.out, "welded_vertices"), "147");
    EXPECT_EQ(Field(welded.out, "vertices_after"), "288");
    EXPECT_EQ(Field(welded.out, "faces_before") + " " + Field(welded.out, "faces_after"), "577 576");
    // One triangle drawn twice: a cache of three entries misses only the first time.
    Write("twice.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\nf 1 2 3\n");
    const Outcome twice = Facet("optimize twice.obj -o twice.ply --cache 3 --json");
    EXPECT_EQ(Field(twice.out, "acmr_before", twice.out.find("\"entries\": 3")), "1.500000") << twice.out;

    const Outcome text = Facet("optimize split.obj -o plain.ply");
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("faces          577 -> 576\nvertices       435 -> 435\n"), std::string::npos) << text.out;
}

TEST_F(FacetProgram, OptimizeAndCleanRefuseWithOneLineAndLeaveNoOutput) {
    Write("cube.obj", generated_meshes::ToObj(generated_meshes::SplitCube()));
    Write("flat.obj", "v 0 0 0\nv 1 0 0\nv 2 0 0\nf 1 2 3\nf 1 1 2\n");  // zero area, equal corners
    Write("pinched.obj", "v 0 0 0\nv 0 0 0\nv 1 0 0\nf 1 2 3\n");
    ExpectRefused("optimize cube.obj", "give the output as -o OUT.obj, -o OUT.ply or -o OUT.off");
    ExpectRefused("optimize cube.obj -o out.stl", "give the output as -o OUT.obj");
    for (const char* value : {"2", "1025", "16x", "-16", "' 16'"})
        ExpectRefused(std::string("optimize cube.obj -o out.ply --cache ") + value,
                      "--cache needs a whole number from 3 to 1024");
    ExpectRefused("optimize cube.obj -o out.ply --weld -1", "--weld needs a finite number");
    ExpectRefused("optimize cube.obj -o ./cube.obj", "is the input file");
    ExpectRefused("optimize missing.obj -o out.ply", "missing.obj: cannot read");
    ExpectRefused("clean cube.obj", "give the output as -o OUT.obj, OUT.ply, OUT.off or OUT.stl, or --check");
    ExpectRefused("clean cube.obj --check -o out.ply", "--check writes nothing");
    ExpectRefused("clean cube.obj --check --check", "--check is given more than once");
    ExpectRefused("clean flat.obj -o out.ply", "every face of 'flat.obj' is degenerate");
    ExpectRefused("optimize pinched.obj -o out.ply --weld 0", "no face of 'pinched.obj' has three different corners");
    EXPECT_EQ(Listing(), "cube.obj flat.obj pinched.obj");

    // A file name may start with - after --; --help is the usage on standard output.
    Write("-cube.obj", generated_meshes::ToObj(generated_meshes::SplitCube()));
    EXPECT_EQ(Facet("clean --check -- -cube.obj").status, 3);
    for (const char* command : {"optimize", "clean"}) {
        const Outcome help = Facet(std::string(command) + " --help");
        EXPECT_EQ(help.status, 0);
        EXPECT_EQ(help.out.rfind(std::string("usage: facet ") + command, 0), 0u) << help.out;
    }
}

}  // namespace
