#include "EngineTestSupport.h"

#include "ConversionKernels.h"

#include "processor/engine/EngineKernels.h"

#include "support/TestSignals.h"

using namespace enginetest;

namespace
{
constexpr double fs48 = 48000.0;

// Settings under which the signal passes untouched: no compression, unity gains.
CompressorParams transparent()
{
    CompressorParams p;
    p.ratio = 1.0f;
    return p;
}

float dbOf (float ratio) { return 20.0f * std::log10 (ratio); }
} // namespace

//==============================================================================
// Static curve and conversions

TEST (GainComputer, StaticCurveMatchesTheWorkedExamples)
{
    struct Case { float level, threshold, ratio, knee, expected; };
    const Case cases[] = {
        { -10.0f, -18.0f, 4.0f, 6.0f, -6.0f },     // above the knee: over * slope
        { -18.0f, -18.0f, 4.0f, 6.0f, -0.5625f },  // mid-knee: (3 * -0.75 * 3) / 12
        { -15.0f, -18.0f, 4.0f, 6.0f, -2.25f },    // over = +half: both formulas meet
        { -21.0f, -18.0f, 4.0f, 6.0f, 0.0f },      // over = -half
        { -40.0f, -18.0f, 4.0f, 6.0f, 0.0f },
        { -17.0f, -18.0f, 2.0f, 0.0f, -0.5f },     // hard knee
        { -18.0f, -18.0f, 2.0f, 0.0f, 0.0f },
        { -19.0f, -18.0f, 2.0f, 0.0f, 0.0f },
        { 0.0f, -20.0f, 1.0f, 6.0f, 0.0f },
        { 0.0f, -20.0f, 0.5f, 6.0f, 0.0f },
        { -120.0f, -60.0f, 20.0f, 24.0f, 0.0f },   // silence never compresses
    };

    for (const auto& c : cases)
        EXPECT_FLOAT_EQ (varnok::computeGainReductionDb (c.level, c.threshold, c.ratio, c.knee), c.expected)
            << "level " << c.level << " threshold " << c.threshold << " ratio " << c.ratio << " knee " << c.knee;

    // 1.0001 is still "no compression"; the next step up compresses, by over * (1/ratio - 1).
    for (float level = -60.0f; level <= 20.0f; level += 5.0f)
        EXPECT_EQ (varnok::computeGainReductionDb (level, -60.0f, 1.0001f, 0.0f), 0.0f);

    EXPECT_FLOAT_EQ (varnok::computeGainReductionDb (0.0f, -60.0f, 1.0002f, 0.0f), 60.0f * (1.0f / 1.0002f - 1.0f));
    EXPECT_LT (varnok::computeGainReductionDb (0.0f, -60.0f, 1.0002f, 0.0f), 0.0f);
}

TEST (GainComputer, ConversionsAndClipper)
{
    EXPECT_EQ (varnok::decibelsToGain (0.0f), 1.0f);
    EXPECT_FLOAT_EQ (varnok::decibelsToGain (20.0f), 10.0f);
    EXPECT_FLOAT_EQ (varnok::decibelsToGain (-6.0f), std::pow (10.0f, -0.3f));
    EXPECT_EQ (varnok::decibelsToGain (-100.0f), 0.0f);
    EXPECT_EQ (varnok::decibelsToGain (-300.0f), 0.0f);
    EXPECT_GT (varnok::decibelsToGain (-99.99f), 0.0f);

    EXPECT_EQ (varnok::gainToDecibels (1.0f), 0.0f);
    EXPECT_FLOAT_EQ (varnok::gainToDecibels (0.1f), -20.0f);
    EXPECT_EQ (varnok::gainToDecibels (0.0f), -120.0f);
    EXPECT_EQ (varnok::gainToDecibels (-0.5f), -120.0f);
    EXPECT_EQ (varnok::gainToDecibels (1.0e-7f), -120.0f);

    // exp (-1 / (max (ms / 1000, 10 us) * fs)), computed in double, stored as float.
    EXPECT_EQ (varnok::timeToCoefficient (10.0f, 48000.0), (float) std::exp (-1.0 / (0.01 * 48000.0)));
    EXPECT_EQ (varnok::timeToCoefficient (0.0f, 48000.0), (float) std::exp (-1.0 / (0.00001 * 48000.0)));
    EXPECT_EQ (varnok::timeToCoefficient (-5.0f, 48000.0), varnok::timeToCoefficient (0.0f, 48000.0));

    EXPECT_EQ (varnok::softClip (-1.0f), -2.0f / 3.0f);
    EXPECT_EQ (varnok::softClip (-7.0f), -2.0f / 3.0f);
    EXPECT_EQ (varnok::softClip (1.0f), 2.0f / 3.0f);
    EXPECT_EQ (varnok::softClip (3.0f), 2.0f / 3.0f);
    EXPECT_FLOAT_EQ (varnok::softClip (0.5f), 0.5f - 0.125f / 3.0f);
    EXPECT_NEAR (varnok::softClip (0.9999f), 2.0f / 3.0f, 1.0e-6f); // continuous at the joins
}

namespace
{
std::vector<const varnok::engine::EngineKernels*> availableKernels()
{
    std::vector<const varnok::engine::EngineKernels*> sets { &varnok::engine::baselineKernels() };
    if (const auto* avx2 = varnok::engine::avx2Kernels())
        sets.push_back (avx2);
    return sets;
}

std::vector<const ConversionKernels*> availableConversionKernels()
{
    std::vector<const ConversionKernels*> sets { &baselineConversionKernels() };
    if (const auto* avx2 = avx2ConversionKernels())
        sets.push_back (avx2);
    return sets;
}
} // namespace

