#pragma once

#include <juce_core/juce_core.h>

#include <functional>

namespace varnok
{
// Every web page the editor opens goes through here, so that tests can see which address was
// asked for instead of starting a browser.
using WebPageOpener = std::function<bool (const juce::URL&)>;

// Longest address that is ever opened, in bytes.
inline constexpr int maxWebAddressBytes = 2048;

// True for an absolute http or https address with a host, made only of the characters an
// address needs (no blanks, controls, quotes or shell syntax), at most maxWebAddressBytes long.
bool isOpenableWebAddress (const juce::String& address);

// Opens the page with the default opener (the system's browser) or the one a test installed.
// An address that isOpenableWebAddress refuses reaches no opener: the result is then false.
// On Linux the default opener starts xdg-open from PATH with the address as its only argument,
// without a shell, and does not wait for it.
bool openWebPage (const juce::URL& url);

// Replaces the opener; an empty function restores the system's browser. Message thread only.
void setWebPageOpener (WebPageOpener opener);
} // namespace varnok
