// The loops behind VecKernels, included by one translation unit per
// instruction-set level. Every loop runs whole vectors and then one padded vector
// for the rest, so each element gets the same arithmetic wherever it sits.
// exp and log are polynomial approximations (range reduction by powers of two,
// then minimax polynomials), accurate to about one float ulp.

#include "primitives/VecKernels.h"

namespace {

#include "primitives/Lanes.inl"

Lanes Splat(float x) {
    return Lanes{} + x;
}
Lanes Max(Lanes a, Lanes b) {
    return a > b ? a : b;
}
Lanes Min(Lanes a, Lanes b) {
    return a < b ? a : b;
}
IntLanes Bits(Lanes v) {
    return (IntLanes)v;
}
Lanes FromBits(IntLanes v) {
    return (Lanes)v;
}

// Runs op(lanes of each array...) over n elements; the tail goes through a
// zero-padded vector.
template <int inputs, typename Op>
void ForEachLanes(int n, const float* const (&in)[inputs], float* out, Op op) {
    int i = 0;
    for (; i + kLanes <= n; i += kLanes) {
        Lanes x[inputs];
        for (int j = 0; j < inputs; ++j)
            x[j] = Load(in[j] + i);
        Store(out + i, op(x));
    }
    if (i == n) return;
    const int rest = n - i;
    float padded[inputs][kLanes] = {};
    Lanes x[inputs];
    for (int j = 0; j < inputs; ++j) {
        __builtin_memcpy(padded[j], in[j] + i, rest * sizeof(float));
        x[j] = Load(padded[j]);
    }
    float result[kLanes];
    Store(result, op(x));
    __builtin_memcpy(out + i, result, rest * sizeof(float));
}

void Add(int n, const float* src, float* srcDst) {
    ForEachLanes<2>(n, {src, srcDst}, srcDst, [](const Lanes* x) { return x[1] + x[0]; });
}

void AddProduct(int n, const float* a, const float* b, float* srcDst) {
    ForEachLanes<3>(n, {a, b, srcDst}, srcDst,
                    [](const Lanes* x) { return x[2] + x[0] * x[1]; });
}

void AddScaled(int n, const float* src, float* srcDst, float c) {
    const Lanes factor = Splat(c);
    ForEachLanes<2>(n, {src, srcDst}, srcDst,
                    [factor](const Lanes* x) { return x[1] + factor * x[0]; });
}

void Mul(int n, const float* a, const float* b, float* dst) {
    ForEachLanes<2>(n, {a, b}, dst, [](const Lanes* x) { return x[0] * x[1]; });
}

// e^x = 2^k e^r with k = round(x / ln 2) and |r| <= ln 2 / 2; ln 2 in two parts
// keeps r exact. The clamp keeps 2^k a normal float.
Lanes ExpLanes(Lanes x) {
    x = Min(Max(x, Splat(-87.3f)), Splat(88.3f));
    const Lanes scaled = x * 1.44269504088896341f;
    const IntLanes k = __builtin_convertvector(scaled + (scaled >= 0.0f ? Splat(0.5f) : Splat(-0.5f)), IntLanes);
    const Lanes kf = __builtin_convertvector(k, Lanes);
    const Lanes r = (x - kf * 0.693359375f) + kf * 2.12194440e-4f;
    Lanes p = Splat(1.9875691500e-4f);
    p = p * r + 1.3981999507e-3f;
    p = p * r + 8.3334519073e-3f;
    p = p * r + 4.1665795894e-2f;
    p = p * r + 1.6666665459e-1f;
    p = p * r + 5.0000001201e-1f;
    const Lanes er = p * (r * r) + r + 1.0f;
    return er * FromBits((k + 127) << 23);
}

// ln x = e ln 2 + ln m with m in [sqrt(1/2), sqrt 2); ln m = ln(1 + f) by a
// polynomial in f. Inputs below the smallest normal float count as that.
Lanes LogLanes(Lanes x) {
    x = Max(x, Splat(1.17549435e-38f));
    const IntLanes bits = Bits(x);
    IntLanes e = (bits >> 23) - 126;
    Lanes m = FromBits((bits & 0x007fffff) | 0x3f000000);
    const auto small = m < 0.707106781186547524f;
    e += small ? IntLanes{} - 1 : IntLanes{};
    m = (small ? m + m : m) - 1.0f;
    const Lanes ef = __builtin_convertvector(e, Lanes);
    const Lanes z = m * m;
    Lanes p = Splat(7.0376836292e-2f);
    p = p * m - 1.1514610310e-1f;
    p = p * m + 1.1676998740e-1f;
    p = p * m - 1.2420140846e-1f;
    p = p * m + 1.4249322787e-1f;
    p = p * m - 1.6668057665e-1f;
    p = p * m + 2.0000714765e-1f;
    p = p * m - 2.4999993993e-1f;
    p = p * m + 3.3333331174e-1f;
    Lanes y = p * m * z;
    y = y - ef * 2.12194440e-4f;
    y = y - 0.5f * z;
    return (m + y) + ef * 0.693359375f;
}

void Exp(int n, const float* src, float* dst) {
    ForEachLanes<1>(n, {src}, dst, [](const Lanes* x) { return ExpLanes(x[0]); });
}

void Log(int n, const float* src, float* dst) {
    ForEachLanes<1>(n, {src}, dst, [](const Lanes* x) { return LogLanes(x[0]); });
}

// One output: the taps in order from 0, each product rounded and then added, exactly
// as the vector lanes do it.
float CorrelateOne(const float* src, const float* taps, int tapCount) {
    float sum = 0.0f;
    for (int t = 0; t < tapCount; ++t)
        sum = sum + taps[t] * src[t];
    return sum;
}

// dst[i] = sum of taps[t] * src[i + t]. Four vectors of outputs stay in registers over
// all taps, so each tap costs one load per vector and the additions of the four
// overlap; the sums see the same operations in the same order as CorrelateOne.
void Correlate(int n, const float* src, const float* taps, float* dst, int tapCount) {
    int i = 0;
    for (; i + 4 * kLanes <= n; i += 4 * kLanes) {
        Lanes sum[4] = {};
        for (int t = 0; t < tapCount; ++t) {
            const Lanes tap = Splat(taps[t]);
            for (int v = 0; v < 4; ++v)
                sum[v] = sum[v] + tap * Load(src + i + v * kLanes + t);
        }
        for (int v = 0; v < 4; ++v)
            Store(dst + i + v * kLanes, sum[v]);
    }
    for (; i + kLanes <= n; i += kLanes) {
        Lanes sum = {};
        for (int t = 0; t < tapCount; ++t)
            sum = sum + Splat(taps[t]) * Load(src + i + t);
        Store(dst + i, sum);
    }
    for (; i < n; ++i)
        dst[i] = CorrelateOne(src + i, taps, tapCount);
}

// Sums of products over eight logical lanes on every level: lane l adds the products of
// elements 8j + l, and the lanes are summed in one fixed order, so every level adds the
// same products in the same order and gets the same bits. A level holds the eight lanes
// in as many vectors of doubles as it needs.
constexpr int kLagLanes = 8;
constexpr int kDoubleLanes = kLanes / 2;
constexpr int kParts = kLagLanes / kDoubleLanes;
typedef double DoubleLanes __attribute__((vector_size(kDoubleLanes * sizeof(double))));
// Lags handled together: they share each load of src[i] and keep as many sums going.
constexpr int kLagGroup = 8;

DoubleLanes LoadDoubles(const double* p) {
    DoubleLanes v;
    __builtin_memcpy(&v, p, sizeof v);
    return v;
}

// The eight lanes of a sum, in their fixed order.
double LaneSum(const DoubleLanes (&parts)[kParts]) {
    double v[kLagLanes];
    __builtin_memcpy(v, parts, sizeof v);
    return ((v[0] + v[1]) + (v[2] + v[3])) + ((v[4] + v[5]) + (v[6] + v[7]));
}

// Lags first ... first + lags - 1: whole rows of eight where every lag of the group has
// its partner sample, then each lag's rest in rows padded with zeros.
template <int lags> void LagGroup(int n, const double* src, int first, double* dst) {
    DoubleLanes sums[lags][kParts] = {};
    const int common = n - (first + lags - 1);
    int i = 0;
    for (; i + kLagLanes <= common; i += kLagLanes) {
        for (int p = 0; p < kParts; ++p) {
            const DoubleLanes x = LoadDoubles(src + i + p * kDoubleLanes);
            for (int l = 0; l < lags; ++l)
                sums[l][p] += x * LoadDoubles(src + i + p * kDoubleLanes + first + l);
        }
    }
    for (int l = 0; l < lags; ++l) {
        const int end = n - (first + l);
        for (int j = i; j < end; j += kLagLanes) {
            const int count = end - j < kLagLanes ? end - j : kLagLanes;
            double x[kLagLanes] = {}, y[kLagLanes] = {};
            __builtin_memcpy(x, src + j, static_cast<unsigned>(count) * sizeof(double));
            __builtin_memcpy(y, src + j + first + l, static_cast<unsigned>(count) * sizeof(double));
            for (int p = 0; p < kParts; ++p)
                sums[l][p] += LoadDoubles(x + p * kDoubleLanes) * LoadDoubles(y + p * kDoubleLanes);
        }
        dst[first + l] = LaneSum(sums[l]);
    }
}

void LagProducts(int n, const double* src, int maxLag, double* dst) {
    int first = 0;
    for (; first + kLagGroup <= maxLag + 1; first += kLagGroup)
        LagGroup<kLagGroup>(n, src, first, dst);
    switch (maxLag + 1 - first) {
    case 7: return LagGroup<7>(n, src, first, dst);
    case 6: return LagGroup<6>(n, src, first, dst);
    case 5: return LagGroup<5>(n, src, first, dst);
    case 4: return LagGroup<4>(n, src, first, dst);
    case 3: return LagGroup<3>(n, src, first, dst);
    case 2: return LagGroup<2>(n, src, first, dst);
    case 1: return LagGroup<1>(n, src, first, dst);
    default: return;
    }
}

// dst[i] = sum of taps[t] * src[i - t], in the same way as Correlate but with src read
// backwards from each output's position.
void Convolve(int n, const float* src, const float* taps, float* dst, int tapCount) {
    int i = 0;
    for (; i + 4 * kLanes <= n; i += 4 * kLanes) {
        Lanes sum[4] = {};
        for (int t = 0; t < tapCount; ++t) {
            const Lanes tap = Splat(taps[t]);
            for (int v = 0; v < 4; ++v)
                sum[v] = sum[v] + tap * Load(src + i + v * kLanes - t);
        }
        for (int v = 0; v < 4; ++v)
            Store(dst + i + v * kLanes, sum[v]);
    }
    for (; i + kLanes <= n; i += kLanes) {
        Lanes sum = {};
        for (int t = 0; t < tapCount; ++t)
            sum = sum + Splat(taps[t]) * Load(src + i - t);
        Store(dst + i, sum);
    }
    for (; i < n; ++i) {
        float sum = 0.0f;
        for (int t = 0; t < tapCount; ++t)
            sum = sum + taps[t] * src[i - t];
        dst[i] = sum;
    }
}

constexpr VecKernels kKernels{Add, AddProduct, AddScaled, Mul, Exp, Log, Correlate, Convolve, LagProducts};

} // namespace
