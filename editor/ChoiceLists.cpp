#include "ChoiceLists.h"

const juce::StringArray detectorChoices { "Peak", "RMS" };
const juce::StringArray sidechainChoices { "Internal", "External" };
const juce::StringArray stereoChoices { "Stereo", "Mid-Side" };
const juce::StringArray characterChoices { "Clean", "Punch", "Opto", "VCA", "FET", "Bus" };
