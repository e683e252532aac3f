#include "PanelTestFixture.h"

#include <algorithm>
#include <numeric>

namespace paneltest
{
namespace
{
const char* const expectedCategories[] = { "Default", "Vocal", "Drums", "Bass", "Guitar", "Keys", "Master", "My Presets" };
const char* const englishFailureTitle = "Could not save presets";
const char* const englishFailureMessage =
    "Writing to the file failed. Please check the free disk space and the write permission for the folder.";

void expectWarningBox (const juce::MessageBoxOptions& box, const juce::String& title, const juce::String& message)
{
    EXPECT_EQ (box.getIconType(), juce::MessageBoxIconType::WarningIcon);
    EXPECT_EQ (box.getTitle(), title);
    EXPECT_EQ (box.getMessage(), message);
    ASSERT_EQ (box.getNumButtons(), 1);
    EXPECT_EQ (box.getButtonText (0), "OK");
}
} // namespace

TEST_F (PanelTest, StartsHiddenAndOpensOnTheFirstCategoryWithEveryTab)
{
    EXPECT_FALSE (panel->isVisible());
    EXPECT_FALSE (nameField().isVisible());

    panel->open();

    EXPECT_TRUE (panel->isVisible());
    const auto allTabs = tabs();
    ASSERT_EQ (allTabs.size(), std::size (expectedCategories));

    for (size_t i = 0; i < allTabs.size(); ++i)
    {
        EXPECT_EQ (allTabs[i]->getButtonText(), expectedCategories[i]);
        EXPECT_EQ (allTabs[i]->getToggleState(), i == 0) << expectedCategories[i];
        EXPECT_FALSE (allTabs[i]->getClickingTogglesState());
    }

    EXPECT_EQ (cardTitles(), juce::StringArray ("Default"));
    EXPECT_TRUE (viewport().isVisible());
    EXPECT_FALSE (nameField().isVisible());
    EXPECT_FALSE (button ("save").isVisible());
    EXPECT_FALSE (button ("cancel").isVisible());
    EXPECT_EQ (viewport().getScrollBarThickness(), 10);
}

TEST_F (PanelTest, LaysOutBoxTabsViewportCardsAndNameEntryFromItsOwnSize)
{
    panel->open();
    selectTab ("Drums");

    EXPECT_EQ (button ("close").getBounds(), juce::Rectangle<int> (830, 42, 28, 28));

    const auto allTabs = tabs();
    ASSERT_EQ (allTabs.size(), 8u);

    for (int i = 0; i < 8; ++i)
        EXPECT_EQ (allTabs[(size_t) i]->getBounds(), juce::Rectangle<int> (50, 94 + 34 * i, 150, 30)) << i;

    EXPECT_EQ (viewport().getBounds(), juce::Rectangle<int> (213, 94, 637, 356));

    const auto drumCards = cards();
    ASSERT_EQ (drumCards.size(), 3u);
    EXPECT_EQ (drumCards[0]->getBounds(), juce::Rectangle<int> (0, 0, 201, 86));
    EXPECT_EQ (drumCards[1]->getBounds(), juce::Rectangle<int> (211, 0, 201, 86));
    EXPECT_EQ (drumCards[2]->getBounds(), juce::Rectangle<int> (422, 0, 201, 86));
    EXPECT_EQ (viewport().getViewedComponent()->getWidth(), 625);
    EXPECT_EQ (viewport().getViewedComponent()->getHeight(), 356);

    selectTab ("My Presets");
    tapCard (*cards().back());

    EXPECT_EQ (nameField().getBounds(), juce::Rectangle<int> (232, 232, 330, 36));
    EXPECT_EQ (button ("save").getBounds(), juce::Rectangle<int> (566, 232, 62, 36));
    EXPECT_EQ (button ("cancel").getBounds(), juce::Rectangle<int> (632, 232, 36, 36));

    // A resize while the panel is open lays everything out again, centred on the new size.
    setEditorSize (1000, 600);
    EXPECT_EQ (nameField().getBounds(), juce::Rectangle<int> (282, 282, 330, 36));
    EXPECT_EQ (button ("close").getBounds(), juce::Rectangle<int> (930, 42, 28, 28));
}

// At half the design size the tab height formula gives 17 and the floor of 18 holds, so the
// tabs run past the content area; a tall panel caps them at 30.
TEST_F (PanelTest, TabHeightStaysWithin18And30)
{
    struct Case { int width, height, tabHeight; juce::Point<int> firstTab; juce::Rectangle<int> close; };
    const Case cases[] = {
        { 730, 310, 18, { 50, 94 }, { 660, 42, 28, 28 } },
        { 900, 500, 30, { 50, 94 }, { 830, 42, 28, 28 } },
        { 1460, 900, 30, { 280, 214 }, { 1160, 162, 28, 28 } },
    };

    for (const auto& c : cases)
    {
        setEditorSize (c.width, c.height);
        panel->open();
        const auto allTabs = tabs();
        ASSERT_EQ (allTabs.size(), 8u);
        const auto pitch = c.tabHeight + 4;

        for (int i = 0; i < 8; ++i)
            EXPECT_EQ (allTabs[(size_t) i]->getBounds(),
                       juce::Rectangle<int> (c.firstTab.x, c.firstTab.y + pitch * i, 150, c.tabHeight))
                << c.width << "x" << c.height << " tab " << i;

        EXPECT_EQ (button ("close").getBounds(), c.close) << c.width << "x" << c.height;
    }

    setEditorSize (730, 310);
    panel->open();
    EXPECT_EQ (tabs().back()->getBottom(), 266);
}

TEST_F (PanelTest, UserCardsFillRowsOfThreeWithTheSaveCardLast)
{
    panel->open();
    selectTab ("My Presets");
    EXPECT_EQ (cardTitles(), juce::StringArray ("+ Save Current"));
    EXPECT_EQ (viewport().getViewedComponent()->getHeight(), viewport().getHeight());

    addUserPresets (7);
    selectTab ("My Presets");

    const auto all = cards();
    ASSERT_EQ (all.size(), 8u);
    EXPECT_EQ (all.back()->getName(), "+ Save Current");

    for (size_t i = 0; i < all.size(); ++i)
        EXPECT_EQ (all[i]->getPosition(), juce::Point<int> (211 * (int) (i % 3), 96 * (int) (i / 3))) << i;

    EXPECT_EQ (all.back()->getPosition(), juce::Point<int> (211, 192));
    // Three rows (288) are shorter than the viewport: the holder is never shorter than it.
    EXPECT_EQ (viewport().getViewedComponent()->getHeight(), 356);

    addUserPresets (7, "More ");
    selectTab ("My Presets");
    ASSERT_EQ (cards().size(), 15u);
    EXPECT_EQ (viewport().getViewedComponent()->getHeight(), 5 * 96);
}

// Clicking the tab that is already selected rebuilds its cards and scrolls back to the top.
TEST_F (PanelTest, ReselectingATabRebuildsAndScrollsToTheTop)
{
    addUserPresets (14);
    panel->open();
    selectTab ("My Presets");

    viewport().setViewPosition (0, 100);
    ASSERT_EQ (viewport().getViewPositionY(), 100);
    const auto before = cards().front();

    selectTab ("My Presets");
    EXPECT_EQ (viewport().getViewPositionY(), 0);
    EXPECT_NE (cards().front(), before);
    EXPECT_EQ (cards().size(), 15u);
}

// Every factory card reports its program's index in the whole table, not within its category,
// then the panel hides itself and tells its owner.
TEST_F (PanelTest, FactoryCardsReportTheirIndexInTheWholeTable)
{
    putOnDesktop();
    const auto& table = varnok::getFactoryPresets();
    std::vector<int> seen;

    for (int category = 0; category < 7; ++category)
    {
        panel->open();
        selectTab (expectedCategories[category]);
        const auto titles = cardTitles();
        ASSERT_FALSE (titles.isEmpty()) << expectedCategories[category];

        for (const auto& title : titles)
        {
            panel->open();
            auto* c = card (title);
            ASSERT_NE (c, nullptr) << title;
            const auto closesBefore = closeCount;
            factoryChoices.clear();

            clickAt (inEditor (*c, c->getLocalBounds().getCentre()));

            ASSERT_EQ (factoryChoices.size(), 1u) << title;
            const auto k = factoryChoices.front();
            ASSERT_TRUE (juce::isPositiveAndBelow (k, (int) table.size()));
            EXPECT_EQ (utf8 (table[(size_t) k].name), title);
            EXPECT_EQ (utf8 (table[(size_t) k].category), expectedCategories[category]);
            EXPECT_FALSE (panel->isVisible()) << title;
            EXPECT_EQ (closeCount, closesBefore + 1);
            seen.push_back (k);
        }
    }

    std::sort (seen.begin(), seen.end());
    std::vector<int> all (table.size());
    std::iota (all.begin(), all.end(), 0);
    EXPECT_EQ (seen, all);

    // The category is kept across openings.
    panel->open();
    EXPECT_TRUE (tab ("Master").getToggleState());
    EXPECT_EQ (cardTitles(), juce::StringArray ("Master Glue", "Gentle Glue"));
}

TEST_F (PanelTest, VocalSmoothPassesOne)
{
    panel->open();
    selectTab ("Vocal");
    auto* c = card ("Vocal Smooth");
    ASSERT_NE (c, nullptr);
    putOnDesktop();
    clickAt (inEditor (*c, { 40, 60 }));
    EXPECT_EQ (factoryChoices, std::vector<int> { 1 });
}

TEST_F (PanelTest, UserCardClickReportsItsNameAndCloses)
{
    addUserPresets (3);
    putOnDesktop();
    panel->open();
    selectTab ("My Presets");

    auto* c = card ("User 2");
    ASSERT_NE (c, nullptr);
    // Anywhere but the delete zone, with any button.
    clickAt (inEditor (*c, { 30, 60 }), {}, juce::ModifierKeys::rightButtonModifier);

    EXPECT_EQ (userChoices, juce::StringArray ("User 2"));
    EXPECT_FALSE (panel->isVisible());
    EXPECT_EQ (closeCount, 1);
    EXPECT_EQ (processor->userPresets.getPresetNames().size(), 3);
}

// The cross deletes later, from the message loop: the card whose callback asked for it must
// outlive its own mouse event.
TEST_F (PanelTest, DeleteRunsAfterTheClickAndRebuildsTheCards)
{
    addUserPresets (3);
    putOnDesktop();
    panel->open();
    selectTab ("My Presets");

    auto* c = card ("User 2");
    ASSERT_NE (c, nullptr);
    moveMouse (deleteCrossOf (*c));
    mouseEvent (deleteCrossOf (*c), juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier));
    mouseEvent (deleteCrossOf (*c), {});

