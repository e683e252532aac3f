// The plug-in driven through JUCE's VST3 hosting, as a host drives it.
#include "HostFixture.h"

#include "processor/engine/CompressorEngine.h"

#include "support/StateBlob.h"
#include "support/TestSignals.h"

#include <gtest/gtest.h>

#include <random>

using varnok::test::createHostedInstance;
using varnok::test::findDescription;

namespace
{
using varnok::test::noise;

juce::AudioProcessorParameter* findParameter (juce::AudioPluginInstance& instance, const juce::String& name)
{
    for (auto* p : instance.getParameters())
        if (p->getName (100) == name)
            return p;
    return nullptr;
}

bool sameBits (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b)
{
    if (a.getNumChannels() != b.getNumChannels() || a.getNumSamples() != b.getNumSamples())
        return false;

    for (int c = 0; c < a.getNumChannels(); ++c)
        if (std::memcmp (a.getReadPointer (c), b.getReadPointer (c), sizeof (float) * (size_t) a.getNumSamples()) != 0)
            return false;

    return true;
}

// The program number the plug-in itself holds, read from the component state it saves (the
// host's own getCurrentProgram only reads back the host's value of the "Program" parameter).
int pluginsCurrentProgram (juce::AudioPluginInstance& instance)
{
    juce::MemoryBlock hostState, component;
    instance.getStateInformation (hostState);

    if (auto xml = juce::AudioProcessor::getXmlFromBinary (hostState.getData(), (int) hostState.getSize()))
        if (auto* child = xml->getChildByName ("IComponent"))
            component.fromBase64Encoding (child->getAllSubText());

    if (auto state = juce::parseXML (varnok::test::blobText (component).upToFirstOccurrenceOf ("</VarnokState>", true, false)))
        return state->getIntAttribute ("currentProgram", -1);

    return -1;
}

// Runs the host's message loop until the condition holds, for at most two seconds.
template <typename Condition>
bool waitUntil (Condition condition)
{
    for (int attempt = 0; attempt < 100 && ! condition(); ++attempt)
        juce::MessageManager::getInstance()->runDispatchLoopUntil (20);

    return condition();
}

// The bare engine set up as the hosted plug-in is at 48 kHz, 512 samples, for comparing audio.
void prepareReferenceEngine (CompressorEngine& engine, const CompressorParams& settings)
{
    engine.setParameters (settings);
    engine.prepare (48000.0, 512);
    engine.setParameters (settings);
}
} // namespace

TEST (HostedPluginTest, DescriptionAsAHostListsIt)
{
    const auto desc = findDescription();
    EXPECT_EQ (desc.name, "VARNOK COMP Free");
    EXPECT_EQ (desc.manufacturerName, "Olmet");
    EXPECT_EQ (desc.version, "1.0.2");
    EXPECT_EQ (desc.category, "Fx");
    EXPECT_EQ (desc.pluginFormatName, "VST3");
    EXPECT_FALSE (desc.isInstrument);
}

TEST (HostedPluginTest, ParameterListWithTexts)
{
    auto instance = createHostedInstance();
    ASSERT_NE (instance, nullptr);
    const auto& params = instance->getParameters();
    ASSERT_EQ (params.size(), 10);

    // Name, default text and the text at the normalised middle of each of the plug-in's own eight.
    const std::tuple<const char*, const char*, const char*> own[] = {
        { "Threshold", "-18.0 dB", "-30.0 dB" }, { "Ratio", "4.00:1", "4.00:1" },
        { "Attack", "10.00 ms", "10.0 ms" }, // the default's round trip lands just below 10
        { "Release", "150.0 ms", "150.0 ms" },
        { "Makeup", "0.0 dB", "6.0 dB" },        { "Input Gain", "0.0 dB", "0.0 dB" },
        { "Output Gain", "0.0 dB", "0.0 dB" },   { "Bypass", "Off", "On" },
    };

    for (int i = 0; i < 8; ++i)
    {
        const auto& [name, defaultText, middleText] = own[i];
        auto* p = params[i];
        EXPECT_EQ (p->getName (100), name);
        EXPECT_EQ (p->getText (p->getDefaultValue(), 100), defaultText) << name;
        EXPECT_EQ (p->getText (0.5f, 100), middleText) << name;
        EXPECT_TRUE (p->isAutomatable()) << name;
    }

    EXPECT_EQ (params[0]->getText (1.0f, 100), "0.0 dB");
    EXPECT_EQ (params[1]->getText (1.0f, 100), "inf:1");
    EXPECT_EQ (params[2]->getText (0.0f, 100), "0.02 ms");
    EXPECT_EQ (params[3]->getText (1.0f, 100), "2500.0 ms");
    EXPECT_EQ (params[7]->getNumSteps(), 2);

    // The wrapper's own two come last: its host bypass and the program list.
    EXPECT_EQ (params[8]->getName (100), "Bypass");
    EXPECT_EQ (params[9]->getName (100), "Program");
    EXPECT_EQ (instance->getBypassParameter(), params[8]);
}

