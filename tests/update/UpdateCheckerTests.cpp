// The checker's thread against a real HTTP server on 127.0.0.1 that each test starts itself, the
// cancellation of a request that hangs, and the test mode driven by the environment.

#include "LoopbackHttpServer.h"

#include "processor/PluginIdentity.h"
#include "update/UpdateChecker.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

namespace
{
constexpr int threadFinishTimeoutMs = 15000;

juce::String manifestFor (const juce::String& version, const juce::String& url, const juce::String& notes, int schema = 2)
{
    auto edition = std::make_unique<juce::DynamicObject>();
    edition->setProperty ("version", version);
    edition->setProperty ("url", url);
    edition->setProperty ("notes", notes);

    auto product = std::make_unique<juce::DynamicObject>();
    product->setProperty ("free", juce::var (edition.release()));

    auto root = std::make_unique<juce::DynamicObject>();
    root->setProperty ("schema", schema);
    root->setProperty ("comp", juce::var (product.release()));

    return juce::JSON::toString (juce::var (root.release()));
}

// Sets or removes an environment variable for the length of a scope and puts the old value back.
class ScopedEnvironmentVariable
{
public:
    ScopedEnvironmentVariable (const char* variableName, std::optional<juce::String> value) : name (variableName)
    {
        if (const auto* old = std::getenv (name))
            previous = juce::String::fromUTF8 (old);

        apply (value);
    }

    ~ScopedEnvironmentVariable() { apply (previous); }

private:
    void apply (const std::optional<juce::String>& value)
    {
        if (value.has_value())
            ::setenv (name, value->toRawUTF8(), 1);
        else
            ::unsetenv (name);
    }

    const char* name;
    std::optional<juce::String> previous;
};

// Every network test runs with the test mode off, whatever the calling shell has set.
class CheckerTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE (server.isListening()); }

    UpdateInfo runCheck (const juce::String& path)
    {
        UpdateChecker checker (server.urlFor (path));
        checker.start();
        EXPECT_TRUE (checker.waitForThreadToExit (threadFinishTimeoutMs)) << "the check did not finish";
        return checker.getResult();
    }

    ScopedEnvironmentVariable noTestVersion { "VARNOK_UPDATE_TEST", std::nullopt };
    ScopedEnvironmentVariable noTestNotes { "VARNOK_UPDATE_TEST_NOTES", std::nullopt };
    LoopbackHttpServer server;
};

juce::MemoryBlock utf16LittleEndianWithMark (const juce::String& text)
{
    juce::MemoryOutputStream out;
    out.writeByte ((char) 0xff);
    out.writeByte ((char) 0xfe);

    for (auto p = text.toUTF16(); ! p.isEmpty(); ++p)
        out.writeShort ((short) *p);

    return out.getMemoryBlock();
}

juce::MemoryBlock utf8WithMark (const juce::String& text)
{
    juce::MemoryOutputStream out;
    out.write ("\xef\xbb\xbf", 3);
    out.write (text.toRawUTF8(), text.getNumBytesAsUTF8());
    return out.getMemoryBlock();
}

struct ServedCase
{
    const char* name;
    LoopbackHttpServer::Response response;
    UpdateInfo expected;
};

