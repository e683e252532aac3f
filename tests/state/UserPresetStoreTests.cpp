// The user-preset store and its file. Every test runs with $HOME pointed at a fresh folder.
#include "StateTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <map>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace varnok::test;

namespace
{
const char* const header = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n\r\n";

// The "PARAM" lines of a fresh processor's tree as the file writer puts them at depth 3.
juce::String freshParamLines (const juce::String& threshText = "-18.0")
{
    return "      <PARAM id=\"attack\" value=\"9.999999046325684\"/>\r\n"
           "      <PARAM id=\"bypass\" value=\"0.0\"/>\r\n"
           "      <PARAM id=\"in_gain\" value=\"0.0\"/>\r\n"
           "      <PARAM id=\"makeup\" value=\"0.0\"/>\r\n"
           "      <PARAM id=\"out_gain\" value=\"0.0\"/>\r\n"
           "      <PARAM id=\"ratio\" value=\"3.999999761581421\"/>\r\n"
           "      <PARAM id=\"release\" value=\"149.9999694824219\"/>\r\n"
           "      <PARAM id=\"thresh\" value=\""
           + threshText + "\"/>\r\n";
}

juce::String presetXml (const juce::String& nameAttribute, float thresh, const juce::String& extraParams = {})
{
    return "<Preset" + nameAttribute + "><PARAMS><PARAM id=\"thresh\" value=\"" + juce::String (thresh) + "\"/>" + extraParams + "</PARAMS></Preset>";
}

class UserPresetStoreTest : public ::testing::Test
{
protected:
    juce::File presetFile() const { return UserPresetStore::getPresetFile(); }

    void writePresetFile (const juce::String& text) const
    {
        ASSERT_TRUE (presetFile().getParentDirectory().createDirectory().wasOk());
        ASSERT_TRUE (presetFile().replaceWithText (text, false, false, nullptr));
    }

    juce::MemoryBlock fileBytes (const juce::File& file) const
    {
        juce::MemoryBlock block;
        file.loadFileAsData (block);
        return block;
    }

    ScopedFreshHome home;
};
} // namespace

TEST_F (UserPresetStoreTest, FileLivesUnderTheApplicationDataFolderAndIsOnlyWrittenOnChange)
{
    const auto expected = home.folder().getChildFile (".config/Olmet/VARNOK COMP Free/UserPresets.xml");
    EXPECT_EQ (presetFile(), expected);
    EXPECT_EQ (UserPresetStore::getPresetFileFor ("Other"), home.folder().getChildFile (".config/Olmet/Other/UserPresets.xml"));

    VarnokCompAudioProcessor processor;
    EXPECT_TRUE (processor.userPresets.getPresetNames().isEmpty());
    EXPECT_FALSE (home.folder().getChildFile (".config").exists());

    // Refused requests write nothing.
    for (const auto* blank : { "", "   ", " \t\r\n " })
        EXPECT_FALSE (processor.userPresets.saveCurrentAs (blank));
    EXPECT_FALSE (processor.userPresets.deletePreset ("missing"));
    EXPECT_FALSE (home.folder().getChildFile (".config").exists());

    EXPECT_TRUE (processor.userPresets.saveCurrentAs ("First"));
    EXPECT_TRUE (expected.existsAsFile());
}

TEST_F (UserPresetStoreTest, NamesAreTrimmedOnSaveAndOtherwiseComparedExactly)
{
    VarnokCompAudioProcessor processor;
    auto& store = processor.userPresets;

    ASSERT_TRUE (store.saveCurrentAs ("  Lead  "));
    ASSERT_TRUE (store.saveCurrentAs ("lead"));
    ASSERT_TRUE (store.saveCurrentAs ("Pad"));
    EXPECT_EQ (store.getPresetNames(), juce::StringArray ({ "Lead", "lead", "Pad" }));

    // Saving a name again replaces it and moves it to the end.
    setValue (processor, "thresh", -40.0f);
    ASSERT_TRUE (store.saveCurrentAs ("Lead"));
    EXPECT_EQ (store.getPresetNames(), juce::StringArray ({ "lead", "Pad", "Lead" }));

    // Deleting does not trim: "Lead " is not "Lead", and nothing is written.
    const auto before = fileBytes (presetFile());
    EXPECT_FALSE (store.deletePreset ("Lead "));
    EXPECT_FALSE (store.deletePreset ("LEAD"));
    EXPECT_EQ (fileBytes (presetFile()), before);
    EXPECT_EQ (store.getPresetNames().size(), 3);

    EXPECT_TRUE (store.deletePreset ("Lead"));
    EXPECT_EQ (store.getPresetNames(), juce::StringArray ({ "lead", "Pad" }));

    // The file says the same.
    VarnokCompAudioProcessor second;
    EXPECT_EQ (second.userPresets.getPresetNames(), juce::StringArray ({ "lead", "Pad" }));
}

