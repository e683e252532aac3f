// The state blob that hosts keep: its exact bytes, every restore rule, and input that must
// change nothing.
#include "StateTestSupport.h"
#include "Watchdog.h"
#include "processor/XmlInput.h"

#include <gtest/gtest.h>

using namespace varnok::test;

namespace
{
// The parameter tree of a fresh processor as the parameter state writes it: children in the
// state's own (ID) order, values as the parameters hold their defaults.
const char* const freshParams =
    "<PARAMS>"
    "<PARAM id=\"attack\" value=\"9.999999046325684\"/>"
    "<PARAM id=\"bypass\" value=\"0.0\"/>"
    "<PARAM id=\"in_gain\" value=\"0.0\"/>"
    "<PARAM id=\"makeup\" value=\"0.0\"/>"
    "<PARAM id=\"out_gain\" value=\"0.0\"/>"
    "<PARAM id=\"ratio\" value=\"3.999999761581421\"/>"
    "<PARAM id=\"release\" value=\"149.9999694824219\"/>"
    "<PARAM id=\"thresh\" value=\"-18.0\"/>"
    "</PARAMS>";

const juce::String declaration ("<?xml version=\"1.0\" encoding=\"UTF-8\"?> ");

juce::String freshStateText()
{
    return declaration + "<VarnokState currentProgram=\"0\" abSlot=\"0\">" + freshParams + "<ABInactive/></VarnokState>";
}

// A state text with the given root attributes and body.
juce::String stateText (const juce::String& root, const juce::String& attributes, const juce::String& body)
{
    return declaration + "<" + root + attributes + ">" + body + "</" + root + ">";
}

juce::String paramsWith (const juce::String& id, const juce::String& valueText)
{
    return juce::String (freshParams).replace ("id=\"" + id + "\" value=\"", "id=\"" + id + "\" value=\"" + valueText + "\" was=\"");
}

class PluginStateTest : public ::testing::Test
{
protected:
    ScopedFreshHome home;
    VarnokCompAudioProcessor processor;
};
} // namespace

TEST_F (PluginStateTest, FreshProcessorSavesExactlyThisBlob)
{
    const auto block = saveState (processor);
    const auto text = freshStateText();
    const auto textSize = text.getNumBytesAsUTF8();

    ASSERT_EQ (block.getSize(), textSize + 9);

    const auto* bytes = static_cast<const unsigned char*> (block.getData());
    EXPECT_EQ (bytes[0], 0x56); // V
    EXPECT_EQ (bytes[1], 0x43); // C
    EXPECT_EQ (bytes[2], 0x32); // 2
    EXPECT_EQ (bytes[3], 0x21); // !
    EXPECT_EQ ((size_t) juce::ByteOrder::littleEndianInt (bytes + 4), textSize);
    EXPECT_EQ (std::memcmp (bytes + 8, text.toRawUTF8(), textSize), 0) << blobText (block);
    EXPECT_EQ (bytes[8 + textSize], 0);

    // The destination is overwritten from its start and trimmed, whatever it held before.
    juce::MemoryBlock reused (4096, true);
    reused.fillWith (0x7f);
    processor.getStateInformation (reused);
    EXPECT_EQ (reused, block);
}

TEST_F (PluginStateTest, FreshBlobRestoresWithTheSnapshotMadeFromTheRestoredTree)
{
    const auto block = saveState (processor);

    VarnokCompAudioProcessor second;
    restoreState (second, block);

    EXPECT_EQ (second.abSlot.load(), 0);
    EXPECT_EQ (second.getCurrentProgram(), 0);
    EXPECT_EQ (blobText (saveState (second)),
               declaration + "<VarnokState currentProgram=\"0\" abSlot=\"0\">" + freshParams + "<ABInactive>" + freshParams
                   + "</ABInactive></VarnokState>");
}

