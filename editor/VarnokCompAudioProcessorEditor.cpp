#include "VarnokCompAudioProcessorEditor.h"

#include "ChoiceLists.h"
#include "WebLauncher.h"
#include "processor/PluginIdentity.h"
#include "processor/PluginProcessor.h"
#include "widgets/ProBadge.h"

namespace
{
namespace colours
{
    constexpr juce::uint32 background = 0xff0c0f16;
    constexpr juce::uint32 panel = 0xff161b26;
    constexpr juce::uint32 primaryText = 0xffffffff;
    constexpr juce::uint32 secondaryText = 0xff7f8a9c;
    constexpr juce::uint32 toggleTextOn = 0xff000000;
    constexpr juce::uint32 neutralAccent = 0xff9aa6b8;
    constexpr juce::uint32 input = 0xff8b7bf0;
    constexpr juce::uint32 compression = 0xff4a90e2;
    constexpr juce::uint32 timing = 0xff4fbf6b;
    constexpr juce::uint32 sidechain = 0xff33c1c9;
    constexpr juce::uint32 stereo = 0xffe9608e;
    constexpr juce::uint32 output = 0xffe0a13a;
    constexpr juce::uint32 getProButton = 0xff5aa0ff;
    constexpr juce::uint32 gridBackground = 0xff222a37;
    constexpr juce::uint32 gridHighlighted = 0xff2a3140;
    constexpr juce::uint32 gridSquares = 0xd9ffffff;
} // namespace colours

enum Section
{
    inputSection,
    compressionSection,
    timingSection,
    sidechainSection,
    stereoSection,
    outputSection
};

const std::array<juce::uint32, 6> sectionAccents { colours::input, colours::compression, colours::timing,
                                                   colours::sidechain, colours::stereo, colours::output };
const std::array<const char*, 6> sectionTitles { "INPUT", "COMPRESSION", "TIMING", "SIDECHAIN", "STEREO", "OUTPUT" };

constexpr int userPresetIdBase = 1000;

juce::FontOptions font (float height, bool bold)
{
    return juce::FontOptions (height, bold ? juce::Font::bold : juce::Font::plain);
}

// Splits a knob row into thirds; the last one takes the remainder.
void layoutThirds (juce::Rectangle<int> row, juce::Component& a, juce::Component& b, juce::Component& c)
{
    const auto third = row.getWidth() / 3;
    a.setBounds (row.removeFromLeft (third));
    b.setBounds (row.removeFromLeft (third));
    c.setBounds (row);
}
} // namespace

//==============================================================================
VarnokCompAudioProcessorEditor::GridButton::GridButton() : juce::Button ("presets") {}

void VarnokCompAudioProcessorEditor::GridButton::paintButton (juce::Graphics& g, bool highlighted, bool)
{
    const auto w = (float) juce::jmax (getWidth() - 6, 0);
    const auto h = (float) juce::jmax (getHeight() - 6, 0);

    g.setColour (juce::Colour (highlighted ? colours::gridHighlighted : colours::gridBackground));
    g.fillRoundedRectangle (3.0f, 3.0f, w, h, 4.0f);

    g.setColour (juce::Colour (colours::gridSquares));
    const auto x0 = 3.0f + w / 2.0f - 5.5f;
    const auto y0 = 3.0f + h / 2.0f - 5.5f;

    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j)
            g.fillRoundedRectangle (x0 + 7.0f * (float) j, y0 + 7.0f * (float) i, 4.0f, 4.0f, 1.0f);
}

