#pragma once
// Non-finite samples (NaN, infinities) in what a file gives: counted on the way to the
// effect, which reads them as dropouts, and left out of what training learns from.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "apps/Frames.h"

// Passes a source's frames on unchanged, counting the non-finite samples among them.
class NonFiniteCounter : public FrameSource {
public:
    // `firstFrame` is the position in the file of the source's first frame.
    NonFiniteCounter(FrameSource& source, int channels, std::uint32_t rate,
                     std::int64_t firstFrame = 0);

    int Read(int frames, float* left, float* right) override;
    std::int64_t Count() const { return count; }
    // One line for the user about them, naming `path` and what became of them; none
    // when there were none.
    std::optional<std::string> Report(const std::string& path, const char* treatment) const;

private:
    FrameSource& source;
    int channels;
    std::uint32_t rate;
    std::int64_t position;
    std::int64_t count = 0;
    std::int64_t firstBadFrame = -1;
};

// Reads at most `budget` frames from a source and passes on only the frames whose
// samples are all finite.
class FiniteFramesOnly : public FrameSource {
public:
    FiniteFramesOnly(FrameSource& source, int channels, std::int64_t budget, int blockFrames);

    int Read(int frames, float* left, float* right) override;

private:
    FrameSource& source;
    bool stereo;
    std::int64_t budget;
    std::vector<float> left, right;
};
