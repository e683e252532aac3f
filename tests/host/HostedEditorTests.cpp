// The plug-in's editor opened by a host: in a real window under the X server, resized by the
// host, and looked at on screen.
#include "HostFixture.h"
#include "XInput.h"
#include "XScreenshot.h"

#include <gtest/gtest.h>

using varnok::test::createHostedInstance;

namespace
{
void pump (int ms) { juce::MessageManager::getInstance()->runDispatchLoopUntil (ms); }

// Runs the message loop until the condition holds or about five seconds have passed.
template <typename Condition>
bool pumpUntil (Condition condition)
{
    for (int i = 0; i < 100 && ! condition(); ++i)
        pump (50);
    return condition();
}

// A plain top-level window holding the plug-in's view, as a host's plug-in window would.
struct PluginWindow : juce::DocumentWindow
{
    explicit PluginWindow (juce::AudioProcessorEditor* editor)
        : juce::DocumentWindow ("VARNOK COMP Free", juce::Colours::darkgrey, 0, true)
    {
        setUsingNativeTitleBar (false);
        setTitleBarHeight (0);
        setContentNonOwned (editor, true);
        setTopLeftPosition (20, 20);
        setVisible (true);
    }

    void closeButtonPressed() override {}
};

juce::Image toImage (const std::vector<std::uint32_t>& pixels, int width, int height)
{
    juce::Image image (juce::Image::RGB, width, height, false, juce::SoftwareImageType());
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixelAt (x, y, juce::Colour (pixels[(size_t) (y * width + x)]));
    return image;
}

int distance (juce::Colour a, juce::Colour b)
{
    return juce::jmax (std::abs (a.getRed() - b.getRed()), std::abs (a.getGreen() - b.getGreen()), std::abs (a.getBlue() - b.getBlue()));
}

juce::Image screenshotOf (juce::Component& component, const juce::String& artefactName)
{
    const auto area = component.getScreenBounds();
    std::vector<std::uint32_t> pixels;
    EXPECT_TRUE (varnok::test::grabScreen (area.getX(), area.getY(), area.getWidth(), area.getHeight(), pixels));
    if (pixels.empty())
        return {};

    auto image = toImage (pixels, area.getWidth(), area.getHeight());
    const auto file = juce::File (VARNOK_HOST_ARTEFACT_DIR).getChildFile (artefactName + ".png");
    file.getParentDirectory().createDirectory();
    file.deleteFile();
    juce::FileOutputStream stream (file);
    juce::PNGImageFormat().writeImageToStream (image, stream);
    return image;
}

// The colour at a point given in design pixels of the 1460 by 620 canvas.
juce::Colour atDesignPoint (const juce::Image& image, float x, float y)
{
    const auto scale = (float) image.getWidth() / 1460.0f;
    return image.getPixelAt (juce::roundToInt (x * scale), juce::roundToInt (y * scale));
}

void expectDesignedLook (const juce::Image& image)
{
    ASSERT_TRUE (image.isValid());
    const auto canvas = juce::Colour (0xff0c0f16);
    const auto panel = juce::Colour (0xff161b26);

    EXPECT_LE (distance (atDesignPoint (image, 4.0f, 44.0f), canvas), 4);
    EXPECT_LE (distance (atDesignPoint (image, 1300.0f, 436.0f), canvas), 4);
    EXPECT_LE (distance (atDesignPoint (image, 12.0f, 520.0f), panel), 4);
    EXPECT_LE (distance (atDesignPoint (image, 900.0f, 610.0f), panel), 4);
    EXPECT_LE (distance (atDesignPoint (image, 600.0f, 441.5f), juce::Colour (0xff4fbf6b)), 24); // TIMING strip
    EXPECT_LE (distance (atDesignPoint (image, 620.0f, 22.0f), juce::Colour (0xff5aa0ff)), 24);  // "Get PRO"
}
} // namespace

TEST (HostedEditorTest, OpensInAWindowResizesWithinItsLimitsAndLooksAsDesigned)
{
    auto instance = createHostedInstance();
    ASSERT_NE (instance, nullptr);
    ASSERT_TRUE (instance->hasEditor());
    instance->prepareToPlay (48000.0, 512);

    std::unique_ptr<juce::AudioProcessorEditor> editor (instance->createEditorIfNeeded());
    ASSERT_NE (editor, nullptr);
    PluginWindow window (editor.get());

    // The first size: 0.85 of the design size, which the display (1920 by 1080) does not limit.
    EXPECT_TRUE (pumpUntil ([&] { return editor->getWidth() == 1241 && editor->getHeight() == 527; }))
        << editor->getWidth() << "x" << editor->getHeight();
    pump (1000); // let the plug-in's own window paint
    expectDesignedLook (screenshotOf (*editor, "hosted-editor-first-size"));

    // The host asks for other sizes; the plug-in keeps its aspect ratio and limits.
    const std::tuple<int, int, int, int> requests[] = {
        { 1898, 806, 1898, 806 }, // 1.3 times the design size
        { 3000, 1300, 1898, 806 }, // above the limit
        { 300, 100, 730, 310 },    // below it
    };

    for (const auto& [w, h, expectedW, expectedH] : requests)
    {
        editor->setSize (w, h);
        const auto settled = [&, ew = expectedW, eh = expectedH]
        { return std::abs (editor->getWidth() - ew) <= 1 && std::abs (editor->getHeight() - eh) <= 1; };
        EXPECT_TRUE (pumpUntil (settled)) << w << "x" << h << " gave " << editor->getWidth() << "x" << editor->getHeight();
    }

    editor->setSize (1600, 680);
    pump (500);
    EXPECT_NEAR ((double) editor->getWidth() / editor->getHeight(), 1460.0 / 620.0, 0.01);

    editor->setSize (1898, 806);
    EXPECT_TRUE (pumpUntil ([&] { return editor->getWidth() == 1898; }));
    pump (1000);
    expectDesignedLook (screenshotOf (*editor, "hosted-editor-1.3x"));

    window.clearContentComponent();
    editor.reset();
    instance->releaseResources();
}