//==============================================================================
VarnokCompAudioProcessorEditor::VarnokCompAudioProcessorEditor (VarnokCompAudioProcessor& p)
    : VarnokScaledEditor (p),
      processorRef (p)
{
    setLookAndFeel (&knobLookAndFeel);

    graph = std::make_unique<CompGraph> (p);
    levelMeter = std::make_unique<LevelMeter> (p);
    grMeter = std::make_unique<GRMeter> (p);
    addAndMakeVisible (*graph);
    addAndMakeVisible (*levelMeter);
    addAndMakeVisible (*grMeter);

    setupPresetBar();

    abButtonA.onClick = [this]
    {
        if (processorRef.abSlot != 0)
            processorRef.toggleAB();
        updateABButtons();
    };
    abButtonB.onClick = [this]
    {
        if (processorRef.abSlot != 1)
            processorRef.toggleAB();
        updateABButtons();
    };
    abCopyButton.onClick = [this] { processorRef.copyActiveToInactive(); };
    addAndMakeVisible (abButtonA);
    addAndMakeVisible (abButtonB);
    addAndMakeVisible (abCopyButton);
    updateABButtons();

    undoButton.onClick = [this] { undoOrRedo (false); };
    redoButton.onClick = [this] { undoOrRedo (true); };
    addAndMakeVisible (undoButton);
    addAndMakeVisible (redoButton);

    setupSections();

    initialiseScaledContent (0.85);

    presetPanel = std::make_unique<PresetPanel> (processorRef.userPresets);
    presetPanel->onPresetsChanged = [this] { refreshPresetCombo(); };
    presetPanel->onFactoryPresetChosen = [this] (int index) { selectFactoryProgram (index); };
    presetPanel->onUserPresetChosen = [this] (const juce::String& name) { loadUserPresetByName (name); };
    addChildComponent (*presetPanel);

    applyScale();
}

VarnokCompAudioProcessorEditor::~VarnokCompAudioProcessorEditor()
{
    setLookAndFeel (nullptr);
}

//==============================================================================
juce::ValueTree VarnokCompAudioProcessorEditor::getStateTree() { return processorRef.apvts.state; }

int VarnokCompAudioProcessorEditor::isEnglish() { return english; }

juce::Component* VarnokCompAudioProcessorEditor::getPresetPanel() { return presetPanel.get(); }