TEST_F (PluginStateTest, EverythingComesBackAfterAToggle)
{
    processor.setCurrentProgram (4);
    setValue (processor, "in_gain", 3.0f);
    processor.toggleAB();
    setValue (processor, "thresh", -40.0f);
    setValue (processor, "bypass", 1.0f);
    processor.apvts.state.setProperty ("updateCheckOff", true, nullptr);

    const auto block = saveState (processor);

    VarnokCompAudioProcessor second;
    second.setCurrentProgram (9);
    second.toggleAB();
    ASSERT_TRUE (second.undoManager.canUndo());

    restoreState (second, block);

    EXPECT_EQ (second.getCurrentProgram(), 4);
    EXPECT_EQ (second.abSlot.load(), 1);
    EXPECT_FALSE (second.undoManager.canUndo());
    EXPECT_FLOAT_EQ (valueOf (second, "thresh"), -40.0f);
    EXPECT_FLOAT_EQ (valueOf (second, "bypass"), 1.0f);
    EXPECT_FLOAT_EQ (valueOf (second, "in_gain"), 3.0f);
    EXPECT_FLOAT_EQ (valueOf (second, "release"), 120.0f); // program 4 "Drum Punch"
    EXPECT_TRUE ((bool) second.apvts.state.getProperty ("updateCheckOff"));

    // The snapshot is slot A as it was before the toggle: program 4 with the input gain.
    const auto snapshot = snapshotOf (second);
    EXPECT_FLOAT_EQ (valueIn (snapshot, "thresh"), -14.0f);
    EXPECT_FLOAT_EQ (valueIn (snapshot, "bypass"), 0.0f);

    // Restoring what we saved and saving again gives the same bytes; the flushes that follow on
    // the parameter state add no undo step.
    EXPECT_EQ (saveState (second), block);
    flushParameterState (second);
    EXPECT_FALSE (second.undoManager.canUndo());

    // And the toggle back brings slot A.
    second.toggleAB();
    EXPECT_FLOAT_EQ (valueOf (second, "thresh"), -14.0f);
    EXPECT_EQ (second.abSlot.load(), 0);
}

TEST_F (PluginStateTest, ProgramAndSlotAreReadAsIntegersAndClamped)
{
    struct Row
    {
        const char* attributes;
        int program, slot;
    };

    const Row rows[] = {
        { " currentProgram=\"99\" abSlot=\"7\"", 13, 1 },
        { " currentProgram=\"-1\" abSlot=\"-3\"", 0, 0 },
        { " currentProgram=\"13\" abSlot=\"1\"", 13, 1 },
        { " currentProgram=\"14\" abSlot=\"2\"", 13, 1 },
        { "", 0, 0 },
        { " abSlot=\"1\"", 0, 1 },
        { " currentProgram=\"  5\" abSlot=\" 1\"", 5, 1 },
        { " currentProgram=\"3 apples\" abSlot=\"1.9\"", 3, 1 },
        { " currentProgram=\"+2\" abSlot=\"x1\"", 0, 0 },
        { " currentProgram=\"abc\" abSlot=\"\"", 0, 0 },
        { " currentProgram=\"99999999999999999999999\" abSlot=\"-99999999999999999999\"", 13, 0 },
        { " currentProgram=\"-2147483648\" abSlot=\"4294967297\"", 0, 1 },
    };

    for (const auto& row : rows)
    {
        SCOPED_TRACE (row.attributes);
        processor.setCurrentProgram (7);
        processor.abSlot = 1 - row.slot;

        restoreState (processor, makeBlob (stateText ("VarnokState", row.attributes, juce::String (freshParams) + "<ABInactive/>")));

        EXPECT_EQ (processor.getCurrentProgram(), row.program);
        EXPECT_EQ (processor.abSlot.load(), row.slot);
    }

    // No program is applied: the values come from the tree (program 7 set the threshold to -24).
    EXPECT_FLOAT_EQ (valueOf (processor, "thresh"), -18.0f);
}