TEST (EngineKernels, VectorLogAndExpStayWithinAFewUlps)
{
    using varnok::engine::padToVector;

    // Levels from the -120 dB floor up to the largest float, and gains from just above the
    // -100 dB floor to beyond overflow, each every 997th float.
    std::vector<float> levels, gainsDb;
    for (std::uint32_t bits = 0x358637bdu; bits < 0x7f800000u; bits += 997u)
    {
        float v;
        std::memcpy (&v, &bits, sizeof v);
        levels.push_back (v);
    }

    for (float a = std::nextafter (-100.0f, 0.0f); a < 780.0f;)
    {
        gainsDb.push_back (a);
        std::uint32_t bits;
        std::memcpy (&bits, &a, sizeof a);
        bits = a < 0.0f ? (bits > 0x80000000u + 997u ? bits - 997u : 0u) : bits + 997u;
        std::memcpy (&a, &bits, sizeof a);
    }

    levels.resize ((size_t) padToVector ((int) levels.size()), 1.0f);
    gainsDb.resize ((size_t) padToVector ((int) gainsDb.size()), 0.0f);

    std::vector<float> firstDb, firstGains;

    for (const auto* kernels : availableConversionKernels())
    {
        SCOPED_TRACE (kernels->name);
        std::vector<float> dB (levels.size()), gains = gainsDb;
        kernels->levelsToDb (levels.data(), dB.data(), (int) levels.size());
        kernels->gainsFromDb (gains.data(), (int) gains.size());

        double worstLog = 0.0, worstExp = 0.0;
        for (size_t i = 0; i < levels.size(); ++i)
        {
            const double exact = std::max (20.0 * std::log10 ((double) levels[i]), -120.0);
            // Near 0 dB the result is tiny; judge it against the ulp of the argument instead.
            worstLog = std::max (worstLog, std::abs (exact) < 1.0e-3 ? std::abs (dB[i] - exact) / 1.2e-7 : ulpsApart (dB[i], exact));
        }

        for (size_t i = 0; i < gainsDb.size(); ++i)
        {
            const double exact = std::pow (10.0, (double) (gainsDb[i] * 0.05f));
            if (exact > FLT_MAX)
                ASSERT_TRUE (std::isinf (gains[i])) << gainsDb[i];
            else
                worstExp = std::max (worstExp, ulpsApart (gains[i], exact));
        }

        EXPECT_LT (worstLog, 2.5);
        EXPECT_LT (worstExp, 1.5);

        // Every instruction set computes the very same values.
        if (firstDb.empty())
        {
            firstDb = dB;
            firstGains = gains;
        }
        EXPECT_EQ (0, std::memcmp (firstDb.data(), dB.data(), dB.size() * sizeof (float)));
        EXPECT_EQ (0, std::memcmp (firstGains.data(), gains.data(), gains.size() * sizeof (float)));

        // Edges: silence, negative, NaN and inf levels; gains at and below the floor, 0 dB, NaN.
        std::vector<float> edge (16, 1.0f), edgeDb (16);
        edge[0] = 0.0f;
        edge[1] = -1.0f;
        edge[2] = NAN;
        edge[3] = INFINITY;
        kernels->levelsToDb (edge.data(), edgeDb.data(), 16);
        EXPECT_EQ (edgeDb[0], -120.0f);
        EXPECT_EQ (edgeDb[1], 0.0f); // the level of -1 is |-1|
        EXPECT_EQ (edgeDb[2], -120.0f);
        EXPECT_TRUE (std::isfinite (edgeDb[3]));

        std::vector<float> floorDb { -100.0f, -1000.0f, 0.0f, NAN };
        floorDb.resize (16, 0.0f);
        kernels->gainsFromDb (floorDb.data(), 16);
        EXPECT_EQ (floorDb[0], 0.0f);
        EXPECT_EQ (floorDb[1], 0.0f);
        EXPECT_EQ (floorDb[2], 1.0f);
        EXPECT_EQ (floorDb[3], 0.0f);
    }
}

TEST (EngineKernels, PeakMagnitudeEqualsTheBlockMagnitude)
{
    // Lengths around the vector loop's steps (16 and 32 samples) and a long block; the loudest
    // sample is moved through every position, so each lane, accumulator and the tail is hit.
    for (const auto* kernels : availableKernels())
    {
        SCOPED_TRACE (kernels->name);
        EXPECT_EQ (kernels->peakMagnitude (nullptr, 0), 0.0f);

        for (const int length : { 1, 7, 15, 16, 17, 31, 32, 33, 63, 64, 65, 512, 1000 })
        {
            auto block = varnok::test::noise (1, length, 0.5f, (unsigned) length);

            for (int loudest = 0; loudest < length; loudest += length > 100 ? 37 : 1)
            {
                auto copy = block;
                copy.setSample (0, loudest, loudest % 2 == 0 ? -0.75f : 0.75f);
                ASSERT_EQ (kernels->peakMagnitude (copy.getReadPointer (0), length), copy.getMagnitude (0, 0, length))
                    << "length " << length << " loudest at " << loudest;
            }
        }

        // NaN samples are passed over wherever they are; an infinity is the peak.
        std::vector<float> edge (40, 0.25f);
        edge[3] = NAN;
        edge[39] = -NAN;
        edge[20] = -0.5f;
        EXPECT_EQ (kernels->peakMagnitude (edge.data(), 40), 0.5f);
        EXPECT_EQ (kernels->peakMagnitude (edge.data() + 39, 1), 0.0f);
        edge[10] = -INFINITY;
        EXPECT_EQ (kernels->peakMagnitude (edge.data(), 40), INFINITY);
    }
}

