// JUCE names the window-manager protocols and states of a window with atoms that it only looks up,
// never creates. A bare virtual X server without a window manager does not know them (WM_PROTOCOLS,
// WM_STATE, ...), and the first real window then dies with BadAtom. Creating the atoms before JUCE
// connects avoids that. Test executables that open real windows link this file.

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

        // Kept open for the whole run: the server forgets its atoms when its last client leaves.
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