    EXPECT_EQ (processor->userPresets.getPresetNames(), juce::StringArray ("User 1", "User 2", "User 3"));
    EXPECT_EQ (card ("User 2"), c);
    EXPECT_EQ (presetsChangedCount, 0);

    pump();

    EXPECT_EQ (processor->userPresets.getPresetNames(), juce::StringArray ("User 1", "User 3"));
    EXPECT_EQ (namesInFile(), juce::StringArray ("User 1", "User 3"));
    EXPECT_EQ (cardTitles(), juce::StringArray ("User 1", "User 3", "+ Save Current"));
    EXPECT_EQ (presetsChangedCount, 1);
    EXPECT_TRUE (panel->isVisible());
    EXPECT_TRUE (tab ("My Presets").getToggleState());
    EXPECT_TRUE (userChoices.isEmpty());
    EXPECT_EQ (closeCount, 0);
    EXPECT_TRUE (warningBoxes.empty());
}

TEST_F (PanelTest, DeletePostedByAPanelDestroyedBeforeItRunsDoesNothing)
{
    addUserPresets (2);
    putOnDesktop();
    panel->open();
    selectTab ("My Presets");
    clickAt (deleteCrossOf (*card ("User 1")));
    // clickAt pumps: the first deletion has run. Post a second one and destroy the panel first.
    ASSERT_EQ (processor->userPresets.getPresetNames(), juce::StringArray ("User 2"));

    auto* c = card ("User 2");
    ASSERT_NE (c, nullptr);
    moveMouse (deleteCrossOf (*c));
    mouseEvent (deleteCrossOf (*c), juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier));
    mouseEvent (deleteCrossOf (*c), {});
    panel.reset();
    pump();

    EXPECT_EQ (processor->userPresets.getPresetNames(), juce::StringArray ("User 2"));
    EXPECT_EQ (namesInFile(), juce::StringArray ("User 2"));
}

