#pragma once

#include "editor/VarnokCompAudioProcessorEditor.h"
#include "gui/GuiTestSupport.h"

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

// Reaches the editor's controls by name, as the class declares them.
struct EditorTestAccess
{
    using Editor = VarnokCompAudioProcessorEditor;

    static juce::TextButton& undo (Editor& e) { return e.undoButton; }
    static juce::TextButton& redo (Editor& e) { return e.redoButton; }
    static juce::TextButton& getPro (Editor& e) { return e.getProButton; }
    static juce::TextButton& prev (Editor& e) { return e.prevButton; }
    static juce::TextButton& next (Editor& e) { return e.nextButton; }
    static juce::TextButton& init (Editor& e) { return e.initButton; }
    static juce::ComboBox& presetBox (Editor& e) { return e.presetBox; }
    static juce::Button& presets (Editor& e) { return e.presetsButton; }
    static juce::TextButton& slotA (Editor& e) { return e.abButtonA; }
    static juce::TextButton& slotB (Editor& e) { return e.abButtonB; }
    static juce::TextButton& copy (Editor& e) { return e.abCopyButton; }
    static juce::TextButton& bypass (Editor& e) { return e.bypassButton; }
    static juce::TextButton& listen (Editor& e) { return e.listenButton; }
    static juce::TextButton& autoGain (Editor& e) { return e.autoGainButton; }
    static juce::TextButton& autoRelease (Editor& e) { return e.autoReleaseButton; }
    static juce::ComboBox& detectBox (Editor& e) { return e.detectBox; }
    static juce::ComboBox& stereoBox (Editor& e) { return e.stereoBox; }
    static juce::ComboBox& sidechainBox (Editor& e) { return e.sidechainBox; }
    static juce::ComboBox& characterBox (Editor& e) { return e.characterBox; }
    static juce::Label& detectLabel (Editor& e) { return e.detectLabel; }
    static juce::Label& characterLabel (Editor& e) { return e.characterLabel; }
    static juce::Label& sectionLabel (Editor& e, int i) { return e.sectionLabels[(size_t) i]; }
    static juce::Rectangle<int> sectionArea (Editor& e, int i) { return e.sectionAreas[(size_t) i]; }
    static juce::Rectangle<int> graphArea (Editor& e) { return e.graphArea; }
    static juce::Component& graph (Editor& e) { return *e.graph; }
    static juce::Component& levelMeter (Editor& e) { return *e.levelMeter; }
    static juce::Component& grMeter (Editor& e) { return *e.grMeter; }
    static juce::Component* panel (Editor& e) { return e.presetPanel.get(); }
    static int english (Editor& e) { return e.english; }

    // The thirteen knobs in the order the editor adds them.
    static std::vector<LabeledKnob*> knobs (Editor& e)
    {
        return { e.inKnob.get(), e.threshKnob.get(), e.ratioKnob.get(), e.kneeKnob.get(), e.attackKnob.get(),
                 e.releaseKnob.get(), e.lookaheadKnob.get(), e.makeupKnob.get(), e.mixKnob.get(), e.outKnob.get(),
                 e.hpfKnob.get(), e.lpfKnob.get(), e.linkKnob.get() };
    }

    static void tick (Editor& e) { e.timerCallback(); }
    static VarnokUpdateDialog* updateDialog (Editor& e) { return e.getUpdateDialog(); }
};

namespace edtest
{
// Sets an environment variable for one scope and puts the old value back afterwards.
class ScopedEnv
{
public:
    ScopedEnv (const char* name, const char* value) : variable (name)
    {
        if (const char* old = std::getenv (name))
            previous = old;
        setenv (name, value, 1);
    }

    ~ScopedEnv()
    {
        if (previous)
            setenv (variable.c_str(), previous->c_str(), 1);
        else
            unsetenv (variable.c_str());
    }

private:
    std::string variable;
    std::optional<std::string> previous;
};

// Tests share one preset file per process; each starts without one.
struct FreshPresetFile : ::testing::Test
{
    FreshPresetFile() { UserPresetStore::getPresetFile().deleteFile(); }
};

// A processor with its own editor; the processor is prepared so that its meters have something to read.
struct EditorFixture : FreshPresetFile
{
    EditorFixture()
    {
        processor.prepareToPlay (48000.0, 512);
        editor = std::make_unique<VarnokCompAudioProcessorEditor> (processor);
    }

    ~EditorFixture() override { editor.reset(); }

    void pump (int ms = 30) { juce::MessageManager::getInstance()->runDispatchLoopUntil (ms); }

    VarnokCompAudioProcessor processor;
    std::unique_ptr<VarnokCompAudioProcessorEditor> editor;
};
} // namespace edtest
