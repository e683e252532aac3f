// The update dialog: layout at the sizes that matter, its texts, keys and actions, and renders with
// the software renderer that are saved as PNGs for a look (VARNOK_UPDATE_ARTEFACT_DIR).

#include "LoopbackHttpServer.h"

#include "editor/BrowserStub.h"
#include "editor/WebLauncher.h"
#include "update/UpdateChecker.h"
#include "update/VarnokUpdateDialog.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
template <typename ComponentType>
std::vector<ComponentType*> childrenOfType (juce::Component& parent)
{
    std::vector<ComponentType*> found;

    for (auto* child : parent.getChildren())
        if (auto* typed = dynamic_cast<ComponentType*> (child))
            found.push_back (typed);

    return found;
}

// The dialog's widgets as a user meets them: labels top to bottom (title, version, heading), the
// notes area and the buttons by their caption.
struct DialogParts
{
    explicit DialogParts (VarnokUpdateDialog& dialog)
    {
        const auto labels = childrenOfType<juce::Label> (dialog);
        const auto editors = childrenOfType<juce::TextEditor> (dialog);

        if (labels.size() == 3 && editors.size() == 1)
        {
            title = labels[0];
            version = labels[1];
            heading = labels[2];
            notes = editors[0];
        }

        for (auto* button : childrenOfType<juce::TextButton> (dialog))
        {
            if (button->getButtonText().startsWith ("Update"))
                update = button;
            else if (button->getButtonText().startsWith ("Skip"))
                skip = button;
            else if (button->getButtonText().startsWith ("Later"))
                later = button;
        }
    }

    bool complete() const { return title && version && heading && notes && update && skip && later; }

    juce::Label* title = nullptr;
    juce::Label* version = nullptr;
    juce::Label* heading = nullptr;
    juce::TextEditor* notes = nullptr;
    juce::TextButton* update = nullptr;
    juce::TextButton* skip = nullptr;
    juce::TextButton* later = nullptr;
};

juce::String utf8 (const char* text) { return juce::String::fromUTF8 (text); }

//==============================================================================
struct LayoutCase
{
    int width, height;
    juce::Rectangle<int> box, title, version, heading, notes, later, skip, update;
};

const LayoutCase layoutCases[] = {
    { 900, 500, { 220, 100, 460, 300 }, { 240, 120, 420, 24 }, { 240, 144, 420, 18 }, { 240, 176, 420, 16 },
      { 240, 196, 420, 102 }, { 240, 310, 157, 30 }, { 405, 310, 255, 30 }, { 240, 348, 420, 32 } },
    // 0.86 * 400 = 344, 0.86 * 260 = 223.6 -> 224; later = round (296 * 0.38) = 112.
    { 400, 260, { 28, 18, 344, 224 }, { 48, 38, 304, 24 }, { 48, 62, 304, 18 }, { 48, 94, 304, 16 },
      { 48, 114, 304, 26 }, { 48, 152, 112, 30 }, { 168, 152, 184, 30 }, { 48, 190, 304, 32 } },
    // Below the minimum the box keeps 280 by 210 and overhangs the top; later = round (232 * 0.38) = 88.
    { 300, 200, { 10, -5, 280, 210 }, { 30, 15, 240, 24 }, { 30, 39, 240, 18 }, { 30, 71, 240, 16 },
      { 30, 91, 240, 12 }, { 30, 115, 88, 30 }, { 126, 115, 144, 30 }, { 30, 153, 240, 32 } },
    // The editor's design size and a typical window size: the box is at its largest, centred.
    { 1460, 620, { 500, 160, 460, 300 }, { 520, 180, 420, 24 }, { 520, 204, 420, 18 }, { 520, 236, 420, 16 },
      { 520, 256, 420, 102 }, { 520, 370, 157, 30 }, { 685, 370, 255, 30 }, { 520, 408, 420, 32 } },
    { 1241, 527, { 390, 113, 460, 300 }, { 410, 133, 420, 24 }, { 410, 157, 420, 18 }, { 410, 189, 420, 16 },
      { 410, 209, 420, 102 }, { 410, 323, 157, 30 }, { 575, 323, 255, 30 }, { 410, 361, 420, 32 } },
};

