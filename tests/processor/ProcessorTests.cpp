#include "processor/PluginProcessor.h"

#include "support/TestSignals.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace
{
using Stage = MeterSource::Stage;

void setValue (VarnokCompAudioProcessor& p, const char* id, float value)
{
    auto* param = p.apvts.getParameter (id);
    param->setValueNotifyingHost (param->convertTo0to1 (value));
}

using varnok::test::noise;

bool isFinite (const juce::AudioBuffer<float>& b)
{
    for (int c = 0; c < b.getNumChannels(); ++c)
        for (int i = 0; i < b.getNumSamples(); ++i)
            if (! std::isfinite (b.getSample (c, i)))
                return false;
    return true;
}

// A processor with the layout applied the way a host does before activating it.
struct Prepared
{
    explicit Prepared (const juce::AudioChannelSet& main = juce::AudioChannelSet::stereo(), double rate = 48000.0, int block = 512)
    {
        auto layout = processor.getBusesLayout();
        layout.inputBuses.getReference (0) = main;
        layout.outputBuses.getReference (0) = main;
        EXPECT_TRUE (processor.setBusesLayout (layout));
        processor.setRateAndBufferSizeDetails (rate, block);
        processor.prepareToPlay (rate, block);
    }

    void run (juce::AudioBuffer<float>& buffer)
    {
        juce::MidiBuffer midi;
        processor.processBlock (buffer, midi);
    }

    VarnokCompAudioProcessor processor;
};

juce::AudioProcessor::BusesLayout makeLayout (juce::AudioChannelSet in, juce::AudioChannelSet out, std::optional<juce::AudioChannelSet> sidechain)
{
    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add (in);
    layout.outputBuses.add (out);
    if (sidechain)
        layout.inputBuses.add (*sidechain);
    return layout;
}
} // namespace

TEST (ProcessorTest, FixedAnswersToTheHost)
{
    VarnokCompAudioProcessor processor;
    EXPECT_EQ (processor.getName(), "VARNOK COMP Free");
    EXPECT_EQ (processor.getTailLengthSeconds(), 0.0);
    EXPECT_FALSE (processor.acceptsMidi());
    EXPECT_FALSE (processor.producesMidi());
    EXPECT_TRUE (processor.hasEditor());
    EXPECT_EQ (processor.getBypassParameter(), nullptr);
    EXPECT_FALSE (processor.supportsDoublePrecisionProcessing());

    ASSERT_EQ (processor.getBusCount (true), 2);
    ASSERT_EQ (processor.getBusCount (false), 1);
    EXPECT_EQ (processor.getBus (true, 0)->getName(), "Input");
    EXPECT_EQ (processor.getBus (false, 0)->getName(), "Output");
    EXPECT_EQ (processor.getBus (true, 1)->getName(), "Sidechain");
    EXPECT_EQ (processor.getBus (true, 0)->getDefaultLayout(), juce::AudioChannelSet::stereo());
    EXPECT_EQ (processor.getBus (true, 1)->getDefaultLayout(), juce::AudioChannelSet::stereo());
    EXPECT_TRUE (processor.getBus (true, 0)->isEnabledByDefault());
    EXPECT_FALSE (processor.getBus (true, 1)->isEnabledByDefault());
    EXPECT_FALSE (processor.getBus (true, 1)->isEnabled());
}