//==============================================================================
void VarnokCompAudioProcessorEditor::setupSections()
{
    auto& state = processorRef.apvts;
    auto attached = [&state] (const char* id, const char* caption, juce::uint32 accent)
    { return std::make_unique<LabeledKnob> (state, id, caption, juce::Colour (accent)); };
    auto displayOnly = [] (const char* caption, juce::uint32 accent, const char* text, double value)
    { return std::make_unique<LabeledKnob> (caption, juce::Colour (accent), text, value); };

    inKnob = attached ("in_gain", "IN", colours::neutralAccent);
    threshKnob = attached ("thresh", "THRESH", colours::compression);
    ratioKnob = attached ("ratio", "RATIO", colours::compression);
    kneeKnob = displayOnly ("KNEE", colours::compression, "6.0 dB", 0.2);
    attackKnob = attached ("attack", "ATTACK", colours::timing);
    releaseKnob = attached ("release", "RELEASE", colours::timing);
    makeupKnob = attached ("makeup", "MAKEUP", colours::output);
    mixKnob = displayOnly ("MIX", colours::output, "100 %", 1.0);
    outKnob = attached ("out_gain", "OUT", colours::neutralAccent);
    hpfKnob = displayOnly ("HPF", colours::sidechain, "Off", 0.0);
    lpfKnob = displayOnly ("LPF", colours::sidechain, "Off", 1.0);
    linkKnob = displayOnly ("LINK", colours::stereo, "100 %", 1.0);
    lookaheadKnob = displayOnly ("LOOKAHEAD", colours::timing, "Off", 0.0);

    for (auto* knob : { inKnob.get(), threshKnob.get(), ratioKnob.get(), kneeKnob.get(), attackKnob.get(),
                        releaseKnob.get(), lookaheadKnob.get(), makeupKnob.get(), mixKnob.get(), outKnob.get(),
                        hpfKnob.get(), lpfKnob.get(), linkKnob.get() })
        addAndMakeVisible (*knob);

    addDisabledChoiceBox (stereoBox, stereoChoices);
    addDisabledChoiceBox (sidechainBox, sidechainChoices);

    styleToggleButton (listenButton, juce::Colour (colours::sidechain),
                       juce::String::fromUTF8 ("検出信号そのものを再生して、コンプが何に反応しているか確認する"));
    addAndMakeVisible (listenButton);
    listenButton.setEnabled (false);

    auto styleCaption = [this] (juce::Label& label, const char* text)
    {
        label.setText (text, juce::dontSendNotification);
        label.setColour (juce::Label::textColourId, juce::Colour (colours::secondaryText));
        label.setFont (font (10.0f, true));
        label.setJustificationType (juce::Justification::centredRight);
        label.setInterceptsMouseClicks (false, false);
        addAndMakeVisible (label);
    };

    styleCaption (detectLabel, "DETECT");
    addDisabledChoiceBox (detectBox, detectorChoices);

    styleToggleButton (bypassButton, juce::Colour (colours::output), {});
    addAndMakeVisible (bypassButton);
    bypassAttachment = std::make_unique<juce::AudioProcessorValueTreeState::ButtonAttachment> (state, "bypass", bypassButton);

    styleCaption (characterLabel, "CHARACTER");
    addDisabledChoiceBox (characterBox, characterChoices);

    styleToggleButton (autoGainButton, juce::Colour (colours::output),
                       juce::String::fromUTF8 ("圧縮で失った音量を自動で補償する（MAKEUP を置き換える）"));
    addAndMakeVisible (autoGainButton);
    autoGainButton.setEnabled (false);

    styleToggleButton (autoReleaseButton, juce::Colour (colours::timing),
                       juce::String::fromUTF8 ("強く潰れているときほどリリースを長くする（プログラム依存）"));
    addAndMakeVisible (autoReleaseButton);
    autoReleaseButton.setEnabled (false);

    for (size_t i = 0; i < sectionLabels.size(); ++i)
        styleSectionLabel (sectionLabels[i], sectionTitles[i], juce::Colour (sectionAccents[i]));
    for (auto& label : sectionLabels)
        addAndMakeVisible (label);
}

void VarnokCompAudioProcessorEditor::addDisabledChoiceBox (juce::ComboBox& box, const juce::StringArray& choices)
{
    box.addItemList (choices, 1);
    box.setJustificationType (juce::Justification::centred);
    addAndMakeVisible (box);
    box.setEnabled (false);
}

void VarnokCompAudioProcessorEditor::styleToggleButton (juce::TextButton& button, juce::Colour onColour, const juce::String& tooltip)
{
    button.setClickingTogglesState (true);
    button.setTooltip (tooltip);
    button.setColour (juce::TextButton::buttonColourId, juce::Colour (colours::panel));
    button.setColour (juce::TextButton::buttonOnColourId, onColour);
    button.setColour (juce::TextButton::textColourOffId, juce::Colour (colours::secondaryText));
    button.setColour (juce::TextButton::textColourOnId, juce::Colour (colours::toggleTextOn));
}

void VarnokCompAudioProcessorEditor::styleSectionLabel (juce::Label& label, const juce::String& text, juce::Colour accent)
{
    label.setText (text, juce::dontSendNotification);
    label.setColour (juce::Label::textColourId, accent);
    label.setFont (font (12.0f, true));
    label.setJustificationType (juce::Justification::centredLeft);
    label.setBorderSize ({ 0, 4, 0, 0 });
    label.setInterceptsMouseClicks (false, false);
}