// A hidden panel still runs a deletion that was already posted.
TEST_F (PanelTest, DeletePostedBeforeClosingStillRuns)
{
    addUserPresets (2);
    putOnDesktop();
    panel->open();
    selectTab ("My Presets");

    auto* c = card ("User 1");
    moveMouse (deleteCrossOf (*c));
    mouseEvent (deleteCrossOf (*c), juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier));
    mouseEvent (deleteCrossOf (*c), {});
    // A click on the backdrop hides the panel at once, before the posted deletion runs.
    moveMouse ({ 10, 10 });
    mouseEvent ({ 10, 10 }, juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier));
    mouseEvent ({ 10, 10 }, {});
    ASSERT_FALSE (panel->isVisible());
    ASSERT_EQ (processor->userPresets.getPresetNames().size(), 2);
    pump();

    EXPECT_EQ (closeCount, 1);
    EXPECT_EQ (processor->userPresets.getPresetNames(), juce::StringArray ("User 2"));
    EXPECT_EQ (presetsChangedCount, 1);
}

// A second click on the cross before the first deletion ran finds the preset already gone. Nothing
// failed to be written, so no "Could not save presets" box may claim otherwise.
TEST_F (PanelTest, ASecondClickOnTheCrossReportsNoFailure)
{
    addUserPresets (2);
    putOnDesktop();
    panel->open();
    selectTab ("My Presets");

    auto* c = card ("User 1");
    const auto cross = deleteCrossOf (*c);
    moveMouse (cross);

    for (int i = 0; i < 2; ++i)
    {
        mouseEvent (cross, juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier));
        mouseEvent (cross, {});
    }

    pump();

    EXPECT_EQ (processor->userPresets.getPresetNames(), juce::StringArray ("User 2"));
    EXPECT_TRUE (warningBoxes.empty());
    EXPECT_EQ (presetsChangedCount, 2);
    EXPECT_EQ (cardTitles(), juce::StringArray ("User 2", "+ Save Current"));
}