TEST (UpdateDialogTest, LaysOutEveryTableSize)
{
    VarnokUpdateDialog dialog;
    DialogParts parts (dialog);
    ASSERT_TRUE (parts.complete());

    for (const auto& c : layoutCases)
    {
        SCOPED_TRACE (juce::String (c.width) + " by " + juce::String (c.height));
        dialog.setSize (c.width, c.height);

        EXPECT_EQ (dialog.getBoxBounds(), c.box);
        EXPECT_EQ (parts.title->getBounds(), c.title);
        EXPECT_EQ (parts.version->getBounds(), c.version);
        EXPECT_EQ (parts.heading->getBounds(), c.heading);
        EXPECT_EQ (parts.notes->getBounds(), c.notes);
        EXPECT_EQ (parts.later->getBounds(), c.later);
        EXPECT_EQ (parts.skip->getBounds(), c.skip);
        EXPECT_EQ (parts.update->getBounds(), c.update);
    }
}

TEST (UpdateDialogTest, WidgetsCarryTheirTextsAndStyles)
{
    VarnokUpdateDialog dialog;
    DialogParts parts (dialog);
    ASSERT_TRUE (parts.complete());

    EXPECT_EQ (parts.title->getText(), utf8 (u8"A New Version Is Available（新しい版があります）"));
    EXPECT_EQ (parts.heading->getText(), utf8 (u8"Change Log（変更点）"));
    EXPECT_EQ (parts.version->getText(), "");
    EXPECT_EQ (parts.update->getButtonText(), utf8 (u8"Update（更新する）"));
    EXPECT_EQ (parts.skip->getButtonText(), utf8 (u8"Skip This Version（この版は飛ばす）"));
    EXPECT_EQ (parts.later->getButtonText(), utf8 (u8"Later（あとで）"));

    EXPECT_EQ (parts.skip->getTooltip(), utf8 (u8"この版の知らせを二度と出しません（次の新しい版では また出ます）"));
    EXPECT_EQ (parts.later->getTooltip(), utf8 (u8"いまは閉じます。次に画面を開いたとき また出ます"));
    EXPECT_EQ (parts.update->getTooltip(), "");

    struct LabelStyle { juce::Label* label; float height; bool bold; juce::uint32 colour; };
    for (const auto& s : { LabelStyle { parts.title, 17.0f, true, 0xffe6ebf2 },
                           LabelStyle { parts.version, 13.0f, false, 0xff7f8a9c },
                           LabelStyle { parts.heading, 12.0f, true, 0xff7f8a9c } })
    {
        SCOPED_TRACE (s.label->getText());
        EXPECT_FLOAT_EQ (s.label->getFont().getHeight(), s.height);
        EXPECT_EQ (s.label->getFont().isBold(), s.bold);
        EXPECT_EQ (s.label->findColour (juce::Label::textColourId).getARGB(), s.colour);
        EXPECT_EQ (s.label->getJustificationType(), juce::Justification (juce::Justification::centredLeft));

        bool clicksSelf = true, clicksChildren = true;
        s.label->getInterceptsMouseClicks (clicksSelf, clicksChildren);
        EXPECT_FALSE (clicksSelf);
        EXPECT_FALSE (clicksChildren);
    }

    struct ButtonStyle { juce::TextButton* button; juce::uint32 colour; };
    for (const auto& s : { ButtonStyle { parts.update, 0xff5aa0ff }, ButtonStyle { parts.skip, 0xff2a3244 },
                           ButtonStyle { parts.later, 0xff2a3244 } })
    {
        EXPECT_EQ (s.button->findColour (juce::TextButton::buttonColourId).getARGB(), s.colour);
        EXPECT_EQ (s.button->findColour (juce::TextButton::textColourOffId).getARGB(), 0xffffffffu);
    }

    auto& notes = *parts.notes;
    EXPECT_TRUE (notes.isMultiLine());
    EXPECT_TRUE (notes.isReadOnly());
    EXPECT_FALSE (notes.isCaretVisible());
    EXPECT_FALSE (notes.isPopupMenuEnabled());
    EXPECT_FLOAT_EQ (notes.getFont().getHeight(), 12.5f);
    EXPECT_EQ (notes.findColour (juce::TextEditor::backgroundColourId).getARGB(), 0xff141926u);
    EXPECT_EQ (notes.findColour (juce::TextEditor::outlineColourId).getARGB(), 0xff3a4658u);
    EXPECT_EQ (notes.findColour (juce::TextEditor::focusedOutlineColourId).getARGB(), 0xff3a4658u);
    EXPECT_EQ (notes.findColour (juce::TextEditor::textColourId).getARGB(), 0xffe6ebf2u);

    EXPECT_TRUE (dialog.getWantsKeyboardFocus());
    for (auto* child : dialog.getChildren())
        EXPECT_TRUE (child->isVisible());
}