TEST (CharacterProfiles, TableAndClamping)
{
    struct Row { float attack, release, program, saturation; bool linear; };
    const Row rows[] = {
        { 1.0f, 1.0f, 0.0f, 0.0f, false }, { 0.5f, 0.8f, 0.0f, 0.0f, false }, { 2.0f, 1.6f, 0.8f, 0.0f, false },
        { 0.8f, 1.0f, 0.0f, 0.0f, true },  { 0.3f, 0.6f, 0.0f, 0.25f, false }, { 1.5f, 1.3f, 0.4f, 0.08f, false },
    };

    ASSERT_EQ (varnok::characterProfiles.size(), 6u);
    for (int i = 0; i < 6; ++i)
    {
        const auto& k = varnok::getCharacterProfile (i);
        EXPECT_EQ (k.attackScale, rows[i].attack) << i;
        EXPECT_EQ (k.releaseScale, rows[i].release) << i;
        EXPECT_EQ (k.programRelease, rows[i].program) << i;
        EXPECT_EQ (k.saturation, rows[i].saturation) << i;
        EXPECT_EQ (k.linearRelease, rows[i].linear) << i;
    }

    EXPECT_EQ (varnok::clampCharacterIndex (9), 5);
    EXPECT_EQ (varnok::clampCharacterIndex (-3), 0);
    EXPECT_EQ (varnok::clampCharacterIndex (4), 4);

    // Out-of-range characters sound exactly like the nearest end of the list.
    const auto render = [] (int character)
    {
        CompressorParams p;
        p.character = character;
        CompressorEngine engine;
        prepareWith (engine, p, fs48, 512);
        auto buffer = makeProgramme (2, 9000, 3);
        processInBlocks (engine, buffer, p, { 512 });
        return buffer;
    };

    EXPECT_TRUE (bitwiseEqual (render (9), render (5)));
    EXPECT_TRUE (bitwiseEqual (render (-3), render (0)));
    EXPECT_FALSE (bitwiseEqual (render (5), render (0)));
}

//==============================================================================
// Lifecycle, delay line and lookahead

TEST (EngineLifecycle, DelayLengthFollowsTheSampleRate)
{
    struct Case { double fs; int length; double usedRate; };
    const Case cases[] = {
        { 48000.0, 961, 48000.0 }, { 44100.0, 883, 44100.0 }, { 96000.0, 1921, 96000.0 },
        { 0.0, 883, 44100.0 }, { -1.0, 883, 44100.0 }, { std::nan (""), 883, 44100.0 }, { 1.0, 2, 1.0 },
    };

    for (const auto& c : cases)
    {
        CompressorEngine engine;
        EXPECT_EQ (engine.getDelayLength(), 0);
        engine.prepare (c.fs, 512);
        EXPECT_EQ (engine.getDelayLength(), c.length) << c.fs;
        EXPECT_EQ (engine.getSampleRate(), c.usedRate) << c.fs;
    }

    // A rate of 0 is 44.1 kHz in every respect.
    CompressorParams p;
    p.lookaheadMs = 3.0f;
    p.sidechainHpfHz = 200.0f;
    CompressorEngine zero, standard;
    prepareWith (zero, p, 0.0, 256);
    prepareWith (standard, p, 44100.0, 256);
    auto a = makeProgramme (2, 5000, 8, 44100.0);
    auto b = a;
    processInBlocks (zero, a, p, { 256 });
    processInBlocks (standard, b, p, { 256 });
    EXPECT_EQ (zero.lookaheadSamples, standard.lookaheadSamples);
    EXPECT_TRUE (bitwiseEqual (a, b));
}

TEST (EngineLifecycle, LookaheadRoundsHalfAwayFromZeroAndIsClamped)
{
    // At 1 kHz one millisecond is one sample, so the halves are exact; the line holds 21 samples.
    struct Case { double fs; float ms; int samples; };
    const Case cases[] = {
        { 1000.0, 2.5f, 3 }, { 1000.0, 1.5f, 2 }, { 1000.0, -0.5f, 0 }, { 1000.0, 0.4f, 0 },
        { 1000.0, -7.0f, 0 }, { 1000.0, 20.0f, 20 }, { 1000.0, 500.0f, 20 },
        { 48000.0, 20.0f, 960 }, { 48000.0, 25.0f, 960 }, { 48000.0, 1.0e9f, 960 }, { 48000.0, 5.0f, 240 },
        { 48000.0, NAN, 0 },
    };

    for (const auto& c : cases)
    {
        CompressorParams p;
        p.lookaheadMs = c.ms;
        CompressorEngine engine;
        prepareWith (engine, p, c.fs, 64);
        EXPECT_EQ (engine.lookaheadSamples, c.samples) << c.fs << " Hz, " << c.ms << " ms";
    }

    // Before the first prepare there is no delay line, so no lookahead either.
    CompressorParams p;
    p.lookaheadMs = 5.0f;
    CompressorEngine unprepared;
    unprepared.setParameters (p);
    EXPECT_EQ (unprepared.lookaheadSamples, 0);
}

