#include "bench/quality/RepairDamage.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

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

void AddClicks(std::vector<float>& signal, int rate, double perSecond) {
    std::mt19937 rng(1234);
    const int count = static_cast<int>(perSecond * signal.size() / rate);
    std::uniform_int_distribution<int> position(0, static_cast<int>(signal.size()) - 25);
    std::uniform_int_distribution<int> length(1, 24);
    std::uniform_real_distribution<float> amplitude(0.05f, 0.5f);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    for (int k = 0; k < count; ++k) {
        const int start = position(rng);
        const int frames = length(rng);
        const float level = amplitude(rng);
        for (int i = 0; i < frames; ++i)
            signal[start + i] += level * unit(rng);
    }
}

std::vector<float> Driven(const std::vector<float>& signal, float peak) {
    float largest = 0.0f;
    for (float v : signal)
        largest = std::max(largest, std::abs(v));
    std::vector<float> driven(signal);
    for (float& v : driven)
        v *= peak / largest;
    return driven;
}

void ClipAtFullScale(std::vector<float>& signal) {
    for (float& v : signal)
        v = std::clamp(v, -1.0f, 1.0f);
}

double SnrDb(const std::vector<float>& reference, const std::vector<float>& signal) {
    double energy = 0.0;
    double error = 0.0;
    for (std::size_t i = 0; i < reference.size(); ++i) {
        energy += static_cast<double>(reference[i]) * reference[i];
        const double difference = static_cast<double>(signal[i]) - reference[i];
        error += difference * difference;
    }
    return 10.0 * std::log10(energy / std::max(error, 1e-30));
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
