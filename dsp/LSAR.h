#pragma once
// Least-squares autoregressive interpolation: rebuilds a run of damaged samples as
// the values that minimise the summed squared forward and backward prediction errors
// of an AR model over every equation that touches the run.

#include <vector>

// Solves T·x = y for the symmetric positive definite Toeplitz matrix T with first row
// r[0 … size−1] (Levinson recursion). forward and reversed are work vectors of size
// values each. Sums are accumulated in double.
void SolveToeplitz(const float* row, const float* rightHandSide, float* solution, float* forward,
                   float* reversed, int size);

namespace DSP::Restoration {

class LSAR {
public:
    virtual ~LSAR() = default;

    // Sizes the work vectors for runs of up to maxCount samples and models of up to
    // maxOrder, so that Interpolate allocates nothing within those bounds.
    void Reserve(int maxCount, int maxOrder);
    // Overwrites x[start … start+count−1] from the model a[0 … order] (a0 is not read).
    // Reads order samples of context on each side of the run, which must be valid.
    void Interpolate(float* x, int start, int count, const float* coefficients, int order);

    // Kept between calls so that storage is reused; they grow with the longest run
    // beyond what Reserve made room for.
    std::vector<float> toeplitzRow;
    std::vector<float> forwardKnown;
    std::vector<float> backwardKnown;
    std::vector<float> rightHandSide;
    std::vector<float> solverWork;

private:
    void BuildNormalRow(const float* a, int count, int order);
    // Forward errors with every run sample taken as 0, for the count + order equations
    // that touch the run.
    void KnownForwardErrors(const float* x, int start, int count, const float* a, int order);
    void KnownBackwardErrors(const float* x, int start, int count, const float* a, int order);
    void BuildRightHandSide(const float* a, int count, int order);
};

} // namespace DSP::Restoration
