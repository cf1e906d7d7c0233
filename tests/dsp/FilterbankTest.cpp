#include "dsp/OversampledFilterbank.h"
#include "tests/primitives/FourierReference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

namespace {

struct BankShape {
    int frameSize, hop;
    float windowParameter;
    int windowLength;
};

class FilterbankReconstruction : public testing::TestWithParam<BankShape> {};

// Unchanged spectra must give back the input delayed by windowLength - hop, for any block
// sequence of whole hops, including blocks shorter than the overlap.
TEST_P(FilterbankReconstruction, UnchangedSpectraReturnDelayedInput) {
    const BankShape shape = GetParam();
    const int channels = 2;
    DSP::OversampledFilterbank bank;
    bank.Setup(channels, 48000, 4096);
    bank.Configure(shape.frameSize, shape.hop, shape.windowParameter, shape.windowLength);
    const int L = shape.windowLength == -1 ? shape.frameSize : shape.windowLength;
    const int delay = L - shape.hop;
    ASSERT_EQ(bank.latency, delay);

    const std::vector<int> blockHops = {1, 3, 1, 2, 8, 1, 1, 5, 2, 16, 1, 4};
    const int total = std::accumulate(blockHops.begin(), blockHops.end(), 0) * shape.hop;
    const std::vector<std::vector<float>> input{RandomFrame(total, 7), RandomFrame(total, 8)};
    std::vector<std::vector<float>> output(channels, std::vector<float>(total));

    std::vector<std::vector<float>> spectra(channels,
                                            std::vector<float>(16 * (shape.frameSize + 2)));
    int position = 0;
    for (int hops : blockHops) {
        const int n = hops * shape.hop;
        const float* in[] = {input[0].data() + position, input[1].data() + position};
        float* out[] = {output[0].data() + position, output[1].data() + position};
        float* spectrumPointers[] = {spectra[0].data(), spectra[1].data()};
        bank.Analyze(in, n, spectrumPointers, 0, 0);
        bank.Synthesize(out, n, spectrumPointers, 0, 0);
        position += n;
    }
    for (int c = 0; c < channels; ++c) {
        for (int i = 0; i < total; ++i) {
            const float expected = i >= delay ? input[c][i - delay] : 0.0f;
            ASSERT_NEAR(output[c][i], expected, 2e-6f) << "channel " << c << " frame " << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, FilterbankReconstruction,
                         testing::Values(BankShape{256, 64, 3.0f, -1}, BankShape{64, 16, 3.0f, -1},
                                         BankShape{256, 64, -1.0f, -1},
                                         BankShape{256, 32, 3.0f, 128}));

TEST(Filterbank, BandEdgesFollowSampleRate) {
    DSP::OversampledFilterbank bank;
    bank.Configure(1024, 256, 3.0f);
    bank.Setup(1, 48000, 4096);
    ASSERT_EQ(bank.bandHigh.size(), 513u);
    EXPECT_EQ(bank.bandLow[0], 0.0f);
    EXPECT_EQ(bank.bandHigh[0], 23.4375f);
    EXPECT_EQ(bank.bandLow[100], 4664.0625f);
    EXPECT_EQ(bank.bandHigh[100], 4710.9375f);
    EXPECT_EQ(bank.bandLow[512], 23976.5625f);
    EXPECT_EQ(bank.bandHigh[512], 24000.0f);
    bank.Setup(2, 8000, 4096);
    EXPECT_EQ(bank.bandHigh[512], 4000.0f);
}

} // namespace
