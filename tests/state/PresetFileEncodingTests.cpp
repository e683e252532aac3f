// User-preset files as other tools save them: UTF-16 of either byte order behind a byte-order mark,
// CRLF line ends, characters outside the Basic Multilingual Plane, and files that are cut short or
// hostile. Every read runs under a watchdog, so a reader caught in a loop fails instead of hanging.
#include "StateTestSupport.h"
#include "Watchdog.h"
#include "processor/XmlInput.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace varnok::test;

namespace
{
enum class Encoding
{
    utf8,
    utf16le,
    utf16be
};

const char* nameOf (Encoding e) { return e == Encoding::utf8 ? "UTF-8" : e == Encoding::utf16le ? "UTF-16LE" : "UTF-16BE"; }

std::u16string unitsOf (const juce::String& text)
{
    std::u16string units;

    for (auto p = text.toUTF16(); ! p.isEmpty(); ++p)
    {
        const auto c = *p;

        if (c >= 0x10000)
        {
            units += (char16_t) (0xd800 + ((c - 0x10000) >> 10));
            units += (char16_t) (0xdc00 + ((c - 0x10000) & 0x3ff));
        }
        else
        {
            units += (char16_t) c;
        }
    }

    return units;
}

// A byte-order mark and the code units in that order, as editors save "Unicode" text.
juce::MemoryBlock utf16File (const std::u16string& units, bool bigEndian)
{
    juce::MemoryOutputStream out;
    const auto put = [&] (char16_t u)
    {
        out.writeByte ((char) (bigEndian ? u >> 8 : u & 0xff));
        out.writeByte ((char) (bigEndian ? u & 0xff : u >> 8));
    };

    put (0xfeff);

    for (const auto u : units)
        put (u);

    return out.getMemoryBlock();
}

juce::MemoryBlock fileIn (Encoding e, const juce::String& text)
{
    if (e == Encoding::utf8)
        return { text.toRawUTF8(), text.getNumBytesAsUTF8() };

    return utf16File (unitsOf (text), e == Encoding::utf16be);
}

juce::MemoryBlock withBytes (juce::MemoryBlock block, const std::string& tail)
{
    block.append (tail.data(), tail.size());
    return block;
}

const juce::String vocalName (juce::CharPointer_UTF8 ("\xe3\x83\x9c\xe3\x83\xbc\xe3\x82\xab\xe3\x83\xab \xc3\x84 \xf0\x9f\x8e\x9b")); // U+1F39B needs a surrogate pair
const juce::String cafeName (juce::CharPointer_UTF8 ("Caf\xc3\xa9 & Bar"));

// A preset file as another tool writes it: its own declaration, CRLF, names as plain characters.
juce::String foreignPresetFile()
{
    return "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
           "<UserPresets>\r\n"
           "  <Preset name=\""
           + vocalName + "\">\r\n"
                         "    <PARAMS>\r\n"
                         "      <PARAM id=\"thresh\" value=\"-27.5\"/>\r\n"
                         "      <PARAM id=\"ratio\" value=\"8\"/>\r\n"
                         "    </PARAMS>\r\n"
                         "  </Preset>\r\n"
                         "  <Preset name=\"Caf\xc3\xa9 &amp; Bar\">\r\n"
                         "    <PARAMS>\r\n"
                         "      <PARAM id=\"thresh\" value=\"-6\"/>\r\n"
                         "    </PARAMS>\r\n"
                         "  </Preset>\r\n"
                         "</UserPresets>\r\n";
}

class PresetFileEncodingTest : public ::testing::Test
{
protected:
    juce::File presetFile() const { return UserPresetStore::getPresetFile(); }
    juce::File backupFile() const { return presetFile().getSiblingFile ("UserPresets.xml.bak"); }

    static juce::MemoryBlock bytesOf (const juce::File& file)
    {
        juce::MemoryBlock block;
        file.loadFileAsData (block);
        return block;
    }

