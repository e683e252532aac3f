#pragma once

#include "processor/engine/CharacterProfiles.h"
#include "processor/engine/CompressorParams.h"
#include "processor/engine/GainComputer.h"

#include <juce_audio_basics/juce_audio_basics.h>
#include <juce_dsp/juce_dsp.h>

#include <vector>

// A deliberately plain, sample-by-sample compressor with the C library's pow and log10, written
// straight from the algorithm's description. The engine's block-wise code is checked against it.
class ReferenceCompressor
{
public:
    void prepare (double fs, int maxBlock)
    {
        if (! (fs > 0.0))
            fs = 44100.0;

        sampleRate = fs;

        for (auto* s : { &inputGain, &outputGain, &makeupDb, &mix })
            s->reset (fs, 0.02);

        const juce::dsp::ProcessSpec spec { fs, (juce::uint32) std::max (maxBlock, 1), 2 };
        highPass.prepare (spec);
        highPass.setType (juce::dsp::StateVariableTPTFilterType::highpass);
        highPass.setResonance (0.7071f);
        lowPass.prepare (spec);
        lowPass.setType (juce::dsp::StateVariableTPTFilterType::lowpass);
        lowPass.setResonance (0.7071f);

        length = std::max ((int) std::ceil (0.02 * fs) + 1, 2);
        delay[0].assign ((size_t) length, 0.0f);
        delay[1].assign ((size_t) length, 0.0f);
        writePos = 0;

        updateCoefficients();
        envelope[0] = envelope[1] = 0.0f;
        meanSquare[0] = meanSquare[1] = 0.0f;
        meter = 0.0f;
        highPass.reset();
        lowPass.reset();
        inputGain.setCurrentAndTargetValue (varnok::decibelsToGain (params.inputGainDb));
        outputGain.setCurrentAndTargetValue (varnok::decibelsToGain (params.outputGainDb));
        makeupDb.setCurrentAndTargetValue (effectiveMakeup);
        mix.setCurrentAndTargetValue (params.mix);
    }

    void setParameters (const CompressorParams& p)
    {
        params = p;
        updateCoefficients();
        effectiveMakeup = p.autoGain ? std::clamp (-varnok::computeGainReductionDb (-10.0f, p.thresholdDb, p.ratio, p.kneeDb), 0.0f, 24.0f)
                                     : p.makeupDb;
        inputGain.setTargetValue (varnok::decibelsToGain (p.inputGainDb));
        outputGain.setTargetValue (varnok::decibelsToGain (p.outputGainDb));
        makeupDb.setTargetValue (effectiveMakeup);
        mix.setTargetValue (p.mix);

        const auto maxCutoff = (float) (sampleRate * 0.45);
        highPassOn = p.sidechainHpfHz > 20.5f;
        lowPassOn = p.sidechainLpfHz < 19900.0f;
        if (highPassOn)
            highPass.setCutoffFrequency (p.sidechainHpfHz < 20.0f ? 20.0f : std::min (maxCutoff, p.sidechainHpfHz));
        if (lowPassOn)
            lowPass.setCutoffFrequency (p.sidechainLpfHz < 20.0f ? 20.0f : std::min (maxCutoff, p.sidechainLpfHz));

        const int n = (int) std::round ((double) p.lookaheadMs * 0.001 * sampleRate);
        lookahead = n < 0 ? 0 : std::min (n, std::max (length - 1, 0));
    }