//==============================================================================
void VarnokCompAudioProcessorEditor::layoutContent()
{
    const std::pair<juce::Component*, int> topBar[] = {
        { &undoButton, 436 }, { &redoButton, 502 }, { &getProButton, 582 }, { &prevButton, 674 },
        { &presetBox, 714 },  { &nextButton, 1168 }, { &presetsButton, 1208 }, { &abButtonA, 1250 },
        { &abButtonB, 1284 }, { &abCopyButton, 1322 }, { &initButton, 1386 },
    };
    const int topBarWidths[] = { 62, 62, 80, 34, 448, 34, 30, 34, 34, 52, 62 };

    for (size_t i = 0; i < std::size (topBar); ++i)
        topBar[i].first->setBounds (topBar[i].second, 8, topBarWidths[i], 30);

    const std::pair<int, int> columns[] = { { 8, 120 }, { 134, 290 }, { 430, 330 }, { 766, 235 }, { 1007, 165 }, { 1178, 274 } };
    std::array<juce::Rectangle<int>, 6> controlRows, knobRows;

    for (size_t i = 0; i < sectionAreas.size(); ++i)
    {
        sectionAreas[i] = { columns[i].first, 440, columns[i].second, 174 };
        auto inner = sectionAreas[i].reduced (8, 6);
        sectionLabels[i].setBounds (inner.removeFromTop (22));
        controlRows[i] = inner.removeFromBottom (26);
        knobRows[i] = inner;
    }

    bypassButton.setBounds (controlRows[inputSection].reduced (6, 2));
    inKnob->setBounds (knobRows[inputSection]);

    {
        auto r = controlRows[compressionSection].reduced (4, 2);
        characterLabel.setBounds (r.removeFromLeft (74));
        r.removeFromLeft (6);
        characterBox.setBounds (r.removeFromLeft (120));
        layoutThirds (knobRows[compressionSection], *threshKnob, *ratioKnob, *kneeKnob);
    }
    {
        auto r = controlRows[timingSection].reduced (4, 2);
        detectLabel.setBounds (r.removeFromLeft (56));
        r.removeFromLeft (6);
        detectBox.setBounds (r.removeFromLeft (96));
        r.removeFromLeft (10);
        autoReleaseButton.setBounds (r.removeFromLeft (76));
        layoutThirds (knobRows[timingSection], *attackKnob, *releaseKnob, *lookaheadKnob);
    }
    {
        auto r = controlRows[sidechainSection].reduced (2, 2);
        listenButton.setBounds (r.removeFromRight (70));
        r.removeFromRight (6);
        sidechainBox.setBounds (r);
        auto knobs = knobRows[sidechainSection];
        hpfKnob->setBounds (knobs.removeFromLeft (knobs.getWidth() / 2));
        lpfKnob->setBounds (knobs);
    }

    stereoBox.setBounds (controlRows[stereoSection].reduced (4, 2));
    linkKnob->setBounds (knobRows[stereoSection]);

    {
        const auto r = controlRows[outputSection].reduced (4, 2);
        const auto w = juce::jmin (r.getWidth(), 130);
        autoGainButton.setBounds (r.getX() + (r.getWidth() - w) / 2, r.getY(), w, r.getHeight());
        layoutThirds (knobRows[outputSection], *makeupKnob, *mixKnob, *outKnob);
    }

    levelMeter->setBounds (1366, 50, 84, 380);
    grMeter->setBounds (1296, 50, 66, 380);
    graphArea = { 10, 50, 1278, 380 };
    graph->setBounds (graphArea);
}

void VarnokCompAudioProcessorEditor::drawSectionPanel (juce::Graphics& g, juce::Rectangle<int> area, juce::Colour accent)
{
    g.setColour (juce::Colour (colours::panel));
    g.fillRoundedRectangle (area.toFloat(), 6.0f);
    g.setColour (accent);
    g.fillRoundedRectangle (area.withHeight (3).toFloat(), 1.5f);
}

void VarnokCompAudioProcessorEditor::drawProBadge (juce::Graphics& g, juce::Rectangle<int> area)
{
    varnok::drawProBadgeAt (g, juce::Rectangle<int> (area.getRight() - 26, area.getY(), 26, 11).toFloat());
}

