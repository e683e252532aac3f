#include "CompGraph.h"

#include "processor/ParameterIds.h"
#include "processor/PluginProcessor.h"
#include "processor/engine/GainComputer.h"

#include <cmath>

namespace
{
constexpr juce::uint32 paneFillColour = 0xff10141d;
constexpr juce::uint32 paneOutlineColour = 0xff222a37;
constexpr juce::uint32 gridColour = 0xff1b2230;
constexpr juce::uint32 textGreyColour = 0xff7f8a9c;
constexpr juce::uint32 legendTextColour = 0xffb9c3d3;
constexpr juce::uint32 inputFillColour = 0x595b6a80;
constexpr juce::uint32 outputFillColour = 0x614fbf6b;
constexpr juce::uint32 outputLineColour = 0xff6cc983;
constexpr juce::uint32 thresholdLineColour = 0x59ffffff;
constexpr juce::uint32 grColour = 0xffe0a13a;
constexpr juce::uint32 grFillColour = 0x61e0a13a;
constexpr juce::uint32 unityLineColour = 0xff2f3a4c;
constexpr juce::uint32 thresholdMarkerColour = 0x47ffffff;
constexpr juce::uint32 curveColour = 0xff4a90e2;
constexpr juce::uint32 dotHaloColour = 0x40ffffff;
constexpr juce::uint32 dotColour = 0xffffffff;
constexpr juce::uint32 frameColour = 0xff2a3140;

constexpr int gridDb[] = { 0, -12, -24, -36, -48, -60 };

juce::Rectangle<float> reducedNotBelowZero (juce::Rectangle<float> r, float d)
{
    return { r.getX() + d, r.getY() + d, juce::jmax (r.getWidth() - 2.0f * d, 0.0f), juce::jmax (r.getHeight() - 2.0f * d, 0.0f) };
}

void horizontalLine (juce::Graphics& g, float y, float x1, float x2)
{
    if (x1 < x2)
        g.fillRect (juce::Rectangle<float> (x1, (float) (int) y, x2 - x1, 1.0f));
}

void verticalLine (juce::Graphics& g, float x, float top, float bottom)
{
    if (top < bottom)
        g.fillRect (juce::Rectangle<float> ((float) (int) x, top, 1.0f, bottom - top));
}
} // namespace

CompGraph::CompGraph (VarnokCompAudioProcessor& p)
    : processor (p)
{
    inputHistoryDb.fill (historyFloorDb);
    outputHistoryDb.fill (historyFloorDb);
    grHistoryDb.fill (0.0f);
    startTimer (timerIntervalMs);
}

CompGraph::~CompGraph() = default;

float CompGraph::historyValue (const std::array<float, historyLength>& ring, int i) const
{
    return ring[(size_t) ((writeIndex + i) % historyLength)];
}

float CompGraph::peakDb (MeterSource::Stage stage, float floorDb) const
{
    const auto& source = static_cast<const MeterSource&> (processor);
    const auto right = source.getPeak (stage, 1);
    const auto left = source.getPeak (stage, 0);
    const auto p = juce::jmax (right, left);
    return p > 0.0f ? juce::jmax (20.0f * std::log10 (p), floorDb) : floorDb;
}

float CompGraph::getParameterValue (const char* parameterId, float fallback) const
{
    if (auto* value = processor.apvts.getRawParameterValue (parameterId))
        return value->load (std::memory_order_relaxed);

    return fallback;
}

//==============================================================================
void CompGraph::timerCallback()
{
    const auto w = (size_t) writeIndex;
    inputHistoryDb[w] = peakDb (MeterSource::Stage::input, historyFloorDb);
    outputHistoryDb[w] = peakDb (MeterSource::Stage::output, historyFloorDb);

    const auto gr = processor.engine.meterGainReductionDb.load (std::memory_order_relaxed);
    grHistoryDb[w] = gr < grFloorDb ? grFloorDb : juce::jmin (gr, 0.0f);

    writeIndex = (writeIndex + 1) % historyLength;
    repaint();
}

