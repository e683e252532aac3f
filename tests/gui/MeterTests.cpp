#include "GuiTestSupport.h"

#include "editor/widgets/GRMeter.h"
#include "editor/widgets/LevelMeter.h"

#include <cmath>

namespace
{
using Stage = MeterSource::Stage;

struct ProbedLevelMeter : LevelMeter
{
    using LevelMeter::LevelMeter;
    using LevelMeter::holdDb;
    using LevelMeter::levelDb;
};

constexpr juce::uint32 meterBackground = 0xff161b26;
constexpr juce::uint32 wellColour = 0xff14161a;
constexpr juce::uint32 holdColour = 0xd9ffffff;

// Bars at the editor's size (84 x 380): band from y 20 to 360, bars 10 wide.
const juce::Rectangle<float> inLeftBar (28.0f, 20.0f, 10.0f, 340.0f);
const juce::Rectangle<float> inRightBar (40.0f, 20.0f, 10.0f, 340.0f);
const juce::Rectangle<float> outLeftBar (54.0f, 20.0f, 10.0f, 340.0f);

float levelToY (float db, juce::Rectangle<float> bar)
{
    return bar.getY() + bar.getHeight() * juce::jlimit (0.0f, 1.0f, (6.0f - db) / 54.0f);
}

juce::Colour fillColourAtRow (int row, juce::Rectangle<float> bar)
{
    juce::ColourGradient gradient (juce::Colour (0xff57b86a), 0.0f, bar.getBottom(), juce::Colour (0xffe0565f), 0.0f, bar.getY(), false);
    gradient.addColour (0.55, juce::Colour (0xff57b86a));
    gradient.addColour (0.78, juce::Colour (0xffd8b13a));
    return gradient.getColourAtPosition ((bar.getBottom() - ((float) row + 0.5f)) / bar.getHeight());
}

class LevelMeterTest : public ::testing::Test
{
protected:
    LevelMeterTest() { meter.setSize (84, 380); }

    void ticks (int n)
    {
        for (int i = 0; i < n; ++i)
            meter.timerCallback();
    }

    juce::Image renderMeter (const char* artefact)
    {
        auto image = guitest::render (meter, juce::Colours::black);
        guitest::saveArtefact (image, artefact);
        return image;
    }

