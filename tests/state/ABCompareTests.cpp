// A/B comparison: the lifecycle of the two slots, and undo and redo of "A/B" steps through the
// processor's undo manager.
//
// Parameter moves reach the tree only when the parameter state flushes: on its timer, or inside
// any copyState (toggling takes one). Where a test needs the flush that the timer would have
// made between two clicks it calls flushNow, which is that copyState; where it needs a move that
// has not been flushed yet it says so.
#include "StateTestSupport.h"

#include <gtest/gtest.h>

using namespace varnok::test;

namespace
{
class ABCompareTest : public ::testing::Test
{
protected:
    // The flush the parameter state's timer makes between two clicks.
    void flushNow() { flushParameterState (processor); }

    // Runs the message loop until the parameter state's own timer has written the value into the
    // live tree (its period grows up to 500 ms while idle). The tree is read as it is, without the
    // flush that copyState would make.
    bool waitForTimerFlush (const juce::String& id, float plainValue)
    {
        for (int attempt = 0; attempt < 40; ++attempt)
        {
            if (std::abs (valueIn (processor.apvts.state, id) - plainValue) < 1.0e-3f)
                return true;

            pumpMessages (50);
        }

        return false;
    }

    ScopedFreshHome home;
    VarnokCompAudioProcessor processor;
};
} // namespace

TEST_F (ABCompareTest, FirstToggleKeepsTheSoundAndIsUndoable)
{
    EXPECT_FALSE (snapshotOf (processor).isValid());
    EXPECT_EQ (processor.abSlot.load(), 0);
    EXPECT_FALSE (processor.undoManager.canUndo());

    setValue (processor, "thresh", -30.0f);
    flushNow();
    processor.undoManager.clearUndoHistory();

    EXPECT_TRUE (processor.toggleAB());
    EXPECT_FLOAT_EQ (valueOf (processor, "thresh"), -30.0f);
    EXPECT_EQ (processor.abSlot.load(), 1);
    EXPECT_FLOAT_EQ (valueIn (snapshotOf (processor), "thresh"), -30.0f);
    EXPECT_TRUE (processor.undoManager.canUndo());
    EXPECT_EQ (processor.undoManager.getUndoDescription(), "A/B");

    EXPECT_TRUE (processor.undoManager.undo());
    EXPECT_EQ (processor.abSlot.load(), 0);
    EXPECT_FLOAT_EQ (valueOf (processor, "thresh"), -30.0f);
    EXPECT_FALSE (processor.undoManager.canUndo());
    EXPECT_EQ (processor.undoManager.getRedoDescription(), "A/B");
}

TEST_F (ABCompareTest, TwoSlotsExchangeTheirValuesAndUndoRedoWalksThem)
{
    HostNotifications host;
    processor.addListener (&host);

    setValue (processor, "ratio", 8.0f); // slot A
    processor.toggleAB();                // takes the pending value with it (copyState)
    setValue (processor, "ratio", 2.0f); // slot B
    setValue (processor, "attack", 50.0f);
    flushNow();
    host.changes.clear();

    processor.toggleAB();
    EXPECT_EQ (processor.abSlot.load(), 0);
    EXPECT_FLOAT_EQ (valueOf (processor, "ratio"), 8.0f);
    EXPECT_FLOAT_EQ (valueOf (processor, "attack"), 10.0f);
    EXPECT_FLOAT_EQ (valueIn (snapshotOf (processor), "ratio"), 2.0f);
    EXPECT_FLOAT_EQ (valueIn (snapshotOf (processor), "attack"), 50.0f);

    // The exchanged values reach the host; the unchanged ones are not announced.
    EXPECT_EQ (host.changes[parameterIndex (processor, "ratio")], 1);
    EXPECT_EQ (host.changes[parameterIndex (processor, "attack")], 1);
    EXPECT_EQ (host.changes.count (parameterIndex (processor, "thresh")), 0u);

    // Undo the second toggle: B is live again, with A in the snapshot.
    ASSERT_TRUE (processor.undoManager.undo());
    EXPECT_EQ (processor.abSlot.load(), 1);
    EXPECT_FLOAT_EQ (valueOf (processor, "ratio"), 2.0f);
    EXPECT_FLOAT_EQ (valueIn (snapshotOf (processor), "ratio"), 8.0f);

    // Redo it: A again.
    ASSERT_TRUE (processor.undoManager.redo());
    EXPECT_EQ (processor.abSlot.load(), 0);
    EXPECT_FLOAT_EQ (valueOf (processor, "ratio"), 8.0f);
    EXPECT_FLOAT_EQ (valueIn (snapshotOf (processor), "ratio"), 2.0f);
    processor.removeListener (&host);
}