void VarnokCompAudioProcessorEditor::paintContent (juce::Graphics& g)
{
    g.fillAll (juce::Colour (colours::background));

    g.setColour (juce::Colour (colours::primaryText));
    g.setFont (font (22.0f, true));
    g.drawText (varnok::identity::pluginName, juce::Rectangle<int> (16, 0, 232, 46), juce::Justification::centredLeft, true);

    g.setColour (juce::Colour (colours::secondaryText));
    g.setFont (font (13.0f, false));
    g.drawText (juce::String ("V") + varnok::identity::version, juce::Rectangle<int> (248, 0, 60, 46), juce::Justification::centredLeft, true);

    for (size_t i = 0; i < sectionAreas.size(); ++i)
        drawSectionPanel (g, sectionAreas[i], juce::Colour (sectionAccents[i]));

    drawProBadge (g, sectionLabels[sidechainSection].getBounds());
    drawProBadge (g, sectionLabels[stereoSection].getBounds());

    for (auto* control : { static_cast<juce::Component*> (&characterBox), static_cast<juce::Component*> (&autoReleaseButton),
                           static_cast<juce::Component*> (&autoGainButton) })
    {
        const auto b = control->getBounds();
        drawProBadge (g, { b.getRight() + 8, b.getY() + 7, 26, 11 });
    }
}

//==============================================================================
void VarnokCompAudioProcessorEditor::setupPresetBar()
{
    presetBox.setJustificationType (juce::Justification::centred);
    refreshPresetCombo();
    presetBox.onChange = [this]
    {
        const auto id = presetBox.getSelectedId();

        if (id >= userPresetIdBase)
        {
            const auto names = processorRef.userPresets.getPresetNames();
            const auto k = id - userPresetIdBase;

            if (juce::isPositiveAndBelow (k, names.size()))
                processorRef.userPresets.loadPreset (names[k]);
        }
        else if (id >= 1)
        {
            processorRef.setCurrentProgram (id - 1);
        }
    };
    addAndMakeVisible (presetBox);

    prevButton.onClick = [this] { stepPreset (-1); };
    nextButton.onClick = [this] { stepPreset (1); };
    initButton.onClick = [this] { selectFactoryProgram (0); };
    addAndMakeVisible (prevButton);
    addAndMakeVisible (nextButton);
    addAndMakeVisible (initButton);

    getProButton.setButtonText ("Get PRO");
    getProButton.setColour (juce::TextButton::buttonColourId, juce::Colour (colours::getProButton));
    getProButton.setColour (juce::TextButton::textColourOffId, juce::Colour (colours::primaryText));
    getProButton.setTooltip (juce::String::fromUTF8 ("VARNOK COMP Pro：サイドチェイン・パラレル(MIX)・KNEE・RMS検出・Mid-Side・キャラクター6種 等を解放"));
    getProButton.onClick = []
    {
        const juce::String address (varnok::identity::shopPageUrl);

        if (address.isNotEmpty())
            varnok::openWebPage (juce::URL (address));
    };
    addAndMakeVisible (getProButton);

    presetsButton.onClick = [this] { showPresetPanel(); };
    addAndMakeVisible (presetsButton);
}

void VarnokCompAudioProcessorEditor::refreshPresetCombo()
{
    auto selected = presetBox.getSelectedId();
    presetBox.clear (juce::dontSendNotification);

    for (int i = 0; i < processorRef.getNumPrograms(); ++i)
        if (const auto name = processorRef.getProgramName (i); name.isNotEmpty())
            presetBox.addItem (name, i + 1);

    const auto names = processorRef.userPresets.getPresetNames();

    if (! names.isEmpty())
    {
        presetBox.addSeparator();

        for (int j = 0; j < names.size(); ++j)
            if (names[j].isNotEmpty())
                presetBox.addItem (names[j], userPresetIdBase + j);
    }

    if (selected == 0 || presetBox.indexOfItemId (selected) < 0)
        selected = processorRef.getCurrentProgram() + 1;

    presetBox.setSelectedId (selected, juce::dontSendNotification);
}

