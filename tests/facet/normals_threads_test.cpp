// facet normals writes the same bytes at 1, 2 and 7 threads, each in a fresh process (where
// the threads' first normalisations would otherwise race to choose the routines).
#include "facet_program_fixture.h"
#include "support/generated_meshes.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST_F(FacetProgram, NormalsWriteTheSameBytesAtEveryThreadCount) {
    // Large enough that every step splits between threads; seamed, so joined vertices
    // share their representatives' sums.
    Write("torus.ply", generated_meshes::ToPly(generated_meshes::Shuffled(generated_meshes::Torus(320, 300, 16), 5),
                                               generated_meshes::PlyEncoding::LittleEndian));
    const auto normals = [&](const std::string& threads) {
        const Outcome run = Facet("normals torus.ply -o out.ply --binary --threads " + threads);
        EXPECT_EQ(run.status, 0) << run.err;
        return Read(Path("out.ply"));
    };
    const std::string alone = normals("1");
    ASSERT_FALSE(alone.empty());
    // A few runs each, since a race shows only now and then.
    for (const char* threads : {"2", "7", "2", "7", "7"}) EXPECT_EQ(normals(threads), alone) << threads << " threads";
}

}  // namespace
