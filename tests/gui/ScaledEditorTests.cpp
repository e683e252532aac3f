#include "GuiTestSupport.h"

#include "editor/ScaledEditorSizing.h"
#include "editor/VarnokScaledEditor.h"

#include <optional>
#include <vector>

namespace
{
using Size = juce::Point<int>;
using Area = std::optional<juce::Rectangle<int>>;

constexpr int designW = 1460;
constexpr int designH = 620;

juce::Rectangle<int> workArea (int w, int h) { return { 0, 0, w, h }; }

//==============================================================================
struct InitialSizeCase
{
    Area area;
    Size expected;
};

TEST (EditorSizing, FirstSizeIsScaledDesignLimitedByTheMainDisplay)
{
    const InitialSizeCase cases[] = {
        { workArea (1920, 1040), { 1241, 527 } },
        { workArea (1366, 728), { 1229, 522 } },  // width-limited
        { workArea (1920, 500), { 1060, 450 } },  // height-limited
        { workArea (800, 560), { 720, 306 } },    // below the resize minimum, and kept so
        { std::nullopt, { 1241, 527 } },          // no main display: no limit
    };

    for (const auto& c : cases)
        EXPECT_EQ (varnok::sizing::computeInitialSize (designW, designH, 0.85, c.area), c.expected)
            << (c.area ? c.area->toString() : juce::String ("no display"));
}

struct FitCase
{
    Size size;
    Area area;
    Size expected;
};

TEST (EditorSizing, FirstTickFitsTheWindowIntoItsDisplayKeepingTheAspectRatio)
{
    const FitCase cases[] = {
        { { 1241, 527 }, workArea (1280, 680), { 1229, 522 } },
        { { 1241, 527 }, workArea (700, 400), { 730, 310 } },   // never narrower than half the design
        { { 1898, 806 }, workArea (1920, 1040), { 1843, 783 } },
        { { 1241, 527 }, workArea (1293, 586), { 1241, 527 } }, // exactly at the limits: kept
        { { 1241, 527 }, std::nullopt, { 1241, 527 } },         // no display under the window
        { { 0, 527 }, workArea (700, 400), { 0, 527 } },        // no width: nothing to fit
        { { 1241, 0 }, workArea (700, 400), { 1241, 0 } },
    };

    for (const auto& c : cases)
        EXPECT_EQ (varnok::sizing::fitToWorkArea (c.size, designW, designH, c.area), c.expected)
            << c.size.toString() << " on " << (c.area ? c.area->toString() : juce::String ("no display"));
}

TEST (EditorSizing, CanvasScaleIsTheSmallerOfTheTwoRatios)
{
    struct Case { int w, h; float expected; };
    const Case cases[] = {
        { 1460, 620, 1.0f }, { 1241, 527, 527.0f / 620.0f }, { 730, 310, 0.5f }, { 1898, 806, 1.3f },
        { 1460, 700, 1.0f }, { 2000, 620, 1.0f }, { 1000, 620, 1000.0f / 1460.0f },
        { 0, 620, 0.0f }, { 1460, 0, 0.0f }, { -5, -5, 0.0f },
    };

    for (const auto& c : cases)
        EXPECT_FLOAT_EQ (varnok::sizing::computeCanvasScale (c.w, c.h, designW, designH), c.expected) << c.w << "x" << c.h;
}

//==============================================================================
constexpr juce::uint32 canvasColour = 0xff0c0f16;

class TestEditor : public VarnokScaledEditor
{
public:
    explicit TestEditor (VarnokCompAudioProcessor& p, bool hasStateTree = true)
        : VarnokScaledEditor (p), processor (p), validTree (hasStateTree)
    {
        addAndMakeVisible (knob);
        addChildComponent (hiddenChild);
        addAndMakeVisible (rightClickOwner);
        rightClickOwner.addAndMakeVisible (ownedButton);
        rightClickOwner.getProperties().set ("varnokHandlesRightClick", true);

        initialiseScaledContent (0.85);
    }

    juce::ValueTree getStateTree() override { return validTree ? processor.apvts.state : juce::ValueTree(); }

