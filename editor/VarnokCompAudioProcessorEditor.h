#pragma once

#include "VarnokKnobLookAndFeel.h"
#include "VarnokScaledEditor.h"
#include "widgets/CompGraph.h"
#include "widgets/GRMeter.h"
#include "widgets/LabeledKnob.h"
#include "widgets/LevelMeter.h"
#include "widgets/PresetPanel.h"

#include <array>
#include <memory>

class VarnokCompAudioProcessor;

// The plug-in's editor: header, top bar (presets, A/B, undo), meters, graph and six sections of
// knobs and switches, all on the shell's 1460 by 620 design canvas.
class VarnokCompAudioProcessorEditor : public VarnokScaledEditor
{
public:
    explicit VarnokCompAudioProcessorEditor (VarnokCompAudioProcessor& p);
    ~VarnokCompAudioProcessorEditor() override;

    juce::ValueTree getStateTree() override;
    int isEnglish() override;
    void layoutContent() override;
    void paintContent (juce::Graphics& g) override;
    juce::Component* getPresetPanel() override;
    void onTick() override;

    bool keyPressed (const juce::KeyPress& key) override;

    void refreshPresetCombo();
    void stepPreset (int delta);
    void selectFactoryProgram (int index);
    void loadUserPresetByName (const juce::String& name);
    void updateABButtons();

    // Draws the 26 by 11 "PRO" badge at the top right corner of the area.
    static void drawProBadge (juce::Graphics& g, juce::Rectangle<int> area);
    static void drawSectionPanel (juce::Graphics& g, juce::Rectangle<int> area, juce::Colour accent);

    // The small button that opens the preset panel: a 2 by 2 grid of squares.
    class GridButton : public juce::Button
    {
    public:
        GridButton();
        void paintButton (juce::Graphics& g, bool highlighted, bool down) override;
    };

private:
    friend struct EditorTestAccess; // lets the tests reach the controls

    void setupPresetBar();
    void setupSections();
    void styleToggleButton (juce::TextButton& button, juce::Colour onColour, const juce::String& tooltip);
    static void styleSectionLabel (juce::Label& label, const juce::String& text, juce::Colour accent);
    void addDisabledChoiceBox (juce::ComboBox& box, const juce::StringArray& choices);
    void showPresetPanel();
    void undoOrRedo (bool redo);

    VarnokCompAudioProcessor& processorRef;
    VarnokKnobLookAndFeel knobLookAndFeel;

    std::unique_ptr<CompGraph> graph;
    std::unique_ptr<LevelMeter> levelMeter;
    std::unique_ptr<GRMeter> grMeter;

    std::unique_ptr<LabeledKnob> inKnob, threshKnob, ratioKnob, kneeKnob, attackKnob, releaseKnob, makeupKnob, mixKnob, outKnob;
    juce::Label detectLabel;
    juce::ComboBox detectBox;
    std::unique_ptr<LabeledKnob> linkKnob, lookaheadKnob;
    juce::ComboBox stereoBox;
    std::unique_ptr<LabeledKnob> hpfKnob, lpfKnob;
    juce::ComboBox sidechainBox;
    juce::TextButton listenButton { "LISTEN" };
    juce::TextButton bypassButton { "BYPASS" };
    std::unique_ptr<juce::AudioProcessorValueTreeState::ButtonAttachment> bypassAttachment;
    juce::Label characterLabel;
    juce::ComboBox characterBox;
    juce::TextButton autoGainButton { "AUTO GAIN" };
    juce::TextButton autoReleaseButton { "AUTO" };

    juce::TextButton prevButton { "<" }, nextButton { ">" }, initButton { "INIT" };
    juce::TextButton getProButton;
    juce::ComboBox presetBox;
    GridButton presetsButton;
    std::unique_ptr<PresetPanel> presetPanel;
    juce::TextButton abButtonA { "A" }, abButtonB { "B" };
    juce::TextButton abCopyButton { "A>B" };
    int lastAbSlot = -1;
    int lastProgram = -1;
    juce::TextButton undoButton { "UNDO" }, redoButton { "REDO" };
    int english = 1;

    juce::Rectangle<int> graphArea;
    std::array<juce::Rectangle<int>, 6> sectionAreas;
    std::array<juce::Label, 6> sectionLabels;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VarnokCompAudioProcessorEditor)
};