TEST_F (UserPresetStoreTest, HandEditedDuplicatesAndNamelessPresets)
{
    writePresetFile ("<UserPresets>" + presetXml (" name=\"Dup\"", -10) + presetXml ("", -30) + presetXml (" name=\"Dup\"", -20)
                     + presetXml (" name=\"dup\"", -40) + "</UserPresets>");

    VarnokCompAudioProcessor processor;
    auto& store = processor.userPresets;
    EXPECT_EQ (store.getPresetNames(), juce::StringArray ({ "Dup", "", "Dup", "dup" }));

    store.loadPreset ("Dup");
    EXPECT_FLOAT_EQ (valueOf (processor, "thresh"), -10.0f);
    store.loadPreset ("");
    EXPECT_FLOAT_EQ (valueOf (processor, "thresh"), -30.0f);

    // Saving under a duplicated name removes both and appends one.
    setValue (processor, "thresh", -5.0f);
    ASSERT_TRUE (store.saveCurrentAs ("Dup"));
    EXPECT_EQ (store.getPresetNames(), juce::StringArray ({ "", "dup", "Dup" }));
    store.loadPreset ("dup");
    store.loadPreset ("Dup");
    EXPECT_FLOAT_EQ (valueOf (processor, "thresh"), -5.0f);

    // The empty name reaches the nameless preset; saving under it is refused.
    EXPECT_FALSE (store.saveCurrentAs (""));
    EXPECT_TRUE (store.deletePreset (""));
    EXPECT_EQ (store.getPresetNames(), juce::StringArray ({ "dup", "Dup" }));
}

TEST_F (UserPresetStoreTest, DeletingADuplicatedNameRemovesEveryCopy)
{
    writePresetFile ("<UserPresets>" + presetXml (" name=\"Dup\"", -10) + presetXml (" name=\"Keep\"", -30) + presetXml (" name=\"Dup\"", -20) + "</UserPresets>");

    VarnokCompAudioProcessor processor;
    EXPECT_TRUE (processor.userPresets.deletePreset ("Dup"));
    EXPECT_EQ (processor.userPresets.getPresetNames(), juce::StringArray ("Keep"));
    EXPECT_FALSE (processor.userPresets.deletePreset ("Dup"));
}

TEST_F (UserPresetStoreTest, AnUnreadableFileIsCopiedAsideAndTheStoreStartsEmpty)
{
    const std::string contents[] = {
        "",
        "this is not XML",
        "<userpresets><Preset name=\"x\"><PARAMS/></Preset></userpresets>",
        "<Other><Preset name=\"x\"><PARAMS/></Preset></Other>",
        "<UserPresets><Preset name=\"x\"><PARAMS>",
        std::string ("\xff\xfe<\0U\0\xc3", 7),
        "<UserPresets><Preset name=\"Caf\xe9\"><PARAMS/></Preset></UserPresets>", // Latin-1, not UTF-8
        "<UserPresets><Preset name=\"x\"><PARAMS/></Preset></UserPresets>\xe3",
        "<>",
        "<UserPresets><?" "?>stuck?</UserPresets>",
    };

    for (const auto& content : contents)
    {
        SCOPED_TRACE (content);
        const auto backup = presetFile().getSiblingFile ("UserPresets.xml.bak");
        ASSERT_TRUE (presetFile().getParentDirectory().createDirectory().wasOk());
        ASSERT_TRUE (content.empty() ? presetFile().create().wasOk() : presetFile().replaceWithData (content.data(), content.size()));
        ASSERT_TRUE (backup.replaceWithText ("an older backup"));
        const auto original = fileBytes (presetFile());

        {
            VarnokCompAudioProcessor processor;
            EXPECT_TRUE (processor.userPresets.getPresetNames().isEmpty());
            EXPECT_EQ (processor.userPresets.getTree().getNumChildren(), 0);
            EXPECT_EQ (fileBytes (backup), original);
            EXPECT_EQ (fileBytes (presetFile()), original);

            // The first save replaces the unreadable file; the backup stays.
            ASSERT_TRUE (processor.userPresets.saveCurrentAs ("New"));
            EXPECT_EQ (fileBytes (backup), original);
        }

        VarnokCompAudioProcessor reread;
        EXPECT_EQ (reread.userPresets.getPresetNames(), juce::StringArray ("New"));
        presetFile().deleteFile();
        backup.deleteFile();
    }
}

