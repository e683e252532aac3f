#pragma once

#include <juce_graphics/juce_graphics.h>

// The small "PRO" tag that marks controls of the paid edition.
namespace varnok
{
inline constexpr juce::uint32 proBadgeFillColour = 0xd9c8a24a;
inline constexpr juce::uint32 proBadgeTextColour = 0xff1b1e24;

// Draws the badge filling the given rectangle (26 by 11 where the editor uses it).
void drawProBadgeAt (juce::Graphics& g, juce::Rectangle<float> badge);
} // namespace varnok
