#include "ScaledEditorSizing.h"

namespace varnok::sizing
{
namespace
{
int heightForWidth (int width, int designWidth, int designHeight)
{
    return juce::roundToInt ((double) designHeight * width / designWidth);
}

int widthForHeight (int height, int designWidth, int designHeight)
{
    return juce::roundToInt ((double) designWidth * height / designHeight);
}
} // namespace

juce::Point<int> computeInitialSize (int designWidth, int designHeight, double initialScale,
                                     std::optional<juce::Rectangle<int>> workArea)
{
    auto w = juce::roundToInt (initialScale * designWidth);
    auto h = heightForWidth (w, designWidth, designHeight);

    if (workArea.has_value())
    {
        const auto maxW = juce::roundToInt (0.9 * workArea->getWidth());
        const auto maxH = juce::roundToInt (0.9 * workArea->getHeight());

        if (w > maxW)
        {
            w = maxW;
            h = heightForWidth (w, designWidth, designHeight);
        }

        if (h > maxH)
        {
            h = maxH;
            w = widthForHeight (h, designWidth, designHeight);
        }
    }

    return { w, h };
}

juce::Point<int> fitToWorkArea (juce::Point<int> size, int designWidth, int designHeight,
                                std::optional<juce::Rectangle<int>> workArea)
{
    auto w = size.x;
    auto h = size.y;

    if (! workArea.has_value() || w <= 0 || h <= 0)
        return size;

    // The height gets a smaller share than the width: hosts put their own title bar above the view.
    const auto maxW = juce::roundToInt (0.96 * workArea->getWidth());
    const auto maxH = juce::roundToInt (0.9 * workArea->getHeight());

    if (w > maxW || h > maxH)
    {
        const auto s = juce::jmin ((double) maxH / h, (double) maxW / w);
        w = juce::jmax (designWidth / 2, juce::roundToInt (w * s));
        h = heightForWidth (w, designWidth, designHeight);
    }

    return { w, h };
}

float computeCanvasScale (int width, int height, int designWidth, int designHeight)
{
    if (width <= 0 || height <= 0)
        return 0.0f;

    return juce::jmin ((float) height / (float) designHeight, (float) width / (float) designWidth);
}
} // namespace varnok::sizing
