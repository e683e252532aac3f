#pragma once

// Pure helpers of the engine; the editor's graph draws the same static curve.

namespace varnok
{
// Static soft-knee curve: gain change in dB (0 or below for a knee of 0 or more).
float computeGainReductionDb (float levelDb, float thresholdDb, float ratio, float kneeDb) noexcept;

// Cubic soft clipper, +-2/3 at and beyond +-1.
float softClip (float x) noexcept;

// One-pole coefficient of a time constant; times below 10 us count as 10 us.
float timeToCoefficient (float ms, double sampleRate) noexcept;

// 10^(0.05 dB), exactly 0 at or below -100 dB.
float decibelsToGain (float dB) noexcept;

// 20 log10(v) floored at -120 dB; 0 or below gives -120.
float gainToDecibels (float v) noexcept;
} // namespace varnok
