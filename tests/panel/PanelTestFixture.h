#pragma once

#include "editor/VarnokKnobLookAndFeel.h"
#include "editor/widgets/PresetPanel.h"
#include "processor/PluginProcessor.h"
#include "processor/presets/FactoryPresets.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

namespace paneltest
{
// Points the user's application-data folder at a fresh folder for one test and back afterwards.
// JUCE on Linux derives that folder from $HOME; XDG_CONFIG_HOME is set as well for good measure.
class ScopedFreshHome
{
public:
    ScopedFreshHome()
        : folder (juce::File::getSpecialLocation (juce::File::tempDirectory)
                      .getNonexistentChildFile ("varnok-panel-home", {}, false))
    {
        folder.createDirectory();
        remember ("HOME", oldHome);
        remember ("XDG_CONFIG_HOME", oldConfig);
        setenv ("HOME", folder.getFullPathName().toRawUTF8(), 1);
        setenv ("XDG_CONFIG_HOME", folder.getChildFile (".config").getFullPathName().toRawUTF8(), 1);
    }

    ~ScopedFreshHome()
    {
        restore ("HOME", oldHome);
        restore ("XDG_CONFIG_HOME", oldConfig);
        folder.deleteRecursively();
    }

    const juce::File folder;

private:
    static void remember (const char* name, std::optional<std::string>& slot)
    {
        if (const char* value = std::getenv (name))
            slot = value;
    }

    static void restore (const char* name, const std::optional<std::string>& slot)
    {
        if (slot.has_value())
            setenv (name, slot->c_str(), 1);
        else
            unsetenv (name);
    }

    std::optional<std::string> oldHome, oldConfig;
};

inline void pump (int ms = 50) { juce::MessageManager::getInstance()->runDispatchLoopUntil (ms); }

// The panel as the editor hosts it: a hidden child of an editor-sized parent that carries the
// editor's look-and-feel, with every callback and warning box recorded.
class PanelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        presetFile = UserPresetStore::getPresetFile();
        ASSERT_TRUE (presetFile.isAChildOf (home.folder)) << presetFile.getFullPathName();

        processor = std::make_unique<VarnokCompAudioProcessor>();
        panel = std::make_unique<PresetPanel> (processor->userPresets);

        panel->onClose = [this] { ++closeCount; };
        panel->onPresetsChanged = [this] { ++presetsChangedCount; };
        panel->onFactoryPresetChosen = [this] (int index) { factoryChoices.push_back (index); };
        panel->onUserPresetChosen = [this] (const juce::String& name) { userChoices.add (name); };
        panel->presentWarningBox = [this] (const juce::MessageBoxOptions& options) { warningBoxes.push_back (options); };

