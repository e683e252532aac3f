#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <map>
#include <tuple>

// The editor's look: dark rotary knobs with a coloured value arc, labels whose text shrinks to
// fit, dark combo boxes and menus, and a power-symbol toggle. Installed on the editor alone, so
// everything below it inherits it.
class VarnokKnobLookAndFeel : public juce::LookAndFeel_V4
{
public:
    VarnokKnobLookAndFeel();
    ~VarnokKnobLookAndFeel() override;

    void drawToggleButton (juce::Graphics& g, juce::ToggleButton& button, bool highlighted, bool down) override;
    void drawLabel (juce::Graphics& g, juce::Label& label) override;
    void drawRotarySlider (juce::Graphics& g, int x, int y, int width, int height, float sliderPos,
                           float rotaryStartAngle, float rotaryEndAngle, juce::Slider& slider) override;

    // The font that drawLabel uses for this text in a text area of the given width: the label's
    // font, lowered in 0.5 steps while the text is too wide, no further once it is at 9 or below.
    juce::Font fitFontToWidth (juce::Font font, const juce::String& text, float availableWidth);

    // Width of the text laid out as one line, trailing spaces included.
    float measureLineWidth (const juce::Font& font, const juce::String& text);

    static constexpr juce::uint32 trackColour = 0xff31363f;
    static constexpr juce::uint32 bodyTopColour = 0xff3c424c;
    static constexpr juce::uint32 bodyBottomColour = 0xff23272e;
    static constexpr juce::uint32 rimColour = 0x30ffffff;
    static constexpr juce::uint32 pointerColour = 0xffffffff;
    static constexpr juce::uint32 toggleOffColour = 0xff5a626e;

private:
    // Laying text out means shaping it, which costs more than drawing a whole knob; the same
    // captions and values are measured on every repaint, so their widths are remembered.
    using MeasureKey = std::tuple<juce::String, juce::String, juce::String, float, float, float>;
    std::map<MeasureKey, float> measuredWidths;
    static constexpr size_t maxMeasuredWidths = 1024;
};
