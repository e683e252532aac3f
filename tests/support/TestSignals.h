#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include <random>

namespace varnok::test
{
// Uniform white noise in -level..level, the same for the same seed.
inline juce::AudioBuffer<float> noise (int channels, int samples, float level, unsigned seed = 1)
{
    std::mt19937 rng (seed);
    std::uniform_real_distribution<float> dist (-level, level);
    juce::AudioBuffer<float> buffer (channels, samples);

    for (int c = 0; c < channels; ++c)
        for (int i = 0; i < samples; ++i)
            buffer.setSample (c, i, dist (rng));

    return buffer;
}
} // namespace varnok::test