TEST (EngineLifecycle, LookaheadDelaysTheSignalAndZeroAddsNoLatency)
{
    for (const float ms : { 0.0f, 0.1f, 5.0f, 20.0f })
    {
        auto p = transparent();
        p.lookaheadMs = ms;
        CompressorEngine engine;
        prepareWith (engine, p, fs48, 128);
        const int delay = engine.lookaheadSamples;

        juce::AudioBuffer<float> buffer (2, 3000);
        buffer.clear();
        buffer.setSample (0, 100, 0.5f);
        buffer.setSample (1, 700, -0.25f);
        processInBlocks (engine, buffer, p, { 128, 7, 333 });

        for (int i = 0; i < 3000; ++i)
        {
            EXPECT_EQ (buffer.getSample (0, i), i == 100 + delay ? 0.5f : 0.0f) << ms << " ms, sample " << i;
            EXPECT_EQ (buffer.getSample (1, i), i == 700 + delay ? -0.25f : 0.0f) << ms << " ms, sample " << i;
        }
    }

    // With compression at work and no lookahead, output i depends on input 0..i only.
    CompressorParams p;
    p.thresholdDb = -30.0f;
    auto a = makeProgramme (2, 4000, 11);
    auto b = a;
    for (int i = 2500; i < 4000; ++i)
        b.setSample (0, i, 0.9f);

    CompressorEngine ea, eb;
    prepareWith (ea, p, fs48, 512);
    prepareWith (eb, p, fs48, 512);
    processInBlocks (ea, a, p, { 512 });
    processInBlocks (eb, b, p, { 512 });

    for (int c = 0; c < 2; ++c)
        EXPECT_EQ (0, std::memcmp (a.getReadPointer (c), b.getReadPointer (c), 2500 * sizeof (float)));
    EXPECT_NE (a.getSample (0, 2500), b.getSample (0, 2500));
}

TEST (EngineLifecycle, UnpreparedEngineAndEmptyBuffersChangeNothing)
{
    CompressorEngine engine;
    CompressorParams p;
    p.thresholdDb = -40.0f;
    engine.setParameters (p);

    auto buffer = makeProgramme (2, 600, 1);
    const auto original = buffer;
    engine.process (buffer, nullptr);
    engine.processBypassed (buffer);
    EXPECT_TRUE (bitwiseEqual (buffer, original));
    EXPECT_EQ (engine.meterGainReductionDb.load(), 0.0f);

    // Once prepared, an empty block (or one without channels) leaves buffer, meter and state alone.
    CompressorEngine a, b;
    prepareWith (a, p, fs48, 256);
    prepareWith (b, p, fs48, 256);
    auto first = makeProgramme (2, 3000, 5);
    auto second = first;
    processInBlocks (a, first, p, { 256 });
    processInBlocks (b, second, p, { 256 });
    const float meter = a.meterGainReductionDb.load();
    ASSERT_LT (meter, -1.0f);

    juce::AudioBuffer<float> empty (2, 0), noChannels (0, 64);
    a.process (empty, nullptr);
    a.process (noChannels, nullptr);
    a.processBypassed (empty);
    a.processBypassed (noChannels);
    EXPECT_EQ (a.meterGainReductionDb.load(), meter);

    auto more = makeProgramme (2, 3000, 6);
    auto moreCopy = more;
    processInBlocks (a, more, p, { 256 });
    processInBlocks (b, moreCopy, p, { 256 });
    EXPECT_TRUE (bitwiseEqual (more, moreCopy));
}

TEST (EngineLifecycle, BlockPartitionDoesNotChangeTheResult)
{
    // Without program-dependent release nothing depends on where blocks start, so any
    // partition, including blocks far larger than prepared for, must give identical output.
    for (const int character : { 0, 1, 3, 4 })
    {
        CompressorParams p;
        p.character = character;
        p.thresholdDb = -30.0f;
        p.rmsDetection = character == 1;
        p.midSide = character == 4;
        p.sidechainHpfHz = 90.0f;
        p.lookaheadMs = 3.3f;

        CompressorEngine single, chunked;
        prepareWith (single, p, fs48, 64);
        prepareWith (chunked, p, fs48, 64);

        auto a = makeProgramme (2, 20000, 21);
        auto b = a;

        // Start a ramp too, so the per-sample smoother steps are covered across blocks.
        auto q = p;
        q.makeupDb = 5.0f;
        q.inputGainDb = -3.0f;
        single.setParameters (q);
        single.process (a, nullptr);
        processInBlocks (chunked, b, q, { 64, 1, 0, 1000, 63, 5000, 3 });

        EXPECT_TRUE (bitwiseEqual (a, b)) << "character " << character;
    }
}

//==============================================================================
// Smoothing

TEST (EngineSmoothing, RampsTakeTwentyMillisecondsAndMakeupMovesLinearlyInDb)
{
    for (const double fs : { 44100.0, 48000.0 })
    {
        const int steps = (int) std::floor (0.02 * fs); // 882 and 960
        auto p = transparent();
        CompressorEngine engine;
        prepareWith (engine, p, fs, 512);

        p.makeupDb = 6.0f;
        engine.setParameters (p);
        auto buffer = makeConstant (2, steps + 200, 0.25f);
        engine.process (buffer, nullptr);

        const float step = 6.0f / (float) steps;
        for (int i = 0; i < steps + 200; ++i)
        {
            const float expectedDb = std::min ((float) (i + 1) * step, 6.0f);
            ASSERT_NEAR (dbOf (buffer.getSample (0, i) / 0.25f), expectedDb, 2.0e-4f) << fs << " Hz, sample " << i;
        }

        EXPECT_LT (dbOf (buffer.getSample (1, steps - 2) / 0.25f), 6.0f - 0.5f * step);
        EXPECT_EQ (buffer.getSample (1, steps - 1), buffer.getSample (1, steps + 150)); // arrived
    }

    // The output gain ramps as a factor, linearly.
    auto p = transparent();
    CompressorEngine engine;
    prepareWith (engine, p, 44100.0, 512);
    p.outputGainDb = 6.0f;
    engine.setParameters (p);
    auto buffer = makeConstant (1, 1000, 1.0f);
    engine.process (buffer, nullptr);
    const float target = varnok::decibelsToGain (6.0f);
    for (int i = 0; i < 1000; ++i)
        ASSERT_NEAR (buffer.getSample (0, i), 1.0f + (target - 1.0f) * (float) std::min (i + 1, 882) / 882.0f, 3.0e-5f) << i;
}