    void layoutContent() override
    {
        ++layoutCalls;
        knob.setBounds (100, 100, 80, 80);
        hiddenChild.setBounds (300, 100, 50, 50);
        rightClickOwner.setBounds (500, 100, 200, 100);
        ownedButton.setBounds (10, 10, 80, 30);
    }

    void paintContent (juce::Graphics& g) override { g.fillAll (juce::Colour (canvasColour)); }
    juce::Component* getPresetPanel() override { return panel.get(); }
    void onTick() override { ++ticks; }

    void addPanel()
    {
        panel = std::make_unique<juce::Component>();
        addChildComponent (*panel);
        applyScale();
    }

    Canvas* findCanvas()
    {
        for (auto* child : getChildren())
            if (auto* found = dynamic_cast<Canvas*> (child))
                return found;

        return nullptr;
    }

    VarnokCompAudioProcessor& processor;
    bool validTree;
    juce::Slider knob;
    juce::Component hiddenChild;
    juce::Component rightClickOwner;
    juce::TextButton ownedButton { "owned" };
    std::unique_ptr<juce::Component> panel;
    int layoutCalls = 0;
    int ticks = 0;
};

// Records every size the editor goes through.
struct SizeRecorder : juce::ComponentListener
{
    explicit SizeRecorder (juce::Component& c) : component (c) { component.addComponentListener (this); }
    ~SizeRecorder() override { component.removeComponentListener (this); }

    void componentMovedOrResized (juce::Component& c, bool, bool wasResized) override
    {
        if (wasResized)
            sizes.push_back ({ c.getWidth(), c.getHeight() });
    }

    juce::Component& component;
    std::vector<Size> sizes;
};

int numModalComponents() { return juce::ModalComponentManager::getInstance()->getNumModalComponents(); }

void closeAllMenus()
{
    juce::PopupMenu::dismissAllActiveMenus();

    for (int i = 0; i < 50 && numModalComponents() > 0; ++i)
        juce::MessageManager::getInstance()->runDispatchLoopUntil (10);

    juce::MessageManager::getInstance()->runDispatchLoopUntil (20);
}

Area displayAreaAt (juce::Point<int> point)
{
    if (auto* display = juce::Desktop::getInstance().getDisplays().getDisplayForPoint (point))
        return display->userArea;

    return std::nullopt;
}

bool isScale (const juce::AffineTransform& t, float s)
{
    return juce::approximatelyEqual (t.mat00, s) && juce::approximatelyEqual (t.mat11, s)
           && juce::exactlyEqual (t.mat01, 0.0f) && juce::exactlyEqual (t.mat10, 0.0f)
           && juce::exactlyEqual (t.mat02, 0.0f) && juce::exactlyEqual (t.mat12, 0.0f);
}

class ScaledEditorTest : public ::testing::Test
{
protected:
    void TearDown() override { closeAllMenus(); }

