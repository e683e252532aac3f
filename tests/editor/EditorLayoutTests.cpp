#include "EditorTestSupport.h"

using Access = EditorTestAccess;
using edtest::EditorFixture;

namespace
{
using Rect = juce::Rectangle<int>;

constexpr juce::uint32 canvasColour = 0xff0c0f16;
constexpr juce::uint32 panelColour = 0xff161b26;
} // namespace

TEST_F (EditorFixture, EveryControlSitsWhereTheLayoutPutsItAtAnyWindowSize)
{
    auto& e = *editor;
    const std::pair<juce::Component*, Rect> expected[] = {
        { &Access::undo (e), { 436, 8, 62, 30 } },         { &Access::redo (e), { 502, 8, 62, 30 } },
        { &Access::getPro (e), { 582, 8, 80, 30 } },       { &Access::prev (e), { 674, 8, 34, 30 } },
        { &Access::presetBox (e), { 714, 8, 448, 30 } },   { &Access::next (e), { 1168, 8, 34, 30 } },
        { &Access::presets (e), { 1208, 8, 30, 30 } },     { &Access::slotA (e), { 1250, 8, 34, 30 } },
        { &Access::slotB (e), { 1284, 8, 34, 30 } },       { &Access::copy (e), { 1322, 8, 52, 30 } },
        { &Access::init (e), { 1386, 8, 62, 30 } },
        { &Access::sectionLabel (e, 0), { 16, 446, 104, 22 } },   { &Access::sectionLabel (e, 1), { 142, 446, 274, 22 } },
        { &Access::sectionLabel (e, 2), { 438, 446, 314, 22 } },  { &Access::sectionLabel (e, 3), { 774, 446, 219, 22 } },
        { &Access::sectionLabel (e, 4), { 1015, 446, 149, 22 } }, { &Access::sectionLabel (e, 5), { 1186, 446, 258, 22 } },
        { &Access::bypass (e), { 22, 584, 92, 22 } },
        { &Access::characterLabel (e), { 146, 584, 74, 22 } }, { &Access::characterBox (e), { 226, 584, 120, 22 } },
        { &Access::detectLabel (e), { 442, 584, 56, 22 } },    { &Access::detectBox (e), { 504, 584, 96, 22 } },
        { &Access::autoRelease (e), { 610, 584, 76, 22 } },
        { &Access::sidechainBox (e), { 776, 584, 139, 22 } },  { &Access::listen (e), { 921, 584, 70, 22 } },
        { &Access::stereoBox (e), { 1019, 584, 141, 22 } },    { &Access::autoGain (e), { 1250, 584, 130, 22 } },
        { &Access::levelMeter (e), { 1366, 50, 84, 380 } },    { &Access::grMeter (e), { 1296, 50, 66, 380 } },
        { &Access::graph (e), { 10, 50, 1278, 380 } },
    };

    // Knobs in the editor's order: IN, THRESH, RATIO, KNEE, ATTACK, RELEASE, LOOKAHEAD, MAKEUP, MIX,
    // OUT, HPF, LPF, LINK.
    const Rect knobBounds[] = { { 16, 468, 104, 114 },  { 142, 468, 91, 114 },  { 233, 468, 91, 114 }, { 324, 468, 92, 114 },
                                { 438, 468, 104, 114 }, { 542, 468, 104, 114 }, { 646, 468, 106, 114 }, { 1186, 468, 86, 114 },
                                { 1272, 468, 86, 114 }, { 1358, 468, 86, 114 }, { 774, 468, 109, 114 }, { 883, 468, 110, 114 },
                                { 1015, 468, 149, 114 } };
    const Rect sections[] = { { 8, 440, 120, 174 }, { 134, 440, 290, 174 }, { 430, 440, 330, 174 },
                              { 766, 440, 235, 174 }, { 1007, 440, 165, 174 }, { 1178, 440, 274, 174 } };

    for (auto size : { juce::Point<int> (1460, 620), juce::Point<int> (1241, 527), juce::Point<int> (1898, 806), juce::Point<int> (730, 310) })
    {
        e.setSize (size.x, size.y);

        for (const auto& [component, bounds] : expected)
            EXPECT_EQ (component->getBounds(), bounds) << component->getName() << " at " << size.toString();

        const auto knobs = Access::knobs (e);
        for (size_t i = 0; i < knobs.size(); ++i)
            EXPECT_EQ (knobs[i]->getBounds(), knobBounds[i]) << "knob " << i << " at " << size.toString();

        for (int i = 0; i < 6; ++i)
            EXPECT_EQ (Access::sectionArea (e, i), sections[i]);

        EXPECT_EQ (Access::graphArea (e), Rect (10, 50, 1278, 380));
    }
}

