#include "ParameterTree.h"

#include <cmath>
#include <limits>
#include <optional>
#include <vector>

namespace varnok
{
namespace
{
const juce::Identifier paramType ("PARAM");
const juce::Identifier idProperty ("id");
const juce::Identifier valueProperty ("value");
// JUCE's number reader overflows a signed int on an exponent of ten or more digits. Such a text
// means infinity or zero; this gives that number, or nullopt when the text is harmless.
std::optional<double> runawayExponentValue (const juce::var& value)
{
    if (! value.isString())
        return std::nullopt;

    const auto text = value.toString().trimStart();
    const auto e = text.indexOfAnyOf ("eE");

    if (e < 0)
        return std::nullopt;

    auto exponent = text.substring (e + 1);
    const bool negativeExponent = exponent.startsWithChar ('-');

    if (negativeExponent || exponent.startsWithChar ('+'))
        exponent = exponent.substring (1);

    const auto digits = exponent.initialSectionContainingOnly ("0123456789").trimCharactersAtStart ("0");

    if (digits.length() < 7)
        return std::nullopt;

    const auto mantissa = text.substring (0, e).getDoubleValue();

    if (juce::exactlyEqual (mantissa, 0.0) || negativeExponent)
        return std::copysign (0.0, mantissa);

    return std::copysign (std::numeric_limits<double>::infinity(), mantissa);
}

// Of the children that name a parameter and that the filter takes, keeps only the last one for
// each parameter. Rebuilds the child list in one go: removing children one by one would shift the
// rest each time, quadratic in a tree of many children.
template <typename Filter>
void keepTheLastChildNamingEachParameter (juce::AudioProcessorValueTreeState& state, juce::ValueTree& tree, Filter&& takes)
{
    std::vector<bool> keep ((size_t) tree.getNumChildren(), true);
    juce::StringArray named;
    bool anyDropped = false;

    for (int i = tree.getNumChildren(); --i >= 0;)
    {
        const auto child = tree.getChild (i);

        if (! takes (child))
            continue;

        const auto id = child.getProperty (idProperty).toString();

        if (state.getParameter (id) == nullptr)
            continue;

        if (named.contains (id))
        {
            keep[(size_t) i] = false;
            anyDropped = true;
        }
        else
        {
            named.add (id);
        }
    }

    if (! anyDropped)
        return;

    std::vector<juce::ValueTree> kept;

    for (int i = 0; i < tree.getNumChildren(); ++i)
        if (keep[(size_t) i])
            kept.push_back (tree.getChild (i));

    tree.removeAllChildren (nullptr);

    for (auto& child : kept)
        tree.appendChild (child, nullptr);
}

// Makes the child's "value" one its parameter can hold (see prepareParameterTree).
void makeValueUsable (juce::RangedAudioParameter& parameter, juce::ValueTree child)
{
    if (const auto runaway = runawayExponentValue (child.getProperty (valueProperty)))
        child.setProperty (valueProperty, *runaway, nullptr);

    const auto* value = child.getPropertyPointer (valueProperty);

    if (value == nullptr || std::isnan ((double) *value))
    {
        child.setProperty (valueProperty, parameter.convertFrom0to1 (parameter.getDefaultValue()), nullptr);
        return;
    }

    // What the parameter state will hold once the parameter took the value: the parameter
    // snaps and normalises it, and the state reads it back through the same conversions.
    // Only a value that differs by more than those conversions' rounding is replaced (they
    // drift by a few ulps on skewed ranges), so that a second pass changes nothing.
    const auto roundTrip = [&parameter] (float v) { return parameter.convertFrom0to1 (parameter.convertTo0to1 (v)); };
    const auto given = (float) *value;
    const auto held = roundTrip (roundTrip (given));
    const auto tolerance = juce::Tolerance<float>().withAbsolute (1.0e-6f).withRelative (1.0e-5f);

    if (! juce::approximatelyEqual (given, held, tolerance))
        child.setProperty (valueProperty, held, nullptr);
}

template <typename Filter>
void prepareChildren (juce::AudioProcessorValueTreeState& state, juce::ValueTree& tree, Filter&& takes)
{
    keepTheLastChildNamingEachParameter (state, tree, takes);

    for (auto child : tree)
        if (takes (child))
            if (auto* parameter = state.getParameter (child.getProperty (idProperty).toString()))
                makeValueUsable (*parameter, child);
}
} // namespace

void prepareParameterTree (juce::AudioProcessorValueTreeState& state, juce::ValueTree tree)
{
    // The parameter state links a parameter to the last child that names it, whatever its type,
    // after setting it from each one in turn: only that last one counts, the others go.
    prepareChildren (state, tree, [] (const juce::ValueTree&) { return true; });
}

void prepareSnapshotTree (juce::AudioProcessorValueTreeState& state, juce::ValueTree tree)
{
    // A toggle applies the "PARAM" children in order, so the last of those counts; the others
    // are never applied and stay as they are.
    prepareChildren (state, tree, [] (const juce::ValueTree& child) { return child.hasType (paramType); });
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
            listed = listed || child.getProperty (idProperty).toString() == parameter->getParameterID();

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