TEST_F (PluginStateTest, RootTagIgnoresCaseButTheParameterChildMustMatchExactly)
{
    setValue (processor, "makeup", 5.0f);
    processor.toggleAB();

    // "params" is not the parameter tree: the parameters and the undo history stay.
    restoreState (processor, makeBlob (stateText ("vArNoKsTaTe", " currentProgram=\"2\" abSlot=\"0\"",
                                                  paramsWith ("makeup", "-7").replace ("PARAMS", "params") + "<ABInactive/>")));

    EXPECT_EQ (processor.getCurrentProgram(), 2);
    EXPECT_EQ (processor.abSlot.load(), 0);
    EXPECT_FLOAT_EQ (valueOf (processor, "makeup"), 5.0f);
    EXPECT_TRUE (processor.undoManager.canUndo());

    // The same text with the child spelt exactly is taken.
    restoreState (processor, makeBlob (stateText ("VARNOKSTATE", "", paramsWith ("makeup", "-7") + "<ABInactive/>")));
    EXPECT_FLOAT_EQ (valueOf (processor, "makeup"), -7.0f);
    EXPECT_FALSE (processor.undoManager.canUndo());
}

TEST_F (PluginStateTest, MissingChildrenKeepTheParametersAndMakeTheSnapshotFromTheLiveTree)
{
    setValue (processor, "ratio", 8.0f);
    processor.toggleAB();
    setValue (processor, "ratio", 2.0f);

    restoreState (processor, makeBlob (declaration + "<VarnokState currentProgram=\"6\" abSlot=\"1\"/>"));

    EXPECT_EQ (processor.getCurrentProgram(), 6);
    EXPECT_EQ (processor.abSlot.load(), 1);
    EXPECT_FLOAT_EQ (valueOf (processor, "ratio"), 2.0f);
    EXPECT_TRUE (processor.undoManager.canUndo());

    // An absent "ABInactive" and an empty one both make the snapshot a copy of the live tree,
    // pending values included.
    EXPECT_FLOAT_EQ (valueIn (snapshotOf (processor), "ratio"), 2.0f);

    restoreState (processor, makeBlob (stateText ("VarnokState", "", paramsWith ("ratio", "3") + "<ABInactive/>")));
    EXPECT_FLOAT_EQ (valueIn (snapshotOf (processor), "ratio"), 3.0f);

    // "abinactive" is not "ABInactive".
    restoreState (processor, makeBlob (stateText ("VarnokState", "", paramsWith ("ratio", "5") + "<abinactive>" + paramsWith ("ratio", "9") + "</abinactive>")));
    EXPECT_FLOAT_EQ (valueIn (snapshotOf (processor), "ratio"), 5.0f);
}

TEST_F (PluginStateTest, ASnapshotOfAnotherTypeIsKeptAndOnlyItsParamChildrenApply)
{
    const auto snapshot = juce::String ("<Foo extra=\"1\"><PARAM id=\"thresh\" value=\"-33\"/><Other id=\"ratio\" value=\"20\"/>"
                                        "<PARAM id=\"knee\" value=\"3\"/></Foo>");
    restoreState (processor, makeBlob (stateText ("VarnokState", "", juce::String (freshParams) + "<ABInactive>" + snapshot + "<PARAMS/></ABInactive>")));

    const auto stored = snapshotOf (processor);
    EXPECT_EQ (stored.getType().toString(), "Foo");
    EXPECT_EQ (stored.getProperty ("extra").toString(), "1");

    processor.toggleAB();
    EXPECT_FLOAT_EQ (valueOf (processor, "thresh"), -33.0f);
    EXPECT_FLOAT_EQ (valueOf (processor, "ratio"), 4.0f);
    EXPECT_EQ (processor.apvts.getParameter ("knee"), nullptr);

    // The new snapshot is the previous live tree, complete.
    EXPECT_EQ (snapshotOf (processor).getNumChildren(), 8);
}

