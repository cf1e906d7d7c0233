#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "core/SampleConverter.h"

namespace {

SampleConverter Mono(std::uint16_t tag, std::uint16_t bits) {
    return *SampleConverter::Create(tag, bits, 1);
}

std::vector<float> Decoded(SampleConverter converter, std::vector<std::uint8_t> bytes) {
    std::vector<float> samples(bytes.size() / converter.BytesPerSample());
    converter.ToFloat(int(samples.size()), bytes.data(), samples.data(), nullptr);
    return samples;
}

std::vector<std::uint8_t> Encoded(SampleConverter converter, std::vector<float> samples) {
    std::vector<std::uint8_t> bytes(samples.size() * converter.BytesPerSample());
    converter.FromFloat(int(samples.size()), samples.data(), nullptr, bytes.data());
    return bytes;
}

TEST(SampleConversion, IntegerBytesMeetFullScale) {
    const SampleConverter u8 = Mono(1, 8);
    EXPECT_EQ(Decoded(u8, {128, 0, 255}), (std::vector<float>{0.0f, -1.0f, 127 / 128.0f}));
    EXPECT_EQ(Encoded(u8, {0.0f, -1.0f, 2.0f, -3.0f}), (std::vector<std::uint8_t>{128, 0, 255, 0}));

    const SampleConverter s24 = Mono(1, 24);
    EXPECT_EQ(Decoded(s24, {0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F}),
              (std::vector<float>{-1.0f, float((1 << 23) - 1) / (1 << 23)}));
    EXPECT_EQ(Encoded(s24, {1.0f, -1.0f, -1.5f / (1 << 23)}),
              (std::vector<std::uint8_t>{0xFF, 0xFF, 0x7F, 0x00, 0x00, 0x80, 0xFF, 0xFF, 0xFF}));

    // Wider than 64 bits: the same rule over all 9 bytes.
    const SampleConverter s72 = Mono(1, 72);
    std::vector<std::uint8_t> half(9, 0x00), minusThree(9, 0xFF);
    half[8] = 0x40;
    minusThree[0] = 0xFD;
    EXPECT_EQ(Encoded(s72, {0.5f}), half);
    EXPECT_EQ(Decoded(s72, half), std::vector<float>{0.5f});
    // -3 and -1.5 units of the last byte; the second truncates toward zero to -1.
    EXPECT_EQ(Encoded(s72, {-0x1.8p-70f}), minusThree);
    EXPECT_EQ(Encoded(s72, {-0x1.8p-71f}), std::vector<std::uint8_t>(9, 0xFF));
    std::vector<std::uint8_t> largestThenLowest(18, 0x00);
    std::fill_n(largestThenLowest.begin(), 8, 0xFF);
    largestThenLowest[8] = 0x7F;
    largestThenLowest[17] = 0x80;
    EXPECT_EQ(Encoded(s72, {3.0f, -1.0f}), largestThenLowest);

    // Saturated at both ends, truncated toward zero in between.
    const SampleConverter s16 = Mono(1, 16);
    EXPECT_EQ(Encoded(s16, {1.0f, -2.0f, -1.5f / 32768}),
              (std::vector<std::uint8_t>{0xFF, 0x7F, 0x00, 0x80, 0xFF, 0xFF}));

    SampleConverter stereo = *SampleConverter::Create(1, 16, 2);
    const std::uint8_t frame[] = {0x00, 0x40, 0x00, 0xC0};
    float left = 0, right = 0;
    stereo.ToFloat(1, frame, &left, &right);
    EXPECT_EQ(left, 0.5f);
    EXPECT_EQ(right, -0.5f);
}

TEST(SampleConversion, UnsupportedFormatsAreRefused) {
    EXPECT_FALSE(SampleConverter::Create(3, 24, 1));
    EXPECT_FALSE(SampleConverter::Create(3, 16, 2));
    EXPECT_FALSE(SampleConverter::Create(2, 16, 1));
    EXPECT_FALSE(SampleConverter::Create(1, 16, 3));
    EXPECT_FALSE(SampleConverter::Create(1, 0, 1));
}

TEST(SampleConversion, RandomDataSurvivesARoundTripInEveryFormat) {
    struct Format {
        std::uint16_t tag, bits;
        float precision;
    };
    const Format formats[] = {{1, 8, 1 / 128.0f}, {1, 16, 1 / 32768.0f}, {1, 20, 0x1p-23f},
                              {1, 24, 0x1p-23f},  {1, 32, 0x1p-24f},     {1, 40, 0x1p-24f},
                              {1, 72, 0.0f},      {1, 96, 0.0f},
                              {3, 32, 0.0f},      {3, 64, 0.0f}};
    std::mt19937 random(3);
    std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
    for (const Format& format : formats) {
        for (std::uint16_t channels : {1, 2}) {
            SampleConverter converter = *SampleConverter::Create(format.tag, format.bits, channels);
            const int frames = 500;
            std::vector<float> left(frames), right(frames), backL(frames), backR(frames);
            for (int i = 0; i < frames; ++i) {
                left[i] = sample(random);
                right[i] = sample(random);
            }
            std::vector<std::uint8_t> bytes(frames * converter.BytesPerFrame());
            converter.FromFloat(frames, left.data(), right.data(), bytes.data());
            converter.ToFloat(frames, bytes.data(), backL.data(), backR.data());
            for (int i = 0; i < frames; ++i) {
                ASSERT_LE(std::fabs(backL[i] - left[i]), format.precision) << format.bits;
                if (channels == 2) {
                    ASSERT_LE(std::fabs(backR[i] - right[i]), format.precision) << format.bits;
                }
            }
        }
    }
}

} // namespace
