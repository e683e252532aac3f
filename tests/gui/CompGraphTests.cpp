#include "GuiTestSupport.h"

#include "editor/widgets/CompGraph.h"
#include "processor/engine/GainComputer.h"

#include <cmath>

namespace
{
struct ProbedGraph : CompGraph
{
    using CompGraph::CompGraph;
    using CompGraph::curveArea;
    using CompGraph::grHistoryDb;
    using CompGraph::historyArea;
    using CompGraph::historyValue;
    using CompGraph::inputHistoryDb;
    using CompGraph::outputHistoryDb;
    using CompGraph::writeIndex;
};

constexpr juce::uint32 paneFill = 0xff10141d;
constexpr juce::uint32 curveColour = 0xff4a90e2;

// The panes' plots at the editor's size (1278 x 380).
const juce::Rectangle<float> historyPlot (36.0f, 8.0f, 896.0f, 364.0f);
const juce::Rectangle<float> curvePlot (980.0f, 24.0f, 288.0f, 332.0f);

float curveX (float db) { return curvePlot.getX() + curvePlot.getWidth() * (db + 60.0f) / 60.0f; }

float curveY (float db)
{
    return juce::jlimit (curvePlot.getY(), curvePlot.getBottom(), curvePlot.getBottom() - curvePlot.getHeight() * (db + 60.0f) / 60.0f);
}

float historyLevelY (float db)
{
    return historyPlot.getBottom() - historyPlot.getHeight() * juce::jlimit (0.0f, 1.0f, (db + 60.0f) / 60.0f);
}

float historyX (int i) { return (float) i * historyPlot.getWidth() / 319.0f + historyPlot.getX(); }

float toDb (float peak) { return peak > 0.0f ? juce::jmax (20.0f * std::log10 (peak), -60.0f) : -60.0f; }

class CompGraphTest : public ::testing::Test
{
protected:
    CompGraphTest()
    {
        processor.prepareToPlay (48000.0, 512);
        graph.setSize (1278, 380);
    }

    ~CompGraphTest() override { processor.releaseResources(); }

    void ticks (int n)
    {
        for (int i = 0; i < n; ++i)
            graph.timerCallback();
    }

    // One block of audio, then the engine's gain reduction replaced by the given value.
    void block (float amplitude, float grDb)
    {
        guitest::processSine (processor, amplitude);
        processor.engine.meterGainReductionDb.store (grDb);
    }

    juce::Image renderGraph (const char* artefact)
    {
        auto image = guitest::render (graph, juce::Colour (0xff0c0f16));
        guitest::saveArtefact (image, artefact);
        return image;
    }

    float inputDb() const { return toDb (juce::jmax (processor.getPeak (MeterSource::Stage::input, 0), processor.getPeak (MeterSource::Stage::input, 1))); }
    float outputDb() const { return toDb (juce::jmax (processor.getPeak (MeterSource::Stage::output, 0), processor.getPeak (MeterSource::Stage::output, 1))); }

