#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

// Parameter IDs. Every parameter of this edition carries version hint 1.
namespace varnok::ids
{
inline constexpr int versionHint = 1;

inline constexpr const char* thresh = "thresh";
inline constexpr const char* ratio = "ratio";
inline constexpr const char* attack = "attack";
inline constexpr const char* release = "release";
inline constexpr const char* makeup = "makeup";
inline constexpr const char* inGain = "in_gain";
inline constexpr const char* outGain = "out_gain";
inline constexpr const char* bypass = "bypass";

// Looked up by the factory programs and the editor, but never created by this edition.
inline constexpr const char* knee = "knee";
inline constexpr const char* mix = "mix";
inline constexpr const char* detect = "detect";
inline constexpr const char* character = "character";
inline constexpr const char* scHpf = "sc_hpf";
inline constexpr const char* scLpf = "sc_lpf";
inline constexpr const char* stereoMode = "stereo_mode";
inline constexpr const char* link = "link";
inline constexpr const char* lookahead = "lookahead";
inline constexpr const char* autoRelease = "auto_release";
inline constexpr const char* autoGain = "auto_gain";

inline juce::ParameterID makeId (const char* id) { return { id, versionHint }; }
} // namespace varnok::ids
