#include "PresetPanel.h"

#include "editor/BilingualText.h"
#include "processor/presets/FactoryPresets.h"
#include "processor/presets/UserPresetStore.h"

#include <iterator>

namespace
{
const BilingualText titleText { "プリセット", "Presets" };
const BilingualText saveCardText { "＋ 現在を保存", "+ Save Current" };
const BilingualText saveButtonText { "保存", "Save" };
const BilingualText promptText { "プリセット名を入力", "Enter preset name" };
const BilingualText saveFailedTitle { "プリセットを保存できませんでした", "Could not save presets" };
const BilingualText saveFailedMessage {
    "ファイルに書き込めませんでした。保存先の空き容量と、フォルダへの書き込み権限を確認してください。",
    "Writing to the file failed. Please check the free disk space and the write permission for the folder."
};

const char* const myPresetsCategory = "My Presets";

constexpr int scrollBarThickness = 10;
constexpr int titleRowHeight = 44;
constexpr int tabColumnWidth = 150;
constexpr int tabGap = 13;
constexpr int tabSpacing = 4;
constexpr int cardHeight = 86;
constexpr int cardRowPitch = 96;
constexpr int cardGutter = 10;
constexpr int cardColumns = 3;
constexpr int deleteZoneSize = 34;

const juce::Colour backdropColour { 0x9e000000 };
const juce::Colour boxColour { 0xff141a24 };
const juce::Colour boxOutlineColour { 0xff2f3742 };
const juce::Colour separatorColour { 0xff232c38 };
const juce::Colour nameEntryStripColour { 0xf0141a24 };
const juce::Colour captionGrey { 0xff7f8a9c };
const juce::Colour userCardAccent { 0xff8fa0b8 };
const juce::Colour deleteHoverColour { 0xffe0565f };

const juce::uint32 cardPalette[] = { 0xff9aa6b8, 0xffe9608e, 0xffe0a13a, 0xffc069e0, 0xff8b7bf0, 0xff4fbf6b,
                                     0xff4a90e2, 0xffa9cf4a, 0xff45c0b0, 0xff33c1c9, 0xffe0565f };

juce::Colour categoryColour (int index)
{
    constexpr int size = (int) std::size (cardPalette);
    return juce::Colour (cardPalette[((index % size) + size) % size]);
}

juce::String pick (const BilingualText& text, int englishFlag)
{
    const auto* chosen = englishFlag != 0 ? text.english : text.japanese;
    return chosen != nullptr ? juce::String::fromUTF8 (chosen) : juce::String();
}

juce::MessageBoxOptions makePresetSaveFailedOptions (int englishFlag)
{
    return juce::MessageBoxOptions::makeOptionsOk (juce::MessageBoxIconType::WarningIcon,
                                                   pick (saveFailedTitle, englishFlag),
                                                   pick (saveFailedMessage, englishFlag),
                                                   {});
}
} // namespace

//==============================================================================
// One tile of the grid: a factory program, a user preset (with a delete zone), or "+ Save Current".
class PresetPanel::Card : public juce::Component
{
public:
    Card() = default;

    juce::String title;
    juce::Colour accent { 0x00000000 };
    bool deletable = false;
    bool isSaveCard = false;
    std::function<void()> onClick;
    std::function<void()> onDelete;
    bool hovered = false;
    bool deleteHovered = false;

    void mouseMove (const juce::MouseEvent& e) override
    {
        const auto nowOverDelete = isInDeleteZone (e.getPosition());

        if (nowOverDelete != deleteHovered)
        {
            deleteHovered = nowOverDelete;
            repaint();
        }
    }

    void mouseEnter (const juce::MouseEvent&) override
    {
        hovered = true;
        repaint();
    }

    void mouseExit (const juce::MouseEvent&) override
    {
        hovered = false;
        deleteHovered = false;
        repaint();
    }

    void mouseUp (const juce::MouseEvent& e) override
    {
        // A press released elsewhere still counts as a click on the tile, but deleting (which
        // asks nothing) needs both press and release on the cross: dragging away from a tile must
        // never throw a preset away.
        const auto release = e.getPosition();
        const auto deleting = isInDeleteZone (release) && getLocalBounds().contains (release)
                              && isInDeleteZone (e.getMouseDownPosition());

        if (deleting)
        {
            if (onDelete)
                onDelete();
        }
        else if (onClick)
        {
            onClick();
        }
    }