TEST_F (ABCompareTest, TwoTogglesInARowAreTwoSteps)
{
    setValue (processor, "makeup", 4.0f);
    flushNow();
    processor.undoManager.clearUndoHistory();

    processor.toggleAB();
    processor.toggleAB();
    EXPECT_EQ (processor.abSlot.load(), 0);
    EXPECT_FLOAT_EQ (valueOf (processor, "makeup"), 4.0f);
    EXPECT_EQ (numUndoSteps (processor), 2);

    // Undo both: back to slot A with the snapshot of the first toggle undone too.
    processor.undoManager.undo();
    EXPECT_EQ (processor.abSlot.load(), 1);
    processor.undoManager.undo();
    EXPECT_EQ (processor.abSlot.load(), 0);
    EXPECT_FLOAT_EQ (valueOf (processor, "makeup"), 4.0f);
}

TEST_F (ABCompareTest, CopyMakesTheHiddenSlotEqualWithoutAnUndoStep)
{
    moveKnob (processor, "release", 400.0f);
    flushNow();
    processor.toggleAB(); // slot B, snapshot A = 400
    moveKnob (processor, "release", 80.0f);
    processor.apvts.state.setProperty ("updateCheckOff", true, nullptr);
    flushNow();
    const auto stepsBefore = numUndoSteps (processor);
    ASSERT_EQ (stepsBefore, 3);

    // The copy is the live tree, root properties included.
    processor.copyActiveToInactive();
    EXPECT_EQ (processor.abSlot.load(), 1);
    EXPECT_NEAR (valueIn (snapshotOf (processor), "release"), 80.0f, 1.0e-3f);
    EXPECT_TRUE ((bool) snapshotOf (processor).getProperty ("updateCheckOff"));
    EXPECT_EQ (numUndoSteps (processor), stepsBefore);

    processor.toggleAB();
    EXPECT_NEAR (valueOf (processor, "release"), 80.0f, 1.0e-3f);
    EXPECT_EQ (processor.abSlot.load(), 0);

    // Undo the toggle; the next undo does not bring the old snapshot back but takes back the
    // step before the copy, B's release move.
    processor.undoManager.undo();
    EXPECT_EQ (processor.abSlot.load(), 1);
    EXPECT_NEAR (valueIn (snapshotOf (processor), "release"), 80.0f, 1.0e-3f);
    processor.undoManager.undo();
    EXPECT_NEAR (valueOf (processor, "release"), 400.0f, 1.0e-3f);
    EXPECT_NEAR (valueIn (snapshotOf (processor), "release"), 80.0f, 1.0e-3f);
}

TEST_F (ABCompareTest, ASnapshotThatLacksParametersOrHasUnknownOnes)
{
    // An older state's snapshot without "makeup" and with an ID this edition does not have.
    const auto text = juce::String ("<?xml version=\"1.0\" encoding=\"UTF-8\"?> <VarnokState currentProgram=\"0\" abSlot=\"1\">"
                                    "<PARAMS><PARAM id=\"makeup\" value=\"2.0\"/><PARAM id=\"thresh\" value=\"-10.0\"/></PARAMS>"
                                    "<ABInactive><PARAMS><PARAM id=\"thresh\" value=\"-44.0\"/><PARAM id=\"mix\" value=\"50\"/>"
                                    "<PARAM id=\"THRESH\" value=\"-1\"/></PARAMS></ABInactive></VarnokState>");
    restoreState (processor, makeBlob (text));

    processor.toggleAB();
    EXPECT_EQ (processor.abSlot.load(), 0);
    EXPECT_FLOAT_EQ (valueOf (processor, "thresh"), -44.0f);
    EXPECT_FLOAT_EQ (valueOf (processor, "makeup"), 2.0f);
    EXPECT_EQ (processor.apvts.state.getChildWithProperty ("id", "mix").isValid(), false);

    // The new snapshot, the previous live tree, lists every parameter.
    const auto snapshot = snapshotOf (processor);
    EXPECT_EQ (snapshot.getNumChildren(), 8);
    EXPECT_FLOAT_EQ (valueIn (snapshot, "thresh"), -10.0f);
    EXPECT_FLOAT_EQ (valueIn (snapshot, "attack"), 10.0f);
}

