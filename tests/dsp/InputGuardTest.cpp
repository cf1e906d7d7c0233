#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "dsp/InputGuard.h"

namespace {

TEST(InputGuard, ZeroesNonFiniteSamplesClampsHugeOnesAndPassesTheRestBitForBit) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float tiny = std::numeric_limits<float>::denorm_min();
    std::vector<float> left = {0.5f, -0.0f, tiny, 1048576.0f, -2e6f, 3.0e38f, 16.0f};
    std::vector<float> right = {nan, 0.25f, -inf, 7.0f, inf, -1e-30f, 1e20f};
    float* const block[] = {left.data(), right.data()};
    const DSP::Dropouts found = DSP::GuardInput(block, 2, 7);
    EXPECT_EQ(found.count, 3);
    EXPECT_EQ(found.firstFrame, 0);
    EXPECT_EQ(found.lastFrame, 4);
    const std::vector<float> guardedLeft = {0.5f,        -0.0f,      tiny, 1048576.0f,
                                            -1048576.0f, 1048576.0f, 16.0f};
    const std::vector<float> guardedRight = {0.0f, 0.25f, 0.0f, 7.0f, 0.0f, -1e-30f, 1048576.0f};
    EXPECT_EQ(std::memcmp(left.data(), guardedLeft.data(), 7 * sizeof(float)), 0);
    EXPECT_EQ(right, guardedRight);

    const DSP::Dropouts clean = DSP::GuardInput(block, 1, 7);
    EXPECT_EQ(clean.count, 0);
    EXPECT_EQ(clean.firstFrame, -1);
}

} // namespace