TEST_F (PluginStateTest, AbsentParametersKeepTheirValuesAndAbsentValuesMeanTheDefault)
{
    setValue (processor, "makeup", 6.0f);
    setValue (processor, "out_gain", -5.0f);
    setValue (processor, "thresh", -50.0f);

    HostNotifications host;
    processor.addListener (&host);

    const auto params = juce::String ("<PARAMS><PARAM id=\"thresh\"/><PARAM id=\"ratio\" value=\"10\"/><PARAM id=\"out_gain\" value=\"-5.0\"/></PARAMS>");
    restoreState (processor, makeBlob (stateText ("VarnokState", "", params)));
    processor.removeListener (&host);

    EXPECT_FLOAT_EQ (valueOf (processor, "makeup"), 6.0f);   // not listed
    EXPECT_FLOAT_EQ (valueOf (processor, "thresh"), -18.0f); // listed without a value
    EXPECT_FLOAT_EQ (valueOf (processor, "ratio"), 10.0f);

    // The host hears of every value that changed, and only of those.
    EXPECT_EQ (host.changes[parameterIndex (processor, "thresh")], 1);
    EXPECT_EQ (host.changes[parameterIndex (processor, "ratio")], 1);
    EXPECT_EQ (host.changes.count (parameterIndex (processor, "makeup")), 0u);
    EXPECT_EQ (host.changes.count (parameterIndex (processor, "out_gain")), 0u);

    // The live tree lists every parameter with its value again.
    const auto live = processor.apvts.copyState();
    EXPECT_EQ (live.getNumChildren(), 8);
    EXPECT_FLOAT_EQ (valueIn (live, "thresh"), -18.0f);
    EXPECT_FLOAT_EQ (valueIn (live, "makeup"), 6.0f);
}

TEST_F (PluginStateTest, UnusableValuesBecomeValuesTheParametersHold)
{
    // NaN would reach the engine and the host unchanged; out-of-range and off-step values are
    // snapped by the parameters anyway. Either way the tree must say what the parameters hold,
    // without an undo step appearing once the parameter state flushes.
    const auto params = juce::String ("<PARAMS><PARAM id=\"thresh\" value=\"nan\"/><PARAM id=\"ratio\" value=\"1000\"/>"
                                      "<PARAM id=\"makeup\" value=\"3.14159\"/><PARAM id=\"bypass\" value=\"0.7\"/>"
                                      "<PARAM id=\"in_gain\" value=\"-inf\"/><PARAM id=\"out_gain\" value=\"abc\"/>"
                                      "<PARAM id=\"release\" value=\"1e9999999999\"/><PARAM id=\"attack\" value=\"-5e-099999999999\"/>"
                                      "<Other id=\"thresh\" value=\"nan\"/></PARAMS>"); // linked too, whatever its type

    for (const auto& root : { juce::String ("VarnokState"), juce::String ("PARAMS") })
    {
        SCOPED_TRACE (root);
        VarnokCompAudioProcessor p;
        setValue (p, "out_gain", 4.0f);
        const auto text = root == "PARAMS" ? declaration + params : stateText (root, "", params);
        restoreState (p, makeBlob (text));

        EXPECT_FLOAT_EQ (valueOf (p, "thresh"), -18.0f);
        EXPECT_FLOAT_EQ (valueOf (p, "ratio"), 60.0f);
        EXPECT_FLOAT_EQ (valueOf (p, "makeup"), 3.14f);
        EXPECT_FLOAT_EQ (valueOf (p, "bypass"), 1.0f);
        EXPECT_FLOAT_EQ (valueOf (p, "in_gain"), -24.0f);
        EXPECT_FLOAT_EQ (valueOf (p, "out_gain"), 0.0f);
        EXPECT_FLOAT_EQ (valueOf (p, "release"), 2500.0f); // an exponent too long to read: infinity
        EXPECT_FLOAT_EQ (valueOf (p, "attack"), 0.02f);    // and its negative twin: zero

        flushParameterState (p);
        EXPECT_FALSE (p.undoManager.canUndo());

        const auto live = p.apvts.copyState();
        EXPECT_FLOAT_EQ (valueIn (live, "thresh"), -18.0f);
        EXPECT_FLOAT_EQ (valueIn (live, "ratio"), 60.0f);
        EXPECT_FLOAT_EQ (valueIn (live, "makeup"), 3.14f);
    }
}

TEST_F (PluginStateTest, AnAttributeGivenTwiceCountsOnceWithItsFirstValue)
{
    restoreState (processor, makeBlob (stateText ("VarnokState", " abSlot=\"1\" abSlot=\"0\"",
                                                  "<PARAMS><PARAM id=\"ratio\" value=\"3\" value=\"-18\"/></PARAMS>")));
    EXPECT_EQ (processor.abSlot.load(), 1);
    EXPECT_FLOAT_EQ (valueOf (processor, "ratio"), 3.0f);

    // What it saves says the same, and restores to the same bytes.
    const auto saved = saveState (processor);
    EXPECT_TRUE (blobText (saved).contains ("<PARAM id=\"ratio\" value=\"3\"/>")) << blobText (saved);
    restoreState (processor, saved);
    EXPECT_EQ (saveState (processor), saved);
}

