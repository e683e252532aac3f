#pragma once

// The programme-like material that the engine and the hosted benchmarks process, so that their
// figures compare: 48 kHz stereo noise under a slow level envelope, the block copy that feeds it
// in and the per-frame counters both report.

#include <juce_audio_basics/juce_audio_basics.h>

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

namespace varnok::bench
{
constexpr double sampleRate = 48000.0;
constexpr int sourceLength = 1 << 17; // about 2.7 s

// Noise under a slow level envelope (0.5 Hz, -40 to 0 dBFS), with uncorrelated channels.
inline const juce::AudioBuffer<float>& programme()
{
    static const juce::AudioBuffer<float> source = []
    {
        juce::AudioBuffer<float> b (2, sourceLength);
        std::mt19937 rng (7);
        std::uniform_real_distribution<float> noise (-1.0f, 1.0f);

        for (int i = 0; i < sourceLength; ++i)
        {
            const double phase = 2.0 * juce::MathConstants<double>::pi * 0.5 * i / sampleRate;
            const auto level = (float) std::pow (10.0, (-20.0 + 20.0 * std::sin (phase)) / 20.0);
            b.setSample (0, i, level * noise (rng));
            b.setSample (1, i, level * noise (rng));
        }

        return b;
    }();

    return source;
}

// The next block of the source into work (two channels), wrapping round at its end.
inline void copyBlock (const juce::AudioBuffer<float>& source, juce::AudioBuffer<float>& work, int& position, int blockSize)
{
    if (position + blockSize > sourceLength)
        position = 0;

    for (int c = 0; c < 2; ++c)
        juce::FloatVectorOperations::copy (work.getWritePointer (c), source.getReadPointer (c, position), blockSize);

    position += blockSize;
}

// "ns_per_frame": the time per stereo sample frame.
inline void setFrameCounters (benchmark::State& state, int blockSize)
{
    const auto frames = (double) blockSize;
    state.counters["ns_per_frame"] = benchmark::Counter (frames * 1.0e-9,
                                                         benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.SetItemsProcessed ((int64_t) state.iterations() * blockSize);
}
} // namespace varnok::bench
