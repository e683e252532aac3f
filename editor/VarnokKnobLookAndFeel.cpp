#include "VarnokKnobLookAndFeel.h"

VarnokKnobLookAndFeel::VarnokKnobLookAndFeel()
{
    setColour (juce::Slider::textBoxTextColourId, juce::Colour (0xffffffff));
    setColour (juce::Slider::textBoxOutlineColourId, juce::Colour (0x00000000));
    setColour (juce::ComboBox::backgroundColourId, juce::Colour (0xff2a2e36));
    setColour (juce::ComboBox::textColourId, juce::Colour (0xffffffff));
    setColour (juce::ComboBox::outlineColourId, juce::Colour (0xff3a3f49));
    setColour (juce::PopupMenu::backgroundColourId, juce::Colour (0xff23262d));
}

VarnokKnobLookAndFeel::~VarnokKnobLookAndFeel() = default;

//==============================================================================
void VarnokKnobLookAndFeel::drawRotarySlider (juce::Graphics& g, int x, int y, int width, int height,
                                              float sliderPos, float rotaryStartAngle, float rotaryEndAngle,
                                              juce::Slider& slider)
{
    const auto w = (float) juce::jmax (width - 6, 0);
    const auto h = (float) juce::jmax (height - 6, 0);
    const auto radius = juce::jmin (w, h) / 2.0f;
    const auto cx = (float) x + 3.0f + w / 2.0f;
    const auto cy = (float) y + 3.0f + h / 2.0f;
    const auto valueAngle = rotaryStartAngle + sliderPos * (rotaryEndAngle - rotaryStartAngle);
    const auto fill = slider.findColour (juce::Slider::rotarySliderFillColourId);
    const juce::PathStrokeType arcStroke (3.0f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded);
    const auto arcRadius = radius - 2.0f;

    juce::Path track;
    track.addCentredArc (cx, cy, arcRadius, arcRadius, 0.0f, rotaryStartAngle, rotaryEndAngle, true);
    g.setColour (juce::Colour (trackColour));
    g.strokePath (track, arcStroke);

    juce::Path value;
    value.addCentredArc (cx, cy, arcRadius, arcRadius, 0.0f, rotaryStartAngle, valueAngle, true);
    g.setColour (fill);
    g.strokePath (value, arcStroke);

    const auto r = radius - 6.0f;
    g.setGradientFill (juce::ColourGradient (juce::Colour (bodyTopColour), cx, cy - r,
                                             juce::Colour (bodyBottomColour), cx, cy + r, false));
    g.fillEllipse (cx - r, cy - r, 2.0f * r, 2.0f * r);

    const auto rimSize = juce::jmax (2.0f * r - 1.0f, 0.0f);
    g.setColour (juce::Colour (rimColour));
    g.drawEllipse (cx - r + 0.5f, cy - r + 0.5f, rimSize, rimSize, 1.0f);

    juce::Path pointer;
    pointer.addRoundedRectangle (-1.2f, 3.0f - r, 2.4f, 0.55f * r, 1.2f);
    g.setColour (juce::Colour (pointerColour));
    g.fillPath (pointer, juce::AffineTransform::rotation (valueAngle).translated (cx, cy));
}

//==============================================================================
float VarnokKnobLookAndFeel::measureLineWidth (const juce::Font& font, const juce::String& text)
{
    MeasureKey key { text, font.getTypefaceName(), font.getTypefaceStyle(), font.getHeight(),
                     font.getHorizontalScale(), font.getExtraKerningFactor() };

    if (const auto found = measuredWidths.find (key); found != measuredWidths.end())
        return found->second;

    juce::GlyphArrangement glyphs;
    glyphs.addLineOfText (font, text, 0.0f, 0.0f);
    const auto width = glyphs.getBoundingBox (0, -1, true).getWidth();

    // Value texts change as knobs move; start afresh rather than grow without bound.
    if (measuredWidths.size() >= maxMeasuredWidths)
        measuredWidths.clear();

    measuredWidths.emplace (std::move (key), width);
    return width;
}

juce::Font VarnokKnobLookAndFeel::fitFontToWidth (juce::Font font, const juce::String& text, float availableWidth)
{
    if (text.isEmpty() || availableWidth <= 0.0f)
        return font;

    for (;;)
    {
        if (font.getHeight() <= 9.0f)
            break;

        if (measureLineWidth (font, text) <= availableWidth)
            break;

        font.setHeight (font.getHeight() - 0.5f);
    }

    return font;
}

void VarnokKnobLookAndFeel::drawLabel (juce::Graphics& g, juce::Label& label)
{
    g.fillAll (label.findColour (juce::Label::backgroundColourId));

    if (label.isBeingEdited())
    {
        juce::LookAndFeel_V2::drawLabel (g, label);
        return;
    }

    const auto alpha = label.isEnabled() ? 1.0f : 0.5f;
    const auto textArea = label.getBorderSize().subtractedFrom (label.getLocalBounds());
    const auto text = label.getText();
    const auto font = fitFontToWidth (label.getFont(), text, (float) textArea.getWidth());

    g.setColour (label.findColour (juce::Label::textColourId).withMultipliedAlpha (alpha));
    g.setFont (font);
    g.drawText (text, textArea.toFloat(), label.getJustificationType(), false);

    g.setColour (label.findColour (juce::Label::outlineColourId).withMultipliedAlpha (alpha));
    g.drawRect (label.getLocalBounds(), 1);
}

//==============================================================================
void VarnokKnobLookAndFeel::drawToggleButton (juce::Graphics& g, juce::ToggleButton& button, bool, bool)
{
    const auto width = (float) button.getWidth();
    const auto height = (float) button.getHeight();
    const auto side = juce::jmin (width, height);
    const auto s = juce::jmax (side - 3.0f, 0.0f);
    const auto left = width / 2.0f - side / 2.0f + 1.5f;
    const auto top = height / 2.0f - side / 2.0f + 1.5f;
    const auto cx = left + s / 2.0f;
    const auto cy = top + s / 2.0f;

    const auto colour = button.getToggleState() ? button.findColour (juce::ToggleButton::tickColourId)
                                                : juce::Colour (toggleOffColour);
    const auto t = juce::jmax (side * 0.09f, 1.4f);
    const auto ringRadius = s / 2.0f - t;

    g.setColour (colour);

    juce::Path ring;
    ring.addCentredArc (cx, cy, ringRadius, ringRadius, 0.0f, 0.28f * juce::MathConstants<float>::pi,
                        1.72f * juce::MathConstants<float>::pi, true);
    g.strokePath (ring, juce::PathStrokeType (t, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));

    g.fillRoundedRectangle (cx - t / 2.0f, top + 0.4f * t, t, 0.4f * s, t / 2.0f);
}