    guitest::TestMeterSource source;
    ProbedLevelMeter meter { source };
};

TEST_F (LevelMeterTest, StartsSilentAndRunsItsOwnTimer)
{
    EXPECT_TRUE (meter.isTimerRunning());
    EXPECT_EQ (meter.getTimerInterval(), 33);

    ticks (3);

    // The hold's fall term is relative to -48 dB, so below it the hold creeps up towards -78 dB;
    // that is far below the scale and never shown.
    for (size_t k = 0; k < 4; ++k)
    {
        EXPECT_FLOAT_EQ (meter.levelDb[k], -100.0f);
        EXPECT_LE (meter.holdDb[k], -78.0f);
        EXPECT_GE (meter.holdDb[k], meter.levelDb[k]);
    }

    const auto image = renderMeter ("level_meter_silent");

    for (auto bar : { inLeftBar, inRightBar, outLeftBar })
        for (const int y : { 30, 120, 250, 350 })
            EXPECT_TRUE (guitest::pixelIs (image, (int) bar.getCentreX(), y, juce::Colour (wellColour), 1)) << y;

    EXPECT_EQ (LevelMeter::formatDbReadout (meter.holdDb[0], meter.holdDb[1]), "-inf");
}

TEST_F (LevelMeterTest, FullScalePeakLightsTheBarAtOnceUpToOneNinthBelowTheTop)
{
    source.set (Stage::input, 0, 1.0f);
    ticks (1);

    EXPECT_FLOAT_EQ (meter.levelDb[0], 0.0f);
    EXPECT_FLOAT_EQ (meter.holdDb[0], 0.0f);
    EXPECT_FLOAT_EQ (meter.levelDb[1], -100.0f);
    EXPECT_EQ (LevelMeter::formatDbReadout (meter.holdDb[0], meter.holdDb[1]), "0.0");

    const auto image = renderMeter ("level_meter_in_left_0dB");
    const auto top = levelToY (0.0f, inLeftBar); // 340 / 9 below the band's top
    ASSERT_NEAR (top, 20.0f + 340.0f / 9.0f, 1.0e-4f);
    const auto x = (int) inLeftBar.getCentreX();

    EXPECT_TRUE (guitest::pixelIs (image, x, (int) top - 1, juce::Colour (wellColour), 1));
    // The hold line sits on the row of the top, over the fill.
    EXPECT_GT (image.getPixelAt (x, (int) top).getPerceivedBrightness(), 0.85f);

    for (const int row : { 60, 100, 150, 200, 300, 355 })
        EXPECT_TRUE (guitest::pixelIs (image, x, row, fillColourAtRow (row, inLeftBar), 4)) << "row " << row;

    // The other bars stay dark.
    EXPECT_TRUE (guitest::pixelIs (image, (int) inRightBar.getCentreX(), 200, juce::Colour (wellColour), 1));
    EXPECT_TRUE (guitest::pixelIs (image, (int) outLeftBar.getCentreX(), 200, juce::Colour (wellColour), 1));
}

TEST_F (LevelMeterTest, LevelFallsFastAndHoldSlowlyAfterAPeak)
{
    source.set (Stage::input, 0, 1.0f);
    ticks (1);
    source.set (Stage::input, 0, 0.0f);

    const float levels[] = { -20.0f, -36.0f, -48.8f };
    const float holds[] = { -0.39f, -0.778f, -1.164f };

    for (int i = 0; i < 3; ++i)
    {
        ticks (1);
        EXPECT_NEAR (meter.levelDb[0], levels[i], 1.0e-3f) << "tick " << i + 1;
        EXPECT_NEAR (meter.holdDb[0], holds[i], 1.0e-3f) << "tick " << i + 1;
    }

    // Level gone (below -48), hold line still up.
    const auto image = renderMeter ("level_meter_hold_after_peak");
    const auto x = (int) inLeftBar.getCentreX();
    const auto holdRow = (int) levelToY (meter.holdDb[0], inLeftBar);
    EXPECT_TRUE (guitest::pixelIs (image, x, holdRow, guitest::over (juce::Colour (wellColour), holdColour), 2));
    EXPECT_TRUE (guitest::pixelIs (image, x, holdRow + 2, juce::Colour (wellColour), 1));
    EXPECT_TRUE (guitest::pixelIs (image, x, 300, juce::Colour (wellColour), 1));
    EXPECT_EQ (LevelMeter::formatDbReadout (meter.holdDb[0], meter.holdDb[1]), "-1.2");

    // The hold reaches -48 on the 191st tick after the peak, about 6.3 s.
    int tick = 3;

    while (meter.holdDb[0] > -48.0f && tick < 1000)
    {
        ticks (1);
        ++tick;
    }

    EXPECT_EQ (tick, 191);
    EXPECT_EQ (LevelMeter::formatDbReadout (meter.holdDb[0], meter.holdDb[1]), "-inf");
}

TEST_F (LevelMeterTest, HoldNeverDropsBelowTheLevelNorTheLevelBelowTheReading)
{
    const float readings[] = { 0.5f, 0.02f, 0.3f, 0.0f, 0.9f, 0.001f, 0.001f, 0.25f };

    for (auto peak : readings)
    {
        source.setAll (peak, peak * 0.5f, peak * 0.25f, 0.0f);
        ticks (1);

        const float dB[] = { peak, peak * 0.5f, peak * 0.25f, 0.0f };

        for (size_t k = 0; k < 4; ++k)
        {
            const auto reading = dB[k] > 0.0f ? juce::jmax (20.0f * std::log10 (dB[k]), -100.0f) : -100.0f;
            EXPECT_GE (meter.holdDb[k], meter.levelDb[k]);
            EXPECT_GE (meter.levelDb[k], reading - 1.0e-4f);
            EXPECT_GE (meter.levelDb[k], -100.0f);
        }
    }
}

TEST_F (LevelMeterTest, EdgesOfTheScale)
{
    // Exactly -48: no fill and no hold line.
    meter.levelDb = { -48.0f, -47.0f, 6.5f, -100.0f };
    meter.holdDb = { -48.0f, -47.0f, 6.5f, -100.0f };
    const auto image = renderMeter ("level_meter_edges");

    EXPECT_TRUE (guitest::pixelIs (image, (int) inLeftBar.getCentreX(), 359, juce::Colour (wellColour), 1));
    EXPECT_FALSE (guitest::pixelIs (image, (int) inRightBar.getCentreX(), 358, juce::Colour (wellColour), 10));
    EXPECT_EQ (LevelMeter::formatDbReadout (-48.0f, -100.0f), "-inf");

    // Above +6 the fill reaches the top edge of the bar, in the red end of the gradient.
    EXPECT_TRUE (guitest::pixelIs (image, (int) outLeftBar.getCentreX(), 22, fillColourAtRow (22, outLeftBar), 6));
}

TEST_F (LevelMeterTest, ScaleLinesRunOnlyOverTheOutGroup)
{
    const auto image = renderMeter ("level_meter_scale");
    const auto row = (int) levelToY (0.0f, juce::Rectangle<float> (6.0f, 20.0f, 72.0f, 340.0f));

    EXPECT_TRUE (guitest::pixelIs (image, 52, row, juce::Colour (0xff3a3f49), 1)); // OUT group's margin
    EXPECT_TRUE (guitest::pixelIs (image, 65, row, juce::Colour (0xff3a3f49), 1)); // gap between the OUT bars
    EXPECT_TRUE (guitest::pixelIs (image, 27, row, juce::Colour (meterBackground), 1)); // IN group: none
    EXPECT_TRUE (guitest::pixelIs (image, 52, row + 3, juce::Colour (meterBackground), 1));
}

TEST (LevelMeterReadout, ShowsTheLouderValueWithOneDecimal)
{
    struct Case { float a, b; const char* text; };
    const Case cases[] = {
        { -12.0f, -6.0f, "-6.0" }, { -6.0f, -12.0f, "-6.0" }, { 0.0f, -100.0f, "0.0" }, { 4.5f, 1.0f, "4.5" },
        { -3.2f, -3.25f, "-3.2" }, { -48.0f, -100.0f, "-inf" }, { -60.0f, -48.0f, "-inf" }, { -47.5f, -90.0f, "-47.5" },
    };

    for (const auto& c : cases)
        EXPECT_EQ (LevelMeter::formatDbReadout (c.a, c.b), c.text) << c.a << ", " << c.b;
}

//==============================================================================
struct ProbedGRMeter : GRMeter
{
    using GRMeter::GRMeter;
    using GRMeter::displayDb;
    using GRMeter::holdDb;
    using GRMeter::holdTicks;
};

constexpr juce::uint32 grWell = 0xff0a0d13;

class GRMeterTest : public ::testing::Test
{
protected:
    GRMeterTest() { meter.setSize (66, 380); }

