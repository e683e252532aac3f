#include "processor/PluginProcessor.h"
#include "processor/presets/FactoryPresets.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include <unistd.h>

namespace
{
struct ProgramRow
{
    const char* name;
    const char* category;
    float thresh, ratio, attack, release, makeup;
};

const ProgramRow programTable[] = {
    { "Default", "Default", -18, 4, 10, 150, 0 },         { "Vocal Smooth", "Vocal", -20, 3, 15, 180, 3 },
    { "Vocal Tight", "Vocal", -16, 5, 3, 90, 4 },          { "Vocal Aggressive", "Vocal", -18, 8, 1, 80, 5 },
    { "Drum Punch", "Drums", -14, 4, 25, 120, 3 },         { "Drum Bus Glue", "Drums", -18, 3, 30, 250, 3 },
    { "Snare Snap", "Drums", -18, 5, 20, 80, 4 },          { "Bass Sustain", "Bass", -24, 3, 40, 400, 5 },
    { "Bass Tight", "Bass", -18, 6, 2, 110, 5 },           { "Guitar Even", "Guitar", -20, 3, 15, 200, 3 },
    { "Keys Level", "Keys", -22, 3, 18, 220, 3 },          { "Pad Smooth", "Keys", -26, 2, 50, 450, 2 },
    { "Master Glue", "Master", -16, 2, 30, 300, 1.5f },    { "Gentle Glue", "Master", -20, 2, 30, 300, 2 },
};

float valueOf (VarnokCompAudioProcessor& p, const char* id) { return p.apvts.getRawParameterValue (id)->load(); }

void setValue (VarnokCompAudioProcessor& p, const char* id, float value)
{
    auto* param = p.apvts.getParameter (id);
    param->setValueNotifyingHost (param->convertTo0to1 (value));
}

// Counts host notifications per parameter index.
struct NotificationCounter : juce::AudioProcessorListener
{
    std::map<int, int> changes;
    void audioProcessorParameterChanged (juce::AudioProcessor*, int index, float) override { ++changes[index]; }
    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override {}
};

// Releases several threads at once into the first call of getFactoryPresets, then ends the
// process: 0 when every thread got the same, complete table.
[[noreturn]] void callFirstFromManyThreadsAndExit()
{
    constexpr int numThreads = 8;
    const std::vector<FactoryPreset>* seen[numThreads] {};
    std::atomic<int> waiting { 0 };
    std::atomic<bool> go { false };

    std::vector<std::thread> threads;
    for (auto& slot : seen)
    {
        threads.emplace_back ([&]
        {
            ++waiting;
            while (! go.load())
                ;
            slot = &varnok::getFactoryPresets();
        });
    }

    while (waiting.load() < numThreads)
        std::this_thread::yield();
    go = true;

    for (auto& t : threads)
        t.join();

    int faults = 0;
    for (int t = 0; t < numThreads; ++t)
    {
        if (seen[t] != seen[0])
        {
            std::fprintf (stderr, "thread %d got table %p, thread 0 got %p\n", t, (const void*) seen[t], (const void*) seen[0]);
            ++faults;
            continue;
        }

        if (seen[t]->size() != std::size (programTable))
        {
            std::fprintf (stderr, "thread %d: %zu programs\n", t, seen[t]->size());
            ++faults;
            continue;
        }

        for (size_t i = 0; i < seen[t]->size(); ++i)
        {
            const auto& p = (*seen[t])[i];
            const auto& row = programTable[i];

            const auto same = [] (float a, float b) { return std::memcmp (&a, &b, sizeof (float)) == 0; };

            if (std::strcmp (p.name, row.name) != 0 || std::strcmp (p.category, row.category) != 0 || ! same (p.thresh, row.thresh)
                || ! same (p.ratio, row.ratio) || ! same (p.attack, row.attack) || ! same (p.release, row.release)
                || ! same (p.makeup, row.makeup))
            {
                std::fprintf (stderr, "thread %d: program %zu is \"%s\", not \"%s\"\n", t, i, p.name, row.name);
                ++faults;
            }
        }
    }

    // This process's own test home (made empty by the test main), which its early exit skips.
    if (const char* home = std::getenv ("HOME"))
        ::rmdir (home);

    std::fflush (stderr);
    std::_Exit (faults == 0 ? 0 : 1);
}
} // namespace