TEST_F (EditorFixture, PanelExistsHiddenAndTitlesLetClicksThrough)
{
    ASSERT_NE (editor->getPresetPanel(), nullptr);
    EXPECT_EQ (editor->getPresetPanel(), Access::panel (*editor));
    EXPECT_FALSE (editor->getPresetPanel()->isVisible());
    EXPECT_EQ (editor->getPresetPanel()->getParentComponent(), editor.get());
    EXPECT_EQ (Access::english (*editor), 1);
    EXPECT_EQ (editor->isEnglish(), 1);

    // The tree the editor hands the shell is the processor's own state, not a copy.
    EXPECT_EQ (editor->getStateTree(), processor.apvts.state);

    for (juce::Label* label : { &Access::detectLabel (*editor), &Access::characterLabel (*editor), &Access::sectionLabel (*editor, 0),
                                &Access::sectionLabel (*editor, 3), &Access::sectionLabel (*editor, 5) })
    {
        bool self = true, children = true;
        label->getInterceptsMouseClicks (self, children);
        EXPECT_FALSE (self) << label->getText();
        EXPECT_FALSE (children) << label->getText();
    }
}

TEST_F (EditorFixture, LockedControlsCannotBeUsed)
{
    auto& e = *editor;

    for (juce::ComboBox* box : { &Access::detectBox (e), &Access::stereoBox (e), &Access::sidechainBox (e), &Access::characterBox (e) })
    {
        EXPECT_FALSE (box->isEnabled());
        EXPECT_EQ (box->getSelectedId(), 0);
        EXPECT_EQ (box->getText(), "");
    }

    EXPECT_EQ (Access::detectBox (e).getItemText (1), "RMS");
    EXPECT_EQ (Access::characterBox (e).getNumItems(), 6);
    EXPECT_EQ (Access::characterBox (e).getItemId (5), 6);

    for (juce::TextButton* button : { &Access::listen (e), &Access::autoGain (e), &Access::autoRelease (e) })
    {
        EXPECT_FALSE (button->isEnabled());
        button->triggerClick();
        pump();
        EXPECT_FALSE (button->getToggleState()) << button->getName();
    }

    EXPECT_EQ (Access::listen (e).getTooltip(), juce::String::fromUTF8 ("検出信号そのものを再生して、コンプが何に反応しているか確認する"));
    EXPECT_TRUE (Access::bypass (e).isEnabled());
    EXPECT_TRUE (Access::bypass (e).getTooltip().isEmpty());

    // KNEE, LOOKAHEAD, MIX, HPF, LPF and LINK are display-only; the seven attached knobs work.
    const auto knobs = Access::knobs (e);
    const bool attached[] = { true, true, true, false, true, true, false, true, false, true, false, false, false };
    for (size_t i = 0; i < knobs.size(); ++i)
    {
        juce::Slider* slider = nullptr;
        for (auto* child : knobs[i]->getChildren())
            if (slider == nullptr)
                slider = dynamic_cast<juce::Slider*> (child);
        ASSERT_NE (slider, nullptr);
        EXPECT_EQ (slider->isEnabled(), attached[i]) << i;
    }
}

TEST_F (EditorFixture, BypassButtonAndParameterFollowEachOther)
{
    auto& button = Access::bypass (*editor);
    auto* bypass = processor.apvts.getParameter ("bypass");
    ASSERT_FALSE (button.getToggleState());

    button.triggerClick();
    pump();
    EXPECT_EQ (bypass->getValue(), 1.0f);

    bypass->setValueNotifyingHost (0.0f); // as a host's automation would
    pump (60);
    EXPECT_FALSE (button.getToggleState());

    bypass->setValueNotifyingHost (1.0f);
    pump (60);
    EXPECT_TRUE (button.getToggleState());
}

