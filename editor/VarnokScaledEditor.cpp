#include "VarnokScaledEditor.h"

#include "BilingualText.h"
#include "ScaledEditorSizing.h"
#include "WebLauncher.h"
#include "processor/PluginIdentity.h"

namespace
{
const juce::Identifier updateCheckOffId { "updateCheckOff" };
const juce::Identifier updateDismissedId { "updateDismissed" };
const juce::Identifier handlesRightClickId { "varnokHandlesRightClick" };

constexpr BilingualText checkForUpdatesText { "更新を確認する", "Check for updates" };

std::optional<juce::Rectangle<int>> userAreaOf (const juce::Displays::Display* display)
{
    if (display == nullptr)
        return std::nullopt;

    return display->userArea;
}

bool readUpdateCheckOff (const juce::ValueTree& tree)
{
    return (bool) tree.getProperty (updateCheckOffId, false);
}
} // namespace

//==============================================================================
VarnokScaledEditor::Canvas::~Canvas() = default;

void VarnokScaledEditor::Canvas::mouseDown (const juce::MouseEvent& e)
{
    if (onMouseDown)
        onMouseDown (e);
}

void VarnokScaledEditor::Canvas::paint (juce::Graphics& g)
{
    if (onPaint)
        onPaint (g);
}

//==============================================================================
VarnokScaledEditor::VarnokScaledEditor (juce::AudioProcessor& audioProcessor)
    : juce::AudioProcessorEditor (audioProcessor)
{
}

VarnokScaledEditor::~VarnokScaledEditor() = default;

juce::ValueTree VarnokScaledEditor::getStateTree() { return {}; }
int VarnokScaledEditor::isEnglish() { return 1; }
juce::Component* VarnokScaledEditor::getPresetPanel() { return nullptr; }
void VarnokScaledEditor::onTick() {}

//==============================================================================
void VarnokScaledEditor::initialiseScaledContent (double initialScale)
{
    canvas.onPaint = [this] (juce::Graphics& g) { paintContent (g); };
    addAndMakeVisible (canvas);

    // Everything the derived editor added goes onto the canvas, in order, and visible.
    const auto children = getChildren();

    for (auto* child : children)
    {
        if (child == nullptr || child == &canvas)
            continue;

        child->setVisible (true);
        canvas.addChildComponent (child);
    }

    canvas.setBounds (0, 0, designWidth, designHeight);
    addMouseListener (this, true);

    contentReady = true;
    layoutContent();

    constrainer.setFixedAspectRatio ((double) designWidth / (double) designHeight);
    constrainer.setSizeLimits (designWidth / 2, designHeight / 2, designWidth * 13 / 10, designHeight * 13 / 10);
    setConstrainer (&constrainer);
    setResizable (true, true);

    const auto& displays = juce::Desktop::getInstance().getDisplays();
    const auto size = varnok::sizing::computeInitialSize (designWidth, designHeight, initialScale,
                                                          userAreaOf (displays.getPrimaryDisplay()));
    setSize (size.x, size.y);
    setWantsKeyboardFocus (true);

    if (! isUpdateCheckSwitchedOff())
        startUpdateCheck();

    startTimer (timerIntervalMs);
}

bool VarnokScaledEditor::isUpdateCheckSwitchedOff() { return readUpdateCheckOff (getStateTree()); }

void VarnokScaledEditor::startUpdateCheck() { updateChecker.start(); }

bool VarnokScaledEditor::shouldShowUpdateNotice (bool available, const juce::String& version,
                                                 const juce::String& dismissedVersion, bool closed)
{
    return available && version.isNotEmpty() && ! closed && version != dismissedVersion;
}

void VarnokScaledEditor::refreshUpdateNotice()
{
    const auto tree = getStateTree();

    if (! tree.isValid())
        return;

    const auto info = updateChecker.getResult();
    const auto dismissed = tree.getProperty (updateDismissedId, juce::String()).toString();

    if (! shouldShowUpdateNotice (info.available, info.version, dismissed, noticeClosedThisSession))
        updateDialog.reset();
    else if (updateDialog == nullptr)
        showUpdateDialog (info, tree);
}

void VarnokScaledEditor::showUpdateDialog (const UpdateInfo& info, const juce::ValueTree& tree)
{
    updateDialog = std::make_unique<VarnokUpdateDialog>();
    updateDialog->setContent (varnok::identity::pluginName, varnok::identity::version, info.version, info.notes);

    updateDialog->onUpdate = [url = info.url]
    {
        if (url.isNotEmpty())
            varnok::openWebPage (juce::URL (url));
    };

    // The last statement of each of the next two deletes the dialog, and with it the function
    // running; nothing may be touched after it.
    updateDialog->onSkipVersion = [this, tree, version = info.version]
    {
        // A host may have loaded another state while the dialog was up; the choice belongs in
        // the state the editor shows now, or it would be lost and the dialog would come back.
        auto target = getStateTree();

        if (! target.isValid())
            target = tree;

        target.setProperty (updateDismissedId, version, nullptr);
        updateDialog.reset();
    };

    updateDialog->onLater = [this]
    {
        noticeClosedThisSession = true;
        updateDialog.reset();
    };

    addAndMakeVisible (*updateDialog);
    updateDialog->setBounds (getLocalBounds());
    updateDialog->toFront (false);
}