TEST_F (ABCompareTest, OnlyParamChildrenOfASnapshotCountAndTheLastOfThemWins)
{
    // A toggle applies a snapshot's "PARAM" children in order; a child of another type that names
    // the same parameter is not one of them, wherever it stands, and must not push one out.
    struct Case
    {
        const char* what;
        const char* snapshot;
        float thresh, ratio;
    };

    const Case cases[] = {
        { "another type after the PARAM", "<PARAM id=\"thresh\" value=\"-33\"/><FOO id=\"thresh\" value=\"0\"/>", -33.0f, 4.0f },
        { "another type before the PARAM", "<FOO id=\"thresh\" value=\"0\"/><PARAM id=\"thresh\" value=\"-33\"/>", -33.0f, 4.0f },
        { "another type only", "<FOO id=\"thresh\" value=\"0\"/>", -18.0f, 4.0f },
        { "two PARAMs, then another type", "<PARAM id=\"ratio\" value=\"6\"/><PARAM id=\"ratio\" value=\"7\"/><Other id=\"ratio\" value=\"nan\"/>", -18.0f, 7.0f },
        { "a PARAM without a value between", "<PARAM id=\"thresh\" value=\"-33\"/><FOO id=\"thresh\"/><PARAM id=\"ratio\" value=\"9\"/>", -33.0f, 9.0f },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        VarnokCompAudioProcessor p;
        const auto snapshot = juce::String ("<PARAMS>") + c.snapshot + "</PARAMS>";
        restoreState (p, makeBlob ("<?xml version=\"1.0\" encoding=\"UTF-8\"?> <VarnokState currentProgram=\"0\" abSlot=\"0\">"
                                   "<PARAMS><PARAM id=\"thresh\" value=\"-18.0\"/></PARAMS><ABInactive>"
                                   + snapshot + "</ABInactive></VarnokState>"));

        // The snapshot is kept with its other children; of the PARAMs naming one parameter only the
        // last one stays, so a save and a restore bring back the same snapshot.
        const auto stored = snapshotOf (p);
        EXPECT_EQ (stored.getChildWithName ("FOO").isValid(), juce::String (c.snapshot).contains ("<FOO"));
        const auto saved = saveState (p);
        restoreState (p, saved);
        EXPECT_EQ (saveState (p), saved);

        p.toggleAB();
        EXPECT_FLOAT_EQ (valueOf (p, "thresh"), c.thresh);
        EXPECT_FLOAT_EQ (valueOf (p, "ratio"), c.ratio);

        // And back: the live values of slot A return.
        p.toggleAB();
        EXPECT_FLOAT_EQ (valueOf (p, "thresh"), -18.0f);
        EXPECT_FLOAT_EQ (valueOf (p, "ratio"), 4.0f);
    }
}

