#pragma once

#include "processor/MeterSource.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <array>

// Peak meter of the main bus before ("IN") and after ("OUT") the compressor, a left and a right bar
// each on a +6..-48 dB scale, with hold lines and a readout of the louder hold per group. Polls the
// source on its own 33 ms timer.
class LevelMeter : public juce::Component,
                   public juce::Timer
{
public:
    explicit LevelMeter (MeterSource& source);
    ~LevelMeter() override;

    void paint (juce::Graphics& g) override;
    void timerCallback() override;

    // Readout of one group: the louder of the two values with one decimal, "-inf" at -48 or below.
    static juce::String formatDbReadout (float a, float b);

    static constexpr int timerIntervalMs = 33;
    static constexpr float silenceDb = -100.0f;
    static constexpr float scaleTopDb = 6.0f;
    static constexpr float scaleBottomDb = -48.0f;

protected:
    // Entries: IN left, IN right, OUT left, OUT right. Protected so that tests can follow the ballistics.
    MeterSource& source;
    std::array<float, 4> levelDb;
    std::array<float, 4> holdDb;

private:
    struct Layout;

    static float gainToDb (float peak);
    static float dbToY (float db, juce::Rectangle<float> r);
    static std::array<juce::Rectangle<float>, 2> splitBarPair (juce::Rectangle<float> group);
    static void drawBar (juce::Graphics& g, juce::Rectangle<float> bar, float db);

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (LevelMeter)
};