// The cross needs press and release on it. Dragging off a tile, even out past its top-right
// corner, never deletes (the release still counts as a click on the tile).
TEST_F (PanelTest, OnlyAPressAndReleaseOnTheCrossDeletes)
{
    addUserPresets (1);
    putOnDesktop();

    struct Case { const char* name; juce::Point<int> press, release; bool deletes; bool clicks; };
    panel->open();
    selectTab ("My Presets");
    auto* c = card ("User 1");
    const auto w = c->getWidth();
    const Case cases[] = {
        { "body to beyond the top-right corner", { 40, 60 }, { w + 20, -10 }, false, true },
        { "body onto the cross", { 40, 60 }, { w - 17, 17 }, false, true },
        { "cross to beyond the top-right corner", { w - 17, 17 }, { w + 20, -10 }, false, true },
        { "cross to the body", { w - 17, 17 }, { 40, 60 }, false, true },
        { "cross to the cross", { w - 17, 17 }, { w - 10, 10 }, true, false },
    };

    for (const auto& t : cases)
    {
        panel->open();
        selectTab ("My Presets");
        c = card ("User 1");
        ASSERT_NE (c, nullptr) << t.name;
        userChoices.clear();

        clickAt (inEditor (*c, t.press), inEditor (*c, t.release));

        EXPECT_EQ (processor->userPresets.getPresetNames().isEmpty(), t.deletes) << t.name;
        EXPECT_EQ (userChoices.size(), t.clicks ? 1 : 0) << t.name;
    }
}

TEST_F (PanelTest, AFailedDeleteShowsTheWarningBox)
{
    addUserPresets (2);
    makePresetWritesFail();
    putOnDesktop();
    panel->open();
    selectTab ("My Presets");

    clickAt (deleteCrossOf (*card ("User 1")));
    pump();

    ASSERT_EQ (warningBoxes.size(), 1u);
    expectWarningBox (warningBoxes.front(), englishFailureTitle, englishFailureMessage);
    EXPECT_EQ (presetsChangedCount, 1);
    EXPECT_TRUE (panel->isVisible());
    // The cards show what the store now lists.
    EXPECT_EQ (cardTitles(), juce::StringArray (processor->userPresets.getPresetNames()[0], "+ Save Current"));
}

