#pragma once

// The baseline instruction sets of the engine's vector passes, as operation structs for the
// templates of EngineSimd.h: Sse2 on x86 (every x86-64 CPU has it) and Portable, one float as
// a vector of one lane, for everything else. They live in an unnamed namespace on purpose: each
// file that instantiates the passes gets its own copies, so code compiled for different
// instruction sets is never merged by the linker.

#include <cmath>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
 #define VARNOK_ENGINE_X86 1
 #include <emmintrin.h>
#else
 #define VARNOK_ENGINE_X86 0
#endif

namespace varnok::engine
{
namespace
{
// One float as a vector of one lane: the same algorithms for platforms without SSE2.
struct Portable
{
    using V = float;
    using I = std::int32_t;
    static constexpr int width = 1;

    static I asInt (V v) noexcept { I i; std::memcpy (&i, &v, sizeof i); return i; }
    static V asFloat (I i) noexcept { V v; std::memcpy (&v, &i, sizeof v); return v; }

    static V load (const float* p) noexcept { return *p; }
    static void store (float* p, V v) noexcept { *p = v; }
    static V splat (float v) noexcept { return v; }
    static V add (V a, V b) noexcept { return a + b; }
    static V sub (V a, V b) noexcept { return a - b; }
    static V mul (V a, V b) noexcept { return a * b; }
    static V div (V a, V b) noexcept { return a / b; }
    static V min (V a, V b) noexcept { return a < b ? a : b; }
    static V max (V a, V b) noexcept { return a > b ? a : b; }
    static V sqrt (V a) noexcept { return std::sqrt (a); }
    static V abs (V a) noexcept { return asFloat (asInt (a) & 0x7fffffff); }
    static V bitAnd (V a, V b) noexcept { return asFloat (asInt (a) & asInt (b)); }
    static V bitOr (V a, V b) noexcept { return asFloat (asInt (a) | asInt (b)); }
    static V mask (bool b) noexcept { return asFloat (b ? -1 : 0); }
    static V select (V m, V a, V b) noexcept { return asInt (m) != 0 ? a : b; }
    static V cmpgt (V a, V b) noexcept { return mask (a > b); }
    static V cmpge (V a, V b) noexcept { return mask (a >= b); }
    static V cmplt (V a, V b) noexcept { return mask (a < b); }
    static V cmple (V a, V b) noexcept { return mask (a <= b); }
    static I splatInt (std::int32_t v) noexcept { return v; }
    static I addInt (I a, I b) noexcept { return (I) ((std::uint32_t) a + (std::uint32_t) b); }
    static I subInt (I a, I b) noexcept { return (I) ((std::uint32_t) a - (std::uint32_t) b); }
    static I shiftRight23 (I a) noexcept { return (I) ((std::uint32_t) a >> 23); }
    static I shiftLeft23 (I a) noexcept { return (I) ((std::uint32_t) a << 23); }
    static V toFloat (I a) noexcept { return (float) a; }
    static I roundToInt (V a) noexcept { return (I) std::lrint (a); } // nearest, ties to even

    struct Pair { float a, b; };
    static Pair pair (float a, float b) noexcept { return { a, b }; }
    static Pair pairLoad (const float* a, const float* b) noexcept { return { *a, *b }; }
    static void pairStore (float* a, float* b, Pair p) noexcept { *a = p.a; *b = p.b; }
    static Pair pairAdd (Pair x, Pair y) noexcept { return { x.a + y.a, x.b + y.b }; }
    static Pair pairSub (Pair x, Pair y) noexcept { return { x.a - y.a, x.b - y.b }; }
    static Pair pairMul (Pair x, Pair y) noexcept { return { x.a * y.a, x.b * y.b }; }
    static Pair pairMin (Pair x, Pair y) noexcept { return { min (x.a, y.a), min (x.b, y.b) }; }
    static Pair pairMax (Pair x, Pair y) noexcept { return { max (x.a, y.a), max (x.b, y.b) }; }
    static Pair pairGreater (Pair x, Pair y) noexcept { return { cmpgt (x.a, y.a), cmpgt (x.b, y.b) }; }
    static Pair pairSelect (Pair m, Pair x, Pair y) noexcept { return { select (m.a, x.a, y.a), select (m.b, x.b, y.b) }; }
    static float lane0 (Pair p) noexcept { return p.a; }
    static float lane1 (Pair p) noexcept { return p.b; }
};

#if VARNOK_ENGINE_X86
struct Sse2
{
    using V = __m128;
    using I = __m128i;
    static constexpr int width = 4;