TEST (EngineSmoothing, UnchangedSettingsEveryBlockLeaveARampUndisturbed)
{
    CompressorParams p;
    CompressorEngine once, everyBlock;
    prepareWith (once, p, fs48, 64);
    prepareWith (everyBlock, p, fs48, 64);

    p.makeupDb = 12.0f;
    p.mix = 0.3f;
    p.outputGainDb = -9.0f;
    once.setParameters (p);

    auto a = makeProgramme (2, 3000, 4);
    auto b = a;
    once.process (a, nullptr);
    processInBlocks (everyBlock, b, p, { 64 });
    EXPECT_TRUE (bitwiseEqual (a, b));
}

//==============================================================================
// Envelope and characters

namespace
{
// Settles the envelope at the static curve's value for a constant full-scale input.
void settle (CompressorEngine& engine, const CompressorParams& p)
{
    auto loud = makeConstant (2, 96000, 1.0f);
    processInBlocks (engine, loud, p, { 4096 });
}
} // namespace

TEST (EngineEnvelope, AttackFollowsTheOnePoleStepResponseForEveryCharacter)
{
    for (int character = 0; character < 6; ++character)
    {
        CompressorParams p;
        p.thresholdDb = -20.0f;
        p.ratio = 4.0f;
        p.kneeDb = 0.0f;
        p.attackMs = 10.0f;
        p.character = character;
        CompressorEngine engine;
        prepareWith (engine, p, fs48, 4096);

        // Full scale is 20 dB over: target 20 * (1/4 - 1) = -15 dB. During an attack the meter
        // (the deepest value of the block) is the envelope after the block's last sample.
        const double target = -15.0;
        const double c = varnok::timeToCoefficient (10.0f * varnok::getCharacterProfile (character).attackScale, fs48);
        int elapsed = 0;

        for (const int length : { 1, 10, 100, 300, 1000 })
        {
            auto block = makeConstant (2, length, 1.0f);
            engine.setParameters (p);
            engine.process (block, nullptr);
            elapsed += length;
            const double expected = target * (1.0 - std::pow (c, elapsed));
            EXPECT_NEAR (engine.meterGainReductionDb.load(), expected, 1.0e-3) << "character " << character << " after " << elapsed;
        }
    }
}

TEST (EngineEnvelope, ReleaseShapeAndTimePerCharacter)
{
    // The envelope is read back through a quiet probe (-60 dB, far below the threshold, so the
    // target is 0): the probe's gain is the envelope. expectedMs < 0 marks the linear release.
    struct Case { int character; bool autoRelease; float ratio; float expectedMs; };
    const Case cases[] = {
        { 0, false, 4.0f, 150.0f },
        { 1, false, 4.0f, 150.0f * 0.8f },
        { 4, false, 4.0f, 150.0f * 0.6f },
        { 2, false, 4.0f, 150.0f * 1.6f * (0.8f * 3.0f + 1.0f) }, // Opto at 15 dB: 816 ms
        { 5, false, 4.0f, 150.0f * 1.3f * (0.4f * 3.0f + 1.0f) }, // Bus at 15 dB: 429 ms
        { 0, true, 4.0f, 150.0f * 4.0f },                          // automatic release: four times
        { 2, false, 1.6f, 150.0f * 1.6f * (0.625f * 0.8f * 3.0f + 1.0f) }, // 7.5 dB: depth 0.625
        { 3, false, 2.0f, -1.0f },                                 // VCA: 10 dB back in 3600 samples
    };

    for (const auto& c : cases)
    {
        CompressorParams p;
        p.thresholdDb = -20.0f;
        p.kneeDb = 0.0f;
        p.ratio = c.ratio;
        p.character = c.character;
        p.autoRelease = c.autoRelease;
        CompressorEngine engine;
        prepareWith (engine, p, fs48, 8192);
        settle (engine, p);

        // The float recursion stalls a few hundred ulps short of its target, so the release is
        // measured from where the envelope actually stands.
        const float start = engine.meterGainReductionDb.load();
        ASSERT_NEAR (start, 20.0f * (1.0f / c.ratio - 1.0f), 1.0e-3f) << "character " << c.character;

        const float probe = 0.001f;
        auto block = makeConstant (2, 8000, probe);
        engine.setParameters (p);
        engine.process (block, nullptr);

        const double coeff = varnok::timeToCoefficient (c.expectedMs, fs48);
        const double slope = 20.0 / 7200.0;

        for (int i = 0; i < 8000; i += 50)
        {
            const double expected = c.expectedMs > 0.0f ? start * std::pow (coeff, i + 1)
                                                        : std::min (start + slope * (i + 1), 0.0);
            const float saturationError = varnok::getCharacterProfile (c.character).saturation > 0.0f ? 1.0e-4f : 0.0f;
            ASSERT_NEAR (dbOf (block.getSample (0, i) / probe), expected, 1.0e-3 + saturationError)
                << "character " << c.character << " sample " << i;
        }

        if (c.expectedMs < 0.0f)
        {
            EXPECT_LT (dbOf (block.getSample (0, 3590) / probe), -0.02f);
            EXPECT_EQ (block.getSample (0, 3605), probe); // straight back to exactly 0 dB
        }
    }
}

TEST (EngineEnvelope, SaturationBoundsTheOutputBeforeTheOutputGain)
{
    struct Case { int character; float outputGainDb; };
    for (const auto& c : { Case { 4, 0.0f }, Case { 5, 0.0f }, Case { 4, 6.0f } })
    {
        CompressorParams p;
        p.character = c.character;
        p.makeupDb = 24.0f;
        p.inputGainDb = 12.0f;
        p.outputGainDb = c.outputGainDb;
        CompressorEngine engine;
        prepareWith (engine, p, fs48, 512);
        auto buffer = makeProgramme (2, 20000, 9);
        processInBlocks (engine, buffer, p, { 512 });

        const float drive = varnok::getCharacterProfile (c.character).saturation * 1.2f + 1.0f;
        const float bound = (2.0f / 3.0f) / drive * varnok::decibelsToGain (c.outputGainDb);
        float peak = buffer.getMagnitude (0, 20000);
        peak = std::max (peak, buffer.getMagnitude (1, 0, 20000));
        EXPECT_LE (peak, bound * (1.0f + 1.0e-6f)) << c.character;
        EXPECT_GT (peak, 0.9f * bound) << c.character; // it really is driven into the clipper
    }
}

