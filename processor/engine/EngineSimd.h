#pragma once

// The engine's vector passes, written once over `O`, an instruction set's operations (a struct
// with the vector type V, its integer type I, `width` and static functions: EngineOps.h,
// EngineOpsAvx2.h). Included by the EngineKernels*.cpp files and by the engine tests' own
// tables, each file compiled for its own instruction set; everything here is a template over
// O, so none of that code is shared between them.
//
// The log and exp are our own, so that they vectorise; they agree with the C library to about
// two float ulps. No fast-math anywhere: the finiteness checks rely on IEEE compares.

#include "EngineKernels.h"
#include "GainComputer.h"

#include <cfloat>

namespace varnok::engine::simd
{

template <class O>
inline typename O::V rampAt (const Ramp& r, int i) noexcept
{
    return r.values != nullptr ? O::load (r.values + i) : O::splat (r.constant);
}

template <class O>
inline float rampScalar (const Ramp& r, int i) noexcept
{
    return r.values != nullptr ? r.values[i] : r.constant;
}

// NaN and +-inf become 0; finite values pass bit for bit.
template <class O>
inline typename O::V finiteOrZero (typename O::V x) noexcept
{
    return O::bitAnd (x, O::cmple (O::abs (x), O::splat (FLT_MAX)));
}

template <class O>
inline float finiteOrZeroScalar (float x) noexcept
{
    return (x < 0.0f ? -x : x) <= FLT_MAX ? x : 0.0f;
}

// max (20 log10 v, -120), and -120 for v <= 0. Clamping the argument to 1e-6 first gives the
// same result (anything below ends on the floor) and keeps zero, denormals and negatives away
// from the exponent trick. +inf gives about 770 dB, never inf.
template <class O>
inline typename O::V levelToDb (typename O::V v) noexcept
{
    using V = typename O::V;
    const V one = O::splat (1.0f);
    const V x = O::max (v, O::splat (1.0e-6f)); // NaN picks the second operand

    auto exponent = O::shiftRight23 (O::asInt (x));
    V m = O::bitOr (O::bitAnd (x, O::asFloat (O::splatInt (0x007fffff))), one);

    // Mantissa into [sqrt(0.5), sqrt(2)) so that the series argument stays small.
    const V high = O::cmpgt (m, O::splat (1.41421356f));
    m = O::select (high, O::mul (m, O::splat (0.5f)), m);
    exponent = O::subInt (exponent, O::asInt (high)); // +1 where halved
    const V e = O::toFloat (O::subInt (exponent, O::splatInt (127)));

    const V f = O::sub (m, one); // exact
    const V z = O::mul (f, f);

    // The series in Estrin's form: shorter dependency chains than Horner's, same accuracy.
    const V z2 = O::mul (z, z);
    const V z4 = O::mul (z2, z2);
    const V p01 = O::add (O::mul (O::splat (-2.4999993993e-1f), f), O::splat (3.3333331174e-1f));
    const V p23 = O::add (O::mul (O::splat (-1.6668057665e-1f), f), O::splat (2.0000714765e-1f));
    const V p45 = O::add (O::mul (O::splat (-1.2420140846e-1f), f), O::splat (1.4249322787e-1f));
    const V p67 = O::add (O::mul (O::splat (-1.1514610310e-1f), f), O::splat (1.1676998740e-1f));
    const V p03 = O::add (O::mul (p23, z), p01);
    const V p47 = O::add (O::mul (p67, z), p45);
    const V p = O::add (O::mul (O::splat (7.0376836292e-2f), z4), O::add (O::mul (p47, z2), p03));

    V y = O::mul (O::mul (p, f), z);
    y = O::sub (y, O::mul (z, O::splat (0.5f)));
    const V lnMantissa = O::add (f, y);

    // dB = e * 20 log10(2) + ln(m) * 20 / ln(10), the first product split so that its large
    // part is exact: what is left to round is small, which keeps the error near one ulp.
    const V small = O::add (O::mul (e, O::splat (9.21007796e-5f)), O::mul (lnMantissa, O::splat (8.685889638f)));
    const V dB = O::add (O::mul (e, O::splat (6.0205078125f)), small);
    return O::max (dB, O::splat (-120.0f));
}

// 10^(0.05 a), exactly 0 at or below -100 dB; overflows to +inf as pow would.
template <class O>
inline typename O::V dbToGain (typename O::V a) noexcept
{
    using V = typename O::V;
    const V u = O::mul (a, O::splat (0.05f));
    const V uc = O::min (O::max (u, O::splat (-8.0f)), O::splat (38.6f));

    // u = k log10(2) + r with |r| <= 0.151; log10(2) in two parts so that k * hi is exact.
    const auto k = O::roundToInt (O::mul (uc, O::splat (3.321928095f)));
    const V kf = O::toFloat (k);
    V r = O::sub (uc, O::mul (kf, O::splat (0.30078125f)));
    r = O::sub (r, O::mul (kf, O::splat (2.48745663981195e-4f)));

    // Taylor series of exp (r ln 10) to r^7: truncation below 1e-8 over the reduced range.
    V p = O::splat (6.8089366e-2f);
    p = O::add (O::mul (p, r), O::splat (2.06995845e-1f));
    p = O::add (O::mul (p, r), O::splat (5.39382935e-1f));
    p = O::add (O::mul (p, r), O::splat (1.17125511f));
    p = O::add (O::mul (p, r), O::splat (2.0346787f));
    p = O::add (O::mul (p, r), O::splat (2.650949f));
    p = O::add (O::mul (p, r), O::splat (2.30258512f));
    p = O::add (O::mul (p, r), O::splat (1.0f));

    // 2^k as 2^(k-1) * 2, so that k = 128 still has a valid exponent field.
    const V scale = O::asFloat (O::shiftLeft23 (O::addInt (k, O::splatInt (126))));
    const V g = O::mul (O::mul (p, scale), O::splat (2.0f));
    return O::bitAnd (O::cmpgt (a, O::splat (-100.0f)), g);
}

template <class O>
inline typename O::V softClip (typename O::V v) noexcept
{
    const auto cubic = O::sub (v, O::div (O::mul (O::mul (v, v), v), O::splat (3.0f)));
    const auto limited = O::select (O::cmpge (v, O::splat (1.0f)), O::splat (2.0f / 3.0f), cubic);
    return O::select (O::cmple (v, O::splat (-1.0f)), O::splat (-2.0f / 3.0f), limited);
}

template <class O>
inline typename O::V staticCurve (const CurveSettings& s, typename O::V level) noexcept
{
    using V = typename O::V;
    const V h = O::splat (s.half);
    const V over = O::sub (level, O::splat (s.threshold));
    const V hard = O::bitAnd (O::cmpge (over, h), O::mul (over, O::splat (s.slope)));

    if (! s.softKnee)
        return hard;

    const V shifted = O::add (over, h);
    const V soft = O::div (O::mul (O::mul (shifted, O::splat (s.slope)), shifted), O::splat (s.twoKnee));
    const V inKnee = O::bitAnd (O::cmplt (O::splat (-s.half), over), O::cmplt (over, h));
    return O::select (inKnee, soft, hard);
}

//==============================================================================
template <class O>
void applyInputGain (const float* in, Ramp gain, float* out, int count) noexcept
{
    int i = 0;
    for (; i + O::width <= count; i += O::width)
        O::store (out + i, finiteOrZero<O> (O::mul (rampAt<O> (gain, i), O::load (in + i))));

    for (; i < count; ++i)
        out[i] = finiteOrZeroScalar<O> (rampScalar<O> (gain, i) * in[i]);
}

template <class O>
void copyFinite (const float* in, float* out, int count) noexcept
{
    int i = 0;
    for (; i + O::width <= count; i += O::width)
        O::store (out + i, finiteOrZero<O> (O::load (in + i)));

    for (; i < count; ++i)
        out[i] = finiteOrZeroScalar<O> (in[i]);
}

// The largest |x| of a block. Four accumulators keep the max chain from limiting the loop. Both
// max forms take their second operand when the first is NaN, so NaN samples are passed over.
template <class O>
float peakMagnitude (const float* in, int count) noexcept
{
    constexpr int step = 4 * O::width;
    int i = 0;
    float peak = 0.0f;

    if (count >= step)
    {
        auto m0 = O::splat (0.0f), m1 = m0, m2 = m0, m3 = m0;

        for (; i + step <= count; i += step)
        {
            m0 = O::max (O::abs (O::load (in + i)), m0);
            m1 = O::max (O::abs (O::load (in + i + O::width)), m1);
            m2 = O::max (O::abs (O::load (in + i + 2 * O::width)), m2);
            m3 = O::max (O::abs (O::load (in + i + 3 * O::width)), m3);
        }

        float lanes[O::width];
        O::store (lanes, O::max (O::max (m0, m1), O::max (m2, m3)));

        for (const float lane : lanes)
            peak = lane > peak ? lane : peak;
    }

    for (; i < count; ++i)
    {
        const float magnitude = in[i] < 0.0f ? -in[i] : in[i];
        peak = magnitude > peak ? magnitude : peak;
    }

    return peak;
}

template <class O>
void encodeMidSide (const float* a, const float* b, float* mid, float* side, int paddedCount) noexcept
{
    const auto half = O::splat (0.5f);

    for (int i = 0; i < paddedCount; i += O::width)
    {
        const auto va = O::load (a + i);
        const auto vb = O::load (b + i);
        O::store (mid + i, O::mul (O::add (va, vb), half));
        O::store (side + i, O::mul (O::sub (va, vb), half));
    }
}

// The level in dB of |detector| (or of the square root of the mean squares held there).
template <class O>
inline typename O::V detectorLevelDb (const DetectorArgs& a, int channel, int i) noexcept
{
    const auto v = O::load (a.detector[channel] + i);
    return levelToDb<O> (a.meanSquares ? O::sqrt (O::max (v, O::splat (0.0f))) : O::abs (v));
}

// Envelope targets of eight samples from `first` on: level in dB, stereo link, static curve.
template <class O>
inline void computeTargets (const DetectorArgs& a, int first) noexcept
{
    const auto zero = O::splat (0.0f);
    const auto link = O::splat (a.curve.link);

    for (int i = first; i < first + detectorGroup; i += O::width)
    {
        const auto l0 = detectorLevelDb<O> (a, 0, i);

        if (a.numChannels == 2)
        {
            const auto l1 = detectorLevelDb<O> (a, 1, i);
            const auto loudest = O::max (l0, l1);
            const auto k0 = O::add (l0, O::mul (O::sub (loudest, l0), link));
            const auto k1 = O::add (l1, O::mul (O::sub (loudest, l1), link));
            O::store (a.work[0] + i, a.curve.compresses ? staticCurve<O> (a.curve, k0) : zero);
            O::store (a.work[1] + i, a.curve.compresses ? staticCurve<O> (a.curve, k1) : zero);
        }
        else
        {
            const auto k0 = O::add (l0, O::mul (O::sub (l0, l0), link));
            O::store (a.work[0] + i, a.curve.compresses ? staticCurve<O> (a.curve, k0) : zero);
        }
    }
}

// Gains of (makeup + envelope) for eight samples from `first` on, in place.
template <class O>
inline void computeGains (const DetectorArgs& a, int first) noexcept
{
    for (int c = 0; c < a.numChannels; ++c)
        for (int i = first; i < first + detectorGroup; i += O::width)
            O::store (a.work[c] + i, dbToGain<O> (O::add (rampAt<O> (a.makeupDb, i), O::load (a.work[c] + i))));
}

// The detector from level to gain. The attack/release recursion is serial, one sample after
// the other, and its two channels share one register pair; the conversions around it are
// vector work. They are interleaved in groups of eight samples: while the recursion runs on
// group g, the targets of group g + 1 and the gains of group g - 1 are computed, so the core
// overlaps the vector work with the recursion's latency instead of waiting for either.
//
// For the exponential release the attack/release choice is made without a compare in the
// chain: with d = e - t, the product d * (e > t ? attack : release) is the smaller of
// d * attack and d * release when the attack coefficient is the smaller one (the larger
// otherwise), because rounding keeps products of one d ordered like their coefficients. That
// picks the very product the branch would, so the result is bit for bit the same.
template <class O, bool LinearRelease, bool AttackIsFaster>
void runDetectorGroups (DetectorArgs& a) noexcept
{
    using P = typename O::Pair;
    float* const w0 = a.work[0];
    float* const w1 = a.work[a.numChannels - 1]; // mono: both lanes run channel 0

    P e = O::pair (a.envelope[0], a.envelope[a.numChannels - 1]);
    P deep = O::pair (a.deepest, a.deepest);
    const P attack = O::pair (a.attackCoeff, a.attackCoeff);
    const P release = O::pair (a.releaseCoeff, a.releaseCoeff);
    const P releaseStep = O::pair (a.linearSlope, a.linearSlope);

    const int groups = (a.count + detectorGroup - 1) / detectorGroup;

    if (groups > 0)
        computeTargets<O> (a, 0);

    for (int g = 0; g < groups; ++g)
    {
        const int first = g * detectorGroup;

        if (g + 1 < groups)
            computeTargets<O> (a, first + detectorGroup);

        const int last = a.count - first < detectorGroup ? a.count : first + detectorGroup;

        for (int i = first; i < last; ++i)
        {
            const P t = O::pairLoad (w0 + i, w1 + i);
            const P d = O::pairSub (e, t);

            if constexpr (LinearRelease)
            {
                const P attacked = O::pairAdd (O::pairMul (d, attack), t);
                const P released = O::pairMin (t, O::pairAdd (e, releaseStep)); // std::min (e + slope, t)
                e = O::pairSelect (O::pairGreater (e, t), attacked, released);
            }
            else
            {
                const P byAttack = O::pairMul (d, attack);
                const P byRelease = O::pairMul (d, release);
                e = O::pairAdd (AttackIsFaster ? O::pairMin (byAttack, byRelease) : O::pairMax (byAttack, byRelease), t);
            }

            deep = O::pairMin (e, deep); // std::min (deep, e)
            O::pairStore (w0 + i, w1 + i, e);
        }

        if (a.writeGains && g > 0)
            computeGains<O> (a, first - detectorGroup);
    }

    if (a.writeGains && groups > 0)
        computeGains<O> (a, (groups - 1) * detectorGroup);

    a.envelope[0] = O::lane0 (e);
    if (a.numChannels == 2)
        a.envelope[1] = O::lane1 (e);

    const float deep0 = O::lane0 (deep);
    const float deep1 = O::lane1 (deep);
    a.deepest = deep1 < deep0 ? deep1 : deep0;
}

template <class O>
void runDetector (DetectorArgs& a) noexcept
{
    if (a.linearRelease)
        runDetectorGroups<O, true, true> (a);
    else if (a.attackCoeff <= a.releaseCoeff)
        runDetectorGroups<O, false, true> (a);
    else
        runDetectorGroups<O, false, false> (a);
}

//==============================================================================
template <class O, int NumChannels, bool MidSide, bool Saturate>
void writeCompressed (const float* const* dry, const float* const* gain, const Ramp& mix, const Ramp& outputGain,
                      float drive, float* const* out, int count) noexcept
{
    int i = 0;
    const auto one = O::splat (1.0f);
    const auto driveVec = O::splat (drive);

    for (; i + O::width <= count; i += O::width)
    {
        const auto wet = rampAt<O> (mix, i);
        const auto dryShare = O::sub (one, wet);
        const auto outG = rampAt<O> (outputGain, i);
        typename O::V o[2];

        for (int c = 0; c < NumChannels; ++c)
        {
            const auto y = O::load (dry[c] + i);
            o[c] = O::add (O::mul (O::mul (y, O::load (gain[c] + i)), wet), O::mul (y, dryShare));
        }

        if constexpr (MidSide)
        {
            const auto m = o[0];
            o[0] = O::add (m, o[1]);
            o[1] = O::sub (m, o[1]);
        }

        for (int c = 0; c < NumChannels; ++c)
        {
            if constexpr (Saturate)
                o[c] = O::div (softClip<O> (O::mul (driveVec, o[c])), driveVec);

            O::store (out[c] + i, O::mul (outG, o[c]));
        }
    }

    for (; i < count; ++i)
    {
        const float wet = rampScalar<O> (mix, i);
        float o[2];

        for (int c = 0; c < NumChannels; ++c)
        {
            const float y = dry[c][i];
            o[c] = y * gain[c][i] * wet + y * (1.0f - wet);
        }

        if constexpr (MidSide)
        {
            const float m = o[0];
            o[0] = m + o[1];
            o[1] = m - o[1];
        }

        for (int c = 0; c < NumChannels; ++c)
        {
            if constexpr (Saturate)
                o[c] = varnok::softClip (drive * o[c]) / drive;

            out[c][i] = rampScalar<O> (outputGain, i) * o[c];
        }
    }
}

template <class O, int NumChannels, bool MidSide>
void writeListen (const float* const* detector, const Ramp& outputGain, float* const* out, int count) noexcept
{
    int i = 0;

    for (; i + O::width <= count; i += O::width)
    {
        const auto outG = rampAt<O> (outputGain, i);
        typename O::V o[2];

        for (int c = 0; c < NumChannels; ++c)
            o[c] = O::load (detector[c] + i);

        if constexpr (MidSide)
        {
            const auto m = o[0];
            o[0] = O::add (m, o[1]);
            o[1] = O::sub (m, o[1]);
        }

        for (int c = 0; c < NumChannels; ++c)
            O::store (out[c] + i, O::mul (outG, o[c]));
    }

    for (; i < count; ++i)
    {
        float o[2];

        for (int c = 0; c < NumChannels; ++c)
            o[c] = detector[c][i];

        if constexpr (MidSide)
        {
            const float m = o[0];
            o[0] = m + o[1];
            o[1] = m - o[1];
        }

        for (int c = 0; c < NumChannels; ++c)
            out[c][i] = rampScalar<O> (outputGain, i) * o[c];
    }
}

template <class O>
void writeOutput (const OutputSettings& s, const float* const* dry, const float* const* gains, const float* const* detector,
                  Ramp mix, Ramp outputGain, float* const* out, int count) noexcept
{
    if (s.numChannels == 2 && s.midSide)
    {
        if (s.listen)
            writeListen<O, 2, true> (detector, outputGain, out, count);
        else if (s.saturate)
            writeCompressed<O, 2, true, true> (dry, gains, mix, outputGain, s.drive, out, count);
        else
            writeCompressed<O, 2, true, false> (dry, gains, mix, outputGain, s.drive, out, count);
    }
    else if (s.numChannels == 2)
    {
        if (s.listen)
            writeListen<O, 2, false> (detector, outputGain, out, count);
        else if (s.saturate)
            writeCompressed<O, 2, false, true> (dry, gains, mix, outputGain, s.drive, out, count);
        else
            writeCompressed<O, 2, false, false> (dry, gains, mix, outputGain, s.drive, out, count);
    }
    else
    {
        if (s.listen)
            writeListen<O, 1, false> (detector, outputGain, out, count);
        else if (s.saturate)
            writeCompressed<O, 1, false, true> (dry, gains, mix, outputGain, s.drive, out, count);
        else
            writeCompressed<O, 1, false, false> (dry, gains, mix, outputGain, s.drive, out, count);
    }
}

template <class O>
constexpr EngineKernels makeKernels (const char* name) noexcept
{
    return { name,
             &applyInputGain<O>,
             &copyFinite<O>,
             &peakMagnitude<O>,
             &encodeMidSide<O>,
             &runDetector<O>,
             &writeOutput<O> };
}

} // namespace varnok::engine::simd