TEST_F (CheckerTest, ResultFollowsWhatTheServerSends)
{
    const juce::String japaneseNotes = juce::String::fromUTF8 (u8"・速くなりました\n・不具合を直しました");
    const auto newer = manifestFor ("1.0.3", "https://example.com/download", japaneseNotes);

    // A manifest too long to be read whole: its JSON goes on well past 69631 bytes.
    const auto oversized = manifestFor ("9.9.9", "u", juce::String::repeatedString ("x", 80000));
    // A long one that still fits: read whole, notes intact.
    const auto longNotes = juce::String::repeatedString ("y", 60000);
    const auto largeButFitting = manifestFor ("1.1.0", "u", longNotes);
    ASSERT_GT (oversized.getNumBytesAsUTF8(), 69631u);
    ASSERT_LT (largeButFitting.getNumBytesAsUTF8(), 65536u);

    const UpdateInfo none;
    const ServedCase cases[] = {
        { "newer version", LoopbackHttpServer::text (newer), { true, "1.0.3", "https://example.com/download", japaneseNotes } },
        { "nothing newer", LoopbackHttpServer::text (manifestFor ("1.0.2", "u", "n")), none },
        { "older version", LoopbackHttpServer::text (manifestFor ("0.9.0", "u", "n")), none },
        { "schema 3", LoopbackHttpServer::text (manifestFor ("9.9.9", "u", "n", 3)), none },
        { "body over the limit", LoopbackHttpServer::text (oversized), none },
        { "large body within the limit", LoopbackHttpServer::text (largeButFitting), { true, "1.1.0", "u", longNotes } },
        { "not JSON", LoopbackHttpServer::text ("<html><body>Hello</body></html>", 200, "text/html"), none },
        { "empty body", LoopbackHttpServer::text (""), none },
        { "UTF-16 with byte-order mark", LoopbackHttpServer::bytes (utf16LittleEndianWithMark (newer)),
          { true, "1.0.3", "https://example.com/download", japaneseNotes } },
        { "UTF-8 with byte-order mark", LoopbackHttpServer::bytes (utf8WithMark (newer)),
          { true, "1.0.3", "https://example.com/download", japaneseNotes } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const auto path = "/" + juce::String (c.name).replaceCharacter (' ', '-') + ".json";
        server.setRoute (path, c.response);

        const auto before = server.getRequestLines().size();
        const auto info = runCheck (path);

        EXPECT_EQ (info.available, c.expected.available);
        EXPECT_EQ (info.version, c.expected.version);
        EXPECT_EQ (info.url, c.expected.url);
        EXPECT_EQ (info.notes, c.expected.notes);

        // One plain GET per check, no retry.
        const auto lines = server.getRequestLines();
        ASSERT_EQ (lines.size(), before + 1);
        EXPECT_EQ (lines[before], "GET " + path + " HTTP/1.1");
    }
}

TEST_F (CheckerTest, ServerErrorPageYieldsNothing)
{
    // No route: the server answers 404 with an HTML page, which is read and fails to parse.
    EXPECT_FALSE (runCheck ("/missing.json").available);

    server.setRoute ("/broken.json", LoopbackHttpServer::text ("Internal Server Error", 500, "text/plain"));
    EXPECT_FALSE (runCheck ("/broken.json").available);
}

TEST_F (CheckerTest, FollowsTwoRedirectsButNotThree)
{
    server.setRoute ("/manifest.json", LoopbackHttpServer::text (manifestFor ("1.0.3", "u", "n")));
    server.setRoute ("/r1", LoopbackHttpServer::redirect (server.urlFor ("/r2")));
    server.setRoute ("/r2", LoopbackHttpServer::redirect (server.urlFor ("/manifest.json")));
    server.setRoute ("/r0", LoopbackHttpServer::redirect (server.urlFor ("/r1")));

    EXPECT_TRUE (runCheck ("/r1").available);
    EXPECT_FALSE (runCheck ("/r0").available);
}

TEST_F (CheckerTest, RefusedConnectionYieldsNothing)
{
    int closedPort = 0;
    {
        juce::StreamingSocket probe;
        ASSERT_TRUE (probe.createListener (0, "127.0.0.1"));
        closedPort = probe.getBoundPort();
    }

    UpdateChecker checker ("http://127.0.0.1:" + juce::String (closedPort) + "/manifest.json");
    checker.start();
    ASSERT_TRUE (checker.waitForThreadToExit (threadFinishTimeoutMs));
    EXPECT_FALSE (checker.getResult().available);
}

TEST_F (CheckerTest, StartsOnlyOnce)
{
    server.setRoute ("/manifest.json", LoopbackHttpServer::text (manifestFor ("1.0.3", "u", "n")));

    UpdateChecker checker (server.urlFor ("/manifest.json"));
    EXPECT_FALSE (checker.isThreadRunning());
    checker.start();
    checker.start();
    ASSERT_TRUE (checker.waitForThreadToExit (threadFinishTimeoutMs));
    checker.start();
    EXPECT_FALSE (checker.isThreadRunning());

    juce::Thread::sleep (200);
    EXPECT_EQ (server.getRequestLines().size(), 1);
    EXPECT_TRUE (checker.getResult().available);
}

TEST_F (CheckerTest, DefaultAddressIsTheBuildsManifestUrl)
{
    const UpdateChecker checker;
    EXPECT_EQ (checker.getManifestAddress(), juce::String (varnok::identity::manifestUrl));
    EXPECT_EQ (checker.getThreadName(), "VarnokUpdateCheck");
    EXPECT_FALSE (checker.getResult().available);
}

//==============================================================================
double millisecondsToDestroy (std::unique_ptr<UpdateChecker>& checker)
{
    const auto start = juce::Time::getMillisecondCounterHiRes();
    checker.reset();
    return juce::Time::getMillisecondCounterHiRes() - start;
}

TEST_F (CheckerTest, DestroyingWhileTheServerHangsCancelsTheRequest)
{
    server.setRoute ("/hang.json", LoopbackHttpServer::hanging());

    for (int round = 0; round < 3; ++round)
    {
        auto checker = std::make_unique<UpdateChecker> (server.urlFor ("/hang.json"));
        checker->start();

        // The server holds the connection and never answers; the checker is blocked waiting.
        ASSERT_TRUE (server.waitForHangingConnections (round + 1, 5000));
        juce::Thread::sleep (300);
        ASSERT_TRUE (checker->isThreadRunning());

        const auto elapsed = millisecondsToDestroy (checker);
        std::cout << "[ measure  ] destroying during a hanging request took " << juce::String (elapsed, 1) << " ms"
                  << std::endl;
        RecordProperty ("destroyHangingMs" + std::to_string (round), juce::roundToInt (elapsed));
        EXPECT_LT (elapsed, 6000.0);

        // Left alone the request would only give up after the connection timeout (see the test
        // below); returning well before that shows the destructor's cancel ended it.
        EXPECT_LT (elapsed, UpdateChecker::connectionTimeoutMs - 1500.0);
    }
}

TEST_F (CheckerTest, DestroyingRightAfterStartReturnsPromptly)
{
    server.setRoute ("/hang.json", LoopbackHttpServer::hanging());

    // Destroy at several points of the thread's start-up, before and around stream creation.
    for (int delayMs : { 0, 1, 5, 20 })
    {
        auto checker = std::make_unique<UpdateChecker> (server.urlFor ("/hang.json"));
        checker->start();
        juce::Thread::sleep (delayMs);

        EXPECT_LT (millisecondsToDestroy (checker), 6000.0) << "after " << delayMs << " ms";
    }

    auto neverStarted = std::make_unique<UpdateChecker> (server.urlFor ("/hang.json"));
    EXPECT_LT (millisecondsToDestroy (neverStarted), 100.0);
}

TEST_F (CheckerTest, HangingServerLeftAloneTimesOutWithNothing)
{
    server.setRoute ("/hang.json", LoopbackHttpServer::hanging());

    UpdateChecker checker (server.urlFor ("/hang.json"));
    const auto start = juce::Time::getMillisecondCounterHiRes();
    checker.start();

    // The request gives up after about the connection timeout; nothing is stored.
    ASSERT_TRUE (checker.waitForThreadToExit (threadFinishTimeoutMs));
    const auto elapsed = juce::Time::getMillisecondCounterHiRes() - start;
    std::cout << "[ measure  ] an unanswered request ended by itself after " << juce::String (elapsed, 1) << " ms"
              << std::endl;
    EXPECT_GE (elapsed, UpdateChecker::connectionTimeoutMs - 500.0);
    EXPECT_FALSE (checker.getResult().available);
}

TEST_F (CheckerTest, ResultCanBePolledWhileTheCheckRuns)
{
    server.setRoute ("/manifest.json", LoopbackHttpServer::text (manifestFor ("1.0.3", "u", "n")));

    UpdateChecker checker (server.urlFor ("/manifest.json"));
    checker.start();

    // The way the editor's timer reads it: never a half-written result.
    while (checker.isThreadRunning())
    {
        const auto info = checker.getResult();
        EXPECT_TRUE ((! info.available && info.version.isEmpty()) || (info.available && info.version == "1.0.3"));
    }

    const auto info = checker.getResult();
    EXPECT_TRUE (info.available);
    EXPECT_EQ (info.version, "1.0.3");
}

//==============================================================================
const juce::String defaultTestNotes = juce::String::fromUTF8 (u8"・これは表示の確認用です（通信していません）\n"
                                                              u8"・VARNOK_UPDATE_TEST を外せば出なくなります");

struct TestModeCase
{
    const char* name;
    std::optional<juce::String> testVersion;
    std::optional<juce::String> testNotes;
    bool simulated; // false: the ordinary network check runs
    UpdateInfo expected;
};

TEST_F (CheckerTest, TestModeFollowsTheEnvironment)
{
    server.setRoute ("/manifest.json", LoopbackHttpServer::text (manifestFor ("1.0.5", "net-url", "net-notes")));
    const juce::String shop = varnok::identity::shopPageUrl;
    const UpdateInfo fromNetwork { true, "1.0.5", "net-url", "net-notes" };

    const TestModeCase cases[] = {
        { "newer test version, default notes", juce::String ("9.9.9"), std::nullopt, true, { true, "9.9.9", shop, defaultTestNotes } },
        { "own version: kept but not available", juce::String ("1.0.2"), std::nullopt, true, { false, "1.0.2", shop, defaultTestNotes } },
        { "older test version", juce::String ("0.1"), std::nullopt, true, { false, "0.1", shop, defaultTestNotes } },
        { "empty notes variable gives empty notes", juce::String ("9.9.9"), juce::String(), true, { true, "9.9.9", shop, "" } },
        { "own notes", juce::String ("1.0.3-rc"), juce::String ("first\nsecond"), true, { true, "1.0.3-rc", shop, "first\nsecond" } },
        { "empty test variable: normal check", juce::String(), juce::String ("ignored"), false, fromNetwork },
        { "no test variable: normal check", std::nullopt, juce::String ("ignored"), false, fromNetwork },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const auto requestsBefore = server.getRequestLines().size();

        UpdateChecker checker (server.urlFor ("/manifest.json"));
        {
            const ScopedEnvironmentVariable version ("VARNOK_UPDATE_TEST", c.testVersion);
            const ScopedEnvironmentVariable notes ("VARNOK_UPDATE_TEST_NOTES", c.testNotes);
            checker.start();
        }

        if (c.simulated)
        {
            // Filled synchronously by start; no thread, no request.
            EXPECT_FALSE (checker.isThreadRunning());
            juce::Thread::sleep (100);
        }
        else
        {
            ASSERT_TRUE (checker.waitForThreadToExit (threadFinishTimeoutMs));
        }

        EXPECT_EQ (server.getRequestLines().size(), requestsBefore + (c.simulated ? 0 : 1));

        const auto info = checker.getResult();
        EXPECT_EQ (info.available, c.expected.available);
        EXPECT_EQ (info.version, c.expected.version);
        EXPECT_EQ (info.url, c.expected.url);
        EXPECT_EQ (info.notes, c.expected.notes);
    }
}

TEST_F (CheckerTest, TestModeIsReadOnceByStart)
{
    UpdateChecker checker (server.urlFor ("/manifest.json"));

    // Set before construction: nothing is read until start.
    {
        const ScopedEnvironmentVariable version ("VARNOK_UPDATE_TEST", juce::String ("9.9.9"));
        EXPECT_FALSE (checker.getResult().available);
        checker.start();
    }

    const ScopedEnvironmentVariable laterVersion ("VARNOK_UPDATE_TEST", juce::String ("5.0.0"));
    checker.start();

    EXPECT_EQ (checker.getResult().version, "9.9.9");
    EXPECT_FALSE (checker.isThreadRunning());
}
} // namespace
