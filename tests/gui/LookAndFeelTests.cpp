#include "GuiTestSupport.h"

#include "editor/ChoiceLists.h"
#include "editor/VarnokKnobLookAndFeel.h"

#include <cmath>

namespace
{
constexpr juce::uint32 background = 0xff161b26;
constexpr juce::uint32 accent = 0xff4a90e2;

TEST (KnobLookAndFeel, SetsTheEditorColours)
{
    VarnokKnobLookAndFeel lnf;
    struct Case { int id; juce::uint32 argb; };
    const Case cases[] = {
        { juce::Slider::textBoxTextColourId, 0xffffffff }, { juce::Slider::textBoxOutlineColourId, 0x00000000 },
        { juce::ComboBox::backgroundColourId, 0xff2a2e36 }, { juce::ComboBox::textColourId, 0xffffffff },
        { juce::ComboBox::outlineColourId, 0xff3a3f49 },    { juce::PopupMenu::backgroundColourId, 0xff23262d },
    };

    for (const auto& c : cases)
        EXPECT_EQ (lnf.findColour (c.id).getARGB(), c.argb) << std::hex << c.id;
}

TEST (ChoiceLists, HoldTheItemsOfTheLockedComboBoxes)
{
    EXPECT_EQ (detectorChoices, juce::StringArray ({ "Peak", "RMS" }));
    EXPECT_EQ (sidechainChoices, juce::StringArray ({ "Internal", "External" }));
    EXPECT_EQ (stereoChoices, juce::StringArray ({ "Stereo", "Mid-Side" }));
    EXPECT_EQ (characterChoices, juce::StringArray ({ "Clean", "Punch", "Opto", "VCA", "FET", "Bus" }));
}

//==============================================================================
class RotaryTest : public ::testing::Test
{
protected:
    RotaryTest()
    {
        slider.setLookAndFeel (&lnf);
        slider.setSliderStyle (juce::Slider::RotaryHorizontalVerticalDrag);
        slider.setTextBoxStyle (juce::Slider::NoTextBox, false, 0, 0);
        slider.setRange (0.0, 1.0, 0.0);
        slider.setColour (juce::Slider::rotarySliderFillColourId, juce::Colour (accent));
    }

    ~RotaryTest() override { slider.setLookAndFeel (nullptr); }

    juce::Image renderAt (int size, double value)
    {
        slider.setSize (size, size);
        slider.setValue (value, juce::dontSendNotification);
        return guitest::render (slider, juce::Colour (background));
    }

    // Pixel of the point at the given angle (0 at twelve o'clock, clockwise) and radius.
    static juce::Point<int> at (juce::Point<float> centre, float angle, float radius)
    {
        return { (int) std::floor (centre.x + radius * std::sin (angle)), (int) std::floor (centre.y - radius * std::cos (angle)) };
    }

    float angleAt (float proportion) const
    {
        const auto rotary = slider.getRotaryParameters();
        return rotary.startAngleRadians + proportion * (rotary.endAngleRadians - rotary.startAngleRadians);
    }

