// CompressorEngine::process at 48 kHz stereo on programme-like material. Each iteration copies
// one block of a precomputed source into the work buffer and processes it; BM_CopyOnly measures
// that copy alone. "ns_per_frame" is the time per stereo sample frame.

#include "processor/engine/CompressorEngine.h"
#include "processor/engine/EngineKernels.h"

#include "bench/support/BenchSignal.h"

#include <benchmark/benchmark.h>

namespace
{
using varnok::bench::copyBlock;
using varnok::bench::programme;
using varnok::bench::sampleRate;
using varnok::bench::setFrameCounters;

CompressorParams defaults()
{
    return {};
}

CompressorParams everyFeature()
{
    CompressorParams p;
    p.rmsDetection = true;
    p.sidechainHpfHz = 80.0f;
    p.sidechainLpfHz = 12000.0f;
    p.midSide = true;
    p.lookaheadMs = 5.0f;
    p.character = 5; // Bus: saturation and program-dependent release
    p.link = 0.5f;
    p.mix = 0.8f;
    p.makeupDb = 3.0f;
    return p;
}

// rampEveryBlock: alternate the makeup between two values, so a 20 ms ramp is always running.
void runEngine (benchmark::State& state, const CompressorParams& params, bool rampEveryBlock, int kernelChoice = 0)
{
    const int blockSize = (int) state.range (0);
    const auto& source = programme();
    juce::AudioBuffer<float> work (2, blockSize);

    CompressorEngine engine;
    engine.setParameters (params);
    if (! varnok::engine::forceEngineKernels (kernelChoice))
    {
        state.SkipWithError ("instruction set not available");
        return;
    }
    engine.prepare (sampleRate, blockSize);
    state.SetLabel (varnok::engine::selectEngineKernels().name);
    varnok::engine::forceEngineKernels (0);
    engine.setParameters (params);

    auto other = params;
    other.makeupDb = params.makeupDb + 3.0f;
    bool flip = false;

    juce::ScopedNoDenormals noDenormals; // as the processor runs it
    int position = 0;

    for (auto _ : state)
    {
        copyBlock (source, work, position, blockSize);

        if (rampEveryBlock)
        {
            engine.setParameters (flip ? other : params);
            flip = ! flip;
        }

        engine.process (work, nullptr);
        benchmark::DoNotOptimize (work.getReadPointer (0));
        benchmark::ClobberMemory();
    }

    setFrameCounters (state, blockSize);
}

void BM_ProcessDefault (benchmark::State& state) { runEngine (state, defaults(), false); }
void BM_ProcessAllFeatures (benchmark::State& state) { runEngine (state, everyFeature(), false); }
void BM_ProcessDefaultRamping (benchmark::State& state) { runEngine (state, defaults(), true); }

// The same on the baseline (SSE2) vector passes, for CPUs without AVX2.
void BM_ProcessDefaultBaseline (benchmark::State& state) { runEngine (state, defaults(), false, 1); }
void BM_ProcessAllFeaturesBaseline (benchmark::State& state) { runEngine (state, everyFeature(), false, 1); }

void BM_CopyOnly (benchmark::State& state)
{
    const int blockSize = (int) state.range (0);
    const auto& source = programme();
    juce::AudioBuffer<float> work (2, blockSize);
    int position = 0;

    for (auto _ : state)
    {
        copyBlock (source, work, position, blockSize);
        benchmark::DoNotOptimize (work.getReadPointer (0));
        benchmark::ClobberMemory();
    }

    setFrameCounters (state, blockSize);
}

// The processor hands the engine its settings before every block.
void BM_SetParameters (benchmark::State& state)
{
    CompressorEngine engine;
    auto p = everyFeature();
    engine.setParameters (p);
    engine.prepare (sampleRate, 512);

    for (auto _ : state)
    {
        engine.setParameters (p);
        benchmark::ClobberMemory();
    }
}
} // namespace

BENCHMARK (BM_ProcessDefault)->Arg (32)->Arg (512)->Arg (4096);
BENCHMARK (BM_ProcessAllFeatures)->Arg (32)->Arg (512)->Arg (4096);
BENCHMARK (BM_ProcessDefaultRamping)->Arg (32)->Arg (512)->Arg (4096);
BENCHMARK (BM_ProcessDefaultBaseline)->Arg (32)->Arg (512)->Arg (4096);
BENCHMARK (BM_ProcessAllFeaturesBaseline)->Arg (32)->Arg (512)->Arg (4096);
BENCHMARK (BM_CopyOnly)->Arg (32)->Arg (512)->Arg (4096);
BENCHMARK (BM_SetParameters);

BENCHMARK_MAIN();
