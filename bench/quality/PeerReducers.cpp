#include "bench/quality/PeerReducers.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sndfile.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {

bool WriteWave(const std::string& path, const float* samples, int frames, int rate) {
    SF_INFO info{};
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    info.channels = 1;
    info.samplerate = rate;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) return false;
    const bool ok = sf_writef_float(file, samples, frames) == frames;
    return sf_close(file) == 0 && ok;
}

// A mono file, zero-padded to at least `frames` samples; empty on failure.
std::vector<float> ReadWave(const std::string& path, std::size_t frames) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr || info.channels != 1) {
        if (file != nullptr) sf_close(file);
        return {};
    }
    std::vector<float> samples(std::size_t(std::max<sf_count_t>(info.frames, sf_count_t(frames))),
                               0.0f);
    sf_readf_float(file, samples.data(), info.frames);
    sf_close(file);
    return samples;
}

// The delay (0 ... longestDelay frames) of `output` against the noisy input: the lag of the
// largest correlation over a second of music. ffmpeg's filters delay their output by part of
// their windows.
constexpr int longestDelay = 4096;

int Delay(const HissFile& file, const std::vector<float>& output) {
    const int length = file.rate;
    const int start = file.stretchBegin > 2 * length ? 0 : file.stretchEnd;
    int best = 0;
    double bestCorrelation = -1e300;
    for (int lag = 0; lag <= longestDelay; ++lag) {
        double sum = 0.0;
        for (int i = start; i < start + length; ++i)
            sum += double(file.noisy[i]) * output[i + lag];
        if (sum > bestCorrelation) {
            bestCorrelation = sum;
            best = lag;
        }
    }
    return best;
}

// Keeps the candidate with the highest SNR after aligning it for its delay.
void KeepBest(PeerResult& best, const HissFile& file, std::vector<float> output,
              const std::string& setting) {
    if (output.empty()) return;
    const int delay = Delay(file, output);
    output.erase(output.begin(), output.begin() + delay);
    output.resize(file.noisy.size(), 0.0f);
    const double snr = AlignedSnrDb(file, output);
    if (best.ran && snr <= best.snrDb) return;
    best = {true, std::move(output), setting, snr};
}

} // namespace

PeerReducers::PeerReducers() {
    std::string pattern = (std::filesystem::temp_directory_path() / "sonavel-hiss-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) folder = pattern;
}

PeerReducers::~PeerReducers() {
    if (!folder.empty()) std::filesystem::remove_all(folder);
}

bool PeerReducers::Run(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (const std::string& arg : command)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return false;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

PeerResult PeerReducers::BestAfftdn(const HissFile& file) {
    return BestFfmpeg(file, "");
}

PeerResult PeerReducers::BestChain(const HissFile& file) {
    return BestFfmpeg(file, "adeclip,adeclick,");
}

PeerResult PeerReducers::BestFfmpeg(const HissFile& file, const std::string& before) {
    PeerResult best;
    const std::string in = folder + "/noisy.wav";
    const std::string out = folder + "/afftdn.wav";
    if (folder.empty() || !WriteWave(in, file.noisy.data(), int(file.noisy.size()), file.rate))
        return best;
    const int floorDb = std::clamp(int(std::lround(StretchLevelDbfs(file))), -80, -20);
    for (int nr : {6, 12, 20, 30, 45}) {
        const std::string filter = before +
            "afftdn=nr=" + std::to_string(nr) + ":nf=" + std::to_string(floorDb);
        if (!Run(
                {"ffmpeg", "-v", "error", "-y", "-i", in, "-af", filter, "-c:a", "pcm_f32le", out}))
            continue;
        KeepBest(best, file, ReadWave(out, file.noisy.size()), "nr " + std::to_string(nr));
    }
    return best;
}

PeerResult PeerReducers::BestNoisered(const HissFile& file) {
    PeerResult best;
    const std::string in = folder + "/noisy.wav";
    const std::string noise = folder + "/noise.wav";
    const std::string profile = folder + "/noise.prof";
    const std::string out = folder + "/noisered.wav";
    const int stretch = file.stretchEnd - file.stretchBegin;
    if (folder.empty() || !WriteWave(in, file.noisy.data(), int(file.noisy.size()), file.rate) ||
        !WriteWave(noise, file.noisy.data() + file.stretchBegin, stretch, file.rate) ||
        !Run({"sox", "-V1", noise, "-n", "noiseprof", profile}))
        return best;
    for (const char* amount : {"0.1", "0.2", "0.3", "0.4", "0.5"}) {
        if (!Run({"sox", "-V1", in, "-e", "floating-point", out, "noisered", profile, amount}))
            continue;
        KeepBest(best, file, ReadWave(out, file.noisy.size()), std::string("amount ") + amount);
    }
    return best;
}
