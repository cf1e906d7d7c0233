#include "primitives/SimdDispatch.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

SimdLevel Detect() {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    __builtin_cpu_init();
    // __builtin_cpu_supports also checks that the operating system saves the
    // wide registers (XGETBV), so a listed feature is usable.
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
        __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512bw")) {
        return SimdLevel::Avx512;
    }
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) {
        return SimdLevel::Avx2Fma;
    }
#endif
    return SimdLevel::Sse2;
}

SimdLevel CapFromEnvironment() {
    const char* value = std::getenv("SONAVEL_SIMD");
    if (value == nullptr) return SimdLevel::Avx512;
    if (std::strcmp(value, "sse2") == 0) return SimdLevel::Sse2;
    if (std::strcmp(value, "avx2") == 0) return SimdLevel::Avx2Fma;
    return SimdLevel::Avx512;
}

std::atomic<int>& Cap() {
    static std::atomic<int> cap{static_cast<int>(CapFromEnvironment())};
    return cap;
}

} // namespace

SimdLevel SupportedSimdLevel() {
    static const SimdLevel supported = Detect();
    return supported;
}

SimdLevel ActiveSimdLevel() {
    const int cap = Cap().load(std::memory_order_relaxed);
    return static_cast<SimdLevel>(std::min(cap, static_cast<int>(SupportedSimdLevel())));
}

void LimitSimdLevel(SimdLevel cap) {
    Cap().store(static_cast<int>(cap), std::memory_order_relaxed);
}

const char* SimdLevelName(SimdLevel level) {
    switch (level) {
    case SimdLevel::Sse2:
        return "sse2";
    case SimdLevel::Avx2Fma:
        return "avx2";
    case SimdLevel::Avx512:
        return "avx512";
    }
    return "?";
}