TEST_F (ABCompareTest, PresetLoadsAndProgramsLeaveTheSlotsAlone)
{
    setValue (processor, "thresh", -12.0f);
    ASSERT_TRUE (processor.userPresets.saveCurrentAs ("Loud"));
    setValue (processor, "thresh", -36.0f);
    processor.toggleAB(); // B live, A = -36 in the snapshot
    setValue (processor, "thresh", -20.0f);
    flushNow();

    // A factory program opens no undo step. Its values reach the tree when the parameter state's
    // timer flushes them, through the undo manager, so they join the step that is open: the toggle.
    const auto undoSteps = [this] { return processor.undoManager.getUndoDescriptions().joinIntoString (" | ").toStdString(); };
    const auto history = undoSteps();
    processor.setCurrentProgram (11); // "Pad Smooth": -26 dB, 2:1, 50 ms, 450 ms, +2 dB
    EXPECT_NEAR (valueIn (processor.apvts.state, "release"), 150.0f, 1.0e-3f) << "the tree already holds the program";
    ASSERT_TRUE (waitForTimerFlush ("release", 450.0f));
    EXPECT_EQ (undoSteps(), history);
    EXPECT_EQ (processor.abSlot.load(), 1);
    EXPECT_FLOAT_EQ (valueIn (snapshotOf (processor), "thresh"), -36.0f);

    // Undoing that step takes the program's values back with the toggle: slot B goes into the
    // snapshot as it was before the program. Redoing it brings both again.
    ASSERT_TRUE (processor.undoManager.undo());
    EXPECT_EQ (processor.abSlot.load(), 0);
    EXPECT_NEAR (valueIn (snapshotOf (processor), "release"), 150.0f, 1.0e-3f);
    ASSERT_TRUE (processor.undoManager.redo());
    EXPECT_EQ (processor.abSlot.load(), 1);
    EXPECT_NEAR (valueOf (processor, "release"), 450.0f, 1.0e-3f);
    EXPECT_FLOAT_EQ (valueOf (processor, "thresh"), -26.0f);
    EXPECT_FLOAT_EQ (valueIn (snapshotOf (processor), "thresh"), -36.0f);
    EXPECT_EQ (undoSteps(), history);

    // A user preset replaces the live values and clears the history, "A/B" steps included.
    processor.userPresets.loadPreset ("Loud");
    EXPECT_FLOAT_EQ (valueOf (processor, "thresh"), -12.0f);
    EXPECT_EQ (processor.abSlot.load(), 1);
    EXPECT_FLOAT_EQ (valueIn (snapshotOf (processor), "thresh"), -36.0f);
    EXPECT_FALSE (processor.undoManager.canUndo());

    // The hidden slot is still there to toggle to.
    processor.toggleAB();
    EXPECT_FLOAT_EQ (valueOf (processor, "thresh"), -36.0f);
}

// A knob moved just before the click has not reached the tree yet (no flush in between).
TEST_F (ABCompareTest, UndoingAToggleKeepsAMoveMadeJustBeforeIt)
{
    setValue (processor, "thresh", -25.0f);
    flushNow();
    processor.undoManager.clearUndoHistory();

    setValue (processor, "thresh", -5.0f); // pending, not flushed
    processor.toggleAB();
    EXPECT_FLOAT_EQ (valueIn (snapshotOf (processor), "thresh"), -5.0f);

    // Undoing "A/B" is exactly the state before the click, with the move.
    processor.undoManager.undo();
    EXPECT_EQ (processor.abSlot.load(), 0);
    EXPECT_FLOAT_EQ (valueOf (processor, "thresh"), -5.0f);

    // The move is its own step before the toggle.
    processor.undoManager.undo();
    EXPECT_FLOAT_EQ (valueOf (processor, "thresh"), -25.0f);
}

// A knob moved just before UNDO: the undo manager refuses the flush while it undoes.
TEST_F (ABCompareTest, AMoveMadeJustBeforeUndoingAToggleStaysInItsSlot)
{
    setValue (processor, "attack", 30.0f);
    flushNow();
    processor.toggleAB(); // B live, A = 30 hidden
    flushNow();

    setValue (processor, "attack", 2.0f); // B moved, pending
    ASSERT_TRUE (processor.undoManager.undo());

    EXPECT_EQ (processor.abSlot.load(), 0);
    EXPECT_FLOAT_EQ (valueOf (processor, "attack"), 30.0f);
    EXPECT_FLOAT_EQ (valueIn (snapshotOf (processor), "attack"), 2.0f);

    // The live tree agrees with the parameters once the parameter state has flushed.
    flushNow();
    EXPECT_FLOAT_EQ (valueIn (processor.apvts.copyState(), "attack"), 30.0f);

    ASSERT_TRUE (processor.undoManager.redo());
    EXPECT_FLOAT_EQ (valueOf (processor, "attack"), 2.0f);
    EXPECT_EQ (processor.abSlot.load(), 1);
}
