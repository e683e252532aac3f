#include "HostFixture.h"

#include <gtest/gtest.h>

namespace varnok::test
{
juce::String bundlePath()
{
    const auto path = juce::SystemStats::getEnvironmentVariable ("VARNOK_VST3_BUNDLE", {});
    EXPECT_TRUE (juce::File (path).isDirectory()) << "VARNOK_VST3_BUNDLE does not name the built bundle: " << path;
    return path;
}

juce::PluginDescription findDescription()
{
    juce::VST3PluginFormat format;
    juce::OwnedArray<juce::PluginDescription> found;
    format.findAllTypesForFile (found, bundlePath());
    EXPECT_EQ (found.size(), 1);
    return found.isEmpty() ? juce::PluginDescription() : *found.getFirst();
}

std::unique_ptr<juce::AudioPluginInstance> createHostedInstance (double sampleRate, int blockSize)
{
    juce::VST3PluginFormat format;
    juce::String error;
    auto instance = format.createInstanceFromDescription (findDescription(), sampleRate, blockSize, error);
    EXPECT_NE (instance, nullptr) << error;
    return instance;
}
} // namespace varnok::test