TEST_F (UserPresetStoreTest, UnicodeFilesWithAByteOrderMarkAreRead)
{
    const auto text = juce::String ("<UserPresets>") + presetXml (juce::String (" name=\"") + juce::String (juce::CharPointer_UTF8 ("\xc3\xa9t\xc3\xa9")) + "\"", -7) + "</UserPresets>";

    for (const bool utf16 : { false, true })
    {
        SCOPED_TRACE (utf16 ? "UTF-16" : "UTF-8");
        ASSERT_TRUE (presetFile().getParentDirectory().createDirectory().wasOk());
        presetFile().deleteFile();
        ASSERT_TRUE (presetFile().replaceWithText (text, utf16, true, nullptr));

        VarnokCompAudioProcessor processor;
        EXPECT_EQ (processor.userPresets.getPresetNames(), juce::StringArray (juce::String (juce::CharPointer_UTF8 ("\xc3\xa9t\xc3\xa9"))));
        processor.userPresets.loadPreset (processor.userPresets.getPresetNames()[0]);
        EXPECT_FLOAT_EQ (valueOf (processor, "thresh"), -7.0f);
        EXPECT_FALSE (presetFile().getSiblingFile ("UserPresets.xml.bak").exists());
    }
}

TEST_F (UserPresetStoreTest, AMissingFileOrAFolderInItsPlaceMakesNoBackup)
{
    {
        VarnokCompAudioProcessor processor;
    }
    EXPECT_FALSE (presetFile().getSiblingFile ("UserPresets.xml.bak").exists());

    ASSERT_TRUE (presetFile().createDirectory().wasOk());
    VarnokCompAudioProcessor processor;
    EXPECT_TRUE (processor.userPresets.getPresetNames().isEmpty());
    EXPECT_FALSE (presetFile().getSiblingFile ("UserPresets.xml.bak").exists());
}