    void putFile (const juce::MemoryBlock& bytes) const
    {
        ASSERT_TRUE (presetFile().getParentDirectory().createDirectory().wasOk());
        backupFile().deleteFile();
        ASSERT_TRUE (presetFile().replaceWithData (bytes.getData(), bytes.getSize()));
    }

    struct Outcome
    {
        juce::String names; // the listed names, one a line
        bool setAside = false; // copied byte for byte to the backup, the store left empty
    };

    // Reads the file the two ways the world does: a processor's construction and a store of its
    // own on that processor's parameters. Both must agree, and neither may change the file.
    Outcome read (const juce::MemoryBlock& bytes, const std::string& what) const
    {
        putFile (bytes);
        Outcome outcome;

        {
            const Watchdog watchdog ("constructing a processor with " + what + " as the preset file");
            VarnokCompAudioProcessor processor;
            outcome.names = processor.userPresets.getPresetNames().joinIntoString ("\n");
            outcome.setAside = backupFile().existsAsFile() && bytesOf (backupFile()) == bytes && processor.userPresets.getTree().getNumChildren() == 0;
            EXPECT_EQ (backupFile().existsAsFile(), outcome.setAside);

            backupFile().deleteFile();
            const juce::CriticalSection lock;
            const Watchdog storeWatchdog ("a UserPresetStore reading " + what);
            const UserPresetStore store (&processor.apvts, lock);
            EXPECT_EQ (store.getPresetNames().joinIntoString ("\n"), outcome.names);
            EXPECT_EQ (backupFile().existsAsFile(), outcome.setAside);
        }

        EXPECT_EQ (bytesOf (presetFile()), bytes) << "reading changed the file";
        return outcome;
    }

    ScopedFreshHome home;
};
} // namespace

TEST_F (PresetFileEncodingTest, AUtf16FileOfEitherByteOrderLoadsWithItsPresets)
{
    for (const auto encoding : { Encoding::utf16le, Encoding::utf16be, Encoding::utf8 })
    {
        SCOPED_TRACE (nameOf (encoding));
        const auto bytes = fileIn (encoding, foreignPresetFile());
        const auto outcome = read (bytes, nameOf (encoding));
        EXPECT_EQ (outcome.names, vocalName + "\n" + cafeName);
        EXPECT_FALSE (outcome.setAside);

        VarnokCompAudioProcessor processor;
        processor.userPresets.loadPreset (vocalName);
        EXPECT_FLOAT_EQ (valueOf (processor, "thresh"), -27.5f);
        EXPECT_FLOAT_EQ (valueOf (processor, "ratio"), 8.0f);
        processor.userPresets.loadPreset (cafeName);
        EXPECT_FLOAT_EQ (valueOf (processor, "thresh"), -6.0f);
        EXPECT_FLOAT_EQ (valueOf (processor, "ratio"), 4.0f);

        // The next save writes the store's own UTF-8 form, which reads back with the same names.
        ASSERT_TRUE (processor.userPresets.saveCurrentAs ("New"));
        VarnokCompAudioProcessor reread;
        EXPECT_EQ (reread.userPresets.getPresetNames().joinIntoString ("\n"), vocalName + "\n" + cafeName + "\nNew");
        presetFile().deleteFile();
    }
}