//==============================================================================
// Routing: listen, mid/side, link, sidechain, layouts

TEST (EngineRouting, ListenOutputsTheFilteredDetectorUndelayedAndUnprocessed)
{
    CompressorParams p;
    p.listen = true;
    p.sidechainHpfHz = 150.0f;
    p.sidechainLpfHz = 4000.0f;
    p.inputGainDb = 6.0f;
    p.outputGainDb = -3.0f;
    p.makeupDb = 12.0f;
    p.mix = 0.4f;
    p.lookaheadMs = 5.0f;
    p.character = 4; // saturating
    CompressorEngine engine;
    prepareWith (engine, p, fs48, 256);

    auto buffer = makeProgramme (2, 5000, 13);
    const auto input = buffer;
    processInBlocks (engine, buffer, p, { 256 });

    juce::dsp::StateVariableTPTFilter<float> hp, lp;
    hp.prepare ({ fs48, 256, 2 });
    lp.prepare ({ fs48, 256, 2 });
    hp.setType (juce::dsp::StateVariableTPTFilterType::highpass);
    lp.setType (juce::dsp::StateVariableTPTFilterType::lowpass);
    hp.setResonance (0.7071f);
    lp.setResonance (0.7071f);
    hp.setCutoffFrequency (150.0f);
    lp.setCutoffFrequency (4000.0f);
    const float inG = varnok::decibelsToGain (6.0f), outG = varnok::decibelsToGain (-3.0f);

    for (int i = 0; i < 5000; ++i)
        for (int c = 0; c < 2; ++c)
            ASSERT_EQ (buffer.getSample (c, i), outG * lp.processSample (c, hp.processSample (c, inG * input.getSample (c, i))))
                << c << " " << i;
}

TEST (EngineRouting, MidSideOnALeftOnlySignal)
{
    auto leftOnly = makeProgramme (2, 8000, 17);
    leftOnly.clear (1, 0, 8000);

    // Listening with the filters off gives the input back, times both gains.
    {
        CompressorParams p;
        p.midSide = true;
        p.listen = true;
        p.inputGainDb = 4.0f;
        p.outputGainDb = -2.0f;
        CompressorEngine engine;
        prepareWith (engine, p, fs48, 512);
        auto buffer = leftOnly;
        processInBlocks (engine, buffer, p, { 512 });
        const float inG = varnok::decibelsToGain (4.0f), outG = varnok::decibelsToGain (-2.0f);

        for (int i = 0; i < 8000; ++i)
        {
            ASSERT_EQ (buffer.getSample (0, i), outG * (inG * leftOnly.getSample (0, i))) << i;
            ASSERT_EQ (buffer.getSample (1, i), 0.0f) << i;
        }
    }

    // Mid and side carry the same level, so with the link off both get the same gain and the
    // right channel stays silent while the left is compressed.
    {
        CompressorParams p;
        p.midSide = true;
        p.link = 0.0f;
        p.thresholdDb = -70.0f;
        CompressorEngine engine;
        prepareWith (engine, p, fs48, 512);
        auto buffer = leftOnly;
        processInBlocks (engine, buffer, p, { 512 });
        EXPECT_LT (engine.meterGainReductionDb.load(), -3.0f);
        EXPECT_EQ (buffer.getMagnitude (1, 0, 8000), 0.0f);
        EXPECT_LT (buffer.getMagnitude (0, 4000, 4000), leftOnly.getMagnitude (0, 4000, 4000) * 0.8f);
    }
}

TEST (EngineRouting, MonoBufferIgnoresLinkAndMidSide)
{
    const auto render = [] (float link, bool midSide)
    {
        CompressorParams p;
        p.thresholdDb = -35.0f;
        p.link = link;
        p.midSide = midSide;
        CompressorEngine engine;
        prepareWith (engine, p, fs48, 512);
        auto buffer = makeProgramme (1, 6000, 19);
        processInBlocks (engine, buffer, p, { 512 });
        return buffer;
    };

    const auto plain = render (1.0f, false);
    EXPECT_TRUE (bitwiseEqual (plain, render (0.0f, false)));
    EXPECT_TRUE (bitwiseEqual (plain, render (1.0f, true)));
    EXPECT_FALSE (bitwiseEqual (plain, makeProgramme (1, 6000, 19)));
}

TEST (EngineRouting, ChannelsBeyondTheSecondAreUntouched)
{
    CompressorParams p;
    p.thresholdDb = -30.0f;
    p.makeupDb = 6.0f;
    CompressorEngine four, two;
    prepareWith (four, p, fs48, 512);
    prepareWith (two, p, fs48, 512);

    auto wide = makeProgramme (4, 4000, 23);
    const auto original = wide;
    juce::AudioBuffer<float> pair (2, 4000);
    pair.copyFrom (0, 0, wide, 0, 0, 4000);
    pair.copyFrom (1, 0, wide, 1, 0, 4000);

    processInBlocks (four, wide, p, { 512 });
    processInBlocks (two, pair, p, { 512 });

    for (int c = 0; c < 2; ++c)
        EXPECT_EQ (0, std::memcmp (wide.getReadPointer (c), pair.getReadPointer (c), 4000 * sizeof (float)));
    for (int c = 2; c < 4; ++c)
        EXPECT_EQ (0, std::memcmp (wide.getReadPointer (c), original.getReadPointer (c), 4000 * sizeof (float)));
}

