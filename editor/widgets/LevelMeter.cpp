#include "LevelMeter.h"

#include <cmath>

namespace
{
constexpr juce::uint32 backgroundColour = 0xff161b26;
constexpr juce::uint32 scaleLineColour = 0xff3a3f49;
constexpr juce::uint32 textGreyColour = 0xff7f8a9c;
constexpr juce::uint32 wellColour = 0xff14161a;
constexpr juce::uint32 greenColour = 0xff57b86a;
constexpr juce::uint32 amberColour = 0xffd8b13a;
constexpr juce::uint32 redColour = 0xffe0565f;
constexpr juce::uint32 holdColour = 0xd9ffffff;

constexpr float levelKeep = 0.8f;
constexpr float scaleMarksDb[] = { 0.0f, -6.0f, -12.0f, -24.0f, -36.0f };

juce::Rectangle<float> insetSides (juce::Rectangle<float> r, float inset)
{
    return { r.getX() + inset, r.getY(), juce::jmax (r.getWidth() - 2.0f * inset, 0.0f), r.getHeight() };
}
} // namespace

// Everything is derived from the current size in every paint; there is no resize handler.
struct LevelMeter::Layout
{
    explicit Layout (juce::Rectangle<float> bounds)
    {
        area = { 6.0f, 6.0f, juce::jmax (bounds.getWidth() - 12.0f, 0.0f), juce::jmax (bounds.getHeight() - 12.0f, 0.0f) };

        const auto captionHeight = juce::jmin (area.getHeight(), 14.0f);
        const auto readoutHeight = juce::jmin (area.getHeight() - captionHeight, 14.0f);
        captionY = area.getY();
        captionH = captionHeight;
        band = { area.getX(), area.getY() + captionHeight, area.getWidth(), area.getHeight() - captionHeight - readoutHeight };
        readoutY = band.getBottom();
        readoutH = readoutHeight;

        const auto scaleWidth = juce::jmin (band.getWidth(), 20.0f);
        scaleColumn = band.withWidth (scaleWidth);

        const auto rest = band.withTrimmedLeft (scaleWidth);
        const auto inWidth = juce::jmin (rest.getWidth(), rest.getWidth() * 0.5f);
        outGroupLeft = rest.getX() + inWidth;
        inGroup = insetSides (rest.withWidth (inWidth), 2.0f);
        outGroup = insetSides (rest.withTrimmedLeft (inWidth), 2.0f);
    }

    juce::Rectangle<float> area, band, scaleColumn, inGroup, outGroup;
    float captionY = 0.0f, captionH = 0.0f, readoutY = 0.0f, readoutH = 0.0f, outGroupLeft = 0.0f;
};

LevelMeter::LevelMeter (MeterSource& meterSource)
    : source (meterSource)
{
    levelDb.fill (silenceDb);
    holdDb.fill (silenceDb);
    startTimer (timerIntervalMs);
}

LevelMeter::~LevelMeter() = default;

float LevelMeter::gainToDb (float peak)
{
    return peak > 0.0f ? juce::jmax (20.0f * std::log10 (peak), silenceDb) : silenceDb;
}

float LevelMeter::dbToY (float db, juce::Rectangle<float> r)
{
    return r.getY() + r.getHeight() * juce::jlimit (0.0f, 1.0f, (scaleTopDb - db) / (scaleTopDb - scaleBottomDb));
}

std::array<juce::Rectangle<float>, 2> LevelMeter::splitBarPair (juce::Rectangle<float> group)
{
    // Groups narrower than the 2 px gap give bars of no width rather than negative ones.
    const auto half = juce::jmax ((group.getWidth() - 2.0f) * 0.5f, 0.0f);
    return { juce::Rectangle<float> { group.getX(), group.getY(), half, group.getHeight() },
             juce::Rectangle<float> { group.getX() + half + 2.0f, group.getY(), half, group.getHeight() } };
}

juce::String LevelMeter::formatDbReadout (float a, float b)
{
    const auto m = b > a ? b : a;
    return m <= scaleBottomDb ? juce::String ("-inf") : juce::String (m, 1);
}

