// Fingerprints of every stage's output and of the whole effect for one fixed input and
// fixed settings, taken before the code was reshaped: a refactor that moves a single
// sample by more than the tolerance fails here, where the property tests (SNR, delay)
// would let it through.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "RestorationTestSupport.h"
#include "dsp/Declick.h"
#include "dsp/Declip.h"
#include "dsp/Denoise.h"
#include "dsp/LookAheadStreamer.h"

namespace {

// Relative tolerance of every fingerprint value, relative to at least goldenScale. Not
// exact equality: a vectorised FFT or Vec routine may reorder sums and move results by a
// few float ulps of full-scale samples (1e-7); 1e-5 allows that and still catches any
// change of the algorithm, which moves values by 1e-4 and more. The floor is the test
// signal's level: a sample near zero (keep-only-noise is a difference of two loud
// signals) carries the rounding of its loud neighbours, not of its own size.
constexpr double goldenTolerance = 1e-5, goldenScale = 0.1;
constexpr std::size_t goldenFrames = 3 * 44100;
// Sample positions that fall in start-up, in repaired clicks and clips and in plain music.
constexpr std::size_t probePositions[] = {5000, 20011, 44100, 70001, 99999, 120000};

struct Fingerprint {
    double rms;
    double samples[std::size(probePositions)];
};

// A portable generator, so that the input is the same on every standard library.
struct Lcg {
    std::uint32_t state;
    float Next() {
        state = state * 1664525u + 1013904223u;
        return float(state >> 8) / float(1u << 24) * 2.0f - 1.0f;
    }
};

// Music with hiss, clipped at 0.9, with a click every 997 frames from 0.5 s on.
Audio GoldenInput() {
    Audio audio{std::vector<float>(goldenFrames), std::vector<float>(goldenFrames)};
    Lcg random{12345};
    for (std::size_t i = 0; i < goldenFrames; ++i) {
        const float t = float(i) / 44100.0f, swell = 0.7f + 0.5f * std::sin(6.2831853f * 0.7f * t);
        const float l = swell * (0.6f * std::sin(6.2831853f * 330.0f * t) +
                                 0.3f * std::sin(6.2831853f * 1210.0f * t + 1.0f));
        const float r = swell * 0.8f * std::sin(6.2831853f * 247.0f * t + 0.5f);
        audio.left[i] = std::clamp(l + 0.01f * random.Next(), -0.9f, 0.9f);
        audio.right[i] = std::clamp(r + 0.01f * random.Next(), -0.9f, 0.9f);
    }
    for (std::size_t at = 22050; at + 8 < goldenFrames; at += 997) {
        for (std::size_t k = 0; k < 1 + at % 7; ++k) {
            audio.left[at + k] += 0.4f * random.Next();
            audio.right[at + k + 3] += 0.4f * random.Next();
        }
    }
    return audio;
}

void Print(const char* name, const Fingerprint& f) {
    std::printf("%s: {%.9g, {", name, f.rms);
    for (double s : f.samples)
        std::printf("%.9g, ", s);
    std::printf("}}\n");
}

// After an intended change of the output, SONAVEL_PRINT_GOLDEN=1 prints the new fingerprints.
Fingerprint Summarise(const char* name, const Audio& audio) {
    Fingerprint f{};
    const std::size_t n = audio.Frames();
    f.rms =
        std::sqrt((Energy(audio.left.data(), n) + Energy(audio.right.data(), n)) / double(2 * n));
    for (std::size_t k = 0; k < std::size(probePositions); ++k)
        f.samples[k] = audio.left[probePositions[k]] + 0.5 * audio.right[probePositions[k]];
    if (std::getenv("SONAVEL_PRINT_GOLDEN") != nullptr) Print(name, f);
    return f;
}

// Runs a set-up stage over the audio in blocks of 4096 frames, in place.
Audio RunStage(DSP::AudioProcessor& stage, Audio audio) {
    for (std::size_t at = 0; at < audio.Frames(); at += 4096) {
        const int n = int(std::min<std::size_t>(4096, audio.Frames() - at));
        float* block[] = {audio.left.data() + at, audio.right.data() + at};
        stage.Process(block, n, nullptr);
    }
    return audio;
}

void ExpectFingerprint(const Fingerprint& got, const Fingerprint& want) {
    auto near = [](double a, double b) {
        return std::fabs(a - b) <= goldenTolerance * std::max(std::fabs(b), goldenScale);
    };
    EXPECT_TRUE(near(got.rms, want.rms)) << "rms " << got.rms << " want " << want.rms;
    for (std::size_t k = 0; k < std::size(probePositions); ++k)
        EXPECT_TRUE(near(got.samples[k], want.samples[k]))
            << "sample " << probePositions[k] << ": " << got.samples[k] << " want "
            << want.samples[k];
}

} // namespace

