#pragma once
// Vector primitives: every bulk operation on sample vectors goes through these.
// Argument order is always: count, sources, destination, scalars. A count of 0 or
// less does nothing and leaves the destination untouched; so do null pointers.
// Sources and destinations must not overlap, except for VecMove and the in-place
// operands named srcDst.
// VecAdd, VecAddProduct, VecAddScaled, VecMul, VecCorrelate, VecConvolve, VecLagProducts,
// VecExp and VecLog run the widest instruction set the processor offers (chosen once, at their first
// call; see SimdDispatch.h), with the same roundings as the baseline (no fused
// multiply-adds).

#include <cstdint>

void VecCopyBytes(int n, const void* src, void* dst);
void VecCopy(int n, const float* src, float* dst);
// As VecCopy, but correct when the ranges overlap in either direction.
void VecMove(int n, const float* src, float* dst);
void VecSet(int n, float* dst, float value);
void VecZero(int n, float* dst);

// srcDst[i] += src[i]
void VecAdd(int n, const float* src, float* srcDst);
// srcDst[i] += a[i] * b[i]
void VecAddProduct(int n, const float* a, const float* b, float* srcDst);
// srcDst[i] += c * src[i]
void VecAddScaled(int n, const float* src, float* srcDst, float c);
// srcDst[i] *= c
void VecMulC(int n, float* srcDst, float c);
// dst[i] = a[i] * b[i]
void VecMul(int n, const float* a, const float* b, float* dst);
// dst[i] = (src[i] - offset) * (1 / divisor); nothing is written when |divisor| is
// below the smallest normal float.
void VecNormalize(int n, const float* src, float* dst, float offset, float divisor);
// dst[i] = taps[0] src[i] + taps[1] src[i + 1] + ... + taps[tapCount - 1] src[i + tapCount - 1],
// summed in that order from zero, each product rounded before it is added (so the same
// as zeroing dst and calling VecAddScaled once per tap). src holds n + tapCount - 1 values.
void VecCorrelate(int n, const float* src, const float* taps, float* dst, int tapCount);
// dst[i] = taps[0] src[i] + taps[1] src[i - 1] + ... + taps[tapCount - 1] src[i - tapCount + 1],
// summed as VecCorrelate sums; src holds tapCount - 1 values before its first.
void VecConvolve(int n, const float* src, const float* taps, float* dst, int tapCount);
// dst[k] = src[0] src[k] + src[1] src[k + 1] + ... + src[n - 1 - k] src[n - 1] for
// k = 0 ... maxLag (maxLag < n). Every level adds the products in the same order, so
// the result is the same to the last bit everywhere; products of floats are exact.
void VecLagProducts(int n, const double* src, int maxLag, double* dst);
// dst[i] = e^src[i] within 2e-7 relative error; src is clamped to [-87.3, 88.3],
// so results stay normal, finite floats. NaN gives an unspecified value.
void VecExp(int n, const float* src, float* dst);
// dst[i] = ln src[i] within 2e-7 absolute error below 2 and 2e-7 relative error
// above; inputs below the smallest normal float (zero and negatives too) give
// ln of that, about -87.3. Infinity and NaN give unspecified values.
void VecLog(int n, const float* src, float* dst);

// dst[i] = src[i] (0 ... 255)
void VecConvertU8ToFloat(int n, const std::uint8_t* src, float* dst);
// dst[i] = src[i] * 2^-scale
void VecConvertS16ToFloat(int n, const std::int16_t* src, float* dst, int scale);
void VecConvertS32ToFloat(int n, const std::int32_t* src, float* dst, int scale);
// v = src[i] * 2^-scale, saturated to the integer range, then rounded to nearest
// (ties to even) when roundNearest, else truncated toward zero.
void VecConvertFloatToS16(int n, const float* src, std::int16_t* dst, int scale,
                          bool roundNearest);
void VecConvertFloatToS32(int n, const float* src, std::int32_t* dst, int scale,
                          bool roundNearest);
void VecConvertFloatToDouble(int n, const float* src, double* dst);
// Rounded to float; NaN and values beyond the float range saturate (NaN to the lowest).
void VecConvertDoubleToFloat(int n, const double* src, float* dst);

// dst[2i] = left[i], dst[2i + 1] = right[i]
void VecInterleave2(int n, const std::int16_t* left, const std::int16_t* right,
                    std::int16_t* dst);
void VecInterleave2(int n, const std::int32_t* left, const std::int32_t* right,
                    std::int32_t* dst);
void VecInterleave2(int n, const float* left, const float* right, float* dst);
// left[i] = src[2i], right[i] = src[2i + 1]
void VecDeinterleave2(int n, const std::int16_t* src, std::int16_t* left, std::int16_t* right);
void VecDeinterleave2(int n, const std::int32_t* src, std::int32_t* left, std::int32_t* right);
void VecDeinterleave2(int n, const float* src, float* left, float* right);