juce::AudioProcessorParameter* findParameter (juce::AudioPluginInstance& instance, const juce::String& name)
{
    for (auto* p : instance.getParameters())
        if (p->getName (100) == name)
            return p;

    return nullptr;
}

// The undo shortcuts typed on the X server's keyboard into the plug-in's own window, as a person
// types them: the host changes a parameter (the plug-in records it in its undo history), and
// each key either takes it back, brings it again or leaves it alone.
TEST (HostedEditorTest, UndoShortcutsTypedIntoTheWindow)
{
    auto instance = createHostedInstance();
    ASSERT_NE (instance, nullptr);
    instance->prepareToPlay (48000.0, 512);

    std::unique_ptr<juce::AudioProcessorEditor> editor (instance->createEditorIfNeeded());
    ASSERT_NE (editor, nullptr);
    PluginWindow window (editor.get());
    ASSERT_TRUE (pumpUntil ([&] { return editor->getWidth() == 1241; }));
    pump (500);

    auto* threshold = findParameter (*instance, "Threshold");
    ASSERT_NE (threshold, nullptr);
    const auto before = threshold->getValue();
    const auto changed = before > 0.5f ? 0.2f : 0.8f;

    // A click on bare canvas, left of the controls: the plug-in takes the keyboard focus there.
    const auto scale = (float) editor->getWidth() / 1460.0f;
    const auto spot = editor->getScreenPosition() + juce::Point<float> (4.0f, 300.0f).transformedBy (juce::AffineTransform::scale (scale)).roundToInt();
    ASSERT_TRUE (varnok::test::clickAt (spot.x, spot.y));
    pump (300);
    const auto plugInWindow = varnok::test::windowAt (spot.x, spot.y);
    EXPECT_NE (plugInWindow, 0u);
    EXPECT_EQ (varnok::test::focusedWindow(), plugInWindow) << "the click did not give the plug-in the keyboard focus";

    threshold->setValueNotifyingHost (changed);
    pump (500); // the plug-in moves the new value into its state, and its undo history, on its timer

    const auto reaches = [&] (float expected) { return pumpUntil ([&] { return std::abs (threshold->getValue() - expected) < 1.0e-4f; }); };

    struct Step
    {
        const char* name;
        const char* key;
        varnok::test::KeyModifiers modifiers;
        float expected;
    };

    const Step steps[] = {
        { "Z", "z", {}, changed },
        { "Shift+Z", "z", { false, true, false }, changed },
        { "Ctrl+Z", "z", { true, false, false }, before },
        { "Ctrl+Shift+Z", "z", { true, true, false }, changed },
        { "Ctrl+Alt+Z", "z", { true, false, true }, before },
        { "Ctrl+Y", "y", { true, false, false }, changed },
        { "Ctrl+Z again", "z", { true, false, false }, before },
        { "Ctrl+Shift+Y", "y", { true, true, false }, changed },
        { "Y", "y", {}, changed },
    };

    for (const auto& step : steps)
    {
        ASSERT_TRUE (varnok::test::typeKey (step.key, step.modifiers)) << step.name;
        pump (400); // a key that does nothing must have had its chance to do something
        EXPECT_TRUE (reaches (step.expected)) << step.name << ": " << threshold->getValue() << " instead of " << step.expected;
    }

    window.clearContentComponent();
    editor.reset();
    instance->releaseResources();
}

TEST (HostedEditorTest, OpeningAndClosingManyTimesLeavesTheProcessorWorking)
{
    auto instance = createHostedInstance();
    ASSERT_NE (instance, nullptr);
    instance->prepareToPlay (48000.0, 512);

    for (int i = 0; i < 50; ++i)
    {
        std::unique_ptr<juce::AudioProcessorEditor> editor (instance->createEditorIfNeeded());
        ASSERT_NE (editor, nullptr) << i;
        {
            PluginWindow window (editor.get());
            pump (10);
            window.clearContentComponent();
        }
        editor.reset();
    }

    juce::AudioBuffer<float> buffer (2, 512);
    buffer.clear();
    buffer.setSample (0, 100, 0.05f);
    juce::MidiBuffer midi;
    instance->processBlock (buffer, midi);
    EXPECT_NEAR (buffer.getSample (0, 100), 0.05f, 1.0e-6f); // far below the threshold: unchanged
    instance->releaseResources();
}
