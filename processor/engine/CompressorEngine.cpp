#include "CompressorEngine.h"

#include "CharacterProfiles.h"
#include "EngineKernels.h"
#include "GainComputer.h"

#include <cfloat>
#include <cstring>

using varnok::engine::Ramp;

namespace
{
constexpr double smoothingSeconds = 0.02;
constexpr double delaySeconds = 0.02;
constexpr float filterResonance = 0.7071f;
constexpr float highPassOffHz = 20.5f;
constexpr float lowPassOffHz = 19900.0f;
constexpr float lowestCutoffHz = 20.0f;

// Large enough to amortise the per-chunk set-up, small enough for the working arrays to stay
// in the first-level cache.
constexpr int largestChunk = 1024;
constexpr int smallestChunk = 32;

enum ScratchIndex
{
    inputArray,        // two arrays: input-gained main signal
    delayedArray = 2,  // two: delayed (and mid/side encoded) main signal
    detectorArray = 4, // two: sidechain, mid/side and filter output
    workArray = 6,     // two: mean square -> target -> envelope -> gain
    inputGainRamp = 8,
    makeupRamp,
    mixRamp,
    outputGainRamp,
    numScratchArrays
};

using LinearSmoother = juce::SmoothedValue<float, juce::ValueSmoothingTypes::Linear>;

// Advances the smoother once per sample of the chunk, exactly as per-sample calls would; a
// smoother that is not ramping is read once.
Ramp takeRamp (LinearSmoother& smoother, float* storage, int count) noexcept
{
    if (! smoother.isSmoothing())
        return { nullptr, smoother.getTargetValue() };

    // A local copy keeps the ramp in registers: the stores below cannot alias it.
    auto local = smoother;
    for (int i = 0; i < count; ++i)
        storage[i] = local.getNextValue();

    smoother = local;
    return { storage, 0.0f };
}

// One step of the 10 ms RMS detector's mean square. A square that overflows is held at the
// largest float, so that a huge but finite sample cannot turn the state into inf - inf.
inline float meanSquareStep (float ms, float v, float coeff) noexcept
{
    const float square = v * v;
    const float bounded = square < FLT_MAX ? square : FLT_MAX;
    return (ms - bounded) * coeff + bounded;
}

void copyFromRing (const float* ring, int length, int start, float* out, int count) noexcept
{
    const int first = std::min (count, length - start);
    std::memcpy (out, ring + start, (size_t) first * sizeof (float));
    std::memcpy (out + first, ring, (size_t) (count - first) * sizeof (float));
}

void copyToRing (float* ring, int length, int start, const float* in, int count) noexcept
{
    const int first = std::min (count, length - start);
    std::memcpy (ring + start, in, (size_t) first * sizeof (float));
    std::memcpy (ring, in + first, (size_t) (count - first) * sizeof (float));
}
} // namespace

//==============================================================================
struct CompressorEngine::BlockState
{
    int numChannels = 0;
    int sidechainChannels = 0; // 0: internal detection
    bool midSide = false;
    const CharacterProfile* profile = nullptr;
    float releaseCoeff = 0.0f;
    float linearSlope = 0.0f;
    float drive = 1.0f;
    float deepest = 0.0f;
};

CompressorEngine::CompressorEngine() = default;

void CompressorEngine::updateCoefficients()
{
    const auto& profile = varnok::getCharacterProfile (varnok::clampCharacterIndex (params.character));
    attackCoeff = varnok::timeToCoefficient (params.attackMs * profile.attackScale, sampleRate);
    releaseCoeff = varnok::timeToCoefficient (params.releaseMs * profile.releaseScale, sampleRate);
    rmsCoeff = (float) std::exp (-1.0 / (sampleRate * 0.01));
}

