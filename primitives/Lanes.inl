// Vectors of floats as wide as the including translation unit's target allows
// (4 for SSE2, 8 for AVX2, 16 for AVX-512), for loops vectorised by hand in the
// per-level files that SimdDispatch chooses between. Include it inside an
// anonymous namespace, so that every level keeps its own copy.

// The widest vector of floats this translation unit's target has.
#if defined(__AVX512F__)
constexpr int kLanes = 16;
#elif defined(__AVX2__)
constexpr int kLanes = 8;
#else
constexpr int kLanes = 4;
#endif
typedef float Lanes __attribute__((vector_size(kLanes * sizeof(float))));
// Integers of the same width, for bit manipulation of the floats.
typedef int IntLanes __attribute__((vector_size(kLanes * sizeof(int))));

Lanes Load(const float* p) {
    Lanes v;
    __builtin_memcpy(&v, p, sizeof v);
    return v;
}
void Store(float* p, Lanes v) {
    __builtin_memcpy(p, &v, sizeof v);
}

template <int... i> struct Indices {};
template <int n, int... i> struct MakeIndices : MakeIndices<n - 1, n - 1, i...> {};
template <int... i> struct MakeIndices<0, i...> {
    using Type = Indices<i...>;
};
using LaneIndices = MakeIndices<kLanes>::Type;