    void paint (juce::Graphics& g) override
    {
        const auto w = getWidth();
        const auto h = getHeight();
        const auto w8 = (float) juce::jmax (w - 8, 0);
        const auto h8 = (float) juce::jmax (h - 8, 0);

        auto body = juce::Colour (isSaveCard ? 0xff1c2431 : 0xff232a38);

        if (hovered)
            body = body.brighter (0.1f);

        g.setColour (body);
        g.fillRoundedRectangle (4.0f, 4.0f, w8, h8, 8.0f);

        if (isSaveCard)
        {
            g.setColour (captionGrey);
            g.drawRoundedRectangle (4.5f, 4.5f, juce::jmax (w8 - 1.0f, 0.0f), juce::jmax (h8 - 1.0f, 0.0f), 8.0f, 1.0f);
        }
        else
        {
            g.setColour (accent);
            g.fillRoundedRectangle (4.0f, 4.0f, w8, 4.0f, 2.0f);
            g.fillEllipse (14.0f, 20.0f, 12.0f, 12.0f);
        }

        g.setColour (isSaveCard ? juce::Colour (0xd9ffffff) : juce::Colours::white);
        g.setFont (juce::FontOptions (13.0f, juce::Font::bold));
        g.drawText (title,
                    juce::Rectangle<float> (10.0f, 8.0f, (float) juce::jmax (w - 20, 0), (float) juce::jmax (h - 16, 0)),
                    juce::Justification::centredBottom, true);

        if (deletable)
            paintDeleteZone (g);
    }

private:
    bool isInDeleteZone (juce::Point<int> p) const
    {
        return deletable && p.x > getWidth() - deleteZoneSize && p.y < deleteZoneSize;
    }

    void paintDeleteZone (juce::Graphics& g)
    {
        const auto zw = juce::jmin (getWidth(), deleteZoneSize);
        const auto zh = juce::jmin (getHeight(), deleteZoneSize);
        const auto zx = (float) (getWidth() - zw);
        const auto crossW = (float) juce::jmax (zw - 24, 0);
        const auto crossH = (float) juce::jmax (zh - 24, 0);

        if (deleteHovered)
        {
            g.setColour (deleteHoverColour);
            g.fillEllipse (zx + 6.0f, 6.0f, (float) juce::jmax (zw - 12, 0), (float) juce::jmax (zh - 12, 0));
        }

        g.setColour (deleteHovered ? juce::Colours::white : juce::Colour (0x8cffffff));
        g.drawLine (zx + 12.0f, 12.0f, zx + 12.0f + crossW, 12.0f + crossH, 2.0f);
        g.drawLine (zx + 12.0f, 12.0f + crossH, zx + 12.0f + crossW, 12.0f, 2.0f);
    }

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Card)
};

//==============================================================================
PresetPanel::PresetPanel (UserPresetStore& userPresetStore)
    : store (userPresetStore),
      presentWarningBox ([] (const juce::MessageBoxOptions& options)
                         {
                             // An empty function, not a null Callback*: with modal loops permitted,
                             // JUCE runs a box without a callback object as a blocking modal loop.
                             juce::NativeMessageBox::showAsync (options, std::function<void (int)>());
                         })
{
    closeButton.setComponentID ("close");
    closeButton.onClick = [this] { handlePanelCloseClick(); };
    addAndMakeVisible (closeButton);

    cardViewport.setComponentID ("cards");
    cardViewport.setViewedComponent (&cardHolder, false);
    cardViewport.setScrollBarsShown (true, false, false, false);
    cardViewport.setScrollBarThickness (scrollBarThickness);
    addAndMakeVisible (cardViewport);

    nameEditor.setComponentID ("name");
    nameEditor.setMultiLine (false);
    nameEditor.setJustification (juce::Justification::centredLeft);
    nameEditor.setColour (juce::TextEditor::backgroundColourId, juce::Colour (0xff0f141c));
    nameEditor.setColour (juce::TextEditor::textColourId, juce::Colours::white);
    nameEditor.setColour (juce::TextEditor::outlineColourId, juce::Colour (0xff2f3742));
    nameEditor.setColour (juce::TextEditor::focusedOutlineColourId, juce::Colour (0xff4a90e2));

    nameEditor.onReturnKey = [this] { handleNameReturnKey(); };
    nameEditor.onEscapeKey = [this] { handleNameEscapeKey(); };
    saveButton.setComponentID ("save");
    saveButton.onClick = [this] { handleNameSaveClick(); };
    cancelButton.setComponentID ("cancel");
    cancelButton.onClick = [this] { handleNameCancelClick(); };

    addChildComponent (nameEditor);
    addChildComponent (saveButton);
    addChildComponent (cancelButton);

    setVisible (false);
}