TEST_F (UserPresetStoreTest, TheFileTextAsWritten)
{
    // Root attributes and foreign elements of a hand-edited file are kept; the third attribute
    // goes to a new line because the first two already exceed 60 bytes.
    writePresetFile ("<UserPresets library=\"Olmet factory &amp; user\" owner=\"someone with a fairly long name\" v=\"1\">"
                     "<Note text=\"kept\"/></UserPresets>");

    VarnokCompAudioProcessor processor;
    setValue (processor, "thresh", -20.5f);
    processor.apvts.state.setProperty ("updateCheckOff", true, nullptr);
    ASSERT_TRUE (processor.userPresets.saveCurrentAs ("  Say \"hi\"\t<&> `^'  "));
    setValue (processor, "thresh", -18.0f);
    ASSERT_TRUE (processor.userPresets.saveCurrentAs (juce::String (juce::CharPointer_UTF8 ("\xe3\x83\x9c\xe3\x83\xbc\xe3\x82\xab\xe3\x83\xab \xc3\x84"))));

    const juce::String expected = juce::String (header)
                                  + "<UserPresets library=\"Olmet factory &amp; user\" owner=\"someone with a fairly long name\"\r\n"
                                    "             v=\"1\">\r\n"
                                    "  <Note text=\"kept\"/>\r\n"
                                    "  <Preset name=\"Say &quot;hi&quot;&#9;&lt;&amp;&gt; &#96;&#94;'\">\r\n"
                                    "    <PARAMS>\r\n"
                                  + freshParamLines ("-20.5")
                                  + "    </PARAMS>\r\n"
                                    "  </Preset>\r\n"
                                    "  <Preset name=\"&#12508;&#12540;&#12459;&#12523; &#196;\">\r\n"
                                    "    <PARAMS>\r\n"
                                  + freshParamLines()
                                  + "    </PARAMS>\r\n"
                                    "  </Preset>\r\n"
                                    "</UserPresets>\r\n";

    const auto written = fileBytes (presetFile());
    EXPECT_EQ (written.toString(), expected);
    EXPECT_EQ (written.getSize(), expected.getNumBytesAsUTF8());

    // Read back, the names are the same texts, the editor setting stayed out of the preset.
    VarnokCompAudioProcessor reread;
    EXPECT_EQ (reread.userPresets.getPresetNames(), processor.userPresets.getPresetNames());
    EXPECT_EQ (reread.userPresets.getPresetNames()[1], juce::String (juce::CharPointer_UTF8 ("\xe3\x83\x9c\xe3\x83\xbc\xe3\x82\xab\xe3\x83\xab \xc3\x84")));
    EXPECT_EQ (reread.userPresets.getTree().getProperty ("owner").toString(), "someone with a fairly long name");
}

TEST_F (UserPresetStoreTest, DeletingTheLastPresetLeavesAnEmptyRoot)
{
    VarnokCompAudioProcessor processor;
    ASSERT_TRUE (processor.userPresets.saveCurrentAs ("Only"));
    ASSERT_TRUE (processor.userPresets.deletePreset ("Only"));
    EXPECT_EQ (presetFile().loadFileAsString(), juce::String (header) + "<UserPresets/>\r\n");
}

TEST_F (UserPresetStoreTest, LoadingAPresetKeepsEditorSettingsAndDisablesUndo)
{
    VarnokCompAudioProcessor processor;
    moveKnob (processor, "ratio", 12.0f);
    processor.apvts.state.setProperty ("updateCheckOff", true, nullptr);
    ASSERT_TRUE (processor.userPresets.saveCurrentAs ("Twelve"));

    const auto stored = processor.userPresets.getTree().getChild (0).getChild (0);
    EXPECT_EQ (stored.getType().toString(), "PARAMS");
    EXPECT_EQ (stored.getNumProperties(), 0);

    moveKnob (processor, "ratio", 2.0f);
    processor.setCurrentProgram (5);
    processor.toggleAB();
    processor.apvts.state.setProperty ("updateDismissed", "1.1.0", nullptr);
    flushParameterState (processor);
    ASSERT_TRUE (processor.undoManager.canUndo());

    processor.userPresets.loadPreset ("Twelve");

    EXPECT_FLOAT_EQ (valueOf (processor, "ratio"), 12.0f);
    EXPECT_TRUE ((bool) processor.apvts.state.getProperty ("updateCheckOff"));
    EXPECT_EQ (processor.apvts.state.getProperty ("updateDismissed").toString(), "1.1.0");
    EXPECT_EQ (processor.getCurrentProgram(), 5);
    EXPECT_EQ (processor.abSlot.load(), 1);
    EXPECT_FALSE (processor.undoManager.canUndo());

    // Nor does the parameter state's next flush bring an undo step back.
    flushParameterState (processor);
    EXPECT_FALSE (processor.undoManager.canUndo());
}

