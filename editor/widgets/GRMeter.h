#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class VarnokCompAudioProcessor;

// Gain-reduction meter: one bar hanging from the top on a 0..-24 dB scale, a hold line, a scale
// every 6 dB and a readout. Polls the engine's gain reduction on its own 33 ms timer.
class GRMeter : public juce::Component,
                public juce::Timer
{
public:
    explicit GRMeter (VarnokCompAudioProcessor& processor);
    ~GRMeter() override;

    void paint (juce::Graphics& g) override;
    void timerCallback() override;

    static constexpr int timerIntervalMs = 33;
    static constexpr float floorDb = -24.0f;
    static constexpr float returnStepDb = 0.35f;
    static constexpr float holdReturnStepDb = 0.06f;
    static constexpr int holdTicksAfterPeak = 18;

protected:
    // Protected so that tests can follow the ballistics.
    VarnokCompAudioProcessor& processor;
    float displayDb = 0.0f;
    float holdDb = 0.0f;
    int holdTicks = 0;

private:
    static float grToY (float db, juce::Rectangle<float> bar);

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (GRMeter)
};
