// The engine's block-wise fast path against a plain per-sample implementation, on random
// settings, signals, layouts and block partitions.

#include "EngineTestSupport.h"
#include "ReferenceCompressor.h"

#include "processor/engine/EngineKernels.h"

using namespace enginetest;

namespace
{

struct Trial
{
    double sampleRate;
    int maxBlock;
    int numChannels;
    int sidechainChannels; // 0: none
    bool shortSidechain;
};

CompressorParams randomParams (std::mt19937& rng)
{
    std::uniform_real_distribution<float> unit (0.0f, 1.0f);
    const auto range = [&] (float lo, float hi) { return lo + (hi - lo) * unit (rng); };
    const auto logRange = [&] (float lo, float hi) { return lo * std::pow (hi / lo, unit (rng)); };
    const auto chance = [&] (float p) { return unit (rng) < p; };

    CompressorParams p;
    p.thresholdDb = range (-60.0f, 0.0f);
    const float ratioPick = unit (rng);
    p.ratio = ratioPick < 0.05f ? 1.0001f : ratioPick < 0.1f ? 1.0002f : ratioPick < 0.15f ? 1.0f : range (1.0f, 20.0f);
    p.attackMs = logRange (0.005f, 200.0f);
    p.releaseMs = logRange (1.0f, 3000.0f);
    p.kneeDb = chance (0.3f) ? 0.0f : range (0.0f, 24.0f);
    p.makeupDb = range (-6.0f, 24.0f);
    p.mix = chance (0.5f) ? 1.0f : range (0.0f, 1.0f);
    p.inputGainDb = range (-24.0f, 24.0f);
    p.outputGainDb = range (-24.0f, 24.0f);
    p.rmsDetection = chance (0.4f);
    p.sidechainHpfHz = chance (0.5f) ? 20.0f : logRange (5.0f, 3000.0f);
    p.sidechainLpfHz = chance (0.5f) ? 20000.0f : logRange (300.0f, 40000.0f);
    p.listen = chance (0.1f);
    p.midSide = chance (0.3f);
    p.link = chance (0.4f) ? 1.0f : unit (rng);
    p.lookaheadMs = chance (0.4f) ? 0.0f : range (-2.0f, 25.0f);
    p.character = std::uniform_int_distribution<int> (-2, 8) (rng);
    p.autoGain = chance (0.2f);
    p.autoRelease = chance (0.2f);
    return p;
}

// A setting change of a few fields, so that ramps start in the middle of a run.
CompressorParams nudge (CompressorParams p, std::mt19937& rng)
{
    std::uniform_real_distribution<float> unit (0.0f, 1.0f);
    p.makeupDb = -6.0f + 30.0f * unit (rng);
    p.inputGainDb = -12.0f + 24.0f * unit (rng);
    p.outputGainDb = -12.0f + 24.0f * unit (rng);
    p.mix = unit (rng);
    p.thresholdDb = -50.0f + 50.0f * unit (rng);
    return p;
}

struct Deviation
{
    double relative = 0.0; // over samples of at least 1e-4
    double absolute = 0.0; // over the others
    double meterDb = 0.0;
};

// Mid/side decoding subtracts two gained signals, so there a sample is judged against the
// larger channel of its frame: that is the size of the terms whose rounding it inherits.
void compare (const juce::AudioBuffer<float>& actual, const juce::AudioBuffer<float>& expected,
              const std::vector<char>& midSideAt, Deviation& deviation)
{
    const int numChannels = std::min (expected.getNumChannels(), 2);

    for (int i = 0; i < expected.getNumSamples(); ++i)
    {
        double frameScale = 0.0;
        for (int c = 0; c < numChannels; ++c)
            frameScale = std::max (frameScale, (double) std::abs (expected.getSample (c, i)));

        for (int c = 0; c < numChannels; ++c)
        {
            const double e = expected.getSample (c, i);
            const double diff = std::abs ((double) actual.getSample (c, i) - e);
            const double scale = midSideAt[(size_t) i] != 0 ? frameScale : std::abs (e);

            if (scale >= 1.0e-4)
                deviation.relative = std::max (deviation.relative, diff / scale);
            else
                deviation.absolute = std::max (deviation.absolute, diff);
        }
    }
}

// Runs every trial with the kernels currently chosen; returns the engine's outputs.
std::vector<juce::AudioBuffer<float>> runTrials (Deviation& worst)
{
    std::vector<juce::AudioBuffer<float>> outputs;
    const Trial trials[] = {
        { 48000.0, 512, 2, 0, false },   { 44100.0, 64, 2, 0, false },  { 96000.0, 4096, 2, 2, false },
        { 48000.0, 17, 1, 0, false },    { 22050.0, 1, 2, 1, false },   { 48000.0, 300, 4, 2, false },
        { 44100.0, 1024, 2, 2, true },   { 48000.0, 2048, 1, 1, false }, { 0.0, 0, 2, 0, false },
        { 48000.0, 512, 2, 1, false },   { 192000.0, 256, 2, 0, false }, { 8000.0, 100, 2, 2, false },
    };

    int trialIndex = 0;

    for (int repeat = 0; repeat < 4; ++repeat)
    {
        for (const auto& trial : trials)
        {
            std::mt19937 rng (1234u + (unsigned) trialIndex++);
            SCOPED_TRACE ("trial " + std::to_string (trialIndex));

            CompressorParams p = randomParams (rng);
            CompressorEngine engine;
            ReferenceCompressor reference;
            engine.setParameters (p);
            reference.setParameters (p);
            engine.prepare (trial.sampleRate, trial.maxBlock);
            reference.prepare (trial.sampleRate, trial.maxBlock);

            const int total = 12000;
            auto signal = makeProgramme (trial.numChannels, total, rng());
            const int sidechainLength = trial.shortSidechain ? total - 1 : total;
            auto sidechain = makeProgramme (std::max (trial.sidechainChannels, 1), sidechainLength, rng());
            auto expected = signal;

            const int largest = std::max (trial.maxBlock, 1) * 3 + 5;
            std::uniform_int_distribution<int> blockSize (0, largest);
            Deviation deviation;
            std::vector<char> midSideAt ((size_t) total, 0);
            int start = 0;

            while (start < total)
            {
                const int length = std::min (blockSize (rng), total - start);

                if (std::uniform_int_distribution<int> (0, 9) (rng) == 0)
                    p = nudge (p, rng);

                if (std::uniform_int_distribution<int> (0, 29) (rng) == 0)
                    p = randomParams (rng);

                engine.setParameters (p);
                reference.setParameters (p);
                EXPECT_EQ (engine.lookaheadSamples, reference.lookahead);
                EXPECT_EQ (engine.effectiveMakeupDb.load(), reference.effectiveMakeup);

                auto a = slice (signal, start, length);
                auto e = slice (expected, start, length);
                const int scStart = std::min (start, sidechainLength);
                const int scLength = trial.shortSidechain ? length - 1 : length;
                juce::AudioBuffer<float> sc (sidechain.getArrayOfWritePointers(), sidechain.getNumChannels(), scStart,
                                             std::max (0, std::min (scLength, sidechainLength - scStart)));
                const auto* scPointer = trial.sidechainChannels > 0 ? &sc : nullptr;

                if (std::uniform_int_distribution<int> (0, 19) (rng) == 0)
                {
                    engine.processBypassed (a);
                    reference.processBypassed (e);
                    if (length > 0)
                    {
                        EXPECT_EQ (engine.meterGainReductionDb.load(), 0.0f);
                    }
                }
                else
                {
                    engine.process (a, scPointer);
                    reference.process (e, scPointer);
                    const double meterDiff = std::abs ((double) engine.meterGainReductionDb.load() - reference.meter);
                    deviation.meterDb = std::max (deviation.meterDb, meterDiff / (1.0 + std::abs (reference.meter)));
                }

                std::fill (midSideAt.begin() + start, midSideAt.begin() + start + length, (char) p.midSide);
                start += length;
            }

            compare (signal, expected, midSideAt, deviation);
            EXPECT_LT (deviation.relative, 1.0e-5);
            EXPECT_LT (deviation.absolute, 1.0e-9);
            EXPECT_LT (deviation.meterDb, 1.0e-5);

            // Channels beyond the second come out as they went in.
            for (int c = 2; c < trial.numChannels; ++c)
                EXPECT_EQ (0, std::memcmp (signal.getReadPointer (c), expected.getReadPointer (c), sizeof (float) * total));

            worst.relative = std::max (worst.relative, deviation.relative);
            worst.absolute = std::max (worst.absolute, deviation.absolute);
            worst.meterDb = std::max (worst.meterDb, deviation.meterDb);
            outputs.push_back (signal);
        }
    }

    return outputs;
}
} // namespace

