// Kept apart from JUCE: Xlib's headers and JUCE's names do not mix in one file.
#include "XScreenshot.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace varnok::test
{
bool grabScreen (int x, int y, int width, int height, std::vector<std::uint32_t>& pixels)
{
    auto* display = XOpenDisplay (nullptr);

    if (display == nullptr)
        return false;

    XSync (display, False);
    auto* image = XGetImage (display, DefaultRootWindow (display), x, y, (unsigned) width, (unsigned) height, AllPlanes, ZPixmap);
    const auto ok = image != nullptr;

    if (ok)
    {
        pixels.resize ((size_t) width * (size_t) height);

        for (int row = 0; row < height; ++row)
            for (int column = 0; column < width; ++column)
                pixels[(size_t) row * (size_t) width + (size_t) column] = 0xff000000u | (std::uint32_t) (XGetPixel (image, column, row) & 0xffffff);

        XDestroyImage (image);
    }

    XCloseDisplay (display);
    return ok;
}
} // namespace varnok::test
