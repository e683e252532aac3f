#include "GuiTestSupport.h"

#include "editor/VarnokKnobLookAndFeel.h"
#include "editor/widgets/LabeledKnob.h"
#include "editor/widgets/ProBadge.h"

#include <cmath>

namespace
{
constexpr juce::uint32 panelColour = 0xff161b26;
constexpr juce::uint32 compressionAccent = 0xff4a90e2;

struct ProbedKnob : LabeledKnob
{
    using LabeledKnob::LabeledKnob;
    using LabeledKnob::label;
    using LabeledKnob::slider;
};

// The knob inherits the look-and-feel from its parent, as under the editor.
class KnobTest : public ::testing::Test
{
protected:
    KnobTest() { host.setLookAndFeel (&lnf); }
    ~KnobTest() override { host.setLookAndFeel (nullptr); }

    void place (LabeledKnob& knob, int w, int h)
    {
        host.setSize (w, h);
        host.addAndMakeVisible (knob);
        knob.setBounds (0, 0, w, h);
    }

    VarnokCompAudioProcessor processor;
    VarnokKnobLookAndFeel lnf;
    juce::Component host;
};

struct LayoutCase
{
    int w, h;
    bool badge;
    juce::Rectangle<int> caption, slider;
};

TEST_F (KnobTest, CaptionAboveRotaryAtEverySize)
{
    const LayoutCase cases[] = {
        { 91, 114, false, { 0, 0, 91, 13 }, { 0, 13, 91, 101 } },
        { 91, 114, true, { 0, 0, 61, 13 }, { 0, 13, 91, 101 } },
        { 91, 40, false, { 0, 0, 91, 13 }, { 0, 13, 91, 27 } },   // size raised to 24, block 40
        { 300, 40, false, { 0, 0, 300, 13 }, { 0, 13, 300, 27 } },
        { 60, 200, false, { 0, 56, 60, 13 }, { 0, 69, 60, 75 } },
        { 25, 114, true, { 0, 30, 0, 13 }, { 0, 43, 25, 40 } },   // narrow: no room beside the badge
    };

    for (const auto& c : cases)
    {
        auto knob = c.badge ? std::make_unique<ProbedKnob> ("KNEE", juce::Colour (compressionAccent), "6.0 dB", 0.2)
                            : std::make_unique<ProbedKnob> (processor.apvts, "thresh", "THRESH", juce::Colour (compressionAccent));
        knob->setSize (c.w, c.h);
        EXPECT_EQ (knob->label.getBounds(), c.caption) << c.w << "x" << c.h << " badge " << c.badge;
        EXPECT_EQ (knob->slider.getBounds(), c.slider) << c.w << "x" << c.h << " badge " << c.badge;
    }
}

TEST_F (KnobTest, AttachedKnobFollowsAndMovesItsParameter)
{
    ProbedKnob knob (processor.apvts, "thresh", "THRESH", juce::Colour (compressionAccent));
    auto* parameter = dynamic_cast<juce::RangedAudioParameter*> (processor.apvts.getParameter ("thresh"));
    ASSERT_NE (parameter, nullptr);

    EXPECT_TRUE (knob.slider.isEnabled());
    EXPECT_EQ (knob.slider.getSliderStyle(), juce::Slider::RotaryHorizontalVerticalDrag);
    EXPECT_EQ (knob.slider.getTextBoxPosition(), juce::Slider::TextBoxBelow);
    EXPECT_TRUE (knob.slider.isTextBoxEditable());
    EXPECT_EQ (knob.slider.getTextBoxWidth(), 62);
    EXPECT_EQ (knob.slider.getTextBoxHeight(), 15);
    EXPECT_EQ (knob.label.getText(), "THRESH");
    EXPECT_FLOAT_EQ (knob.label.getFont().getHeight(), 11.0f);
    EXPECT_EQ (knob.label.findColour (juce::Label::textColourId).getARGB(), 0xff7f8a9c);
    EXPECT_DOUBLE_EQ (knob.slider.getMinimum(), parameter->getNormalisableRange().start);
    EXPECT_DOUBLE_EQ (knob.slider.getMaximum(), parameter->getNormalisableRange().end);

    guitest::setParameter (processor, "thresh", -30.0f);
    EXPECT_NEAR (knob.slider.getValue(), guitest::rawValue (processor, "thresh"), 1.0e-4);
    EXPECT_EQ (knob.slider.getTextFromValue (knob.slider.getValue()), parameter->getCurrentValueAsText());

    knob.slider.setValue (-6.0, juce::sendNotificationSync);
    EXPECT_NEAR (guitest::rawValue (processor, "thresh"), -6.0f, 0.051f);
}

TEST_F (KnobTest, UnknownParameterLeavesAnUnattachedSlider)
{
    ProbedKnob knob (processor.apvts, "knee", "KNEE", juce::Colour (compressionAccent));
    EXPECT_DOUBLE_EQ (knob.slider.getMinimum(), 0.0);
    EXPECT_DOUBLE_EQ (knob.slider.getMaximum(), 10.0);
    knob.slider.setValue (3.0, juce::sendNotificationSync);
    EXPECT_DOUBLE_EQ (knob.slider.getValue(), 3.0);
}

TEST_F (KnobTest, DisplayOnlyKnobShowsItsFixedTextAndPosition)
{
    ProbedKnob off ("HPF", juce::Colour (0xff33c1c9), "Off", 0.0);
    EXPECT_FALSE (off.slider.isEnabled());
    EXPECT_FLOAT_EQ (off.getAlpha(), 1.0f);
    EXPECT_EQ (off.slider.getTextFromValue (0.37), "Off");
    EXPECT_EQ (off.slider.getTextFromValue (1.0), "Off");
    EXPECT_EQ (off.slider.getTextBoxPosition(), juce::Slider::TextBoxBelow);

    bool clicks = true, childClicks = true;
    off.getInterceptsMouseClicks (clicks, childClicks);
    EXPECT_FALSE (clicks);
    EXPECT_FALSE (childClicks);

    ProbedKnob noText ("LINK", juce::Colour (0xffe9608e), "", 0.5);
    EXPECT_EQ (noText.slider.getTextBoxPosition(), juce::Slider::NoTextBox);

    ProbedKnob below ("MIX", juce::Colour (0xffe0a13a), "100 %", -0.5);
    ProbedKnob above ("MIX", juce::Colour (0xffe0a13a), "100 %", 1.7);
    EXPECT_DOUBLE_EQ (below.slider.getValue(), 0.0);
    EXPECT_DOUBLE_EQ (above.slider.getValue(), 1.0);
}

TEST_F (KnobTest, LockingDimsOnceAndUnlockingRestores)
{
    ProbedKnob knob (processor.apvts, "makeup", "MAKEUP", juce::Colour (0xffe0a13a));

    knob.setLocked (false); // not locked: nothing to undo
    EXPECT_TRUE (knob.slider.isEnabled());
    EXPECT_FLOAT_EQ (knob.getAlpha(), 1.0f);

    knob.setLocked (true);
    knob.setLocked (true);
    EXPECT_FALSE (knob.slider.isEnabled());
    EXPECT_NEAR (knob.getAlpha(), 0.45f, 0.005f);

    knob.setLocked (false);
    EXPECT_TRUE (knob.slider.isEnabled());
    EXPECT_FLOAT_EQ (knob.getAlpha(), 1.0f);

    // A display-only knob is disabled from the start and never dimmed by a lock.
    ProbedKnob display ("KNEE", juce::Colour (compressionAccent), "6.0 dB", 0.2);
    display.setLocked (true);
    EXPECT_FLOAT_EQ (display.getAlpha(), 1.0f);
}

//==============================================================================
// Centre and arc radius of the rotary that the look-and-feel draws in the knob's slider.
struct RotaryGeometry
{
    juce::Point<float> centre;
    float arcRadius;
};

RotaryGeometry rotaryOf (ProbedKnob& knob)
{
    const auto layout = knob.slider.getLookAndFeel().getSliderLayout (knob.slider);
    const auto bounds = layout.sliderBounds.translated (knob.slider.getX(), knob.slider.getY()).toFloat();
    const auto w = juce::jmax (bounds.getWidth() - 6.0f, 0.0f);
    const auto h = juce::jmax (bounds.getHeight() - 6.0f, 0.0f);
    return { { bounds.getX() + 3.0f + w / 2.0f, bounds.getY() + 3.0f + h / 2.0f }, juce::jmin (w, h) / 2.0f - 2.0f };
}

juce::Point<int> pointAt (const RotaryGeometry& r, float angle)
{
    return { (int) std::floor (r.centre.x + r.arcRadius * std::sin (angle)),
             (int) std::floor (r.centre.y - r.arcRadius * std::cos (angle)) };
}

int brightest (const juce::Image& image, juce::Rectangle<int> area)
{
    auto best = 0;

    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
            best = juce::jmax (best, juce::roundToInt (image.getPixelAt (x, y).getPerceivedBrightness() * 255.0f));

    return best;
}

TEST_F (KnobTest, AttachedKnobDrawsItsValueArcAtTheParameterValue)
{
    ProbedKnob knob (processor.apvts, "thresh", "THRESH", juce::Colour (compressionAccent));
    place (knob, 91, 114);

    auto* parameter = processor.apvts.getParameter ("thresh");
    parameter->setValueNotifyingHost (0.7f);
    const auto proportion = (float) knob.slider.valueToProportionOfLength (knob.slider.getValue());
    ASSERT_NEAR (proportion, 0.7f, 0.01f);

    const auto image = guitest::render (host, juce::Colour (panelColour));
    guitest::saveArtefact (image, "knob_thresh_attached");

    const auto rotary = rotaryOf (knob);
    const auto params = knob.slider.getRotaryParameters();
    const auto angleAt = [&] (float p) { return params.startAngleRadians + p * (params.endAngleRadians - params.startAngleRadians); };

    for (const float p : { 0.1f, 0.4f, proportion - 0.05f })
    {
        const auto pixel = pointAt (rotary, angleAt (p));
        EXPECT_TRUE (guitest::pixelIs (image, pixel.x, pixel.y, juce::Colour (compressionAccent), 10)) << "arc at " << p;
    }

    for (const float p : { proportion + 0.05f, 0.95f })
    {
        const auto pixel = pointAt (rotary, angleAt (p));
        EXPECT_TRUE (guitest::pixelIs (image, pixel.x, pixel.y, juce::Colour (VarnokKnobLookAndFeel::trackColour), 10))
            << "track at " << p;
    }

    // The value box below the rotary shows the parameter's text in white; the caption sits above.
    const auto box = knob.slider.getLookAndFeel().getSliderLayout (knob.slider).textBoxBounds.translated (0, knob.slider.getY());
    EXPECT_GT (brightest (image, box), 200);
    EXPECT_GT (guitest::countPixelsNear (image, { 20, 1, 51, 11 }, juce::Colour (0xff7f8a9c), 30), 10);
    // No badge on an attached knob.
    EXPECT_EQ (guitest::countPixelsNear (image, { 63, 1, 28, 11 }, guitest::over (juce::Colour (panelColour), varnok::proBadgeFillColour), 6), 0);
}

TEST_F (KnobTest, DisplayOnlyKnobCarriesTheProBadgeAndAHalfAlphaValueBox)
{
    ProbedKnob knob ("KNEE", juce::Colour (compressionAccent), "6.0 dB", 0.2);
    place (knob, 92, 114);

    const auto image = guitest::render (host, juce::Colour (panelColour));
    guitest::saveArtefact (image, "knob_knee_display_only");

    // Badge at (W - 28, 1, 26, 11): its fill left of the centred text, dark text inside.
    const auto fill = guitest::over (juce::Colour (panelColour), varnok::proBadgeFillColour);
    EXPECT_TRUE (guitest::pixelIs (image, 66, 6, fill, 3));
    EXPECT_TRUE (guitest::pixelIs (image, 88, 6, fill, 3));
    EXPECT_GT (guitest::countPixelsNear (image, { 64, 1, 26, 11 }, fill, 3), 120);
    EXPECT_GT (guitest::countPixelsNear (image, { 68, 2, 18, 9 }, juce::Colour (varnok::proBadgeTextColour), 40), 8);
    EXPECT_TRUE (guitest::pixelIs (image, 62, 6, juce::Colour (panelColour), 3)); // left of the badge

    const auto rotary = rotaryOf (knob);
    const auto params = knob.slider.getRotaryParameters();
    const auto value = pointAt (rotary, params.startAngleRadians + 0.1f * (params.endAngleRadians - params.startAngleRadians));
    EXPECT_TRUE (guitest::pixelIs (image, value.x, value.y, juce::Colour (compressionAccent), 10));

    const auto box = knob.slider.getLookAndFeel().getSliderLayout (knob.slider).textBoxBounds.translated (0, knob.slider.getY());
    const auto boxBrightness = brightest (image, box);
    EXPECT_GT (boxBrightness, 90);
    EXPECT_LT (boxBrightness, 160);
}
} // namespace
