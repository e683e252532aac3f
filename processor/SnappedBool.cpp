#include "SnappedBool.h"

namespace varnok
{
SnappedBool::SnappedBool (const juce::ParameterID& parameterId,
                          const juce::String& parameterName,
                          bool defaultState,
                          Attributes attributes)
    : juce::RangedAudioParameter (parameterId, parameterName, attributes.base),
      value (defaultState ? 1.0f : 0.0f),
      defaultValue (value),
      stringFromBool (std::move (attributes.stringFromBool)),
      boolFromString (std::move (attributes.boolFromString))
{
}

float SnappedBool::getValue() const { return value; }

// A NaN fails the comparison and so stores off.
void SnappedBool::setValue (float newValue) { value = newValue >= 0.5f ? 1.0f : 0.0f; }

float SnappedBool::getDefaultValue() const { return defaultValue; }
int SnappedBool::getNumSteps() const { return 2; }
bool SnappedBool::isDiscrete() const { return true; }
bool SnappedBool::isBoolean() const { return true; }

juce::String SnappedBool::getText (float normalisedValue, int maximumStringLength) const
{
    const auto on = normalisedValue >= 0.5f;

    if (stringFromBool)
        return stringFromBool (on, maximumStringLength);

    return on ? "On" : "Off";
}

float SnappedBool::getValueForText (const juce::String& text) const
{
    if (boolFromString)
        return boolFromString (text) ? 1.0f : 0.0f;

    for (auto* word : { "on", "yes", "true" })
        if (text.equalsIgnoreCase (word))
            return 1.0f;

    // Leading decimal integer: optional white space, optional sign, digits; the rest is ignored.
    auto p = text.getCharPointer();
    while (p.isWhitespace())
        ++p;

    if (*p == '+' || *p == '-')
        ++p;

    while (p.isDigit())
    {
        if (*p != '0')
            return 1.0f;
        ++p;
    }

    return 0.0f;
}

const juce::NormalisableRange<float>& SnappedBool::getNormalisableRange() const { return range; }
} // namespace varnok
