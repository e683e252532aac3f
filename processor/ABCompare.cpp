// A/B comparison: the live parameters are one slot, abInactive the other; a toggle exchanges them
// as one undoable step named "A/B".
#include "PluginProcessor.h"

#include "ParameterTree.h"

namespace
{
const juce::Identifier paramType ("PARAM");
const juce::Identifier idProperty ("id");
const juce::Identifier valueProperty ("value");

// Writes the snapshot's values into the live tree; the parameter state passes each changed value
// on to its parameter and the host. Live parameters the snapshot does not list keep their values.
void applySnapshot (juce::AudioProcessorValueTreeState& state, const juce::ValueTree& snapshot)
{
    if (! snapshot.isValid())
        return;

    for (const auto& child : snapshot)
    {
        if (! child.hasType (paramType) || ! child.hasProperty (valueProperty))
            continue;

        auto live = state.state.getChildWithProperty (idProperty, child.getProperty (idProperty));

        if (live.isValid())
            live.setProperty (valueProperty, child.getProperty (valueProperty), nullptr);
    }
}

class ABToggleAction final : public juce::UndoableAction
{
public:
    explicit ABToggleAction (VarnokCompAudioProcessor& p) : processor (&p) {}

    bool perform() override
    {
        processor->swapAB();
        return true;
    }

    bool undo() override
    {
        processor->swapAB();
        return true;
    }

    int getSizeInUnits() override { return 64; }

private:
    VarnokCompAudioProcessor* processor;
};
} // namespace

void VarnokCompAudioProcessor::copyActiveToInactive()
{
    const juce::ScopedLock sl (stateLock);
    abInactive = apvts.copyState();
}

void VarnokCompAudioProcessor::swapAB()
{
    const juce::ScopedLock sl (stateLock);

    // While undoing or redoing, the undo manager refuses the parameter state's flush and its
    // pending values would be dropped: write them into the tree directly instead.
    if (undoManager.isPerformingUndoRedo())
        varnok::writeParameterValuesToTree (apvts);

    auto current = apvts.copyState();
    applySnapshot (apvts, abInactive);
    abInactive = current;
    abSlot.store (1 - abSlot.load());
}

bool VarnokCompAudioProcessor::toggleAB()
{
    const juce::ScopedLock sl (stateLock);

    // Values not yet flushed into the tree belong to the edit that made them, not to the toggle:
    // otherwise undoing "A/B" would also take back the last knob move.
    juce::ignoreUnused (apvts.copyState());

    undoManager.beginNewTransaction ("A/B");
    return undoManager.perform (new ABToggleAction (*this));
}