TEST_F (UserPresetStoreTest, AParameterThePresetLacksGoesToItsDefaultAndTheHostHearsOfIt)
{
    // Saved before "makeup" and "bypass" existed; "release" holds a value no parameter can.
    writePresetFile ("<UserPresets>"
                     + presetXml (" name=\"Old\"", -22, "<PARAM id=\"release\" value=\"nan\"/><PARAM id=\"knee\" value=\"3\"/>")
                     + "</UserPresets>");

    VarnokCompAudioProcessor processor;
    setValue (processor, "makeup", 6.0f);
    setValue (processor, "bypass", 1.0f);
    setValue (processor, "release", 900.0f);
    flushParameterState (processor);
    processor.undoManager.clearUndoHistory();

    HostNotifications host;
    processor.addListener (&host);
    processor.userPresets.loadPreset ("Old");
    processor.removeListener (&host);

    EXPECT_FLOAT_EQ (valueOf (processor, "thresh"), -22.0f);
    EXPECT_FLOAT_EQ (valueOf (processor, "makeup"), 0.0f);
    EXPECT_FLOAT_EQ (valueOf (processor, "bypass"), 0.0f);
    EXPECT_FLOAT_EQ (valueOf (processor, "release"), 150.0f);
    EXPECT_GE (host.changes[parameterIndex (processor, "makeup")], 1);
    EXPECT_FLOAT_EQ (host.lastValue[parameterIndex (processor, "makeup")], processor.apvts.getParameter ("makeup")->getDefaultValue());
    EXPECT_GE (host.changes[parameterIndex (processor, "bypass")], 1);

    // The live tree lists the reset parameters with their values, and no undo step appears.
    const auto live = processor.apvts.copyState();
    EXPECT_FLOAT_EQ (valueIn (live, "makeup"), 0.0f);
    EXPECT_FLOAT_EQ (valueIn (live, "bypass"), 0.0f);
    flushParameterState (processor);
    EXPECT_FALSE (processor.undoManager.canUndo());
}

TEST_F (UserPresetStoreTest, LoadingAnUnknownNameOrAPresetWithoutParametersDoesNothing)
{
    writePresetFile ("<UserPresets><Preset name=\"Empty\"/><Preset name=\"Wrong\"><params><PARAM id=\"thresh\" value=\"-1\"/></params></Preset>"
                     "<preset name=\"Lower\"><PARAMS><PARAM id=\"thresh\" value=\"-2\"/></PARAMS></preset></UserPresets>");

    VarnokCompAudioProcessor processor;
    EXPECT_EQ (processor.userPresets.getPresetNames(), juce::StringArray ({ "Empty", "Wrong" }));
    moveKnob (processor, "thresh", -33.0f);
    flushParameterState (processor);

    for (const auto* name : { "Empty", "Wrong", "Lower", "Nothing" })
    {
        SCOPED_TRACE (name);
        processor.userPresets.loadPreset (name);
        EXPECT_FLOAT_EQ (valueOf (processor, "thresh"), -33.0f);
        EXPECT_TRUE (processor.undoManager.canUndo());
    }
}

TEST_F (UserPresetStoreTest, EachProcessorReadsTheFileOnceAndTheLastWriterWins)
{
    VarnokCompAudioProcessor first;
    ASSERT_TRUE (first.userPresets.saveCurrentAs ("One"));

    VarnokCompAudioProcessor second;
    EXPECT_EQ (second.userPresets.getPresetNames(), juce::StringArray ("One"));

    ASSERT_TRUE (first.userPresets.saveCurrentAs ("Two"));
    EXPECT_EQ (second.userPresets.getPresetNames(), juce::StringArray ("One"));

    ASSERT_TRUE (second.userPresets.saveCurrentAs ("Three"));
    VarnokCompAudioProcessor third;
    EXPECT_EQ (third.userPresets.getPresetNames(), juce::StringArray ({ "One", "Three" }));
}

TEST_F (UserPresetStoreTest, FactoryAccessors)
{
    VarnokCompAudioProcessor processor;
    const auto& store = processor.userPresets;
    EXPECT_EQ (store.getNumFactoryPresets(), 14);
    EXPECT_EQ (store.getFactoryCategories(), juce::StringArray ({ "Default", "Vocal", "Drums", "Bass", "Guitar", "Keys", "Master" }));
    EXPECT_EQ (store.getFactoryName (13), "Gentle Glue");
    EXPECT_EQ (store.getFactoryCategory (7), "Bass");
    EXPECT_EQ (store.getFactoryName (14), "");
    EXPECT_EQ (store.getFactoryCategory (-1), "");
}