void CompressorEngine::prepare (double newSampleRate, int maximumBlockSize)
{
    const double fs = newSampleRate > 0.0 ? newSampleRate : 44100.0; // also catches NaN
    sampleRate = fs;

    for (auto* smoother : { &smoothedInputGain, &smoothedOutputGain, &smoothedMakeupDb, &smoothedMix })
        smoother->reset (fs, smoothingSeconds);

    const juce::dsp::ProcessSpec spec { fs, (juce::uint32) std::max (maximumBlockSize, 1), 2 };
    detectorHighPass.prepare (spec);
    detectorHighPass.setType (juce::dsp::StateVariableTPTFilterType::highpass);
    detectorHighPass.setResonance (filterResonance);
    detectorLowPass.prepare (spec);
    detectorLowPass.setType (juce::dsp::StateVariableTPTFilterType::lowpass);
    detectorLowPass.setResonance (filterResonance);

    const int length = std::max ((int) std::ceil (delaySeconds * fs) + 1, 2);
    if (delayBuffer.getNumSamples() != length || delayBuffer.getNumChannels() != 2)
        delayBuffer.setSize (2, length);

    const int chunk = maximumBlockSize > 0 ? std::clamp (maximumBlockSize, smallestChunk, largestChunk) : largestChunk;
    scratchCapacity = varnok::engine::padToVector (chunk);
    const size_t scratchSize = (size_t) numScratchArrays * (size_t) scratchCapacity;
    if (scratch.size() != scratchSize)
        scratch.assign (scratchSize, 0.0f);

    kernels = &varnok::engine::selectEngineKernels();

    updateCoefficients();
    reset();
    derivedValuesCurrent = true;
}

void CompressorEngine::reset()
{
    envelopeDb[0] = envelopeDb[1] = 0.0f;
    meanSquare[0] = meanSquare[1] = 0.0f;
    meterGainReductionDb.store (0.0f, std::memory_order_relaxed);
    detectorHighPass.reset();
    detectorLowPass.reset();
    delayBuffer.clear();
    delayWritePos = 0;

    smoothedInputGain.setCurrentAndTargetValue (varnok::decibelsToGain (params.inputGainDb));
    smoothedOutputGain.setCurrentAndTargetValue (varnok::decibelsToGain (params.outputGainDb));
    smoothedMakeupDb.setCurrentAndTargetValue (effectiveMakeupDb.load (std::memory_order_relaxed));
    smoothedMix.setCurrentAndTargetValue (params.mix);
}

void CompressorEngine::setParameters (const CompressorParams& newParams)
{
    // The processor hands over the settings before every block, nearly always unchanged: the
    // exponentials and powers derived from them are recomputed only when their inputs change
    // (a NaN never compares equal, so it is always recomputed, to the same result).
    const bool recompute = ! derivedValuesCurrent;
    const bool timesChanged = recompute || ! juce::exactlyEqual (newParams.attackMs, params.attackMs)
                              || ! juce::exactlyEqual (newParams.releaseMs, params.releaseMs)
                              || newParams.character != params.character;
    const bool inputGainChanged = recompute || ! juce::exactlyEqual (newParams.inputGainDb, params.inputGainDb);
    const bool outputGainChanged = recompute || ! juce::exactlyEqual (newParams.outputGainDb, params.outputGainDb);

    params = newParams;

    if (timesChanged)
        updateCoefficients();

    float makeup = params.makeupDb;
    if (params.autoGain)
        makeup = std::clamp (-varnok::computeGainReductionDb (-10.0f, params.thresholdDb, params.ratio, params.kneeDb), 0.0f, 24.0f);

    effectiveMakeupDb.store (makeup, std::memory_order_relaxed);

    // An unchanged gain is the smoother's target already (setTargetValue would ignore it).
    if (inputGainChanged)
        smoothedInputGain.setTargetValue (varnok::decibelsToGain (params.inputGainDb));

    if (outputGainChanged)
        smoothedOutputGain.setTargetValue (varnok::decibelsToGain (params.outputGainDb));

    smoothedMakeupDb.setTargetValue (makeup);
    smoothedMix.setTargetValue (params.mix);

    derivedValuesCurrent = true;

    const auto maxCutoff = (float) (sampleRate * 0.45);
    highPassActive = params.sidechainHpfHz > highPassOffHz;
    lowPassActive = params.sidechainLpfHz < lowPassOffHz;

    // Setting an unchanged cutoff would only recompute the same coefficients (and a tangent).
    const auto applyCutoff = [maxCutoff] (juce::dsp::StateVariableTPTFilter<float>& filter, float setting)
    {
        const float cutoff = setting < lowestCutoffHz ? lowestCutoffHz : std::min (maxCutoff, setting);
        if (! juce::exactlyEqual (cutoff, filter.getCutoffFrequency()))
            filter.setCutoffFrequency (cutoff);
    };

    if (highPassActive)
        applyCutoff (detectorHighPass, params.sidechainHpfHz);

    if (lowPassActive)
        applyCutoff (detectorLowPass, params.sidechainLpfHz);

    const double samples = std::round ((double) params.lookaheadMs * 0.001 * sampleRate);
    const int longest = std::max (getDelayLength() - 1, 0);
    lookaheadSamples = samples >= 0.0 ? (int) std::min (samples, (double) longest) : 0; // NaN gives 0
}