    static V load (const float* p) noexcept { return _mm_loadu_ps (p); }
    static void store (float* p, V v) noexcept { _mm_storeu_ps (p, v); }
    static V splat (float v) noexcept { return _mm_set1_ps (v); }
    static V add (V a, V b) noexcept { return _mm_add_ps (a, b); }
    static V sub (V a, V b) noexcept { return _mm_sub_ps (a, b); }
    static V mul (V a, V b) noexcept { return _mm_mul_ps (a, b); }
    static V div (V a, V b) noexcept { return _mm_div_ps (a, b); }
    static V min (V a, V b) noexcept { return _mm_min_ps (a, b); }
    static V max (V a, V b) noexcept { return _mm_max_ps (a, b); }
    static V sqrt (V a) noexcept { return _mm_sqrt_ps (a); }
    static V abs (V a) noexcept { return _mm_and_ps (a, _mm_castsi128_ps (_mm_set1_epi32 (0x7fffffff))); }
    static V bitAnd (V a, V b) noexcept { return _mm_and_ps (a, b); }
    static V bitOr (V a, V b) noexcept { return _mm_or_ps (a, b); }
    static V select (V m, V a, V b) noexcept { return _mm_or_ps (_mm_and_ps (m, a), _mm_andnot_ps (m, b)); }
    static V cmpgt (V a, V b) noexcept { return _mm_cmpgt_ps (a, b); }
    static V cmpge (V a, V b) noexcept { return _mm_cmpge_ps (a, b); }
    static V cmplt (V a, V b) noexcept { return _mm_cmplt_ps (a, b); }
    static V cmple (V a, V b) noexcept { return _mm_cmple_ps (a, b); }
    static I asInt (V a) noexcept { return _mm_castps_si128 (a); }
    static V asFloat (I a) noexcept { return _mm_castsi128_ps (a); }
    static I splatInt (int v) noexcept { return _mm_set1_epi32 (v); }
    static I addInt (I a, I b) noexcept { return _mm_add_epi32 (a, b); }
    static I subInt (I a, I b) noexcept { return _mm_sub_epi32 (a, b); }
    static I shiftRight23 (I a) noexcept { return _mm_srli_epi32 (a, 23); }
    static I shiftLeft23 (I a) noexcept { return _mm_slli_epi32 (a, 23); }
    static V toFloat (I a) noexcept { return _mm_cvtepi32_ps (a); }
    static I roundToInt (V a) noexcept { return _mm_cvtps_epi32 (a); } // nearest, ties to even

    // Lanes 0 and 1 of a register carry the two channels of the envelope recursion.
    using Pair = __m128;
    static Pair pair (float a, float b) noexcept { return _mm_setr_ps (a, b, 0.0f, 0.0f); }
    static Pair pairLoad (const float* a, const float* b) noexcept { return _mm_unpacklo_ps (_mm_load_ss (a), _mm_load_ss (b)); }
    static void pairStore (float* a, float* b, Pair p) noexcept { _mm_store_ss (a, p); _mm_store_ss (b, _mm_shuffle_ps (p, p, _MM_SHUFFLE (1, 1, 1, 1))); }
    static Pair pairAdd (Pair x, Pair y) noexcept { return _mm_add_ps (x, y); }
    static Pair pairSub (Pair x, Pair y) noexcept { return _mm_sub_ps (x, y); }
    static Pair pairMul (Pair x, Pair y) noexcept { return _mm_mul_ps (x, y); }
    static Pair pairMin (Pair x, Pair y) noexcept { return _mm_min_ps (x, y); }
    static Pair pairMax (Pair x, Pair y) noexcept { return _mm_max_ps (x, y); }
    static Pair pairGreater (Pair x, Pair y) noexcept { return _mm_cmpgt_ps (x, y); }
    static Pair pairSelect (Pair m, Pair x, Pair y) noexcept { return _mm_or_ps (_mm_and_ps (m, x), _mm_andnot_ps (m, y)); }
    static float lane0 (Pair p) noexcept { return _mm_cvtss_f32 (p); }
    static float lane1 (Pair p) noexcept { return _mm_cvtss_f32 (_mm_shuffle_ps (p, p, _MM_SHUFFLE (1, 1, 1, 1))); }
};
#endif
} // namespace
} // namespace varnok::engine