PresetPanel::~PresetPanel() = default;

//==============================================================================
void PresetPanel::open()
{
    nameEntryActive = false;
    setNameEntryWidgetsVisible (false);

    buildCategoryTabs();

    if (! juce::isPositiveAndBelow (selectedCategory, categories.size()))
        selectedCategory = 0;

    setBrowserVisible (true);
    showCategory (selectedCategory);

    setVisible (true);
    toFront (true);
    resized();
}

void PresetPanel::handlePanelCloseClick() { hideAndNotifyClose(); }
void PresetPanel::handleCategoryTabClick (int index) { selectCategory (index); }
void PresetPanel::handleSaveCardClick() { beginNameEntry(); }
void PresetPanel::handleNameReturnKey() { commitNameEntry(); }
void PresetPanel::handleNameEscapeKey() { cancelNameEntry(); }
void PresetPanel::handleNameSaveClick() { commitNameEntry(); }
void PresetPanel::handleNameCancelClick() { cancelNameEntry(); }

void PresetPanel::hideAndNotifyClose()
{
    setVisible (false);

    if (onClose)
        onClose();
}

juce::Rectangle<int> PresetPanel::getBoxBounds() const
{
    const auto boxW = juce::jmin (getWidth() - 60, 940);
    const auto boxH = juce::jmin (getHeight() - 60, 600);
    return { getWidth() / 2 - boxW / 2, getHeight() / 2 - boxH / 2, boxW, boxH };
}

juce::Rectangle<int> PresetPanel::getContentBounds() const
{
    const auto box = getBoxBounds();
    return { box.getX() + 20, box.getY() + 20, juce::jmax (box.getWidth() - 40, 0), juce::jmax (box.getHeight() - 40, 0) };
}

void PresetPanel::resized()
{
    const auto box = getBoxBounds();
    closeButton.setBounds (box.getRight() - 40, box.getY() + 12, 28, 28);

    auto content = getContentBounds();
    content.removeFromTop (titleRowHeight);
    const auto tabColumn = content.removeFromLeft (tabColumnWidth);
    content.removeFromLeft (tabGap);

    const auto n = categoryTabs.size();
    const auto available = tabColumn.getHeight();
    const auto tabHeight = n > 0 ? juce::jlimit (18, 30, (available - tabSpacing * n + tabSpacing) / n) : 30;

    for (int i = 0; i < n; ++i)
        categoryTabs[i]->setBounds (tabColumn.getX(), tabColumn.getY() + i * (tabHeight + tabSpacing), tabColumn.getWidth(),
                                    tabHeight);

    cardViewport.setBounds (content);
    layoutCards();

    if (nameEntryActive)
    {
        const auto cx = getWidth() / 2;
        const auto cy = getHeight() / 2;
        nameEditor.setBounds (cx - 218, cy - 18, 330, 36);
        saveButton.setBounds (cx + 116, cy - 18, 62, 36);
        cancelButton.setBounds (cx + 182, cy - 18, 36, 36);
    }
}

void PresetPanel::layoutCards()
{
    const auto usableWidth = juce::jmax (cardViewport.getWidth() - cardViewport.getScrollBarThickness() - 2, 120);
    const auto cardWidth = (usableWidth - 2 * cardGutter) / cardColumns;

    for (int i = 0; i < cards.size(); ++i)
    {
        const auto row = i / cardColumns;
        const auto col = i - cardColumns * row;
        cards[i]->setBounds (col * (cardWidth + cardGutter), row * cardRowPitch, cardWidth, cardHeight);
    }

    const auto rows = (cards.size() + cardColumns - 1) / cardColumns;
    cardHolder.setSize (usableWidth, juce::jmax (cardViewport.getHeight(), rows * cardRowPitch));
}

