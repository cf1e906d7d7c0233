#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "core/SampleConverter.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Integer samples of one channel.
SampleConverter Mono(std::uint16_t bits) {
    return *SampleConverter::Create(1, bits, 1);
}

std::vector<float> Decoded(SampleConverter converter, Bytes bytes) {
    std::vector<float> samples(bytes.size() / converter.BytesPerSample());
    converter.ToFloat(int(samples.size()), bytes.data(), samples.data(), nullptr);
    return samples;
}

Bytes Encoded(SampleConverter converter, std::vector<float> samples) {
    Bytes bytes(samples.size() * converter.BytesPerSample());
    converter.FromFloat(int(samples.size()), samples.data(), nullptr, bytes.data());
    return bytes;
}

// Little-endian, full scale at the top bit, saturated at both ends and truncated toward
// zero in between; wider than 64 bits the same rule holds over all bytes. 8 bits are
// unsigned around 128. Stereo interleaves left first.
TEST(SampleConversion, IntegerBytesMeetFullScale) {
    const Bytes top72{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F};
    Bytes topThenBottom72 = top72;
    topThenBottom72.insert(topThenBottom72.end(), {0, 0, 0, 0, 0, 0, 0, 0, 0x80});
    const struct {
        std::uint16_t bits;
        std::vector<float> samples;
        Bytes bytes;
    } encodings[] = {
        {8, {0.0f, -1.0f, 2.0f, -3.0f}, {128, 0, 255, 0}},
        {16, {1.0f, -2.0f, -1.5f / 32768}, {0xFF, 0x7F, 0x00, 0x80, 0xFF, 0xFF}},
        {24, {1.0f, -1.0f, -1.5f / (1 << 23)}, {0xFF, 0xFF, 0x7F, 0, 0, 0x80, 0xFF, 0xFF, 0xFF}},
        {72, {0.5f}, {0, 0, 0, 0, 0, 0, 0, 0, 0x40}},
        // -3 and -1.5 units of the last byte; the second truncates toward zero to -1.
        {72, {-0x1.8p-70f}, {0xFD, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {72, {-0x1.8p-71f}, Bytes(9, 0xFF)},
        {72, {3.0f, -1.0f}, topThenBottom72}};
    for (const auto& e : encodings)
        EXPECT_EQ(Encoded(Mono(e.bits), e.samples), e.bytes) << e.bits << " bits";

    EXPECT_EQ(Decoded(Mono(8), {128, 0, 255}), (std::vector<float>{0.0f, -1.0f, 127 / 128.0f}));
    EXPECT_EQ(Decoded(Mono(24), {0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F}),
              (std::vector<float>{-1.0f, float((1 << 23) - 1) / (1 << 23)}));
    EXPECT_EQ(Decoded(Mono(72), {0, 0, 0, 0, 0, 0, 0, 0, 0x40}), std::vector<float>{0.5f});
    const Bytes frame{0x00, 0x40, 0x00, 0xC0};
    float left = 0, right = 0;
    SampleConverter::Create(1, 16, 2)->ToFloat(1, frame.data(), &left, &right);
    EXPECT_EQ(left, 0.5f);
    EXPECT_EQ(right, -0.5f);
}

// Integer widths and channel counts the DirectShow filter refuses are checked there.
TEST(SampleConversion, UnsupportedFormatsAreRefused) {
    EXPECT_FALSE(SampleConverter::Create(3, 24, 1));
    EXPECT_FALSE(SampleConverter::Create(2, 16, 1));
    EXPECT_FALSE(SampleConverter::Create(1, 0, 1));
}

TEST(SampleConversion, RandomDataSurvivesARoundTripInEveryFormat) {
    const struct {
        std::uint16_t tag, bits;
        float precision;
    } formats[] = {{1, 8, 1 / 128.0f}, {1, 16, 1 / 32768.0f}, {1, 20, 0x1p-23f}, {1, 24, 0x1p-23f},
                   {1, 32, 0x1p-24f},  {1, 40, 0x1p-24f},     {1, 72, 0.0f},     {1, 96, 0.0f},
                   {3, 32, 0.0f},      {3, 64, 0.0f}};
    std::mt19937 random(3);
    std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
    const int frames = 500;
    for (const auto& format : formats) {
        for (std::uint16_t channels : {1, 2}) {
            SCOPED_TRACE(testing::Message() << format.tag << "/" << format.bits << "/" << channels);
            SampleConverter converter = *SampleConverter::Create(format.tag, format.bits, channels);
            std::vector<float> in[2],
                back[2] = {std::vector<float>(frames), std::vector<float>(frames)};
            for (int i = 0; i < 2 * frames; ++i)
                in[i % 2].push_back(sample(random));
            Bytes bytes(frames * converter.BytesPerFrame());
            converter.FromFloat(frames, in[0].data(), in[1].data(), bytes.data());
            converter.ToFloat(frames, bytes.data(), back[0].data(), back[1].data());
            for (int c = 0; c < channels; ++c) {
                for (int i = 0; i < frames; ++i)
                    ASSERT_LE(std::fabs(back[c][i] - in[c][i]), format.precision) << i;
            }
        }
    }
}

} // namespace
