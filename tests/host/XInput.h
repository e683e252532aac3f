#pragma once

namespace varnok::test
{
// Input as a person gives it, through the X server's test extension: the server itself makes
// the events, so they reach whichever window has the pointer or the keyboard focus, the
// plug-in's own windows included. Each returns false when there is no display or no extension.

// Moves the pointer to the screen point and clicks the first button there.
bool clickAt (int x, int y);

// Holds the modifiers, presses and releases the key named like an X keysym ("z", "y", ...),
// then lets go of the modifiers in reverse order.
struct KeyModifiers
{
    bool ctrl = false, shift = false, alt = false;
};

bool typeKey (const char* keysymName, KeyModifiers modifiers);

// The deepest window under the screen point (a plug-in's view inside its host's window), or 0.
unsigned long windowAt (int x, int y);

// The window that has the keyboard focus now (0 for none, 1 for "whatever has the pointer").
unsigned long focusedWindow();
} // namespace varnok::test