    VarnokCompAudioProcessor processor;
};

//==============================================================================
TEST_F (ScaledEditorTest, SetUpMovesEveryControlOntoTheCanvasAndSetsTheSizeRules)
{
    TestEditor editor (processor);
    auto* canvas = editor.findCanvas();
    ASSERT_NE (canvas, nullptr);

    EXPECT_EQ (canvas->getBounds(), juce::Rectangle<int> (0, 0, designW, designH));
    ASSERT_EQ (canvas->getNumChildComponents(), 3);
    EXPECT_EQ (canvas->getChildComponent (0), &editor.knob);
    EXPECT_EQ (canvas->getChildComponent (1), &editor.hiddenChild);
    EXPECT_EQ (canvas->getChildComponent (2), &editor.rightClickOwner);
    EXPECT_TRUE (editor.hiddenChild.isVisible());
    EXPECT_EQ (editor.layoutCalls, 1);
    EXPECT_EQ (editor.knob.getBounds(), juce::Rectangle<int> (100, 100, 80, 80)); // design pixels

    auto* constrainer = editor.getConstrainer();
    ASSERT_NE (constrainer, nullptr);
    EXPECT_EQ (constrainer->getMinimumWidth(), 730);
    EXPECT_EQ (constrainer->getMinimumHeight(), 310);
    EXPECT_EQ (constrainer->getMaximumWidth(), 1898);
    EXPECT_EQ (constrainer->getMaximumHeight(), 806);
    EXPECT_DOUBLE_EQ (constrainer->getFixedAspectRatio(), 1460.0 / 620.0);
    EXPECT_TRUE (editor.isResizable());
    ASSERT_NE (editor.resizableCorner, nullptr);
    EXPECT_EQ (editor.resizableCorner->getParentComponent(), &editor); // not scaled with the canvas

    const auto* primary = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay();
    const auto expected = varnok::sizing::computeInitialSize (designW, designH, 0.85,
                                                              primary != nullptr ? Area (primary->userArea) : std::nullopt);
    EXPECT_EQ (Size (editor.getWidth(), editor.getHeight()), expected);
    EXPECT_TRUE (isScale (canvas->getTransform(), (float) expected.y / designH));

    EXPECT_TRUE (editor.getWantsKeyboardFocus());
    EXPECT_TRUE (editor.isTimerRunning());
    EXPECT_EQ (editor.getTimerInterval(), 66);
}

TEST_F (ScaledEditorTest, CanvasKeepsItsAspectRatioAndDesignBoundsAtEveryWindowSize)
{
    TestEditor editor (processor);
    auto* canvas = editor.findCanvas();
    ASSERT_NE (canvas, nullptr);

    const Size sizes[] = { { 1241, 527 }, { 730, 310 }, { 1898, 806 }, { 1460, 700 }, { 2000, 620 }, { 1460, 620 } };

    for (auto size : sizes)
    {
        editor.setSize (size.x, size.y);
        const auto s = juce::jmin ((float) size.y / designH, (float) size.x / designW);
        EXPECT_TRUE (isScale (canvas->getTransform(), s)) << size.toString();
        EXPECT_EQ (canvas->getBounds(), juce::Rectangle<int> (0, 0, designW, designH)) << size.toString();
        EXPECT_EQ (editor.knob.getBounds(), juce::Rectangle<int> (100, 100, 80, 80)) << size.toString();

        // The canvas never reaches past the window, and fills it along the limiting side.
        const auto covered = canvas->getBoundsInParent();
        EXPECT_LE (covered.getRight(), size.x + 1) << size.toString();
        EXPECT_LE (covered.getBottom(), size.y + 1) << size.toString();
        EXPECT_TRUE (std::abs (covered.getRight() - size.x) <= 1 || std::abs (covered.getBottom() - size.y) <= 1)
            << size.toString();
    }
}

TEST_F (ScaledEditorTest, TallerWindowShowsABlackStripBelowTheCanvas)
{
    TestEditor editor (processor);
    editor.setSize (1460, 700);

    const auto image = guitest::render (editor, juce::Colours::magenta);
    guitest::saveArtefact (image, "editor_1460x700_strip");

    EXPECT_TRUE (guitest::pixelIs (image, 700, 300, juce::Colour (canvasColour), 0));
    EXPECT_TRUE (guitest::pixelIs (image, 700, 619, juce::Colour (canvasColour), 0));
    EXPECT_TRUE (guitest::pixelIs (image, 700, 621, juce::Colour (0xff000000), 0));
    EXPECT_TRUE (guitest::pixelIs (image, 700, 699, juce::Colour (0xff000000), 0));
}

TEST_F (ScaledEditorTest, AWindowWithoutAreaKeepsTheLastScale)
{
    TestEditor editor (processor);
    auto* canvas = editor.findCanvas();
    editor.setSize (730, 310);

    editor.setSize (0, 0);
    EXPECT_TRUE (isScale (canvas->getTransform(), 0.5f));
    EXPECT_FALSE (canvas->getTransform().isSingularity());
    editor.applyScale();
    EXPECT_TRUE (isScale (canvas->getTransform(), 0.5f));

    editor.setSize (1898, 806);
    EXPECT_TRUE (isScale (canvas->getTransform(), 1.3f));
}

TEST_F (ScaledEditorTest, OverlayCoversTheWholeEditorInWindowPixels)
{
    TestEditor editor (processor);
    editor.addPanel();
    EXPECT_EQ (editor.panel->getParentComponent(), &editor);
    EXPECT_EQ (editor.panel->getBounds(), editor.getLocalBounds());
    EXPECT_FALSE (editor.panel->isVisible());

    editor.setSize (900, 400);
    EXPECT_EQ (editor.panel->getBounds(), juce::Rectangle<int> (0, 0, 900, 400));
    EXPECT_TRUE (editor.panel->getTransform().isIdentity());
}

//==============================================================================
TEST_F (ScaledEditorTest, FirstTickFitsTheWindowAndNudgesItsHeight)
{
    TestEditor editor (processor);
    editor.setSize (1898, 806);

    const auto expected = varnok::sizing::fitToWorkArea ({ 1898, 806 }, designW, designH,
                                                         displayAreaAt (editor.getScreenBounds().getCentre()));
    SizeRecorder recorder (editor);
    editor.timerCallback();

    const std::vector<Size> nudge { { expected.x, expected.y + 1 }, expected };
    EXPECT_EQ (recorder.sizes, nudge);
    EXPECT_EQ (editor.ticks, 1);

    // The next four ticks only re-apply the scale; after that the tick leaves the canvas alone.
    auto* canvas = editor.findCanvas();
    const auto scale = canvas->getTransform();

    for (int tick = 2; tick <= 5; ++tick)
    {
        canvas->setTransform ({});
        editor.timerCallback();
        EXPECT_EQ (canvas->getTransform(), scale) << "tick " << tick;
    }

    canvas->setTransform ({});
    editor.timerCallback();
    EXPECT_TRUE (canvas->getTransform().isIdentity());
    EXPECT_EQ (recorder.sizes, nudge);
    EXPECT_EQ (editor.ticks, 6);
}

TEST_F (ScaledEditorTest, WindowThatFitsIsStillNudgedOnce)
{
    TestEditor editor (processor);
    editor.setSize (1241, 527);
    ASSERT_EQ (varnok::sizing::fitToWorkArea ({ 1241, 527 }, designW, designH,
                                              displayAreaAt (editor.getScreenBounds().getCentre())),
               Size (1241, 527));

    SizeRecorder recorder (editor);
    editor.timerCallback();
    EXPECT_EQ (recorder.sizes, (std::vector<Size> { { 1241, 528 }, { 1241, 527 } }));
}

TEST_F (ScaledEditorTest, NoFittingOrNudgeWithoutAnArea)
{
    TestEditor editor (processor);
    editor.setSize (0, 0);

    SizeRecorder recorder (editor);
    editor.timerCallback();
    EXPECT_TRUE (recorder.sizes.empty());
    EXPECT_EQ (editor.ticks, 1);
}

TEST_F (ScaledEditorTest, EveryPlacementInAWindowGetsItsOwnFittingTick)
{
    TestEditor editor (processor);

    for (int i = 0; i < 6; ++i)
        editor.timerCallback();

    SizeRecorder recorder (editor);
    editor.timerCallback();
    EXPECT_TRUE (recorder.sizes.empty());

    juce::Component firstWindow;
    firstWindow.setBounds (50, 50, 1300, 600);
    firstWindow.addToDesktop (0);
    firstWindow.addChildComponent (editor);
    editor.timerCallback();
    ASSERT_EQ (recorder.sizes.size(), 2u);
    EXPECT_EQ (recorder.sizes[0].y, recorder.sizes[1].y + 1);

    editor.timerCallback();
    EXPECT_EQ (recorder.sizes.size(), 2u);

    // Another window (a new peer) brings the fitting back.
    juce::Component secondWindow;
    secondWindow.setBounds (80, 80, 1300, 600);
    secondWindow.addToDesktop (0);
    secondWindow.addChildComponent (editor);
    editor.timerCallback();
    EXPECT_EQ (recorder.sizes.size(), 4u);

    secondWindow.removeChildComponent (&editor);
}

//==============================================================================
TEST (ScaledEditorMenu, OfferedItemReflectsTheSetting)
{
    for (const bool off : { false, true })
    {
        const auto menu = VarnokScaledEditor::createContextMenu (off);
        EXPECT_EQ (menu.getNumItems(), 1);

        juce::PopupMenu::MenuItemIterator it (menu);
        ASSERT_TRUE (it.next());
        const auto& item = it.getItem();
        EXPECT_EQ (item.itemID, 1);
        EXPECT_EQ (item.text, juce::String::fromUTF8 ("Check for updates\xef\xbc\x88\xe6\x9b\xb4\xe6\x96\xb0\xe3\x82\x92"
                                                      "\xe7\xa2\xba\xe8\xaa\x8d\xe3\x81\x99\xe3\x82\x8b\xef\xbc\x89"));
        EXPECT_TRUE (item.isEnabled);
        EXPECT_EQ (item.isTicked, ! off) << "off = " << off;
        EXPECT_FALSE (it.next());
    }
}

TEST (ScaledEditorMenu, ChoosingTheItemTogglesUpdateCheckOff)
{
    juce::ValueTree tree ("PARAMS");
    const juce::Identifier key ("updateCheckOff");

    VarnokScaledEditor::toggleUpdateCheck (tree, 1);
    EXPECT_TRUE (tree.hasProperty (key));
    EXPECT_TRUE ((bool) tree[key]);

    VarnokScaledEditor::toggleUpdateCheck (tree, 1);
    EXPECT_FALSE ((bool) tree[key]);

    for (const int dismissedOrOther : { 0, 2, -1 })
    {
        VarnokScaledEditor::toggleUpdateCheck (tree, dismissedOrOther);
        EXPECT_FALSE ((bool) tree[key]) << dismissedOrOther;
    }

    juce::ValueTree fresh ("PARAMS");
    VarnokScaledEditor::toggleUpdateCheck (fresh, 0);
    EXPECT_FALSE (fresh.hasProperty (key));
}

TEST_F (ScaledEditorTest, ChoiceAfterAStateLoadLandsInTheTreeTheMenuWasOpenedFor)
{
    const auto captured = processor.apvts.state;
    processor.apvts.replaceState (processor.apvts.state.createCopy());

    VarnokScaledEditor::toggleUpdateCheck (captured, 1);
    EXPECT_TRUE ((bool) captured["updateCheckOff"]);
    EXPECT_FALSE (processor.apvts.state.hasProperty ("updateCheckOff"));
}

juce::MouseEvent mouseDownOn (juce::Component& component, juce::ModifierKeys mods, juce::Time time)
{
    const juce::Point<float> position (5.0f, 5.0f);
    return { juce::Desktop::getInstance().getMainMouseSource(), position, mods,
             juce::MouseInputSource::defaultPressure, juce::MouseInputSource::defaultOrientation,
             juce::MouseInputSource::defaultRotation, juce::MouseInputSource::defaultTiltX,
             juce::MouseInputSource::defaultTiltY, &component, &component, time, position, time, 1, false };
}

TEST_F (ScaledEditorTest, RightClickOpensTheMenuUnlessAnAncestorHandlesIt)
{
    TestEditor editor (processor);
    auto* canvas = editor.findCanvas();
    const auto right = juce::ModifierKeys (juce::ModifierKeys::rightButtonModifier);
    const auto left = juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier);

