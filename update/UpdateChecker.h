#pragma once

#include "processor/PluginIdentity.h"

#include <juce_core/juce_core.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

// What the update check found: a newer version than ours, or nothing (available false).
struct UpdateInfo
{
    bool available = false;
    juce::String version;
    juce::String url;
    juce::String notes;
};

namespace varnok
{
// Reads this product's "free" entry from an update manifest and returns it when it names a
// version newer than currentVersion; anything unreadable or not newer gives an empty UpdateInfo.
UpdateInfo parseManifest (const juce::String& json, const juce::String& productKey, const juce::String& currentVersion);

// major.minor.patch of a version text: tokens at every '.', each read like atol (leading
// blanks, a sign, digits up to the first other character), missing parts 0, extra parts ignored.
std::array<int32_t, 3> splitVersion (const juce::String& text);

// True when candidate names a later version than current, comparing the three parts in order.
bool versionIsNewer (const juce::String& candidate, const juce::String& current);

// Collects a response body, stopping once maxBodyBytes or more are held, when the stream is
// exhausted or a read returns nothing, or when shouldStop says so. Reads at most readChunkBytes
// at a time, so the result never exceeds maxBodyBytes - 1 + readChunkBytes bytes.
juce::MemoryBlock readBodyWithLimit (juce::InputStream& stream, const std::function<bool()>& shouldStop);
} // namespace varnok

// Checks the update manifest once, on a background thread, and keeps a newer version for the
// editor to pick up through getResult(). "VARNOK_UPDATE_TEST" (and "VARNOK_UPDATE_TEST_NOTES")
// replace the network check by a simulated result, so the notice can be tried without a server.
class UpdateChecker final : public juce::Thread
{
public:
    static constexpr int connectionTimeoutMs = 4000;
    static constexpr int redirectsToFollow = 2;
    static constexpr int readChunkBytes = 4096;
    static constexpr int maxBodyBytes = 65536;
    static constexpr int stopTimeoutMs = 5000;

    // The address defaults to the build's manifest URL; tests point the checker at a local server.
    explicit UpdateChecker (juce::String manifestAddress = juce::String (varnok::identity::manifestUrl));
    ~UpdateChecker() override;

    // Message thread. Does its work at most once per object: fills a simulated result when the
    // test variable is set, otherwise starts the one background check.
    void start();

    // A copy of the current result; never blocks longer than the checker's own copy into it.
    UpdateInfo getResult() const;

    const juce::String& getManifestAddress() const noexcept { return manifestAddress; }

private:
    void run() override;

    const juce::String manifestAddress;

    juce::CriticalSection resultLock;
    UpdateInfo result;
    std::atomic<bool> started { false };
    std::unique_ptr<juce::WebInputStream> stream;
    juce::CriticalSection streamLock;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (UpdateChecker)
};