    VarnokCompAudioProcessor processor;
    ProbedGraph graph { processor };
};

TEST_F (CompGraphTest, SplitsIntoHistoryAndCurvePanes)
{
    struct Case { int w, h; juce::Rectangle<float> history, curve; };
    const Case cases[] = {
        { 1278, 380, { 0, 0, 940, 380 }, { 948, 0, 330, 380 } },
        { 1000, 600, { 0, 0, 662, 600 }, { 670, 0, 330, 600 } },
        { 600, 100, { 0, 0, 392, 100 }, { 400, 0, 200, 100 } },  // never narrower than 200
        { 200, 380, { 0, 0, 0, 380 }, { 0, 0, 200, 380 } },      // all of it to the curve
        { 150, 100, { 0, 0, 0, 100 }, { 0, 0, 150, 100 } },
    };

    for (const auto& c : cases)
    {
        graph.setSize (c.w, c.h);
        EXPECT_EQ (graph.historyArea, c.history) << c.w << "x" << c.h;
        EXPECT_EQ (graph.curveArea, c.curve) << c.w << "x" << c.h;
    }
}

TEST_F (CompGraphTest, EachTickStoresOneEntryOfEachRing)
{
    EXPECT_TRUE (graph.isTimerRunning());
    EXPECT_EQ (graph.getTimerInterval(), 33);
    EXPECT_EQ (graph.writeIndex, 0);

    block (0.5f, -30.0f);
    ticks (1);
    EXPECT_EQ (graph.writeIndex, 1);
    EXPECT_FLOAT_EQ (graph.inputHistoryDb[0], inputDb());
    EXPECT_NEAR (graph.inputHistoryDb[0], 20.0f * std::log10 (0.5f), 1.0e-4f);
    EXPECT_FLOAT_EQ (graph.outputHistoryDb[0], outputDb());
    EXPECT_LT (graph.outputHistoryDb[0], graph.inputHistoryDb[0]); // compressed at the default settings
    EXPECT_FLOAT_EQ (graph.grHistoryDb[0], -24.0f);                // -30 is kept at the scale's floor

    block (0.0f, 3.0f);
    ticks (1);
    EXPECT_FLOAT_EQ (graph.inputHistoryDb[1], -60.0f);
    EXPECT_FLOAT_EQ (graph.outputHistoryDb[1], -60.0f);
    EXPECT_FLOAT_EQ (graph.grHistoryDb[1], 0.0f);
}

TEST_F (CompGraphTest, HistoryHoldsExactly320TicksNewestLast)
{
    for (int i = 1; i <= CompGraph::historyLength; ++i)
    {
        processor.engine.meterGainReductionDb.store (-(float) (i % 24));
        ticks (1);
    }

    EXPECT_EQ (graph.writeIndex, 0);

    for (int i = 0; i < CompGraph::historyLength; ++i)
        EXPECT_FLOAT_EQ (graph.historyValue (graph.grHistoryDb, i), -(float) ((i + 1) % 24)) << i;

    // One more tick overwrites the oldest entry, which becomes the newest.
    processor.engine.meterGainReductionDb.store (-23.5f);
    ticks (1);
    EXPECT_EQ (graph.writeIndex, 1);
    EXPECT_FLOAT_EQ (graph.historyValue (graph.grHistoryDb, CompGraph::historyLength - 1), -23.5f);
    EXPECT_FLOAT_EQ (graph.historyValue (graph.grHistoryDb, 0), -(float) (2 % 24));
}

TEST_F (CompGraphTest, CurvePassesThroughTheStaticCurveAtTheDefaults)
{
    ASSERT_FLOAT_EQ (guitest::rawValue (processor, "thresh"), -18.0f);
    ASSERT_FLOAT_EQ (guitest::rawValue (processor, "ratio"), 4.0f);
    ASSERT_FLOAT_EQ (processor.engine.effectiveMakeupDb.load(), 0.0f);

    const auto image = renderGraph ("graph_defaults");

    // Knee of 6 dB and mix of 100 % (no such parameters in this edition): the knee's lower end,
    // inside the knee, and 18 dB over the threshold.
    struct Point { float in, out; };
    const Point known[] = { { -21.0f, -21.0f }, { -18.0f, -18.5625f }, { 0.0f, -13.5f } };

    for (const auto& p : known)
    {
        EXPECT_NEAR (p.in + varnok::computeGainReductionDb (p.in, -18.0f, 4.0f, 6.0f), p.out, 1.0e-4f);
        // Radius 2: at 0 dB the curve ends under the plot's frame.
        EXPECT_LE (guitest::nearestDistance (image, (int) curveX (p.in), (int) curveY (p.out), juce::Colour (curveColour), 2), 20)
            << "curve at " << p.in;
    }

    for (const float in : { -54.0f, -40.0f, -30.0f, -10.0f, -3.0f })
    {
        const auto out = in + varnok::computeGainReductionDb (in, -18.0f, 4.0f, 6.0f);
        EXPECT_LE (guitest::nearestDistance (image, (int) curveX (in), (int) curveY (out), juce::Colour (curveColour), 1), 20)
            << "curve at " << in;
    }

    // Above the knee the curve leaves the unity line.
    EXPECT_GT (guitest::nearestDistance (image, (int) curveX (-6.0f), (int) curveY (-6.0f), juce::Colour (curveColour), 1), 80);

    // Silence: no operating point.
    EXPECT_EQ (guitest::countPixelsNear (image, { 980, 24, 288, 332 }, juce::Colours::white, 10), 0);
}

TEST_F (CompGraphTest, RatioOfOneDrawsAParallelLineLiftedByTheMakeup)
{
    guitest::setParameter (processor, "ratio", 1.0f);
    processor.engine.effectiveMakeupDb.store (6.0f);
    const auto image = renderGraph ("graph_ratio1_makeup6");

    for (const float in : { -54.0f, -40.0f, -20.0f, -8.0f })
        EXPECT_LE (guitest::nearestDistance (image, (int) curveX (in), (int) curveY (in + 6.0f), juce::Colour (curveColour), 1), 20)
            << "line at " << in;

    // Above -6 dB in, the lifted line runs along the plot's top edge.
    EXPECT_LE (guitest::nearestDistance (image, (int) curveX (-3.0f), (int) curvePlot.getY(), juce::Colour (curveColour), 1), 20);
}

TEST_F (CompGraphTest, OperatingPointShowsTheMeasuredLevels)
{
    block (0.5f, 0.0f);
    const auto image = renderGraph ("graph_operating_point");

    const auto x = (int) curveX (inputDb());
    const auto y = (int) curveY (outputDb());
    EXPECT_TRUE (guitest::pixelIs (image, x, y, juce::Colours::white, 3));

    // A 5 px dot: a handful of white pixels, all within it.
    const auto dot = guitest::countPixelsNear (image, { x - 7, y - 7, 15, 15 }, juce::Colours::white, 30);
    EXPECT_GE (dot, 5);
    EXPECT_LE (dot, 30);
}

TEST_F (CompGraphTest, HistoryScrollsFromTheRightAndForgetsAfter320Ticks)
{
    // 20 loud ticks (the first 10 with deep gain reduction), then silence: after 320 ticks in all,
    // the loud ones are the oldest, on the left.
    for (int i = 0; i < 20; ++i)
    {
        block (0.5f, i < 10 ? -30.0f : 0.0f);
        ticks (1);
    }

    const auto loudIn = inputDb();
    const auto loudOut = outputDb();
    ASSERT_GT (historyLevelY (loudOut) - historyLevelY (loudIn), 8.0f);

    for (int i = 0; i < 300; ++i)
    {
        block (0.0f, 0.0f);
        ticks (1);
    }

    auto image = renderGraph ("graph_history_loud_then_silent");
    const auto x = (int) historyX (15);
    const auto grX = (int) historyX (4);

    // Just below the input line: the input area alone over the pane.
    const auto inputRow = (int) historyLevelY (loudIn) + 3;
    EXPECT_TRUE (guitest::pixelIs (image, x, inputRow, juce::Colour (paneFill).overlaidWith (juce::Colour (0x595b6a80)), 3));

    // Gain reduction of -30 dB, stored as -24, hangs down to 42 % of the plot's height.
    const auto grBottom = historyPlot.getY() + historyPlot.getHeight() * 0.42f;
    EXPECT_TRUE (guitest::pixelIs (image, grX, (int) grBottom - 10,
                                   juce::Colour (paneFill).overlaidWith (juce::Colour (0x595b6a80)).overlaidWith (juce::Colour (0x614fbf6b))
                                       .overlaidWith (juce::Colour (0x61e0a13a)), 6));

    // The newest, silent end on the right shows the bare pane.
    EXPECT_TRUE (guitest::pixelIs (image, (int) historyX (300), inputRow, juce::Colour (paneFill), 2));

    for (int i = 0; i < 20; ++i)
    {
        block (0.0f, 0.0f);
        ticks (1);
    }

    image = renderGraph ("graph_history_silent");
    EXPECT_TRUE (guitest::pixelIs (image, x, inputRow, juce::Colour (paneFill), 2));
}

TEST_F (CompGraphTest, PaintsAtDegenerateSizes)
{
    block (0.5f, -6.0f);
    ticks (3);

    for (auto size : { juce::Point<int> (0, 0), juce::Point<int> (150, 0), juce::Point<int> (0, 380), juce::Point<int> (30, 20) })
    {
        graph.setSize (size.x, size.y);
        juce::Image image (juce::Image::ARGB, 200, 400, true, juce::SoftwareImageType());
        juce::Graphics g (image);
        graph.paint (g);
        EXPECT_GE (graph.historyArea.getWidth(), 0.0f) << size.toString();
        EXPECT_GE (graph.curveArea.getWidth(), 0.0f) << size.toString();
    }
}
} // namespace
