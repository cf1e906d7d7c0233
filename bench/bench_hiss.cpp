// Hiss removal on real music against the free peers, in one run: 30 s of several planetblupi
// tracks with a 3 s noise-only stretch at the start, in the middle or at the end, white and
// pink-tilted hiss at -32 and -40 dBFS. Every reducer learns from the stretch: ffmpeg
// `afftdn` (best nr, noise floor measured on the stretch), SoX `noisered` (best amount), our
// standard reducer Denoise and the high-quality LogAmplitudeDenoise at "Reduction Amount" and
// "Reduction Sensitivity" 0.5. Prints per file the SNR gain after best gain alignment and the
// musical noise (log kurtosis ratio on the stretch). Then the whole restoration chain with the
// high-quality reducer against ffmpeg's `adeclip,adeclick,afftdn` on combined damage, on
// undamaged music without training, and its speed; last, every target beside its worst figure
// with PASS or FAIL. Beside the reducers, two oracles that know the clean music, at the best of
// three frame sizes: its Wiener gain, and its own magnitudes on the noisy phase.
// Usage: bench_hiss [track.ogg ...]

#include "bench/quality/ChainDamage.h"
#include "bench/quality/HissDamage.h"
#include "bench/quality/OracleGains.h"
#include "bench/quality/PeerReducers.h"
#include "bench/quality/RepairDamage.h"
#include "dsp/Denoise.h"
#include "dsp/LogAmplitudeDenoise.h"
#include "dsp/LookAheadStreamer.h"
#include "dsp/NoiseFinder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {

constexpr int blockFrames = 4096;
constexpr double stretchSeconds = 3.0;
// The knobs at 0.5, mapped as the filter maps them.
constexpr float reductionDb = 18.0f;
constexpr float sensitivityDb = 0.0f;
constexpr double marginTargetDb = 2.0;
constexpr double autoTargetDb = 0.5;
constexpr double speedTarget = 150.0;
constexpr double chainMarginTargetDb = 3.0;
constexpr double transparentTargetDb = 40.0;
constexpr double chainSpeedTarget = 100.0;
// Combined damage: mild clipping, crackle and hiss.
constexpr float drivenPeak = 1.25f;
constexpr double clicksPerSecond = 10.0;
constexpr float combinedHissDbfs = -36.0f;
// Where the noise-only stretch goes, by track.
constexpr double places[] = {0.0, 0.5, 1.0};
const char* const placeNames[] = {"start", "middle", "end"};

const char* const defaultTracks[] = {"/usr/share/planetblupi/music/music001.ogg",
                                     "/usr/share/planetblupi/music/music004.ogg",
                                     "/usr/share/planetblupi/music/music006.ogg"};

// Runs the mono stage over the whole signal in full blocks and returns the output aligned
// with the input.
std::vector<float> Stream(DSP::AudioProcessor& stage, const std::vector<float>& signal) {
    const std::size_t total = signal.size() + std::size_t(stage.latency);
    std::vector<float> work(signal);
    work.resize((total + blockFrames - 1) / blockFrames * blockFrames, 0.0f);
    for (std::size_t at = 0; at < work.size(); at += blockFrames) {
        float* block[] = {work.data() + at};
        stage.Process(block, blockFrames, nullptr);
    }
    return {work.begin() + stage.latency, work.begin() + std::ptrdiff_t(total)};
}

// Denoise trained on [begin, end) of the noisy file, in whole training hops.
void Train(Denoise& denoise, const std::vector<float>& noisy, int begin, int end) {
    denoise.StartTraining();
    const int usable = (end - begin) / (denoise.FrameSize() / 8) * (denoise.FrameSize() / 8);
    for (int at = 0; at < usable; at += blockFrames) {
        const float* block[] = {noisy.data() + begin + at};
        denoise.TrainBlock(block, std::min(blockFrames, usable - at));
    }
    denoise.FinishTraining();
}

struct Row {
    double inputSnr;
    double gain[4]; // afftdn, noisered, standard, high
    double musical[4];
    double autoGain; // high, learning the noise by itself
    double oracle;   // the Wiener gain that knows the clean music
    double ideal;    // the clean music's magnitudes on the noisy phase
};

