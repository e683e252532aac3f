// The built VST3 bundle driven through JUCE's VST3 hosting, as a host drives it: 48 kHz stereo,
// default settings, the same programme material and block copy as the engine benchmark, so
// that "ns_per_frame" here and there compare directly. BM_HostedWrapperOnly runs the same loop
// with the host's bypass on, which skips the plug-in's processBlock: what remains is the cost of
// the host side and of the framework's VST3 wrapper.

#include "bench/support/BenchSignal.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

#if JUCE_LINUX || JUCE_BSD
 #include <unistd.h>
#endif

namespace
{
using varnok::bench::copyBlock;
using varnok::bench::programme;
using varnok::bench::sampleRate;
using varnok::bench::setFrameCounters;

juce::String bundlePath()
{
    return juce::SystemStats::getEnvironmentVariable ("VARNOK_VST3_BUNDLE", VARNOK_VST3_BUNDLE);
}

// One instance for the whole run: loading the module is slow and not what is measured.
std::unique_ptr<juce::AudioPluginInstance>& sharedInstance()
{
    static std::unique_ptr<juce::AudioPluginInstance> instance;
    return instance;
}

juce::AudioPluginInstance* loadInstance (juce::String& error)
{
    auto& instance = sharedInstance();

    if (instance == nullptr)
    {
        juce::VST3PluginFormat format;
        juce::OwnedArray<juce::PluginDescription> found;
        format.findAllTypesForFile (found, bundlePath());

        if (found.isEmpty())
        {
            error = "no plug-in found in " + bundlePath();
            return nullptr;
        }

        instance = format.createInstanceFromDescription (*found.getFirst(), sampleRate, 512, error);
    }

    return instance.get();
}

void runHosted (benchmark::State& state, bool hostBypass)
{
    const int blockSize = (int) state.range (0);
    juce::String error;
    auto* instance = loadInstance (error);

    if (instance == nullptr)
    {
        state.SkipWithError (error.toRawUTF8());
        return;
    }

    instance->releaseResources();
    instance->prepareToPlay (sampleRate, blockSize);

    const auto& source = programme();
    juce::AudioBuffer<float> work (2, blockSize);
    juce::MidiBuffer midi;
    int position = 0;

    for (auto _ : state)
    {
        copyBlock (source, work, position, blockSize);

        if (hostBypass)
            instance->processBlockBypassed (work, midi);
        else
            instance->processBlock (work, midi);

        benchmark::DoNotOptimize (work.getReadPointer (0));
        benchmark::ClobberMemory();
    }

    setFrameCounters (state, blockSize);

    // Leave the next benchmark an instance that is not bypassed.
    if (hostBypass)
        instance->processBlock (work, midi);
}

void BM_HostedDefault (benchmark::State& state) { runHosted (state, false); }
void BM_HostedWrapperOnly (benchmark::State& state) { runHosted (state, true); }
} // namespace

BENCHMARK (BM_HostedDefault)->Arg (32)->Arg (512)->Arg (4096);
BENCHMARK (BM_HostedWrapperOnly)->Arg (512);

// JUCE's message manager must exist on the thread that loads and drives the plug-in. Each
// processor reads the user-preset file on construction: run in a fresh, empty home so the
// user's own presets are neither read nor touched.
int main (int argc, char** argv)
{
   #if JUCE_LINUX || JUCE_BSD
    const char* tmp = std::getenv ("TMPDIR");
    std::string home = std::string (tmp != nullptr && *tmp != 0 ? tmp : "/tmp") + "/varnok-bench-home-XXXXXX";

    if (mkdtemp (home.data()) == nullptr)
        return 2;

    setenv ("HOME", home.c_str(), 1);
    setenv ("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
   #endif

    benchmark::Initialize (&argc, argv);

    if (benchmark::ReportUnrecognizedArguments (argc, argv))
        return 1;

    {
        juce::ScopedJuceInitialiser_GUI juceInitialiser;
        benchmark::RunSpecifiedBenchmarks();
        sharedInstance().reset();
    }

    benchmark::Shutdown();

   #if JUCE_LINUX || JUCE_BSD
    juce::File (home).deleteRecursively();
   #endif
    return 0;
}