    struct Case { const char* name; juce::Component* component; juce::ModifierKeys mods; int menus; };
    const Case cases[] = {
        { "right click on a control", &editor.knob, right, 1 },
        { "right click on the canvas", canvas, right, 1 },
        { "right click on the editor", &editor, right, 1 },
        { "right click on the resizer", editor.resizableCorner.get(), right, 1 },
        { "left click on a control", &editor.knob, left, 0 },
        { "right click inside a component that handles it", &editor.ownedButton, right, 0 },
        { "right click on the component that handles it", &editor.rightClickOwner, right, 0 },
    };

    auto time = juce::Time::getCurrentTime();

    for (const auto& c : cases)
    {
        ASSERT_EQ (numModalComponents(), 0) << c.name;
        time = time + juce::RelativeTime::milliseconds (500);
        editor.mouseDown (mouseDownOn (*c.component, c.mods, time));
        EXPECT_EQ (numModalComponents(), c.menus) << c.name;
        closeAllMenus();
    }

    // Only a property that reads as true counts.
    editor.rightClickOwner.getProperties().set ("varnokHandlesRightClick", false);
    editor.mouseDown (mouseDownOn (editor.ownedButton, right, time + juce::RelativeTime::seconds (1.0)));
    EXPECT_EQ (numModalComponents(), 1);
}

