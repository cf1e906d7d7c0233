#include "core/SampleConverter.h"

#include <algorithm>
#include <cmath>

#include "primitives/Vec.h"

namespace {

constexpr std::uint32_t widestInteger = 8;

template <class T> T* Grow(std::vector<T>& buffer, int count) {
    if (buffer.size() < std::size_t(count)) buffer.resize(std::size_t(count));
    return buffer.data();
}

// Little-endian two's complement of `width` bytes.
std::int64_t ReadInteger(const std::uint8_t* bytes, std::uint32_t width) {
    std::uint64_t value = 0;
    for (std::uint32_t b = 0; b < width; ++b)
        value |= std::uint64_t(bytes[b]) << (8 * b);
    const std::uint32_t unused = 64 - 8 * width;
    return std::int64_t(value << unused) >> unused;
}

void WriteInteger(std::int64_t value, std::uint32_t width, std::uint8_t* bytes) {
    for (std::uint32_t b = 0; b < width; ++b)
        bytes[b] = std::uint8_t(std::uint64_t(value) >> (8 * b));
}

// x * 2^(8 width - 1), truncated toward zero and saturated to the integer's range.
std::int64_t ScaleToInteger(float x, std::uint32_t width) {
    const std::int64_t largest = std::int64_t((std::uint64_t(1) << (8 * width - 1)) - 1);
    const double limit = std::ldexp(1.0, int(8 * width - 1));
    const double v = double(x) * limit;
    if (std::isnan(v)) return 0;
    if (v >= limit) return largest;
    if (v <= -limit) return -largest - 1;
    return std::int64_t(v);
}

// Wider than 8 bytes: the 8 most significant bytes carry every bit a float can hold.
void DecodeWideIntegers(int count, const std::uint8_t* bytes, std::uint32_t width, float* out) {
    for (int i = 0; i < count; ++i) {
        const std::uint8_t* top = bytes + std::size_t(i) * width + (width - widestInteger);
        out[i] = float(std::ldexp(double(ReadInteger(top, widestInteger)), -63));
    }
}

// x · 2^(8 width − 1), truncated toward zero and saturated, as `width` little-endian
// two's-complement bytes. The magnitude is the float's 24-bit mantissa moved into place
// bit by bit; a negative value is then complemented.
void EncodeWideInteger(float x, std::uint32_t width, std::uint8_t* bytes) {
    std::fill(bytes, bytes + width, std::uint8_t(0));
    if (std::isnan(x) || x == 0.0f) return;
    if (x >= 1.0f || x <= -1.0f) {
        std::fill(bytes, bytes + width, std::uint8_t(x > 0.0f ? 0xFF : 0x00));
        bytes[width - 1] = x > 0.0f ? 0x7F : 0x80;
        return;
    }
    int exponent = 0;
    const auto mantissa = std::uint32_t(std::ldexp(std::frexp(std::fabs(x), &exponent), 24));
    const long shift = long(exponent) - 24 + long(8 * width - 1);
    for (int bit = 0; bit < 24; ++bit) {
        const long at = shift + bit;
        if (at >= 0 && (mantissa >> bit & 1u) != 0) bytes[at / 8] |= std::uint8_t(1u << (at % 8));
    }
    if (x > 0.0f) return;
    unsigned carry = 1;
    for (std::uint32_t b = 0; b < width; ++b) {
        const unsigned sum = unsigned(std::uint8_t(~bytes[b])) + carry;
        bytes[b] = std::uint8_t(sum);
        carry = sum >> 8;
    }
}

void DecodeIntegers(int count, const std::uint8_t* bytes, std::uint32_t width, float* out) {
    const double scale = std::ldexp(1.0, -int(8 * width - 1));
    for (int i = 0; i < count; ++i)
        out[i] = float(double(ReadInteger(bytes + std::size_t(i) * width, width)) * scale);
}

void EncodeIntegers(int count, const float* in, std::uint32_t width, std::uint8_t* bytes) {
    if (width > widestInteger) {
        for (int i = 0; i < count; ++i)
            EncodeWideInteger(in[i], width, bytes + std::size_t(i) * width);
        return;
    }
    for (int i = 0; i < count; ++i)
        WriteInteger(ScaleToInteger(in[i], width), width, bytes + std::size_t(i) * width);
}

// 8-bit samples are unsigned around 128. Values beyond full scale saturate.
void EncodeUnsignedBytes(int count, const float* in, std::uint8_t* bytes) {
    for (int i = 0; i < count; ++i) {
        float v = (in[i] + 1.0f) * 128.0f;
        v = v > 0.0f ? v : 0.0f; // NaN too
        v = v < 255.0f ? v : 255.0f;
        bytes[i] = std::uint8_t(v);
    }
}

} // namespace