void VarnokCompAudioProcessorEditor::stepPreset (int delta)
{
    const auto n = presetBox.getNumItems();

    if (n == 0)
        return;

    const auto i = juce::jmax (0, presetBox.getSelectedItemIndex());
    const auto target = ((n + i + delta) % n + n) % n;
    presetBox.setSelectedId (presetBox.getItemId (target), juce::sendNotification);
}

void VarnokCompAudioProcessorEditor::selectFactoryProgram (int index)
{
    const auto n = processorRef.getNumPrograms();
    index = juce::jlimit (0, juce::jmax (0, n - 1), index);
    presetBox.setSelectedId (index + 1, juce::dontSendNotification);
    processorRef.setCurrentProgram (index);
}

void VarnokCompAudioProcessorEditor::loadUserPresetByName (const juce::String& name)
{
    processorRef.userPresets.loadPreset (name);
    const auto names = processorRef.userPresets.getPresetNames();

    for (int j = 0; j < names.size(); ++j)
    {
        if (names[j] == name)
        {
            presetBox.setSelectedId (userPresetIdBase + j, juce::dontSendNotification);
            return;
        }
    }
}

void VarnokCompAudioProcessorEditor::showPresetPanel()
{
    if (presetPanel == nullptr)
        return;

    presetPanel->english = english;
    presetPanel->open();
}

void VarnokCompAudioProcessorEditor::updateABButtons()
{
    const auto slotA = processorRef.abSlot == 0;
    // The live slot's button in the neutral accent, the other in the panel colour.
    abButtonA.setColour (juce::TextButton::buttonColourId, juce::Colour (slotA ? colours::neutralAccent : colours::panel));
    abButtonB.setColour (juce::TextButton::buttonColourId, juce::Colour (slotA ? colours::panel : colours::neutralAccent));
    abCopyButton.setButtonText (slotA ? "A>B" : "B>A");
}

//==============================================================================
void VarnokCompAudioProcessorEditor::undoOrRedo (bool redo)
{
    // A host's state restore on another thread clears this history: keep the two apart.
    const juce::ScopedLock lock (processorRef.getStateLock());

    if (redo)
        processorRef.undoManager.redo();
    else
        processorRef.undoManager.undo();
}

bool VarnokCompAudioProcessorEditor::keyPressed (const juce::KeyPress& key)
{
    const auto mods = key.getModifiers();

    if (! mods.isCtrlDown())
        return false;

    // With Ctrl held, X11 reports the letter as typed (lower case without Shift), other
    // platforms in upper case: the letter counts, not its case.
    switch (key.getKeyCode())
    {
        case 'Z':
        case 'z':
            undoOrRedo (mods.isShiftDown());
            return true;

        case 'Y':
        case 'y':
            undoOrRedo (true);
            return true;

        default:
            return false;
    }
}

void VarnokCompAudioProcessorEditor::onTick()
{
    if (const int slot = processorRef.abSlot; slot != lastAbSlot)
    {
        lastAbSlot = slot;
        updateABButtons();
    }

    if (const auto program = processorRef.getCurrentProgram(); program != lastProgram)
    {
        lastProgram = program;

        if (presetBox.indexOfItemId (program + 1) >= 0)
            presetBox.setSelectedId (program + 1, juce::dontSendNotification);
    }

    undoButton.setEnabled (processorRef.undoManager.canUndo());
    redoButton.setEnabled (processorRef.undoManager.canRedo());

    if (auto* autoGain = processorRef.apvts.getRawParameterValue ("auto_gain"))
        makeupKnob->setLocked (autoGain->load() > 0.5f);
}
