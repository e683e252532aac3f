#pragma once

#include "update/UpdateChecker.h"
#include "update/VarnokUpdateDialog.h"

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>

// Base of the plug-in's editor. The derived editor builds and paints everything once on a fixed
// design canvas; the shell maps that canvas onto the window with one uniform scale, owns the
// window-size policy, a 66 ms tick and the right-click menu that switches the update check.
class VarnokScaledEditor : public juce::AudioProcessorEditor,
                           public juce::Timer
{
public:
    // Holds every control of the derived editor, in design pixels; only its transform changes.
    class Canvas : public juce::Component
    {
    public:
        std::function<void (juce::Graphics&)> onPaint;
        std::function<void (const juce::MouseEvent&)> onMouseDown;

        ~Canvas() override;
        void mouseDown (const juce::MouseEvent& e) override;
        void paint (juce::Graphics& g) override;
    };

    explicit VarnokScaledEditor (juce::AudioProcessor& audioProcessor);
    ~VarnokScaledEditor() override;

    void mouseDown (const juce::MouseEvent& e) override;
    void visibilityChanged() override;
    void parentHierarchyChanged() override;
    void paint (juce::Graphics& g) override;
    void resized() override;

    void timerCallback() override;

    // Settings tree whose root carries "updateCheckOff" and "updateDismissed"; invalid by default.
    virtual juce::ValueTree getStateTree();
    // Non-zero for English texts.
    virtual int isEnglish();
    // Places every control in design pixels; called once.
    virtual void layoutContent() = 0;
    // Paints the canvas background in design pixels.
    virtual void paintContent (juce::Graphics& g) = 0;
    // Full-size overlay kept above the canvas in window pixels; null while there is none.
    virtual juce::Component* getPresetPanel();
    // Called at the end of every tick.
    virtual void onTick();

    // Re-applies the canvas scale and the overlays' full-size bounds, then repaints.
    void applyScale();

    void showContextMenu (juce::Component* target, juce::Point<int> screenPosition);

    // The menu's result handler. It gets the tree that was current when the menu opened, so a
    // choice made after a state load lands in the tree that the menu was built for.
    static void toggleUpdateCheck (juce::ValueTree tree, int menuResult);

    // The context menu for the given state of the "updateCheckOff" setting.
    static juce::PopupMenu createContextMenu (bool updateCheckOff);

    // Whether the update dialog should be up for this result, the version the user skipped and
    // whether the notice was closed in this editor.
    static bool shouldShowUpdateNotice (bool available, const juce::String& version,
                                        const juce::String& dismissedVersion, bool closed);

    static constexpr int contextMenuItemId = 1;
    static constexpr int timerIntervalMs = 66;
    static constexpr int numFitTicks = 5;

protected:
    // The update notice's dialog while it is shown (for tests and derived editors to look at).
    VarnokUpdateDialog* getUpdateDialog() const noexcept { return updateDialog.get(); }
    UpdateChecker& getUpdateChecker() noexcept { return updateChecker; }

    // Moves every child onto the canvas, lays it out, sets the size limits and the first size and
    // starts the tick. Called once by the derived editor after it has added all of its controls.
    void initialiseScaledContent (double initialScale);

private:
    void fitWindowToDisplay();
    void layoutOverlays();
    bool isUpdateCheckSwitchedOff();
    void startUpdateCheck();
    void refreshUpdateNotice();
    void showUpdateDialog (const UpdateInfo& info, const juce::ValueTree& tree);

    Canvas canvas;

    // Declared after the canvas so that they go before it: a dialog still shown is deleted, then
    // the checker stops its thread (cancelling a request in flight).
    UpdateChecker updateChecker;
    std::unique_ptr<VarnokUpdateDialog> updateDialog;
    bool noticeClosedThisSession = false;

    const int designWidth = 1460;
    const int designHeight = 620;
    juce::ComponentBoundsConstrainer constrainer;
    int fitTicks = 0;
    bool contentReady = false;

    // JUCE hands a mouse-down on the editor itself to mouseDown twice: once directly and once
    // through the nested listener. Remembering the last menu click keeps that to one menu.
    juce::Time lastMenuClickTime;
    juce::Component* lastMenuClickComponent = nullptr;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VarnokScaledEditor)
};