// The best SNR gain of an oracle over frames of half, once and twice the reducer's size.
double BestOracleGain(const HissFile& file, int frameSize, OracleKind kind, double inputSnr) {
    double best = -1e30;
    for (int size : {frameSize / 2, frameSize, frameSize * 2})
        best = std::max(best, AlignedSnrDb(file, OracleOutput(file, size, kind)) - inputSnr);
    return best;
}

std::vector<float> RunHigh(const HissFile& file, const std::array<std::vector<float>, 2>& profile) {
    LogAmplitudeDenoise high;
    high.Setup(1, file.rate, blockFrames);
    high.noiseProfile = profile;
    high.reductionDb = reductionDb;
    high.sensitivityDb = sensitivityDb;
    high.UpdateNoise();
    return Stream(high, file.noisy);
}

Row Evaluate(const HissFile& file, PeerReducers& peers) {
    Row row{};
    row.inputSnr = AlignedSnrDb(file, file.noisy);
    const PeerResult afftdn = peers.BestAfftdn(file);
    const PeerResult noisered = peers.BestNoisered(file);

    Denoise denoise;
    LookAheadStreamer streamer(&denoise);
    streamer.Setup(1, file.rate, blockFrames);
    denoise.SetReductionDb(reductionDb);
    denoise.SetSensitivityDb(sensitivityDb);
    Train(denoise, file.noisy, file.stretchBegin, file.stretchEnd);
    const std::vector<float> standard = Stream(streamer, file.noisy);

    const std::vector<float> highOut = RunHigh(file, denoise.noiseProfile);
    const float* channels[] = {file.noisy.data()};
    const DSP::LearntNoise learnt =
        DSP::NoiseFinder::Learn(channels, 1, std::int64_t(file.noisy.size()), file.rate);

    const std::vector<float>* outputs[] = {&afftdn.output, &noisered.output, &standard, &highOut};
    for (int i = 0; i < 4; ++i) {
        if (outputs[i]->empty()) continue;
        row.gain[i] = AlignedSnrDb(file, *outputs[i]) - row.inputSnr;
        row.musical[i] = LogKurtosisRatio(file, *outputs[i]);
    }
    row.autoGain = AlignedSnrDb(file, RunHigh(file, learnt.profile)) - row.inputSnr;
    row.oracle = BestOracleGain(file, denoise.FrameSize(), OracleKind::wiener, row.inputSnr);
    row.ideal = BestOracleGain(file, denoise.FrameSize(), OracleKind::cleanMagnitude, row.inputSnr);
    return row;
}

// How many times faster than real time the high-quality reducer runs on one channel (best
// of three passes over the music), in processor time: the machine may be shared.
double TimesRealTime(const Music& music) {
    LogAmplitudeDenoise high;
    high.Setup(1, music.rate, blockFrames);
    double best = 1e30;
    for (int pass = 0; pass < 3; ++pass) {
        const std::clock_t start = std::clock();
        const std::vector<float> out = Stream(high, music.samples);
        best = std::min(best, double(std::clock() - start) / CLOCKS_PER_SEC);
    }
    return double(music.samples.size()) / music.rate / best;
}

// The worst figure over the files for each target, printed beside the target at the end.
struct Summary {
    double hissMargin = 1e30;      // high minus the best peer, dB
    double musicalExcess = -1e30;  // high's musical noise minus the standard reducer's
    double autoDeviation = 0.0;    // |auto - true stretch|, dB
    double chainMargin = 1e30;     // our chain minus ffmpeg's, dB
    double transparentSnr = 1e30;  // undamaged music through the chain, dB
    double speed = 0.0;            // high alone, one channel
    double chainSpeed = 0.0;       // the whole chain, stereo
    int files = 0;
    int targetAboveOracle = 0;     // files where best peer + 2 dB exceeds the Wiener oracle
    double idealRoom = 1e30;       // the clean-magnitude oracle minus best peer + 2 dB
};

