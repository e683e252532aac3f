#include "GRMeter.h"

#include "processor/PluginProcessor.h"

namespace
{
constexpr juce::uint32 textGreyColour = 0xff7f8a9c;
constexpr juce::uint32 wellColour = 0xff0a0d13;
constexpr juce::uint32 lineColour = 0xff2a3140;
constexpr juce::uint32 blueColour = 0xff5aa0ff;
constexpr juce::uint32 pinkColour = 0xffe9608e;
constexpr juce::uint32 holdColour = 0xd9ffffff;
constexpr juce::uint32 readoutColour = 0xe6ffffff;

constexpr float scaleMarksDb[] = { 0.0f, -6.0f, -12.0f, -18.0f, -24.0f };
} // namespace

GRMeter::GRMeter (VarnokCompAudioProcessor& p)
    : processor (p)
{
    startTimer (timerIntervalMs);
}

GRMeter::~GRMeter() = default;

float GRMeter::grToY (float db, juce::Rectangle<float> bar)
{
    return bar.getY() + bar.getHeight() * juce::jlimit (0.0f, 1.0f, db / floorDb);
}

void GRMeter::timerCallback()
{
    const auto target = juce::jlimit (floorDb, 0.0f,
                                      processor.engine.meterGainReductionDb.load (std::memory_order_relaxed));

    // The return heads for 0, not for the target, so a steady reduction shows a small flicker.
    if (displayDb > target)
        displayDb = target;
    else
        displayDb = juce::jmin (displayDb + returnStepDb, 0.0f);

    if (holdDb > displayDb)
    {
        holdDb = displayDb;
        holdTicks = holdTicksAfterPeak;
    }
    else if (holdTicks > 0)
    {
        --holdTicks;
    }
    else
    {
        holdDb = juce::jmin (holdDb + holdReturnStepDb, 0.0f);
    }

    repaint();
}

void GRMeter::paint (juce::Graphics& g)
{
    const auto w = (float) getWidth();
    const auto h = (float) getHeight();
    const auto titleHeight = juce::jmin (h, 14.0f);
    const auto readoutHeight = juce::jmin (h - titleHeight, 16.0f);
    const auto readoutY = h - readoutHeight;
    const juce::Rectangle<float> bar (8.0f, titleHeight + 2.0f, juce::jmax (juce::jmax (w - 8.0f, 0.0f) - 26.0f, 0.0f),
                                      juce::jmax (h - titleHeight - readoutHeight - 4.0f, 0.0f));

    g.setColour (juce::Colour (textGreyColour));
    g.setFont (juce::FontOptions (10.0f, juce::Font::bold));
    g.drawText ("GR", juce::Rectangle<float> (0.0f, 0.0f, w, titleHeight), juce::Justification::centred, true);

    g.setColour (juce::Colour (wellColour));
    g.fillRoundedRectangle (bar, 3.0f);

    g.setFont (juce::FontOptions (9.0f, juce::Font::plain));

    for (auto db : scaleMarksDb)
    {
        const auto y = grToY (db, bar);

        if (bar.getWidth() > 0.0f)
        {
            g.setColour (juce::Colour (lineColour));
            g.fillRect (juce::Rectangle<float> (8.0f, (float) (int) y, bar.getWidth(), 1.0f));
        }

        if (db < 0.0f)
        {
            g.setColour (juce::Colour (textGreyColour));
            g.drawText (juce::String ((int) db), juce::Rectangle<float> (8.0f + bar.getWidth() + 1.0f, y - 6.0f, 22.0f, 12.0f),
                        juce::Justification::centredLeft, true);
        }
    }

    const auto yEnd = grToY (displayDb, bar);

    if (yEnd > bar.getY() + 0.5f)
    {
        g.setGradientFill (juce::ColourGradient (juce::Colour (blueColour), 8.0f, bar.getY(),
                                                 juce::Colour (pinkColour), 8.0f, bar.getBottom(), false));
        g.fillRoundedRectangle (8.0f, bar.getY(), bar.getWidth(), yEnd - bar.getY(), 3.0f);
    }

    if (holdDb < -0.05f)
    {
        g.setColour (juce::Colour (holdColour));
        g.fillRect (juce::Rectangle<float> (8.0f, grToY (holdDb, bar) - 1.0f, bar.getWidth(), 2.0f));
    }

    g.setColour (juce::Colour (lineColour));
    g.drawRoundedRectangle (bar, 3.0f, 1.0f);

    g.setColour (juce::Colour (readoutColour));
    g.setFont (juce::FontOptions (11.0f, juce::Font::bold));
    g.drawText (juce::String (displayDb, 1), juce::Rectangle<float> (0.0f, readoutY, w, readoutHeight),
                juce::Justification::centred, true);
}
