#pragma once

// Block-wise math of the engine. The per-sample envelope recursion is serial, but everything
// around it (input gain, level to dB, static curve, dB to gain, mix) runs here four samples at a
// time. The log and exp are our own so that they vectorise; they agree with the C library to a
// couple of float ulps. No fast-math: the finiteness checks below rely on IEEE compares.

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
 #include <emmintrin.h>
 #define VARNOK_ENGINE_SSE2 1
#else
 #define VARNOK_ENGINE_SSE2 0
#endif

namespace varnok::engine
{

// Lowest level the detector reports, and the level below which a gain is silence.
constexpr float floorDb = -120.0f;
constexpr float silenceDb = -100.0f;

inline int roundUpToVector (int n) noexcept { return (n + 3) & ~3; }

#if VARNOK_ENGINE_SSE2

using Vec = __m128;

inline Vec splat (float v) noexcept { return _mm_set1_ps (v); }

inline Vec absOf (Vec x) noexcept
{
    return _mm_and_ps (x, _mm_castsi128_ps (_mm_set1_epi32 (0x7fffffff)));
}

inline Vec select (Vec mask, Vec ifTrue, Vec ifFalse) noexcept
{
    return _mm_or_ps (_mm_and_ps (mask, ifTrue), _mm_andnot_ps (mask, ifFalse));
}

// NaN and +-inf become 0; finite values pass bit for bit.
inline Vec finiteOrZero (Vec x) noexcept
{
    return _mm_and_ps (x, _mm_cmple_ps (absOf (x), splat (FLT_MAX)));
}

// max (20 log10 v, -120), and -120 for v <= 0. Clamping the argument to 1e-6 first gives the
// same result (anything below 1e-6 ends on the floor anyway) and keeps zero, denormals and
// negatives away from the exponent trick. +inf gives about 770 dB, never inf.
inline Vec levelToDb (Vec v) noexcept
{
    const Vec one = splat (1.0f);
    const Vec x = _mm_max_ps (v, splat (1.0e-6f)); // NaN picks the second operand

    const __m128i bits = _mm_castps_si128 (x);
    __m128i exponent = _mm_srli_epi32 (bits, 23);
    Vec m = _mm_or_ps (_mm_and_ps (x, _mm_castsi128_ps (_mm_set1_epi32 (0x007fffff))), one);

    // Mantissa into [sqrt(0.5), sqrt(2)) so that the series argument stays small.
    const Vec high = _mm_cmpgt_ps (m, splat (1.41421356f));
    m = select (high, _mm_mul_ps (m, splat (0.5f)), m);
    exponent = _mm_sub_epi32 (exponent, _mm_castps_si128 (high));
    const Vec e = _mm_cvtepi32_ps (_mm_sub_epi32 (exponent, _mm_set1_epi32 (127)));

    const Vec f = _mm_sub_ps (m, one); // exact
    const Vec z = _mm_mul_ps (f, f);

    Vec p = splat (7.0376836292e-2f);
    p = _mm_add_ps (_mm_mul_ps (p, f), splat (-1.1514610310e-1f));
    p = _mm_add_ps (_mm_mul_ps (p, f), splat (1.1676998740e-1f));
    p = _mm_add_ps (_mm_mul_ps (p, f), splat (-1.2420140846e-1f));
    p = _mm_add_ps (_mm_mul_ps (p, f), splat (1.4249322787e-1f));
    p = _mm_add_ps (_mm_mul_ps (p, f), splat (-1.6668057665e-1f));
    p = _mm_add_ps (_mm_mul_ps (p, f), splat (2.0000714765e-1f));
    p = _mm_add_ps (_mm_mul_ps (p, f), splat (-2.4999993993e-1f));
    p = _mm_add_ps (_mm_mul_ps (p, f), splat (3.3333331174e-1f));

    Vec y = _mm_mul_ps (_mm_mul_ps (p, f), z);
    y = _mm_add_ps (y, _mm_mul_ps (e, splat (-2.12194440e-4f))); // low part of ln 2
    y = _mm_sub_ps (y, _mm_mul_ps (z, splat (0.5f)));
    Vec ln = _mm_add_ps (f, y);
    ln = _mm_add_ps (ln, _mm_mul_ps (e, splat (0.693359375f))); // high part of ln 2, exact product

    const Vec dB = _mm_mul_ps (ln, splat (8.685889638f)); // 20 / ln 10
    return _mm_max_ps (dB, splat (floorDb));
}

// 10^(0.05 a), exactly 0 at or below -100 dB; overflows to +inf like pow would.
inline Vec dbToGain (Vec a) noexcept
{
    const Vec u = _mm_mul_ps (a, splat (0.05f));
    const Vec uc = _mm_min_ps (_mm_max_ps (u, splat (-8.0f)), splat (38.6f));

    // u = k log10(2) + r with |r| <= 0.151; log10(2) in two parts so that k * hi is exact.
    const __m128i k = _mm_cvtps_epi32 (_mm_mul_ps (uc, splat (3.321928095f)));
    const Vec kf = _mm_cvtepi32_ps (k);
    Vec r = _mm_sub_ps (uc, _mm_mul_ps (kf, splat (0.30078125f)));
    r = _mm_sub_ps (r, _mm_mul_ps (kf, splat (2.48745663981195e-4f)));

    // Taylor series of exp (r ln 10) to r^7: truncation below 1e-8 over the reduced range.
    Vec p = splat (6.8089366e-2f);
    p = _mm_add_ps (_mm_mul_ps (p, r), splat (2.06995845e-1f));
    p = _mm_add_ps (_mm_mul_ps (p, r), splat (5.39382935e-1f));
    p = _mm_add_ps (_mm_mul_ps (p, r), splat (1.17125511f));
    p = _mm_add_ps (_mm_mul_ps (p, r), splat (2.0346787f));
    p = _mm_add_ps (_mm_mul_ps (p, r), splat (2.650949f));
    p = _mm_add_ps (_mm_mul_ps (p, r), splat (2.30258512f));
    p = _mm_add_ps (_mm_mul_ps (p, r), splat (1.0f));

    // 2^k as 2^(k-1) * 2, so that k = 128 still has a valid exponent field.
    const Vec scale = _mm_castsi128_ps (_mm_slli_epi32 (_mm_add_epi32 (k, _mm_set1_epi32 (126)), 23));
    const Vec g = _mm_mul_ps (_mm_mul_ps (p, scale), splat (2.0f));
    return _mm_and_ps (_mm_cmpgt_ps (a, splat (silenceDb)), g);
}

#endif

} // namespace varnok::engine
