// Version parsing, version comparison, manifest reading and the body limit: pure functions, driven
// by tables.

#include "update/UpdateChecker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

namespace
{
//==============================================================================
struct VersionCase
{
    const char* candidate;
    std::array<int32_t, 3> parts;
    bool newerThanOwn;
};

// Against the plug-in's own version 1.0.2.
const VersionCase versionCases[] = {
    { "1.0.3", { 1, 0, 3 }, true },
    { "1.1", { 1, 1, 0 }, true },
    { "2", { 2, 0, 0 }, true },
    { "1.0.10", { 1, 0, 10 }, true }, // numeric, not text order
    { "1.0.3-beta", { 1, 0, 3 }, true },
    { " 1.0.3", { 1, 0, 3 }, true },
    { "1.0.2", { 1, 0, 2 }, false },
    { "1.0.2.9", { 1, 0, 2 }, false }, // a fourth part is ignored
    { "ver1.0.3", { 0, 0, 3 }, false },
    { "1..3", { 1, 0, 3 }, true },     // the empty token counts
    { "1,0,3", { 1, 0, 0 }, false },   // one token
    { "-1.5.0", { -1, 5, 0 }, false },
    { "", { 0, 0, 0 }, false },
    { "0.9.99", { 0, 9, 99 }, false },
    { "1.0.2 ", { 1, 0, 2 }, false },
    { "+1.0.3", { 1, 0, 3 }, true },
    // Beyond the int32 range the part saturates instead of wrapping round to a small number.
    { "1.0.99999999999", { 1, 0, std::numeric_limits<int32_t>::max() }, true },
    { "1.0.-99999999999", { 1, 0, std::numeric_limits<int32_t>::min() }, false },
};

TEST (VersionTest, SplitsAndComparesEveryTableRow)
{
    for (const auto& c : versionCases)
    {
        SCOPED_TRACE (juce::String ("candidate \"") + c.candidate + "\"");
        EXPECT_EQ (varnok::splitVersion (c.candidate), c.parts);
        EXPECT_EQ (varnok::versionIsNewer (c.candidate, "1.0.2"), c.newerThanOwn);
    }
}

TEST (VersionTest, ComparisonIsAStrictOrder)
{
    const char* ordered[] = { "-1.5.0", "0.9.99", "1", "1.0.2", "1.0.3", "1.0.10", "1.1", "1.10", "2", "10.0.0" };

    for (const auto* a : ordered)
    {
        EXPECT_FALSE (varnok::versionIsNewer (a, a)) << a;

        for (const auto* b : ordered)
        {
            if (a != b)
            {
                EXPECT_NE (varnok::versionIsNewer (a, b), varnok::versionIsNewer (b, a)) << a << " vs " << b;
            }
        }
    }

    for (size_t i = 0; i + 1 < std::size (ordered); ++i)
        EXPECT_TRUE (varnok::versionIsNewer (ordered[i + 1], ordered[i])) << ordered[i + 1] << " > " << ordered[i];
}

//==============================================================================
struct ManifestCase
{
    const char* name;
    const char* json;
    bool available;
    const char* version;
    const char* url;
    const char* notes;
};

const ManifestCase manifestCases[] = {
    { "complete entry",
      R"({"schema":2,"comp":{"free":{"version":"1.0.3","url":"https://example.com/dl","notes":"Fixes"}}})",
      true, "1.0.3", "https://example.com/dl", "Fixes" },
    { "schema missing is read",
      R"({"comp":{"free":{"version":"1.0.3","url":"u","notes":"n"}}})", true, "1.0.3", "u", "n" },
    { "schema 0", R"({"schema":0,"comp":{"free":{"version":"1.0.3"}}})", true, "1.0.3", "", "" },
    { "schema 1", R"({"schema":1,"comp":{"free":{"version":"1.0.3"}}})", true, "1.0.3", "", "" },
    { "schema 2.9 truncates to 2", R"({"schema":2.9,"comp":{"free":{"version":"1.0.3"}}})", true, "1.0.3", "", "" },
    { "schema text 2", R"({"schema":"2","comp":{"free":{"version":"1.0.3"}}})", true, "1.0.3", "", "" },
    { "schema 3 refused", R"({"schema":3,"comp":{"free":{"version":"9.9.9","url":"u"}}})", false, "", "", "" },
    { "schema text 3 refused", R"({"schema":"3","comp":{"free":{"version":"9.9.9"}}})", false, "", "", "" },
    { "schema 30 refused", R"({"schema":30,"comp":{"free":{"version":"9.9.9"}}})", false, "", "", "" },
    { "no url and no notes", R"({"comp":{"free":{"version":"1.0.3"}}})", true, "1.0.3", "", "" },
    { "version kept untrimmed", R"({"comp":{"free":{"version":" 1.0.3 "}}})", true, " 1.0.3 ", "", "" },
    { "numeric version", R"({"comp":{"free":{"version":2}}})", true, "2", "", "" },
    { "numeric url and notes become text", R"({"comp":{"free":{"version":"1.1","url":7,"notes":12}}})", true, "1.1", "7", "12" },
    { "other keys everywhere are ignored",
      R"({"x":[1,2],"schema":2,"pro":{"free":{"version":"9.9.9"}},"comp":{"pro":{"version":"9.9.9"},"free":{"version":"1.0.4","extra":{"a":1},"notes":"line 1\nline 2"}}})",
      true, "1.0.4", "", "line 1\nline 2" },
    { "japanese notes survive", "{\"comp\":{\"free\":{\"version\":\"1.0.3\",\"notes\":\"\xe5\xa4\x89\xe6\x9b\xb4\"}}}",
      true, "1.0.3", "", "\xe5\xa4\x89\xe6\x9b\xb4" },
    { "same version", R"({"comp":{"free":{"version":"1.0.2","url":"u"}}})", false, "", "", "" },
    { "older version", R"({"comp":{"free":{"version":"1.0.1"}}})", false, "", "", "" },
    { "empty version", R"({"comp":{"free":{"version":"","url":"u"}}})", false, "", "", "" },
    { "missing version", R"({"comp":{"free":{"url":"u","notes":"n"}}})", false, "", "", "" },
    { "comp without free", R"({"comp":{"pro":{"version":"9.9.9"},"version":"9.9.9"}})", false, "", "", "" },
    { "free not an object", R"({"comp":{"free":"9.9.9"}})", false, "", "", "" },
    { "free is an array", R"({"comp":{"free":[{"version":"9.9.9"}]}})", false, "", "", "" },
    { "comp missing", R"({"free":{"version":"9.9.9"}})", false, "", "", "" },
    { "comp not an object", R"({"comp":"9.9.9"})", false, "", "", "" },
    { "root is an array", R"([{"comp":{"free":{"version":"9.9.9"}}}])", false, "", "", "" },
    { "root is a number", "42", false, "", "", "" },
    { "not JSON", "<html><body>404 Not Found</body></html>", false, "", "", "" },
    { "truncated JSON", R"({"comp":{"free":{"version":"9.9.9","notes":"cut her)", false, "", "", "" },
    { "empty text", "", false, "", "", "" },
};

TEST (ManifestTest, ReadsEveryTableRow)
{
    for (const auto& c : manifestCases)
    {
        SCOPED_TRACE (c.name);
        const auto info = varnok::parseManifest (juce::String::fromUTF8 (c.json), "comp", "1.0.2");
        EXPECT_EQ (info.available, c.available);
        EXPECT_EQ (info.version, juce::String::fromUTF8 (c.version));
        EXPECT_EQ (info.url, juce::String::fromUTF8 (c.url));
        EXPECT_EQ (info.notes, juce::String::fromUTF8 (c.notes));
    }
}

TEST (ManifestTest, ProductKeyAndCurrentVersionComeFromTheCaller)
{
    const juce::String json = R"({"comp":{"free":{"version":"1.0.3"}},"gate":{"free":{"version":"2.0.0","url":"g"}}})";

    EXPECT_EQ (varnok::parseManifest (json, "gate", "1.0.2").url, "g");
    EXPECT_FALSE (varnok::parseManifest (json, "eq", "1.0.2").available);
    EXPECT_FALSE (varnok::parseManifest (json, "comp", "1.0.3").available);
    EXPECT_TRUE (varnok::parseManifest (json, "comp", "1.0.2").available);
    EXPECT_FALSE (varnok::parseManifest (json, "", "1.0.2").available);
}

//==============================================================================
// A source that hands out at most a fixed number of bytes per read, with its first read shorter,
// the way a network stream delivers whatever has arrived.
class ChunkedInputStream final : public juce::InputStream
{
public:
    ChunkedInputStream (size_t totalBytes, int firstReadLimit, int readLimit)
        : total ((juce::int64) totalBytes), firstLimit (firstReadLimit), limit (readLimit)
    {
    }

