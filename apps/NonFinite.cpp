#include "apps/NonFinite.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

bool Finite(const float* left, const float* right, int i) {
    return std::isfinite(left[i]) && (right == nullptr || std::isfinite(right[i]));
}

} // namespace

NonFiniteCounter::NonFiniteCounter(FrameSource& source, int channels, std::uint32_t rate,
                                   std::int64_t firstFrame)
    : source(source), channels(channels), rate(rate), position(firstFrame) {}

int NonFiniteCounter::Read(int frames, float* left, float* right) {
    const int got = source.Read(frames, left, right);
    for (int i = 0; i < got; ++i) {
        const int bad =
            int(!std::isfinite(left[i])) + int(channels == 2 && !std::isfinite(right[i]));
        if (bad > 0 && firstBadFrame < 0) firstBadFrame = position + i;
        count += bad;
    }
    position += got;
    return got;
}

std::optional<std::string> NonFiniteCounter::Report(const std::string& path,
                                                    const char* treatment) const {
    if (count == 0) return std::nullopt;
    char where[96];
    std::snprintf(where, sizeof where, "the first at %.3f s (frame %lld)",
                  double(firstBadFrame) / double(rate), static_cast<long long>(firstBadFrame));
    return path + ": " + std::to_string(count) + " non-finite sample" + (count > 1 ? "s" : "") +
           " (NaN or infinite), " + where + ", " + treatment;
}

FiniteFramesOnly::FiniteFramesOnly(FrameSource& source, int channels, std::int64_t budget,
                                   int blockFrames)
    : source(source), stereo(channels == 2), budget(budget), left(std::size_t(blockFrames)),
      right(std::size_t(blockFrames)) {}

int FiniteFramesOnly::Read(int frames, float* outLeft, float* outRight) {
    int kept = 0;
    while (kept < frames && budget > 0) {
        const int want =
            int(std::min<std::int64_t>({frames - kept, budget, std::int64_t(left.size())}));
        const int got = source.Read(want, left.data(), stereo ? right.data() : nullptr);
        if (got == 0) break;
        budget -= got;
        for (int i = 0; i < got; ++i) {
            if (!Finite(left.data(), stereo ? right.data() : nullptr, i)) continue;
            outLeft[kept] = left[std::size_t(i)];
            if (stereo) outRight[kept] = right[std::size_t(i)];
            ++kept;
        }
    }
    return kept;
}