float CompressorEngine::getGainReductionDb (float levelDb) const noexcept
{
    return varnok::computeGainReductionDb (levelDb, params.thresholdDb, params.ratio, params.kneeDb);
}

//==============================================================================
const float* CompressorEngine::runDelayLine (int channel, const float* input, float* output, int count) noexcept
{
    const int length = delayBuffer.getNumSamples();
    float* const line = delayBuffer.getWritePointer (channel);

    // The lookahead never exceeds length - 1 after setParameters; the clamp keeps a prepare
    // that shortened the line without a following setParameters inside the buffer.
    const int lookahead = std::min (lookaheadSamples, length - 1);
    const float* result = input;

    // Output sample i is input sample i - lookahead, taken from the line while that lies
    // before this chunk. The write of sample i precedes its read, so lookahead 0 is a wire.
    if (lookahead > 0)
    {
        const int fromLine = std::min (lookahead, count);
        int readPos = delayWritePos - lookahead;
        if (readPos < 0)
            readPos += length;

        copyFromRing (line, length, readPos, output, fromLine);
        std::memcpy (output + fromLine, input, (size_t) (count - fromLine) * sizeof (float));
        result = output;
    }

    // Only the last `length` samples of the chunk survive in the line.
    const int skipped = std::max (0, count - length);
    copyToRing (line, length, (int) (((long long) delayWritePos + skipped) % length), input + skipped, count - skipped);
    return result;
}

void CompressorEngine::advanceDelayLine (int count) noexcept
{
    delayWritePos = (int) (((long long) delayWritePos + count) % delayBuffer.getNumSamples());
}

template <bool Filter, bool Rms>
void CompressorEngine::runDetectorInput (const float* const* input, float* const* filtered, float* const* meanSquares,
                                         int numChannels, int count) noexcept
{
    // A huge finite detector signal can overflow a filter's state; such a state is cleared on
    // the sample where it shows, instead of turning every later sample into NaN.
    const auto step = [] (juce::dsp::StateVariableTPTFilter<float>& filter, int channel, float v)
    {
        v = filter.processSample (channel, v);
        if (! (std::abs (v) <= FLT_MAX))
        {
            filter.reset();
            v = 0.0f;
        }
        return v;
    };

    // Both channels per sample: their filter and mean-square states are independent chains
    // that overlap. The mean squares live in locals, which the stores cannot alias.
    float ms[2] = { meanSquare[0], meanSquare[1] };

    for (int i = 0; i < count; ++i)
    {
        for (int c = 0; c < numChannels; ++c)
        {
            float v = input[c][i];

            if constexpr (Filter)
            {
                if (highPassActive)
                    v = step (detectorHighPass, c, v);

                if (lowPassActive)
                    v = step (detectorLowPass, c, v);

                filtered[c][i] = v;
            }

            if constexpr (Rms)
                meanSquares[c][i] = ms[c] = meanSquareStep (ms[c], v, rmsCoeff);
        }
    }

    if constexpr (Rms)
        for (int c = 0; c < numChannels; ++c)
            meanSquare[c] = ms[c];
}