//==============================================================================
// Writes that fail. CI runs the tests as root, where permission bits stop nothing, so each cause
// here is one that stops root as well, at a different step of the write: the folder, opening the
// temporary file, writing it (a file-size limit cuts the write short or refuses it, as a full or
// nearly full disk does), and putting it in the target's place.
namespace
{
struct ScopedResourceLimit
{
    ScopedResourceLimit (int resource, rlim_t softLimit) : which (resource)
    {
        getrlimit (which, &previous);
        auto limited = previous;
        limited.rlim_cur = softLimit;
        active = setrlimit (which, &limited) == 0;
    }

    ~ScopedResourceLimit() { setrlimit (which, &previous); }

    int which;
    rlimit previous {};
    bool active = false;
};

// Files in the preset folder other than the preset file and its backup (left-over temporaries).
juce::StringArray strayFiles (const juce::File& folder)
{
    juce::StringArray names;
    for (const auto& f : folder.findChildFiles (juce::File::findFilesAndDirectories, false, "*", juce::File::FollowSymlinks::no))
        if (f.getFileName() != "UserPresets.xml" && f.getFileName() != "UserPresets.xml.bak")
            names.add (f.getFileName());
    return names;
}

// Everything below a folder: each path (folders end in '/') with the file's bytes.
std::map<std::string, std::string> contentsOf (const juce::File& folder)
{
    std::map<std::string, std::string> entries;

    for (const auto& f : folder.findChildFiles (juce::File::findFilesAndDirectories, true, "*", juce::File::FollowSymlinks::no))
    {
        juce::MemoryBlock bytes;
        if (f.existsAsFile())
            f.loadFileAsData (bytes);
        entries[(f.getRelativePathFrom (folder) + (f.isDirectory() ? "/" : "")).toStdString()] =
            std::string (static_cast<const char*> (bytes.getData()), bytes.getSize());
    }

    return entries;
}

struct WriteFailure
{
    const char* cause;

    // Changes made to the preset folder before the attempt (and taken back after it), or null.
    void (*block) (const juce::File& presetFolder);
    void (*unblock) (const juce::File& presetFolder);

    // A process limit held during the attempt only, or null.
    std::unique_ptr<ScopedResourceLimit> (*limit)();
};

const juce::String aside (" (put aside)");

const WriteFailure writeFailures[] = {
    { "a file where the preset folder should be",
      [] (const juce::File& folder)
      {
          ASSERT_TRUE (folder.moveFileTo (folder.getSiblingFile (folder.getFileName() + aside)));
          ASSERT_TRUE (folder.replaceWithText ("a file, not a folder"));
      },
      [] (const juce::File& folder)
      {
          ASSERT_TRUE (folder.deleteFile());
          ASSERT_TRUE (folder.getSiblingFile (folder.getFileName() + aside).moveFileTo (folder));
      },
      nullptr },
    { "a folder where the preset file should be (the temporary file cannot replace it)",
      [] (const juce::File& folder)
      {
          const auto file = folder.getChildFile ("UserPresets.xml");
          ASSERT_TRUE (file.moveFileTo (folder.getChildFile ("UserPresets.xml" + aside)));
          ASSERT_TRUE (file.createDirectory().wasOk());
          ASSERT_TRUE (file.getChildFile ("inside").replaceWithText ("kept"));
      },
      [] (const juce::File& folder)
      {
          const auto file = folder.getChildFile ("UserPresets.xml");
          ASSERT_TRUE (file.deleteRecursively());
          ASSERT_TRUE (folder.getChildFile ("UserPresets.xml" + aside).moveFileTo (file));
      },
      nullptr },
    { "no free file descriptor for the temporary file", nullptr, nullptr,
      []
      {
          // Every descriptor below the lowest free one is taken, so no new file can be opened.
          const int lowestFree = fcntl (0, F_DUPFD, 0);
          EXPECT_GE (lowestFree, 0);
          close (lowestFree);
          return std::make_unique<ScopedResourceLimit> (RLIMIT_NOFILE, (rlim_t) juce::jmax (0, lowestFree));
      } },
    { "no room for a single byte", nullptr, nullptr, [] { return std::make_unique<ScopedResourceLimit> (RLIMIT_FSIZE, (rlim_t) 0); } },
    { "room for the first 20 bytes only (a short write)", nullptr, nullptr,
      [] { return std::make_unique<ScopedResourceLimit> (RLIMIT_FSIZE, (rlim_t) 20); } },
};
} // namespace

