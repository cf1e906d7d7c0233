#pragma once
// Converts a host's interleaved sample bytes to the engine's planar 32-bit float
// (nominal full scale ±1.0) and back. One converter serves one wave format: integer
// PCM of any byte width, or IEEE float of 4 or 8 bytes, with one or two channels.

#include <cstdint>
#include <optional>
#include <vector>

class SampleConverter {
public:
    // Wave format tags.
    static constexpr std::uint16_t pcmFormat = 1;
    static constexpr std::uint16_t floatFormat = 3;

    // Empty when the format cannot be converted: another tag, not one or two channels,
    // a float width other than 4 or 8 bytes, or an integer of 0 bits.
    static std::optional<SampleConverter>
    Create(std::uint16_t formatTag, std::uint16_t bitsPerSample, std::uint16_t channels);

    std::uint32_t BytesPerSample() const { return width; }
    std::uint32_t BytesPerFrame() const { return width * channels; }

    // Splits `frames` interleaved frames into planar channels; right is left alone
    // when there is one channel.
    void ToFloat(int frames, const std::uint8_t* bytes, float* left, float* right);
    // Integers are truncated toward zero and saturated to their range.
    void FromFloat(int frames, const float* left, const float* right, std::uint8_t* bytes);

private:
    enum class Encoding { UInt8, Int16, Int32, IntN, Float32, Float64 };

    SampleConverter(Encoding encoding, std::uint32_t width, std::uint32_t channels)
        : encoding(encoding), width(width), channels(channels) {}

    // `count` samples in a row, whatever channel each belongs to.
    void Decode(int count, const std::uint8_t* bytes, float* out);
    void Encode(int count, const float* in, std::uint8_t* bytes);

    Encoding encoding;
    std::uint32_t width;
    std::uint32_t channels;
    // Scratch space; it grows to the largest block seen and never shrinks.
    std::vector<float> interleaved;
    std::vector<float> unscaled;
    std::vector<double> doubles;
    std::vector<std::int16_t> shorts;
    std::vector<std::int32_t> ints;
};