//==============================================================================
TEST (UpdateDialogTest, SetContentFillsVersionLineAndNotes)
{
    VarnokUpdateDialog dialog;
    DialogParts parts (dialog);
    ASSERT_TRUE (parts.complete());

    const auto placeholder = utf8 (u8"No change log was provided.／変更点の記載はありません");

    struct NotesCase { const char* given; juce::String shown; };
    const NotesCase cases[] = {
        { "", placeholder },
        { "  \n\t \r\n ", placeholder },
        { "\n\n  Faster meters\n\nFixed the graph  \n\n", "Faster meters\n\nFixed the graph" },
        { u8"・一行目\n・二行目", utf8 (u8"・一行目\n・二行目") },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.given);
        dialog.setContent ("VARNOK COMP Free", "1.0.2", "1.0.3", utf8 (c.given));
        EXPECT_EQ (parts.version->getText(), utf8 (u8"VARNOK COMP Free   v1.0.2 → v1.0.3"));
        EXPECT_EQ (parts.notes->getText(), c.shown);
        EXPECT_EQ (parts.notes->getCaretPosition(), 0);
    }

    // Shown unchanged, without any check, and replaced by the next call.
    dialog.setContent ("X", "", " 2.0-beta ", "n");
    EXPECT_EQ (parts.version->getText(), utf8 (u8"X   v → v 2.0-beta "));
    EXPECT_EQ (parts.notes->getText(), "n");
}

TEST (UpdateDialogTest, LongNotesWrapAndShowFromTheirFirstLine)
{
    VarnokUpdateDialog dialog;
    DialogParts parts (dialog);
    ASSERT_TRUE (parts.complete());
    dialog.setSize (900, 500);

    juce::StringArray lines;
    for (int i = 1; i <= 40; ++i)
        lines.add ("Line " + juce::String (i) + juce::String::repeatedString (" word", 30));

    dialog.setContent ("VARNOK COMP Free", "1.0.2", "1.0.3", lines.joinIntoString ("\n"));

    EXPECT_EQ (parts.notes->getText(), lines.joinIntoString ("\n"));
    EXPECT_EQ (parts.notes->getCaretPosition(), 0);
    // Word wrap: the text grows downwards, never sideways.
    EXPECT_GT (parts.notes->getTextHeight(), parts.notes->getHeight());
    EXPECT_LE (parts.notes->getTextWidth(), parts.notes->getWidth());
}

//==============================================================================
struct Counts
{
    int update = 0, skip = 0, later = 0;
};

void connect (VarnokUpdateDialog& dialog, Counts& counts)
{
    dialog.onUpdate = [&counts] { ++counts.update; };
    dialog.onSkipVersion = [&counts] { ++counts.skip; };
    dialog.onLater = [&counts] { ++counts.later; };
}

void pumpMessages() { juce::MessageManager::getInstance()->runDispatchLoopUntil (50); }

TEST (UpdateDialogTest, EachButtonReachesItsOwnCallback)
{
    VarnokUpdateDialog dialog;
    dialog.setSize (900, 500);
    DialogParts parts (dialog);
    ASSERT_TRUE (parts.complete());

    Counts counts;
    connect (dialog, counts);

    parts.update->triggerClick();
    pumpMessages();
    EXPECT_EQ (counts.update, 1);
    EXPECT_EQ (counts.skip + counts.later, 0);

    parts.skip->triggerClick();
    pumpMessages();
    EXPECT_EQ (counts.skip, 1);
    EXPECT_EQ (counts.update + counts.later, 1);

    parts.later->triggerClick();
    pumpMessages();
    EXPECT_EQ (counts.later, 1);

    // Update may be pressed again and again; the dialog stays as it is.
    parts.update->triggerClick();
    pumpMessages();
    EXPECT_EQ (counts.update, 2);
    EXPECT_EQ (counts.skip + counts.later, 2);
}