TEST_F (PluginStateTest, OfSeveralChildrenNamingAParameterTheLastCounts)
{
    restoreState (processor, makeBlob (stateText ("VarnokState", "", "<PARAMS><PARAM id=\"attack\" value=\"3\"/>"
                                                                      "<Odd id=\"attack\" value=\"8.9\"/></PARAMS>")));
    EXPECT_NEAR (valueOf (processor, "attack"), 8.9f, 1.0e-4f);

    // The tree keeps the one child that counts; saving and restoring again changes nothing.
    EXPECT_EQ (processor.apvts.state.getChildWithProperty ("id", "attack").getType().toString(), "Odd");
    const auto saved = saveState (processor);
    restoreState (processor, saved);
    EXPECT_EQ (saveState (processor), saved);
}

TEST_F (PluginStateTest, RootPropertiesTravelInsideTheParameterTree)
{
    processor.apvts.state.setProperty ("updateCheckOff", true, nullptr);
    processor.apvts.state.setProperty ("updateDismissed", "1.0.3", nullptr);
    const auto block = saveState (processor);
    EXPECT_TRUE (blobText (block).contains ("<PARAMS updateCheckOff=\"1\" updateDismissed=\"1.0.3\"><PARAM "));

    VarnokCompAudioProcessor second;
    restoreState (second, block);
    EXPECT_TRUE ((bool) second.apvts.state.getProperty ("updateCheckOff"));
    EXPECT_EQ (second.apvts.state.getProperty ("updateDismissed").toString(), "1.0.3");
}

TEST_F (PluginStateTest, ABareParameterTreeFromAnOlderVersion)
{
    processor.setCurrentProgram (8);
    processor.toggleAB();
    processor.apvts.state.setProperty ("updateCheckOff", true, nullptr);

    for (const auto* tag : { "PARAMS", "params" })
    {
        SCOPED_TRACE (tag);
        const auto params = juce::String (paramsWith ("thresh", "-27.5")).replace ("<PARAMS>", juce::String ("<") + tag + " updateDismissed=\"2.0\">").replace ("</PARAMS>", juce::String ("</") + tag + ">");
        restoreState (processor, makeBlob (declaration + params));

        EXPECT_FLOAT_EQ (valueOf (processor, "thresh"), -27.5f);
        EXPECT_FLOAT_EQ (valueOf (processor, "ratio"), 4.0f);
        EXPECT_EQ (processor.getCurrentProgram(), 0);
        EXPECT_EQ (processor.abSlot.load(), 0);
        EXPECT_FALSE (processor.undoManager.canUndo());
        EXPECT_EQ (processor.apvts.state.getProperty ("updateDismissed").toString(), "2.0");
        EXPECT_FALSE (processor.apvts.state.hasProperty ("updateCheckOff"));
        EXPECT_FLOAT_EQ (valueIn (snapshotOf (processor), "thresh"), -27.5f);

        // Whatever the old tag's case, the live tree keeps its type, so the next save and restore
        // still find the parameters.
        EXPECT_EQ (processor.apvts.state.getType().toString(), "PARAMS");
        VarnokCompAudioProcessor second;
        restoreState (second, saveState (processor));
        EXPECT_FLOAT_EQ (valueOf (second, "thresh"), -27.5f);

        processor.setCurrentProgram (8);
        processor.toggleAB();
    }
}

