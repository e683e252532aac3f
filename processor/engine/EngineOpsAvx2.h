#pragma once

// The AVX2 operation struct for the templates of EngineSimd.h, eight lanes wide. No FMA: the
// products and sums must round exactly as in the other sets. Like EngineOps.h it lives in an
// unnamed namespace, so each file that instantiates the passes has its own copies.
//
// A file that instantiates the passes for AVX2 includes EngineSimd.h, and defines its tables,
// between VARNOK_ENGINE_AVX2_BEGIN and VARNOK_ENGINE_AVX2_END: the functions defined in between
// are compiled for AVX2, nothing else of the file is. None of them may run before
// avx2Kernels() has checked the CPU.

#if defined(__x86_64__) || defined(_M_X64)
 #define VARNOK_ENGINE_AVX2 1
 #include <immintrin.h>

 #if defined(__clang__)
  #define VARNOK_ENGINE_AVX2_BEGIN _Pragma ("clang attribute push (__attribute__ ((target (\"avx2\"))), apply_to = function)")
  #define VARNOK_ENGINE_AVX2_END _Pragma ("clang attribute pop")
 #elif defined(__GNUC__)
  #define VARNOK_ENGINE_AVX2_BEGIN _Pragma ("GCC push_options") _Pragma ("GCC target (\"avx2\")")
  #define VARNOK_ENGINE_AVX2_END _Pragma ("GCC pop_options")
 #else
  #define VARNOK_ENGINE_AVX2_BEGIN
  #define VARNOK_ENGINE_AVX2_END
 #endif
#else
 #define VARNOK_ENGINE_AVX2 0
#endif

#if VARNOK_ENGINE_AVX2
VARNOK_ENGINE_AVX2_BEGIN
namespace varnok::engine
{
namespace
{
struct Avx2
{
    using V = __m256;
    using I = __m256i;
    static constexpr int width = 8;

    static V load (const float* p) noexcept { return _mm256_loadu_ps (p); }
    static void store (float* p, V v) noexcept { _mm256_storeu_ps (p, v); }
    static V splat (float v) noexcept { return _mm256_set1_ps (v); }
    static V add (V a, V b) noexcept { return _mm256_add_ps (a, b); }
    static V sub (V a, V b) noexcept { return _mm256_sub_ps (a, b); }
    static V mul (V a, V b) noexcept { return _mm256_mul_ps (a, b); }
    static V div (V a, V b) noexcept { return _mm256_div_ps (a, b); }
    static V min (V a, V b) noexcept { return _mm256_min_ps (a, b); }
    static V max (V a, V b) noexcept { return _mm256_max_ps (a, b); }
    static V sqrt (V a) noexcept { return _mm256_sqrt_ps (a); }
    static V abs (V a) noexcept { return _mm256_and_ps (a, _mm256_castsi256_ps (_mm256_set1_epi32 (0x7fffffff))); }
    static V bitAnd (V a, V b) noexcept { return _mm256_and_ps (a, b); }
    static V bitOr (V a, V b) noexcept { return _mm256_or_ps (a, b); }
    static V select (V m, V a, V b) noexcept { return _mm256_blendv_ps (b, a, m); }
    static V cmpgt (V a, V b) noexcept { return _mm256_cmp_ps (a, b, _CMP_GT_OQ); }
    static V cmpge (V a, V b) noexcept { return _mm256_cmp_ps (a, b, _CMP_GE_OQ); }
    static V cmplt (V a, V b) noexcept { return _mm256_cmp_ps (a, b, _CMP_LT_OQ); }
    static V cmple (V a, V b) noexcept { return _mm256_cmp_ps (a, b, _CMP_LE_OQ); }
    static I asInt (V a) noexcept { return _mm256_castps_si256 (a); }
    static V asFloat (I a) noexcept { return _mm256_castsi256_ps (a); }
    static I splatInt (int v) noexcept { return _mm256_set1_epi32 (v); }
    static I addInt (I a, I b) noexcept { return _mm256_add_epi32 (a, b); }
    static I subInt (I a, I b) noexcept { return _mm256_sub_epi32 (a, b); }
    static I shiftRight23 (I a) noexcept { return _mm256_srli_epi32 (a, 23); }
    static I shiftLeft23 (I a) noexcept { return _mm256_slli_epi32 (a, 23); }
    static V toFloat (I a) noexcept { return _mm256_cvtepi32_ps (a); }
    static I roundToInt (V a) noexcept { return _mm256_cvtps_epi32 (a); } // nearest, ties to even

    // Lanes 0 and 1 of a 128-bit register carry the two channels of the envelope recursion.
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
    static Pair pairSelect (Pair m, Pair x, Pair y) noexcept { return _mm_blendv_ps (y, x, m); }
    static float lane0 (Pair p) noexcept { return _mm_cvtss_f32 (p); }
    static float lane1 (Pair p) noexcept { return _mm_cvtss_f32 (_mm_shuffle_ps (p, p, _MM_SHUFFLE (1, 1, 1, 1))); }
};
} // namespace
} // namespace varnok::engine
VARNOK_ENGINE_AVX2_END
#endif