// A manifest from the network names a download address that a shell would run. Pressing "Update"
// must start neither a shell nor the browser: the dialog's action is wired as the editor shell
// wires it, and the address goes to the real launcher, with a stand-in xdg-open on PATH.
TEST (UpdateDialogTest, UpdateWithAHostileManifestAddressStartsNothing)
{
    // The test runner simulates "no update" for every check; this one asks the server.
    struct NoSimulatedResult
    {
        NoSimulatedResult()
        {
            if (const char* old = std::getenv ("VARNOK_UPDATE_TEST"))
                previous = old;
            ::unsetenv ("VARNOK_UPDATE_TEST");
        }

        ~NoSimulatedResult()
        {
            if (previous.isNotEmpty())
                ::setenv ("VARNOK_UPDATE_TEST", previous.toRawUTF8(), 1);
        }

        juce::String previous;
    } const noSimulatedResult;

    const edtest::BrowserStub browser;
    const auto marker = browser.file ("ran").getFullPathName();
    const auto hostile = "https://example.com/$(touch " + marker + ")`touch " + marker + "`\"; touch " + marker + "; \"";

    auto edition = std::make_unique<juce::DynamicObject>();
    edition->setProperty ("version", "9.0.0");
    edition->setProperty ("url", hostile);
    edition->setProperty ("notes", "Important fixes");
    auto product = std::make_unique<juce::DynamicObject>();
    product->setProperty ("free", juce::var (edition.release()));
    auto root = std::make_unique<juce::DynamicObject>();
    root->setProperty ("schema", 2);
    root->setProperty ("comp", juce::var (product.release()));

    LoopbackHttpServer server;
    ASSERT_TRUE (server.isListening());
    server.setRoute ("/manifest.json", LoopbackHttpServer::text (juce::JSON::toString (juce::var (root.release()))));

    UpdateChecker checker (server.urlFor ("/manifest.json"));
    checker.start();

    for (int i = 0; i < 300 && ! checker.getResult().available; ++i)
        juce::Thread::sleep (50);

    const auto info = checker.getResult();
    ASSERT_TRUE (info.available);
    ASSERT_EQ (info.url, hostile);

    VarnokUpdateDialog dialog;
    dialog.setSize (900, 500);
    dialog.setContent ("VARNOK COMP Free", "1.0.2", info.version, info.notes);
    dialog.onUpdate = [url = info.url]
    {
        if (url.isNotEmpty())
            varnok::openWebPage (juce::URL (url));
    };

    DialogParts parts (dialog);
    ASSERT_TRUE (parts.complete());
    parts.update->triggerClick();
    pumpMessages();

    juce::Thread::sleep (1000); // time for a shell or browser started in the background to act
    EXPECT_FALSE (browser.wasStarted());
    EXPECT_FALSE (juce::File (marker).exists());
}

TEST (UpdateDialogTest, UnsetCallbacksDoNothing)
{
    VarnokUpdateDialog dialog;
    DialogParts parts (dialog);
    ASSERT_TRUE (parts.complete());

    for (auto* button : { parts.update, parts.skip, parts.later })
        button->triggerClick();

    pumpMessages();
    EXPECT_TRUE (dialog.keyPressed (juce::KeyPress (juce::KeyPress::escapeKey)));
}

TEST (UpdateDialogTest, OwnerMayDeleteTheDialogFromInsideAnAction)
{
    // The shell's skip and later actions delete the dialog as their last step.
    for (int which = 0; which < 3; ++which)
    {
        auto dialog = std::make_unique<VarnokUpdateDialog>();
        DialogParts parts (*dialog);
        ASSERT_TRUE (parts.complete());

        int calls = 0;
        auto closeDialog = [&dialog, &calls] { ++calls; dialog.reset(); };

        if (which == 0)
        {
            dialog->onSkipVersion = closeDialog;
            parts.skip->triggerClick();
            pumpMessages();
        }
        else if (which == 1)
        {
            dialog->onLater = closeDialog;
            parts.later->triggerClick();
            pumpMessages();
        }
        else
        {
            dialog->onLater = closeDialog;
            EXPECT_TRUE (dialog->keyPressed (juce::KeyPress (juce::KeyPress::escapeKey)));
        }

        EXPECT_EQ (calls, 1);
        EXPECT_EQ (dialog, nullptr);
    }
}

struct KeyCase
{
    const char* name;
    juce::KeyPress key;
    bool consumed;
};

