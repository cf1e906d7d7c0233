#include "dsp/LSAR.h"

#include "primitives/Vec.h"

namespace {

// Σ_{j=1..size-1} row[j]·v[size-1-j]: the last row of T applied to v extended by a zero.
double LastRowProduct(const float* row, const float* v, int size) {
    double sum = 0.0;
    for (int j = 1; j < size; ++j)
        sum += static_cast<double>(row[j]) * v[size - 1 - j];
    return sum;
}

// Σ_{j=1..order} a[j]·v[j] over a stride of +1 starting at v.
double Convolve(const float* a, const float* v, int order) {
    double sum = 0.0;
    for (int j = 1; j <= order; ++j)
        sum += static_cast<double>(a[j]) * v[j];
    return sum;
}

} // namespace

void SolveToeplitz(const float* row, const float* rightHandSide, float* solution, float* forward,
                   float* reversed, int size) {
    forward[0] = 1.0f / row[0];
    solution[0] = rightHandSide[0] / row[0];
    for (int s = 2; s <= size; ++s) {
        forward[s - 1] = 0.0f;
        solution[s - 1] = 0.0f;
        const double forwardError = LastRowProduct(row, forward, s);
        const double solutionError = LastRowProduct(row, solution, s);
        for (int i = 0; i < s; ++i)
            reversed[i] = forward[s - 1 - i];
        const double scale = 1.0 / (1.0 - forwardError * forwardError);
        for (int i = 0; i < s; ++i)
            forward[i] = static_cast<float>((forward[i] - forwardError * reversed[i]) * scale);
        const double step = rightHandSide[s - 1] - solutionError;
        for (int i = 0; i < s; ++i)
            solution[i] = static_cast<float>(solution[i] + step * forward[s - 1 - i]);
    }
}

namespace DSP::Restoration {

void LSAR::Reserve(int maxCount, int maxOrder) {
    for (std::vector<float>* work : {&toeplitzRow, &rightHandSide, &solverWork})
        work->reserve(std::size_t(maxCount));
    forwardKnown.reserve(std::size_t(maxCount + maxOrder));
    backwardKnown.reserve(std::size_t(maxCount + maxOrder));
}

void LSAR::Interpolate(float* x, int start, int count, const float* coefficients, int order) {
    toeplitzRow.resize(count);
    forwardKnown.resize(count + order);
    backwardKnown.resize(count + order);
    rightHandSide.resize(count);
    solverWork.resize(count);

    BuildNormalRow(coefficients, count, order);
    KnownForwardErrors(x, start, count, coefficients, order);
    KnownBackwardErrors(x, start, count, coefficients, order);
    BuildRightHandSide(coefficients, count, order);
    SolveToeplitz(toeplitzRow.data(), rightHandSide.data(), backwardKnown.data(), solverWork.data(),
                  forwardKnown.data(), count);
    VecCopy(count, backwardKnown.data(), x + start);
}

// With c0 = 1 and cj = −aj, row[k] = Σ_j cj·c(j+k): the autocorrelation of the
// prediction-error filter, zero beyond the model order.
void LSAR::BuildNormalRow(const float* a, int count, int order) {
    for (int k = 0; k < count; ++k) {
        double sum = 0.0;
        if (k <= order) {
            sum = k == 0 ? 1.0 : -static_cast<double>(a[k]);
            for (int j = 1; j <= order - k; ++j)
                sum += static_cast<double>(a[j]) * a[j + k];
        }
        toeplitzRow[k] = static_cast<float>(sum);
    }
}

// Equation i predicts x[start + i]. Terms aj·x[n−j] with j <= i − count reach past the
// run, those with j > i reach before it; the rest fall inside the run and count as 0.
void LSAR::KnownForwardErrors(const float* x, int start, int count, const float* a, int order) {
    for (int i = 0; i < count + order; ++i) {
        const int n = start + i;
        double sum = i >= count ? x[n] : 0.0;
        for (int j = 1; j <= i - count; ++j)
            sum -= static_cast<double>(a[j]) * x[n - j];
        for (int j = i + 1; j <= order; ++j)
            sum -= static_cast<double>(a[j]) * x[n - j];
        forwardKnown[i] = static_cast<float>(sum);
    }
}

// Equation i predicts x[start + count − 1 − i] backwards from the samples after it.
void LSAR::KnownBackwardErrors(const float* x, int start, int count, const float* a, int order) {
    for (int i = 0; i < count + order; ++i) {
        const int n = start + count - 1 - i;
        double sum = i >= count ? x[n] : 0.0;
        for (int j = 1; j <= i - count; ++j)
            sum -= static_cast<double>(a[j]) * x[n + j];
        for (int j = i + 1; j <= order; ++j)
            sum -= static_cast<double>(a[j]) * x[n + j];
        backwardKnown[i] = static_cast<float>(sum);
    }
}

// Both error vectors share the normal matrix R, so the minimiser of their summed
// squares solves 2·R·u = −(g_f + g_b) with g = Cᵀ·(known part).
void LSAR::BuildRightHandSide(const float* a, int count, int order) {
    for (int k = 0; k < count; ++k) {
        const int b = count - 1 - k;
        const double forward = forwardKnown[k] - Convolve(a, forwardKnown.data() + k, order);
        const double backward = backwardKnown[b] - Convolve(a, backwardKnown.data() + b, order);
        rightHandSide[k] = static_cast<float>(-0.5 * (forward + backward));
    }
}

} // namespace DSP::Restoration
