#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdint>
#include <functional>

class UserPresetStore;

// The preset browser: an overlay over the whole editor with a dimmed backdrop and a centred box,
// where the user picks a factory program by category, picks or deletes a user preset, or saves
// the current settings under a typed name. It lays itself out in its own (editor) pixels and
// reports the user's choices through the callbacks; the owner loads what was chosen.
class PresetPanel : public juce::Component
{
public:
    explicit PresetPanel (UserPresetStore& userPresetStore);
    ~PresetPanel() override;

    // Shows the panel freshly: tabs and cards rebuilt, the last category again, scrolled to the top.
    void open();

    void paint (juce::Graphics& g) override;
    void resized() override;
    void mouseUp (const juce::MouseEvent& e) override;

    // After the panel has hidden itself (outside click, close button, a preset chosen).
    std::function<void()> onClose;
    // After every save or delete attempt on a non-empty name, a failed one included.
    std::function<void()> onPresetsChanged;
    // With the chosen program's index in the whole factory table.
    std::function<void (int)> onFactoryPresetChosen;
    std::function<void (const juce::String&)> onUserPresetChosen;

private:
    class Card;

    UserPresetStore& store;

public:
    // Nonzero selects the English texts, 0 the Japanese ones; the owner sets it before open().
    std::int32_t english = 1;

    // Puts up the warning box of a failed write. Defaults to the platform's asynchronous message
    // box; a headless test run, where no box can be shown, replaces it to see what was asked for.
    std::function<void (const juce::MessageBoxOptions&)> presentWarningBox;

private:
    juce::StringArray categories;
    std::int32_t selectedCategory = 0;
    juce::OwnedArray<juce::TextButton> categoryTabs;
    juce::Viewport cardViewport;
    juce::Component cardHolder;
    juce::OwnedArray<Card> cards;
    juce::TextButton closeButton { "X" };
    juce::TextEditor nameEditor;
    juce::TextButton saveButton;
    juce::TextButton cancelButton { "X" };
    bool nameEntryActive = false;

    juce::Rectangle<int> getBoxBounds() const;
    juce::Rectangle<int> getContentBounds() const;
    void buildCategoryTabs();
    void showCategory (int index);
    void selectCategory (int index);
    void layoutCards();
    void setBrowserVisible (bool shouldBeVisible);
    void beginNameEntry();
    void commitNameEntry();
    void cancelNameEntry();
    void setNameEntryWidgetsVisible (bool shouldBeVisible);
    void hideAndNotifyClose();
    void showPresetSaveFailedAlert (int languageFlag);

    void handlePanelCloseClick();
    void handleCategoryTabClick (int index);
    void handleSaveCardClick();
    void handleNameReturnKey();
    void handleNameEscapeKey();
    void handleNameSaveClick();
    void handleNameCancelClick();
    void handleFactoryCardClick (int index);
    void handleUserCardClick (const juce::String& name);
    void handleUserCardDelete (const juce::String& name);
    static void runDeferredPresetDelete (juce::Component::SafePointer<PresetPanel> panel, const juce::String& name);
    static void deleteUserPreset (juce::Component::SafePointer<PresetPanel> panel, const juce::String& name);

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PresetPanel)
};