TEST (ProcessorTest, BusLayoutsAcceptedAndRefused)
{
    VarnokCompAudioProcessor processor;
    const auto mono = juce::AudioChannelSet::mono();
    const auto stereo = juce::AudioChannelSet::stereo();
    const auto disabled = juce::AudioChannelSet::disabled();
    const auto lcr = juce::AudioChannelSet::createLCR();
    const auto quad = juce::AudioChannelSet::quadraphonic();

    for (auto main : { mono, stereo })
        for (auto sidechain : std::vector<std::optional<juce::AudioChannelSet>> { std::nullopt, disabled, mono, stereo })
            EXPECT_TRUE (processor.isBusesLayoutSupported (makeLayout (main, main, sidechain)))
                << main.getDescription() << " / " << (sidechain ? sidechain->getDescription() : "absent");

    const std::tuple<juce::AudioChannelSet, juce::AudioChannelSet, std::optional<juce::AudioChannelSet>> refused[] = {
        { mono, stereo, std::nullopt }, { stereo, mono, std::nullopt }, { lcr, lcr, std::nullopt },
        { quad, quad, stereo },         { stereo, stereo, lcr },        { stereo, stereo, quad },
        { disabled, stereo, std::nullopt }, { disabled, disabled, std::nullopt },
    };

    for (const auto& [in, out, sidechain] : refused)
        EXPECT_FALSE (processor.isBusesLayoutSupported (makeLayout (in, out, sidechain)))
            << in.getDescription() << " -> " << out.getDescription();
}

TEST (ProcessorTest, PeaksOfEachStageAndChannelClamping)
{
    Prepared p;
    juce::AudioBuffer<float> buffer (2, 256);
    buffer.clear();
    buffer.setSample (0, 10, -0.5f);
    buffer.setSample (1, 20, 0.25f);
    p.run (buffer);

    EXPECT_FLOAT_EQ (p.processor.getPeak (Stage::input, 0), 0.5f);
    EXPECT_FLOAT_EQ (p.processor.getPeak (Stage::input, 1), 0.25f);
    EXPECT_FLOAT_EQ (p.processor.getPeak (Stage::input, -1), 0.5f);
    EXPECT_FLOAT_EQ (p.processor.getPeak (Stage::input, 7), 0.25f);
    EXPECT_FLOAT_EQ (p.processor.getPeak (Stage::output, 0), buffer.getMagnitude (0, 0, 256));
    EXPECT_FLOAT_EQ (p.processor.getPeak (Stage::output, 1), buffer.getMagnitude (1, 0, 256));

    // Silence gives 0 at both stages, and so does a block without samples.
    buffer.clear();
    p.run (buffer);
    for (auto stage : { Stage::input, Stage::output })
        EXPECT_EQ (p.processor.getPeak (stage, 0), 0.0f);

    auto loud = noise (2, 64, 0.9f);
    p.run (loud);
    juce::AudioBuffer<float> empty (2, 0);
    p.run (empty);
    for (auto stage : { Stage::input, Stage::output })
        for (int channel : { 0, 1 })
            EXPECT_EQ (p.processor.getPeak (stage, channel), 0.0f);
}

TEST (ProcessorTest, MonoBusReportsChannelZeroForBothChannels)
{
    Prepared p (juce::AudioChannelSet::mono());
    auto buffer = noise (1, 128, 0.7f);
    p.run (buffer);

    for (auto stage : { Stage::input, Stage::output })
    {
        EXPECT_GT (p.processor.getPeak (stage, 0), 0.0f);
        EXPECT_EQ (p.processor.getPeak (stage, 0), p.processor.getPeak (stage, 1));
    }
}

TEST (ProcessorTest, AudioIsTheEngineOutputForTheSameSettings)
{
    Prepared p;
    setValue (p.processor, "thresh", -30.0f);
    setValue (p.processor, "ratio", 6.0f);
    setValue (p.processor, "makeup", 4.0f);
    setValue (p.processor, "in_gain", 2.0f);
    setValue (p.processor, "out_gain", -1.0f);

    CompressorEngine reference;
    reference.setParameters (p.processor.makeEngineParams());
    reference.prepare (48000.0, 512);
    // The processor's prepare ran before these settings: it ramps to them like the reference does
    // when it gets them after its own prepare.
    CompressorParams before;
    reference.setParameters (before);
    reference.prepare (48000.0, 512);
    reference.setParameters (before);

    for (int block = 0; block < 20; ++block)
    {
        auto buffer = noise (2, 512, 0.8f, (unsigned) block + 3);
        auto expected = buffer;
        p.run (buffer);
        reference.setParameters (p.processor.makeEngineParams());
        reference.process (expected, nullptr);

        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < 512; ++i)
                ASSERT_EQ (buffer.getSample (c, i), expected.getSample (c, i)) << block << " " << c << " " << i;
    }

    const auto params = p.processor.makeEngineParams();
    EXPECT_FLOAT_EQ (params.thresholdDb, -30.0f);
    EXPECT_FLOAT_EQ (params.makeupDb, 4.0f);
    EXPECT_FLOAT_EQ (params.kneeDb, 6.0f);
    EXPECT_EQ (params.mix, 1.0f);
    EXPECT_EQ (params.lookaheadMs, 0.0f);
    EXPECT_LT (p.processor.engine.meterGainReductionDb.load(), -1.0f);
}