//==============================================================================
void PresetPanel::buildCategoryTabs()
{
    for (auto* tab : categoryTabs)
        removeChildComponent (tab);

    categoryTabs.clear();

    juce::StringArray names;

    for (const auto& preset : varnok::getFactoryPresets())
        names.addIfNotAlreadyThere (juce::String::fromUTF8 (preset.category));

    names.add (myPresetsCategory);
    categories = names;

    for (int i = 0; i < categories.size(); ++i)
    {
        auto* tab = categoryTabs.add (std::make_unique<juce::TextButton> (categories[i]));
        tab->setClickingTogglesState (false);
        tab->setColour (juce::TextButton::buttonColourId, juce::Colour (0xff1b2330));
        tab->setColour (juce::TextButton::buttonOnColourId, juce::Colour (0xff2c3646));
        tab->setColour (juce::TextButton::textColourOffId, captionGrey);
        tab->setColour (juce::TextButton::textColourOnId, juce::Colours::white);
        tab->onClick = [this, i] { handleCategoryTabClick (i); };
        addAndMakeVisible (tab);
    }
}

void PresetPanel::selectCategory (int index)
{
    if (! juce::isPositiveAndBelow (index, categories.size()))
        return;

    showCategory (index);
    repaint();
}

void PresetPanel::showCategory (int index)
{
    selectedCategory = index;
    cards.clear();

    if (index == categories.size() - 1)
    {
        for (const auto& name : store.getPresetNames())
        {
            auto card = std::make_unique<Card>();
            card->title = name;
            card->accent = userCardAccent;
            card->deletable = true;
            card->onClick = [this, name] { handleUserCardClick (name); };
            card->onDelete = [this, name] { handleUserCardDelete (name); };
            cards.add (std::move (card));
        }

        auto saveCard = std::make_unique<Card>();
        saveCard->title = pick (saveCardText, english);
        saveCard->isSaveCard = true;
        saveCard->onClick = [this] { handleSaveCardClick(); };
        cards.add (std::move (saveCard));
    }
    else
    {
        const auto category = categories[index];
        const auto& table = varnok::getFactoryPresets();

        for (int k = 0; k < (int) table.size(); ++k)
        {
            if (juce::String::fromUTF8 (table[(size_t) k].category) != category)
                continue;

            auto card = std::make_unique<Card>();
            card->title = juce::String::fromUTF8 (table[(size_t) k].name);
            card->accent = categoryColour (index);
            card->onClick = [this, k] { handleFactoryCardClick (k); };
            cards.add (std::move (card));
        }
    }

    for (auto* card : cards)
    {
        // The title doubles as the component name, so accessibility and tests can find the tile.
        card->setName (card->title);
        cardHolder.addAndMakeVisible (card);
    }

    for (int j = 0; j < categoryTabs.size(); ++j)
        categoryTabs[j]->setToggleState (j == index, juce::dontSendNotification);

    cardViewport.setViewPosition (0, 0);
    layoutCards();
}

void PresetPanel::setBrowserVisible (bool shouldBeVisible)
{
    cardViewport.setVisible (shouldBeVisible);

    for (auto* tab : categoryTabs)
        tab->setVisible (shouldBeVisible);
}

//==============================================================================
void PresetPanel::handleFactoryCardClick (int index)
{
    juce::Component::SafePointer<PresetPanel> self (this);

    if (onFactoryPresetChosen)
        onFactoryPresetChosen (index);

    if (self != nullptr)
        hideAndNotifyClose();
}

void PresetPanel::handleUserCardClick (const juce::String& name)
{
    juce::Component::SafePointer<PresetPanel> self (this);

    if (onUserPresetChosen)
        onUserPresetChosen (name);

    if (self != nullptr)
        hideAndNotifyClose();
}

void PresetPanel::handleUserCardDelete (const juce::String& name)
{
    // Deferred: the rebuild after the deletion deletes the very card whose callback is running.
    juce::Component::SafePointer<PresetPanel> self (this);
    juce::MessageManager::callAsync ([self, name] { runDeferredPresetDelete (self, name); });
}

void PresetPanel::runDeferredPresetDelete (juce::Component::SafePointer<PresetPanel> panel, const juce::String& name)
{
    deleteUserPreset (panel, name);
}

