#pragma once

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

// A rotary slider with a caption above it, either attached to a parameter or display-only (a
// disabled knob of the paid edition showing a fixed text and position, marked "PRO"). The rotary,
// value box and caption are drawn by the editor's look-and-feel; the knob only adds the badge.
class LabeledKnob : public juce::Component
{
public:
    LabeledKnob (juce::AudioProcessorValueTreeState& state, const juce::String& parameterId,
                 const juce::String& caption, juce::Colour accent);
    LabeledKnob (const juce::String& caption, juce::Colour accent, const juce::String& displayText, double value);
    ~LabeledKnob() override;

    // Disables and dims the knob (or undoes that); asking for the state it is in changes nothing.
    void setLocked (bool locked);

    void paint (juce::Graphics& g) override;
    void resized() override;

    static constexpr juce::uint32 captionColour = 0xff7f8a9c;
    static constexpr float lockedAlpha = 0.45f;

protected:
    juce::Slider slider;
    juce::Label label;
    std::unique_ptr<juce::AudioProcessorValueTreeState::SliderAttachment> attachment;
    bool proLocked = false;

private:
    void setUpCaption (const juce::String& caption);

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (LabeledKnob)
};