TEST (HostedPluginTest, FourteenProgramsAndNoLatency)
{
    auto instance = createHostedInstance();
    ASSERT_NE (instance, nullptr);

    const char* names[] = { "Default", "Vocal Smooth", "Vocal Tight", "Vocal Aggressive", "Drum Punch",
                            "Drum Bus Glue", "Snare Snap", "Bass Sustain", "Bass Tight", "Guitar Even",
                            "Keys Level", "Pad Smooth", "Master Glue", "Gentle Glue" };
    ASSERT_EQ (instance->getNumPrograms(), 14);
    for (int i = 0; i < 14; ++i)
        EXPECT_EQ (instance->getProgramName (i), names[i]);

    instance->setCurrentProgram (12);
    EXPECT_EQ (instance->getCurrentProgram(), 12);
    EXPECT_EQ (findParameter (*instance, "Threshold")->getCurrentValueAsText(), "-16.0 dB");
    EXPECT_EQ (findParameter (*instance, "Makeup")->getCurrentValueAsText(), "1.5 dB");

    instance->prepareToPlay (48000.0, 512);
    EXPECT_EQ (instance->getLatencySamples(), 0);
    EXPECT_EQ (instance->getTailLengthSeconds(), 0.0);
    EXPECT_FALSE (instance->acceptsMidi());
    EXPECT_FALSE (instance->producesMidi());
    instance->releaseResources();
}

TEST (HostedPluginTest, BusLayoutsAcceptedAndRefused)
{
    auto instance = createHostedInstance();
    ASSERT_NE (instance, nullptr);
    ASSERT_EQ (instance->getBusCount (true), 2);
    ASSERT_EQ (instance->getBusCount (false), 1);
    EXPECT_EQ (instance->getBus (true, 0)->getName(), "Input");
    EXPECT_EQ (instance->getBus (false, 0)->getName(), "Output");
    EXPECT_EQ (instance->getBus (true, 1)->getName(), "Sidechain");
    EXPECT_EQ (instance->getMainBusNumInputChannels(), 2);
    EXPECT_EQ (instance->getMainBusNumOutputChannels(), 2);
    EXPECT_FALSE (instance->getBus (true, 1)->isEnabled());

    const auto mono = juce::AudioChannelSet::mono();
    const auto stereo = juce::AudioChannelSet::stereo();
    const auto disabled = juce::AudioChannelSet::disabled();

    auto layout = [] (juce::AudioChannelSet in, juce::AudioChannelSet out, juce::AudioChannelSet sidechain)
    {
        juce::AudioProcessor::BusesLayout l;
        l.inputBuses.add (in);
        l.inputBuses.add (sidechain);
        l.outputBuses.add (out);
        return l;
    };

    for (auto main : { mono, stereo })
        for (auto sidechain : { disabled, mono, stereo })
            EXPECT_TRUE (instance->setBusesLayout (layout (main, main, sidechain)))
                << main.getDescription() << " / " << sidechain.getDescription();

    EXPECT_FALSE (instance->setBusesLayout (layout (mono, stereo, disabled)));
    EXPECT_FALSE (instance->setBusesLayout (layout (stereo, mono, disabled)));
    EXPECT_FALSE (instance->setBusesLayout (layout (juce::AudioChannelSet::createLCR(), juce::AudioChannelSet::createLCR(), disabled)));
    EXPECT_FALSE (instance->setBusesLayout (layout (stereo, stereo, juce::AudioChannelSet::createLCR())));
}

TEST (HostedPluginTest, AudioEqualsTheEngineForTheSameSettings)
{
    auto instance = createHostedInstance();
    ASSERT_NE (instance, nullptr);

    // Threshold -30 dB (not smoothed, so it holds from the first sample whenever the plug-in
    // receives it); everything else at its default.
    findParameter (*instance, "Threshold")->setValueNotifyingHost (0.5f);
    instance->prepareToPlay (48000.0, 512);

    CompressorParams settings;
    settings.thresholdDb = -30.0f;
    CompressorEngine engine;
    prepareReferenceEngine (engine, settings);

    juce::MidiBuffer midi;
    for (int block = 0; block < 30; ++block)
    {
        auto buffer = noise (2, 512, 0.9f, (unsigned) block);
        auto expected = buffer;
        instance->processBlock (buffer, midi);
        engine.setParameters (settings);
        engine.process (expected, nullptr);

        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < 512; ++i)
                ASSERT_NEAR (buffer.getSample (c, i), expected.getSample (c, i), 1.0e-6f) << block << " " << c << " " << i;
    }

    EXPECT_LT (engine.meterGainReductionDb.load(), -3.0f); // it really compressed
    instance->releaseResources();
}