std::string ShortName(const char* track) {
    const std::string path(track);
    return path.substr(path.rfind('/') + 1, 8);
}

void HissRows(const std::vector<const char*>& tracks, PeerReducers& peers, Summary& summary) {
    std::printf("hiss: SNR gain (dB, after best gain alignment) and musical noise (log kurtosis "
                "ratio on the noise stretch)\n");
    std::printf("%-26s %6s | %7s %7s %7s %7s | %6s | %6s %6s %6s %6s | %7s | %7s %7s\n",
                "file", "in", "afftdn", "sox", "std", "high", "margin", "mnFft", "mnSox", "mnStd",
                "mnHigh", "auto", "oracle", "ideal");
    std::vector<Row> rows;
    for (std::size_t t = 0; t < tracks.size(); ++t) {
        const Music music = LoadMusic(tracks[t], 30.0, 30.0);
        if (music.samples.empty()) std::exit(1);
        if (t == 0) summary.speed = TimesRealTime(music);
        for (HissColour colour : {HissColour::white, HissColour::pink}) {
            for (float level : {-32.0f, -40.0f}) {
                const std::string name = ShortName(tracks[t]) +
                                         (colour == HissColour::white ? " white " : " pink ") +
                                         std::to_string(int(level)) + " " + placeNames[t % 3];
                const HissFile file = MakeHissFile(name, music.samples, music.rate, places[t % 3],
                                                   stretchSeconds, colour, level);
                const Row row = Evaluate(file, peers);
                const double margin = row.gain[3] - std::max(row.gain[0], row.gain[1]);
                summary.hissMargin = std::min(summary.hissMargin, margin);
                summary.musicalExcess =
                    std::max(summary.musicalExcess, row.musical[3] - row.musical[2]);
                summary.autoDeviation =
                    std::max(summary.autoDeviation, std::fabs(row.autoGain - row.gain[3]));
                summary.files += 1;
                const double target = row.gain[3] - margin + marginTargetDb;
                if (target > row.oracle) summary.targetAboveOracle += 1;
                summary.idealRoom = std::min(summary.idealRoom, row.ideal - target);
                std::printf("%-26s %6.2f | %+7.2f %+7.2f %+7.2f %+7.2f | %+6.2f | %6.2f %6.2f "
                            "%6.2f %6.2f | %+7.2f | %+7.2f %+7.2f\n",
                            name.c_str(), row.inputSnr, row.gain[0], row.gain[1], row.gain[2],
                            row.gain[3], margin, row.musical[0], row.musical[1], row.musical[2],
                            row.musical[3], row.autoGain, row.oracle, row.ideal);
                std::fflush(stdout);
                rows.push_back(row);
            }
        }
    }
    Row mean{};
    for (const Row& row : rows) {
        mean.inputSnr += row.inputSnr / double(rows.size());
        mean.autoGain += row.autoGain / double(rows.size());
        mean.oracle += row.oracle / double(rows.size());
        mean.ideal += row.ideal / double(rows.size());
        for (int i = 0; i < 4; ++i) {
            mean.gain[i] += row.gain[i] / double(rows.size());
            mean.musical[i] += row.musical[i] / double(rows.size());
        }
    }
    std::printf("%-26s %6.2f | %+7.2f %+7.2f %+7.2f %+7.2f | %+6.2f | %6.2f %6.2f %6.2f %6.2f | "
                "%+7.2f | %+7.2f %+7.2f\n",
                "mean", mean.inputSnr, mean.gain[0], mean.gain[1], mean.gain[2], mean.gain[3],
                mean.gain[3] - std::max(mean.gain[0], mean.gain[1]), mean.musical[0],
                mean.musical[1], mean.musical[2], mean.musical[3], mean.autoGain, mean.oracle,
                mean.ideal);
}

