#include "VarnokUpdateDialog.h"

#include "editor/BilingualText.h"

namespace
{
// The Japanese texts are written as UTF-8 escapes so that every compiler reads them the same way.
constexpr BilingualText titleText { "\xe6\x96\xb0\xe3\x81\x97\xe3\x81\x84\xe7\x89\x88\xe3\x81\x8c\xe3\x81\x82\xe3\x82\x8a"
                                    "\xe3\x81\xbe\xe3\x81\x99", // 新しい版があります
                                    "A New Version Is Available" };
constexpr BilingualText changeLogText { "\xe5\xa4\x89\xe6\x9b\xb4\xe7\x82\xb9", // 変更点
                                        "Change Log" };
constexpr BilingualText noChangeLogText { "\xe5\xa4\x89\xe6\x9b\xb4\xe7\x82\xb9\xe3\x81\xae\xe8\xa8\x98\xe8\xbc\x89\xe3\x81"
                                          "\xaf\xe3\x81\x82\xe3\x82\x8a\xe3\x81\xbe\xe3\x81\x9b\xe3\x82\x93", // 変更点の記載はありません
                                          "No change log was provided." };
constexpr BilingualText skipText { "\xe3\x81\x93\xe3\x81\xae\xe7\x89\x88\xe3\x81\xaf\xe9\xa3\x9b\xe3\x81\xb0\xe3\x81\x99", // この版は飛ばす
                                   "Skip This Version" };
constexpr BilingualText updateText { "\xe6\x9b\xb4\xe6\x96\xb0\xe3\x81\x99\xe3\x82\x8b", // 更新する
                                     "Update" };
constexpr BilingualText laterText { "\xe3\x81\x82\xe3\x81\xa8\xe3\x81\xa7", // あとで
                                    "Later" };

// この版の知らせを二度と出しません（次の新しい版では また出ます）
constexpr const char* skipTooltip = "\xe3\x81\x93\xe3\x81\xae\xe7\x89\x88\xe3\x81\xae\xe7\x9f\xa5\xe3\x82\x89\xe3\x81\x9b\xe3"
                                    "\x82\x92\xe4\xba\x8c\xe5\xba\xa6\xe3\x81\xa8\xe5\x87\xba\xe3\x81\x97\xe3\x81\xbe\xe3\x81"
                                    "\x9b\xe3\x82\x93\xef\xbc\x88\xe6\xac\xa1\xe3\x81\xae\xe6\x96\xb0\xe3\x81\x97\xe3\x81\x84"
                                    "\xe7\x89\x88\xe3\x81\xa7\xe3\x81\xaf \xe3\x81\xbe\xe3\x81\x9f\xe5\x87\xba\xe3\x81\xbe\xe3"
                                    "\x81\x99\xef\xbc\x89";
// いまは閉じます。次に画面を開いたとき また出ます
constexpr const char* laterTooltip = "\xe3\x81\x84\xe3\x81\xbe\xe3\x81\xaf\xe9\x96\x89\xe3\x81\x98\xe3\x81\xbe\xe3\x81\x99\xe3"
                                     "\x80\x82\xe6\xac\xa1\xe3\x81\xab\xe7\x94\xbb\xe9\x9d\xa2\xe3\x82\x92\xe9\x96\x8b\xe3\x81"
                                     "\x84\xe3\x81\x9f\xe3\x81\xa8\xe3\x81\x8d \xe3\x81\xbe\xe3\x81\x9f\xe5\x87\xba\xe3\x81\xbe"
                                     "\xe3\x81\x99";

constexpr const char* fullWidthSolidus = "\xef\xbc\x8f"; // ／
constexpr const char* rightArrow = "\xe2\x86\x92";       // →

const juce::Colour backdropColour { 0xb0000000 };
const juce::Colour shadowColour { 0x99000000 };
const juce::Colour boxColour { 0xff1b2130 };
const juce::Colour lineColour { 0xff3a4658 };
const juce::Colour brightTextColour { 0xffe6ebf2 };
const juce::Colour dimTextColour { 0xff7f8a9c };
const juce::Colour notesBackgroundColour { 0xff141926 };
const juce::Colour updateButtonColour { 0xff5aa0ff };
const juce::Colour quietButtonColour { 0xff2a3244 };

// The owner may delete the dialog from inside an action, which destroys the stored callback while
// it runs; calling a copy keeps the function alive until it returns.
void callCopyOf (const std::function<void()>& callback)
{
    if (auto copy = callback)
        copy();
}
} // namespace

