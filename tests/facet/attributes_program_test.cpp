// The facet program with vertex data: convert keeps what the target format holds and
// names what it leaves out in one line (exit 0), writes a file without faces as its
// points; normals replaces the normals and keeps the rest; info reports joined_corners.
#include "facet_program_fixture.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char kTexturedObj[] =
    "v 0 0 0 1 0 0\nv 1 0 0 0 1 0\nv 0 1 0 0 0 1\nv 1 1 0 0.5 0.5 0.5\n"
    "vt 0 0\nvt 1 0\nvt 0 1\nvt 1 1\nvn 0 0 -1\n"
    "f 1/1/1 2/2/1 3/3/1\nf 3/3/1 2/2/1 4/4/1\n";

TEST_F(FacetProgram, ConvertKeepsWhatTheFormatHoldsAndNamesWhatItLeavesOut) {
    Write("quad.obj", kTexturedObj);
    Outcome run = Facet("convert quad.obj quad.off");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(Read(Path("quad.off")).substr(0, 17), "STCNOFF\n4 2 0\n0 0");
    run = Facet("convert quad.off quad.ply --binary");
    EXPECT_EQ(run.status, 0) << run.err;
    run = Facet("convert quad.ply back.obj");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Read(Path("back.obj")),
              "# converted by facet\nv 0 0 0 1 0 0\nv 1 0 0 0 1 0\nv 0 1 0 0 0 1\nv 1 1 0 0.5 0.5 0.5\n"
              "vt 0 0\nvt 1 0\nvt 0 1\nvt 1 1\nvn 0 0 -1\nvn 0 0 -1\nvn 0 0 -1\nvn 0 0 -1\n"
              "f 1/1/1 2/2/2 3/3/3\nf 3/3/3 2/2/2 4/4/4\n");

    run = Facet("convert quad.obj quad.stl");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "facet convert: quad.stl holds no vertex normals, texture coordinates or colours; 4 vertex "
                       "normals, 4 texture coordinates and 4 colours were left out\n");
    Write("glass.off", "COFF\n3 1 0\n0 0 0 1 0 0 0.5\n1 0 0 0 1 0 1\n0 1 0 0 0 1 1\n3 0 1 2\n");
    run = Facet("convert glass.off glass.obj");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "facet convert: glass.obj holds no colour alphas; 1 was left out\n");
}

TEST_F(FacetProgram, ConvertWritesAFileWithoutFacesAsItsPoints) {
    Write("cloud.obj", "v 1 2 3\nv 4 5 6\nv 7 8 9\nl 1 2 3\n");
    for (const char* out : {"cloud.ply", "cloud.off"}) {
        const Outcome run = Facet(std::string("convert cloud.obj ") + out);
        EXPECT_EQ(run.status, 0) << out << ": " << run.err;
        EXPECT_EQ(run.err, "") << out;
    }
    // STL holds triangles only: the points are named as left out, not dropped unsaid.
    Outcome run = Facet("convert cloud.obj cloud.stl");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "facet convert: cloud.stl holds no vertices outside the faces; 3 were left out\n");
    Write("stray.off", "OFF\n4 1 0\n0 0 0\n1 0 0\n0 1 0\n5 5 5\n3 0 1 2\n");
    run = Facet("convert stray.off stray.stl --binary");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "facet convert: stray.stl holds no vertices outside the faces; 1 was left out\n");
    EXPECT_NE(Read(Path("cloud.ply")).find("element vertex 3\n"), std::string::npos);
    EXPECT_NE(Read(Path("cloud.ply")).find("element face 0\n"), std::string::npos);
    const Outcome info = Facet("info cloud.off --json");
    EXPECT_NE(info.out.find("\"vertices\": 3, \"faces\": 0"), std::string::npos) << info.out;
    const Outcome stl = Facet("info cloud.stl --json");
    EXPECT_EQ(stl.status, 0) << stl.err;
    EXPECT_NE(stl.out.find("\"faces\": 0"), std::string::npos) << stl.out;
    EXPECT_NE(stl.out.find("\"joined_corners\": 0"), std::string::npos) << stl.out;
}

TEST_F(FacetProgram, NormalsReplacesTheNormalsAndKeepsTheRest) {
    Write("quad.obj", kTexturedObj);
    Outcome run = Facet("normals quad.obj -o quad.ply");
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string ply = Read(Path("quad.ply"));
    EXPECT_NE(ply.find("property float nx\nproperty float ny\nproperty float nz\nproperty float red\n"),
              std::string::npos)
        << ply;
    // The file's normals pointed to -z; the computed ones point to +z (the library's unit
    // length in float is 0.99999994 here). Colours and texture coordinates stay.
    EXPECT_NE(ply.find("\n1 1 0 0 0 0.99999994 0.5 0.5 0.5 1 1\n"), std::string::npos) << ply;
    Write("plain.off", "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n");
    run = Facet("normals plain.off -o plain.off.obj");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(Read(Path("plain.off.obj")).find("vn 0 0 0.99999994\n"), std::string::npos);
}

TEST_F(FacetProgram, InfoCountsTheCornersStlJoined) {
    Write("two.stl",
          "solid t\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\nendloop\nendfacet\n"
          "facet normal 0 0 1\nouter loop\nvertex 0 1 0\nvertex 1 0 0\nvertex 1 1 0\nendloop\nendfacet\nendsolid t\n");
    EXPECT_NE(Facet("info two.stl --json").out.find("\"joined_corners\": 2,"), std::string::npos);
    EXPECT_NE(Facet("info two.stl").out.find("joined corners        2\n"), std::string::npos);
    Write("quad.obj", kTexturedObj);
    EXPECT_NE(Facet("info quad.obj --json").out.find("\"joined_corners\": null,"), std::string::npos);
}

}  // namespace