    void process (juce::AudioBuffer<float>& main, const juce::AudioBuffer<float>* sidechain)
    {
        const int n = std::min (main.getNumChannels(), 2);
        const int numSamples = main.getNumSamples();
        if (n < 1 || numSamples == 0 || length == 0)
            return;

        int s = 0;
        if (sidechain != nullptr && sidechain->getNumChannels() >= 1 && sidechain->getNumSamples() >= numSamples)
            s = std::min (sidechain->getNumChannels(), 2);

        const bool midSide = params.midSide && n >= 2;
        const auto& k = varnok::getCharacterProfile (varnok::clampCharacterIndex (params.character));

        const float amount = std::max (params.autoRelease ? 1.0f : 0.0f, k.programRelease);
        float relCoef = releaseCoeff;
        if (amount > 0.0f)
        {
            const float depth = std::min (std::max (std::abs (envelope[0]), std::abs (envelope[1])) / 12.0f, 1.0f);
            relCoef = varnok::timeToCoefficient ((depth * amount * 3.0f + 1.0f) * (k.releaseScale * params.releaseMs), sampleRate);
        }

        const float slope = k.linearRelease ? 20.0f / (float) std::max ((double) (k.releaseScale * params.releaseMs) * 0.001 * sampleRate, 1.0)
                                            : 0.0f;
        const float drive = k.saturation * 1.2f + 1.0f;
        float deepest = 0.0f;

        for (int i = 0; i < numSamples; ++i)
        {
            const float inG = inputGain.getNextValue();
            const float mkDb = makeupDb.getNextValue();
            const float mixNow = mix.getNextValue();
            const float outG = outputGain.getNextValue();

            float x[2] {}, y[2] {}, d[2] {}, listenSignal[2] {}, levelDb[2] {}, o[2] {};

            for (int c = 0; c < n; ++c)
                x[c] = inG * main.getSample (c, i);

            const int r = (writePos - lookahead + length) % length;
            for (int c = 0; c < n; ++c)
            {
                delay[c][(size_t) writePos] = x[c];
                y[c] = delay[c][(size_t) r];
            }
            writePos = (writePos + 1) % length;

            for (int c = 0; c < n; ++c)
                d[c] = s > 0 ? sidechain->getSample (std::min (c, s - 1), i) : x[c];

            if (midSide)
            {
                const float d0 = d[0], d1 = d[1], y0 = y[0], y1 = y[1];
                d[0] = (d0 + d1) * 0.5f;
                d[1] = (d0 - d1) * 0.5f;
                y[0] = (y0 + y1) * 0.5f;
                y[1] = (y0 - y1) * 0.5f;
            }

            for (int c = 0; c < n; ++c)
            {
                float v = d[c];
                if (highPassOn)
                    v = highPass.processSample (c, v);
                if (lowPassOn)
                    v = lowPass.processSample (c, v);
                listenSignal[c] = v;

                float level;
                if (params.rmsDetection)
                {
                    meanSquare[c] = (meanSquare[c] - v * v) * rmsCoeff + v * v;
                    level = std::sqrt (std::max (meanSquare[c], 0.0f));
                }
                else
                {
                    level = std::abs (v);
                }
                levelDb[c] = varnok::gainToDecibels (level);
            }

            float maxDb = levelDb[0];
            for (int c = 1; c < n; ++c)
                maxDb = std::max (maxDb, levelDb[c]);

            for (int c = 0; c < n; ++c)
            {
                const float linked = levelDb[c] + (maxDb - levelDb[c]) * params.link;
                const float target = varnok::computeGainReductionDb (linked, params.thresholdDb, params.ratio, params.kneeDb);
                float e = envelope[c];
                if (e > target)
                    e = (e - target) * attackCoeff + target;
                else if (k.linearRelease)
                    e = std::min (e + slope, target);
                else
                    e = (e - target) * relCoef + target;
                envelope[c] = e;
                deepest = std::min (deepest, e);
            }

            for (int c = 0; c < n; ++c)
            {
                if (params.listen)
                {
                    o[c] = listenSignal[c];
                }
                else
                {
                    const float g = varnok::decibelsToGain (mkDb + envelope[c]);
                    o[c] = y[c] * g * mixNow + y[c] * (1.0f - mixNow);
                }
            }

            if (midSide)
            {
                const float o0 = o[0], o1 = o[1];
                o[0] = o0 + o1;
                o[1] = o0 - o1;
            }

            for (int c = 0; c < n; ++c)
            {
                if (k.saturation > 0.0f && ! params.listen)
                    o[c] = varnok::softClip (drive * o[c]) / drive;
                main.setSample (c, i, outG * o[c]);
            }
        }

        meter = deepest;
    }

    void processBypassed (juce::AudioBuffer<float>& main)
    {
        const int n = std::min (main.getNumChannels(), 2);
        if (n < 1 || main.getNumSamples() == 0 || length <= 0)
            return;

        for (int i = 0; i < main.getNumSamples(); ++i)
        {
            const int r = (writePos - lookahead + length) % length;
            for (int c = 0; c < n; ++c)
            {
                delay[c][(size_t) writePos] = main.getSample (c, i);
                main.setSample (c, i, delay[c][(size_t) r]);
            }
            writePos = (writePos + 1) % length;
        }

        meter = 0.0f;
    }

    float meter = 0.0f;
    float effectiveMakeup = 0.0f;
    int lookahead = 0;

private:
    void updateCoefficients()
    {
        const auto& k = varnok::getCharacterProfile (varnok::clampCharacterIndex (params.character));
        attackCoeff = varnok::timeToCoefficient (params.attackMs * k.attackScale, sampleRate);
        releaseCoeff = varnok::timeToCoefficient (params.releaseMs * k.releaseScale, sampleRate);
        rmsCoeff = (float) std::exp (-1.0 / (sampleRate * 0.01));
    }

    CompressorParams params;
    double sampleRate = 44100.0;
    float attackCoeff = 0.0f, releaseCoeff = 0.0f, rmsCoeff = 0.0f;
    float envelope[2] {}, meanSquare[2] {};
    std::vector<float> delay[2];
    int length = 0, writePos = 0;
    juce::SmoothedValue<float, juce::ValueSmoothingTypes::Linear> inputGain, outputGain, makeupDb, mix;
    juce::dsp::StateVariableTPTFilter<float> highPass, lowPass;
    bool highPassOn = false, lowPassOn = false;
};
