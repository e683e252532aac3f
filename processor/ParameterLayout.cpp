#include "ParameterLayout.h"

#include "ParameterIds.h"
#include "SnappedBool.h"

#include <charconv>
#include <cmath>

namespace
{
// Fixed-point, correctly rounded, with a point as separator whatever the host's locale.
juce::String fixed (float value, int decimals, const char* suffix)
{
    char text[400];
    const auto result = std::to_chars (text, text + sizeof (text), (double) value, std::chars_format::fixed, decimals);
    return juce::String (text, (size_t) (result.ptr - text)) + suffix;
}

std::unique_ptr<juce::AudioParameterFloat> makeFloat (const char* id,
                                                      const char* name,
                                                      juce::NormalisableRange<float> range,
                                                      float defaultValue,
                                                      juce::String (*toText) (float, int))
{
    return std::make_unique<juce::AudioParameterFloat> (varnok::ids::makeId (id),
                                                        name,
                                                        range,
                                                        defaultValue,
                                                        juce::AudioParameterFloatAttributes().withStringFromValueFunction (toText));
}
} // namespace

juce::String varnok::ratioToText (float value, int)
{
    if (value >= 59.99f)
        return "inf:1";

    return fixed (value, 2, ":1");
}

juce::String varnok::decibelsToText (float value, int) { return fixed (value, 1, " dB"); }

juce::String varnok::millisecondsToText (float value, int) { return fixed (value, value < 10.0f ? 2 : 1, " ms"); }

juce::NormalisableRange<float> varnok::makeSkewedRange (float start, float end, float centre)
{
    juce::NormalisableRange<float> range (start, end, 0.0f);
    range.skew = std::log (0.5f) / std::log ((centre - start) / (end - start));
    return range;
}

juce::AudioProcessorValueTreeState::ParameterLayout varnok::makeParameterLayout()
{
    namespace ids = varnok::ids;
    juce::AudioProcessorValueTreeState::ParameterLayout layout;

    layout.add (makeFloat (ids::thresh, "Threshold", { -60.0f, 0.0f, 0.01f }, -18.0f, decibelsToText));
    layout.add (makeFloat (ids::ratio, "Ratio", varnok::makeSkewedRange (1.0f, 60.0f, 4.0f), 4.0f, ratioToText));
    layout.add (makeFloat (ids::attack, "Attack", varnok::makeSkewedRange (0.02f, 250.0f, 10.0f), 10.0f, millisecondsToText));
    layout.add (makeFloat (ids::release, "Release", varnok::makeSkewedRange (5.0f, 2500.0f, 150.0f), 150.0f, millisecondsToText));
    layout.add (makeFloat (ids::makeup, "Makeup", { -12.0f, 24.0f, 0.01f }, 0.0f, decibelsToText));
    layout.add (makeFloat (ids::inGain, "Input Gain", { -24.0f, 24.0f, 0.01f }, 0.0f, decibelsToText));
    layout.add (makeFloat (ids::outGain, "Output Gain", { -24.0f, 24.0f, 0.01f }, 0.0f, decibelsToText));
    layout.add (std::make_unique<varnok::SnappedBool> (ids::makeId (ids::bypass), "Bypass", false));

    return layout;
}
