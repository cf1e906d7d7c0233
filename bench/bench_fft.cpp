// Forward plus inverse real FFT, ours against FFTW's single-precision r2c / c2r.
// After the table, one line per size gives the ratio of our time to FFTW's,
// both measured in this run. Ours runs the instruction set SimdDispatch chooses
// (printed first); SONAVEL_SIMD=sse2 measures the baseline.

#include "primitives/RealFFT.h"
#include "primitives/SimdDispatch.h"

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int kSizes[] = {512, 2048, 8192, 16384};

std::vector<float> Noise(int n) {
    std::mt19937 gen(1);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    std::vector<float> v(n);
    for (float& x : v)
        x = dist(gen);
    return v;
}

void Ours(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    RealFFT fft;
    fft.Init(n);
    std::vector<float> signal = Noise(n), spectrum(n + 2);
    for (auto _ : state) {
        fft.Forward(signal.data(), spectrum.data());
        fft.Inverse(spectrum.data(), signal.data());
        benchmark::DoNotOptimize(signal.data());
        benchmark::ClobberMemory();
    }
}

void Fftw(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    float* signal = fftwf_alloc_real(n);
    fftwf_complex* spectrum = fftwf_alloc_complex(n / 2 + 1);
    fftwf_plan forward = fftwf_plan_dft_r2c_1d(n, signal, spectrum, FFTW_MEASURE);
    fftwf_plan inverse = fftwf_plan_dft_c2r_1d(n, spectrum, signal, FFTW_MEASURE);
    const std::vector<float> noise = Noise(n);
    std::copy(noise.begin(), noise.end(), signal);
    for (auto _ : state) {
        fftwf_execute(forward);
        fftwf_execute(inverse);
        benchmark::DoNotOptimize(signal);
        benchmark::ClobberMemory();
    }
    fftwf_destroy_plan(forward);
    fftwf_destroy_plan(inverse);
    fftwf_free(spectrum);
    fftwf_free(signal);
}

// Prints the usual table and keeps the best CPU time per iteration of each
// (implementation, size) pair; CPU time is less disturbed than wall time when the
// machine is shared. Run with --benchmark_repetitions=N for steadier ratios.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
            const auto key = std::make_pair(run.run_name.function_name, run.run_name.args);
            const double time = run.GetAdjustedCPUTime();
            const auto found = best.find(key);
            best[key] = found == best.end() ? time : std::min(found->second, time);
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void PrintRatios() const {
        for (int n : kSizes) {
            const auto ours = best.find({"Ours", std::to_string(n)});
            const auto fftw = best.find({"Fftw", std::to_string(n)});
            if (ours == best.end() || fftw == best.end()) continue;
            std::printf("N = %5d: ours / FFTW = %.2f\n", n, ours->second / fftw->second);
        }
    }

private:
    std::map<std::pair<std::string, std::string>, double> best;
};

} // namespace

int main(int argc, char** argv) {
    for (int n : kSizes) {
        benchmark::RegisterBenchmark("Ours", Ours)->Arg(n);
        benchmark::RegisterBenchmark("Fftw", Fftw)->Arg(n);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    std::printf("Instruction set: %s\n", SimdLevelName(ActiveSimdLevel()));
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}