    juce::int64 getTotalLength() override { return total; }
    bool isExhausted() override { return position >= total; }
    juce::int64 getPosition() override { return position; }
    bool setPosition (juce::int64) override { return false; }

    int read (void* destination, int maxBytes) override
    {
        const auto allowed = reads++ == 0 ? firstLimit : limit;
        const auto n = (int) juce::jmin ((juce::int64) juce::jmin (maxBytes, allowed), total - position);

        for (int i = 0; i < n; ++i)
            static_cast<char*> (destination)[i] = byteAt (position + i);

        position += n;
        largestRequest = juce::jmax (largestRequest, maxBytes);
        return n;
    }

    static char byteAt (juce::int64 index) { return (char) ('a' + index % 26); }

    int reads = 0;
    int largestRequest = 0;

private:
    juce::int64 total, position = 0;
    int firstLimit, limit;
};

struct BodyCase
{
    const char* name;
    size_t sourceBytes;
    int firstReadLimit;
    int readLimit;
    size_t expectedBytes;
};

const BodyCase bodyCases[] = {
    { "small body read whole", 1000, 4096, 4096, 1000 },
    { "body of exactly the limit", 65536, 4096, 4096, 65536 },
    { "long body, full reads: 16 reads", 200000, 4096, 4096, 16 * 4096 },
    { "long body, 4095-byte reads: 17 reads", 200000, 4095, 4095, 17 * 4095 },
    { "long body, one byte at a time", 100000, 1, 1, 65536 },
    // 4095 + 15 * 4096 = 65535 is just under the limit, so one more full read: the largest result.
    { "long body, worst case", 200000, 4095, 4096, 65535 + 4096 },
    { "empty body", 0, 4096, 4096, 0 },
    { "source that returns nothing", 5000, 0, 0, 0 },
};

TEST (BodyLimitTest, StopsBetweenTheLimitAndOneReadBeyondIt)
{
    for (const auto& c : bodyCases)
    {
        SCOPED_TRACE (c.name);
        ChunkedInputStream source (c.sourceBytes, c.firstReadLimit, c.readLimit);
        const auto body = varnok::readBodyWithLimit (source, [] { return false; });

        EXPECT_EQ (body.getSize(), c.expectedBytes);
        EXPECT_LE (body.getSize(), (size_t) (UpdateChecker::maxBodyBytes - 1 + UpdateChecker::readChunkBytes));
        EXPECT_LE (source.largestRequest, UpdateChecker::readChunkBytes);

        if (c.sourceBytes > (size_t) UpdateChecker::maxBodyBytes && c.readLimit > 0)
        {
            EXPECT_GE (body.getSize(), (size_t) UpdateChecker::maxBodyBytes);
        }

        for (size_t i = 0; i < body.getSize(); ++i)
            if (static_cast<const char*> (body.getData())[i] != ChunkedInputStream::byteAt ((juce::int64) i))
                FAIL() << "byte " << i << " differs from the source";
    }
}

TEST (BodyLimitTest, StopRequestEndsReadingAtOnce)
{
    ChunkedInputStream source (200000, 4096, 4096);
    EXPECT_EQ (varnok::readBodyWithLimit (source, [] { return true; }).getSize(), 0u);
    EXPECT_EQ (source.reads, 0);

    ChunkedInputStream second (200000, 4096, 4096);
    int checks = 0;
    const auto body = varnok::readBodyWithLimit (second, [&checks] { return ++checks > 3; });
    EXPECT_EQ (body.getSize(), 3u * 4096u);
}
} // namespace
