#pragma once

#include <juce_core/juce_core.h>

#include <functional>

namespace varnok
{
// Every web page the editor opens goes through here, so that tests can see which address was
// asked for instead of starting a browser.
using WebPageOpener = std::function<bool (const juce::URL&)>;

// Opens the page with the default opener (the system's browser) or the one a test installed.
bool openWebPage (const juce::URL& url);

// Replaces the opener; an empty function restores the system's browser. Message thread only.
void setWebPageOpener (WebPageOpener opener);
} // namespace varnok
