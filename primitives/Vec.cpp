#include "primitives/Vec.h"

#include "primitives/SimdDispatch.h"
#include "primitives/VecKernels.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

// The loops below are written so that the compiler vectorises them: no aliasing
// (__restrict), no calls, and branches that reduce to selects.

namespace {

constexpr float kSmallestNormal = std::numeric_limits<float>::min();
constexpr float kFloatMax = std::numeric_limits<float>::max();
// Adding and subtracting 2^23 (2^52 in double) rounds a number of smaller
// magnitude to an integer in the current rounding mode: nearest, ties to even.
constexpr float kFloatRoundingShift = 8388608.0f;
constexpr double kDoubleRoundingShift = 4503599627370496.0;

const VecKernels& Kernels() {
    static const VecKernels& chosen = VecKernelsFor(ActiveSimdLevel());
    return chosen;
}

bool Empty(int n, const void* a) {
    return n <= 0 || a == nullptr;
}
bool Empty(int n, const void* a, const void* b) {
    return Empty(n, a) || b == nullptr;
}

float Pow2(int exponent) {
    return std::ldexp(1.0f, exponent);
}

// Exact for |v| below the shift; larger magnitudes stay large, which is all the
// saturation that follows needs.
template <typename T> T RoundToEven(T v) {
    const T shift = std::is_same_v<T, float> ? kFloatRoundingShift : kDoubleRoundingShift;
    const T signedShift = v < 0 ? -shift : shift;
    return (v + signedShift) - signedShift;
}

// Clamps to [lo, hi] with NaN mapped to 0, so that the conversion to an integer
// type that follows is always defined.
template <typename T> T ClampFinite(T v, T lo, T hi) {
    T c = v > lo ? v : lo;
    c = c < hi ? c : hi;
    return v == v ? c : 0;
}

// Rounding before saturating gives the same result as the other way round because
// the limits are integers, and it keeps the loops free of branches.
template <bool roundNearest>
void FloatToS16(int n, const float* __restrict src, std::int16_t* __restrict dst, float factor) {
    for (int i = 0; i < n; ++i) {
        float v = src[i] * factor;
        if constexpr (roundNearest) v = RoundToEven(v);
        const float clamped = ClampFinite(v, -32768.0f, 32767.0f);
        dst[i] = static_cast<std::int16_t>(static_cast<std::int32_t>(clamped));
    }
}

// In double, where every int32 is exact.
template <bool roundNearest>
void FloatToS32(int n, const float* __restrict src, std::int32_t* __restrict dst, double factor) {
    for (int i = 0; i < n; ++i) {
        double v = src[i] * factor;
        if constexpr (roundNearest) v = RoundToEven(v);
        dst[i] = static_cast<std::int32_t>(ClampFinite(v, -2147483648.0, 2147483647.0));
    }
}

template <typename T>
void Interleave(int n, const T* __restrict left, const T* __restrict right, T* __restrict dst) {
    if (Empty(n, left, right) || dst == nullptr) return;
    for (int i = 0; i < n; ++i) {
        dst[2 * i] = left[i];
        dst[2 * i + 1] = right[i];
    }
}

template <typename T>
void Deinterleave(int n, const T* __restrict src, T* __restrict left, T* __restrict right) {
    if (Empty(n, src, left) || right == nullptr) return;
    for (int i = 0; i < n; ++i) {
        left[i] = src[2 * i];
        right[i] = src[2 * i + 1];
    }
}

} // namespace

void VecCopyBytes(int n, const void* src, void* dst) {
    if (Empty(n, src, dst)) return;
    std::memcpy(dst, src, static_cast<std::size_t>(n));
}

void VecCopy(int n, const float* src, float* dst) {
    if (Empty(n, src, dst)) return;
    std::memcpy(dst, src, static_cast<std::size_t>(n) * sizeof(float));
}

void VecMove(int n, const float* src, float* dst) {
    if (Empty(n, src, dst)) return;
    std::memmove(dst, src, static_cast<std::size_t>(n) * sizeof(float));
}

void VecSet(int n, float* __restrict dst, float value) {
    if (Empty(n, dst)) return;
    for (int i = 0; i < n; ++i)
        dst[i] = value;
}

void VecZero(int n, float* dst) {
    if (Empty(n, dst)) return;
    std::memset(dst, 0, static_cast<std::size_t>(n) * sizeof(float));
}

const VecKernels& VecKernelsFor(SimdLevel level) {
    static const PerSimdLevel<const VecKernels& (*)()> tables{VecKernelsSse2, VecKernelsAvx2,
                                                                  VecKernelsAvx512};
    return tables.For(level)();
}

void VecAdd(int n, const float* src, float* srcDst) {
    if (Empty(n, src, srcDst)) return;
    Kernels().add(n, src, srcDst);
}

void VecAddProduct(int n, const float* a, const float* b, float* srcDst) {
    if (Empty(n, a, b) || srcDst == nullptr) return;
    Kernels().addProduct(n, a, b, srcDst);
}

void VecAddScaled(int n, const float* src, float* srcDst, float c) {
    if (Empty(n, src, srcDst)) return;
    Kernels().addScaled(n, src, srcDst, c);
}

