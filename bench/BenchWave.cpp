#include "bench/BenchWave.h"

#include <sndfile.h>
#include <vector>

static_assert(SF_FORMAT_PCM_16 == 0x0002, "the default subformat is 16-bit PCM");

bool WriteStereoWave(const std::filesystem::path& path, const StereoSignal& s, int repeats,
                     int subformat) {
    SF_INFO info{};
    info.format = SF_FORMAT_WAV | subformat;
    info.channels = 2;
    info.samplerate = int(s.rate);
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) return false;
    std::vector<float> frames;
    frames.reserve(2 * s.Frames());
    for (std::size_t i = 0; i < s.Frames(); ++i)
        frames.insert(frames.end(), {s.left[i], s.right[i]});
    bool ok = true;
    for (int r = 0; r < repeats && ok; ++r)
        ok = sf_writef_float(file, frames.data(), sf_count_t(s.Frames())) == sf_count_t(s.Frames());
    return sf_close(file) == 0 && ok;
}