TEST (ProcessorTest, OwnBypassRunsOnlyTheDelayLine)
{
    Prepared p;
    auto loud = noise (2, 512, 0.9f);
    p.run (loud);
    ASSERT_LT (p.processor.engine.meterGainReductionDb.load(), 0.0f);

    setValue (p.processor, "bypass", 1.0f);
    setValue (p.processor, "thresh", -50.0f);
    const auto settingsBefore = p.processor.engine.getParameters().thresholdDb;

    auto buffer = noise (2, 512, 0.9f, 7);
    const auto input = buffer;
    p.run (buffer);

    for (int c = 0; c < 2; ++c)
    {
        for (int i = 0; i < 512; ++i)
            ASSERT_EQ (buffer.getSample (c, i), input.getSample (c, i));
        EXPECT_EQ (p.processor.getPeak (Stage::output, c), p.processor.getPeak (Stage::input, c));
    }

    EXPECT_EQ (p.processor.engine.meterGainReductionDb.load(), 0.0f);
    EXPECT_EQ (p.processor.engine.getParameters().thresholdDb, settingsBefore);

    setValue (p.processor, "bypass", 0.0f);
    p.run (buffer);
    EXPECT_FLOAT_EQ (p.processor.engine.getParameters().thresholdDb, -50.0f);
}

// While the host holds the wrapper's own bypass on, JUCE's VST3 wrapper calls processBlockBypassed
// instead of processBlock. A host cannot read the meters, so this is checked on the processor (the
// host tests check the audio through the loaded bundle): the signal passes untouched, the peaks
// and the gain reduction keep the last processed block's values, and the engine does not run.
TEST (ProcessorTest, HostBypassPassesTheSignalAndFreezesTheMeters)
{
    Prepared p, reference;
    setValue (p.processor, "thresh", -30.0f);
    setValue (reference.processor, "thresh", -30.0f);

    auto loud = noise (2, 512, 0.9f);
    auto loudAgain = loud;
    p.run (loud);
    reference.run (loudAgain);

    const float peaks[] = { p.processor.getPeak (Stage::input, 0), p.processor.getPeak (Stage::input, 1),
                            p.processor.getPeak (Stage::output, 0), p.processor.getPeak (Stage::output, 1) };
    const auto reduction = p.processor.engine.meterGainReductionDb.load();
    ASSERT_LT (reduction, -3.0f);

    for (unsigned block = 0; block < 4; ++block)
    {
        auto buffer = noise (2, 512, 0.2f, 10 + block); // quieter: measured peaks would differ
        const auto input = buffer;
        juce::MidiBuffer midi;
        p.processor.processBlockBypassed (buffer, midi);

        for (int c = 0; c < 2; ++c)
            ASSERT_EQ (std::memcmp (buffer.getReadPointer (c), input.getReadPointer (c), sizeof (float) * 512), 0) << block;

        EXPECT_EQ (p.processor.getPeak (Stage::input, 0), peaks[0]);
        EXPECT_EQ (p.processor.getPeak (Stage::input, 1), peaks[1]);
        EXPECT_EQ (p.processor.getPeak (Stage::output, 0), peaks[2]);
        EXPECT_EQ (p.processor.getPeak (Stage::output, 1), peaks[3]);
        EXPECT_EQ (p.processor.engine.meterGainReductionDb.load(), reduction);
    }

    // The next processed block sounds as if the bypassed ones had never come.
    auto next = noise (2, 512, 0.9f, 99);
    auto expected = next;
    p.run (next);
    reference.run (expected);

    for (int c = 0; c < 2; ++c)
        EXPECT_EQ (std::memcmp (next.getReadPointer (c), expected.getReadPointer (c), sizeof (float) * 512), 0) << c;
}

