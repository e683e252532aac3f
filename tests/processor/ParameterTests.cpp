#include "processor/ParameterIds.h"
#include "processor/ParameterLayout.h"
#include "processor/PluginProcessor.h"
#include "processor/SnappedBool.h"

#include <gtest/gtest.h>

namespace
{
struct ParameterRow
{
    const char* id;
    const char* name;
    float start, end, interval, defaultValue;
    float centre; // value at the normalised middle
};

// The host-visible layout, in host order.
const ParameterRow parameterTable[] = {
    { "thresh", "Threshold", -60.0f, 0.0f, 0.01f, -18.0f, -30.0f },
    { "ratio", "Ratio", 1.0f, 60.0f, 0.0f, 4.0f, 4.0f },
    { "attack", "Attack", 0.02f, 250.0f, 0.0f, 10.0f, 10.0f },
    { "release", "Release", 5.0f, 2500.0f, 0.0f, 150.0f, 150.0f },
    { "makeup", "Makeup", -12.0f, 24.0f, 0.01f, 0.0f, 6.0f },
    { "in_gain", "Input Gain", -24.0f, 24.0f, 0.01f, 0.0f, 0.0f },
    { "out_gain", "Output Gain", -24.0f, 24.0f, 0.01f, 0.0f, 0.0f },
};

class ParameterTest : public ::testing::Test
{
protected:
    VarnokCompAudioProcessor processor;
};
} // namespace

TEST_F (ParameterTest, LayoutHasTheEightParametersInOrderWithTheirRanges)
{
    const auto& params = processor.getParameters();
    ASSERT_EQ (params.size(), 8);

    for (size_t i = 0; i < std::size (parameterTable); ++i)
    {
        const auto& row = parameterTable[i];
        SCOPED_TRACE (row.id);
        auto* p = dynamic_cast<juce::AudioParameterFloat*> (params[(int) i]);
        ASSERT_NE (p, nullptr);
        EXPECT_EQ (p->getParameterID(), row.id);
        EXPECT_EQ (p->getVersionHint(), 1);
        EXPECT_EQ (p->getName (100), row.name);
        EXPECT_EQ (p->getLabel(), "");
        EXPECT_TRUE (p->isAutomatable());
        EXPECT_FALSE (p->isMetaParameter());
        EXPECT_EQ (p->getCategory(), juce::AudioProcessorParameter::genericParameter);
        EXPECT_FLOAT_EQ (p->range.start, row.start);
        EXPECT_FLOAT_EQ (p->range.end, row.end);
        EXPECT_FLOAT_EQ (p->range.interval, row.interval);
        EXPECT_FALSE (p->range.symmetricSkew);
        EXPECT_FLOAT_EQ (p->get(), row.defaultValue);
        EXPECT_NEAR (p->convertFrom0to1 (0.5f), row.centre, 1.0e-3f * std::abs (row.end - row.start));
    }

    auto* bypass = dynamic_cast<varnok::SnappedBool*> (params[7]);
    ASSERT_NE (bypass, nullptr);
    EXPECT_EQ (bypass->getParameterID(), "bypass");
    EXPECT_EQ (bypass->getName (100), "Bypass");
    EXPECT_EQ (bypass->getValue(), 0.0f);
}

TEST_F (ParameterTest, SkewFactorsComeFromTheCentreValues)
{
    const std::pair<const char*, float> skews[] = { { "ratio", 0.232684f }, { "attack", 0.215210f }, { "release", 0.243610f } };

    for (const auto& [id, skew] : skews)
    {
        auto* p = dynamic_cast<juce::AudioParameterFloat*> (processor.apvts.getParameter (id));
        ASSERT_NE (p, nullptr);
        EXPECT_NEAR (p->range.skew, skew, 1.0e-6f) << id;
    }

    const auto range = varnok::makeSkewedRange (1.0f, 60.0f, 4.0f);
    EXPECT_EQ (range.interval, 0.0f);
    EXPECT_NEAR (range.convertFrom0to1 (0.5f), 4.0f, 1.0e-4f);
}

TEST (ValueTextTest, FormatsAndBoundaries)
{
    using ToText = juce::String (*) (float, int);
    const std::tuple<ToText, float, const char*> texts[] = {
        { varnok::ratioToText, 59.99f, "inf:1" },          { varnok::ratioToText, 60.0f, "inf:1" },
        { varnok::ratioToText, 59.98f, "59.98:1" },        { varnok::ratioToText, 1.0f, "1.00:1" },
        { varnok::ratioToText, 4.0f, "4.00:1" },           { varnok::millisecondsToText, 9.999f, "10.00 ms" },
        { varnok::millisecondsToText, 10.0f, "10.0 ms" },  { varnok::millisecondsToText, 0.02f, "0.02 ms" },
        { varnok::millisecondsToText, 2500.0f, "2500.0 ms" }, { varnok::millisecondsToText, 150.0f, "150.0 ms" },
        { varnok::decibelsToText, -18.0f, "-18.0 dB" },    { varnok::decibelsToText, 24.0f, "24.0 dB" },
        { varnok::decibelsToText, -0.05f, "-0.1 dB" },     { varnok::decibelsToText, 0.0f, "0.0 dB" },
    };

    for (const auto& [toText, value, expected] : texts)
        EXPECT_EQ (toText (value, 3), expected) << value;

    EXPECT_EQ (varnok::millisecondsToText (9.994f, 0), "9.99 ms");
    EXPECT_EQ (varnok::millisecondsToText (9.996f, 0), "10.00 ms");
}

