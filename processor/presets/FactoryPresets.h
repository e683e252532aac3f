#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <cstdint>
#include <vector>

// One built-in program. Values are in the parameters' own units; mix and link in percent.
struct FactoryPreset
{
    const char* name;
    const char* category;
    float thresh;
    float ratio;
    float attack;
    float release;
    float knee;
    float makeup;
    float mix;
    std::int32_t detect;
    std::int32_t character;
    float sc_hpf;
    float sc_lpf;
    std::int32_t stereo_mode;
    float link;
    float lookahead;
    bool auto_release;
    bool auto_gain;
};

namespace varnok
{
// The 14 programs in program-number order; built once on first use, from any thread.
const std::vector<FactoryPreset>& getFactoryPresets();

// Writes the program's values into those parameters of the state that exist, notifying the host.
void applyPreset (juce::AudioProcessorValueTreeState& state, const FactoryPreset& preset);
} // namespace varnok