void CompGraph::resized()
{
    const auto w = (float) getWidth();
    const auto h = (float) getHeight();
    const auto m = juce::jmin (0.36f * w, h);
    const auto s = m < 200.0f ? 200.0f : juce::jmin (m, 330.0f);
    const auto side = juce::jmin (w, s);

    curveArea = { w - side, 0.0f, side, h };
    historyArea = { 0.0f, 0.0f, w - side - juce::jmin (w - side, 8.0f), h };
}

//==============================================================================
float CompGraph::historyX (int i, juce::Rectangle<float> plot)
{
    return (float) i * plot.getWidth() / (float) (historyLength - 1) + plot.getX();
}

float CompGraph::historyLevelY (float db, juce::Rectangle<float> plot)
{
    return plot.getBottom() - plot.getHeight() * juce::jlimit (0.0f, 1.0f, (db + 60.0f) / 60.0f);
}

float CompGraph::historyGrY (float gr, juce::Rectangle<float> plot)
{
    return plot.getY() + juce::jlimit (0.0f, 1.0f, gr / -24.0f) * plot.getHeight() * 0.42f;
}

float CompGraph::curveX (float db, juce::Rectangle<float> plot)
{
    return plot.getX() + plot.getWidth() * (db + 60.0f) / 60.0f;
}

float CompGraph::curveY (float db, juce::Rectangle<float> plot)
{
    return juce::jlimit (plot.getY(), plot.getBottom(), plot.getBottom() - plot.getHeight() * (db + 60.0f) / 60.0f);
}

//==============================================================================
void CompGraph::paint (juce::Graphics& g)
{
    drawPane (g, historyArea);
    drawPane (g, curveArea);
    drawHistory (g, historyArea);
    drawTransferCurve (g, curveArea);
}

void CompGraph::drawPane (juce::Graphics& g, juce::Rectangle<float> pane)
{
    g.setColour (juce::Colour (paneFillColour));
    g.fillRoundedRectangle (pane, 6.0f);

    g.setColour (juce::Colour (paneOutlineColour));
    g.drawRoundedRectangle (reducedNotBelowZero (pane, 0.5f), 6.0f, 1.0f);
}

void CompGraph::drawLegendItem (juce::Graphics& g, juce::Rectangle<float>& row, juce::Colour swatch,
                                const juce::String& text, float textWidth)
{
    const auto slot = row.removeFromLeft (juce::jmin (8.0f, row.getWidth()));
    g.setColour (swatch);
    g.fillRoundedRectangle (slot.getX() + (slot.getWidth() - 7.0f) / 2.0f, slot.getY() + (row.getHeight() - 7.0f) / 2.0f,
                            7.0f, 7.0f, 1.5f);

    row.removeFromLeft (juce::jmin (4.0f, row.getWidth()));
    const auto textArea = row.removeFromLeft (juce::jmin (textWidth, row.getWidth()));
    g.setColour (juce::Colour (legendTextColour));
    g.drawText (text, textArea, juce::Justification::centredLeft, true);
    row.removeFromLeft (juce::jmin (12.0f, row.getWidth()));
}

