// The passes of the real FFT, included by one translation unit per instruction-set
// level, each compiled with its own target flags. Everything here has internal
// linkage and calls nothing but other code in this file, so no function compiled
// for a wide level can be shared with (and reached from) baseline code.
//
// The real transform of N points runs a complex transform of M = N / 2 points on
// the even samples as real parts and the odd samples as imaginary parts, then
// separates the two interleaved spectra in one pass. The complex transform is a
// self-sorting (Stockham) decimation in frequency: radix-4 passes and a closing
// radix-8, radix-4 or radix-2 pass. Each pass reads one buffer and writes another, so no
// bit reversal is needed, and re and im live in separate arrays so that every
// inner loop runs over contiguous floats and vectorises. The first pass reads the
// interleaved samples directly; the last one of the inverse writes them.
// The inverse uses the same forward complex passes on swapped re and im, which
// conjugates input and output and so turns the forward transform into the inverse.

#include "primitives/RealFFTKernels.h"

namespace {

// Complex numbers of floats, or of vectors of floats (Lanes) for the loops that
// are vectorised by hand.
template <typename T> struct ComplexOf {
    T re, im;
};
using Complex = ComplexOf<float>;
using Twiddle = ComplexOf<float>;

template <typename T> ComplexOf<T> operator+(ComplexOf<T> a, ComplexOf<T> b) {
    return {a.re + b.re, a.im + b.im};
}
template <typename T> ComplexOf<T> operator-(ComplexOf<T> a, ComplexOf<T> b) {
    return {a.re - b.re, a.im - b.im};
}
template <typename T, typename W> ComplexOf<T> operator*(ComplexOf<T> a, ComplexOf<W> w) {
    return {a.re * w.re - a.im * w.im, a.re * w.im + a.im * w.re};
}
// Multiplication by -i.
template <typename T> ComplexOf<T> RotateBack(ComplexOf<T> a) {
    return {a.im, -a.re};
}

// The four outputs of a decimation-in-frequency radix-4 butterfly, before twiddles.
template <typename T> struct QuadOf {
    ComplexOf<T> y0, y1, y2, y3;
};

template <typename T>
QuadOf<T> Butterfly(ComplexOf<T> a, ComplexOf<T> b, ComplexOf<T> c, ComplexOf<T> d) {
    const ComplexOf<T> sumAc = a + c, difAc = a - c;
    const ComplexOf<T> sumBd = b + d, rotBd = RotateBack(b - d);
    return {sumAc + sumBd, difAc + rotBd, sumAc - sumBd, difAc - rotBd};
}

#include "primitives/Lanes.inl"
using ComplexLanes = ComplexOf<Lanes>;

template <int... i> Lanes Reversed(Lanes v, Indices<i...>) {
    return __builtin_shufflevector(v, v, (kLanes - 1 - i)...);
}
Lanes Reversed(Lanes v) {
    return Reversed(v, LaneIndices{});
}

// Lanes 2i and 2i + 1 of the pair (a, b), taken as one vector of 2 * kLanes floats.
template <int... i> ComplexLanes Unzip(Lanes a, Lanes b, Indices<i...>) {
    return {__builtin_shufflevector(a, b, (2 * i)...), __builtin_shufflevector(a, b, (2 * i + 1)...)};
}
// Even and odd floats of 2 * kLanes interleaved ones, as re and im.
ComplexLanes LoadInterleaved(const float* p) {
    return Unzip(Load(p), Load(p + kLanes), LaneIndices{});
}

// a0 b0 a1 b1 ...: the first kLanes floats of the interleaved pair, then the rest.
template <int... i> void Zip(Lanes a, Lanes b, Lanes& low, Lanes& high, Indices<i...>) {
    low = __builtin_shufflevector(a, b, (i / 2 + (i % 2) * kLanes)...);
    high = __builtin_shufflevector(a, b, (kLanes / 2 + i / 2 + (i % 2) * kLanes)...);
}
void Zip(Lanes a, Lanes b, Lanes& low, Lanes& high) {
    Zip(a, b, low, high, LaneIndices{});
}
void StoreInterleaved(float* p, Lanes a, Lanes b) {
    Lanes low, high;
    Zip(a, b, low, high);
    Store(p, low);
    Store(p + kLanes, high);
}
// p[4t + j] = yj[t] for the four rows y0 ... y3.
void StoreInterleaved4(float* p, Lanes y0, Lanes y1, Lanes y2, Lanes y3) {
    Lanes evenLow, evenHigh, oddLow, oddHigh;
    Zip(y0, y2, evenLow, evenHigh);
    Zip(y1, y3, oddLow, oddHigh);
    StoreInterleaved(p, evenLow, oddLow);
    StoreInterleaved(p + 2 * kLanes, evenHigh, oddHigh);
}

// The three twiddle rows of one radix-4 pass, w^p, w^2p, w^3p for p < m, each
// stored as m re values followed by m im values.
struct TwiddleRows {
    const float* data;
    int m;

