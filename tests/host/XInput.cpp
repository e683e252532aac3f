// Kept apart from JUCE: Xlib's headers and JUCE's names do not mix in one file.
#include "XInput.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <vector>

namespace varnok::test
{
namespace
{
// One connection per call, closed again: the events are the server's, not this connection's.
struct Connection
{
    Connection() : display (XOpenDisplay (nullptr))
    {
        int event = 0, error = 0, major = 0, minor = 0;

        if (display != nullptr && ! XTestQueryExtension (display, &event, &error, &major, &minor))
        {
            XCloseDisplay (display);
            display = nullptr;
        }
    }

    ~Connection()
    {
        if (display != nullptr)
        {
            XSync (display, False);
            XCloseDisplay (display);
        }
    }

    Display* display;
};
} // namespace

bool clickAt (int x, int y)
{
    Connection c;

    if (c.display == nullptr)
        return false;

    XTestFakeMotionEvent (c.display, -1, x, y, CurrentTime);
    XSync (c.display, False);
    XTestFakeButtonEvent (c.display, Button1, True, CurrentTime);
    XSync (c.display, False);
    XTestFakeButtonEvent (c.display, Button1, False, CurrentTime);
    return true;
}

bool typeKey (const char* keysymName, KeyModifiers modifiers)
{
    Connection c;

    if (c.display == nullptr)
        return false;

    const auto key = XKeysymToKeycode (c.display, XStringToKeysym (keysymName));

    if (key == 0)
        return false;

    std::vector<KeyCode> held;

    for (const auto& [wanted, name] : { std::pair { modifiers.ctrl, "Control_L" }, std::pair { modifiers.shift, "Shift_L" },
                                        std::pair { modifiers.alt, "Alt_L" } })
    {
        if (! wanted)
            continue;

        const auto code = XKeysymToKeycode (c.display, XStringToKeysym (name));

        if (code == 0)
            return false;

        XTestFakeKeyEvent (c.display, code, True, CurrentTime);
        held.push_back (code);
    }

    XTestFakeKeyEvent (c.display, key, True, CurrentTime);
    XTestFakeKeyEvent (c.display, key, False, CurrentTime);

    for (auto it = held.rbegin(); it != held.rend(); ++it)
        XTestFakeKeyEvent (c.display, *it, False, CurrentTime);

    return true;
}

unsigned long windowAt (int x, int y)
{
    Connection c;

    if (c.display == nullptr)
        return 0;

    Window window = DefaultRootWindow (c.display);
    Window child = 0;
    int localX = x, localY = y;

    while (XTranslateCoordinates (c.display, DefaultRootWindow (c.display), window, x, y, &localX, &localY, &child) && child != 0)
        window = child;

    return window == DefaultRootWindow (c.display) ? 0 : window;
}

unsigned long focusedWindow()
{
    Connection c;

    if (c.display == nullptr)
        return 0;

    Window focus = 0;
    int revert = 0;
    XGetInputFocus (c.display, &focus, &revert);
    return focus;
}
} // namespace varnok::test
