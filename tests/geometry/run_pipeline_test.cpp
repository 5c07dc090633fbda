// RunInPipeline: every run produced and consumed once, in order, with its own slot's
// contents, on the caller alone and on pools of 2 and 7 threads with fewer slots than
// runs; a refused run ends the work before it is consumed; an exception from either
// stage ends both and reaches the caller, never a wait that does not end.
#include "geometry/run_pipeline.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace {

struct Slot {
    std::size_t run = 0;
    std::vector<int> values;
};

constexpr std::size_t kRuns = 2000;
constexpr std::size_t kDepth = 3;

std::vector<int> ValuesOf(std::size_t run) { return {static_cast<int>(run), static_cast<int>(run * 7 % 13)}; }

class RunPipelineTest : public testing::TestWithParam<unsigned> {};

TEST_P(RunPipelineTest, ConsumesEveryRunInOrderWithWhatWasProducedForIt) {
    facet::ThreadPool pool(GetParam());
    std::vector<std::size_t> consumed;
    bool allMatch = true;
    const bool finished = facet::RunInPipeline<Slot>(
        &pool, true, kRuns, kDepth,
        [](std::size_t run, Slot* slot) {
            slot->run = run;
            slot->values = ValuesOf(run);
            return true;
        },
        [&](std::size_t run, const Slot& slot) {
            allMatch = allMatch && slot.run == run && slot.values == ValuesOf(run);
            consumed.push_back(run);
        });
    EXPECT_TRUE(finished);
    EXPECT_TRUE(allMatch);
    ASSERT_EQ(consumed.size(), kRuns);
    for (std::size_t run = 0; run < kRuns; ++run) EXPECT_EQ(consumed[run], run);
    EXPECT_TRUE(facet::RunInPipeline<Slot>(
        &pool, true, 0, kDepth, [](std::size_t, Slot*) { return true; }, [](std::size_t, const Slot&) {}));
}

TEST_P(RunPipelineTest, ARefusedRunEndsTheWorkBeforeItIsConsumed) {
    facet::ThreadPool pool(GetParam());
    for (const std::size_t refusedRun : {std::size_t{0}, std::size_t{1}, std::size_t{977}, kRuns - 1}) {
        std::size_t consumedRuns = 0;
        std::size_t lastConsumed = 0;
        const bool finished = facet::RunInPipeline<Slot>(
            &pool, true, kRuns, kDepth, [&](std::size_t run, Slot*) { return run != refusedRun; },
            [&](std::size_t run, const Slot&) {
                ++consumedRuns;
                lastConsumed = run;
            });
        EXPECT_FALSE(finished) << refusedRun;
        EXPECT_EQ(consumedRuns, refusedRun) << refusedRun;
        if (refusedRun > 0) {
            EXPECT_EQ(lastConsumed, refusedRun - 1);
        }
    }
}

TEST_P(RunPipelineTest, AnExceptionFromEitherStageReachesTheCaller) {
    facet::ThreadPool pool(GetParam());
    for (const std::size_t failingRun : {std::size_t{0}, std::size_t{500}, kRuns - 1}) {
        EXPECT_THROW(facet::RunInPipeline<Slot>(
                         &pool, true, kRuns, kDepth,
                         [&](std::size_t run, Slot*) {
                             if (run == failingRun) throw std::runtime_error("produce");
                             return true;
                         },
                         [](std::size_t, const Slot&) {}),
                     std::runtime_error);
        std::size_t consumedRuns = 0;
        EXPECT_THROW(facet::RunInPipeline<Slot>(
                         &pool, true, kRuns, kDepth, [](std::size_t, Slot*) { return true; },
                         [&](std::size_t run, const Slot&) {
                             if (run == failingRun) throw std::runtime_error("consume");
                             ++consumedRuns;
                         }),
                     std::runtime_error);
        EXPECT_EQ(consumedRuns, failingRun);
    }
}

INSTANTIATE_TEST_SUITE_P(Threads, RunPipelineTest, testing::Values(1u, 2u, 7u));

}  // namespace