VarnokUpdateDialog::VarnokUpdateDialog()
{
    styleLabel (titleLabel, 17.0f, true, brightTextColour);
    styleLabel (versionLabel, 13.0f, false, dimTextColour);
    styleLabel (changeLogLabel, 12.0f, true, dimTextColour);

    titleLabel.setText (varnok::joinBilingual (titleText), juce::dontSendNotification);
    changeLogLabel.setText (varnok::joinBilingual (changeLogText), juce::dontSendNotification);

    notesEditor.setMultiLine (true, true);
    notesEditor.setReadOnly (true);
    notesEditor.setScrollbarsShown (true);
    notesEditor.setCaretVisible (false);
    notesEditor.setPopupMenuEnabled (false);
    notesEditor.setFont (juce::FontOptions (12.5f, juce::Font::plain));
    notesEditor.setColour (juce::TextEditor::backgroundColourId, notesBackgroundColour);
    notesEditor.setColour (juce::TextEditor::outlineColourId, lineColour);
    notesEditor.setColour (juce::TextEditor::focusedOutlineColourId, lineColour);
    notesEditor.setColour (juce::TextEditor::textColourId, brightTextColour);
    addAndMakeVisible (notesEditor);

    styleButton (updateButton, varnok::joinBilingual (updateText), updateButtonColour);
    styleButton (skipButton, varnok::joinBilingual (skipText), quietButtonColour);
    styleButton (laterButton, varnok::joinBilingual (laterText), quietButtonColour);

    // Nothing of the dialog is touched after a callback: the owner may have deleted it.
    updateButton.onClick = [this] { callCopyOf (onUpdate); };
    skipButton.onClick = [this] { callCopyOf (onSkipVersion); };
    laterButton.onClick = [this] { callCopyOf (onLater); };

    skipButton.setTooltip (juce::String::fromUTF8 (skipTooltip));
    laterButton.setTooltip (juce::String::fromUTF8 (laterTooltip));

    setWantsKeyboardFocus (true);
}

void VarnokUpdateDialog::styleLabel (juce::Label& label, float fontHeight, bool bold, juce::Colour colour)
{
    label.setColour (juce::Label::textColourId, colour);
    label.setFont (juce::FontOptions (fontHeight, bold ? juce::Font::bold : juce::Font::plain));
    label.setJustificationType (juce::Justification::centredLeft);
    label.setInterceptsMouseClicks (false, false);
    addAndMakeVisible (label);
}

void VarnokUpdateDialog::styleButton (juce::TextButton& button, const juce::String& text, juce::Colour colour)
{
    button.setButtonText (text);
    button.setColour (juce::TextButton::buttonColourId, colour);
    button.setColour (juce::TextButton::textColourOffId, juce::Colours::white);
    addAndMakeVisible (button);
}

void VarnokUpdateDialog::setContent (const juce::String& productName,
                                     const juce::String& currentVersion,
                                     const juce::String& newVersion,
                                     const juce::String& notes)
{
    versionLabel.setText (productName + "   v" + currentVersion + " " + juce::String::fromUTF8 (rightArrow) + " v" + newVersion,
                          juce::dontSendNotification);

    const auto trimmedNotes = notes.trim();
    const auto shownNotes = trimmedNotes.isNotEmpty()
                                ? trimmedNotes
                                : juce::String::fromUTF8 (noChangeLogText.english) + juce::String::fromUTF8 (fullWidthSolidus)
                                      + juce::String::fromUTF8 (noChangeLogText.japanese);

    notesEditor.setText (shownNotes, false);
    notesEditor.setCaretPosition (0);
}

juce::Rectangle<int> VarnokUpdateDialog::getBoxBounds() const
{
    const auto width = getWidth();
    const auto height = getHeight();
    const auto boxW = juce::jlimit (280, 460, juce::roundToInt (0.86 * width));
    const auto boxH = juce::jlimit (210, 300, juce::roundToInt (0.86 * height));
    return { width / 2 - boxW / 2, height / 2 - boxH / 2, boxW, boxH };
}

void VarnokUpdateDialog::paint (juce::Graphics& g)
{
    g.fillAll (backdropColour);

    const auto box = getBoxBounds();
    juce::DropShadow (shadowColour, 18, {}).drawForRectangle (g, box);

    g.setColour (boxColour);
    g.fillRoundedRectangle (box.toFloat(), 10.0f);

    g.setColour (lineColour);
    g.drawRoundedRectangle (box.toFloat(), 10.0f, 1.0f);

    const auto lineY = (float) (box.getY() + 66);
    const auto lineX = (float) (box.getX() + 20);
    g.drawLine (lineX, lineY, lineX + (float) juce::jmax (box.getWidth() - 40, 0), lineY, 1.0f);
}

bool VarnokUpdateDialog::keyPressed (const juce::KeyPress& key)
{
    const auto mods = key.getModifiers();

    if (key.getKeyCode() != juce::KeyPress::escapeKey || mods.isShiftDown() || mods.isCtrlDown() || mods.isAltDown())
        return false;

    callCopyOf (onLater);
    return true;
}

void VarnokUpdateDialog::resized()
{
    auto area = getBoxBounds().reduced (20);

    titleLabel.setBounds (area.removeFromTop (24));
    versionLabel.setBounds (area.removeFromTop (18));
    area.removeFromTop (14);

    updateButton.setBounds (area.removeFromBottom (32));
    area.removeFromBottom (8);
    auto row = area.removeFromBottom (30);
    area.removeFromBottom (12);

    changeLogLabel.setBounds (area.removeFromTop (16));
    area.removeFromTop (4);
    notesEditor.setBounds (area);

    const auto laterWidth = juce::jlimit (0, row.getWidth(), juce::roundToInt ((row.getWidth() - 8) * 0.38));
    laterButton.setBounds (row.removeFromLeft (laterWidth));
    row.removeFromLeft (8);
    skipButton.setBounds (row);
}