TEST (FactoryPresetTest, TableMatchesTheFourteenPrograms)
{
    const auto& presets = varnok::getFactoryPresets();
    ASSERT_EQ (presets.size(), std::size (programTable));

    for (size_t i = 0; i < presets.size(); ++i)
    {
        const auto& p = presets[i];
        const auto& row = programTable[i];
        SCOPED_TRACE (row.name);
        EXPECT_STREQ (p.name, row.name);
        EXPECT_STREQ (p.category, row.category);
        EXPECT_EQ (p.thresh, row.thresh);
        EXPECT_EQ (p.ratio, row.ratio);
        EXPECT_EQ (p.attack, row.attack);
        EXPECT_EQ (p.release, row.release);
        EXPECT_EQ (p.makeup, row.makeup);
        // Settings this edition keeps fixed are the same in every program.
        EXPECT_EQ (p.knee, 6.0f);
        EXPECT_EQ (p.mix, 100.0f);
        EXPECT_EQ (p.detect, 0);
        EXPECT_EQ (p.character, 0);
        EXPECT_EQ (p.sc_hpf, 20.0f);
        EXPECT_EQ (p.sc_lpf, 20000.0f);
        EXPECT_EQ (p.stereo_mode, 0);
        EXPECT_EQ (p.link, 100.0f);
        EXPECT_EQ (p.lookahead, 0.0f);
        EXPECT_FALSE (p.auto_release);
        EXPECT_FALSE (p.auto_gain);
    }
}

// A first call happens once per process, and any test before this one may have made it. So the
// threads run in a process of their own: gtest's "threadsafe" death-test style starts the test
// binary afresh and runs only this test there, up to the statement, and nothing before it asks for
// the table. Each round is one new process, since a race need not show in every one.
TEST (FactoryPresetTest, ConcurrentFirstCallsSeeOneTable)
{
    GTEST_FLAG_SET (death_test_style, "threadsafe");

    for (int round = 0; round < 8; ++round)
        EXPECT_EXIT (callFirstFromManyThreadsAndExit(), ::testing::ExitedWithCode (0), "") << "round " << round;
}

TEST (ProgramTest, NamesAndCount)
{
    VarnokCompAudioProcessor processor;
    EXPECT_EQ (processor.getNumPrograms(), 14);
    EXPECT_EQ (processor.getCurrentProgram(), 0);

    for (int i = 0; i < 14; ++i)
        EXPECT_EQ (processor.getProgramName (i), programTable[i].name);

    EXPECT_EQ (processor.getProgramName (14), "");
    EXPECT_EQ (processor.getProgramName (-1), "");

    processor.changeProgramName (2, "Renamed");
    EXPECT_EQ (processor.getProgramName (2), "Vocal Tight");
}

TEST (ProgramTest, EveryProgramSetsItsFiveValuesAndLeavesTheRest)
{
    VarnokCompAudioProcessor processor;
    setValue (processor, "in_gain", 3.5f);
    setValue (processor, "out_gain", -2.0f);
    setValue (processor, "bypass", 1.0f);

    for (int i = 13; i >= 0; --i)
    {
        SCOPED_TRACE (programTable[i].name);
        processor.setCurrentProgram (i);
        EXPECT_EQ (processor.getCurrentProgram(), i);
        EXPECT_NEAR (valueOf (processor, "thresh"), programTable[i].thresh, 1.0e-4f);
        EXPECT_NEAR (valueOf (processor, "ratio"), programTable[i].ratio, 1.0e-4f);
        EXPECT_NEAR (valueOf (processor, "attack"), programTable[i].attack, 1.0e-3f);
        EXPECT_NEAR (valueOf (processor, "release"), programTable[i].release, 1.0e-2f);
        EXPECT_NEAR (valueOf (processor, "makeup"), programTable[i].makeup, 1.0e-4f);
        EXPECT_NEAR (valueOf (processor, "in_gain"), 3.5f, 1.0e-4f);
        EXPECT_NEAR (valueOf (processor, "out_gain"), -2.0f, 1.0e-4f);
        EXPECT_EQ (valueOf (processor, "bypass"), 1.0f);
    }
}

TEST (ProgramTest, OutOfRangeIndexChangesNothing)
{
    VarnokCompAudioProcessor processor;
    processor.setCurrentProgram (12);
    setValue (processor, "thresh", -40.0f);

    for (int index : { 14, -1, 1000 })
    {
        processor.setCurrentProgram (index);
        EXPECT_EQ (processor.getCurrentProgram(), 12);
        EXPECT_NEAR (valueOf (processor, "thresh"), -40.0f, 1.0e-4f);
    }

    // A hand-moved parameter does not change the program number either.
    EXPECT_EQ (processor.getCurrentProgram(), 12);
}

TEST (ProgramTest, ChoosingTheSameProgramAgainWritesAndNotifiesAgain)
{
    VarnokCompAudioProcessor processor;
    NotificationCounter counter;
    processor.addListener (&counter);

    processor.setCurrentProgram (3);
    processor.setCurrentProgram (3);
    processor.removeListener (&counter);

    // thresh, ratio, attack, release and makeup (indices 0..4), each told twice; nothing else.
    for (int index = 0; index < 5; ++index)
        EXPECT_EQ (counter.changes[index], 2) << index;
    EXPECT_EQ (counter.changes.count (5), 0u);
    EXPECT_EQ (counter.changes.count (7), 0u);
}
