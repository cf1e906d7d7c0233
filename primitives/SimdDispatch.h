#pragma once
// Runtime choice of the widest instruction set the processor offers, made once.
// The builds target plain x86-64 (SSE2); code compiled for wider instruction sets
// lives in its own translation units and is only reached through a table of
// function pointers chosen here, so the same binary runs on every x86-64.
//
// Use: fill a PerSimdLevel with one pointer per level (nullptr where a level has no
// version of its own; the level below is used), then call Active() once at set-up
// and keep the pointer. For(level) gives a specific level's version, for tests
// that compare the paths.
//
// The environment variable SONAVEL_SIMD (sse2, avx2 or avx512) caps the level,
// and so does LimitSimdLevel; either one only affects choices made afterwards.

#include <type_traits>

enum class SimdLevel {
    Sse2 = 0,
    // AVX2 with FMA: Haswell, Zen and later.
    Avx2Fma = 1,
    // AVX-512 F, VL, DQ and BW: Skylake-X, Ice Lake, Zen 4 and later.
    Avx512 = 2,
};

// The best level this processor and operating system support, detected once.
SimdLevel SupportedSimdLevel();
// The level choices use: the supported one, capped by SONAVEL_SIMD and LimitSimdLevel.
SimdLevel ActiveSimdLevel();
// Caps the active level (a level above the supported one changes nothing).
void LimitSimdLevel(SimdLevel cap);
const char* SimdLevelName(SimdLevel level);

template <typename Fn>
    requires std::is_pointer_v<Fn>
struct PerSimdLevel {
    Fn sse2;
    Fn avx2Fma = nullptr;
    Fn avx512 = nullptr;

    // The version for `level`, or for the nearest level below that has one.
    Fn For(SimdLevel level) const {
        if (level == SimdLevel::Avx512 && avx512 != nullptr) return avx512;
        if (level != SimdLevel::Sse2 && avx2Fma != nullptr) return avx2Fma;
        return sse2;
    }
    Fn Active() const { return For(ActiveSimdLevel()); }
};