    void engineReports (float db) { processor.engine.meterGainReductionDb.store (db); }

    void ticks (int n)
    {
        for (int i = 0; i < n; ++i)
            meter.timerCallback();
    }

    // The bar at the editor's size: (8, 16, 32, 346).
    static float depthToY (float db) { return 16.0f + 346.0f * juce::jlimit (0.0f, 1.0f, db / -24.0f); }

    VarnokCompAudioProcessor processor;
    ProbedGRMeter meter { processor };
};

TEST_F (GRMeterTest, NoReductionShowsNothing)
{
    EXPECT_TRUE (meter.isTimerRunning());
    EXPECT_EQ (meter.getTimerInterval(), 33);
    ticks (5);
    EXPECT_FLOAT_EQ (meter.displayDb, 0.0f);
    EXPECT_FLOAT_EQ (meter.holdDb, 0.0f);

    const auto image = guitest::render (meter, juce::Colours::black);
    guitest::saveArtefact (image, "gr_meter_idle");

    for (const int y : { 18, 60, 200, 355 })
        EXPECT_TRUE (guitest::pixelIs (image, 24, y, juce::Colour (grWell), 1)) << y;
}

TEST_F (GRMeterTest, StepDownShowsAtOnceThenReturnsWithHold)
{
    engineReports (-10.0f);
    ticks (1);
    EXPECT_FLOAT_EQ (meter.displayDb, -10.0f);
    EXPECT_FLOAT_EQ (meter.holdDb, -10.0f);
    EXPECT_EQ (meter.holdTicks, 18);

    engineReports (0.0f);
    int displayBackTick = 0;
    int lastHoldTick = 0;
    int holdGoneTick = 0;

    for (int tick = 1; tick <= 400 && holdGoneTick == 0; ++tick)
    {
        ticks (1);

        if (displayBackTick == 0 && juce::exactlyEqual (meter.displayDb, 0.0f))
            displayBackTick = tick;

        if (juce::exactlyEqual (meter.holdDb, -10.0f))
            lastHoldTick = tick;

        if (meter.holdDb >= -0.05f)
            holdGoneTick = tick;

        if (tick == 10)
        {
            EXPECT_NEAR (meter.displayDb, -10.0f + 10 * 0.35f, 1.0e-4f);
            const auto image = guitest::render (meter, juce::Colours::black);
            guitest::saveArtefact (image, "gr_meter_returning");

            // Fill from the top down to the shown depth, blue to pink over the whole bar.
            const juce::ColourGradient gradient (juce::Colour (0xff5aa0ff), 8.0f, 16.0f, juce::Colour (0xffe9608e), 8.0f, 362.0f, false);

            for (const int row : { 30, 60, 90 })
                EXPECT_TRUE (guitest::pixelIs (image, 24, row, gradient.getColourAtPosition ((row + 0.5f - 16.0f) / 346.0f), 4)) << row;

            EXPECT_TRUE (guitest::pixelIs (image, 24, (int) depthToY (meter.displayDb) + 2, juce::Colour (grWell), 1));
            // The hold line, 2 px centred on -10 dB.
            EXPECT_TRUE (guitest::pixelIs (image, 24, (int) depthToY (-10.0f), guitest::over (juce::Colour (grWell), 0xd9ffffff), 3));
            EXPECT_TRUE (guitest::pixelIs (image, 24, (int) depthToY (-10.0f) + 3, juce::Colour (grWell), 1));
        }
    }

    EXPECT_EQ (displayBackTick, 29);
    EXPECT_EQ (lastHoldTick, 18);
    // Then 0.06 dB a tick: (10 - 0.05) / 0.06, about 166 ticks until the line is gone.
    EXPECT_NEAR (holdGoneTick - lastHoldTick, 166, 1);
}

TEST_F (GRMeterTest, SteadyReductionFlickersByTheReturnStep)
{
    engineReports (-5.0f);

    for (int tick = 1; tick <= 100; ++tick)
    {
        ticks (1);
        EXPECT_NEAR (meter.displayDb, tick % 2 == 1 ? -5.0f : -4.65f, 1.0e-5f) << tick;
        // The hold lifts for a single tick whenever its 18 ticks run out: one tick in every 20.
        EXPECT_NEAR (meter.holdDb, tick % 20 == 0 ? -4.94f : -5.0f, 1.0e-5f) << tick;
    }
}

TEST_F (GRMeterTest, ValuesOutsideTheScaleAreClamped)
{
    engineReports (-30.0f);
    ticks (1);
    EXPECT_FLOAT_EQ (meter.displayDb, -24.0f);

    const auto image = guitest::render (meter, juce::Colours::black);
    guitest::saveArtefact (image, "gr_meter_full");
    EXPECT_TRUE (guitest::pixelIs (image, 24, 355, juce::Colour (0xffe9608e), 12)); // filled to the bottom

    engineReports (2.0f);
    ticks (200);
    EXPECT_FLOAT_EQ (meter.displayDb, 0.0f);
    EXPECT_LE (meter.holdDb, 0.0f);
}
} // namespace