TEST_F (EditorFixture, CanvasPaintsHeaderPanelsAndBadges)
{
    editor->setSize (1460, 620);
    auto image = guitest::render (*editor, juce::Colours::black);
    guitest::saveArtefact (image, "editor-design-size");

    const auto canvas = juce::Colour (canvasColour);
    const auto panel = juce::Colour (panelColour);
    EXPECT_TRUE (guitest::pixelIs (image, 4, 44, canvas));
    EXPECT_TRUE (guitest::pixelIs (image, 1300, 437, canvas));
    EXPECT_TRUE (guitest::pixelIs (image, 12, 520, panel));
    EXPECT_TRUE (guitest::pixelIs (image, 900, 610, panel));

    // Accent strips along the top of the six panels.
    const std::pair<int, juce::uint32> strips[] = { { 60, 0xff8b7bf0 }, { 280, 0xff4a90e2 }, { 600, 0xff4fbf6b },
                                                    { 880, 0xff33c1c9 }, { 1090, 0xffe9608e }, { 1300, 0xffe0a13a } };
    for (const auto& [x, colour] : strips)
        EXPECT_TRUE (guitest::pixelIs (image, x, 441, juce::Colour (colour)));

    // The five painted "PRO" badges: fill at their left edge, text colour somewhere inside.
    const auto badgeFill = guitest::over (panel, 0xd9c8a24a);
    for (auto origin : { juce::Point<int> (967, 446), juce::Point<int> (1138, 446), juce::Point<int> (354, 591),
                         juce::Point<int> (694, 591), juce::Point<int> (1388, 591) })
    {
        EXPECT_TRUE (guitest::pixelIs (image, origin.x + 2, origin.y + 5, badgeFill, 6)) << origin.toString();
        EXPECT_LT (guitest::nearestDistance (image, origin.x + 13, origin.y + 5, juce::Colour (0xff1b1e24), 4), 40) << origin.toString();
    }

    // Header: white product name in its box, grey version text after it.
    EXPECT_GT (guitest::countPixelsNear (image, { 16, 0, 232, 46 }, juce::Colours::white, 20), 100);
    EXPECT_GT (guitest::countPixelsNear (image, { 248, 0, 60, 46 }, juce::Colour (0xff7f8a9c), 20), 20);
    EXPECT_EQ (guitest::countPixelsNear (image, { 16, 0, 232, 46 }, juce::Colour (0xff7f8a9c), 2), 0);
}

TEST (GridButtonTest, PaintsBackgroundAndFourSquares)
{
    for (bool highlighted : { false, true })
    {
        VarnokCompAudioProcessorEditor::GridButton button;
        EXPECT_EQ (button.getName(), "presets");
        button.setSize (30, 30);

        juce::Image image (juce::Image::ARGB, 30, 30, true, juce::SoftwareImageType());
        {
            juce::Graphics g (image);
            g.fillAll (juce::Colours::black);
            button.paintButton (g, highlighted, false);
        }

        const auto background = juce::Colour (highlighted ? 0xff2a3140 : 0xff222a37);
        const auto square = guitest::over (background, 0xd9ffffff);
        EXPECT_TRUE (guitest::pixelIs (image, 5, 15, background));
        EXPECT_TRUE (guitest::pixelIs (image, 1, 15, juce::Colours::black));
        EXPECT_TRUE (guitest::pixelIs (image, 28, 15, juce::Colours::black));

        // Squares from 9.5 to 13.5 and from 16.5 to 20.5 in each direction.
        for (int x : { 11, 18 })
            for (int y : { 11, 18 })
                EXPECT_TRUE (guitest::pixelIs (image, x, y, square)) << x << "," << y;
        EXPECT_TRUE (guitest::pixelIs (image, 15, 15, background));
    }
}

TEST (EditorLifetimeTest, FiftyEditorsOnOneProcessorLeaveItWorking)
{
    UserPresetStore::getPresetFile().deleteFile();
    VarnokCompAudioProcessor processor;
    processor.prepareToPlay (48000.0, 512);

    for (int i = 0; i < 50; ++i)
    {
        std::unique_ptr<juce::AudioProcessorEditor> editor (processor.createEditorIfNeeded());
        ASSERT_NE (editor, nullptr);
        EXPECT_EQ (processor.getActiveEditor(), editor.get());
        editor->setVisible (true);
        juce::MessageManager::getInstance()->runDispatchLoopUntil (5);
        editor.reset();
        EXPECT_EQ (processor.getActiveEditor(), nullptr);
    }

    // Still compressing: a loud block is turned down, and the meters still read it.
    juce::AudioBuffer<float> buffer (2, 512);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 512; ++i)
            buffer.setSample (c, i, (i % 2 == 0) ? 0.9f : -0.9f);
    juce::MidiBuffer midi;
    processor.processBlock (buffer, midi);
    EXPECT_LT (processor.engine.meterGainReductionDb.load(), -0.1f);
    EXPECT_FLOAT_EQ (processor.getPeak (MeterSource::Stage::input, 0), 0.9f);
}