TEST_F (ParameterTest, ParametersUseTheirTextFunctions)
{
    const std::tuple<const char*, const char*, const char*, const char*> texts[] = {
        // id, text at the default, at the start and at the end of the range. A host asks with a
        // normalised value: for attack the skewed range's round trip lands just below 10 ms.
        { "thresh", "-18.0 dB", "-60.0 dB", "0.0 dB" },    { "ratio", "4.00:1", "1.00:1", "inf:1" },
        { "attack", "10.00 ms", "0.02 ms", "250.0 ms" },    { "release", "150.0 ms", "5.00 ms", "2500.0 ms" },
        { "makeup", "0.0 dB", "-12.0 dB", "24.0 dB" },     { "in_gain", "0.0 dB", "-24.0 dB", "24.0 dB" },
        { "out_gain", "0.0 dB", "-24.0 dB", "24.0 dB" },   { "bypass", "Off", "Off", "On" },
    };

    for (const auto& [id, atDefault, atStart, atEnd] : texts)
    {
        auto* p = processor.apvts.getParameter (id);
        ASSERT_NE (p, nullptr);
        EXPECT_EQ (p->getText (p->getDefaultValue(), 0), atDefault) << id;
        EXPECT_EQ (p->getText (0.0f, 0), atStart) << id;
        EXPECT_EQ (p->getText (1.0f, 0), atEnd) << id;
    }
}

TEST (SnappedBoolTest, SetValueSnapsAndTextsFollowTheHalfWayPoint)
{
    varnok::SnappedBool p (varnok::ids::makeId ("bypass"), "Bypass", false);

    const std::pair<float, float> snaps[] = { { 0.5f, 1.0f }, { 0.4999f, 0.0f }, { 1.0f, 1.0f }, { 0.0f, 0.0f },
                                              { std::numeric_limits<float>::quiet_NaN(), 0.0f }, { 7.0f, 1.0f }, { -2.0f, 0.0f } };
    for (const auto& [in, stored] : snaps)
    {
        p.setValue (in);
        EXPECT_EQ (p.getValue(), stored) << in;
    }

    EXPECT_EQ (p.getText (0.5f, 10), "On");
    EXPECT_EQ (p.getText (0.49f, 10), "Off");
    EXPECT_EQ (p.getDefaultValue(), 0.0f);
    EXPECT_EQ (p.getNumSteps(), 2);
    EXPECT_TRUE (p.isDiscrete());
    EXPECT_TRUE (p.isBoolean());
    EXPECT_EQ (p.getNormalisableRange().interval, 1.0f);

    for (auto* on : { "on", "ON", "Yes", "TRUE", "1", "2", "-1", "  +3x" })
        EXPECT_EQ (p.getValueForText (on), 1.0f) << on;

    for (auto* off : { "off", "no", "false", "0", "0.9", "", "true ", "abc", "-0", "00" })
        EXPECT_EQ (p.getValueForText (off), 0.0f) << off;
}

TEST (SnappedBoolTest, OptionalTextFunctionsTakeOver)
{
    varnok::SnappedBool::Attributes attributes;
    attributes.stringFromBool = [] (bool on, int maxLength) { return juce::String (on ? "yes" : "no") + juce::String (maxLength); };
    attributes.boolFromString = [] (const juce::String& text) { return text == "ja"; };
    varnok::SnappedBool p (varnok::ids::makeId ("x"), "X", true, std::move (attributes));

    EXPECT_EQ (p.getValue(), 1.0f);
    EXPECT_EQ (p.getDefaultValue(), 1.0f);
    EXPECT_EQ (p.getText (1.0f, 4), "yes4");
    EXPECT_EQ (p.getValueForText ("ja"), 1.0f);
    EXPECT_EQ (p.getValueForText ("on"), 0.0f);
}

TEST_F (ParameterTest, IdsOfThePaidEditionAreNeverCreated)
{
    for (auto* id : { "knee", "mix", "detect", "character", "sc_hpf", "sc_lpf", "stereo_mode", "link", "lookahead", "auto_release", "auto_gain" })
    {
        EXPECT_EQ (processor.apvts.getParameter (id), nullptr) << id;
        EXPECT_EQ (processor.apvts.getRawParameterValue (id), nullptr) << id;
        EXPECT_FALSE (processor.apvts.state.getChildWithProperty ("id", id).isValid()) << id;
    }
}

TEST_F (ParameterTest, StateTreeHoldsOnePlainValuePerParameter)
{
    processor.apvts.getParameter ("ratio")->setValueNotifyingHost (processor.apvts.getParameter ("ratio")->convertTo0to1 (8.0f));
    processor.apvts.getParameter ("bypass")->setValueNotifyingHost (1.0f);
    const auto state = processor.apvts.copyState();

    EXPECT_EQ (state.getType().toString(), "PARAMS");
    EXPECT_EQ (state.getNumChildren(), 8);
    EXPECT_NEAR ((float) state.getChildWithProperty ("id", "ratio").getProperty ("value"), 8.0f, 1.0e-4f);
    EXPECT_EQ ((float) state.getChildWithProperty ("id", "bypass").getProperty ("value"), 1.0f);
    EXPECT_EQ ((float) state.getChildWithProperty ("id", "thresh").getProperty ("value"), -18.0f);
}