void CompGraph::drawHistory (juce::Graphics& g, juce::Rectangle<float> area)
{
    const auto a = reducedNotBelowZero (area, 8.0f);
    const juce::Rectangle<float> plot (a.getX() + 28.0f, a.getY(), juce::jmax (a.getWidth() - 28.0f, 0.0f), a.getHeight());

    g.setFont (juce::FontOptions (9.0f, juce::Font::plain));

    for (auto db : gridDb)
    {
        const auto y = historyLevelY ((float) db, plot);
        g.setColour (juce::Colour (gridColour));
        horizontalLine (g, y, plot.getX(), plot.getRight());
        g.setColour (juce::Colour (textGreyColour));
        g.drawText (juce::String (db), juce::Rectangle<float> (a.getX(), y - 6.0f, 24.0f, 12.0f),
                    juce::Justification::centredRight, true);
    }

    {
        juce::Graphics::ScopedSaveState clip (g);
        g.reduceClipRegion (juce::roundToInt (plot.getX()), juce::roundToInt (plot.getY()),
                            juce::roundToInt (plot.getWidth()), juce::roundToInt (plot.getHeight()));

        const auto levelArea = [&] (const std::array<float, historyLength>& ring)
        {
            juce::Path fill;
            fill.startNewSubPath (historyX (0, plot), plot.getBottom());

            for (int i = 0; i < historyLength; ++i)
                fill.lineTo (historyX (i, plot), historyLevelY (historyValue (ring, i), plot));

            fill.lineTo (historyX (historyLength - 1, plot), plot.getBottom());
            fill.closeSubPath();
            return fill;
        };

        const auto openLine = [&] (const std::array<float, historyLength>& ring, auto toY)
        {
            juce::Path line;
            line.startNewSubPath (historyX (0, plot), toY (historyValue (ring, 0), plot));

            for (int i = 1; i < historyLength; ++i)
                line.lineTo (historyX (i, plot), toY (historyValue (ring, i), plot));

            return line;
        };

        g.setColour (juce::Colour (inputFillColour));
        g.fillPath (levelArea (inputHistoryDb));

        g.setColour (juce::Colour (outputFillColour));
        g.fillPath (levelArea (outputHistoryDb));
        g.setColour (juce::Colour (outputLineColour));
        g.strokePath (openLine (outputHistoryDb, historyLevelY), juce::PathStrokeType (1.2f));

        const auto thresholdY = historyLevelY (getParameterValue (varnok::ids::thresh, 0.0f), plot);
        const float thresholdDashes[] = { 5.0f, 4.0f };
        g.setColour (juce::Colour (thresholdLineColour));
        g.drawDashedLine ({ plot.getX(), thresholdY, plot.getRight(), thresholdY }, thresholdDashes, 2, 1.0f);

        juce::Path grArea;
        grArea.startNewSubPath (historyX (0, plot), plot.getY());

        for (int i = 0; i < historyLength; ++i)
            grArea.lineTo (historyX (i, plot), historyGrY (historyValue (grHistoryDb, i), plot));

        grArea.lineTo (historyX (historyLength - 1, plot), plot.getY());
        grArea.closeSubPath();
        g.setColour (juce::Colour (grFillColour));
        g.fillPath (grArea);
        g.setColour (juce::Colour (grColour));
        g.strokePath (openLine (grHistoryDb, historyGrY), juce::PathStrokeType (1.4f));
    }

    auto row = juce::Rectangle<float> (plot.getX() + 6.0f, plot.getBottom() - 16.0f, plot.getWidth(), 12.0f);
    g.setFont (juce::FontOptions (10.0f, juce::Font::bold));
    drawLegendItem (g, row, juce::Colour (grColour), "GAIN REDUCTION", 92.0f);
    drawLegendItem (g, row, juce::Colour (outputLineColour), "OUT", 26.0f);
    drawLegendItem (g, row, juce::Colour (inputFillColour).withAlpha ((juce::uint8) 0xff), "IN", 20.0f);
}

