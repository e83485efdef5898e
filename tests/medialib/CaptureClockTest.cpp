#include <gtest/gtest.h>

extern "C" {
#include <libavutil/avutil.h>
}

#include "CaptureClock.h"

using vorq::media::CaptureClock;

namespace {
constexpr AVRational kMicro{1, 1000000};
constexpr int64_t kWall = 1700000000LL * 1000000;  // a wall-clock reading
constexpr int64_t kMonotonic = 5000LL * 1000000;   // a monotonic reading
} // namespace

TEST(MediaCaptureClockTest, CountingInputKeepsItsSpacingFromTheEarliestArrival)
{
    CaptureClock clock(AVRational{1, 30});
    clock.setClocksForTesting(kWall, kMonotonic);
    // The first packet was read late (a slow start); the second on time.
    EXPECT_EQ(clock.stamp(0, kMonotonic + 50000), kMonotonic + 50000);
    const int64_t second = clock.stamp(1, kMonotonic + 40000);
    EXPECT_EQ(second, kMonotonic + 40000);
    // From then on the input's own spacing, not the read jitter.
    EXPECT_NEAR(clock.stamp(2, kMonotonic + 40000 + 33333 + 9000), kMonotonic + 40000 + 33333, 1);
    EXPECT_NEAR(clock.stamp(30, kMonotonic + 40000 + 1000000 + 5000), kMonotonic + 40000 + 966667, 1);
}

TEST(MediaCaptureClockTest, WallAndMonotonicStampsAreKept)
{
    CaptureClock wall(kMicro);
    wall.setClocksForTesting(kWall, kMonotonic);
    // A wall-clock stamp 30 ms old maps onto the monotonic clock.
    EXPECT_EQ(wall.stamp(kWall - 30000, kMonotonic), kMonotonic - 30000);
    EXPECT_EQ(wall.stamp(kWall + 10000, kMonotonic + 45000), kMonotonic + 10000);

    CaptureClock monotonic(kMicro);
    monotonic.setClocksForTesting(kWall, kMonotonic);
    EXPECT_EQ(monotonic.stamp(kMonotonic - 20000, kMonotonic), kMonotonic - 20000);
}

TEST(MediaCaptureClockTest, ImplausibleStampsFallBackToTheArrival)
{
    CaptureClock clock(kMicro);
    clock.setClocksForTesting(kWall, kMonotonic);
    EXPECT_EQ(clock.stamp(kMonotonic, kMonotonic), kMonotonic);
    // The input restarted its count: stamps follow the arrivals again.
    EXPECT_EQ(clock.stamp(1000, kMonotonic + 33000), kMonotonic + 33000);
    EXPECT_EQ(clock.stamp(34333, kMonotonic + 70000), kMonotonic + 33000 + 33333);
    EXPECT_EQ(clock.stamp(AV_NOPTS_VALUE, kMonotonic + 90000), kMonotonic + 90000);
}