TEST_F (PresetFileEncodingTest, AHostileOrBrokenUtf16FileIsSetAsideInBoundedTime)
{
    const auto highSurrogate = std::u16string (1, (char16_t) 0xd83c);
    const auto lowSurrogate = std::u16string (1, (char16_t) 0xdf9b);
    const auto good = unitsOf (foreignPresetFile());
    const auto namedPreset = [] (const std::u16string& name)
    { return unitsOf ("<UserPresets><Preset name=\"") + name + unitsOf ("\"><PARAMS/></Preset></UserPresets>"); };

    struct Case
    {
        std::string what;
        std::u16string units;
        std::string tail; // raw bytes after the code units
    };

    const std::vector<Case> cases = {
        { "a processing instruction followed by text inside the root", unitsOf ("<UserPresets><?" "?>x</UserPresets>"), {} },
        { "a character reference cut short at the end", unitsOf ("<UserPresets>&#x"), {} },
        { "an odd trailing byte after a complete document", unitsOf ("<UserPresets/>"), "<" },
        { "a file cut between the two halves of a surrogate pair", unitsOf ("<UserPresets/>\r\n") + highSurrogate, {} },
        { "an unpaired high surrogate in a name", namedPreset (highSurrogate + unitsOf ("x")), {} },
        { "an unpaired low surrogate in a name", namedPreset (lowSurrogate), {} },
        { "two high surrogates in a row", namedPreset (highSurrogate + highSurrogate + lowSurrogate), {} },
        { "a document cut at an odd length", good.substr (0, 40), "\x20" },
        { "a document cut inside a surrogate pair", good.substr (0, good.find (highSurrogate) + 1), {} },
    };

    for (const auto& c : cases)
    {
        for (const bool bigEndian : { false, true })
        {
            const auto what = c.what + (bigEndian ? " (UTF-16BE)" : " (UTF-16LE)");
            SCOPED_TRACE (what);
            const auto outcome = read (withBytes (utf16File (c.units, bigEndian), c.tail), what);
            EXPECT_TRUE (outcome.names.isEmpty());
            EXPECT_TRUE (outcome.setAside);
        }
    }
}

TEST_F (PresetFileEncodingTest, AZeroCodeUnitEndsTheTextAsAZeroByteDoes)
{
    struct Case
    {
        juce::String before; // the text up to the 0
        juce::String names;
    };

    const std::vector<Case> cases = {
        { "<UserPresets><Preset name=\"A\"><PARAMS/></Preset></UserPresets>\r\n", "A" },
        { "<UserPresets><Preset name=\"A\"><PARAMS/></Preset>", {} },
        { "", {} },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.before);

        // What follows the 0 is never read, however broken.
        const auto utf8 = withBytes (fileIn (Encoding::utf8, c.before), std::string ("\0</UserPresets>\xff", 17));
        const auto inUtf8 = read (utf8, "UTF-8 with a 0 byte");
        EXPECT_EQ (inUtf8.names, c.names);
        EXPECT_EQ (inUtf8.setAside, c.names.isEmpty());

        for (const bool bigEndian : { false, true })
        {
            SCOPED_TRACE (bigEndian ? "UTF-16BE" : "UTF-16LE");
            const auto units = unitsOf (c.before) + char16_t (0) + unitsOf ("</UserPresets>") + char16_t (0xdc00);
            const auto inUtf16 = read (withBytes (utf16File (units, bigEndian), "\x01"), "UTF-16 with a 0 code unit");
            EXPECT_EQ (inUtf16.names, inUtf8.names);
            EXPECT_EQ (inUtf16.setAside, inUtf8.setAside);
        }
    }
}

