#include "PanelTestFixture.h"

namespace paneltest
{
namespace
{
const juce::Colour canvasColour { 0xff0c0f16 };
const juce::Colour boxColour { 0xff141a24 };
const juce::Colour boxOutline { 0xff2f3742 };
const juce::Colour separator { 0xff232c38 };
const juce::Colour cardBody { 0xff232a38 };
const juce::Colour cardBodyHovered { 0xff373d4a };
const juce::Colour saveCardBody { 0xff1c2431 };
const juce::Colour saveCardOutline { 0xff7f8a9c };
const juce::Colour userAccent { 0xff8fa0b8 };
const juce::Colour deleteHover { 0xffe0565f };
const juce::Colour tabOff { 0xff1b2330 };
const juce::Colour tabOn { 0xff2c3646 };
const juce::Colour nameFieldBackground { 0xff0f141c };
const juce::uint32 categoryAccents[] = { 0xff9aa6b8, 0xffe9608e, 0xffe0a13a, 0xffc069e0, 0xff8b7bf0, 0xff4fbf6b, 0xff4a90e2 };

struct EditorSize { int width, height; };
const EditorSize editorSizes[] = { { 1241, 527 }, { 1460, 620 } };

// The centred box for a panel of that size.
juce::Rectangle<int> boxFor (int w, int h)
{
    const auto boxW = juce::jmin (w - 60, 940);
    const auto boxH = juce::jmin (h - 60, 600);
    return { w / 2 - boxW / 2, h / 2 - boxH / 2, boxW, boxH };
}

int channelDistance (juce::Colour a, juce::Colour b)
{
    return juce::jmax (std::abs ((int) a.getRed() - (int) b.getRed()), std::abs ((int) a.getGreen() - (int) b.getGreen()),
                       std::abs ((int) a.getBlue() - (int) b.getBlue()));
}

::testing::AssertionResult pixelIs (const juce::Image& image, juce::Point<int> p, juce::Colour expected, int tolerance = 3)
{
    const auto actual = image.getPixelAt (p.x, p.y);

    if (channelDistance (actual, expected) <= tolerance)
        return ::testing::AssertionSuccess();

    return ::testing::AssertionFailure() << "pixel (" << p.x << ", " << p.y << ") is " << actual.toDisplayString (true)
                                         << ", expected " << expected.toDisplayString (true);
}

int countNear (const juce::Image& image, juce::Rectangle<int> area, juce::Colour colour, int tolerance)
{
    auto count = 0;

    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
            if (channelDistance (image.getPixelAt (x, y), colour) <= tolerance)
                ++count;

    return count;
}
} // namespace

class PanelPaintTest : public PanelTest
{
protected:
    // The editor as the software renderer draws it, with the canvas colour behind the panel.
    juce::Image render (const juce::String& artefactName)
    {
        juce::Image image (juce::Image::ARGB, parent.getWidth(), parent.getHeight(), true, juce::SoftwareImageType());

        {
            juce::Graphics g (image);
            g.fillAll (canvasColour);
            parent.paintEntireComponent (g, true);
        }

        const juce::File folder (VARNOK_PANEL_ARTEFACT_DIR);
        folder.createDirectory();
        const auto file = folder.getChildFile (artefactName + ".png");
        file.deleteFile();
        juce::FileOutputStream stream (file);
        EXPECT_TRUE (stream.openedOk()) << file.getFullPathName();
        juce::PNGImageFormat png;
        EXPECT_TRUE (png.writeImageToStream (image, stream));
        return image;
    }

    // A button that triggerClick pressed stays drawn pressed until it has been painted once and
    // its 100 ms timer has run.
    void settleClickedButtons()
    {
        juce::Image scratch (juce::Image::ARGB, parent.getWidth(), parent.getHeight(), true, juce::SoftwareImageType());
        juce::Graphics g (scratch);
        parent.paintEntireComponent (g, true);
        pump (150);
    }

    static juce::String sizeName (const EditorSize& s) { return juce::String (s.width) + "x" + juce::String (s.height); }