TEST (UpdateDialogTest, EscapeWithoutModifiersMeansLater)
{
    const KeyCase cases[] = {
        { "Escape", juce::KeyPress (juce::KeyPress::escapeKey), true },
        { "Shift+Escape", juce::KeyPress (juce::KeyPress::escapeKey, juce::ModifierKeys::shiftModifier, 0), false },
        { "Ctrl+Escape", juce::KeyPress (juce::KeyPress::escapeKey, juce::ModifierKeys::ctrlModifier, 0), false },
        { "Alt+Escape", juce::KeyPress (juce::KeyPress::escapeKey, juce::ModifierKeys::altModifier, 0), false },
        { "Return", juce::KeyPress (juce::KeyPress::returnKey), false },
        { "Space", juce::KeyPress (juce::KeyPress::spaceKey), false },
        { "letter", juce::KeyPress ('l'), false },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        VarnokUpdateDialog dialog;
        Counts counts;
        connect (dialog, counts);

        EXPECT_EQ (dialog.keyPressed (c.key), c.consumed);
        EXPECT_EQ (counts.later, c.consumed ? 1 : 0);
        EXPECT_EQ (counts.update + counts.skip, 0);
    }
}

//==============================================================================
// Renders as the editor would show it: the dialog over an opaque editor background.
const juce::Colour editorStandIn { 0xff808080 };

juce::Image render (VarnokUpdateDialog& dialog)
{
    juce::Image image (juce::Image::ARGB, dialog.getWidth(), dialog.getHeight(), true, juce::SoftwareImageType());
    juce::Graphics g (image);
    g.fillAll (editorStandIn);
    dialog.paintEntireComponent (g, false);
    return image;
}

void saveArtefact (const juce::Image& image, const juce::String& name)
{
    const juce::File folder (VARNOK_UPDATE_ARTEFACT_DIR);
    ASSERT_TRUE (folder.createDirectory());
    auto file = folder.getChildFile (name);
    file.deleteFile();

    juce::FileOutputStream out (file);
    ASSERT_TRUE (out.openedOk());
    ASSERT_TRUE (juce::PNGImageFormat().writeImageToStream (image, out));
}

// Channels within a tolerance; composited colours can differ by rounding.
void expectColourNear (juce::Colour actual, juce::Colour expected, int tolerance, const char* what)
{
    const auto near = [tolerance] (int a, int b) { return std::abs (a - b) <= tolerance; };
    EXPECT_TRUE (near (actual.getRed(), expected.getRed()) && near (actual.getGreen(), expected.getGreen())
                 && near (actual.getBlue(), expected.getBlue()) && near (actual.getAlpha(), expected.getAlpha()))
        << what << ": got " << actual.toDisplayString (true) << ", expected " << expected.toDisplayString (true);
}

// Pixels in an area that stand out from the background colour: how much was drawn there.
int inkIn (const juce::Image& image, juce::Rectangle<int> area, juce::Colour background)
{
    int count = 0;
    area = area.getIntersection (image.getBounds());

    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
        {
            const auto p = image.getPixelAt (x, y);
            if (std::abs (p.getRed() - background.getRed()) + std::abs (p.getGreen() - background.getGreen())
                    + std::abs (p.getBlue() - background.getBlue())
                > 120)
                ++count;
        }

    return count;
}

