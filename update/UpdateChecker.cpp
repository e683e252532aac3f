#include "UpdateChecker.h"

#include <cerrno>
#include <cstdlib>
#include <limits>

namespace
{
constexpr const char* productKey = "comp";
constexpr const char* editionKey = "free";
constexpr int highestSchema = 2;

// Shown when VARNOK_UPDATE_TEST is set and VARNOK_UPDATE_TEST_NOTES does not exist:
// "・これは表示の確認用です（通信していません）" and "・VARNOK_UPDATE_TEST を外せば出なくなります".
juce::String defaultTestNotes()
{
    return juce::String::fromUTF8 ("\xe3\x83\xbb\xe3\x81\x93\xe3\x82\x8c\xe3\x81\xaf\xe8\xa1\xa8\xe7\xa4\xba\xe3\x81\xae"
                                   "\xe7\xa2\xba\xe8\xaa\x8d\xe7\x94\xa8\xe3\x81\xa7\xe3\x81\x99\xef\xbc\x88\xe9\x80\x9a"
                                   "\xe4\xbf\xa1\xe3\x81\x97\xe3\x81\xa6\xe3\x81\x84\xe3\x81\xbe\xe3\x81\x9b\xe3\x82\x93"
                                   "\xef\xbc\x89"
                                   "\n"
                                   "\xe3\x83\xbb"
                                   "VARNOK_UPDATE_TEST \xe3\x82\x92\xe5\xa4\x96\xe3\x81\x9b\xe3\x81\xb0\xe5\x87\xba\xe3"
                                   "\x81\xaa\xe3\x81\x8f\xe3\x81\xaa\xe3\x82\x8a\xe3\x81\xbe\xe3\x81\x99");
}

// atol's reading (blanks, sign, digits), but defined for every input: a value beyond the int32
// range saturates instead of wrapping, so a huge part still compares as huge.
int32_t readVersionPart (const juce::String& token)
{
    errno = 0;
    const auto value = std::strtol (token.toRawUTF8(), nullptr, 10);

    if (value > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();

    if (value < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();

    return static_cast<int32_t> (value);
}
} // namespace

//==============================================================================
namespace varnok
{
std::array<int32_t, 3> splitVersion (const juce::String& text)
{
    juce::StringArray tokens;
    tokens.addTokens (text, ".", "");

    std::array<int32_t, 3> parts { 0, 0, 0 };

    for (int i = 0; i < 3 && i < tokens.size(); ++i)
        parts[(size_t) i] = readVersionPart (tokens[i]);

    return parts;
}

bool versionIsNewer (const juce::String& candidate, const juce::String& current)
{
    const auto a = splitVersion (candidate);
    const auto b = splitVersion (current);

    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i])
            return a[i] > b[i];

    return false;
}

UpdateInfo parseManifest (const juce::String& json, const juce::String& productKeyName, const juce::String& currentVersion)
{
    const auto root = juce::JSON::parse (json);

    if (! root.isObject() || productKeyName.isEmpty())
        return {};

    if (static_cast<int> (root.getProperty ("schema", highestSchema)) > highestSchema)
        return {};

    const auto product = root.getProperty (juce::Identifier (productKeyName), {});

    if (! product.isObject())
        return {};

    const auto edition = product.getProperty (editionKey, {});

    if (! edition.isObject())
        return {};

    const auto version = edition.getProperty ("version", {}).toString();

    if (version.isEmpty() || ! versionIsNewer (version, currentVersion))
        return {};

    UpdateInfo info;
    info.available = true;
    info.version = version;
    info.url = edition.getProperty ("url", {}).toString();
    info.notes = edition.getProperty ("notes", {}).toString();
    return info;
}

juce::MemoryBlock readBodyWithLimit (juce::InputStream& source, const std::function<bool()>& shouldStop)
{
    juce::MemoryOutputStream body;
    juce::HeapBlock<char> chunk ((size_t) UpdateChecker::readChunkBytes);

    while (! shouldStop())
    {
        if (source.isExhausted() || body.getDataSize() >= (size_t) UpdateChecker::maxBodyBytes)
            break;

        const auto bytesRead = source.read (chunk.get(), UpdateChecker::readChunkBytes);

        if (bytesRead <= 0)
            break;

        body.write (chunk.get(), (size_t) bytesRead);
    }

    return body.getMemoryBlock();
}
} // namespace varnok

//==============================================================================
UpdateChecker::UpdateChecker (juce::String address)
    : juce::Thread ("VarnokUpdateCheck"),
      manifestAddress (std::move (address))
{
}

UpdateChecker::~UpdateChecker()
{
    signalThreadShouldExit();

    {
        const juce::ScopedLock sl (streamLock);

        // Makes a connect or read that is blocked on the checker's thread return now.
        if (stream != nullptr)
            stream->cancel();
    }

    stopThread (stopTimeoutMs);
}

void UpdateChecker::start()
{
    if (started.exchange (true))
        return;

    const auto testVersion = juce::SystemStats::getEnvironmentVariable ("VARNOK_UPDATE_TEST", {});

    if (testVersion.isNotEmpty())
    {
        // A variable that exists but is empty means "no notes", not the default lines.
        const auto notes = juce::SystemStats::getEnvironmentVariable ("VARNOK_UPDATE_TEST_NOTES", defaultTestNotes());

        const juce::ScopedLock sl (resultLock);
        result.available = varnok::versionIsNewer (testVersion, varnok::identity::version);
        result.version = testVersion;
        result.url = varnok::identity::shopPageUrl;
        result.notes = notes;
        return;
    }

    startThread (juce::Thread::Priority::background);
}

UpdateInfo UpdateChecker::getResult() const
{
    const juce::ScopedLock sl (resultLock);
    return result;
}

void UpdateChecker::run()
{
    auto request = std::make_unique<juce::WebInputStream> (juce::URL (manifestAddress), false);
    request->withConnectionTimeout (connectionTimeoutMs).withNumRedirectsToFollow (redirectsToFollow);

    juce::WebInputStream* web = nullptr;

    {
        // Installing the stream and testing the exit flag under one lock means the destructor
        // either sees this stream and cancels it, or we see its exit signal and never connect.
        const juce::ScopedLock sl (streamLock);

        if (threadShouldExit())
            return;

        stream = std::move (request);
        web = stream.get();
    }

    // The status code is not looked at: an error page fails to parse like any other non-manifest.
    const bool ok = web->connect (nullptr) && ! web->isError();

    juce::MemoryBlock body;

    if (ok)
        body = varnok::readBodyWithLimit (*web, [this] { return threadShouldExit(); });

    {
        const juce::ScopedLock sl (streamLock);
        stream.reset();
    }

    if (! ok || threadShouldExit())
        return;

    const auto text = juce::String::createStringFromData (body.getData(), (int) body.getSize());

    if (text.isEmpty())
        return;

    const auto info = varnok::parseManifest (text, productKey, varnok::identity::version);

    if (info.available)
    {
        const juce::ScopedLock sl (resultLock);
        result = info;
    }
}
