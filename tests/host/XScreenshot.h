#pragma once

#include <cstdint>
#include <vector>

namespace varnok::test
{
// Reads a rectangle of the X display's root window (what is on screen, child windows of other
// programs and plug-ins included) as 0xAARRGGBB pixels, row by row. False when there is no display.
bool grabScreen (int x, int y, int width, int height, std::vector<std::uint32_t>& pixels);
} // namespace varnok::test