        parent.setLookAndFeel (&lookAndFeel);
        parent.addChildComponent (*panel);
        setEditorSize (900, 500);
    }

    void TearDown() override
    {
        if (parent.isOnDesktop())
            parent.removeFromDesktop();

        panel.reset();
        parent.setLookAndFeel (nullptr);
        processor.reset();
    }

    // The editor keeps the panel at its own full size.
    void setEditorSize (int width, int height)
    {
        parent.setSize (width, height);
        panel->setBounds (parent.getLocalBounds());
    }

    // A real window, for mouse input through JUCE's own dispatch.
    juce::ComponentPeer& putOnDesktop()
    {
        // The real pointer stays outside the window, or the window server's own pointer events
        // would move the hover away from where the test put its mouse.
        juce::Desktop::getInstance().getMainMouseSource().setScreenPosition ({ 0.0f, 0.0f });
        parent.setTopLeftPosition (20, 20);
        parent.addToDesktop (0);
        parent.setVisible (true);
        pump (30);
        auto* peer = parent.getPeer();
        jassert (peer != nullptr);
        return *peer;
    }

    void mouseEvent (juce::Point<int> where, juce::ModifierKeys mods)
    {
        eventTime += 300;
        parent.getPeer()->handleMouseEvent (juce::MouseInputSource::InputSourceType::mouse, where.toFloat(), mods,
                                            juce::MouseInputSource::defaultPressure,
                                            juce::MouseInputSource::defaultOrientation, eventTime);
    }

    void moveMouse (juce::Point<int> where) { mouseEvent (where, {}); }

    // Press at one point of the editor, release at another (the same one for a plain click).
    void clickAt (juce::Point<int> where, std::optional<juce::Point<int>> releaseAt = {},
                  juce::ModifierKeys::Flags button = juce::ModifierKeys::leftButtonModifier)
    {
        moveMouse (where);
        mouseEvent (where, juce::ModifierKeys (button));

        if (releaseAt.has_value())
            mouseEvent (*releaseAt, juce::ModifierKeys (button));

        mouseEvent (releaseAt.value_or (where), {});
        pump (20);
    }

    // A point of a component given in the component's own pixels, in the editor's pixels.
    juce::Point<int> inEditor (juce::Component& component, juce::Point<int> local)
    {
        return parent.getLocalPoint (&component, local);
    }

    juce::Component* childWithID (const juce::String& id) { return panel->findChildWithID (id); }
    juce::Viewport& viewport() { return *dynamic_cast<juce::Viewport*> (childWithID ("cards")); }
    juce::TextEditor& nameField() { return *dynamic_cast<juce::TextEditor*> (childWithID ("name")); }
    juce::TextButton& button (const juce::String& id) { return *dynamic_cast<juce::TextButton*> (childWithID (id)); }

    // The category tabs, in the panel's child order, which is their order.
    std::vector<juce::TextButton*> tabs()
    {
        std::vector<juce::TextButton*> result;

        for (auto* child : panel->getChildren())
            if (auto* b = dynamic_cast<juce::TextButton*> (child); b != nullptr && b->getComponentID().isEmpty())
                result.push_back (b);

        return result;
    }

    juce::TextButton& tab (const juce::String& name)
    {
        for (auto* t : tabs())
            if (t->getName() == name)
                return *t;

        ADD_FAILURE() << "no tab " << name;
        return *tabs().front();
    }

    // triggerClick posts its click and then shows the button pressed for 100 ms.
    void selectTab (const juce::String& name)
    {
        tab (name).triggerClick();
        pump (150);
    }

    void clickButton (const juce::String& id)
    {
        button (id).triggerClick();
        pump (150);
    }

    std::vector<juce::Component*> cards()
    {
        std::vector<juce::Component*> result;

        for (auto* child : viewport().getViewedComponent()->getChildren())
            result.push_back (child);

        return result;
    }

    juce::StringArray cardTitles()
    {
        juce::StringArray titles;

        for (auto* c : cards())
            titles.add (c->getName());

        return titles;
    }

    juce::Component* card (const juce::String& title)
    {
        for (auto* c : cards())
            if (c->getName() == title)
                return c;

        return nullptr;
    }

    // A release on a card without a window: the card's own mouse handling, pressed and released at one point.
    static void tapCard (juce::Component& c, juce::Point<float> at = { 40.0f, 50.0f })
    {
        const auto now = juce::Time::getCurrentTime();
        c.mouseUp (juce::MouseEvent (juce::Desktop::getInstance().getMainMouseSource(), at, {},
                                     juce::MouseInputSource::defaultPressure, juce::MouseInputSource::defaultOrientation,
                                     juce::MouseInputSource::defaultRotation, juce::MouseInputSource::defaultTiltX,
                                     juce::MouseInputSource::defaultTiltY, &c, &c, now, at, now, 1, false));
    }

    static juce::StringArray withSaveCard (juce::StringArray names)
    {
        names.add ("+ Save Current");
        return names;
    }

    juce::Point<int> deleteCrossOf (juce::Component& c) { return inEditor (c, { c.getWidth() - 17, 17 }); }

    void addUserPresets (int count, const juce::String& prefix = "User ")
    {
        for (int i = 1; i <= count; ++i)
            ASSERT_TRUE (processor->userPresets.saveCurrentAs (prefix + juce::String (i)));
    }

    // A regular file where the plug-in's folder under "Olmet" would have to be created: the store
    // can then write nothing, even as root (permission bits do not stop root).
    void makePresetWritesFail()
    {
        const auto makerFolder = presetFile.getParentDirectory().getParentDirectory();
        makerFolder.deleteRecursively();
        makerFolder.getParentDirectory().createDirectory();
        ASSERT_TRUE (makerFolder.replaceWithText ("not a folder"));
    }

    juce::StringArray namesInFile() const
    {
        juce::StringArray names;

        if (auto xml = juce::parseXML (presetFile))
            for (auto* preset : xml->getChildWithTagNameIterator ("Preset"))
                names.add (preset->getStringAttribute ("name"));

        return names;
    }

    static juce::String utf8 (const char* text) { return juce::String::fromUTF8 (text); }

    ScopedFreshHome home;
    juce::File presetFile;
    std::unique_ptr<VarnokCompAudioProcessor> processor;
    VarnokKnobLookAndFeel lookAndFeel;
    juce::Component parent;
    std::unique_ptr<PresetPanel> panel;

    int closeCount = 0;
    int presetsChangedCount = 0;
    std::vector<int> factoryChoices;
    juce::StringArray userChoices;
    std::vector<juce::MessageBoxOptions> warningBoxes;
    juce::int64 eventTime = juce::Time::currentTimeMillis();
};
} // namespace paneltest
