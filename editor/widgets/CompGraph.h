#pragma once

#include "processor/MeterSource.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <array>

class VarnokCompAudioProcessor;

// The editor's large display: a scrolling history of input, output and gain reduction on the left
// and the static transfer curve of the current settings with the live operating point on the
// right. Polls the processor on its own 33 ms timer; every paint rebuilds everything.
class CompGraph : public juce::Component,
                  public juce::Timer
{
public:
    explicit CompGraph (VarnokCompAudioProcessor& processor);
    ~CompGraph() override;

    void paint (juce::Graphics& g) override;
    void resized() override;
    void timerCallback() override;

    static constexpr int historyLength = 320;
    static constexpr int timerIntervalMs = 33;
    static constexpr float historyFloorDb = -60.0f;
    static constexpr float grFloorDb = -24.0f;
    static constexpr int curvePoints = 161;

protected:
    // Protected so that tests can check the rings and the panes.
    VarnokCompAudioProcessor& processor;
    std::array<float, historyLength> inputHistoryDb;
    std::array<float, historyLength> outputHistoryDb;
    std::array<float, historyLength> grHistoryDb;
    int writeIndex = 0;
    juce::Rectangle<float> historyArea;
    juce::Rectangle<float> curveArea;

    // Entry i of a ring in time order: 0 the oldest, historyLength - 1 the newest.
    float historyValue (const std::array<float, historyLength>& ring, int i) const;

private:
    float peakDb (MeterSource::Stage stage, float floorDb) const;
    float getParameterValue (const char* parameterId, float fallback) const;

    static void drawPane (juce::Graphics& g, juce::Rectangle<float> pane);
    static void drawLegendItem (juce::Graphics& g, juce::Rectangle<float>& row, juce::Colour swatch,
                                const juce::String& text, float textWidth);
    void drawHistory (juce::Graphics& g, juce::Rectangle<float> area);
    void drawTransferCurve (juce::Graphics& g, juce::Rectangle<float> area);

    static float historyX (int i, juce::Rectangle<float> plot);
    static float historyLevelY (float db, juce::Rectangle<float> plot);
    static float historyGrY (float gr, juce::Rectangle<float> plot);
    static float curveX (float db, juce::Rectangle<float> plot);
    static float curveY (float db, juce::Rectangle<float> plot);

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (CompGraph)
};