    void expectFrame (const juce::Image& image, juce::Rectangle<int> box, bool separatorShown, const juce::String& where)
    {
        SCOPED_TRACE (where.toStdString());
        const auto backdrop = canvasColour.overlaidWith (juce::Colour (0x9e000000));
        EXPECT_TRUE (pixelIs (image, { 5, 5 }, backdrop));
        EXPECT_TRUE (pixelIs (image, { box.getX() - 2, box.getCentreY() }, backdrop));
        EXPECT_TRUE (pixelIs (image, { box.getRight() + 1, box.getCentreY() }, backdrop));
        EXPECT_TRUE (pixelIs (image, { box.getX() + 8, box.getCentreY() }, boxColour));
        EXPECT_TRUE (pixelIs (image, { box.getX(), box.getCentreY() }, boxOutline));
        EXPECT_TRUE (pixelIs (image, { box.getRight() - 1, box.getCentreY() }, boxOutline));
        EXPECT_TRUE (pixelIs (image, { box.getCentreX(), box.getY() }, boxOutline));
        EXPECT_TRUE (pixelIs (image, { box.getCentreX(), box.getBottom() - 1 }, boxOutline));
        // The corners are rounded: the box's very corner pixel shows the backdrop.
        EXPECT_TRUE (pixelIs (image, box.getTopLeft(), backdrop, 12));

        // The title in white, 18 bold, in (boxX + 20, boxY + 14, 300, 26).
        EXPECT_GT (countNear (image, { box.getX() + 20, box.getY() + 14, 300, 26 }, juce::Colours::white, 40), 40);
        EXPECT_EQ (countNear (image, { box.getX() + 20, box.getY() + 2, 300, 10 }, juce::Colours::white, 40), 0);

        // The separator (boxX + 176, boxY + 64, 1, contentH - 44) in the middle of the tab gap.
        const auto contentH = box.getHeight() - 40;
        const juce::Rectangle<int> line (box.getX() + 176, box.getY() + 64, 1, contentH - 44);

        for (auto y : { line.getY(), line.getCentreY(), line.getBottom() - 1 })
        {
            EXPECT_TRUE (pixelIs (image, { line.getX(), y }, separatorShown ? separator : boxColour));
            EXPECT_TRUE (pixelIs (image, { line.getX() - 1, y }, boxColour));
            EXPECT_TRUE (pixelIs (image, { line.getX() + 1, y }, boxColour));
        }

        EXPECT_TRUE (pixelIs (image, { line.getX(), line.getBottom() }, boxColour));
    }