TEST_F (PanelTest, SavingATypedNameTrimsItWritesTheFileAndReturnsToMyPresets)
{
    addUserPresets (1);
    panel->open();
    selectTab ("My Presets");
    auto* threshold = processor->apvts.getParameter ("thresh");
    const auto lowestThreshold = threshold->convertFrom0to1 (0.0f);
    threshold->setValueNotifyingHost (0.0f);

    struct Case { const char* name; bool useReturnKey; const char* typed; const char* stored; };
    const Case cases[] = {
        { "Return key", true, "  Lead Vox  ", "Lead Vox" },
        { "save button", false, "\tBass DI ", "Bass DI" },
    };

    juce::StringArray expected ("User 1");

    for (const auto& c : cases)
    {
        const auto callbacksBefore = presetsChangedCount;
        tapCard (*cards().back());

        ASSERT_TRUE (nameField().isVisible()) << c.name;
        EXPECT_TRUE (button ("save").isVisible());
        EXPECT_TRUE (button ("cancel").isVisible());
        EXPECT_FALSE (viewport().isVisible());

        for (auto* t : tabs())
            EXPECT_FALSE (t->isVisible());

        EXPECT_EQ (button ("save").getButtonText(), "Save");
        EXPECT_EQ (nameField().getTextToShowWhenEmpty(), "Enter preset name");
        EXPECT_TRUE (nameField().getText().isEmpty());

        nameField().setText (c.typed);

        if (c.useReturnKey)
            EXPECT_TRUE (nameField().keyPressed (juce::KeyPress (juce::KeyPress::returnKey)));
        else
            clickButton ("save");

        pump();
        expected.add (c.stored);

        EXPECT_EQ (processor->userPresets.getPresetNames(), expected) << c.name;
        EXPECT_EQ (namesInFile(), expected) << c.name;
        EXPECT_EQ (presetsChangedCount, callbacksBefore + 1) << c.name;
        EXPECT_FALSE (nameField().isVisible());
        EXPECT_TRUE (viewport().isVisible());
        EXPECT_TRUE (tab ("My Presets").isVisible());
        EXPECT_TRUE (tab ("My Presets").getToggleState());
        EXPECT_EQ (cardTitles(), withSaveCard (expected));
    }

    // What was saved is the live parameter state.
    const auto stored = processor->userPresets.getTree().getChild (1).getChild (0);
    bool sawThreshold = false;

    for (const auto& param : stored)
        if (param["id"].toString() == "thresh")
            sawThreshold = juce::approximatelyEqual ((float) param["value"], lowestThreshold);

    EXPECT_TRUE (sawThreshold);
    EXPECT_TRUE (warningBoxes.empty());
    EXPECT_TRUE (panel->isVisible());
}

// Names are kept as typed apart from the trimming: markup characters and other scripts survive the
// file and come back in a new processor's store.
TEST_F (PanelTest, UnusualNamesRoundTripThroughTheFile)
{
    const auto typed = utf8 ("<Lead> & \"Vox\" '1' ボーカル ü");
    panel->open();
    selectTab ("My Presets");
    tapCard (*cards().back());
    nameField().setText (typed);
    nameField().keyPressed (juce::KeyPress (juce::KeyPress::returnKey));
    pump();

    EXPECT_EQ (cardTitles(), juce::StringArray (typed, "+ Save Current"));
    VarnokCompAudioProcessor second;
    EXPECT_EQ (second.userPresets.getPresetNames(), juce::StringArray (typed));
}

TEST_F (PanelTest, ABlankNameSavesNothingAndReturnsToTheBrowser)
{
    panel->open();
    selectTab ("My Presets");

    for (const auto* typed : { "", "   ", " \t " })
    {
        tapCard (*cards().back());
        ASSERT_TRUE (nameField().isVisible());
        nameField().setText (typed);
        nameField().keyPressed (juce::KeyPress (juce::KeyPress::returnKey));
        pump();

        EXPECT_FALSE (nameField().isVisible()) << '"' << typed << '"';
        EXPECT_TRUE (viewport().isVisible());
    }

    EXPECT_TRUE (processor->userPresets.getPresetNames().isEmpty());
    EXPECT_FALSE (presetFile.exists());
    EXPECT_EQ (presetsChangedCount, 0);
    EXPECT_TRUE (warningBoxes.empty());
    EXPECT_EQ (cardTitles(), juce::StringArray ("+ Save Current"));
}

TEST_F (PanelTest, AFailedSaveShowsTheWarningBoxCallsBackAndStaysInMyPresets)
{
    makePresetWritesFail();
    panel->open();
    selectTab ("My Presets");
    tapCard (*cards().back());
    nameField().setText ("Lost");
    clickButton ("save");

    ASSERT_EQ (warningBoxes.size(), 1u);
    expectWarningBox (warningBoxes.front(), englishFailureTitle, englishFailureMessage);
    EXPECT_EQ (presetsChangedCount, 1);
    EXPECT_TRUE (panel->isVisible());
    EXPECT_TRUE (tab ("My Presets").getToggleState());
    EXPECT_TRUE (viewport().isVisible());
    EXPECT_FALSE (presetFile.exists());
    // The cards show what the store lists, the unsaved preset included.
    EXPECT_EQ (cardTitles(), withSaveCard (processor->userPresets.getPresetNames()));
}