void CompressorEngine::process (juce::AudioBuffer<float>& main, const juce::AudioBuffer<float>* sidechain)
{
    const int numChannels = std::min (main.getNumChannels(), 2);
    const int numSamples = main.getNumSamples();

    if (numChannels < 1 || numSamples <= 0 || getDelayLength() <= 0 || kernels == nullptr)
        return;

    BlockState block;
    block.numChannels = numChannels;

    if (sidechain != nullptr && sidechain->getNumChannels() >= 1 && sidechain->getNumSamples() >= numSamples)
        block.sidechainChannels = std::min (sidechain->getNumChannels(), 2);

    block.midSide = params.midSide && numChannels >= 2;

    const auto& profile = varnok::getCharacterProfile (varnok::clampCharacterIndex (params.character));
    block.profile = &profile;

    // Program-dependent release: once per block, from the envelopes as the block starts.
    block.releaseCoeff = releaseCoeff;
    const float amount = std::max (params.autoRelease ? 1.0f : 0.0f, profile.programRelease);
    const float scaledReleaseMs = profile.releaseScale * params.releaseMs;

    if (amount > 0.0f)
    {
        const float depth = std::min (std::max (std::abs (envelopeDb[0]), std::abs (envelopeDb[1])) / 12.0f, 1.0f);
        block.releaseCoeff = varnok::timeToCoefficient ((depth * amount * 3.0f + 1.0f) * scaledReleaseMs, sampleRate);
    }

    if (profile.linearRelease)
        block.linearSlope = 20.0f / (float) std::max ((double) scaledReleaseMs * 0.001 * sampleRate, 1.0);

    block.drive = profile.saturation * 1.2f + 1.0f;

    float* mainData[2] = { main.getWritePointer (0), numChannels > 1 ? main.getWritePointer (1) : nullptr };
    const float* sidechainData[2] = { nullptr, nullptr };

    if (block.sidechainChannels > 0)
        for (int c = 0; c < 2; ++c)
            sidechainData[c] = sidechain->getReadPointer (std::min (c, block.sidechainChannels - 1));

    for (int start = 0; start < numSamples; start += scratchCapacity)
    {
        float* chunkMain[2] = { mainData[0] + start, numChannels > 1 ? mainData[1] + start : nullptr };
        const float* chunkSidechain[2] = { sidechainData[0] != nullptr ? sidechainData[0] + start : nullptr,
                                           sidechainData[1] != nullptr ? sidechainData[1] + start : nullptr };
        processChunk (block, chunkMain, chunkSidechain, std::min (scratchCapacity, numSamples - start));
    }

    meterGainReductionDb.store (block.deepest, std::memory_order_relaxed);
}