void CompGraph::drawTransferCurve (juce::Graphics& g, juce::Rectangle<float> area)
{
    const auto a = reducedNotBelowZero (area, 8.0f);
    const auto titleHeight = juce::jmin (a.getHeight(), 14.0f);

    g.setColour (juce::Colour (textGreyColour));
    g.setFont (juce::FontOptions (10.0f, juce::Font::bold));
    g.drawText ("TRANSFER CURVE", a.withHeight (titleHeight), juce::Justification::centred, true);

    const juce::Rectangle<float> plot (a.getX() + 24.0f, a.getY() + titleHeight + 2.0f,
                                       juce::jmax (juce::jmax (a.getWidth() - 22.0f, 0.0f) - 4.0f, 0.0f),
                                       juce::jmax (juce::jmax (a.getHeight() - titleHeight - 14.0f, 0.0f) - 4.0f, 0.0f));

    g.setFont (juce::FontOptions (9.0f, juce::Font::plain));

    for (auto db : gridDb)
    {
        const auto y = curveY ((float) db, plot);
        g.setColour (juce::Colour (gridColour));
        horizontalLine (g, y, plot.getX(), plot.getRight());
        verticalLine (g, curveX ((float) db, plot), plot.getY(), plot.getBottom());

        if (db > -60)
        {
            g.setColour (juce::Colour (textGreyColour));
            g.drawText (juce::String (db), juce::Rectangle<float> (a.getX() - 2.0f, y - 6.0f, 22.0f, 12.0f),
                        juce::Justification::centredRight, true);
        }
    }

    g.setColour (juce::Colour (unityLineColour));
    g.drawLine (plot.getX(), plot.getBottom(), plot.getRight(), plot.getY(), 1.0f);

    const auto thresh = getParameterValue (varnok::ids::thresh, 0.0f);
    const auto ratio = getParameterValue (varnok::ids::ratio, 0.0f);
    const auto knee = getParameterValue (varnok::ids::knee, 6.0f);
    const auto makeup = processor.engine.effectiveMakeupDb.load (std::memory_order_relaxed);
    const auto mix = getParameterValue (varnok::ids::mix, 100.0f);

    const auto markerX = curveX (thresh, plot);
    const float markerDashes[] = { 4.0f, 4.0f };
    g.setColour (juce::Colour (thresholdMarkerColour));
    g.drawDashedLine ({ markerX, plot.getY(), markerX, plot.getBottom() }, markerDashes, 2, 1.0f);

    const auto m = mix * 0.01f;
    juce::Path curve;

    for (int i = 0; i < curvePoints; ++i)
    {
        const auto in = (float) i * 60.0f / (float) (curvePoints - 1) - 60.0f;
        const auto gain = varnok::computeGainReductionDb (in, thresh, ratio, knee) + makeup;
        const auto lin = gain > -100.0f ? std::pow (10.0f, gain * 0.05f) : 0.0f;
        const auto v = lin * m + (1.0f - m);
        const auto out = in + (v > 0.0f ? juce::jmax (20.0f * std::log10 (v), -120.0f) : -120.0f);
        const juce::Point<float> point (curveX (in, plot), curveY (out, plot));

        if (i == 0)
            curve.startNewSubPath (point);
        else
            curve.lineTo (point);
    }

    g.setColour (juce::Colour (curveColour));
    g.strokePath (curve, juce::PathStrokeType (2.0f, juce::PathStrokeType::curved, juce::PathStrokeType::butt));

    const auto inDb = peakDb (MeterSource::Stage::input, historyFloorDb);
    const auto outDb = peakDb (MeterSource::Stage::output, historyFloorDb);

    if (inDb > -59.5f)
    {
        const auto x = curveX (inDb, plot);
        const auto y = curveY (outDb, plot);
        g.setColour (juce::Colour (dotHaloColour));
        g.fillEllipse (x - 6.0f, y - 6.0f, 12.0f, 12.0f);
        g.setColour (juce::Colour (dotColour));
        g.fillEllipse (x - 2.5f, y - 2.5f, 5.0f, 5.0f);
    }

    g.setColour (juce::Colour (frameColour));
    g.drawRect (plot, 1.0f);

    g.setColour (juce::Colour (textGreyColour));
    g.setFont (juce::FontOptions (9.0f, juce::Font::plain));
    g.drawText ("IN dB", juce::Rectangle<float> (plot.getX(), plot.getBottom() + 1.0f, plot.getWidth(), 12.0f),
                juce::Justification::centredRight, true);
}
