#include "apps/AutoTrain.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "apps/AudioFile.h"
#include "apps/HostPlugin.h"
#include "core/Restoration.h"
#include "dsp/LittleEndian.h"

namespace {

// One stretch of the file read into the sample.
struct Excerpt {
    std::int64_t fileStart;
    std::int64_t sampleStart;
    std::int64_t frames;
};

std::vector<Excerpt> PlanExcerpts(std::int64_t fileFrames, std::uint32_t rate) {
    const auto budget = std::int64_t(AutoTrain::sampleSeconds * rate);
    if (fileFrames <= budget) return {{0, 0, fileFrames}};
    const auto length = std::int64_t(AutoTrain::excerptSeconds * rate);
    const std::int64_t count = budget / length;
    std::vector<Excerpt> excerpts;
    for (std::int64_t i = 0; i < count; ++i) {
        const std::int64_t start = (fileFrames - length) * i / (count - 1);
        excerpts.push_back({start, i * length, length});
    }
    return excerpts;
}

void ReadExcerpt(AudioReader& file, const Excerpt& excerpt,
                 std::vector<std::vector<float>>& planar) {
    file.Seek(excerpt.fileStart);
    float* left = planar[0].data() + excerpt.sampleStart;
    float* right = planar.size() > 1 ? planar[1].data() + excerpt.sampleStart : nullptr;
    for (std::int64_t done = 0; done < excerpt.frames;) {
        const int wanted = int(std::min<std::int64_t>(excerpt.frames - done, 65536));
        const int got = file.Read(wanted, left + done, right != nullptr ? right + done : nullptr);
        if (got == 0) break;
        done += got;
    }
    for (std::vector<float>& channel : planar)
        std::replace_if(
            channel.begin() + excerpt.sampleStart,
            channel.begin() + excerpt.sampleStart + excerpt.frames,
            [](float x) { return !std::isfinite(x); }, 0.0f);
}

// A stretch of the sample, split where it crosses from one excerpt into the next, in
// the file's time.
void MapToFile(const DSP::NoiseStretch& stretch, const std::vector<Excerpt>& excerpts,
               std::vector<DSP::NoiseStretch>& out) {
    for (const Excerpt& e : excerpts) {
        const std::int64_t begin = std::max(stretch.begin, e.sampleStart);
        const std::int64_t end = std::min(stretch.end, e.sampleStart + e.frames);
        if (begin < end)
            out.push_back({begin - e.sampleStart + e.fileStart, end - e.sampleStart + e.fileStart});
    }
}

std::string Clock(std::int64_t frame, std::uint32_t rate) {
    const std::int64_t tenths = std::llround(double(frame) * 10.0 / rate);
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld.%lld", static_cast<long long>(tenths / 600),
                  static_cast<long long>(tenths % 600 / 10), static_cast<long long>(tenths % 10));
    return text;
}

} // namespace

AutoTrainResult AutoTrain::Learn(AudioReader& file) {
    const std::vector<Excerpt> excerpts = PlanExcerpts(file.Frames(), file.Rate());
    const std::int64_t frames = excerpts.back().sampleStart + excerpts.back().frames;
    std::vector<std::vector<float>> planar(std::size_t(file.Channels()),
                                           std::vector<float>(std::size_t(frames), 0.0f));
    for (const Excerpt& excerpt : excerpts)
        ReadExcerpt(file, excerpt, planar);
    const float* channels[2] = {planar[0].data(), planar.back().data()};
    AutoTrainResult result;
    result.noise = DSP::NoiseFinder::Learn(channels, file.Channels(), frames, int(file.Rate()));
    for (const DSP::NoiseStretch& stretch : result.noise.stretches)
        MapToFile(stretch, excerpts, result.stretchesInFile);
    return result;
}

// A mono profile's second row is never used; it repeats the first so that the block is whole.
void AutoTrain::Load(const DSP::LearntNoise& noise, HostPlugin& plugin) {
    using DSP::Restoration::Restoration;
    std::vector<std::uint8_t> bytes(Restoration::customStateSize);
    std::uint8_t* at = bytes.data();
    for (const std::vector<float>& row : noise.profile) {
        const std::vector<float>& levels = row.empty() ? noise.profile[0] : row;
        for (float level : levels) {
            LittleEndian::PutFloat(at, level);
            at += sizeof(float);
        }
    }
    plugin.RestorationComponent().LoadCustomState(bytes, 0);
}

std::string AutoTrain::Describe(const AutoTrainResult& result, std::uint32_t rate) {
    if (result.stretchesInFile.empty())
        return "no noise-only stretch found; the noise floor was estimated from the quietest "
               "moments of each band";
    const std::vector<DSP::NoiseStretch>& stretches = result.stretchesInFile;
    std::string text = "learnt the noise from ";
    std::int64_t total = 0;
    for (std::size_t i = 0; i < stretches.size(); ++i) {
        total += stretches[i].end - stretches[i].begin;
        if (i < shownStretches)
            text += (i > 0 ? ", " : "") + Clock(stretches[i].begin, rate) + "-" +
                    Clock(stretches[i].end, rate);
    }
    if (stretches.size() > shownStretches) {
        char more[96];
        std::snprintf(more, sizeof more, " and %zu more stretches (%.1f s in all)",
                      stretches.size() - shownStretches, double(total) / rate);
        text += more;
    }
    return text;
}
