#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>

// The in-editor notice that a newer version exists: a dimmed backdrop over the whole editor and a
// centred box with the version line, the change notes and three actions. The dialog decides
// nothing itself; each action only calls its callback, and the owner may delete the dialog from
// inside one.
class VarnokUpdateDialog final : public juce::Component
{
public:
    VarnokUpdateDialog();
    ~VarnokUpdateDialog() override = default;

    // Fills the version line ("name   v1.0.2 → v1.0.3") and the notes; blank notes show a
    // placeholder. Calling it again replaces both.
    void setContent (const juce::String& productName,
                     const juce::String& currentVersion,
                     const juce::String& newVersion,
                     const juce::String& notes);

    // The box in the dialog's own pixels; it keeps its minimum size even when the dialog is smaller.
    juce::Rectangle<int> getBoxBounds() const;

    std::function<void()> onUpdate;
    std::function<void()> onSkipVersion;
    std::function<void()> onLater;

    void paint (juce::Graphics& g) override;
    bool keyPressed (const juce::KeyPress& key) override;
    void resized() override;

private:
    void styleLabel (juce::Label& label, float fontHeight, bool bold, juce::Colour colour);
    void styleButton (juce::TextButton& button, const juce::String& text, juce::Colour colour);

    juce::Label titleLabel;
    juce::Label versionLabel;
    juce::Label changeLogLabel;
    juce::TextEditor notesEditor;
    juce::TextButton updateButton;
    juce::TextButton skipButton;
    juce::TextButton laterButton;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VarnokUpdateDialog)
};
