// Quality of the repair stages on real music: known damage is inserted into 30 s of a
// track, the stage repairs it in blocks of 4096 frames as the restoration chain does,
// and the repaired signal is compared with the undamaged one after the stage's delay.
// Usage: bench_quality [track.ogg]

#include "bench/quality/RepairDamage.h"
#include "bench/quality_denoise.h"
#include "dsp/Declick.h"
#include "dsp/Declip.h"
#include "dsp/ParameterMapping.h"

#include <cstdio>

namespace {

constexpr int repairBlockFrames = 4096;

void Report(const char* stage, const std::vector<float>& clean, const std::vector<float>& damaged,
            const std::vector<float>& repaired) {
    const double before = SnrDb(clean, damaged);
    const double after = SnrDb(clean, repaired);
    std::printf("%-12s SNR before %6.2f dB, after %6.2f dB, gain %+6.2f dB\n", stage, before, after,
                after - before);
}

// Clicks of 1 to 24 samples, 25 per second, at the default "Declick Sensitivity".
void EvaluateDeclick(const Music& music) {
    std::vector<float> damaged = music.samples;
    AddClicks(damaged, music.rate, 25.0);
    Declick declick;
    declick.quality = 0.0f;
    declick.detectionLevel = DSP::Restoration::DetectionLevelDb(DSP::Restoration::defaultSetting);
    declick.Setup(1, music.rate, repairBlockFrames);
    Report("declick", music.samples, damaged, RunAligned(declick, damaged, repairBlockFrames));
}

// The music driven to `peak` times full scale and clipped there; compared at unity
// output gain.
void EvaluateDeclip(const Music& music, float peak, const char* label) {
    const std::vector<float> driven = Driven(music.samples, peak);
    std::vector<float> clipped = driven;
    ClipAtFullScale(clipped);
    Declip declip;
    declip.quality = 0.0f;
    declip.outputGainDb = 0.0f;
    declip.Setup(1, music.rate, repairBlockFrames);
    Report(label, driven, clipped, RunAligned(declip, clipped, repairBlockFrames));
}

} // namespace

int main(int argc, char** argv) {
    const char* track = argc > 1 ? argv[1] : defaultTrack;
    const Music music = LoadMusic(track, 30.0, 30.0);
    if (music.samples.empty()) return 1;
    std::printf("%s: %.1f s from 30 s on, mono, %d Hz\n", track,
                static_cast<double>(music.samples.size()) / music.rate, music.rate);
    EvaluateDeclick(music);
    EvaluateDeclip(music, 1.8f, "declip 1.8x");
    EvaluateDeclip(music, 1.1f, "declip 1.1x");
    EvaluateDenoise(music.samples.data(), static_cast<int>(music.samples.size()), music.rate);
    return 0;
}