TEST_F (PresetFileEncodingTest, AFileBeyondTheReadersBoundsIsSetAsideInBoundedTime)
{
    using namespace varnok;
    const auto nested = [] (int depth) { return juce::String::repeatedString ("<Deep>", depth) + juce::String::repeatedString ("</Deep>", depth); };

    const auto attributes = [] (int count, const juce::String& prefix)
    {
        juce::String text;

        for (int i = 0; i < count; ++i)
            text << " " << prefix << i << "=\"\"";

        return text;
    };

    const auto presets = juce::String ("<Preset name=\"A\"><PARAMS><PARAM id=\"thresh\" value=\"-9\"/></PARAMS></Preset>");

    struct Case
    {
        std::string what;
        juce::String text;
        bool loads;
    };

    // Inside the bounds a hand-edited file still loads, its foreign elements kept.
    const std::vector<Case> cases = {
        { "nested as deep as allowed", "<UserPresets>" + presets + nested (xmlLimits::maxDepth - 1) + "</UserPresets>", true },
        { "nested a level deeper", "<UserPresets>" + presets + nested (xmlLimits::maxDepth) + "</UserPresets>", false },
        { "nested a hundred thousand levels deep", "<UserPresets>" + presets + nested (100000) + "</UserPresets>", false },
        { "as many attributes as allowed", "<UserPresets" + attributes (xmlLimits::maxAttributesPerElement, "a") + ">" + presets + "</UserPresets>", true },
        { "an attribute more", "<UserPresets" + attributes (xmlLimits::maxAttributesPerElement + 1, "a") + ">" + presets + "</UserPresets>", false },
        { "too many distinct names", "<UserPresets>" + presets + "<Names" + attributes (60, "a") + "/><Names" + attributes (60, "b") + "/>"
                                         + [&] { juce::String t; for (int i = 0; i < xmlLimits::maxDistinctNames / 60; ++i) t << "<Names" << attributes (60, "n" + juce::String (i) + "_") << "/>"; return t; }()
                                         + "</UserPresets>", false },
        { "a text longer than allowed", "<UserPresets>" + presets + "<!--" + juce::String::repeatedString ("x", (int) xmlLimits::maxTextBytes) + "--></UserPresets>", false },
    };

    for (const auto& c : cases)
    {
        for (const auto encoding : { Encoding::utf8, Encoding::utf16le })
        {
            const auto what = c.what + " (" + nameOf (encoding) + ")";
            SCOPED_TRACE (what);
            const auto outcome = read (fileIn (encoding, c.text), what);
            EXPECT_EQ (outcome.names, c.loads ? "A" : "");
            EXPECT_EQ (outcome.setAside, ! c.loads);
        }
    }

    // What was kept is written back.
    putFile (fileIn (Encoding::utf8, cases[0].text));
    VarnokCompAudioProcessor processor;
    ASSERT_TRUE (processor.userPresets.saveCurrentAs ("B"));
    VarnokCompAudioProcessor reread;
    EXPECT_EQ (reread.userPresets.getPresetNames().joinIntoString ("\n"), "A\nB");
    auto deep = reread.userPresets.getTree().getChildWithName ("Deep");

    for (int depth = 2; depth < xmlLimits::maxDepth; ++depth)
        deep = deep.getChildWithName ("Deep");

    EXPECT_TRUE (deep.isValid());
}

// The reader builds its value trees itself (top down, which deep documents need) and must read
// every document as ValueTree::fromXml does, but for a repeated attribute, of which it keeps the
// first value.
TEST (XmlToValueTreeTest, ReadsAsFromXmlDoesButKeepsTheFirstOfARepeatedAttribute)
{
    const char* sameAsJuce[] = {
        "<UserPresets/>",
        "<UserPresets a=\"1\" b=\"x &amp; y\"><Preset name=\"P\"><PARAMS><PARAM id=\"thresh\" value=\"-3\"/></PARAMS></Preset></UserPresets>",
        "<A>text<B c=\"2\">more</B><B/>tail</A>",
        "<A base64:blob=\"AQID\" plain=\"base64:\"/>",
        "<A><B><C><D><E f=\"deep\"/></D></C></B></A>",
    };

    for (const auto* text : sameAsJuce)
    {
        const auto xml = varnok::parseXmlText (text, std::strlen (text));
        ASSERT_NE (xml, nullptr) << text;
        EXPECT_TRUE (varnok::valueTreeFromXml (*xml).isEquivalentTo (juce::ValueTree::fromXml (*xml))) << text;
    }

    const char* repeated = "<A x=\"first\" y=\"1\" x=\"second\"><B x=\"1\" x=\"2\"/></A>";
    const auto xml = varnok::parseXmlText (repeated, std::strlen (repeated));
    ASSERT_NE (xml, nullptr);
    const auto tree = varnok::valueTreeFromXml (*xml);
    EXPECT_EQ (tree.getNumProperties(), 2);
    EXPECT_EQ (tree["x"].toString(), "first");
    EXPECT_EQ (tree.getChild (0).getNumProperties(), 1);
    EXPECT_EQ (tree.getChild (0)["x"].toString(), "1");
}