TEST (EngineRouting, SidechainRules)
{
    CompressorParams p;
    p.thresholdDb = -30.0f;
    p.link = 0.0f;
    const auto main = makeProgramme (2, 6000, 29);
    auto key = makeProgramme (1, 6000, 31);
    juce::AudioBuffer<float> stereoKey (2, 6000);
    stereoKey.copyFrom (0, 0, key, 0, 0, 6000);
    stereoKey.copyFrom (1, 0, key, 0, 0, 6000);

    // Blocks of 500; each block gets a view of the key that is `shortBy` samples shorter.
    const auto render = [&] (const CompressorParams& q, juce::AudioBuffer<float>* sidechain, int shortBy, float* meter)
    {
        CompressorEngine engine;
        prepareWith (engine, q, fs48, 512);
        auto buffer = main;

        for (int start = 0; start < 6000; start += 500)
        {
            auto block = slice (buffer, start, 500);
            juce::AudioBuffer<float> keyBlock;
            const juce::AudioBuffer<float>* sc = sidechain;
            if (sidechain != nullptr && sidechain->getNumChannels() > 0)
            {
                keyBlock = slice (*sidechain, start, 500 - shortBy);
                sc = &keyBlock;
            }

            engine.setParameters (q);
            engine.process (block, sc);
            if (meter != nullptr)
                meter[start / 500] = engine.meterGainReductionDb.load();
        }
        return buffer;
    };

    const auto internal = render (p, nullptr, 0, nullptr);

    // A mono key drives both detector channels, exactly like the same key on both channels.
    const auto withMono = render (p, &key, 0, nullptr);
    EXPECT_TRUE (bitwiseEqual (withMono, render (p, &stereoKey, 0, nullptr)));
    EXPECT_FALSE (bitwiseEqual (withMono, internal));

    // A key one sample shorter than the block, or one without channels, is ignored.
    EXPECT_TRUE (bitwiseEqual (render (p, &stereoKey, 1, nullptr), internal));
    juce::AudioBuffer<float> noChannels (0, 6000);
    EXPECT_TRUE (bitwiseEqual (render (p, &noChannels, 0, nullptr), internal));

    // The input gain scales the output but does not reach the keyed detector.
    float meterPlain[12], meterLoud[12];
    const auto plain = render (p, &stereoKey, 0, meterPlain);
    auto louder = p;
    louder.inputGainDb = 6.0f;
    const auto loud = render (louder, &stereoKey, 0, meterLoud);
    EXPECT_EQ (0, std::memcmp (meterPlain, meterLoud, sizeof meterPlain));
    ASSERT_LT (meterPlain[11], -1.0f);
    const float g = varnok::decibelsToGain (6.0f);
    for (int i = 0; i < 6000; i += 7)
        EXPECT_NEAR (loud.getSample (0, i), g * plain.getSample (0, i), 2.0e-6f) << i;
}

//==============================================================================
// Makeup, meter and bypass

TEST (EngineMakeup, AutomaticMakeupFromTheCurveAtMinusTen)
{
    struct Case { float threshold, ratio, knee, expected; };
    const Case cases[] = {
        { -18.0f, 4.0f, 6.0f, 6.0f }, { 0.0f, 4.0f, 6.0f, 0.0f }, { -7.0f, 4.0f, 6.0f, 0.0f },
        { -60.0f, 20.0f, 0.0f, 24.0f }, { -18.0f, 1.0f, 6.0f, 0.0f },
    };

    for (const auto& c : cases)
    {
        CompressorParams p;
        p.autoGain = true;
        p.makeupDb = -12.0f; // ignored while automatic
        p.thresholdDb = c.threshold;
        p.ratio = c.ratio;
        p.kneeDb = c.knee;
        CompressorEngine engine;
        prepareWith (engine, p, fs48, 512);
        EXPECT_FLOAT_EQ (engine.effectiveMakeupDb.load(), c.expected);

        // A signal far below the threshold hears only the makeup.
        auto quiet = makeConstant (2, 512, 0.0001f);
        engine.process (quiet, nullptr);
        EXPECT_NEAR (dbOf (quiet.getSample (1, 300) / 0.0001f), c.expected, 1.0e-3f);
    }

    // The manual makeup is taken unclamped.
    CompressorParams p;
    p.makeupDb = 40.0f;
    CompressorEngine engine;
    engine.setParameters (p);
    EXPECT_EQ (engine.effectiveMakeupDb.load(), 40.0f);
}

