#pragma once

#include <cstdint>

// Everything the engine needs for one block, copied whole. Mix and link are fractions 0..1 here.
struct CompressorParams
{
    float thresholdDb = -18.0f;
    float ratio = 4.0f;          // at or below 1.0001 there is no compression
    float attackMs = 10.0f;      // before the character's scale
    float releaseMs = 150.0f;    // before the character's scale
    float kneeDb = 6.0f;
    float makeupDb = 0.0f;       // used while autoGain is off
    float mix = 1.0f;            // 1 = fully compressed
    float inputGainDb = 0.0f;
    float outputGainDb = 0.0f;
    bool rmsDetection = false;   // 10 ms RMS instead of peak
    float sidechainHpfHz = 20.0f;    // the high-pass runs only above 20.5 Hz
    float sidechainLpfHz = 20000.0f; // the low-pass runs only below 19900 Hz
    bool listen = false;         // output the filtered detector signal
    bool midSide = false;
    float link = 1.0f;           // 1 = every channel follows the loudest
    float lookaheadMs = 0.0f;    // delay of the main path, also the latency
    std::int32_t character = 0;  // index into characterProfiles, clamped to 0..5
    bool autoGain = false;
    bool autoRelease = false;
};