void VecCorrelate(int n, const float* src, const float* taps, float* dst, int tapCount) {
    if (Empty(n, src, taps) || dst == nullptr) return;
    if (tapCount <= 0) return VecZero(n, dst);
    Kernels().correlate(n, src, taps, dst, tapCount);
}

void VecConvolve(int n, const float* src, const float* taps, float* dst, int tapCount) {
    if (Empty(n, src, taps) || dst == nullptr) return;
    if (tapCount <= 0) return VecZero(n, dst);
    Kernels().convolve(n, src, taps, dst, tapCount);
}

void VecLagProducts(int n, const double* src, int maxLag, double* dst) {
    if (Empty(n, src, dst) || maxLag < 0 || maxLag >= n) return;
    Kernels().lagProducts(n, src, maxLag, dst);
}

void VecExp(int n, const float* src, float* dst) {
    if (Empty(n, src, dst)) return;
    Kernels().exp(n, src, dst);
}

void VecLog(int n, const float* src, float* dst) {
    if (Empty(n, src, dst)) return;
    Kernels().log(n, src, dst);
}

void VecMulC(int n, float* __restrict srcDst, float c) {
    if (Empty(n, srcDst) || c == 1.0f) return;
    // Zero must give zeros even for infinite or NaN samples.
    if (c == 0.0f) return VecZero(n, srcDst);
    for (int i = 0; i < n; ++i)
        srcDst[i] *= c;
}

void VecMul(int n, const float* a, const float* b, float* dst) {
    if (Empty(n, a, b) || dst == nullptr) return;
    Kernels().mul(n, a, b, dst);
}

void VecNormalize(int n, const float* __restrict src, float* __restrict dst, float offset,
                  float divisor) {
    if (Empty(n, src, dst) || !(std::fabs(divisor) >= kSmallestNormal)) return;
    const float factor = 1.0f / divisor;
    for (int i = 0; i < n; ++i)
        dst[i] = (src[i] - offset) * factor;
}

void VecConvertU8ToFloat(int n, const std::uint8_t* __restrict src, float* __restrict dst) {
    if (Empty(n, src, dst)) return;
    for (int i = 0; i < n; ++i)
        dst[i] = static_cast<float>(src[i]);
}

void VecConvertS16ToFloat(int n, const std::int16_t* __restrict src, float* __restrict dst,
                          int scale) {
    if (Empty(n, src, dst)) return;
    const float factor = Pow2(-scale);
    for (int i = 0; i < n; ++i)
        dst[i] = static_cast<float>(src[i]) * factor;
}

void VecConvertS32ToFloat(int n, const std::int32_t* __restrict src, float* __restrict dst,
                          int scale) {
    if (Empty(n, src, dst)) return;
    const float factor = Pow2(-scale);
    for (int i = 0; i < n; ++i)
        dst[i] = static_cast<float>(src[i]) * factor;
}

void VecConvertFloatToS16(int n, const float* src, std::int16_t* dst, int scale,
                          bool roundNearest) {
    if (Empty(n, src, dst)) return;
    if (roundNearest) {
        FloatToS16<true>(n, src, dst, Pow2(-scale));
    } else {
        FloatToS16<false>(n, src, dst, Pow2(-scale));
    }
}

void VecConvertFloatToS32(int n, const float* src, std::int32_t* dst, int scale,
                          bool roundNearest) {
    if (Empty(n, src, dst)) return;
    if (roundNearest) {
        FloatToS32<true>(n, src, dst, Pow2(-scale));
    } else {
        FloatToS32<false>(n, src, dst, Pow2(-scale));
    }
}

void VecConvertFloatToDouble(int n, const float* __restrict src, double* __restrict dst) {
    if (Empty(n, src, dst)) return;
    for (int i = 0; i < n; ++i)
        dst[i] = src[i];
}

void VecConvertDoubleToFloat(int n, const double* __restrict src, float* __restrict dst) {
    if (Empty(n, src, dst)) return;
    for (int i = 0; i < n; ++i) {
        // Out-of-range values become infinities, which the selects then clamp;
        // the first select also sends NaN to the lowest float.
        const float v = static_cast<float>(src[i]);
        const float low = v > -kFloatMax ? v : -kFloatMax;
        dst[i] = low < kFloatMax ? low : kFloatMax;
    }
}

void VecInterleave2(int n, const std::int16_t* left, const std::int16_t* right, std::int16_t* dst) {
    Interleave(n, left, right, dst);
}

void VecInterleave2(int n, const std::int32_t* left, const std::int32_t* right, std::int32_t* dst) {
    Interleave(n, left, right, dst);
}

void VecInterleave2(int n, const float* left, const float* right, float* dst) {
    Interleave(n, left, right, dst);
}

void VecDeinterleave2(int n, const std::int16_t* src, std::int16_t* left, std::int16_t* right) {
    Deinterleave(n, src, left, right);
}

void VecDeinterleave2(int n, const std::int32_t* src, std::int32_t* left, std::int32_t* right) {
    Deinterleave(n, src, left, right);
}

void VecDeinterleave2(int n, const float* src, float* left, float* right) {
    Deinterleave(n, src, left, right);
}