    // A factory or user tile: body, top strip and dot in the accent.
    void expectTile (const juce::Image& image, juce::Component& tile, juce::Colour body, juce::Colour accent)
    {
        SCOPED_TRACE (tile.getName().toStdString());
        EXPECT_TRUE (pixelIs (image, inEditor (tile, { tile.getWidth() / 2, 45 }), body));
        EXPECT_TRUE (pixelIs (image, inEditor (tile, { tile.getWidth() / 2, 5 }), accent));
        EXPECT_TRUE (pixelIs (image, inEditor (tile, { 20, 26 }), accent));
        EXPECT_TRUE (pixelIs (image, inEditor (tile, { 20, 36 }), body));
        // Its 4-pixel margin shows the box behind it.
        EXPECT_TRUE (pixelIs (image, inEditor (tile, { tile.getWidth() / 2, 2 }), boxColour));
        EXPECT_TRUE (pixelIs (image, inEditor (tile, { 2, 43 }), boxColour));
        // The title at the bottom, white and 13 bold.
        EXPECT_GT (countNear (image, { inEditor (tile, { 10, 60 }), inEditor (tile, { tile.getWidth() - 10, 78 }) },
                              juce::Colours::white, 60),
                   15);
    }
};

// A factory category at the editor's first size and at the design size.
TEST_F (PanelPaintTest, FactoryCategoryAtTheEditorSizes)
{
    for (const auto& size : editorSizes)
    {
        setEditorSize (size.width, size.height);
        panel->open();
        selectTab ("Vocal");
        settleClickedButtons();
        const auto image = render ("vocal-" + sizeName (size));
        const auto box = boxFor (size.width, size.height);

        expectFrame (image, box, true, sizeName (size));

        const auto vocals = cards();
        ASSERT_EQ (vocals.size(), 3u);

        for (auto* tile : vocals)
            expectTile (image, *tile, cardBody, juce::Colour (categoryAccents[1]));

        // The selected tab is drawn lighter than the others (by the look-and-feel in force).
        for (auto* t : tabs())
        {
            const auto p = inEditor (*t, { 8, t->getHeight() / 2 });
            EXPECT_TRUE (pixelIs (image, p, t->getName() == "Vocal" ? tabOn : tabOff, 6)) << t->getName();
        }
    }
}

// Each factory category has its own accent from the palette, by the category's index.
TEST_F (PanelPaintTest, CategoryAccentsFollowThePalette)
{
    setEditorSize (1460, 620);
    panel->open();
    const auto allTabs = tabs();

    for (int i = 0; i < 7; ++i)
    {
        selectTab (allTabs[(size_t) i]->getName());
        settleClickedButtons();
        const auto image = render ("category-" + juce::String (i));

        for (auto* tile : cards())
            EXPECT_TRUE (pixelIs (image, inEditor (*tile, { 20, 26 }), juce::Colour (categoryAccents[i])))
                << allTabs[(size_t) i]->getName() << " / " << tile->getName();
    }
}

// User tiles with their crosses, the save tile, and the hover states driven by a real mouse.
TEST_F (PanelPaintTest, MyPresetsWithHoverStates)
{
    addUserPresets (4);
    ASSERT_TRUE (processor->userPresets.saveCurrentAs ("A rather long preset name that cannot fit on one tile at all"));

    for (const auto& size : editorSizes)
    {
        setEditorSize (size.width, size.height);
        putOnDesktop();
        panel->open();
        selectTab ("My Presets");

        auto* first = card ("User 1");
        auto* second = card ("User 2");
        auto* third = card ("User 3");
        auto* saveTile = cards().back();
        ASSERT_TRUE (first != nullptr && second != nullptr && third != nullptr);
        ASSERT_EQ (saveTile->getName(), "+ Save Current");

        // No hover: a dim cross on every user tile.
        moveMouse ({ 2, 2 });
        auto image = render ("mypresets-" + sizeName (size));
        expectFrame (image, boxFor (size.width, size.height), true, sizeName (size));

        for (auto* tile : { first, second, third })
        {
            expectTile (image, *tile, cardBody, userAccent);
            const auto onCross = inEditor (*tile, { tile->getWidth() - 20, 14 });
            EXPECT_TRUE (pixelIs (image, onCross, cardBody.overlaidWith (juce::Colour (0x8cffffff)), 6));
        }

        // The save tile: darker body, grey outline, no strip and no dot.
        EXPECT_TRUE (pixelIs (image, inEditor (*saveTile, { saveTile->getWidth() / 2, 40 }), saveCardBody));
        EXPECT_TRUE (pixelIs (image, inEditor (*saveTile, { 4, 43 }), saveCardOutline, 6));
        EXPECT_TRUE (pixelIs (image, inEditor (*saveTile, { saveTile->getWidth() / 2, 4 }), saveCardOutline, 6));
        EXPECT_TRUE (pixelIs (image, inEditor (*saveTile, { saveTile->getWidth() / 2, 6 }), saveCardBody));
        EXPECT_TRUE (pixelIs (image, inEditor (*saveTile, { 20, 26 }), saveCardBody));

        // Over the cross of the second tile: its body brightens, a red disc with a white cross.
        moveMouse (inEditor (*second, { second->getWidth() - 17, 17 }));
        pump (10);
        image = render ("mypresets-hover-delete-" + sizeName (size));
        EXPECT_TRUE (pixelIs (image, inEditor (*second, { second->getWidth() / 2, 45 }), cardBodyHovered));
        EXPECT_TRUE (pixelIs (image, inEditor (*second, { second->getWidth() - 25, 17 }), deleteHover));
        EXPECT_TRUE (pixelIs (image, inEditor (*second, { second->getWidth() - 20, 14 }), juce::Colours::white, 6));
        EXPECT_TRUE (pixelIs (image, inEditor (*first, { first->getWidth() / 2, 45 }), cardBody));

        // Over the body of the third: brighter body, dim cross, no disc; the second is plain again.
        moveMouse (inEditor (*third, { 40, 50 }));
        pump (10);
        image = render ("mypresets-hover-body-" + sizeName (size));
        EXPECT_TRUE (pixelIs (image, inEditor (*third, { third->getWidth() / 2, 45 }), cardBodyHovered));
        EXPECT_TRUE (pixelIs (image, inEditor (*third, { third->getWidth() - 25, 17 }), cardBodyHovered));
        EXPECT_TRUE (pixelIs (image, inEditor (*third, { third->getWidth() - 20, 14 }),
                              cardBodyHovered.overlaidWith (juce::Colour (0x8cffffff)), 6));
        EXPECT_TRUE (pixelIs (image, inEditor (*second, { second->getWidth() / 2, 45 }), cardBody));
        EXPECT_TRUE (pixelIs (image, inEditor (*second, { second->getWidth() - 25, 17 }), cardBody));

        // The hovered save tile.
        moveMouse (inEditor (*saveTile, { 40, 50 }));
        pump (10);
        image = render ("mypresets-hover-save-" + sizeName (size));
        EXPECT_TRUE (pixelIs (image, inEditor (*saveTile, { saveTile->getWidth() / 2, 40 }), juce::Colour (0xff303743)));

        parent.removeFromDesktop();
    }
}

// Name entry: the strip hides the browser, the prompt above a dark field.
TEST_F (PanelPaintTest, NameEntryAtTheEditorSizes)
{
    for (const auto& size : editorSizes)
    {
        setEditorSize (size.width, size.height);
        panel->open();
        selectTab ("My Presets");
        tapCard (*cards().back());
        nameField().setText ("My Vocal");
        const auto image = render ("name-entry-" + sizeName (size));
        const auto box = boxFor (size.width, size.height);

        expectFrame (image, box, false, sizeName (size));

        // The tab column and the card area are covered.
        EXPECT_TRUE (pixelIs (image, { box.getX() + 60, box.getY() + 100 }, boxColour));
        EXPECT_TRUE (pixelIs (image, { box.getX() + 300, box.getY() + 100 }, boxColour));

        const auto cx = size.width / 2;
        const auto cy = size.height / 2;
        EXPECT_GT (countNear (image, { cx - 220, cy - 48, 440, 22 }, juce::Colours::white, 40), 40);
        EXPECT_TRUE (pixelIs (image, { cx + 100, cy }, nameFieldBackground));
        // The typed text in white inside the field.
        EXPECT_GT (countNear (image, { cx - 218, cy - 18, 200, 36 }, juce::Colours::white, 60), 20);
    }
}

// The Japanese texts, for a person to look at; the title area must hold drawn glyphs.
TEST_F (PanelPaintTest, JapaneseTextsAtTheDesignSize)
{
    setEditorSize (1460, 620);
    panel->english = 0;
    addUserPresets (2);
    panel->open();
    selectTab ("My Presets");
    settleClickedButtons();
    const auto box = boxFor (1460, 620);
    auto image = render ("japanese-mypresets-1460x620");
    EXPECT_GT (countNear (image, { box.getX() + 20, box.getY() + 14, 300, 26 }, juce::Colours::white, 40), 40);

    tapCard (*cards().back());
    image = render ("japanese-name-entry-1460x620");
    EXPECT_GT (countNear (image, { 730 - 220, 310 - 48, 440, 22 }, juce::Colours::white, 40), 40);
}
} // namespace paneltest