// Escape and the cancel button leave name entry without saving and without rebuilding the
// cards, so the scroll position stays.
TEST_F (PanelTest, CancellingNameEntryKeepsTheCardsAndTheirScrollPosition)
{
    addUserPresets (14);
    panel->open();
    selectTab ("My Presets");

    for (const auto* how : { "escape", "cancel button" })
    {
        viewport().setViewPosition (0, 90);
        const auto before = cards();
        tapCard (*before.back());
        ASSERT_TRUE (nameField().isVisible());
        nameField().setText ("Not saved");

        if (juce::String (how) == "escape")
            EXPECT_TRUE (nameField().keyPressed (juce::KeyPress (juce::KeyPress::escapeKey)));
        else
            clickButton ("cancel");

        pump();

        EXPECT_FALSE (nameField().isVisible()) << how;
        EXPECT_FALSE (button ("save").isVisible());
        EXPECT_TRUE (viewport().isVisible());
        EXPECT_TRUE (tab ("Default").isVisible());
        EXPECT_EQ (cards(), before) << how;
        EXPECT_EQ (viewport().getViewPositionY(), 90) << how;
    }

    EXPECT_EQ (processor->userPresets.getPresetNames().size(), 14);
    EXPECT_EQ (presetsChangedCount, 0);
}

// Clicks that no child takes close the panel unless they land in the box: its left and top edge
// lines count as inside, its right and bottom edge lines as outside.
TEST_F (PanelTest, ClicksOutsideTheBoxCloseIt)
{
    putOnDesktop();

    struct Case { const char* name; juce::Point<int> where; juce::ModifierKeys::Flags button; bool closes; };
    const Case cases[] = {
        { "backdrop", { 10, 10 }, juce::ModifierKeys::leftButtonModifier, true },
        { "backdrop, right button", { 880, 480 }, juce::ModifierKeys::rightButtonModifier, true },
        { "right edge line", { 870, 250 }, juce::ModifierKeys::leftButtonModifier, true },
        { "bottom edge line", { 450, 470 }, juce::ModifierKeys::leftButtonModifier, true },
        { "left edge line", { 30, 250 }, juce::ModifierKeys::leftButtonModifier, false },
        { "top edge line", { 450, 30 }, juce::ModifierKeys::leftButtonModifier, false },
        { "last pixel inside", { 869, 469 }, juce::ModifierKeys::leftButtonModifier, false },
        { "bare part of the box", { 40, 300 }, juce::ModifierKeys::leftButtonModifier, false },
        { "title row", { 400, 60 }, juce::ModifierKeys::leftButtonModifier, false },
    };

    for (const auto& c : cases)
    {
        panel->open();
        const auto closesBefore = closeCount;
        clickAt (c.where, {}, c.button);
        EXPECT_EQ (! panel->isVisible(), c.closes) << c.name;
        EXPECT_EQ (closeCount - closesBefore, c.closes ? 1 : 0) << c.name;
    }

    panel->open();
    clickButton ("close");
    EXPECT_FALSE (panel->isVisible());
}

// Closing during name entry leaves it pending; the next opening starts in the browser again.
TEST_F (PanelTest, OpeningAgainLeavesUnfinishedNameEntry)
{
    putOnDesktop();
    panel->open();
    selectTab ("My Presets");
    clickAt (inEditor (*cards().back(), { 40, 50 }));
    ASSERT_TRUE (nameField().isVisible());

    clickAt ({ 10, 10 });
    ASSERT_FALSE (panel->isVisible());
    EXPECT_EQ (closeCount, 1);

    panel->open();
    EXPECT_FALSE (nameField().isVisible());
    EXPECT_FALSE (button ("save").isVisible());
    EXPECT_TRUE (viewport().isVisible());
    EXPECT_TRUE (tab ("My Presets").getToggleState());
    EXPECT_EQ (cardTitles(), juce::StringArray ("+ Save Current"));
    EXPECT_TRUE (processor->userPresets.getPresetNames().isEmpty());

    // The close button also works in name entry.
    clickAt (inEditor (*cards().back(), { 40, 50 }));
    ASSERT_TRUE (nameField().isVisible());
    clickButton ("close");
    EXPECT_FALSE (panel->isVisible());
    EXPECT_EQ (closeCount, 2);
}

