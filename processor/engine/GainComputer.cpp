#include "GainComputer.h"

#include <algorithm>
#include <cmath>

float varnok::computeGainReductionDb (float levelDb, float thresholdDb, float ratio, float kneeDb) noexcept
{
    // 1.0001 rather than 1 so that a ratio knob resting on 1:1 never compresses.
    if (ratio <= 1.0001f)
        return 0.0f;

    const float over = levelDb - thresholdDb;
    const float slope = 1.0f / ratio - 1.0f;
    const float half = kneeDb * 0.5f;

    if (kneeDb > 0.0f && -half < over && over < half)
        return ((over + half) * slope * (over + half)) / (2.0f * kneeDb);

    if (over >= half)
        return over * slope;

    return 0.0f;
}

float varnok::softClip (float x) noexcept
{
    if (x <= -1.0f)
        return -2.0f / 3.0f;

    if (x >= 1.0f)
        return 2.0f / 3.0f;

    return x - x * x * x / 3.0f;
}

float varnok::timeToCoefficient (float ms, double sampleRate) noexcept
{
    const double seconds = std::max ((double) ms * 0.001, 0.00001);
    return (float) std::exp (-1.0 / (seconds * sampleRate));
}

float varnok::decibelsToGain (float dB) noexcept
{
    return dB > -100.0f ? std::pow (10.0f, dB * 0.05f) : 0.0f;
}

float varnok::gainToDecibels (float v) noexcept
{
    return v > 0.0f ? std::max (20.0f * std::log10 (v), -120.0f) : -120.0f;
}