std::optional<SampleConverter> SampleConverter::Create(std::uint16_t formatTag,
                                                       std::uint16_t bitsPerSample,
                                                       std::uint16_t channels) {
    const std::uint32_t width = (std::uint32_t(bitsPerSample) + 7) / 8;
    if (channels != 1 && channels != 2) return std::nullopt;
    if (formatTag == floatFormat) {
        if (width == 4) return SampleConverter(Encoding::Float32, width, channels);
        if (width == 8) return SampleConverter(Encoding::Float64, width, channels);
        return std::nullopt;
    }
    if (formatTag != pcmFormat || width == 0) return std::nullopt;
    switch (width) {
    case 1:
        return SampleConverter(Encoding::UInt8, width, channels);
    case 2:
        return SampleConverter(Encoding::Int16, width, channels);
    case 4:
        return SampleConverter(Encoding::Int32, width, channels);
    default:
        return SampleConverter(Encoding::IntN, width, channels);
    }
}

// Two channels are converted as one run of interleaved samples and then split.
void SampleConverter::ToFloat(int frames, const std::uint8_t* bytes, float* left, float* right) {
    if (channels == 1) return Decode(frames, bytes, left);
    float* mixed = Grow(interleaved, 2 * frames);
    Decode(2 * frames, bytes, mixed);
    VecDeinterleave2(frames, mixed, left, right);
}

void SampleConverter::FromFloat(int frames, const float* left, const float* right,
                                std::uint8_t* bytes) {
    if (channels == 1) return Encode(frames, left, bytes);
    float* mixed = Grow(interleaved, 2 * frames);
    VecInterleave2(frames, left, right, mixed);
    Encode(2 * frames, mixed, bytes);
}

// Host bytes carry no alignment promise; they are copied into typed scratch first.
void SampleConverter::Decode(int count, const std::uint8_t* bytes, float* out) {
    switch (encoding) {
    case Encoding::UInt8: {
        float* raw = Grow(unscaled, count);
        VecConvertU8ToFloat(count, bytes, raw);
        return VecNormalize(count, raw, out, 128.0f, 128.0f);
    }
    case Encoding::Int16: {
        std::int16_t* samples = Grow(shorts, count);
        VecCopyBytes(count * 2, bytes, samples);
        return VecConvertS16ToFloat(count, samples, out, 15);
    }
    case Encoding::Int32: {
        std::int32_t* samples = Grow(ints, count);
        VecCopyBytes(count * 4, bytes, samples);
        return VecConvertS32ToFloat(count, samples, out, 31);
    }
    case Encoding::IntN:
        if (width > widestInteger) return DecodeWideIntegers(count, bytes, width, out);
        return DecodeIntegers(count, bytes, width, out);
    case Encoding::Float32:
        return VecCopyBytes(count * 4, bytes, out);
    case Encoding::Float64: {
        double* samples = Grow(doubles, count);
        VecCopyBytes(count * 8, bytes, samples);
        return VecConvertDoubleToFloat(count, samples, out);
    }
    }
}

void SampleConverter::Encode(int count, const float* in, std::uint8_t* bytes) {
    switch (encoding) {
    case Encoding::UInt8:
        return EncodeUnsignedBytes(count, in, bytes);
    case Encoding::Int16: {
        std::int16_t* samples = Grow(shorts, count);
        VecConvertFloatToS16(count, in, samples, -15, false);
        return VecCopyBytes(count * 2, samples, bytes);
    }
    case Encoding::Int32: {
        std::int32_t* samples = Grow(ints, count);
        VecConvertFloatToS32(count, in, samples, -31, false);
        return VecCopyBytes(count * 4, samples, bytes);
    }
    case Encoding::IntN:
        return EncodeIntegers(count, in, width, bytes);
    case Encoding::Float32:
        return VecCopyBytes(count * 4, in, bytes);
    case Encoding::Float64: {
        double* samples = Grow(doubles, count);
        VecConvertFloatToDouble(count, in, samples);
        return VecCopyBytes(count * 8, samples, bytes);
    }
    }
}