//==============================================================================
void LevelMeter::timerCallback()
{
    const float readings[] = { gainToDb (source.getPeak (MeterSource::Stage::input, 0)),
                               gainToDb (source.getPeak (MeterSource::Stage::input, 1)),
                               gainToDb (source.getPeak (MeterSource::Stage::output, 0)),
                               gainToDb (source.getPeak (MeterSource::Stage::output, 1)) };

    // 1 - 0.8 in float is one step below 0.2; kept as computed so the fall matches to the bit.
    const float fallIn = 1.0f - levelKeep;

    for (size_t k = 0; k < levelDb.size(); ++k)
    {
        const auto d = readings[k];
        auto& level = levelDb[k];
        auto& hold = holdDb[k];

        level = d >= level ? d : level * levelKeep + d * fallIn;

        const auto candidate = hold - ((hold + 48.0f) * 0.1f * 0.05f) - 0.15f;
        hold = juce::jmax (level, juce::jmax (candidate, d));
    }

    repaint();
}

//==============================================================================
void LevelMeter::drawBar (juce::Graphics& g, juce::Rectangle<float> bar, float db)
{
    g.setColour (juce::Colour (wellColour));
    g.fillRoundedRectangle (bar, 2.0f);

    if (db <= scaleBottomDb)
        return;

    const auto y = dbToY (db, bar);

    juce::ColourGradient gradient (juce::Colour (greenColour), bar.getX(), bar.getBottom(),
                                   juce::Colour (redColour), bar.getX(), bar.getY(), false);
    gradient.addColour (0.55, juce::Colour (greenColour));
    gradient.addColour (0.78, juce::Colour (amberColour));
    g.setGradientFill (gradient);
    g.fillRoundedRectangle (bar.getX(), y, bar.getWidth(), juce::jmax (bar.getBottom() - y, 0.0f), 2.0f);
}

void LevelMeter::paint (juce::Graphics& g)
{
    const Layout layout (getLocalBounds().toFloat());
    const auto scaleWidth = layout.scaleColumn.getWidth();

    g.setColour (juce::Colour (backgroundColour));
    g.fillRoundedRectangle (getLocalBounds().toFloat(), 6.0f);

    g.setFont (juce::FontOptions (8.0f, juce::Font::plain));

    for (auto db : scaleMarksDb)
    {
        const auto y = dbToY (db, layout.band);
        const auto lineWidth = layout.area.getRight() - layout.outGroupLeft;

        if (lineWidth > 0.0f)
        {
            g.setColour (juce::Colour (scaleLineColour));
            g.fillRect (juce::Rectangle<float> (layout.outGroupLeft, (float) (int) y, lineWidth, 1.0f));
        }

        g.setColour (juce::Colour (textGreyColour));
        g.drawText (juce::String ((int) db), juce::Rectangle<float> (6.0f, y - 5.0f, scaleWidth, 10.0f),
                    juce::Justification::centredRight, true);
    }

    const auto inBars = splitBarPair (layout.inGroup);
    const auto outBars = splitBarPair (layout.outGroup);
    const juce::Rectangle<float> bars[] = { inBars[0], inBars[1], outBars[0], outBars[1] };

    for (size_t k = 0; k < 4; ++k)
        drawBar (g, bars[k], levelDb[k]);

    g.setColour (juce::Colour (holdColour));

    for (size_t k = 0; k < 4; ++k)
        if (holdDb[k] > scaleBottomDb && bars[k].getWidth() > 0.0f)
            g.fillRect (juce::Rectangle<float> (bars[k].getX(), (float) (int) dbToY (holdDb[k], bars[k]),
                                                bars[k].getWidth(), 1.0f));

    g.setColour (juce::Colour (textGreyColour));
    g.setFont (juce::FontOptions (10.0f, juce::Font::bold));
    g.drawText ("IN", juce::Rectangle<float> (layout.inGroup.getX(), layout.captionY, layout.inGroup.getWidth(), layout.captionH),
                juce::Justification::centred, true);
    g.drawText ("OUT", juce::Rectangle<float> (layout.outGroup.getX(), layout.captionY, layout.outGroup.getWidth(), layout.captionH),
                juce::Justification::centred, true);

    g.setColour (juce::Colour (0xffffffff));
    g.setFont (juce::FontOptions (9.0f, juce::Font::plain));
    g.drawText (formatDbReadout (holdDb[0], holdDb[1]),
                juce::Rectangle<float> (layout.inGroup.getX(), layout.readoutY, layout.inGroup.getWidth(), layout.readoutH),
                juce::Justification::centred, true);
    g.drawText (formatDbReadout (holdDb[2], holdDb[3]),
                juce::Rectangle<float> (layout.outGroup.getX(), layout.readoutY, layout.outGroup.getWidth(), layout.readoutH),
                juce::Justification::centred, true);
}