    Twiddle At(int row, int p) const {
        return {data[2 * row * m + p], data[(2 * row + 1) * m + p]};
    }
    ComplexLanes LanesAt(int row, int p) const {
        return {Load(data + 2 * row * m + p), Load(data + (2 * row + 1) * m + p)};
    }
};

// kLanes consecutive points from k on: stride 2 means interleaved re and im, that
// is xi == xr + 1.
template <int inStride>
ComplexLanes LoadLanes(const float* xr, const float* xi, int k) {
    if constexpr (inStride == 2) {
        return LoadInterleaved(xr + 2 * k);
    } else {
        return {Load(xr + k), Load(xi + k)};
    }
}

// The opening pass (stride 1) of a transform of 4m points: butterflies run along
// p, reading the input with a fixed stride between consecutive points (2 for
// interleaved re and im), and write groups of four neighbours.
template <int inStride>
void OpeningRadix4Pass(int m, const float* __restrict xr, const float* __restrict xi,
                       float* __restrict yr, float* __restrict yi, TwiddleRows w) {
    int p = 0;
    for (; p + kLanes <= m; p += kLanes) {
        const auto load = [&](int k) { return LoadLanes<inStride>(xr, xi, k); };
        const QuadOf<Lanes> u = Butterfly(load(p), load(p + m), load(p + 2 * m), load(p + 3 * m));
        const ComplexLanes y1 = u.y1 * w.LanesAt(0, p), y2 = u.y2 * w.LanesAt(1, p),
                           y3 = u.y3 * w.LanesAt(2, p);
        StoreInterleaved4(yr + 4 * p, u.y0.re, y1.re, y2.re, y3.re);
        StoreInterleaved4(yi + 4 * p, u.y0.im, y1.im, y2.im, y3.im);
    }
    const auto load = [&](int k) { return Complex{xr[inStride * k], xi[inStride * k]}; };
    for (; p < m; ++p) {
        const QuadOf<float> u = Butterfly(load(p), load(p + m), load(p + 2 * m), load(p + 3 * m));
        const Complex y1 = u.y1 * w.At(0, p), y2 = u.y2 * w.At(1, p), y3 = u.y3 * w.At(2, p);
        yr[4 * p] = u.y0.re;
        yi[4 * p] = u.y0.im;
        yr[4 * p + 1] = y1.re;
        yi[4 * p + 1] = y1.im;
        yr[4 * p + 2] = y2.re;
        yi[4 * p + 2] = y2.im;
        yr[4 * p + 3] = y3.re;
        yi[4 * p + 3] = y3.im;
    }
}

// Radix-4 butterflies along `count` contiguous columns: the inputs are four rows
// `quarter` apart in x, the outputs four rows of y (re and im apart). Passing every
// output row as its own restrict pointer tells the compiler that they are
// disjoint, which lets the loop vectorise. A fixed count (the narrow passes with
// s = 4 and 16) spares the loop's set-up, which would cost as much as its few
// iterations.
template <int fixedCount>
void ButterflyColumns(int count, int quarter, const float* __restrict xr,
                      const float* __restrict xi, float* __restrict y0r, float* __restrict y1r,
                      float* __restrict y2r, float* __restrict y3r, float* __restrict y0i,
                      float* __restrict y1i, float* __restrict y2i, float* __restrict y3i,
                      Twiddle w1, Twiddle w2, Twiddle w3) {
    if constexpr (fixedCount > 0) count = fixedCount;
    for (int q = 0; q < count; ++q) {
        const auto load = [&](int row) {
            return Complex{xr[q + row * quarter], xi[q + row * quarter]};
        };
        const QuadOf<float> u = Butterfly(load(0), load(1), load(2), load(3));
        const Complex y1 = u.y1 * w1, y2 = u.y2 * w2, y3 = u.y3 * w3;
        y0r[q] = u.y0.re;
        y0i[q] = u.y0.im;
        y1r[q] = y1.re;
        y1i[q] = y1.im;
        y2r[q] = y2.re;
        y2i[q] = y2.im;
        y3r[q] = y3.re;
        y3i[q] = y3.im;
    }
}

// A middle radix-4 pass over 4m-point sub-transforms interleaved with stride s >= 4.
template <int fixedCount>
void Radix4Pass(int m, int s, const float* xr, const float* xi, float* yr, float* yi,
                TwiddleRows w) {
    for (int p = 0; p < m; ++p) {
        float* outR = yr + 4 * s * p;
        float* outI = yi + 4 * s * p;
        ButterflyColumns<fixedCount>(s, s * m, xr + s * p, xi + s * p, outR, outR + s, outR + 2 * s,
                                     outR + 3 * s, outI, outI + s, outI + 2 * s, outI + 3 * s,
                                     w.At(0, p), w.At(1, p), w.At(2, p));
    }
}

// The closing passes: s transforms of 4 or 2 points without twiddles, from rows s
// apart to rows s apart, each side with its own stride between points.
template <int inStride, int outStride>
void ClosingRadix4Columns(int s, const float* __restrict xr, const float* __restrict xi,
                          float* __restrict y0r, float* __restrict y1r, float* __restrict y2r,
                          float* __restrict y3r, float* __restrict y0i, float* __restrict y1i,
                          float* __restrict y2i, float* __restrict y3i) {
    for (int q = 0; q < s; ++q) {
        const auto load = [&](int row) {
            return Complex{xr[inStride * (q + row * s)], xi[inStride * (q + row * s)]};
        };
        const QuadOf<float> u = Butterfly(load(0), load(1), load(2), load(3));
        y0r[outStride * q] = u.y0.re;
        y0i[outStride * q] = u.y0.im;
        y1r[outStride * q] = u.y1.re;
        y1i[outStride * q] = u.y1.im;
        y2r[outStride * q] = u.y2.re;
        y2i[outStride * q] = u.y2.im;
        y3r[outStride * q] = u.y3.re;
        y3i[outStride * q] = u.y3.im;
    }
}

template <int inStride, int outStride>
void ClosingRadix2Columns(int s, const float* __restrict xr, const float* __restrict xi,
                          float* __restrict y0r, float* __restrict y1r, float* __restrict y0i,
                          float* __restrict y1i) {
    for (int q = 0; q < s; ++q) {
        const Complex a{xr[inStride * q], xi[inStride * q]};
        const Complex b{xr[inStride * (q + s)], xi[inStride * (q + s)]};
        const Complex sum = a + b, dif = a - b;
        y0r[outStride * q] = sum.re;
        y0i[outStride * q] = sum.im;
        y1r[outStride * q] = dif.re;
        y1i[outStride * q] = dif.im;
    }
}

// An 8-point transform as a radix-2 step and two 4-point ones: the even outputs
// are the transform of x_j + x_(j+4), the odd ones that of (x_j - x_(j+4)) w8^j.
template <typename T> struct OctetOf {
    QuadOf<T> even, odd;
};

template <typename T> [[gnu::always_inline]] inline OctetOf<T> Butterfly8(const ComplexOf<T>* x) {
    constexpr float half = 0.70710678118654752f;
    const ComplexOf<T> d0 = x[0] - x[4], d1 = x[1] - x[5], d2 = x[2] - x[6], d3 = x[3] - x[7];
    // d1 (1 - i) / sqrt 2, d2 (-i), d3 (-1 - i) / sqrt 2.
    const ComplexOf<T> t1{half * (d1.re + d1.im), half * (d1.im - d1.re)};
    const ComplexOf<T> t3{half * (d3.im - d3.re), -half * (d3.re + d3.im)};
    return {Butterfly(x[0] + x[4], x[1] + x[5], x[2] + x[6], x[3] + x[7]),
            Butterfly(d0, t1, RotateBack(d2), t3)};
}

// Eight outputs in order: the even ones from u.even, the odd ones from u.odd.
template <typename T> void Unpack(const OctetOf<T>& u, ComplexOf<T>* y) {
    y[0] = u.even.y0;
    y[1] = u.odd.y0;
    y[2] = u.even.y1;
    y[3] = u.odd.y1;
    y[4] = u.even.y2;
    y[5] = u.odd.y2;
    y[6] = u.even.y3;
    y[7] = u.odd.y3;
}

// Vectorised along the s contiguous columns when they fill whole vectors.
template <int inStride, int outStride>
void ClosingRadix8Columns(int s, const float* __restrict xr, const float* __restrict xi,
                          float* __restrict yr, float* __restrict yi) {
    const int row = outStride * s;
    int q = 0;
    if constexpr (inStride == 1) {
        for (; q + kLanes <= s; q += kLanes) {
            ComplexLanes x[8], y[8];
            for (int j = 0; j < 8; ++j)
                x[j] = {Load(xr + q + j * s), Load(xi + q + j * s)};
            Unpack(Butterfly8(x), y);
            for (int k = 0; k < 8; ++k) {
                if constexpr (outStride == 2) {
                    // The inverse's output, where yr == yi + 1: im (the swapped re) first.
                    StoreInterleaved(yi + 2 * q + k * row, y[k].im, y[k].re);
                } else {
                    Store(yr + q + k * row, y[k].re);
                    Store(yi + q + k * row, y[k].im);
                }
            }
        }
    }
    for (; q < s; ++q) {
        Complex x[8], y[8];
        for (int j = 0; j < 8; ++j)
            x[j] = {xr[inStride * (q + j * s)], xi[inStride * (q + j * s)]};
        Unpack(Butterfly8(x), y);
        for (int k = 0; k < 8; ++k) {
            yr[outStride * q + k * row] = y[k].re;
            yi[outStride * q + k * row] = y[k].im;
        }
    }
}

template <int inStride, int outStride>
void ClosingPass(int radix, int s, const float* xr, const float* xi, float* yr, float* yi) {
    const int row = outStride * s;
    if (radix == 8) {
        ClosingRadix8Columns<inStride, outStride>(s, xr, xi, yr, yi);
    } else if (radix == 4) {
        ClosingRadix4Columns<inStride, outStride>(s, xr, xi, yr, yr + row, yr + 2 * row,
                                                  yr + 3 * row, yi, yi + row, yi + 2 * row,
                                                  yi + 3 * row);
    } else {
        ClosingRadix2Columns<inStride, outStride>(s, xr, xi, yr, yr + row, yi, yi + row);
    }
}

void Deinterleave(int m, const float* __restrict src, float* __restrict re, float* __restrict im) {
    int k = 0;
    for (; k + kLanes <= m; k += kLanes) {
        const ComplexLanes v = LoadInterleaved(src + 2 * k);
        Store(re + k, v.re);
        Store(im + k, v.im);
    }
    for (; k < m; ++k) {
        re[k] = src[2 * k];
        im[k] = src[2 * k + 1];
    }
}

// Z = E + i O holds the spectra E and O of the even and odd samples; this separates
// them and joins them into the CCS spectrum X_k = E_k + W^k O_k, W = e^(-2 pi i / N).
void SplitSpectra(int m, const float* __restrict zr, const float* __restrict zi,
                  const float* __restrict cosines, const float* __restrict sines,
                  float* __restrict dst) {
    dst[0] = zr[0] + zi[0];
    dst[1] = 0.0f;
    dst[2 * m] = zr[0] - zi[0];
    dst[2 * m + 1] = 0.0f;
    // Bin k needs bin m - k: the vector loop reads that side backwards.
    int k = 1;
    for (; k + kLanes <= m; k += kLanes) {
        const Lanes ar = Load(zr + k), ai = Load(zi + k);
        const Lanes br = Reversed(Load(zr + m - k - kLanes + 1));
        const Lanes bi = Reversed(Load(zi + m - k - kLanes + 1));
        const Lanes evenR = 0.5f * (ar + br), evenI = 0.5f * (ai - bi);
        const Lanes oddR = 0.5f * (ai + bi), oddI = 0.5f * (br - ar);
        const Lanes c = Load(cosines + k), s = Load(sines + k);
        StoreInterleaved(dst + 2 * k, evenR + c * oddR + s * oddI, evenI + c * oddI - s * oddR);
    }
    for (; k < m; ++k) {
        const float ar = zr[k], ai = zi[k];
        const float br = zr[m - k], bi = zi[m - k];
        const float evenR = 0.5f * (ar + br), evenI = 0.5f * (ai - bi);
        const float oddR = 0.5f * (ai + bi), oddI = 0.5f * (br - ar);
        const float c = cosines[k], s = sines[k];
        dst[2 * k] = evenR + c * oddR + s * oddI;
        dst[2 * k + 1] = evenI + c * oddI - s * oddR;
    }
}

// The reverse of SplitSpectra, from the CCS spectrum deinterleaved into xr, xi
// (k < M) and the real bin X_M; scaled by 2 / N so that the unscaled inverse of
// M points yields the samples.
void JoinSpectra(int m, const float* __restrict xr, const float* __restrict xi, float lastBin,
                 const float* __restrict cosines, const float* __restrict sines,
                 float* __restrict zr, float* __restrict zi) {
    const float scale = 0.5f / static_cast<float>(m);
    zr[0] = scale * (xr[0] + lastBin);
    zi[0] = scale * (xr[0] - lastBin);
    int k = 1;
    for (; k + kLanes <= m; k += kLanes) {
        const Lanes ar = Load(xr + k), ai = Load(xi + k);
        const Lanes br = Reversed(Load(xr + m - k - kLanes + 1));
        const Lanes bi = Reversed(Load(xi + m - k - kLanes + 1));
        const Lanes difR = ar - br, difI = ai + bi;
        const Lanes c = Load(cosines + k), s = Load(sines + k);
        Store(zr + k, scale * ((ar + br) - (difR * s + difI * c)));
        Store(zi + k, scale * ((ai - bi) + (difR * c - difI * s)));
    }
    for (; k < m; ++k) {
        const float ar = xr[k], ai = xi[k];
        const float br = xr[m - k], bi = xi[m - k];
        const float difR = ar - br, difI = ai + bi;
        const float c = cosines[k], s = sines[k];
        zr[k] = scale * ((ar + br) - (difR * s + difI * c));
        zi[k] = scale * ((ai - bi) + (difR * c - difI * s));
    }
}

// M complex points, re and im apart.
struct Split {
    float* re;
    float* im;
};
struct ConstSplit {
    const float* re;
    const float* im;
};

Split WorkArrays(const RealFFTTables& t, int index) {
    float* re = t.work + 2 * index * t.workStride;
    return {re, re + t.workStride};
}

// The complex transform of M points from in to out, with the given distance
// between consecutive points on either side; the passes in between alternate
// between next and other, starting with next.
template <int inStride, int outStride>
void RunComplex(const RealFFTTables& t, ConstSplit in, Split out, Split next, Split other) {
    const float* w = t.twiddles;
    ConstSplit x = in;
    int s = 1;
    for (int i = 0; i < t.twiddledPasses; ++i, s *= 4) {
        const Split y = i % 2 == 0 ? next : other;
        const int m = t.half / (4 * s);
        if (i == 0) {
            OpeningRadix4Pass<inStride>(m, x.re, x.im, y.re, y.im, {w, m});
        } else if (s == 4) {
            Radix4Pass<4>(m, s, x.re, x.im, y.re, y.im, {w, m});
        } else if (s == 16) {
            Radix4Pass<16>(m, s, x.re, x.im, y.re, y.im, {w, m});
        } else {
            Radix4Pass<0>(m, s, x.re, x.im, y.re, y.im, {w, m});
        }
        w += 6 * m;
        x = {y.re, y.im};
    }
    if (t.twiddledPasses == 0) {
        ClosingPass<inStride, outStride>(t.half / s, s, x.re, x.im, out.re, out.im);
    } else {
        ClosingPass<1, outStride>(t.half / s, s, x.re, x.im, out.re, out.im);
    }
}

void Forward(const RealFFTTables& t, const float* src, float* dst) {
    if (t.half == 1) {
        const float x0 = src[0], x1 = src[1];
        dst[0] = x0 + x1;
        dst[1] = 0.0f;
        dst[2] = x0 - x1;
        dst[3] = 0.0f;
        return;
    }
    const Split a = WorkArrays(t, 0);
    const Split b = WorkArrays(t, 1);
    // The passes alternate a, b, a, ...; the last one's target holds the result.
    const Split z = t.twiddledPasses % 2 == 0 ? a : b;
    RunComplex<2, 1>(t, {src, src + 1}, z, a, b);
    SplitSpectra(t.half, z.re, z.im, t.postCos, t.postSin, dst);
}

void Inverse(const RealFFTTables& t, const float* src, float* dst) {
    if (t.half == 1) {
        const float x0 = src[0], x1 = src[2];
        dst[0] = 0.5f * (x0 + x1);
        dst[1] = 0.5f * (x0 - x1);
        return;
    }
    const Split a = WorkArrays(t, 0);
    const Split b = WorkArrays(t, 1);
    Deinterleave(t.half, src, b.re, b.im);
    // Swapped re and im make the forward passes compute the inverse.
    JoinSpectra(t.half, b.re, b.im, src[t.size], t.postCos, t.postSin, a.im, a.re);
    RunComplex<1, 2>(t, {a.re, a.im}, {dst + 1, dst}, b, a);
}

} // namespace
