#include "FactoryPresets.h"

#include "processor/ParameterIds.h"

namespace
{
FactoryPreset makeRow (const char* name, const char* category, float thresh, float ratio, float attack, float release, float makeup)
{
    // Every program shares the settings that this edition keeps fixed.
    return { name, category, thresh, ratio, attack, release, 6.0f, makeup, 100.0f, 0, 0, 20.0f, 20000.0f, 0, 100.0f, 0.0f, false, false };
}

std::vector<FactoryPreset> makeFactoryPresets()
{
    std::vector<FactoryPreset> presets;
    presets.reserve (14);
    presets.push_back (makeRow ("Default", "Default", -18.0f, 4.0f, 10.0f, 150.0f, 0.0f));
    presets.push_back (makeRow ("Vocal Smooth", "Vocal", -20.0f, 3.0f, 15.0f, 180.0f, 3.0f));
    presets.push_back (makeRow ("Vocal Tight", "Vocal", -16.0f, 5.0f, 3.0f, 90.0f, 4.0f));
    presets.push_back (makeRow ("Vocal Aggressive", "Vocal", -18.0f, 8.0f, 1.0f, 80.0f, 5.0f));
    presets.push_back (makeRow ("Drum Punch", "Drums", -14.0f, 4.0f, 25.0f, 120.0f, 3.0f));
    presets.push_back (makeRow ("Drum Bus Glue", "Drums", -18.0f, 3.0f, 30.0f, 250.0f, 3.0f));
    presets.push_back (makeRow ("Snare Snap", "Drums", -18.0f, 5.0f, 20.0f, 80.0f, 4.0f));
    presets.push_back (makeRow ("Bass Sustain", "Bass", -24.0f, 3.0f, 40.0f, 400.0f, 5.0f));
    presets.push_back (makeRow ("Bass Tight", "Bass", -18.0f, 6.0f, 2.0f, 110.0f, 5.0f));
    presets.push_back (makeRow ("Guitar Even", "Guitar", -20.0f, 3.0f, 15.0f, 200.0f, 3.0f));
    presets.push_back (makeRow ("Keys Level", "Keys", -22.0f, 3.0f, 18.0f, 220.0f, 3.0f));
    presets.push_back (makeRow ("Pad Smooth", "Keys", -26.0f, 2.0f, 50.0f, 450.0f, 2.0f));
    presets.push_back (makeRow ("Master Glue", "Master", -16.0f, 2.0f, 30.0f, 300.0f, 1.5f));
    presets.push_back (makeRow ("Gentle Glue", "Master", -20.0f, 2.0f, 30.0f, 300.0f, 2.0f));
    return presets;
}
} // namespace

const std::vector<FactoryPreset>& varnok::getFactoryPresets()
{
    // A function-local static is built exactly once, even when two threads ask first.
    static const std::vector<FactoryPreset> presets = makeFactoryPresets();
    return presets;
}

void varnok::applyPreset (juce::AudioProcessorValueTreeState& state, const FactoryPreset& preset)
{
    namespace ids = varnok::ids;

    const std::pair<const char*, float> values[] = {
        { ids::thresh, preset.thresh },
        { ids::ratio, preset.ratio },
        { ids::attack, preset.attack },
        { ids::release, preset.release },
        { ids::knee, preset.knee },
        { ids::makeup, preset.makeup },
        { ids::mix, preset.mix },
        { ids::detect, (float) preset.detect },
        { ids::character, (float) preset.character },
        { ids::scHpf, preset.sc_hpf },
        { ids::scLpf, preset.sc_lpf },
        { ids::stereoMode, (float) preset.stereo_mode },
        { ids::link, preset.link },
        { ids::lookahead, preset.lookahead },
        { ids::autoRelease, preset.auto_release ? 1.0f : 0.0f },
        { ids::autoGain, preset.auto_gain ? 1.0f : 0.0f },
    };

    for (const auto& [id, value] : values)
        if (auto* parameter = state.getParameter (id))
            parameter->setValueNotifyingHost (parameter->convertTo0to1 (value));
}