TEST_F (ScaledEditorTest, NoMenuWithoutAStateTree)
{
    TestEditor editor (processor, false);
    editor.mouseDown (mouseDownOn (editor.knob, juce::ModifierKeys (juce::ModifierKeys::rightButtonModifier),
                                   juce::Time::getCurrentTime()));
    EXPECT_EQ (numModalComponents(), 0);

    editor.showContextMenu (&editor, { 10, 10 });
    EXPECT_EQ (numModalComponents(), 0);
}

// Real mouse input through the window: JUCE delivers a click on the editor itself to the editor's
// mouseDown twice (directly and as its own nested listener); it must still open one menu.
TEST_F (ScaledEditorTest, OneRealRightClickOpensExactlyOneMenu)
{
    TestEditor editor (processor);
    editor.setSize (1460, 700);
    editor.setTopLeftPosition (40, 40);
    editor.addToDesktop (0);
    editor.setVisible (true);
    auto* peer = editor.getPeer();
    ASSERT_NE (peer, nullptr);

    struct Case { const char* name; juce::Point<float> position; juce::ModifierKeys::Flags button; int menus; };
    const Case cases[] = {
        { "black strip of the editor", { 700.0f, 680.0f }, juce::ModifierKeys::rightButtonModifier, 1 },
        { "control on the canvas", { 140.0f, 140.0f }, juce::ModifierKeys::rightButtonModifier, 1 },
        { "inside a component that handles it", { 520.0f, 120.0f }, juce::ModifierKeys::rightButtonModifier, 0 },
        { "left click on the canvas", { 900.0f, 400.0f }, juce::ModifierKeys::leftButtonModifier, 0 },
    };

    auto time = juce::Time::currentTimeMillis();

    for (const auto& c : cases)
    {
        ASSERT_EQ (numModalComponents(), 0) << c.name;
        time += 1000;
        peer->handleMouseEvent (juce::MouseInputSource::InputSourceType::mouse, c.position, juce::ModifierKeys (c.button),
                                juce::MouseInputSource::defaultPressure, juce::MouseInputSource::defaultOrientation, time);
        EXPECT_EQ (numModalComponents(), c.menus) << c.name;
        closeAllMenus();
        peer->handleMouseEvent (juce::MouseInputSource::InputSourceType::mouse, c.position, juce::ModifierKeys(),
                                juce::MouseInputSource::defaultPressure, juce::MouseInputSource::defaultOrientation, time + 50);
        juce::MessageManager::getInstance()->runDispatchLoopUntil (20);
    }

    editor.removeFromDesktop();
}

// The whole road once: the menu opens, its item is chosen, the setting flips for the next editor.
TEST_F (ScaledEditorTest, ChoosingTheMenuItemSwitchesTheCheckForLaterEditors)
{
    TestEditor editor (processor);
    editor.showContextMenu (&editor.knob, { 200, 200 });
    ASSERT_EQ (numModalComponents(), 1);

    auto* menuWindow = juce::ModalComponentManager::getInstance()->getModalComponent (0);
    ASSERT_NE (menuWindow, nullptr);
    menuWindow->keyPressed (juce::KeyPress (juce::KeyPress::downKey));
    menuWindow->keyPressed (juce::KeyPress (juce::KeyPress::returnKey));

    for (int i = 0; i < 50 && ! processor.apvts.state.hasProperty ("updateCheckOff"); ++i)
        juce::MessageManager::getInstance()->runDispatchLoopUntil (10);

    EXPECT_TRUE ((bool) processor.apvts.state["updateCheckOff"]);
}
} // namespace
