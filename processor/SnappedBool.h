#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <functional>

namespace varnok
{
// A two-state switch parameter whose value is always exactly 0 or 1, whatever the host sends.
class SnappedBool : public juce::RangedAudioParameter
{
public:
    struct Attributes
    {
        juce::AudioProcessorParameterWithIDAttributes base;
        std::function<juce::String (bool on, int maximumStringLength)> stringFromBool;
        std::function<bool (const juce::String&)> boolFromString;
    };

    SnappedBool (const juce::ParameterID& parameterId,
                 const juce::String& parameterName,
                 bool defaultState,
                 Attributes attributes = {});

    float getValue() const override;
    void setValue (float newValue) override;
    float getDefaultValue() const override;
    int getNumSteps() const override;
    bool isDiscrete() const override;
    bool isBoolean() const override;
    juce::String getText (float normalisedValue, int maximumStringLength) const override;
    float getValueForText (const juce::String& text) const override;
    const juce::NormalisableRange<float>& getNormalisableRange() const override;

private:
    juce::NormalisableRange<float> range { 0.0f, 1.0f, 1.0f };
    float value;
    float defaultValue;
    std::function<juce::String (bool, int)> stringFromBool;
    std::function<bool (const juce::String&)> boolFromString;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SnappedBool)
};
} // namespace varnok
