#include "EditorTestSupport.h"

#include "editor/WebLauncher.h"
#include "processor/PluginIdentity.h"

using Access = EditorTestAccess;
using edtest::EditorFixture;

namespace
{
float rawValue (VarnokCompAudioProcessor& p, const char* id) { return p.apvts.getRawParameterValue (id)->load(); }

juce::KeyPress ctrl (int key, int extra = 0) { return juce::KeyPress (key, juce::ModifierKeys (juce::ModifierKeys::ctrlModifier | extra), 0); }

struct PresetBarTest : EditorFixture
{
    // The first tick re-selects the current program; let it happen before the test steps.
    PresetBarTest() { Access::tick (*editor); }

    juce::ComboBox& box() { return Access::presetBox (*editor); }

    // The click and the combo box's change message are both delivered asynchronously; then the
    // editor's tick catches up with the program the click chose, as its timer would, so that a
    // late timer tick cannot change the selection under the next step.
    void click (juce::Button& button)
    {
        button.triggerClick();
        pump();
        Access::tick (*editor);
    }

    // Saves two user presets before the editor's combo box is filled.
    void withUserPresets (std::initializer_list<const char*> names)
    {
        editor.reset();
        for (auto* name : names)
            ASSERT_TRUE (processor.userPresets.saveCurrentAs (name));
        editor = std::make_unique<VarnokCompAudioProcessorEditor> (processor);
        Access::tick (*editor);
    }
};
} // namespace

TEST_F (PresetBarTest, ComboHoldsProgramsThenUserPresetsWithTheirIds)
{
    withUserPresets ({ "P", "Q" });
    ASSERT_EQ (box().getNumItems(), 16);

    for (int i = 0; i < 14; ++i)
    {
        EXPECT_EQ (box().getItemId (i), i + 1);
        EXPECT_EQ (box().getItemText (i), processor.getProgramName (i));
    }

    EXPECT_EQ (box().getItemId (14), 1000);
    EXPECT_EQ (box().getItemText (14), "P");
    EXPECT_EQ (box().getItemId (15), 1001);
    EXPECT_EQ (box().getSelectedId(), 1); // the current program, silently
}

TEST_F (PresetBarTest, StepsWrapAcrossProgramsAndUserPresets)
{
    // Without user presets: "<" on Default wraps to Gentle Glue, ">" wraps back.
    click (Access::prev (*editor));
    EXPECT_EQ (box().getSelectedId(), 14);
    EXPECT_EQ (processor.getCurrentProgram(), 13);
    EXPECT_NEAR (rawValue (processor, "thresh"), -20.0f, 1.0e-4f);
    click (Access::next (*editor));
    EXPECT_EQ (box().getSelectedId(), 1);
    EXPECT_EQ (processor.getCurrentProgram(), 0);

    // With P and Q: ">" on program 14 loads P, ">" on Q applies program 1, "<" on P program 14.
    processor.setCurrentProgram (13);
    juce::MessageManager::getInstance()->runDispatchLoopUntil (20);
    withUserPresets ({ "P", "Q" });
    ASSERT_EQ (box().getSelectedId(), 14);

    click (Access::next (*editor));
    EXPECT_EQ (box().getSelectedId(), 1000);
    EXPECT_FALSE (processor.undoManager.canUndo()); // a preset load clears the history
    click (Access::next (*editor));
    EXPECT_EQ (box().getSelectedId(), 1001);
    click (Access::next (*editor));
    EXPECT_EQ (box().getSelectedId(), 1);
    EXPECT_EQ (processor.getCurrentProgram(), 0);

    box().setSelectedId (1000, juce::dontSendNotification);
    click (Access::prev (*editor));
    EXPECT_EQ (box().getSelectedId(), 14);
    EXPECT_EQ (processor.getCurrentProgram(), 13);
}

TEST_F (PresetBarTest, NothingSelectedStepsFromTheFirstItem)
{
    box().setSelectedId (0, juce::dontSendNotification);
    click (Access::next (*editor));
    EXPECT_EQ (box().getSelectedId(), 2);

    box().setSelectedId (0, juce::dontSendNotification);
    click (Access::prev (*editor));
    EXPECT_EQ (box().getSelectedId(), 14);
}

TEST_F (PresetBarTest, InitAppliesDefaultEvenWhenItIsCurrent)
{
    auto* thresh = processor.apvts.getParameter ("thresh");
    thresh->setValueNotifyingHost (thresh->convertTo0to1 (-40.0f));
    ASSERT_EQ (processor.getCurrentProgram(), 0);

    click (Access::init (*editor));
    EXPECT_NEAR (rawValue (processor, "thresh"), -18.0f, 1.0e-4f);
    EXPECT_EQ (box().getSelectedId(), 1);
}

TEST_F (PresetBarTest, TickFollowsTheHostsProgramWithoutApplyingItAgain)
{
    Access::tick (*editor);
    processor.setCurrentProgram (5);
    auto* thresh = processor.apvts.getParameter ("thresh");
    thresh->setValueNotifyingHost (thresh->convertTo0to1 (-33.0f));

    Access::tick (*editor);
    pump();
    EXPECT_EQ (box().getSelectedId(), 6);
    EXPECT_NEAR (rawValue (processor, "thresh"), -33.0f, 1.0e-4f);
}