// The wrapper's own bypass, the one a host's bypass button drives: while it is on the wrapper
// calls JUCE's bypassed processing instead of ours, so the audio passes untouched and the engine
// does not run. (That the meters then keep their last values cannot be seen from a host; the
// processor tests check it.)
TEST (HostedPluginTest, TheWrappersBypassPassesTheSignalUntouchedAndTheEngineWaits)
{
    auto instance = createHostedInstance();
    ASSERT_NE (instance, nullptr);

    // Two parameters are named "Bypass": ours and the wrapper's. The wrapper's carries the VST3
    // bypass flag (so the host reports it as its bypass) and the wrapper's ID 'byps'.
    auto* hostBypass = instance->getBypassParameter();
    auto* ownBypass = instance->getParameters()[7];
    ASSERT_NE (hostBypass, nullptr);
    ASSERT_NE (hostBypass, ownBypass);
    EXPECT_EQ (ownBypass->getName (100), "Bypass");
    EXPECT_EQ (hostBypass->getName (100), "Bypass");
    auto* hosted = dynamic_cast<juce::HostedAudioProcessorParameter*> (hostBypass);
    ASSERT_NE (hosted, nullptr);
    EXPECT_EQ (hosted->getParameterID(), juce::String ((juce::uint32) 0x62797073));

    findParameter (*instance, "Threshold")->setValueNotifyingHost (0.5f); // -30 dB
    instance->prepareToPlay (48000.0, 512);

    CompressorParams settings;
    settings.thresholdDb = -30.0f;
    CompressorEngine engine;
    prepareReferenceEngine (engine, settings);

    juce::MidiBuffer midi;
    auto compressed = [&] (unsigned seed)
    {
        auto buffer = noise (2, 512, 0.9f, seed);
        auto expected = buffer;
        instance->processBlock (buffer, midi);
        engine.setParameters (settings);
        engine.process (expected, nullptr);

        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < 512; ++i)
                if (std::abs (buffer.getSample (c, i) - expected.getSample (c, i)) > 1.0e-6f)
                    return false;
        return true;
    };

    for (unsigned block = 0; block < 10; ++block)
        ASSERT_TRUE (compressed (block)) << "block " << block;
    ASSERT_LT (engine.meterGainReductionDb.load(), -3.0f);

    hostBypass->setValueNotifyingHost (1.0f);

    for (unsigned block = 10; block < 20; ++block)
    {
        auto buffer = noise (2, 512, 0.9f, block);
        const auto input = buffer;
        instance->processBlock (buffer, midi);
        ASSERT_TRUE (sameBits (buffer, input)) << "block " << block;
    }

    EXPECT_EQ (ownBypass->getValue(), 0.0f);

    // Off again: the plug-in carries on from where it stopped, as the engine does that never saw
    // the bypassed blocks.
    hostBypass->setValueNotifyingHost (0.0f);

    for (unsigned block = 20; block < 30; ++block)
        ASSERT_TRUE (compressed (block)) << "block " << block;

    instance->releaseResources();
}

// The wrapper's "Program" parameter, as a host sets it from its program list or automation.
TEST (HostedPluginTest, TheProgramParameterSelectsTheFactoryProgram)
{
    auto instance = createHostedInstance();
    ASSERT_NE (instance, nullptr);
    auto* program = findParameter (*instance, "Program");
    ASSERT_NE (program, nullptr);
    ASSERT_EQ (program->getNumSteps(), 14);

    // A value no program sets stays as the host left it.
    auto* inputGain = findParameter (*instance, "Input Gain");
    inputGain->setValueNotifyingHost (0.75f);
    const auto inputGainText = inputGain->getCurrentValueAsText();

    struct Row
    {
        int number;
        float thresh, ratio, attack, release, makeup;
    };

    const Row rows[] = {
        { 12, -16, 2, 30, 300, 1.5f }, { 3, -18, 8, 1, 80, 5 },   { 7, -24, 3, 40, 400, 5 },
        { 13, -20, 2, 30, 300, 2 },    { 1, -20, 3, 15, 180, 3 }, { 0, -18, 4, 10, 150, 0 },
    };

    // The number at the start of a parameter's text as the host shows it ("-16.0 dB", "2.00:1").
    auto shown = [&] (const char* name) { return findParameter (*instance, name)->getCurrentValueAsText().getFloatValue(); };

    for (const auto& row : rows)
    {
        SCOPED_TRACE (row.number);
        program->setValueNotifyingHost ((float) row.number / 13.0f);

        const auto arrived = [&] { return std::abs (shown ("Release") - row.release) < 0.05f && std::abs (shown ("Threshold") - row.thresh) < 0.05f; };
        EXPECT_TRUE (waitUntil (arrived));

        EXPECT_NEAR (shown ("Threshold"), row.thresh, 0.05f);
        EXPECT_NEAR (shown ("Ratio"), row.ratio, 0.005f);
        EXPECT_NEAR (shown ("Attack"), row.attack, 0.05f);
        EXPECT_NEAR (shown ("Release"), row.release, 0.05f);
        EXPECT_NEAR (shown ("Makeup"), row.makeup, 0.05f);
        EXPECT_EQ (inputGain->getCurrentValueAsText(), inputGainText);

        EXPECT_EQ (pluginsCurrentProgram (*instance), row.number);
        EXPECT_EQ (instance->getCurrentProgram(), row.number);
    }
}
