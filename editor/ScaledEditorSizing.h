#pragma once

#include <juce_graphics/juce_graphics.h>

#include <optional>

// The editor shell's size rules as plain arithmetic on a display's work area, so that they can be
// checked without a real display. All sizes are in logical (editor) pixels.
namespace varnok::sizing
{
// First window size: initialScale times the design size, limited to 90 % of the width and of the
// height of the work area (width first). Not raised to the resize minimum: a tiny display wins.
juce::Point<int> computeInitialSize (int designWidth, int designHeight, double initialScale,
                                     std::optional<juce::Rectangle<int>> workArea);

// Size for the first tick in a window: a window larger than 96 % of the work area's width or 90 %
// of its height shrinks, keeping the design aspect ratio, but never below half the design width.
// Without a work area, or with a non-positive size, the size is returned unchanged.
juce::Point<int> fitToWorkArea (juce::Point<int> size, int designWidth, int designHeight,
                                std::optional<juce::Rectangle<int>> workArea);

// Uniform scale that maps the design canvas into a window of the given size; 0 when the window
// has no area.
float computeCanvasScale (int width, int height, int designWidth, int designHeight);
} // namespace varnok::sizing
