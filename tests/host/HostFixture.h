#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <memory>

namespace varnok::test
{
// Path of the built "VARNOK COMP Free.vst3" bundle, from VARNOK_VST3_BUNDLE.
juce::String bundlePath();

// The plug-in's description as JUCE's VST3 hosting finds it in the bundle.
juce::PluginDescription findDescription();

// A new instance of the plug-in, created through JUCE's VST3 hosting as a host would.
std::unique_ptr<juce::AudioPluginInstance> createHostedInstance (double sampleRate = 48000.0, int blockSize = 512);
} // namespace varnok::test