    VarnokKnobLookAndFeel lnf;
    juce::Slider slider;
};

TEST_F (RotaryTest, ValueArcRunsFromTheStartToTheValueOverTheTrack)
{
    const auto image = renderAt (100, 0.5);
    guitest::saveArtefact (image, "rotary_100_half");

    // 100 x 100 less 3 on every side: radius 47, arc radius 45, body radius 41, centre (50, 50).
    const juce::Point<float> centre (50.0f, 50.0f);

    for (const float p : { 0.05f, 0.25f, 0.45f })
    {
        const auto pixel = at (centre, angleAt (p), 45.0f);
        EXPECT_TRUE (guitest::pixelIs (image, pixel.x, pixel.y, juce::Colour (accent), 8)) << "value arc at " << p;
    }

    for (const float p : { 0.55f, 0.75f, 0.95f })
    {
        const auto pixel = at (centre, angleAt (p), 45.0f);
        EXPECT_TRUE (guitest::pixelIs (image, pixel.x, pixel.y, juce::Colour (VarnokKnobLookAndFeel::trackColour), 8))
            << "track at " << p;
    }

    // The gap at the bottom, between the arc's ends, shows the background.
    EXPECT_TRUE (guitest::pixelIs (image, 50, 95, juce::Colour (background), 2));
    // Between the body and the track.
    EXPECT_TRUE (guitest::pixelIs (image, 50 + 42, 50, juce::Colour (background), 2));

    // At half way the value angle is 2 pi: the pointer stands upright from 3 inside the body's top.
    for (const int y : { 16, 25, 33 })
        EXPECT_TRUE (guitest::pixelIs (image, 50, y, juce::Colours::white, 12)) << "pointer at y " << y;

    EXPECT_FALSE (guitest::pixelIs (image, 50, 38, juce::Colours::white, 40)); // below the pointer's 0.55 r

    // Body: a vertical gradient over the body's diameter.
    const auto bodyAt = [] (float y)
    {
        const auto p = (y - (50.0f - 41.0f)) / 82.0f;
        return juce::Colour (VarnokKnobLookAndFeel::bodyTopColour)
            .interpolatedWith (juce::Colour (VarnokKnobLookAndFeel::bodyBottomColour), p);
    };

    EXPECT_TRUE (guitest::pixelIs (image, 50, 70, bodyAt (70.5f), 3));
    EXPECT_TRUE (guitest::pixelIs (image, 30, 50, bodyAt (50.5f), 3));
}

TEST_F (RotaryTest, ArcIsEmptyAtTheStartAndFullAtTheEnd)
{
    const juce::Point<float> centre (50.0f, 50.0f);
    const auto atStart = renderAt (100, 0.0);
    const auto atEnd = renderAt (100, 1.0);
    guitest::saveArtefact (atStart, "rotary_100_start");
    guitest::saveArtefact (atEnd, "rotary_100_end");

    for (const float p : { 0.1f, 0.5f, 0.9f })
    {
        const auto pixel = at (centre, angleAt (p), 45.0f);
        EXPECT_TRUE (guitest::pixelIs (atStart, pixel.x, pixel.y, juce::Colour (VarnokKnobLookAndFeel::trackColour), 8)) << p;
        EXPECT_TRUE (guitest::pixelIs (atEnd, pixel.x, pixel.y, juce::Colour (accent), 8)) << p;
    }
}

TEST_F (RotaryTest, SmallRotaryKeepsItsProportions)
{
    // 30 x 30: radius 12, arc radius 10, body radius 6.
    const auto image = renderAt (30, 1.0);
    const juce::Point<float> centre (15.0f, 15.0f);
    const auto right = juce::MathConstants<float>::halfPi;

    const auto onArc = at (centre, right, 10.0f);
    EXPECT_LE (guitest::nearestDistance (image, onArc.x, onArc.y, juce::Colour (accent), 1), 30);

    const auto gap = at (centre, right, 7.9f);
    EXPECT_TRUE (guitest::pixelIs (image, gap.x, gap.y, juce::Colour (background), 40));

    const auto inBody = at (centre, right, 4.0f);
    EXPECT_FALSE (guitest::pixelIs (image, inBody.x, inBody.y, juce::Colour (background), 10));
}

TEST_F (RotaryTest, DisabledSliderLooksTheSame)
{
    const auto enabled = renderAt (80, 0.3);
    slider.setEnabled (false);
    const auto disabled = renderAt (80, 0.3);

    auto differing = 0;

    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 80; ++x)
            if (enabled.getPixelAt (x, y) != disabled.getPixelAt (x, y))
                ++differing;

    EXPECT_EQ (differing, 0);
}

//==============================================================================
float measure (const juce::Font& font, const juce::String& text)
{
    juce::GlyphArrangement glyphs;
    glyphs.addLineOfText (font, text, 0.0f, 0.0f);
    return glyphs.getBoundingBox (0, -1, true).getWidth();
}

TEST (KnobLookAndFeelLabel, FontShrinksInHalfStepsUntilTheTextFits)
{
    VarnokKnobLookAndFeel lnf;
    const juce::Font eleven (juce::FontOptions (11.0f));
    const juce::String caption ("LOOKAHEAD");

    EXPECT_FLOAT_EQ (lnf.fitFontToWidth (eleven, caption, 1000.0f).getHeight(), 11.0f);

    // Room for exactly the text at 10: two steps down, no third.
    const auto roomAtTen = measure (eleven.withHeight (10.0f), caption) + 0.01f;
    ASSERT_GT (measure (eleven.withHeight (10.5f), caption), roomAtTen);
    EXPECT_FLOAT_EQ (lnf.fitFontToWidth (eleven, caption, roomAtTen).getHeight(), 10.0f);

    // Never another step from 9 or below; a start of 9.2 takes one step to 8.7.
    EXPECT_FLOAT_EQ (lnf.fitFontToWidth (eleven, caption, 3.0f).getHeight(), 9.0f);
    EXPECT_NEAR (lnf.fitFontToWidth (eleven.withHeight (9.2f), caption, 3.0f).getHeight(), 8.7f, 1.0e-5f);

    // Remembered widths are those of a fresh layout, also for a font that differs only in style.
    const juce::Font bold (juce::FontOptions (11.0f, juce::Font::bold));
    EXPECT_FLOAT_EQ (lnf.measureLineWidth (eleven, caption), measure (eleven, caption));
    EXPECT_FLOAT_EQ (lnf.measureLineWidth (bold, caption), measure (bold, caption));
    EXPECT_FLOAT_EQ (lnf.measureLineWidth (eleven, caption), measure (eleven, caption));

    // Nothing to fit: empty text or no width.
    EXPECT_FLOAT_EQ (lnf.fitFontToWidth (eleven, {}, 3.0f).getHeight(), 11.0f);
    EXPECT_FLOAT_EQ (lnf.fitFontToWidth (eleven, caption, 0.0f).getHeight(), 11.0f);
}