TEST (EngineBypass, DelaysOnlyAndFreezesEverythingElse)
{
    CompressorParams p;
    p.thresholdDb = -35.0f;
    p.rmsDetection = true;
    p.sidechainHpfHz = 80.0f;
    p.character = 2;

    CompressorEngine withBypass, without;
    prepareWith (withBypass, p, fs48, 512);
    prepareWith (without, p, fs48, 512);

    auto first = makeProgramme (2, 4000, 37);
    auto firstCopy = first;
    processInBlocks (withBypass, first, p, { 512 });
    processInBlocks (without, firstCopy, p, { 512 });
    ASSERT_LT (withBypass.meterGainReductionDb.load(), -1.0f);

    // A ramp is running when the bypass starts.
    auto q = p;
    q.makeupDb = 9.0f;
    withBypass.setParameters (q);
    without.setParameters (q);
    auto bypassed = makeProgramme (2, 3000, 41);
    const auto bypassInput = bypassed;
    withBypass.processBypassed (bypassed);
    EXPECT_TRUE (bitwiseEqual (bypassed, bypassInput)); // lookahead 0: the signal passes as is
    EXPECT_EQ (withBypass.meterGainReductionDb.load(), 0.0f);

    // Afterwards smoothers, envelopes, mean squares and filters carry on where they stood.
    auto after = makeProgramme (2, 4000, 43);
    auto afterCopy = after;
    processInBlocks (withBypass, after, q, { 512 });
    processInBlocks (without, afterCopy, q, { 512 });
    EXPECT_TRUE (bitwiseEqual (after, afterCopy));

    // With a lookahead the bypass is the pure delay, continuous with processing.
    auto d = transparent();
    d.lookaheadMs = 2.0f;
    CompressorEngine delayed;
    prepareWith (delayed, d, fs48, 64);
    auto ramp = juce::AudioBuffer<float> (1, 1000);
    for (int i = 0; i < 1000; ++i)
        ramp.setSample (0, i, (float) (i + 1));
    auto part = slice (ramp, 0, 500);
    delayed.processBypassed (part);
    auto rest = slice (ramp, 500, 500);
    delayed.setParameters (d);
    delayed.process (rest, nullptr);
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ (ramp.getSample (0, i), i < 96 ? 0.0f : (float) (i + 1 - 96)) << i;
}

//==============================================================================
// Non-finite and huge input

namespace
{
CompressorParams everything (bool rms)
{
    CompressorParams p;
    p.thresholdDb = -30.0f;
    p.rmsDetection = rms;
    p.sidechainHpfHz = 80.0f;
    p.sidechainLpfHz = 12000.0f;
    p.midSide = true;
    p.lookaheadMs = 5.0f;
    p.character = 5;
    return p;
}
} // namespace

TEST (EngineNonFinite, BadSamplesCountAsSilenceInMainAndSidechain)
{
    const float bad[] = { INFINITY, -INFINITY, NAN };

    for (const bool inSidechain : { false, true })
    {
        for (const bool rms : { false, true })
        {
            for (const float value : bad)
            {
                const auto p = everything (rms);
                auto signal = makeProgramme (2, 24000, 47);
                auto key = makeProgramme (2, 24000, 53);
                auto zeroed = signal;
                auto zeroedKey = key;

                // A few bad samples in one channel, and one in both at once.
                auto& target = inSidechain ? key : signal;
                auto& reference = inSidechain ? zeroedKey : zeroed;
                for (const int i : { 1000, 1001, 5000 })
                {
                    target.setSample (0, i, value);
                    reference.setSample (0, i, 0.0f);
                }
                target.setSample (1, 5000, value);
                reference.setSample (1, 5000, 0.0f);

                CompressorEngine hit, clean;
                prepareWith (hit, p, fs48, 512);
                prepareWith (clean, p, fs48, 512);

                for (int start = 0; start < 24000; start += 480)
                {
                    auto a = slice (signal, start, 480);
                    auto b = slice (zeroed, start, 480);
                    auto ka = slice (key, start, 480);
                    auto kb = slice (zeroedKey, start, 480);
                    hit.process (a, inSidechain ? &ka : nullptr);
                    clean.process (b, inSidechain ? &kb : nullptr);
                    ASSERT_TRUE (std::isfinite (hit.meterGainReductionDb.load()));
                }

                EXPECT_TRUE (allFinite (signal)) << value << (inSidechain ? " in sidechain" : " in main");
                EXPECT_TRUE (bitwiseEqual (signal, zeroed)) << value << (inSidechain ? " in sidechain" : " in main");
            }
        }
    }
}

TEST (EngineNonFinite, HugeFiniteSamplesKeepTheStateFiniteAndRecover)
{
    // 1e30 squares to infinity in the RMS detector; FLT_MAX also overflows the mid/side sum and
    // the detector filters. Afterwards the engine must converge back to one that never saw it.
    for (const float huge : { 1.0e30f, FLT_MAX })
    {
        for (const int variant : { 0, 1, 2 })
        {
            // 0: RMS with filters, 1: peak with filters, 2: peak without filters (the mid/side
            // sum reaches the level conversion as inf)
            const bool rms = variant == 0;
            auto p = everything (rms);
            p.releaseMs = 50.0f;
            if (variant == 2)
            {
                p.sidechainHpfHz = 20.0f;
                p.sidechainLpfHz = 20000.0f;
            }

            const int total = 48000 * 8;
            auto signal = makeProgramme (2, total, 59);
            auto untouched = signal;

            for (int i = 2000; i < 2100; ++i)
            {
                signal.setSample (0, i, (i % 2) != 0 ? huge : -huge);
                signal.setSample (1, i, huge);
            }

            CompressorEngine hit, clean;
            prepareWith (hit, p, fs48, 512);
            prepareWith (clean, p, fs48, 512);
            processInBlocks (hit, signal, p, { 512 });
            processInBlocks (clean, untouched, p, { 512 });

            // 1e30 stays finite all the way; FLT_MAX overflows the audio path itself while it
            // lasts (IEEE arithmetic, as for any finite input), but not a sample longer.
            const int burstEnd = huge < 1.0e31f ? 0 : 2100 + hit.lookaheadSamples;
            auto afterBurst = slice (signal, burstEnd, total - burstEnd);
            EXPECT_TRUE (allFinite (afterBurst)) << huge << " variant " << variant;
            EXPECT_TRUE (std::isfinite (hit.meterGainReductionDb.load()));

            // The last second matches the undisturbed run.
            float worst = 0.0f;
            for (int c = 0; c < 2; ++c)
                for (int i = total - 48000; i < total; ++i)
                    worst = std::max (worst, std::abs (signal.getSample (c, i) - untouched.getSample (c, i)));
            EXPECT_LT (worst, 1.0e-4f) << huge << " variant " << variant;
        }
    }
}
