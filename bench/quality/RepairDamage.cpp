#include "bench/quality/RepairDamage.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

Music LoadMusic(const char* path, double offsetSeconds, double seconds) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path, SFM_READ, &info);
    if (file == nullptr) {
        std::fprintf(stderr, "cannot read %s: %s (install planetblupi-music-ogg)\n", path,
                     sf_strerror(nullptr));
        return {};
    }
    const sf_count_t frames = static_cast<sf_count_t>(seconds * info.samplerate);
    sf_seek(file, static_cast<sf_count_t>(offsetSeconds * info.samplerate), SEEK_SET);
    std::vector<float> interleaved(static_cast<std::size_t>(frames * info.channels));
    const sf_count_t read = sf_readf_float(file, interleaved.data(), frames);
    sf_close(file);

    Music music;
    music.rate = info.samplerate;
    music.samples.resize(static_cast<std::size_t>(read));
    for (sf_count_t i = 0; i < read; ++i) {
        float sum = 0.0f;
        for (int c = 0; c < info.channels; ++c)
            sum += interleaved[i * info.channels + c];
        music.samples[i] = sum / info.channels;
    }
    return music;
}

std::vector<float> RunAligned(DSP::AudioProcessor& stage, const std::vector<float>& signal,
                              int blockSize) {
    std::vector<float> stream(signal);
    stream.resize(signal.size() + stage.latency, 0.0f);
    for (std::size_t at = 0; at < stream.size(); at += blockSize) {
        float* channels[] = {stream.data() + at};
        const int frames = static_cast<int>(std::min<std::size_t>(blockSize, stream.size() - at));
        stage.Process(channels, frames, nullptr);
    }
    stream.erase(stream.begin(), stream.begin() + stage.latency);
    return stream;
}
