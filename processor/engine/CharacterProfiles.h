#pragma once

#include <array>

// One compressor character: time scales, built-in program-dependent release, saturation drive.
struct CharacterProfile
{
    float attackScale;
    float releaseScale;
    float programRelease; // 0..1
    float saturation;     // 0 = no saturation stage
    bool linearRelease;   // release in fixed dB steps instead of exponentially
};

namespace varnok
{
// Same order as the character choice list: Clean, Punch, Opto, VCA, FET, Bus.
extern const std::array<CharacterProfile, 6> characterProfiles;

int clampCharacterIndex (int index) noexcept;

// The caller has already clamped the index to 0..5.
const CharacterProfile& getCharacterProfile (int index) noexcept;
} // namespace varnok