void PresetPanel::deleteUserPreset (juce::Component::SafePointer<PresetPanel> panel, const juce::String& name)
{
    if (panel == nullptr)
        return;

    // A preset that is already gone (a second click on the cross before the first deletion ran)
    // makes the store report false without writing anything; that is no failed write.
    const auto wasListed = panel->store.getPresetNames().contains (name);

    if (! panel->store.deletePreset (name) && wasListed)
        panel->showPresetSaveFailedAlert (panel->english);

    if (panel->onPresetsChanged)
        panel->onPresetsChanged();

    if (panel != nullptr)
        panel->showCategory (panel->selectedCategory);
}

//==============================================================================
void PresetPanel::setNameEntryWidgetsVisible (bool shouldBeVisible)
{
    nameEditor.setVisible (shouldBeVisible);
    saveButton.setVisible (shouldBeVisible);
    cancelButton.setVisible (shouldBeVisible);
}

void PresetPanel::beginNameEntry()
{
    nameEntryActive = true;
    setBrowserVisible (false);

    nameEditor.setText ({}, false);
    nameEditor.setTextToShowWhenEmpty (pick (promptText, english), captionGrey);
    saveButton.setButtonText (pick (saveButtonText, english));

    setNameEntryWidgetsVisible (true);
    resized();

    nameEditor.toFront (true);
    nameEditor.grabKeyboardFocus();
    repaint();
}

void PresetPanel::commitNameEntry()
{
    const auto name = nameEditor.getText().trim();

    nameEntryActive = false;
    setNameEntryWidgetsVisible (false);

    if (name.isNotEmpty())
    {
        if (! store.saveCurrentAs (name))
            showPresetSaveFailedAlert (english);

        juce::Component::SafePointer<PresetPanel> self (this);

        if (onPresetsChanged)
            onPresetsChanged();

        if (self == nullptr)
            return;
    }

    setBrowserVisible (true);
    showCategory (selectedCategory);
    resized();
    repaint();
}

void PresetPanel::cancelNameEntry()
{
    nameEntryActive = false;
    setNameEntryWidgetsVisible (false);

    setBrowserVisible (true);
    repaint();
}

void PresetPanel::showPresetSaveFailedAlert (int languageFlag)
{
    if (presentWarningBox)
        presentWarningBox (makePresetSaveFailedOptions (languageFlag));
}

//==============================================================================
void PresetPanel::mouseUp (const juce::MouseEvent& e)
{
    const auto p = e.getPosition();
    const auto box = getBoxBounds();

    if (p.x >= box.getX() && p.x < box.getRight() && p.y >= box.getY() && p.y < box.getBottom())
        return;

    hideAndNotifyClose();
}

void PresetPanel::paint (juce::Graphics& g)
{
    const auto box = getBoxBounds();
    const auto boxX = (float) box.getX();
    const auto boxY = (float) box.getY();
    const auto boxW = box.getWidth();
    const auto boxH = box.getHeight();

    g.fillAll (backdropColour);

    g.setColour (boxColour);
    g.fillRoundedRectangle (box.toFloat(), 12.0f);

    g.setColour (boxOutlineColour);
    g.drawRoundedRectangle (boxX + 0.5f, boxY + 0.5f, (float) juce::jmax (boxW - 1, 0), (float) juce::jmax (boxH - 1, 0),
                            12.0f, 1.0f);

    g.setColour (juce::Colours::white);
    g.setFont (juce::FontOptions (18.0f, juce::Font::bold));
    g.drawText (pick (titleText, english), box.getX() + 20, box.getY() + 14, 300, 26, juce::Justification::centredLeft, true);

    const auto contentH = getContentBounds().getHeight();

    if (! nameEntryActive)
    {
        const auto h44 = juce::jmin (contentH, titleRowHeight);
        g.setColour (separatorColour);
        g.fillRect (box.getX() + 176, box.getY() + 20 + h44, 1, contentH - h44);
        return;
    }

    g.setColour (nameEntryStripColour);
    g.fillRect (juce::Rectangle<float> (boxX + 2.0f, boxY + 50.0f, (float) juce::jmax (boxW - 4, 0),
                                        (float) juce::jmax (juce::jmax (boxH - 48, 0) - 4, 0)));

    g.setColour (juce::Colours::white);
    g.setFont (juce::FontOptions (14.0f, juce::Font::bold));
    g.drawText (pick (promptText, english), getWidth() / 2 - 220, getHeight() / 2 - 48, 440, 22,
                juce::Justification::centredLeft, true);
}
