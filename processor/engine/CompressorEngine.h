#pragma once

#include "CompressorParams.h"

#include <juce_audio_basics/juce_audio_basics.h>
#include <juce_dsp/juce_dsp.h>

#include <atomic>
#include <vector>

namespace varnok::engine
{
struct EngineKernels;
}

// Single-band feed-forward compressor working in place on the first one or two channels of a
// buffer. No locks and no allocation outside prepare().
class CompressorEngine
{
public:
    CompressorEngine();

    void prepare (double sampleRate, int maximumBlockSize);
    void setParameters (const CompressorParams& newParams);
    void process (juce::AudioBuffer<float>& main, const juce::AudioBuffer<float>* sidechain);
    void processBypassed (juce::AudioBuffer<float>& main);
    void reset();

    float getGainReductionDb (float levelDb) const noexcept;

    const CompressorParams& getParameters() const noexcept { return params; }
    double getSampleRate() const noexcept { return sampleRate; }
    int getDelayLength() const noexcept { return delayBuffer.getNumSamples(); }

    // Delay of the main path in samples: the latency the processor reports.
    int lookaheadSamples = 0;

    // Read by the editor without locks: the deepest envelope value of the last block (0 dB after
    // a bypassed block) and the makeup target in dB that the applied makeup follows.
    std::atomic<float> meterGainReductionDb { 0.0f };
    std::atomic<float> effectiveMakeupDb { 0.0f };

private:
    struct BlockState;

    void updateCoefficients();
    void processChunk (BlockState& block, float* const* mainData, const float* const* sidechainData, int count) noexcept;
    const float* runDelayLine (int channel, const float* input, float* output, int count) noexcept;
    void advanceDelayLine (int count) noexcept;
    template <bool Filter, bool Rms>
    void runDetectorInput (const float* const* input, float* const* filtered, float* const* meanSquares, int numChannels, int count) noexcept;
    float* scratchArray (int index) noexcept { return scratch.data() + (size_t) index * (size_t) scratchCapacity; }

    CompressorParams params;
    double sampleRate = 44100.0;
    float attackCoeff = 0.0f;
    float releaseCoeff = 0.0f;
    float rmsCoeff = 0.0f;
    // False until setParameters or prepare has derived the coefficients and the gain targets
    // from params; from then on they follow params.
    bool derivedValuesCurrent = false;
    float envelopeDb[2] = { 0.0f, 0.0f };
    float meanSquare[2] = { 0.0f, 0.0f };
    juce::AudioBuffer<float> delayBuffer;
    int delayWritePos = 0;

    juce::SmoothedValue<float, juce::ValueSmoothingTypes::Linear> smoothedInputGain;
    juce::SmoothedValue<float, juce::ValueSmoothingTypes::Linear> smoothedOutputGain;
    juce::SmoothedValue<float, juce::ValueSmoothingTypes::Linear> smoothedMakeupDb;
    juce::SmoothedValue<float, juce::ValueSmoothingTypes::Linear> smoothedMix;

    juce::dsp::StateVariableTPTFilter<float> detectorHighPass;
    juce::dsp::StateVariableTPTFilter<float> detectorLowPass;
    bool highPassActive = false;
    bool lowPassActive = false;

    // Per-chunk working arrays, allocated by prepare(); longer blocks run in chunks of this size.
    std::vector<float> scratch;
    int scratchCapacity = 0;
    const varnok::engine::EngineKernels* kernels = nullptr; // vector passes chosen for this CPU
};
