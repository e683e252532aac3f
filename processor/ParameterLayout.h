#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

namespace varnok
{
// Value-to-text functions of the parameters; the maximum length is ignored.
juce::String ratioToText (float value, int maximumStringLength);
juce::String decibelsToText (float value, int maximumStringLength);
juce::String millisecondsToText (float value, int maximumStringLength);

// A continuous range whose normalised middle (0.5) falls on the given centre value.
juce::NormalisableRange<float> makeSkewedRange (float start, float end, float centre);

// The eight parameters of the plug-in, in host order.
juce::AudioProcessorValueTreeState::ParameterLayout makeParameterLayout();
} // namespace varnok
