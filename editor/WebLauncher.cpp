#include "WebLauncher.h"

namespace varnok
{
namespace
{
WebPageOpener& currentOpener()
{
    static WebPageOpener opener;
    return opener;
}
} // namespace

bool openWebPage (const juce::URL& url)
{
    if (auto& opener = currentOpener())
        return opener (url);

    return url.launchInDefaultBrowser();
}

void setWebPageOpener (WebPageOpener opener) { currentOpener() = std::move (opener); }
} // namespace varnok