TEST_F (PluginStateTest, InputThatIsNotAStateChangesNothing)
{
    // A state worth keeping: program, slot, snapshot, undo history and moved parameters.
    processor.setCurrentProgram (3);
    processor.toggleAB();
    setValue (processor, "makeup", 9.0f);
    const auto before = saveState (processor);
    const auto good = makeBlob (freshStateText());
    const auto* goodBytes = static_cast<const char*> (good.getData());

    const auto withLength = [&] (juce::uint32 length)
    {
        auto block = good;
        static_cast<juce::uint32*> (block.getData())[1] = juce::ByteOrder::swapIfBigEndian (length);
        return block;
    };

    std::vector<std::pair<std::string, juce::MemoryBlock>> inputs;
    for (size_t size = 0; size <= 8; ++size)
        inputs.push_back ({ "first " + std::to_string (size) + " bytes", juce::MemoryBlock (goodBytes, size) });

    auto wrongMagic = good;
    static_cast<char*> (wrongMagic.getData())[3] = '?';
    inputs.push_back ({ "wrong magic", wrongMagic });
    inputs.push_back ({ "length 0", withLength (0) });
    inputs.push_back ({ "length with its top bit set", withLength (0x80000000u | (juce::uint32) (good.getSize() - 9)) });
    inputs.push_back ({ "text cut short by the data", juce::MemoryBlock (goodBytes, good.getSize() / 2) });
    inputs.push_back ({ "text cut short by the length", withLength ((juce::uint32) good.getSize() / 2) });
    inputs.push_back ({ "not XML", makeBlob ("this is not a state") });
    inputs.push_back ({ "empty text", makeBlob ("") });
    inputs.push_back ({ "another root", makeBlob (stateText ("VarnokStates", " abSlot=\"0\"", freshParams)) });
    inputs.push_back ({ "another root, no declaration", makeBlob ("<Foo><PARAMS/></Foo>") });
    inputs.push_back ({ "a processing instruction inside the tree", makeBlob (freshStateText().replace ("<ABInactive/>", "<ABInactive><?x?>text</ABInactive>")) });
    inputs.push_back ({ "a character reference cut short at the end", makeBlob (freshStateText().replace ("</VarnokState>", "&#x")) });
    inputs.push_back ({ "a malformed character reference", makeBlob (freshStateText().replace ("abSlot=\"0\"", "abSlot=\"&#xZ;\"")) });
    inputs.push_back ({ "a document type with entities", makeBlob (juce::String ("<!DOCTYPE VarnokState [<!ENTITY a \"1\">]>") + freshStateText().fromFirstOccurrenceOf ("?> ", false, false)) });

    // A text that is not 0-terminated and ends inside a UTF-8 sequence.
    juce::MemoryOutputStream unterminated;
    unterminated.writeInt (0x21324356);
    unterminated.writeInt (4);
    unterminated.write ("<a\xf0", 3);
    inputs.push_back ({ "unterminated text ending in a lead byte", juce::MemoryBlock (unterminated.getData(), 11) });

    // Not UTF-8: JUCE's parser would step over the terminating 0 after the lone lead byte.
    {
        auto text = freshStateText().toStdString();
        text.insert (text.find ("abSlot"), "x=\"\xe3\" ");
        juce::MemoryOutputStream out;
        out.writeInt (0x21324356);
        out.writeInt ((int) text.size());
        out.write (text.data(), text.size());
        out.writeByte (0);
        inputs.push_back ({ "a lone UTF-8 lead byte", out.getMemoryBlock() });
    }

    for (const auto& [name, input] : inputs)
    {
        SCOPED_TRACE (name);
        processor.setStateInformation (input.getData(), (int) input.getSize());
        EXPECT_EQ (saveState (processor), before);
        EXPECT_TRUE (processor.undoManager.canUndo());
    }

    processor.setStateInformation (nullptr, 100);
    EXPECT_EQ (saveState (processor), before);

    // The reader stops at the length field or the first 0 byte: trailing bytes do not matter,
    // and a length larger than the data is fine while the text is complete.
    auto trailing = good;
    trailing.append ("garbage", 7);
    restoreState (processor, trailing);
    EXPECT_EQ (processor.getCurrentProgram(), 0);

    processor.setCurrentProgram (3);
    restoreState (processor, withLength ((juce::uint32) good.getSize() + 100));
    EXPECT_EQ (processor.getCurrentProgram(), 0);
}