TEST_F (PresetBarTest, GetProAsksForTheShopPage)
{
    juce::StringArray opened;
    varnok::setWebPageOpener ([&opened] (const juce::URL& url)
                              {
                                  opened.add (url.toString (false));
                                  return true;
                              });
    click (Access::getPro (*editor));
    varnok::setWebPageOpener ({});

    ASSERT_EQ (opened.size(), 1);
    EXPECT_EQ (opened[0], juce::String (varnok::identity::shopPageUrl));
    EXPECT_EQ (Access::getPro (*editor).getButtonText(), "Get PRO");
    EXPECT_EQ (Access::getPro (*editor).findColour (juce::TextButton::buttonColourId), juce::Colour (0xff5aa0ff));
}

TEST_F (PresetBarTest, PresetsButtonOpensThePanel)
{
    auto* panel = Access::panel (*editor);
    ASSERT_FALSE (panel->isVisible());
    click (Access::presets (*editor));
    EXPECT_TRUE (panel->isVisible());
    EXPECT_EQ (panel->getBounds(), editor->getLocalBounds());
}

TEST_F (EditorFixture, SlotButtonsCopyAndUndo)
{
    auto& a = Access::slotA (*editor);
    auto& b = Access::slotB (*editor);
    auto& copyButton = Access::copy (*editor);
    const auto live = juce::Colour (0xff9aa6b8);
    const auto hidden = juce::Colour (0xff161b26);

    EXPECT_EQ (a.findColour (juce::TextButton::buttonColourId), live);
    EXPECT_EQ (b.findColour (juce::TextButton::buttonColourId), hidden);
    EXPECT_EQ (copyButton.getButtonText(), "A>B");

    // A is live: clicking A records nothing.
    a.triggerClick();
    pump();
    Access::tick (*editor);
    EXPECT_FALSE (processor.undoManager.canUndo());
    EXPECT_FALSE (Access::undo (*editor).isEnabled());

    b.triggerClick();
    pump();
    EXPECT_EQ (processor.abSlot.load(), 1);
    EXPECT_EQ (b.findColour (juce::TextButton::buttonColourId), live);
    EXPECT_EQ (copyButton.getButtonText(), "B>A");
    Access::tick (*editor);
    EXPECT_TRUE (Access::undo (*editor).isEnabled());
    EXPECT_FALSE (Access::redo (*editor).isEnabled());

    Access::undo (*editor).triggerClick();
    pump();
    EXPECT_EQ (processor.abSlot.load(), 0);
    Access::tick (*editor); // the tick recolours after an undo
    EXPECT_EQ (a.findColour (juce::TextButton::buttonColourId), live);
    EXPECT_EQ (copyButton.getButtonText(), "A>B");
    EXPECT_TRUE (Access::redo (*editor).isEnabled());

    Access::redo (*editor).triggerClick();
    pump();
    Access::tick (*editor);
    EXPECT_EQ (processor.abSlot.load(), 1);
    EXPECT_EQ (copyButton.getButtonText(), "B>A");

    // Copy changes neither the slot nor the undo state.
    const auto couldUndo = processor.undoManager.canUndo();
    copyButton.triggerClick();
    pump();
    EXPECT_EQ (processor.abSlot.load(), 1);
    EXPECT_EQ (processor.undoManager.canUndo(), couldUndo);
}

TEST_F (EditorFixture, KeysUndoAndRedo)
{
    editor->setSize (1241, 527);
    Access::slotB (*editor).triggerClick();
    pump();
    ASSERT_EQ (processor.abSlot.load(), 1);

    EXPECT_TRUE (editor->keyPressed (ctrl ('Z')));
    EXPECT_EQ (processor.abSlot.load(), 0);
    EXPECT_TRUE (editor->keyPressed (ctrl ('Z', juce::ModifierKeys::shiftModifier)));
    EXPECT_EQ (processor.abSlot.load(), 1);
    EXPECT_TRUE (editor->keyPressed (ctrl ('Z', juce::ModifierKeys::altModifier)));
    EXPECT_EQ (processor.abSlot.load(), 0);
    EXPECT_TRUE (editor->keyPressed (ctrl ('Y')));
    EXPECT_EQ (processor.abSlot.load(), 1);
    EXPECT_TRUE (editor->keyPressed (ctrl ('Z')));
    EXPECT_TRUE (editor->keyPressed (ctrl ('Y', juce::ModifierKeys::shiftModifier)));
    EXPECT_EQ (processor.abSlot.load(), 1);

    // Consumed even with nothing to redo; not consumed without Ctrl or for other keys.
    EXPECT_TRUE (editor->keyPressed (ctrl ('Y')));
    EXPECT_FALSE (editor->keyPressed (juce::KeyPress ('Z')));
    EXPECT_FALSE (editor->keyPressed (juce::KeyPress ('Z', juce::ModifierKeys::shiftModifier, 0)));
    EXPECT_FALSE (editor->keyPressed (ctrl ('X')));
    EXPECT_EQ (processor.abSlot.load(), 1);
}

TEST_F (EditorFixture, UserPresetLoadKeepsTheComboOnItAndDisablesUndo)
{
    ASSERT_TRUE (processor.userPresets.saveCurrentAs ("Mine"));
    Access::slotB (*editor).triggerClick();
    pump();
    Access::tick (*editor);
    ASSERT_TRUE (Access::undo (*editor).isEnabled());

    editor->refreshPresetCombo(); // as the panel's save callback does
    editor->loadUserPresetByName ("Mine");
    EXPECT_EQ (Access::presetBox (*editor).getSelectedId(), 1000);
    Access::tick (*editor);
    EXPECT_FALSE (Access::undo (*editor).isEnabled());
    EXPECT_EQ (processor.abSlot.load(), 1);
}
