#include "primitives/Vec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>
#include <vector>

// The integer and stereo conversions as the host formats use them are checked, to the
// byte, by tests/core/SampleConverterTest.

namespace {

constexpr float kFloatMax = std::numeric_limits<float>::max();
constexpr float kInf = std::numeric_limits<float>::infinity();

std::vector<float> Ramp(int n) {
    std::vector<float> v(n);
    std::iota(v.begin(), v.end(), 1.0f);
    return v;
}

std::vector<std::int16_t> ToS16(const std::vector<float>& src, int scale, bool roundNearest) {
    std::vector<std::int16_t> dst(src.size());
    VecConvertFloatToS16(int(src.size()), src.data(), dst.data(), scale, roundNearest);
    return dst;
}

std::vector<std::int32_t> ToS32(const std::vector<float>& src, int scale, bool roundNearest) {
    std::vector<std::int32_t> dst(src.size());
    VecConvertFloatToS32(int(src.size()), src.data(), dst.data(), scale, roundNearest);
    return dst;
}

} // namespace

// Lengths around the vector width exercise both the vector body and the remainder.
TEST(Vec, MoveHandlesOverlapInBothDirections) {
    for (int n : {1, 3, 4, 5, 17, 64}) {
        for (int shift : {1, -1, 3, -3}) {
            auto buffer = Ramp(n + 3);
            auto expected = buffer;
            const int from = shift > 0 ? 0 : -shift;
            const std::vector<float> temp(buffer.begin() + from, buffer.begin() + from + n);
            std::copy(temp.begin(), temp.end(), expected.begin() + from + shift);
            VecMove(n, buffer.data() + from, buffer.data() + from + shift);
            EXPECT_EQ(buffer, expected) << "n " << n << " shift " << shift;
        }
    }
}

TEST(Vec, MulByZeroClearsEvenInfinitiesAndNaN) {
    std::vector<float> v = {kInf, NAN, -2.0f};
    VecMulC(3, v.data(), 0.0f);
    EXPECT_EQ(v, std::vector<float>(3, 0.0f));
}

TEST(Vec, NormalizeMapsBytesToUnitRangeAndBack) {
    const std::vector<float> bytes = {0.0f, 128.0f, 255.0f}, unit = {-1.0f, 0.0f, 0.9921875f};
    std::vector<float> dst(3);
    VecNormalize(3, bytes.data(), dst.data(), 128.0f, 128.0f);
    EXPECT_EQ(dst, unit);
    VecNormalize(3, unit.data(), dst.data(), -1.0f, 1.0f / 128.0f);
    EXPECT_EQ(dst, bytes);

    dst.assign(3, 7.0f);
    VecNormalize(3, bytes.data(), dst.data(), 0.0f, 1e-39f);
    VecNormalize(3, bytes.data(), dst.data(), 0.0f, -1e-39f);
    EXPECT_EQ(dst, std::vector<float>(3, 7.0f));
}

TEST(Vec, FloatToS16SaturatesAndTruncatesOrRoundsToEven) {
    EXPECT_EQ(ToS16({1.0f, -1.0f, 0.99999f, 0.5f, -0.99999f, 2.0f, -5.0f, NAN}, -15, false),
              (std::vector<std::int16_t>{32767, -32768, 32767, 16384, -32767, 32767, -32768, 0}));
    const std::vector<float> halves = {0.5f, 1.5f, 2.5f, -0.5f, -1.5f, -2.5f, 2.4f, -2.6f};
    EXPECT_EQ(ToS16(halves, 0, true), (std::vector<std::int16_t>{0, 2, 2, 0, -2, -2, 2, -3}));
    EXPECT_EQ(ToS16(halves, 0, false), (std::vector<std::int16_t>{0, 1, 2, 0, -1, -2, 2, -2}));
    // A positive scale divides: 100 / 8 = 12.5 rounds to 12.
    EXPECT_EQ(ToS16({100.0f, 32766.5f, 32767.6f, -32768.6f, 1e30f}, 3, true),
              (std::vector<std::int16_t>{12, 4096, 4096, -4096, 32767}));
}

TEST(Vec, FloatToS32SaturatesAtTheIntegerLimits) {
    EXPECT_EQ(ToS32({1.0f, -1.0f, 0.5f, -0.75f, 3.0f, -3.0f, kInf}, -31, false),
              (std::vector<std::int32_t>{2147483647, -2147483648, 1073741824, -1610612736,
                                         2147483647, -2147483648, 2147483647}));
    EXPECT_EQ(ToS32({2147483520.0f, -2147483648.0f, 2.5f, 3.5f, -2.5f, 16777215.0f}, 0, true),
              (std::vector<std::int32_t>{2147483520, -2147483648, 2, 4, -2, 16777215}));
}

TEST(Vec, DoubleToFloatSaturatesAndSendsNaNToTheLowest) {
    const std::vector<double> src = {1e39, -1e39, std::nan(""), 0.1, -3.4028235e38, 1e300};
    std::vector<float> dst(src.size());
    VecConvertDoubleToFloat(int(src.size()), src.data(), dst.data());
    EXPECT_EQ(dst,
              (std::vector<float>{kFloatMax, -kFloatMax, -kFloatMax, 0.1f, -kFloatMax, kFloatMax}));
}

TEST(Vec, EmptyCallsLeaveTheDestinationUntouched) {
    const std::vector<float> src = Ramp(4), sentinel(4, -9.0f);
    std::vector<float> dst = sentinel;
    for (int n : {0, -1}) {
        VecCopy(n, src.data(), dst.data());
        VecMove(n, src.data(), dst.data());
        VecSet(n, dst.data(), 1.0f);
        VecZero(n, dst.data());
        VecMulC(n, dst.data(), 0.0f);
        VecNormalize(n, src.data(), dst.data(), 0.0f, 1.0f);
        VecCopyBytes(n, src.data(), dst.data());
    }
    VecCopy(4, nullptr, dst.data());
    VecAddProduct(4, src.data(), nullptr, dst.data());
    VecInterleave2(2, src.data(), nullptr, dst.data());
    EXPECT_EQ(dst, sentinel);

    std::int16_t s16[2] = {5, 5};
    VecConvertFloatToS16(0, src.data(), s16, 0, false);
    VecConvertFloatToS16(2, nullptr, s16, 0, false);
    EXPECT_EQ(s16[0], 5);
    EXPECT_EQ(s16[1], 5);
}
