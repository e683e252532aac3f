#include "BrowserStub.h"
#include "EditorTestSupport.h"

#include "editor/WebLauncher.h"
#include "processor/PluginIdentity.h"

using Access = EditorTestAccess;
using edtest::ScopedEnv;

namespace
{
const juce::Identifier updateDismissed { "updateDismissed" };
const juce::Identifier updateCheckOff { "updateCheckOff" };

// An editor whose update check simulates the given version; the first tick shows or not.
struct NoticeFixture : edtest::FreshPresetFile
{
    std::unique_ptr<VarnokCompAudioProcessorEditor> openEditor (const char* simulatedVersion)
    {
        const ScopedEnv version ("VARNOK_UPDATE_TEST", simulatedVersion);
        const ScopedEnv notes ("VARNOK_UPDATE_TEST_NOTES", "Faster meters");
        auto editor = std::make_unique<VarnokCompAudioProcessorEditor> (processor);
        Access::tick (*editor);
        return editor;
    }

    VarnokCompAudioProcessor processor;
};
} // namespace

TEST (UpdateNoticeDecisionTest, ShowsOnlyANewUndismissedUnclosedVersion)
{
    struct Row
    {
        bool available;
        const char* version;
        const char* dismissed;
        bool closed;
        bool show;
    };

    const Row rows[] = {
        { true, "1.0.3", "", false, true },      { true, "1.0.3", "1.0.3", false, false },
        { true, "1.0.3", "1.0.3 ", false, true }, { true, "1.0.3", "1.0.3.0", false, true },
        { true, "1.0.3", "", true, false },      { false, "1.0.3", "", false, false },
        { true, "", "", false, false },          { true, "1.0.3", "1.0.2", false, true },
    };

    for (const auto& r : rows)
        EXPECT_EQ (VarnokScaledEditor::shouldShowUpdateNotice (r.available, r.version, r.dismissed, r.closed), r.show)
            << r.version << " / '" << r.dismissed << "' closed " << r.closed;
}

TEST_F (NoticeFixture, NewerVersionBringsUpTheDialogOverTheWholeEditor)
{
    auto editor = openEditor ("1.0.3");
    auto* dialog = Access::updateDialog (*editor);
    ASSERT_NE (dialog, nullptr);
    EXPECT_EQ (dialog->getParentComponent(), editor.get()); // above the canvas, not on it
    EXPECT_EQ (dialog->getBounds(), editor->getLocalBounds());
    EXPECT_TRUE (dialog->isVisible());

    // Kept, not rebuilt, on later ticks; resizing keeps it covering the editor.
    Access::tick (*editor);
    EXPECT_EQ (Access::updateDialog (*editor), dialog);
    editor->setSize (1460, 620);
    EXPECT_EQ (dialog->getBounds(), juce::Rectangle<int> (0, 0, 1460, 620));

    // Switching the check off leaves a shown dialog in place.
    VarnokScaledEditor::toggleUpdateCheck (processor.apvts.state, VarnokScaledEditor::contextMenuItemId);
    Access::tick (*editor);
    EXPECT_EQ (Access::updateDialog (*editor), dialog);
}

TEST_F (NoticeFixture, NotNewerOrDismissedOrSwitchedOffShowsNothing)
{
    EXPECT_EQ (Access::updateDialog (*openEditor ("1.0.2")), nullptr);

    processor.apvts.state.setProperty (updateDismissed, "1.0.3", nullptr);
    EXPECT_EQ (Access::updateDialog (*openEditor ("1.0.3")), nullptr);
    EXPECT_NE (Access::updateDialog (*openEditor ("1.0.4")), nullptr);

    processor.apvts.state.setProperty (updateCheckOff, true, nullptr);
    EXPECT_EQ (Access::updateDialog (*openEditor ("1.0.4")), nullptr);
}

