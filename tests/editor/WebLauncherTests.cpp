// The launcher that opens web pages, driven through its real default opener with a stand-in
// xdg-open first on PATH: what reaches the browser, what never does, and what is left behind.
#include "BrowserStub.h"
#include "EditorTestSupport.h"

#include "editor/WebLauncher.h"
#include "processor/PluginIdentity.h"

#include <cerrno>
#include <sys/wait.h>

using edtest::BrowserStub;
using edtest::EditorFixture;

namespace
{
// True when this process has no child at all: no zombie waits to be reaped, nothing runs.
bool hasNoChildren()
{
    int status = 0;
    return ::waitpid (-1, &status, WNOHANG) < 0 && errno == ECHILD;
}

// The files a shell would create if one ever read the address.
const char* const shellMarkers[] = { "A", "B", "C", "D", "E", "F" };
} // namespace

TEST (WebLauncherTest, HostileOrMalformedAddressesReachNeitherShellNorBrowser)
{
    const BrowserStub browser;
    const auto dir = browser.folder.getFullPathName().toStdString();

    // An executable file that touches E when run: an address naming it must not start it.
    browser.file ("run-me").replaceWithText ("#!/bin/sh\n: > '" + browser.folder.getFullPathName() + "/E'\n", false, false, "\n");
    browser.file ("run-me").setExecutePermission (true);

    const std::string addresses[] = {
        "https://example.com/$(touch " + dir + "/A)",
        "https://example.com/`touch " + dir + "/B`",
        "https://example.com/\"; touch " + dir + "/C; \"",
        "$(touch " + dir + "/D)",
        dir + "/run-me",
        "file://" + dir + "/run-me",
        "file:///bin/sh",
        "javascript:alert(1)",
        "https:///no-host",
        "https://",
        "http:/example.com/one-slash",
        "example.com/no-scheme",
        "ftp://example.com/file",
        "https://user@example.com/",
        "https://example.com:99999/",
        "https://example.com/a b",
        "https://example.com/a\nb",
        "https://example.com/a\tb",
        "https://example.com/a\x7f",
        "https://example.com/%zz",
        "https://example.com/caf\xc3\xa9",
        "https://example.com/a;touch " + dir + "/F",
        "https://example.com/" + std::string (2100, 'a'),
    };

    for (const auto& address : addresses)
        EXPECT_FALSE (varnok::openWebPage (juce::URL (juce::String::fromUTF8 (address.c_str()))))
            << address.substr (0, 80);

    // A shell or browser started in the background would have had time to act by now.
    juce::Thread::sleep (1000);
    EXPECT_FALSE (browser.wasStarted());

    for (const auto* marker : shellMarkers)
        EXPECT_FALSE (browser.file (marker).exists()) << marker;
}

TEST (WebLauncherTest, CleanAddressArrivesAsOneArgumentByteForByte)
{
    const BrowserStub browser;

    const char* const addresses[] = {
        "https://example.com/download/v1.0.3?edition=free&lang=ja%20JP#notes",
        "http://127.0.0.1:8080/a%20b/c-d_e.f~g?x=1&y=%2F#top",
        "HTTPS://Example.COM/Upper",
        "https://[::1]:8443/six",
        varnok::identity::shopPageUrl,
    };

    for (const auto* address : addresses)
    {
        browser.forgetCall();
        ASSERT_TRUE (varnok::openWebPage (juce::URL (address))) << address;
        ASSERT_TRUE (browser.waitFor ("call")) << address;
        EXPECT_EQ (browser.arguments(), std::vector<std::string> { address });
    }
}

TEST (WebLauncherTest, ReturnsAtOnceAndLeavesNoChildBehind)
{
    const BrowserStub browser (3); // the stub sleeps 3 s before it touches "finished"

    ASSERT_TRUE (varnok::openWebPage (juce::URL ("https://example.com/slow")));
    EXPECT_FALSE (browser.file ("finished").exists()); // returned while the browser still runs
    EXPECT_TRUE (hasNoChildren());

    ASSERT_TRUE (browser.waitFor ("finished"));
    juce::Thread::sleep (200);
    EXPECT_TRUE (hasNoChildren()); // the browser's end leaves no zombie of ours either
}

TEST (WebLauncherTest, NoBrowserOnPathOpensNothing)
{
    const edtest::ScopedEnv path ("PATH", "/nonexistent-folder:relative/folder:");
    EXPECT_FALSE (varnok::openWebPage (juce::URL ("https://example.com/")));
    EXPECT_TRUE (hasNoChildren());
}

TEST (WebLauncherTest, AnInstalledOpenerSeesOnlyAddressesThatPass)
{
    juce::StringArray seen;
    varnok::setWebPageOpener ([&seen] (const juce::URL& url)
                              {
                                  seen.add (url.toString (true));
                                  return false; // its own result is passed on
                              });

    EXPECT_FALSE (varnok::openWebPage (juce::URL ("https://example.com/$(id)")));
    EXPECT_FALSE (varnok::openWebPage (juce::URL ("file:///etc/passwd")));
    EXPECT_FALSE (varnok::openWebPage (juce::URL ("https://example.com/page")));
    varnok::setWebPageOpener ({});

    EXPECT_EQ (seen, juce::StringArray { "https://example.com/page" });
}

TEST_F (EditorFixture, GetProStartsTheBrowserOnTheShopPage)
{
    const BrowserStub browser;
    EditorTestAccess::getPro (*editor).triggerClick();
    pump();

    ASSERT_TRUE (browser.waitFor ("call"));
    EXPECT_EQ (browser.arguments(), std::vector<std::string> { varnok::identity::shopPageUrl });
}