class LabelTest : public ::testing::Test
{
protected:
    LabelTest()
    {
        parent.setLookAndFeel (&lnf);
        parent.setSize (120, 20);
        parent.addAndMakeVisible (label);
        label.setBounds (0, 0, 120, 20);
        label.setColour (juce::Label::textColourId, juce::Colours::white);
        label.setColour (juce::Label::outlineColourId, juce::Colour (0xffff0000));
        label.setFont (juce::FontOptions (11.0f));
    }

    ~LabelTest() override { parent.setLookAndFeel (nullptr); }

    int brightestTextPixel (const juce::Image& image) const
    {
        auto best = 0;

        for (int y = 2; y < 18; ++y)
            for (int x = 2; x < 118; ++x)
                best = juce::jmax (best, (int) image.getPixelAt (x, y).getGreen());

        return best;
    }

    VarnokKnobLookAndFeel lnf;
    juce::Component parent;
    juce::Label label;
};

TEST_F (LabelTest, TextAndOutlineAreHalfAlphaWhenDisabled)
{
    label.setText ("RELEASE", juce::dontSendNotification);
    const auto enabled = guitest::render (parent, juce::Colours::black);
    parent.setEnabled (false);
    const auto disabled = guitest::render (parent, juce::Colours::black);
    guitest::saveArtefact (enabled, "label_enabled");
    guitest::saveArtefact (disabled, "label_disabled");

    EXPECT_GT (brightestTextPixel (enabled), 240);
    EXPECT_NEAR (brightestTextPixel (disabled), 128, 8);

    EXPECT_TRUE (guitest::pixelIs (enabled, 0, 10, juce::Colour (0xffff0000), 2));
    EXPECT_TRUE (guitest::pixelIs (disabled, 0, 10, juce::Colours::black.overlaidWith (juce::Colour (0x80ff0000)), 2));
}

TEST_F (LabelTest, EmptyTextDrawsOnlyBackgroundAndOutline)
{
    label.setColour (juce::Label::backgroundColourId, juce::Colour (0xff203040));
    const auto image = guitest::render (parent, juce::Colours::black);

    EXPECT_EQ (guitest::countPixelsNear (image, { 1, 1, 118, 18 }, juce::Colour (0xff203040), 0), 118 * 18);
    EXPECT_TRUE (guitest::pixelIs (image, 60, 0, juce::Colour (0xffff0000), 0));
    EXPECT_TRUE (guitest::pixelIs (image, 119, 10, juce::Colour (0xffff0000), 0));
}

TEST_F (LabelTest, TooLongTextIsCutNotEllipsised)
{
    label.setBounds (0, 0, 40, 20);
    label.setText ("CHARACTER CHARACTER", juce::dontSendNotification);
    const auto image = guitest::render (parent, juce::Colours::black);
    guitest::saveArtefact (image, "label_cut");

    // The text area ends 5 px inside the label (the label's border): glyphs reach towards it,
    // nothing is drawn between it and the outline.
    EXPECT_GT (guitest::countPixelsNear (image, { 25, 2, 10, 16 }, juce::Colours::white, 120), 0);
    EXPECT_EQ (guitest::countPixelsNear (image, { 37, 1, 2, 18 }, juce::Colours::black, 0), 2 * 18);
}

//==============================================================================
TEST (KnobLookAndFeelToggle, PowerSymbolInTickColourOnlyWhileOn)
{
    VarnokKnobLookAndFeel lnf;
    juce::ToggleButton button;
    button.setLookAndFeel (&lnf);
    button.setSize (40, 40);
    const auto tick = juce::Colour (0xff4fbf6b);
    const auto off = juce::Colour (VarnokKnobLookAndFeel::toggleOffColour);
    button.setColour (juce::ToggleButton::tickColourId, tick);

    const auto offImage = guitest::render (button, juce::Colour (background));
    button.setToggleState (true, juce::dontSendNotification);
    const auto onImage = guitest::render (button, juce::Colour (background));
    guitest::saveArtefact (onImage, "toggle_on");
    button.setLookAndFeel (nullptr);

    // side 40: square 37 from 1.5, line width 3.6; bar from y 2.9 for 14.8 px at x 20; ring radius 14.9.
    EXPECT_TRUE (guitest::pixelIs (offImage, 20, 8, off, 3));
    EXPECT_TRUE (guitest::pixelIs (onImage, 20, 8, tick, 3));
    EXPECT_LE (guitest::nearestDistance (onImage, 35, 20, tick, 1), 3);
    EXPECT_LE (guitest::nearestDistance (offImage, 35, 20, off, 1), 3);
    EXPECT_EQ (guitest::countPixelsNear (offImage, { 0, 0, 40, 40 }, tick, 20), 0);
    EXPECT_EQ (guitest::countPixelsNear (onImage, { 0, 0, 40, 40 }, off, 6), 0);

    // The ring is open at the top, around the bar.
    EXPECT_TRUE (guitest::pixelIs (onImage, 20 - 8, 20 - 13, juce::Colour (background), 3));
}
} // namespace