// Combined damage through the whole chain against ffmpeg's, and undamaged music through the
// chain without training.
void ChainRows(const std::vector<const char*>& tracks, PeerReducers& peers, Summary& summary) {
    std::printf("\nwhole chain (declip, declick, high reducer; knobs 0.5): combined damage "
                "(peak driven to %.2f and clipped, %.0f clicks/s, white hiss %.0f dBFS)\n",
                drivenPeak, clicksPerSecond, combinedHissDbfs);
    std::printf("%-26s %6s | %7s %7s | %6s | %11s\n", "file", "in", "ffmpeg", "ours", "margin",
                "clean SNR");
    for (std::size_t t = 0; t < tracks.size(); ++t) {
        const Music music = LoadMusic(tracks[t], 30.0, 30.0);
        if (music.samples.empty()) std::exit(1);
        const std::string name = ShortName(tracks[t]) + " combined " + placeNames[t % 3];
        const HissFile file =
            MakeCombinedFile(name, music.samples, music.rate, places[t % 3], stretchSeconds,
                             drivenPeak, clicksPerSecond, combinedHissDbfs);
        const double input = AlignedSnrDb(file, file.noisy);
        const PeerResult ffmpeg = peers.BestChain(file);
        const double ours = AlignedSnrDb(file, RunChain(file, true)) - input;
        const double theirs = ffmpeg.ran ? ffmpeg.snrDb - input : -1e30;

        HissFile undamaged;
        undamaged.rate = music.rate;
        undamaged.clean = undamaged.noisy = music.samples;
        const double transparent = AlignedSnrDb(undamaged, RunChain(undamaged, false));

        summary.chainMargin = std::min(summary.chainMargin, ours - theirs);
        summary.transparentSnr = std::min(summary.transparentSnr, transparent);
        if (t == 0) summary.chainSpeed = ChainTimesRealTime(music.samples, music.rate);
        std::printf("%-26s %6.2f | %+7.2f %+7.2f | %+6.2f | %11.2f\n", name.c_str(), input, theirs,
                    ours, ours - theirs, transparent);
        std::fflush(stdout);
    }
}

void Target(const char* what, double figure, const char* unit, bool atLeast, double target) {
    const bool ok = atLeast ? figure >= target : figure <= target;
    std::printf("%-62s %9.2f %-3s %s %7.2f  %s\n", what, figure, unit, atLeast ? ">=" : "<=",
                target, ok ? "PASS" : "FAIL");
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<const char*> tracks =
        argc > 1 ? std::vector<const char*>(argv + 1, argv + argc)
                 : std::vector<const char*>(std::begin(defaultTracks), std::end(defaultTracks));
    PeerReducers peers;
    Summary summary;
    HissRows(tracks, peers, summary);
    ChainRows(tracks, peers, summary);
    std::printf("\ntargets (worst file)%44s %9s %-3s %10s\n", "", "figure", "", "target");
    Target("hiss: high minus the best peer, dB", summary.hissMargin, "dB", true, marginTargetDb);
    Target("hiss: high's musical noise minus the standard reducer's", summary.musicalExcess, "",
           false, 0.0);
    Target("hiss: auto-learnt noise vs true stretch, |difference| dB", summary.autoDeviation, "dB",
           false, autoTargetDb);
    Target("combined damage: our chain minus ffmpeg's, dB", summary.chainMargin, "dB", true,
           chainMarginTargetDb);
    Target("undamaged music through the chain untrained: SNR, dB", summary.transparentSnr, "dB",
           true, transparentTargetDb);
    Target("speed: high reducer alone, one channel, x real time", summary.speed, "x", true,
           speedTarget);
    Target("speed: whole chain with high, stereo 44.1 kHz, x real time", summary.chainSpeed, "x",
           true, chainSpeedTarget);
    std::printf("hiss: files where the best peer + %.0f dB lies above the Wiener oracle's gain: "
                "%d of %d\n",
                marginTargetDb, summary.targetAboveOracle, summary.files);
    std::printf("hiss: least room between the best peer + %.0f dB and the clean-magnitude "
                "oracle's gain: %.2f dB\n",
                marginTargetDb, summary.idealRoom);
    std::printf("reproduce: cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release "
                "-DSONAVEL_BENCH=ON && cmake --build build-release --target bench_hiss && "
                "./build-release/bench/bench_hiss\n");
    return 0;
}
