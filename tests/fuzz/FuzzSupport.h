#pragma once

#include "processor/PluginProcessor.h"
#include "tests/support/StateBlob.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>

namespace varnok::fuzz
{
// Reports a broken property the way a sanitizer does: a message and an abort, which libFuzzer
// turns into a crash with the input saved.
#define VARNOK_FUZZ_CHECK(condition, message)                                      \
    do                                                                             \
    {                                                                              \
        if (! (condition))                                                         \
        {                                                                          \
            std::fprintf (stderr, "property failed: %s (%s)\n", message, #condition); \
            std::abort();                                                          \
        }                                                                          \
    } while (false)

// JUCE, a processor, and $HOME pointed at a private folder (JUCE's application-data folder on
// Linux is $HOME/.config), made once per fuzzing process.
struct FuzzEnvironment
{
    FuzzEnvironment()
    {
        const char* tmp = std::getenv ("TMPDIR");
        std::string pattern = std::string (tmp != nullptr && *tmp != 0 ? tmp : "/tmp") + "/varnok-fuzz-home-XXXXXX";

        if (mkdtemp (pattern.data()) == nullptr)
        {
            std::perror ("mkdtemp");
            std::abort();
        }

        home = pattern;
        setenv ("HOME", pattern.c_str(), 1);
        setenv ("XDG_CONFIG_HOME", (pattern + "/.config").c_str(), 1);

        juceInitialiser = std::make_unique<juce::ScopedJuceInitialiser_GUI>();
        processor = std::make_unique<VarnokCompAudioProcessor>();
    }

    ~FuzzEnvironment()
    {
        processor.reset();
        juceInitialiser.reset();
        juce::File (home).deleteRecursively();
    }

    std::string home;
    std::unique_ptr<juce::ScopedJuceInitialiser_GUI> juceInitialiser;
    std::unique_ptr<VarnokCompAudioProcessor> processor;
};

// MemoryBlock's operator== hands memcmp null pointers for two empty blocks.
inline bool sameBytes (const juce::MemoryBlock& a, const juce::MemoryBlock& b)
{
    return a.getSize() == b.getSize() && (a.isEmpty() || std::memcmp (a.getData(), b.getData(), a.getSize()) == 0);
}

using varnok::test::restoreState;
using varnok::test::saveState;

// Every parameter holds a finite value inside its range.
inline bool parametersAreUsable (VarnokCompAudioProcessor& p)
{
    for (auto* param : p.getParameters())
    {
        if (auto* ranged = dynamic_cast<juce::RangedAudioParameter*> (param))
        {
            const auto value = p.apvts.getRawParameterValue (ranged->getParameterID())->load();
            const auto& range = ranged->getNormalisableRange();

            if (! std::isfinite (value) || value < range.start || value > range.end)
                return false;
        }
    }

    return true;
}
} // namespace varnok::fuzz
