#include "primitives/RealFFT.h"

#include "primitives/SimdDispatch.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace {

// Vector loads and stores that straddle two cache lines cost about twice as much; the
// standard allocator aligns only to 16 bytes, and a 16384-point transform whose work
// arrays happened to sit 16 bytes past a line boundary took 40 % longer.
constexpr std::size_t cacheLineFloats = 16;

struct Twiddle {
    float re, im;
};

Twiddle Rotation(double turns) {
    const double angle = -2.0 * std::numbers::pi * turns;
    return {static_cast<float>(std::cos(angle)), static_cast<float>(std::sin(angle))};
}

// Radix-4 passes with twiddles bring the sub-transforms down to 4 points (even
// log2 M) or 8 points (odd), which the closing pass finishes; M = 2 needs a single
// radix-2 pass. Closing with 8 rather than 2 points spares a pass over the data.
int TwiddledPassCount(int half) {
    int order = 0;
    while ((1 << order) < half)
        ++order;
    return order >= 2 ? (order - 2) / 2 : 0;
}

// The rows a pass reads and writes lie a power of two apart, and so do the four
// work arrays unless padded: without the padding, all their cache lines would
// compete for the same few cache sets.
std::size_t WorkArrayStride(int half) {
    return static_cast<std::size_t>(half) + cacheLineFloats;
}

// Copies values into storage from its first cache-line boundary on and returns where they
// start.
float* CacheLineAligned(const std::vector<float>& values, std::vector<float>& storage) {
    storage.assign(values.size() + cacheLineFloats - 1, 0.0f);
    const auto address = reinterpret_cast<std::uintptr_t>(storage.data());
    const std::size_t skip =
        (cacheLineFloats - address / sizeof(float) % cacheLineFloats) % cacheLineFloats;
    std::copy(values.begin(), values.end(), storage.begin() + static_cast<std::ptrdiff_t>(skip));
    return storage.data() + skip;
}

} // namespace

const RealFFTKernels& RealFFTKernelsFor(SimdLevel level) {
    static const PerSimdLevel<const RealFFTKernels& (*)()> tables{
        RealFFTKernelsSse2, RealFFTKernelsAvx2};
    return tables.For(level)();
}

void RealFFT::Init(int newSize) {
    int order = 1;
    while ((1 << order) < newSize)
        ++order;
    size = 1 << order;
    half = size / 2;
    twiddledPasses = TwiddledPassCount(half);

    std::vector<float> twiddles;
    for (int i = 0, n = half; i < twiddledPasses; ++i, n /= 4) {
        const int m = n / 4;
        for (int row = 1; row <= 3; ++row) {
            const std::size_t start = twiddles.size();
            twiddles.resize(start + 2 * m);
            for (int p = 0; p < m; ++p) {
                const Twiddle w = Rotation(static_cast<double>(row * p) / n);
                twiddles[start + p] = w.re;
                twiddles[start + m + p] = w.im;
            }
        }
    }

    std::vector<float> postCos(half), postSin(half);
    for (int k = 0; k < half; ++k) {
        const Twiddle w = Rotation(static_cast<double>(k) / size);
        postCos[k] = w.re;
        postSin[k] = -w.im;
    }
    const std::size_t stride = WorkArrayStride(half);
    tables = {size,
              half,
              twiddledPasses,
              CacheLineAligned(twiddles, twiddleStorage),
              CacheLineAligned(postCos, postCosStorage),
              CacheLineAligned(postSin, postSinStorage),
              CacheLineAligned(std::vector<float>(4 * stride), workStorage),
              stride};
    kernels = &RealFFTKernelsFor(ActiveSimdLevel());
}

void RealFFT::Forward(const float* src, float* dst) {
    kernels->forward(tables, src, dst);
}

void RealFFT::Inverse(const float* src, float* dst) {
    kernels->inverse(tables, src, dst);
}