TEST (EngineAgainstReference, RandomSettingsSignalsAndBlockSizesAgree)
{
    // Each instruction set on its own, against the reference and against each other.
    std::vector<int> choices { 1, 3 };
    if (varnok::engine::avx2Kernels() != nullptr)
        choices.push_back (2);

    std::vector<juce::AudioBuffer<float>> first;

    for (const int choice : choices)
    {
        ASSERT_TRUE (varnok::engine::forceEngineKernels (choice));
        const std::string name = varnok::engine::selectEngineKernels().name;
        SCOPED_TRACE (name);

        Deviation worst;
        auto outputs = runTrials (worst);
        std::printf ("[ %-8s ] worst relative %.3g, absolute %.3g, meter %.3g\n", name.c_str(), worst.relative, worst.absolute, worst.meterDb);

        if (first.empty())
            first = std::move (outputs);
        else
            for (size_t t = 0; t < first.size(); ++t)
                EXPECT_TRUE (bitwiseEqual (first[t], outputs[t])) << "trial " << t;
    }

    varnok::engine::forceEngineKernels (0);
}

TEST (EngineAgainstReference, ASettingChangedOnItsOwnTakesEffect)
{
    // Settings arrive before every block, mostly unchanged; a change of any one of them must
    // still reach the audio, also a change back to an earlier value.
    using Change = void (*) (CompressorParams&, float);
    const std::pair<const char*, Change> changes[] = {
        { "attack", [] (CompressorParams& p, float v) { p.attackMs = v * 20.0f; } },
        { "release", [] (CompressorParams& p, float v) { p.releaseMs = v * 400.0f; } },
        { "character", [] (CompressorParams& p, float v) { p.character = (int) (v * 2.0f); } },
        { "input gain", [] (CompressorParams& p, float v) { p.inputGainDb = v * 6.0f; } },
        { "output gain", [] (CompressorParams& p, float v) { p.outputGainDb = v * -6.0f; } },
    };
    const float steps[] = { 0.1f, 2.0f, 2.0f, 0.1f, 1.5f, 0.6f, 2.5f };

    for (const auto& [name, change] : changes)
    {
        SCOPED_TRACE (name);
        CompressorParams p;
        p.thresholdDb = -30.0f;
        CompressorEngine engine;
        ReferenceCompressor reference;
        prepareWith (engine, p, 48000.0, 256);
        reference.setParameters (p);
        reference.prepare (48000.0, 256);
        reference.setParameters (p);

        auto signal = makeProgramme (2, 256 * (int) std::size (steps) * 2, 77u);
        auto expected = signal;
        Deviation deviation;

        for (int block = 0; block < (int) std::size (steps) * 2; ++block)
        {
            if (block % 2 == 0)
                change (p, steps[block / 2]);

            engine.setParameters (p);
            reference.setParameters (p);
            auto a = slice (signal, block * 256, 256);
            auto e = slice (expected, block * 256, 256);
            engine.process (a, nullptr);
            reference.process (e, nullptr);
        }

        compare (signal, expected, std::vector<char> ((size_t) signal.getNumSamples(), 0), deviation);
        EXPECT_LT (deviation.relative, 1.0e-5);
        EXPECT_LT (deviation.absolute, 1.0e-9);
    }
}