TEST (ProcessorTest, LatencyIsZeroAtEveryRateAndNeverReported)
{
    for (double rate : { 8000.0, 22050.0, 44100.0, 48000.0, 96000.0, 192000.0, 384000.0 })
    {
        Prepared p (juce::AudioChannelSet::stereo(), rate, 256);
        EXPECT_EQ (p.processor.getLatencySamples(), 0);

        auto buffer = noise (2, 256, 0.5f);
        p.run (buffer);
        EXPECT_FALSE (p.processor.isUpdatePending());
        EXPECT_TRUE (isFinite (buffer)) << rate;
    }
}

TEST (ProcessorTest, AnyBlockSizeRatesAndPrepareTwice)
{
    Prepared p (juce::AudioChannelSet::stereo(), 44100.0, 64);
    p.processor.prepareToPlay (96000.0, 128); // a second prepare, at another rate

    std::mt19937 rng (42);
    std::uniform_int_distribution<int> sizes (0, 4096);

    for (int block = 0; block < 200; ++block)
    {
        auto buffer = noise (2, block % 17 == 0 ? 0 : sizes (rng), 1.0f, (unsigned) block);
        p.run (buffer);
        ASSERT_TRUE (isFinite (buffer)) << block;
    }
}

TEST (ProcessorTest, FedSidechainDoesNotChangeTheOutput)
{
    Prepared withSidechain;
    Prepared without;

    auto layout = withSidechain.processor.getBusesLayout();
    layout.inputBuses.getReference (1) = juce::AudioChannelSet::stereo();
    ASSERT_TRUE (withSidechain.processor.setBusesLayout (layout));
    withSidechain.processor.prepareToPlay (48000.0, 512);

    for (int block = 0; block < 8; ++block)
    {
        auto main = noise (2, 512, 0.6f, (unsigned) block);
        auto expected = main;
        without.run (expected);

        // The host's buffer holds the main channels first, then the sidechain's.
        juce::AudioBuffer<float> hostBuffer (4, 512);
        for (int c = 0; c < 2; ++c)
            hostBuffer.copyFrom (c, 0, main, c, 0, 512);
        auto sidechainSignal = noise (2, 512, 1.0f, 99 + (unsigned) block);
        for (int c = 0; c < 2; ++c)
            hostBuffer.copyFrom (c + 2, 0, sidechainSignal, c, 0, 512);

        withSidechain.run (hostBuffer);

        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < 512; ++i)
                ASSERT_EQ (hostBuffer.getSample (c, i), expected.getSample (c, i));
        for (int c = 2; c < 4; ++c)
            for (int i = 0; i < 512; ++i)
                ASSERT_EQ (hostBuffer.getSample (c, i), sidechainSignal.getSample (c - 2, i));
    }
}

TEST (ProcessorTest, NonFiniteInputDoesNotSilenceLaterBlocks)
{
    Prepared p;

    for (float bad : { std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                       std::numeric_limits<float>::quiet_NaN() })
    {
        auto poisoned = noise (2, 512, 0.5f, 6);
        poisoned.setSample (0, 100, bad);
        poisoned.setSample (1, 300, bad);
        p.run (poisoned);

        // Within two seconds of finite input (well past the 150 ms release) a signal far below the
        // threshold comes out unchanged again.
        for (int block = 0; block < 188; ++block)
        {
            auto buffer = noise (2, 512, 0.01f, 7);
            p.run (buffer);
        }

        auto buffer = noise (2, 512, 0.01f, 8);
        const auto input = buffer;
        p.run (buffer);
        ASSERT_TRUE (isFinite (buffer));

        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < 512; i += 37)
                EXPECT_NEAR (buffer.getSample (c, i), input.getSample (c, i), 1.0e-3f * std::abs (input.getSample (c, i)) + 1.0e-7f);
    }
}