TEST_F (PluginStateTest, AStateInUtf16OrBeyondTheReadersBoundsChangesNothing)
{
    processor.setCurrentProgram (3);
    processor.toggleAB();
    const auto before = saveState (processor);

    // JUCE's binary wrapper holds UTF-8; a host never hands us anything else.
    const auto utf16Blob = [] (const juce::String& text, bool bigEndian)
    {
        juce::MemoryOutputStream units;
        units.writeShort ((short) 0xfeff);

        for (auto p = text.toUTF16(); ! p.isEmpty(); ++p)
            units.writeShort ((short) *p);

        juce::MemoryOutputStream out;
        out.writeInt (0x21324356);
        out.writeInt ((int) units.getDataSize());

        for (size_t i = 0; i < units.getDataSize(); i += 2)
        {
            const auto* b = static_cast<const char*> (units.getData()) + i;
            out.writeByte (bigEndian ? b[1] : b[0]);
            out.writeByte (bigEndian ? b[0] : b[1]);
        }

        out.writeByte (0);
        return out.getMemoryBlock();
    };

    const auto nested = [] (int depth) { return juce::String::repeatedString ("<Deep>", depth) + juce::String::repeatedString ("</Deep>", depth); };
    const auto withSnapshot = [] (const juce::String& inside) { return stateText ("VarnokState", "", juce::String (freshParams) + "<ABInactive>" + inside + "</ABInactive>"); };
    juce::String manyAttributes;

    for (int i = 0; i <= varnok::xmlLimits::maxAttributesPerElement; ++i)
        manyAttributes << " a" << i << "=\"1\"";

    const std::vector<std::pair<std::string, juce::MemoryBlock>> inputs = {
        { "a state in UTF-16LE", utf16Blob (freshStateText(), false) },
        { "a state in UTF-16BE", utf16Blob (freshStateText(), true) },
        { "a hostile state in UTF-16LE", utf16Blob ("<VarnokState><?" "?>x</VarnokState>", false) },
        { "a hostile state in UTF-16BE", utf16Blob ("<VarnokState>&#x", true) },
        { "a snapshot nested a level too deep", makeBlob (withSnapshot ("<PARAMS>" + nested (varnok::xmlLimits::maxDepth - 2) + "</PARAMS>")) },
        { "a snapshot nested a hundred thousand levels deep", makeBlob (withSnapshot (nested (100000))) },
        { "an element with an attribute too many", makeBlob (withSnapshot ("<PARAMS" + manyAttributes + "/>")) },
        { "a text longer than allowed", makeBlob (withSnapshot ("<!--" + juce::String::repeatedString ("x", (int) varnok::xmlLimits::maxTextBytes) + "-->")) },
    };

    for (const auto& [name, input] : inputs)
    {
        SCOPED_TRACE (name);
        restoreState (processor, before);
        const Watchdog watchdog ("restoring " + name);
        processor.setStateInformation (input.getData(), (int) input.getSize());
        EXPECT_EQ (saveState (processor), before);
    }

    // Within the bounds the same shapes restore, the snapshot as it came.
    const Watchdog watchdog ("restoring states within the bounds");
    restoreState (processor, makeBlob (withSnapshot ("<PARAMS>" + nested (varnok::xmlLimits::maxDepth - 3) + "</PARAMS>")));
    EXPECT_EQ (processor.getCurrentProgram(), 0);
    auto deep = snapshotOf (processor);

    for (int level = 3; level < varnok::xmlLimits::maxDepth; ++level)
        deep = deep.getChild (0);

    EXPECT_EQ (deep.getType().toString(), "Deep");
}

TEST_F (PluginStateTest, ARestoreLeavesTheUserPresetFileAlone)
{
    ASSERT_TRUE (processor.userPresets.saveCurrentAs ("Kept"));
    const auto file = UserPresetStore::getPresetFile();
    const auto fileBefore = file.loadFileAsString();
    const auto modified = file.getLastModificationTime();

    restoreState (processor, makeBlob (stateText ("VarnokState", " abSlot=\"1\"", paramsWith ("thresh", "-3"))));

    EXPECT_EQ (processor.userPresets.getPresetNames(), juce::StringArray ("Kept"));
    EXPECT_EQ (file.loadFileAsString(), fileBefore);
    EXPECT_EQ (file.getLastModificationTime(), modified);
}
