#include "ParameterTree.h"

#include <cmath>

namespace varnok
{
namespace
{
const juce::Identifier paramType ("PARAM");
const juce::Identifier idProperty ("id");
const juce::Identifier valueProperty ("value");
} // namespace

void prepareParameterTree (juce::AudioProcessorValueTreeState& state, juce::ValueTree tree)
{
    for (auto child : tree)
    {
        if (! child.hasType (paramType))
            continue;

        auto* parameter = state.getParameter (child.getProperty (idProperty).toString());

        if (parameter == nullptr)
            continue;

        const auto* value = child.getPropertyPointer (valueProperty);

        if (value == nullptr || std::isnan ((double) *value))
        {
            child.setProperty (valueProperty, parameter->convertFrom0to1 (parameter->getDefaultValue()), nullptr);
            continue;
        }

        // What the parameter state will hold once the parameter took the value: the parameter
        // snaps and normalises it, and the state reads it back through the same conversions.
        const auto roundTrip = [parameter] (float v) { return parameter->convertFrom0to1 (parameter->convertTo0to1 (v)); };
        const auto given = (float) *value;
        const auto held = roundTrip (roundTrip (given));

        if (! juce::approximatelyEqual (given, held))
            child.setProperty (valueProperty, held, nullptr);
    }
}

void addUnlistedParameters (juce::AudioProcessorValueTreeState& state, juce::ValueTree tree)
{
    for (auto* p : state.processor.getParameters())
    {
        auto* parameter = dynamic_cast<juce::RangedAudioParameter*> (p);
        const auto* raw = parameter != nullptr ? state.getRawParameterValue (parameter->getParameterID()) : nullptr;

        if (raw == nullptr)
            continue;

        bool listed = false;

        for (const auto& child : tree)
            listed = listed || (child.hasType (paramType) && child.getProperty (idProperty).toString() == parameter->getParameterID());

        if (! listed)
        {
            juce::ValueTree child (paramType);
            child.setProperty (idProperty, parameter->getParameterID(), nullptr);
            child.setProperty (valueProperty, raw->load(), nullptr);
            tree.appendChild (child, nullptr);
        }
    }
}

void writeParameterValuesToTree (juce::AudioProcessorValueTreeState& state)
{
    for (auto* p : state.processor.getParameters())
    {
        auto* parameter = dynamic_cast<juce::RangedAudioParameter*> (p);

        if (parameter == nullptr)
            continue;

        auto child = state.state.getChildWithProperty (idProperty, parameter->getParameterID());

        if (! child.isValid())
            continue;

        const auto* raw = state.getRawParameterValue (parameter->getParameterID());

        if (raw == nullptr)
            continue;

        const auto live = raw->load();
        const auto* value = child.getPropertyPointer (valueProperty);

        if (value == nullptr || ! juce::approximatelyEqual ((float) *value, live))
            child.setProperty (valueProperty, live, nullptr);
    }
}
} // namespace varnok
