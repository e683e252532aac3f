#pragma once

#include <juce_core/juce_core.h>

// Items of the editor's combo boxes for the controls that only the paid edition enables.
extern const juce::StringArray detectorChoices;
extern const juce::StringArray sidechainChoices;
extern const juce::StringArray stereoChoices;
extern const juce::StringArray characterChoices;