TEST(Golden, EachStageAndTheWholeEffectKeepTheirOutput) {
    const Audio input = GoldenInput();

    Declip declip;
    declip.quality = 0.0f;
    declip.clipLevel = -1.0f;
    declip.Setup(2, 44100, 4096);
    const Fingerprint clip = Summarise("declip", RunStage(declip, input));

    Declick declick;
    declick.quality = 0.0f;
    declick.detectionLevel = -7.5f;
    declick.Setup(2, 44100, 4096);
    const Fingerprint click = Summarise("declick", RunStage(declick, input));

    Denoise denoise;
    LookAheadStreamer streamer(&denoise);
    streamer.Setup(2, 44100, 4096);
    denoise.StartTraining();
    Audio noise{std::vector<float>(44100), std::vector<float>(44100)};
    Lcg random{7};
    for (std::size_t i = 0; i < 44100; ++i) {
        noise.left[i] = 0.01f * random.Next();
        noise.right[i] = 0.01f * random.Next();
    }
    for (int at = 0; at + 4096 <= 44100; at += 4096) {
        float* block[] = {noise.left.data() + at, noise.right.data() + at};
        denoise.TrainBlock(block, 4096);
    }
    denoise.FinishTraining();
    denoise.SetReductionDb(18.0f);
    const Fingerprint reduce = Summarise("denoise", RunStage(streamer, input));

    // Listening to the repairs must not change a sample of the chain's output.
    struct : DSP::RepairObserver {
        void OnRepair(const DSP::Repair&) noexcept override { ++heard; }
        int heard = 0;
    } listener;
    EffectPlugin plugin;
    plugin.Effect().SetRepairObserver(&listener);
    const Fingerprint chain = Summarise("chain", RunStream(plugin, input));
    EXPECT_GT(listener.heard, 0);
    plugin.Effect().SetKeepOnlyNoise(true);
    const Fingerprint onlyNoise = Summarise("onlyNoise", RunStream(plugin, input));

    ExpectFingerprint(clip, {0.204381751,
                             {0.229245421, 0.474871144, -0.00773922727, 0.292706147, -0.102329969,
                              0.0546839125}});
    ExpectFingerprint(
        click, {0.398372407,
                {0.419198707, 0.233041719, -0.127608061, 0.351376921, 0.554484248, -0.0189007223}});
    ExpectFingerprint(reduce, {0.384902014,
                               {0.0478836298, -0.94202143, -0.12972885, -0.60637933, 0.147937592,
                                0.00744696986}});
    ExpectFingerprint(chain, {0.204651884,
                              {0.357743919, 0.0188277811, 0.0460956823, -0.257912338, 0.167883135,
                               -0.00851641595}});
    ExpectFingerprint(onlyNoise, {0.0137289736,
                                  {-0.000235721469, 2.45273113e-05, -0.000104174018, -7.1823597e-05,
                                   -0.00010240078, -0.000159725547}});
}
