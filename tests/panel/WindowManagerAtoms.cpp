// Some tests put the panel into a real window so that mouse input takes JUCE's own road (hit
// testing, enter and exit, the component that took the press getting the release). On a bare
// virtual X server without a window manager, JUCE only looks up the window-manager atoms
// (WM_PROTOCOLS, WM_STATE, ...), never creates them, and the first window dies with BadAtom.
// Interning them before JUCE connects avoids that.

#include <dlfcn.h>

#include <initializer_list>

namespace
{
struct WindowManagerAtoms
{
    WindowManagerAtoms()
    {
        auto* x11 = dlopen ("libX11.so.6", RTLD_NOW | RTLD_LOCAL);

        if (x11 == nullptr)
            return;

        using OpenDisplay = void* (*) (const char*);
        using InternAtom = unsigned long (*) (void*, const char*, int);
        using Sync = int (*) (void*, int);

        auto open = reinterpret_cast<OpenDisplay> (dlsym (x11, "XOpenDisplay"));
        auto intern = reinterpret_cast<InternAtom> (dlsym (x11, "XInternAtom"));
        auto sync = reinterpret_cast<Sync> (dlsym (x11, "XSync"));

        if (open == nullptr || intern == nullptr || sync == nullptr)
            return;

        // Kept open for the whole run: the server forgets atoms once their last client has gone.
        display = open (nullptr);

        if (display == nullptr)
            return;

        for (const auto* name : { "WM_PROTOCOLS", "WM_TAKE_FOCUS", "WM_DELETE_WINDOW", "_NET_WM_PING", "WM_CHANGE_STATE",
                                  "WM_STATE", "_NET_WM_STATE", "_NET_WM_STATE_HIDDEN" })
            intern (display, name, 0);

        sync (display, 0);
    }

    void* display = nullptr;
};

const WindowManagerAtoms windowManagerAtoms;
} // namespace
