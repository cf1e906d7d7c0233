#pragma once
// Audio files through libsndfile, read and written with the same converters the
// DirectShow filter uses, so that the samples match it exactly: integer PCM travels
// as raw integers, float and double as themselves, and only the shared converters
// turn them into the engine's float. Input errors are CliErrors with the input exit
// code, output errors with the output exit code.

#include <cstdint>
#include <optional>
#include <sndfile.h>
#include <string>
#include <vector>

#include "apps/Frames.h"
#include "apps/SampleFormat.h"
#include "core/SampleConverter.h"

class AtomicOutput;

// How samples cross between libsndfile and the converters.
enum class RawSamples { Bytes8, Shorts, Ints24, Ints, Floats, Doubles, Encoded };

class AudioReader : public FrameSource {
public:
    // Opens a mono or stereo file.
    explicit AudioReader(const std::string& path);
    AudioReader(const AudioReader&) = delete;
    AudioReader& operator=(const AudioReader&) = delete;
    ~AudioReader() override;

    const std::string& Path() const { return path; }
    int Channels() const { return info.channels; }
    std::uint32_t Rate() const { return std::uint32_t(info.samplerate); }
    std::int64_t Frames() const { return info.frames; }
    // libsndfile's container and sample codes.
    int Format() const { return info.format; }
    // The frames that the file's header announces beyond those the file holds: more
    // than 0 for a truncated WAV file, whose frames are read as far as they go.
    std::int64_t MissingFrames() const { return missingFrames; }

    void Seek(std::int64_t frame);
    int Read(int frames, float* left, float* right) override;

private:
    std::string path;
    SF_INFO info{};
    SNDFILE* file = nullptr;
    RawSamples raw;
    std::int64_t missingFrames = 0;
    std::optional<SampleConverter> converter;
    std::vector<std::int16_t> shorts;
    std::vector<std::int32_t> ints;
    std::vector<float> floats;
    std::vector<double> doubles;
};

class AudioWriter : public FrameSink {
public:
    // Writes into the output's temporary file; `format` is libsndfile's code.
    AudioWriter(AtomicOutput& output, int format, int channels, std::uint32_t rate);
    AudioWriter(const AudioWriter&) = delete;
    AudioWriter& operator=(const AudioWriter&) = delete;
    ~AudioWriter() override;

    void Write(int frames, const float* left, const float* right) override;
    // Completes the file's header; the output can be committed after it.
    void Close();

private:
    [[noreturn]] void Fail() const;
    // The block in libsndfile's hands; returns the frames it took.
    sf_count_t Hand(int frames, const float* left, const float* right);

    std::string path;
    SNDFILE* file = nullptr;
    int channels;
    RawSamples raw;
    std::optional<SampleConverter> converter;
    std::vector<std::uint8_t> bytes;
    std::vector<std::int16_t> shorts;
    std::vector<std::int32_t> ints;
    std::vector<float> floats;
    std::vector<double> doubles;
};

// libsndfile's format for an output at `path`: the container its extension names (the
// input's own when that is of the same kind), holding the samples asked for, else the
// input's, else the nearest the container can hold. A container that cannot hold what
// was asked for is a usage error.
int ChooseOutputFormat(const std::string& path, int inputFormat, std::optional<SampleFormat> asked,
                       int channels, std::uint32_t rate);