void CompressorEngine::processChunk (BlockState& block, float* const* mainData, const float* const* sidechainData, int count) noexcept
{
    const auto& k = *kernels;
    const int n = block.numChannels;
    const int padded = varnok::engine::padToVector (count);

    // 1. Smoothers, each one step per sample.
    const Ramp inputGain = takeRamp (smoothedInputGain, scratchArray (inputGainRamp), count);
    const Ramp makeupDb = takeRamp (smoothedMakeupDb, scratchArray (makeupRamp), count);
    const Ramp mix = takeRamp (smoothedMix, scratchArray (mixRamp), count);
    const Ramp outputGain = takeRamp (smoothedOutputGain, scratchArray (outputGainRamp), count);

    float* input[2] = { scratchArray (inputArray), scratchArray (inputArray + 1) };
    float* delayed[2] = { scratchArray (delayedArray), scratchArray (delayedArray + 1) };
    float* detector[2] = { scratchArray (detectorArray), scratchArray (detectorArray + 1) };
    float* work[2] = { scratchArray (workArray), scratchArray (workArray + 1) };

    // 2. Input gain (non-finite samples count as silence); 3. delay line.
    const float* dry[2] = { nullptr, nullptr };

    for (int c = 0; c < n; ++c)
    {
        k.applyInputGain (mainData[c], inputGain, input[c], count);
        dry[c] = runDelayLine (c, input[c], delayed[c], count);
    }

    advanceDelayLine (count);

    // 4. Detector input: the raw sidechain (a mono one feeds both channels) or the gained input.
    const float* detected[2] = { input[0], input[1] };

    if (block.sidechainChannels > 0)
    {
        for (int c = 0; c < n; ++c)
        {
            k.copyFinite (sidechainData[c], detector[c], count);
            detected[c] = detector[c];
        }
    }

    // 5. Mid/side. The sum of two huge samples may overflow to inf; the detector copes with
    // that (the level conversion saturates, the RMS square is clamped, the filters reset).
    if (block.midSide)
    {
        k.encodeMidSide (detected[0], detected[1], detector[0], detector[1], padded);
        k.encodeMidSide (dry[0], dry[1], delayed[0], delayed[1], padded);
        detected[0] = detector[0];
        detected[1] = detector[1];
        dry[0] = delayed[0];
        dry[1] = delayed[1];
    }

    // 6. Detector filters and the RMS detector's mean squares (into work).
    const bool filter = highPassActive || lowPassActive;
    const bool rms = params.rmsDetection;

    if (filter && rms)
        runDetectorInput<true, true> (detected, detector, work, n, count);
    else if (filter)
        runDetectorInput<true, false> (detected, detector, work, n, count);
    else if (rms)
        runDetectorInput<false, true> (detected, detector, work, n, count);

    if (filter)
    {
        detected[0] = detector[0];
        detected[1] = detector[1];
    }

    // 7. Level in dB, link and static curve, 8. envelopes, 9. gains.
    const float* levelSource[2] = { rms ? work[0] : detected[0], rms ? work[1] : detected[1] };
    varnok::engine::DetectorArgs detection;
    detection.detector = levelSource;
    detection.meanSquares = rms;
    detection.work = work;
    detection.numChannels = n;
    detection.curve.compresses = params.ratio > 1.0001f;
    detection.curve.softKnee = params.kneeDb > 0.0f;
    detection.curve.threshold = params.thresholdDb;
    detection.curve.slope = 1.0f / params.ratio - 1.0f;
    detection.curve.half = params.kneeDb * 0.5f;
    detection.curve.twoKnee = 2.0f * params.kneeDb;
    detection.curve.link = params.link;
    detection.attackCoeff = attackCoeff;
    detection.releaseCoeff = block.releaseCoeff;
    detection.linearSlope = block.linearSlope;
    detection.linearRelease = block.profile->linearRelease;
    detection.writeGains = ! params.listen;
    detection.makeupDb = makeupDb;
    detection.envelope = envelopeDb;
    detection.deepest = block.deepest;
    detection.count = count;
    k.runDetector (detection);
    block.deepest = detection.deepest;

    // 10. to 12. Mix, mid/side decoding, saturation, output gain.
    varnok::engine::OutputSettings output;
    output.numChannels = n;
    output.listen = params.listen;
    output.midSide = block.midSide;
    output.saturate = block.profile->saturation > 0.0f;
    output.drive = block.drive;
    k.writeOutput (output, dry, work, detected, mix, outputGain, mainData, count);
}

void CompressorEngine::processBypassed (juce::AudioBuffer<float>& main)
{
    const int numChannels = std::min (main.getNumChannels(), 2);
    const int numSamples = main.getNumSamples();

    if (numChannels < 1 || numSamples <= 0 || getDelayLength() <= 0 || kernels == nullptr)
        return;

    for (int start = 0; start < numSamples; start += scratchCapacity)
    {
        const int count = std::min (scratchCapacity, numSamples - start);

        for (int c = 0; c < numChannels; ++c)
        {
            float* data = main.getWritePointer (c) + start;
            const float* delayed = runDelayLine (c, data, scratchArray (delayedArray + c), count);

            if (delayed != data)
                std::memcpy (data, delayed, (size_t) count * sizeof (float));
        }

        advanceDelayLine (count);
    }

    meterGainReductionDb.store (0.0f, std::memory_order_relaxed);
}
