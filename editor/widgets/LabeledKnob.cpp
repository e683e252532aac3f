#include "LabeledKnob.h"

#include "ProBadge.h"

namespace
{
constexpr int textBoxWidth = 62;
constexpr int textBoxHeight = 15;

// A display-only knob shows its fixed text whatever position it is given.
std::function<juce::String (double)> displayTextFunction (juce::String text)
{
    return [text] (double) { return text; };
}
} // namespace

LabeledKnob::LabeledKnob (juce::AudioProcessorValueTreeState& state, const juce::String& parameterId,
                          const juce::String& caption, juce::Colour accent)
{
    slider.setSliderStyle (juce::Slider::RotaryHorizontalVerticalDrag);
    slider.setTextBoxStyle (juce::Slider::TextBoxBelow, false, textBoxWidth, textBoxHeight);
    slider.setColour (juce::Slider::rotarySliderFillColourId, accent);
    addAndMakeVisible (slider);

    setUpCaption (caption);
    addAndMakeVisible (label);

    // Without a parameter of that ID JUCE attaches nothing and the slider keeps its own range.
    attachment = std::make_unique<juce::AudioProcessorValueTreeState::SliderAttachment> (state, parameterId, slider);
}

LabeledKnob::LabeledKnob (const juce::String& caption, juce::Colour accent, const juce::String& displayText,
                          double value)
{
    slider.setRange (0.0, 1.0, 0.0);
    slider.setValue (juce::jlimit (0.0, 1.0, value), juce::dontSendNotification);

    if (displayText.isNotEmpty())
        slider.textFromValueFunction = displayTextFunction (displayText);

    slider.setSliderStyle (juce::Slider::RotaryHorizontalVerticalDrag);

    if (displayText.isNotEmpty())
        slider.setTextBoxStyle (juce::Slider::TextBoxBelow, false, textBoxWidth, textBoxHeight);
    else
        slider.setTextBoxStyle (juce::Slider::NoTextBox, false, 0, 0);

    slider.setColour (juce::Slider::rotarySliderFillColourId, accent);
    slider.setEnabled (false);
    addAndMakeVisible (slider);

    setUpCaption (caption);
    addAndMakeVisible (label);

    slider.updateText();

    // The slider is already disabled, so this keeps full alpha: only a lock by the editor dims.
    setLocked (true);
    setInterceptsMouseClicks (false, false);
    proLocked = true;
}

LabeledKnob::~LabeledKnob() = default;

void LabeledKnob::setUpCaption (const juce::String& caption)
{
    label.setText (caption, juce::dontSendNotification);
    label.setJustificationType (juce::Justification::centred);
    label.setColour (juce::Label::textColourId, juce::Colour (captionColour));
    label.setFont (juce::FontOptions (11.0f, juce::Font::plain));
}

void LabeledKnob::setLocked (bool locked)
{
    if (slider.isEnabled() != locked)
        return;

    slider.setEnabled (! locked);
    setAlpha (locked ? lockedAlpha : 1.0f);
}

void LabeledKnob::resized()
{
    const auto w = getWidth();
    const auto h = getHeight();

    auto size = h - 28;
    size = size < 24 ? 24 : juce::jmin (w, size);

    const auto block = juce::jmin (h, size + 28);
    const auto top = (h - block) / 2;
    const auto captionHeight = juce::jmin (13, block);
    const auto captionWidth = proLocked ? w - juce::jmin (w, 30) : w;

    label.setBounds (0, top, captionWidth, captionHeight);
    slider.setBounds (0, top + captionHeight, w, block - captionHeight);
}

void LabeledKnob::paint (juce::Graphics& g)
{
    if (! proLocked)
        return;

    varnok::drawProBadgeAt (g, { (float) getWidth() - 28.0f, 1.0f, 26.0f, 11.0f });
}