// The flag is read when the panel opens: 0 gives the Japanese texts; "My Presets", the category
// names and the "X" buttons have one text only.
TEST_F (PanelTest, LanguageFlagSelectsTheTexts)
{
    makePresetWritesFail();

    struct Case { std::int32_t flag; const char* saveCard; const char* save; const char* prompt; const char* title; const char* message; };
    const Case cases[] = {
        { 0, "＋ 現在を保存", "保存", "プリセット名を入力", "プリセットを保存できませんでした",
          "ファイルに書き込めませんでした。保存先の空き容量と、フォルダへの書き込み権限を確認してください。" },
        { 1, "+ Save Current", "Save", "Enter preset name", englishFailureTitle, englishFailureMessage },
        { 7, "+ Save Current", "Save", "Enter preset name", englishFailureTitle, englishFailureMessage },
    };

    for (const auto& c : cases)
    {
        panel->english = c.flag;
        panel->open();
        selectTab ("My Presets");

        for (size_t i = 0; i < std::size (expectedCategories); ++i)
            EXPECT_EQ (tabs()[i]->getButtonText(), expectedCategories[i]);

        EXPECT_EQ (button ("close").getButtonText(), "X");
        EXPECT_EQ (button ("cancel").getButtonText(), "X");
        EXPECT_EQ (cardTitles(), juce::StringArray (utf8 (c.saveCard))) << c.flag;

        tapCard (*cards().back());
        EXPECT_EQ (button ("save").getButtonText(), utf8 (c.save)) << c.flag;
        EXPECT_EQ (nameField().getTextToShowWhenEmpty(), utf8 (c.prompt)) << c.flag;

        warningBoxes.clear();
        nameField().setText ("Any");
        nameField().keyPressed (juce::KeyPress (juce::KeyPress::returnKey));
        pump();

        ASSERT_EQ (warningBoxes.size(), 1u) << c.flag;
        expectWarningBox (warningBoxes.front(), utf8 (c.title), utf8 (c.message));

        // A failed delete uses the same box.
        warningBoxes.clear();
        putOnDesktop();
        clickAt (deleteCrossOf (*card ("Any")));
        pump();
        ASSERT_EQ (warningBoxes.size(), 1u) << c.flag;
        expectWarningBox (warningBoxes.front(), utf8 (c.title), utf8 (c.message));
        parent.removeFromDesktop();
    }
}

// Without a replacement a failed write goes to the platform's message box; on Linux JUCE shows
// it as its own modal alert window.
TEST_F (PanelTest, ByDefaultAFailedWriteOpensThePlatformMessageBox)
{
    auto* modalManager = juce::ModalComponentManager::getInstance();
    ASSERT_EQ (modalManager->getNumModalComponents(), 0);
    makePresetWritesFail();

    PresetPanel realPanel (processor->userPresets);
    parent.addChildComponent (realPanel);
    realPanel.setBounds (parent.getLocalBounds());
    realPanel.open();
    auto* myPresets = dynamic_cast<juce::TextButton*> (realPanel.getChildren().getLast());
    ASSERT_NE (myPresets, nullptr);
    ASSERT_EQ (myPresets->getName(), "My Presets");
    myPresets->triggerClick();
    pump (20);

    auto* holder = dynamic_cast<juce::Viewport*> (realPanel.findChildWithID ("cards"))->getViewedComponent();
    tapCard (*holder->getChildren().getLast());
    auto* field = dynamic_cast<juce::TextEditor*> (realPanel.findChildWithID ("name"));
    field->setText ("Lost");
    field->keyPressed (juce::KeyPress (juce::KeyPress::returnKey));
    pump();

    ASSERT_EQ (modalManager->getNumModalComponents(), 1);
    auto* alert = dynamic_cast<juce::AlertWindow*> (modalManager->getModalComponent (0));
    ASSERT_NE (alert, nullptr);
    EXPECT_EQ (alert->getName(), englishFailureTitle);
    EXPECT_EQ (alert->getNumButtons(), 1);

    alert->exitModalState (0);
    pump();
    EXPECT_EQ (modalManager->getNumModalComponents(), 0);
    parent.removeChildComponent (&realPanel);
}
} // namespace paneltest
