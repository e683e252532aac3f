#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

// Helpers for parameter trees that come from outside (a host's state, a preset file, a stored
// A/B snapshot) before they reach the live parameter state.
namespace varnok
{
// Makes the "value" of every child that names a parameter a value the parameter can hold: a
// missing or NaN value becomes the parameter's default, an out-of-range or off-step value the one
// the parameter will snap to. Values the parameter already holds exactly are left untouched, so a
// tree that we saved ourselves comes back byte for byte. The parameter state links a parameter to
// any child with its "id", not only to "PARAM" children, and to the last of several: so does this,
// and it removes the earlier children that name the same parameter. For a tree that becomes the
// live one.
void prepareParameterTree (juce::AudioProcessorValueTreeState& state, juce::ValueTree tree);

// The same for a stored A/B snapshot, of which a toggle applies only the "PARAM" children: only
// those count and are tidied (the last of several naming one parameter stays); children of other
// types are left as they are, even when they name a parameter.
void prepareSnapshotTree (juce::AudioProcessorValueTreeState& state, juce::ValueTree tree);

// Gives every parameter that no child of the tree names a "PARAM" child holding its current value, so
// that replacing the live tree with it keeps that parameter as it is (the parameter state would
// otherwise reset it to its default and leave its new child without a value).
void addUnlistedParameters (juce::AudioProcessorValueTreeState& state, juce::ValueTree tree);

// Writes each parameter's current value into its "PARAM" child of the live tree, without the undo
// manager, where the child lacks it or differs. Used where JUCE's own flush would record an undo
// step that nobody made, or would be refused because the undo manager is busy undoing.
void writeParameterValuesToTree (juce::AudioProcessorValueTreeState& state);
} // namespace varnok