//==============================================================================
void VarnokScaledEditor::layoutOverlays()
{
    if (auto* panel = getPresetPanel())
        panel->setBounds (getLocalBounds());

    if (updateDialog != nullptr)
        updateDialog->setBounds (getLocalBounds());
}

void VarnokScaledEditor::applyScale()
{
    if (getWidth() <= 0 || getHeight() <= 0)
        return;

    const auto s = varnok::sizing::computeCanvasScale (getWidth(), getHeight(), designWidth, designHeight);
    canvas.setTransform ({});
    canvas.setTransform (juce::AffineTransform::scale (s));
    layoutOverlays();
    canvas.repaint();
    repaint();
}

void VarnokScaledEditor::resized()
{
    if (! contentReady)
        return;

    // A window without area would give a singular transform, which breaks every coordinate
    // conversion below the canvas; the last good scale stays until the window has a size again.
    const auto s = varnok::sizing::computeCanvasScale (getWidth(), getHeight(), designWidth, designHeight);

    if (s > 0.0f)
        canvas.setTransform (juce::AffineTransform::scale (s));

    layoutOverlays();
}

void VarnokScaledEditor::visibilityChanged()
{
    if (contentReady && isVisible())
        applyScale();
}

void VarnokScaledEditor::parentHierarchyChanged()
{
    if (contentReady && getPeer() != nullptr)
    {
        fitTicks = 0;
        applyScale();
    }
}

void VarnokScaledEditor::paint (juce::Graphics& g) { g.fillAll (juce::Colour (0xff000000)); }

//==============================================================================
void VarnokScaledEditor::timerCallback()
{
    if (fitTicks < numFitTicks)
    {
        ++fitTicks;

        if (fitTicks == 1 && getWidth() > 0 && getHeight() > 0)
            fitWindowToDisplay();

        applyScale();
    }

    refreshUpdateNotice();
    onTick();
}

void VarnokScaledEditor::fitWindowToDisplay()
{
    const auto centre = getScreenBounds().getCentre();
    const auto* display = juce::Desktop::getInstance().getDisplays().getDisplayForPoint (centre);
    const auto size = varnok::sizing::fitToWorkArea ({ getWidth(), getHeight() }, designWidth, designHeight,
                                                     userAreaOf (display));

    // Two size changes, even when nothing shrank: some hosts only settle their window around the
    // view after they have seen it change.
    setSize (size.x, size.y + 1);
    setSize (size.x, size.y);
}

//==============================================================================
void VarnokScaledEditor::mouseDown (const juce::MouseEvent& e)
{
    if (! e.mods.isPopupMenu())
        return;

    if (e.eventTime == lastMenuClickTime && e.eventComponent == lastMenuClickComponent)
        return;

    for (auto* c = e.eventComponent; c != nullptr && c != this; c = c->getParentComponent())
        if ((bool) c->getProperties()[handlesRightClickId])
            return;

    lastMenuClickTime = e.eventTime;
    lastMenuClickComponent = e.eventComponent;

    auto* target = e.eventComponent != nullptr ? e.eventComponent : this;
    showContextMenu (target, target->localPointToGlobal (e.getPosition()));
}

juce::PopupMenu VarnokScaledEditor::createContextMenu (bool updateCheckOff)
{
    juce::PopupMenu menu;
    menu.addItem (contextMenuItemId, varnok::joinBilingual (checkForUpdatesText), true, ! updateCheckOff);
    return menu;
}

void VarnokScaledEditor::showContextMenu (juce::Component* target, juce::Point<int> screenPosition)
{
    const auto tree = getStateTree();

    if (! tree.isValid())
        return;

    const auto options = juce::PopupMenu::Options()
                             .withTargetComponent (target)
                             .withTargetScreenArea ({ screenPosition.x, screenPosition.y, 1, 1 });

    createContextMenu (readUpdateCheckOff (tree))
        .showMenuAsync (options, [tree] (int result) { toggleUpdateCheck (tree, result); });
}

void VarnokScaledEditor::toggleUpdateCheck (juce::ValueTree tree, int menuResult)
{
    if (menuResult != contextMenuItemId)
        return;

    const auto current = readUpdateCheckOff (tree);
    tree.setProperty (updateCheckOffId, ! current, nullptr);
}
