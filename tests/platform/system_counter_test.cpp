// The performance counter: its frequency, the monotonic clock, and the fixed-rate clock
// that makes a once-per-frame reader measure exactly the chosen rate.
#include "springdrop/shell/shell.h"

#include <gtest/gtest.h>

namespace {

std::int64_t Read() {
    LARGE_INTEGER count{};
    EXPECT_TRUE(QueryPerformanceCounter(&count));
    return count.QuadPart;
}

}  // namespace

TEST(Win32Counter, FrequencyIsTenMillionAndTheDefaultClockNeverGoesBack) {
    LARGE_INTEGER frequency{};
    ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
    EXPECT_EQ(frequency.QuadPart, 10'000'000);
    std::int64_t previous = Read();
    for (int i = 0; i < 1000; ++i) {
        std::int64_t now = Read();
        EXPECT_GE(now, previous);
        previous = now;
    }
    EXPECT_FALSE(QueryPerformanceCounter(nullptr));
}

TEST(Win32Counter, FixedRateAdvancesOneFrameIntervalPerReadFromALargeBase) {
    platform::UseFixedRateCounter(60.0);
    std::int64_t first = Read();
    EXPECT_GE(first, 3600LL * 10'000'000);  // a frame timer starting at zero sees a tiny first rate
    EXPECT_EQ(Read() - first, 166'667);     // round(10,000,000 / 60)
    EXPECT_EQ(Read() - first, 2 * 166'667);

    // The frame timer's arithmetic: the low 32 bits' difference over the frequency.
    std::int64_t a = Read();
    std::int64_t b = Read();
    auto difference = static_cast<std::uint32_t>(static_cast<std::uint32_t>(b) - static_cast<std::uint32_t>(a));
    EXPECT_NEAR(1.0f / static_cast<float>(difference / 10'000'000.0), 60.0f, 1e-3f);

    platform::UseFixedRateCounter(100.0);
    std::int64_t restarted = Read();
    EXPECT_EQ(Read() - restarted, 100'000);

    platform::UseMonotonicCounter();
    EXPECT_LT(Read(), restarted + 1'000'000'000'000'000LL);  // back on the real clock
}
