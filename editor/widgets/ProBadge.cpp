#include "ProBadge.h"

namespace varnok
{
void drawProBadgeAt (juce::Graphics& g, juce::Rectangle<float> badge)
{
    g.setColour (juce::Colour (proBadgeFillColour));
    g.fillRoundedRectangle (badge, 3.0f);

    g.setColour (juce::Colour (proBadgeTextColour));
    g.setFont (juce::FontOptions (8.5f, juce::Font::bold));
    g.drawText ("PRO", badge, juce::Justification::centred, true);
}
} // namespace varnok
