#include "CharacterProfiles.h"

#include <algorithm>

//                                    attack  release  program  saturation  linear
const std::array<CharacterProfile, 6> varnok::characterProfiles { {
    { 1.0f, 1.0f, 0.0f, 0.0f,  false }, // Clean
    { 0.5f, 0.8f, 0.0f, 0.0f,  false }, // Punch
    { 2.0f, 1.6f, 0.8f, 0.0f,  false }, // Opto
    { 0.8f, 1.0f, 0.0f, 0.0f,  true  }, // VCA
    { 0.3f, 0.6f, 0.0f, 0.25f, false }, // FET
    { 1.5f, 1.3f, 0.4f, 0.08f, false }, // Bus
} };

int varnok::clampCharacterIndex (int index) noexcept
{
    return std::clamp (index, 0, (int) varnok::characterProfiles.size() - 1);
}

const CharacterProfile& varnok::getCharacterProfile (int index) noexcept
{
    return varnok::characterProfiles[(size_t) index];
}
