#pragma once

#include "processor/MeterSource.h"
#include "processor/PluginProcessor.h"

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cmath>

namespace guitest
{
// Paints a component with JUCE's software renderer over an opaque background, as on screen.
inline juce::Image render (juce::Component& component, juce::Colour background)
{
    juce::Image image (juce::Image::ARGB, juce::jmax (1, component.getWidth()), juce::jmax (1, component.getHeight()),
                       true, juce::SoftwareImageType());
    juce::Graphics g (image);
    g.fillAll (background);
    component.paintEntireComponent (g, true);
    return image;
}

// Rendered images land in the build tree so that a person can look at them.
inline void saveArtefact (const juce::Image& image, const juce::String& name)
{
    const juce::File folder (VARNOK_GUI_ARTEFACT_DIR);
    folder.createDirectory();
    const auto file = folder.getChildFile (name + ".png");
    file.deleteFile();

    juce::FileOutputStream stream (file);
    ASSERT_TRUE (stream.openedOk()) << file.getFullPathName();
    juce::PNGImageFormat png;
    ASSERT_TRUE (png.writeImageToStream (image, stream));
}

inline int channelDistance (juce::Colour a, juce::Colour b)
{
    return juce::jmax (std::abs ((int) a.getRed() - (int) b.getRed()),
                       std::abs ((int) a.getGreen() - (int) b.getGreen()),
                       std::abs ((int) a.getBlue() - (int) b.getBlue()));
}

// The opaque colour that a translucent colour gives when painted over an opaque background.
inline juce::Colour over (juce::Colour background, juce::uint32 argb)
{
    return background.overlaidWith (juce::Colour (argb));
}

inline ::testing::AssertionResult pixelIs (const juce::Image& image, int x, int y, juce::Colour expected,
                                           int tolerance = 3)
{
    const auto actual = image.getPixelAt (x, y);
    const auto distance = channelDistance (actual, expected);

    if (distance <= tolerance)
        return ::testing::AssertionSuccess();

    return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << actual.toDisplayString (true)
                                         << ", expected " << expected.toDisplayString (true)
                                         << " (distance " << distance << ")";
}

// The smallest distance to the colour within a square of the given radius around (x, y).
inline int nearestDistance (const juce::Image& image, int x, int y, juce::Colour expected, int radius)
{
    auto best = 255;

    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx)
            if (image.getBounds().contains (x + dx, y + dy))
                best = juce::jmin (best, channelDistance (image.getPixelAt (x + dx, y + dy), expected));

    return best;
}

inline int countPixelsNear (const juce::Image& image, juce::Rectangle<int> area, juce::Colour colour, int tolerance)
{
    auto count = 0;
    area = area.getIntersection (image.getBounds());

    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
            if (channelDistance (image.getPixelAt (x, y), colour) <= tolerance)
                ++count;

    return count;
}

// A meter source whose peaks the test sets directly.
class TestMeterSource : public MeterSource
{
public:
    void set (Stage stage, int channel, float peak) { peaks[index (stage, channel)] = peak; }

    void setAll (float inLeft, float inRight, float outLeft, float outRight)
    {
        peaks = { inLeft, inRight, outLeft, outRight };
    }

    float getPeak (Stage stage, int channel) const override { return peaks[index (stage, channel)]; }

private:
    static size_t index (Stage stage, int channel)
    {
        return (stage == Stage::input ? 0u : 2u) + (channel > 0 ? 1u : 0u);
    }

    std::array<float, 4> peaks {};
};

// Runs one block of a stereo sine through the real processor so that its peaks and engine values
// are those of real audio. An amplitude of 0 gives a silent block.
inline void processSine (VarnokCompAudioProcessor& processor, float amplitude, int numSamples = 512)
{
    juce::AudioBuffer<float> buffer (processor.getTotalNumInputChannels(), numSamples);

    for (int ch = 0; ch < buffer.getNumChannels(); ++ch)
        for (int i = 0; i < numSamples; ++i)
            buffer.setSample (ch, i, amplitude * (float) std::sin (2.0 * juce::MathConstants<double>::pi * 997.0 * i / 48000.0));

    // Exact peak at the first quarter period would need sample alignment; force it.
    for (int ch = 0; ch < buffer.getNumChannels(); ++ch)
        buffer.setSample (ch, 12, amplitude);

    juce::MidiBuffer midi;
    processor.processBlock (buffer, midi);
}

inline void setParameter (VarnokCompAudioProcessor& processor, const char* id, float plainValue)
{
    auto* parameter = processor.apvts.getParameter (id);
    ASSERT_NE (parameter, nullptr) << id;
    parameter->setValueNotifyingHost (parameter->convertTo0to1 (plainValue));
}

inline float rawValue (VarnokCompAudioProcessor& processor, const char* id)
{
    return processor.apvts.getRawParameterValue (id)->load();
}
} // namespace guitest
