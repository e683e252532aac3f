#pragma once

#include "processor/engine/CharacterProfiles.h"
#include "processor/engine/CompressorEngine.h"
#include "processor/engine/GainComputer.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace enginetest
{

// Prepares the way the processor does: settings, prepare, settings again (smoothers at target).
inline void prepareWith (CompressorEngine& engine, const CompressorParams& p, double fs, int maxBlock)
{
    engine.setParameters (p);
    engine.prepare (fs, maxBlock);
    engine.setParameters (p);
}

// Noise under a slow level envelope (about 0.7 Hz between -40 and 0 dBFS), like programme.
inline juce::AudioBuffer<float> makeProgramme (int numChannels, int numSamples, unsigned seed, double fs = 48000.0)
{
    juce::AudioBuffer<float> buffer (numChannels, numSamples);
    std::mt19937 rng (seed);
    std::uniform_real_distribution<float> noise (-1.0f, 1.0f);

    for (int i = 0; i < numSamples; ++i)
    {
        const double phase = 2.0 * juce::MathConstants<double>::pi * 0.7 * i / fs;
        const auto level = (float) std::pow (10.0, (-20.0 + 20.0 * std::sin (phase + seed)) / 20.0);

        for (int c = 0; c < numChannels; ++c)
            buffer.setSample (c, i, level * noise (rng));
    }

    return buffer;
}

inline juce::AudioBuffer<float> makeConstant (int numChannels, int numSamples, float value)
{
    juce::AudioBuffer<float> buffer (numChannels, numSamples);
    for (int c = 0; c < numChannels; ++c)
        juce::FloatVectorOperations::fill (buffer.getWritePointer (c), value, numSamples);
    return buffer;
}

// A view of samples [start, start + length) of every channel.
inline juce::AudioBuffer<float> slice (juce::AudioBuffer<float>& buffer, int start, int length)
{
    return juce::AudioBuffer<float> (buffer.getArrayOfWritePointers(), buffer.getNumChannels(), start, length);
}

// Processes in blocks of the given sizes (cycled), calling setParameters before each block.
inline void processInBlocks (CompressorEngine& engine, juce::AudioBuffer<float>& buffer, const CompressorParams& p,
                             const std::vector<int>& blockSizes)
{
    int start = 0;
    for (size_t b = 0; start < buffer.getNumSamples(); ++b)
    {
        const int length = std::min (blockSizes[b % blockSizes.size()], buffer.getNumSamples() - start);
        auto block = slice (buffer, start, length);
        engine.setParameters (p);
        engine.process (block, nullptr);
        start += length;
    }
}

inline bool bitwiseEqual (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b)
{
    if (a.getNumChannels() != b.getNumChannels() || a.getNumSamples() != b.getNumSamples())
        return false;

    for (int c = 0; c < a.getNumChannels(); ++c)
        if (std::memcmp (a.getReadPointer (c), b.getReadPointer (c), sizeof (float) * (size_t) a.getNumSamples()) != 0)
            return false;

    return true;
}

inline bool allFinite (const juce::AudioBuffer<float>& a)
{
    for (int c = 0; c < a.getNumChannels(); ++c)
        for (int i = 0; i < a.getNumSamples(); ++i)
            if (! std::isfinite (a.getSample (c, i)))
                return false;
    return true;
}

inline double ulpsApart (float value, double exact)
{
    const auto rounded = (float) exact;
    const double ulp = (double) std::nextafter (std::abs (rounded), INFINITY) - (double) std::abs (rounded);
    return std::abs ((double) value - exact) / ulp;
}

} // namespace enginetest