TEST (UpdateDialogTest, RendersAsDesigned)
{
    const juce::Colour backdrop (0xb0000000), box (0xff1b2130), line (0xff3a4658), notesBackground (0xff141926);
    const auto dimmed = editorStandIn.overlaidWith (backdrop);

    for (const auto& size : { juce::Point<int> (1241, 527), juce::Point<int> (1460, 620), juce::Point<int> (400, 260) })
    {
        SCOPED_TRACE (juce::String (size.x) + " by " + juce::String (size.y));

        VarnokUpdateDialog dialog;
        dialog.setSize (size.x, size.y);
        dialog.setContent ("VARNOK COMP Free", "1.0.2", "1.0.3",
                           utf8 (u8"・メーターの表示を速くしました\n・Fixed a rare click when bypassing\n・グラフの目盛りを直しました"));
        DialogParts parts (dialog);
        ASSERT_TRUE (parts.complete());

        const auto image = render (dialog);
        saveArtefact (image, "update-dialog-" + juce::String (size.x) + "x" + juce::String (size.y) + ".png");

        const auto b = dialog.getBoxBounds();

        // The backdrop dims the editor everywhere outside the box and its shadow.
        expectColourNear (image.getPixelAt (2, 2), dimmed, 2, "backdrop corner");
        expectColourNear (image.getPixelAt (size.x - 3, size.y - 3), dimmed, 2, "backdrop far corner");

        // The shadow darkens the backdrop right beside the box and fades out within its radius.
        const auto beside = image.getPixelAt (b.getX() - 3, b.getCentreY());
        EXPECT_LT (beside.getBrightness(), dimmed.getBrightness());
        if (b.getX() >= 30)
            expectColourNear (image.getPixelAt (b.getX() - 30, b.getCentreY()), dimmed, 2, "beyond the shadow");

        // The box's margin is its plain fill.
        expectColourNear (image.getPixelAt (b.getX() + 8, b.getCentreY()), box, 1, "box fill");
        expectColourNear (image.getPixelAt (b.getRight() - 8, b.getY() + 40), box, 1, "box fill right");

        // The separator straddles y = box top + 66: the two pixel rows around it share its colour.
        for (int x : { b.getX() + 21, b.getCentreX(), b.getRight() - 22 })
        {
            const auto above = image.getPixelAt (x, b.getY() + 65);
            const auto below = image.getPixelAt (x, b.getY() + 66);
            const int red = above.getRed() + below.getRed() - box.getRed();
            const int green = above.getGreen() + below.getGreen() - box.getGreen();
            const int blue = above.getBlue() + below.getBlue() - box.getBlue();
            expectColourNear (juce::Colour ((juce::uint8) red, (juce::uint8) green, (juce::uint8) blue), line, 3, "separator");
        }

        // Nothing of the separator beyond its ends, nor below the gap.
        expectColourNear (image.getPixelAt (b.getX() + 12, b.getY() + 66), box, 1, "before the separator");
        expectColourNear (image.getPixelAt (b.getX() + 20, b.getY() + 70), box, 1, "below the separator");

        // The outline runs along the box's edge.
        const auto edge = image.getPixelAt (b.getCentreX(), b.getY());
        EXPECT_GT (edge.getBrightness(), box.getBrightness());

        // The notes area: its own background inside the outline, in the text's left indent.
        const auto n = parts.notes->getBounds();
        expectColourNear (image.getPixelAt (n.getX() + 2, n.getBottom() - 3), notesBackground, 1, "notes background");

        // The update button is blue, the other two dark; sampled beside their captions.
        const auto u = image.getPixelAt (parts.update->getX() + 6, parts.update->getBounds().getCentreY());
        EXPECT_GT (u.getBlue(), 230);
        EXPECT_LT (u.getRed(), 140);
        const auto s = image.getPixelAt (parts.skip->getX() + 6, parts.skip->getBounds().getCentreY());
        EXPECT_LT (s.getBrightness(), 0.35f);

        // Japanese glyphs are drawn: ink right of the English part of the title and the update caption.
        const auto titleFont = parts.title->getFont();
        const auto englishTitleWidth = (int) std::ceil (juce::GlyphArrangement::getStringWidth (titleFont, "A New Version Is Available"));
        const auto japaneseTitleArea = parts.title->getBounds().withTrimmedLeft (englishTitleWidth + 6).withWidth (100);
        EXPECT_GT (inkIn (image, japaneseTitleArea, box), 60) << "no Japanese in the title";

        const auto notesArea = n.reduced (4).withHeight (18);
        EXPECT_GT (inkIn (image, notesArea, notesBackground), 40) << "no notes text";
    }
}

TEST (UpdateDialogTest, RendersPlaceholderWhenNotesAreBlank)
{
    VarnokUpdateDialog dialog;
    dialog.setSize (900, 500);
    dialog.setContent ("VARNOK COMP Free", "1.0.2", "1.0.3", " \n ");
    const auto image = render (dialog);
    saveArtefact (image, "update-dialog-no-notes-900x500.png");

    DialogParts parts (dialog);
    ASSERT_TRUE (parts.complete());
    const juce::Colour notesBackground (0xff141926);

    // The placeholder is one line: ink on the first line, none further down.
    const auto n = parts.notes->getBounds();
    EXPECT_GT (inkIn (image, n.reduced (4).withHeight (18), notesBackground), 40);
    EXPECT_EQ (inkIn (image, n.reduced (4).withTrimmedTop (30), notesBackground), 0);
}
} // namespace