TEST_F (NoticeFixture, LaterClosesForThisEditorOnly)
{
    auto editor = openEditor ("1.0.3");
    ASSERT_NE (Access::updateDialog (*editor), nullptr);

    Access::updateDialog (*editor)->onLater();
    EXPECT_EQ (Access::updateDialog (*editor), nullptr);

    for (int i = 0; i < 3; ++i)
        Access::tick (*editor);
    EXPECT_EQ (Access::updateDialog (*editor), nullptr);
    EXPECT_FALSE (processor.apvts.state.hasProperty (updateDismissed));

    editor.reset();
    EXPECT_NE (Access::updateDialog (*openEditor ("1.0.3")), nullptr);
}

TEST_F (NoticeFixture, SkipStoresTheVersionInTheState)
{
    auto editor = openEditor ("1.0.3");
    ASSERT_NE (Access::updateDialog (*editor), nullptr);

    Access::updateDialog (*editor)->onSkipVersion();
    EXPECT_EQ (Access::updateDialog (*editor), nullptr);
    EXPECT_EQ (processor.apvts.state.getProperty (updateDismissed).toString(), "1.0.3");
    Access::tick (*editor);
    EXPECT_EQ (Access::updateDialog (*editor), nullptr);

    // Saved with the plug-in's state, and a later version shows again.
    juce::MemoryBlock state;
    processor.getStateInformation (state);
    const std::string bytes ((const char*) state.getData(), state.getSize());
    EXPECT_NE (bytes.find ("updateDismissed=\"1.0.3\""), std::string::npos);
    editor.reset();
    EXPECT_NE (Access::updateDialog (*openEditor ("1.0.4")), nullptr);
}

TEST_F (NoticeFixture, SkipAfterAHostStateLoadIsNotLost)
{
    auto editor = openEditor ("1.0.3");
    ASSERT_NE (Access::updateDialog (*editor), nullptr);

    // The host loads a project while the dialog is up: the processor's tree is replaced.
    juce::MemoryBlock saved;
    processor.getStateInformation (saved);
    processor.setStateInformation (saved.getData(), (int) saved.getSize());

    Access::updateDialog (*editor)->onSkipVersion();
    EXPECT_EQ (processor.apvts.state.getProperty (updateDismissed).toString(), "1.0.3");
    Access::tick (*editor);
    EXPECT_EQ (Access::updateDialog (*editor), nullptr);
}

TEST_F (NoticeFixture, UpdateOpensTheDownloadPageAndKeepsTheDialog)
{
    juce::StringArray opened;
    varnok::setWebPageOpener ([&opened] (const juce::URL& url)
                              {
                                  opened.add (url.toString (false));
                                  return true;
                              });

    auto editor = openEditor ("1.0.3");
    auto* dialog = Access::updateDialog (*editor);
    ASSERT_NE (dialog, nullptr);
    dialog->onUpdate();
    dialog->onUpdate();
    varnok::setWebPageOpener ({});

    ASSERT_EQ (opened.size(), 2);
    EXPECT_EQ (opened[0], juce::String (varnok::identity::shopPageUrl)); // test mode links the shop page
    EXPECT_EQ (Access::updateDialog (*editor), dialog);
}

TEST_F (NoticeFixture, UpdateButtonStartsTheBrowserOnTheResultsAddress)
{
    const edtest::BrowserStub browser;
    auto editor = openEditor ("1.0.3");
    auto* dialog = Access::updateDialog (*editor);
    ASSERT_NE (dialog, nullptr);

    juce::Button* update = nullptr;
    for (auto* child : dialog->getChildren())
        if (auto* button = dynamic_cast<juce::TextButton*> (child); button != nullptr && button->getButtonText().startsWith ("Update"))
            update = button;

    ASSERT_NE (update, nullptr);
    update->triggerClick();
    juce::MessageManager::getInstance()->runDispatchLoopUntil (50);

    ASSERT_TRUE (browser.waitFor ("call"));
    EXPECT_EQ (browser.arguments(), std::vector<std::string> { varnok::identity::shopPageUrl }); // test mode links the shop page
    EXPECT_EQ (Access::updateDialog (*editor), dialog);
}
