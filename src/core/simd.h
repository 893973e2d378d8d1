// The vector scaffolding of the rasterizer and the span loops, in one place: GCC vector
// extensions (portable SIMD, not intrinsics) and function multi-versioning.
//
// A function marked ZOVEX_CLONES or ZOVEX_SPAN_CLONES is compiled once per instruction set
// listed and once for the x86-64 baseline (SSE2); the dynamic loader picks the build for the
// machine at start-up (an ifunc). The same source gives every build: a 32-byte vector is one
// AVX2 register or two SSE2 ones. Every variant is exact and gives the same pixels.
//
// Contract: the helpers here are always inlined, so a vector wider than the baseline's
// registers never crosses a function boundary; the ABI note -Wpsabi gives about passing such
// vectors therefore never applies, and it is silenced for every file that includes this one.
#pragma once

#pragma GCC diagnostic ignored "-Wpsabi"

#include <cstdint>
#include <cstring>

// Sanitizer builds (AddressSanitizer) get one build only: the loader runs the ifunc resolvers
// before the sanitizer's runtime is set up.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__SANITIZE_ADDRESS__)
#define ZOVEX_CLONES __attribute__((target_clones("avx2", "default")))
// The span loops gain from AVX-512's sixteen-pixel registers too; flatten inlines the sixteen
// loops into each build, so that each really uses its own vectors.
#define ZOVEX_SPAN_CLONES __attribute__((target_clones("avx512f", "avx2", "default"), flatten))
#else
#define ZOVEX_CLONES
#define ZOVEX_SPAN_CLONES
#endif

namespace zovex::simd {

// Eight 32-bit lanes: eight rows of the rasterizer, or eight pixels.
typedef std::int32_t V8i __attribute__((vector_size(32)));
// The same 32 bytes as sixteen 16-bit halves (the halves of packed spans).
typedef std::int16_t V16s __attribute__((vector_size(32)));
// Pixels in vectors of 16, 8 and 4.
typedef std::uint32_t V16u __attribute__((vector_size(64)));
typedef std::uint32_t V8u __attribute__((vector_size(32)));
typedef std::uint32_t V4u __attribute__((vector_size(16)));

// The lane numbers 0 .. 7.
inline constexpr V8i kLanes = {0, 1, 2, 3, 4, 5, 6, 7};

// Unaligned loads and stores through memcpy: no alignment is assumed, and no aliasing rule is
// broken; they compile to single vector moves.
template <class V, class T>
[[gnu::always_inline]] inline V load(const T* p)
{
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <class V, class T>
[[gnu::always_inline]] inline void store(T* p, const V& v)
{
    std::memcpy(p, &v, sizeof v);
}

// The same bytes seen as another vector type.
template <class To, class From>
[[gnu::always_inline]] inline To bitCast(const From& v)
{
    static_assert(sizeof(To) == sizeof(From));
    To t;
    std::memcpy(&t, &v, sizeof t);
    return t;
}

[[gnu::always_inline]] inline V8i vmin(const V8i& a, const V8i& b) { return a < b ? a : b; }
[[gnu::always_inline]] inline V8i vmax(const V8i& a, const V8i& b) { return a < b ? b : a; }

// Whether any lane is non-zero: the halves folded onto the first lanes, then one 64-bit test.
[[gnu::always_inline]] inline bool anyLane(const V8i& v)
{
    V8i folded = v | __builtin_shufflevector(v, v, 4, 5, 6, 7, 4, 5, 6, 7);
    folded |= __builtin_shufflevector(folded, folded, 2, 3, 2, 3, 2, 3, 2, 3);
    std::uint64_t any;
    std::memcpy(&any, &folded, sizeof any);
    return any != 0;
}

} // namespace zovex::simd