// Each cause on a save and on a delete, once a first save has made the file: the call returns
// false, nothing under the settings folder changes (the previous file stays byte for byte, no
// temporary file is left), the change stays in memory, and once the cause is gone the next save
// writes it.
TEST_F (UserPresetStoreTest, AWriteThatFailsReportsItAndLeavesTheFilesAsTheyWere)
{
    // Past the file-size limit write() fails with EFBIG instead of the signal killing the process.
    struct IgnoredSignal
    {
        IgnoredSignal() : previous (std::signal (SIGXFSZ, SIG_IGN)) {}
        ~IgnoredSignal() { std::signal (SIGXFSZ, previous); }
        void (*previous) (int);
    } ignoreFileSizeSignal;

    const auto settings = home.folder().getChildFile (".config");

    for (const auto& failure : writeFailures)
    {
        for (const bool deleting : { false, true })
        {
            SCOPED_TRACE (juce::String (failure.cause) + (deleting ? ", deleting" : ", saving"));
            settings.deleteRecursively();

            VarnokCompAudioProcessor processor;
            auto& store = processor.userPresets;
            ASSERT_TRUE (store.saveCurrentAs ("First"));
            const auto folder = presetFile().getParentDirectory();

            if (failure.block != nullptr)
                failure.block (folder);
            ASSERT_FALSE (HasFatalFailure());

            const auto before = contentsOf (settings);
            bool written = true;

            {
                const auto limit = failure.limit != nullptr ? failure.limit() : nullptr;
                ASSERT_TRUE (failure.limit == nullptr || limit->active);
                written = deleting ? store.deletePreset ("First") : store.saveCurrentAs ("Second");
            }

            EXPECT_FALSE (written);
            EXPECT_EQ (contentsOf (settings), before);

            if (failure.unblock != nullptr)
                failure.unblock (folder);
            ASSERT_FALSE (HasFatalFailure());

            auto expected = deleting ? juce::StringArray() : juce::StringArray ({ "First", "Second" });
            EXPECT_EQ (store.getPresetNames(), expected);

            ASSERT_TRUE (store.saveCurrentAs ("Later"));
            expected.add ("Later");
            VarnokCompAudioProcessor reread;
            EXPECT_EQ (reread.userPresets.getPresetNames(), expected);
            EXPECT_TRUE (strayFiles (folder).isEmpty()) << strayFiles (folder).joinIntoString (", ");
        }
    }
}

TEST_F (UserPresetStoreTest, TheFileIsReplacedWholeNeverRewrittenInPlace)
{
    VarnokCompAudioProcessor processor;
    ASSERT_TRUE (processor.userPresets.saveCurrentAs ("First"));
    const auto before = fileBytes (presetFile());

    struct stat oldInfo {};
    ASSERT_EQ (stat (presetFile().getFullPathName().toRawUTF8(), &oldInfo), 0);

    // A reader that opened the old file keeps reading the complete old file.
    const int reader = open (presetFile().getFullPathName().toRawUTF8(), O_RDONLY);
    ASSERT_GE (reader, 0);

    ASSERT_TRUE (processor.userPresets.saveCurrentAs ("Second"));

    juce::MemoryBlock seen (before.getSize() + 64);
    const auto got = read (reader, seen.getData(), seen.getSize());
    close (reader);
    ASSERT_EQ ((size_t) got, before.getSize());
    seen.setSize ((size_t) got);
    EXPECT_EQ (seen, before);

    struct stat newInfo {};
    ASSERT_EQ (stat (presetFile().getFullPathName().toRawUTF8(), &newInfo), 0);
    EXPECT_NE (newInfo.st_ino, oldInfo.st_ino);
    EXPECT_TRUE (strayFiles (presetFile().getParentDirectory()).isEmpty());
    EXPECT_TRUE (presetFile().loadFileAsString().contains ("name=\"Second\""));
}
