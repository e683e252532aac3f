// Host state calls arrive on whatever thread the host uses (JUCE's VST3 wrapper on Linux runs its
// own message thread until the host lends it a run loop), while the editor's A/B, program, preset
// and undo actions run on the message thread and the audio thread keeps processing. Built with
// ThreadSanitizer (scripts/tsan.sh) these tests also report any data race between them.
#include "StateTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace varnok::test;

namespace
{
juce::MemoryBlock stateWith (int program, int slot, float thresh)
{
    VarnokCompAudioProcessor source;
    source.setCurrentProgram (program);
    if (slot == 1)
        source.toggleAB();
    setValue (source, "thresh", thresh);
    return saveState (source);
}

void processBlocks (VarnokCompAudioProcessor& processor, const std::atomic<bool>& stop, std::atomic<int>& blocks)
{
    juce::AudioBuffer<float> buffer (2, 64);
    juce::MidiBuffer midi;

    while (! stop.load())
    {
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < 64; ++i)
                buffer.setSample (c, i, 0.5f * std::sin ((float) i * 0.3f));

        processor.processBlock (buffer, midi);
        blocks.fetch_add (1);
    }
}
} // namespace

TEST (StateThreadingTest, HostStateCallsOnAnotherThreadAndEditorActionsDoNotCollide)
{
    ScopedFreshHome home;
    VarnokCompAudioProcessor processor;
    processor.prepareToPlay (48000.0, 64);
    ASSERT_TRUE (processor.userPresets.saveCurrentAs ("Saved"));

    const juce::MemoryBlock blobs[] = { stateWith (3, 1, -40.0f), stateWith (10, 0, -5.0f), stateWith (0, 1, -60.0f) };

    std::atomic<bool> stop { false };
    std::atomic<int> malformed { 0 }, hostCalls { 0 }, blocks { 0 };

    std::thread host ([&]
    {
        juce::MemoryBlock saved;

        for (int i = 0; ! stop.load(); ++i)
        {
            processor.getStateInformation (saved);
            const auto xml = juce::AudioProcessor::getXmlFromBinary (saved.getData(), (int) saved.getSize());

            if (xml == nullptr || ! xml->hasTagName ("VarnokState") || xml->getChildByName ("PARAMS") == nullptr
                || xml->getChildByName ("PARAMS")->getNumChildElements() != 8)
                malformed.fetch_add (1);

            const auto& blob = blobs[(size_t) i % std::size (blobs)];
            processor.setStateInformation (blob.getData(), (int) blob.getSize());
            hostCalls.fetch_add (1);
        }
    });

    std::thread audio ([&] { processBlocks (processor, stop, blocks); });

    // The message thread plays the editor, and lets the parameter state flush on its timer.
    for (int round = 0; round < 400; ++round)
    {
        processor.toggleAB();
        setValue (processor, "makeup", (float) (round % 24));
        processor.copyActiveToInactive();
        processor.setCurrentProgram (round % 14);

        {
            const juce::ScopedLock sl (processor.getStateLock());
            processor.undoManager.undo();
            processor.undoManager.redo();
        }

        processor.userPresets.loadPreset ("Saved");

        if (round % 40 == 0)
        {
            EXPECT_TRUE (processor.userPresets.saveCurrentAs ("Round " + juce::String (round / 40)));
        }

        pumpMessages (1);
    }

    stop = true;
    host.join();
    audio.join();

    EXPECT_GT (hostCalls.load(), 0);
    EXPECT_GT (blocks.load(), 0);
    EXPECT_EQ (malformed.load(), 0);

    // Still whole: what it saves now restores into a fresh processor and saves identically.
    const auto finalState = saveState (processor);
    VarnokCompAudioProcessor fresh;
    restoreState (fresh, finalState);
    EXPECT_EQ (saveState (fresh), finalState);
    EXPECT_EQ (processor.userPresets.getPresetNames().size(), 11);
}

// The audio thread never waits for the state lock: blocks keep coming while it is held.
TEST (StateThreadingTest, ProcessingNeverTakesTheStateLock)
{
    ScopedFreshHome home;
    VarnokCompAudioProcessor processor;
    processor.prepareToPlay (48000.0, 64);

    std::atomic<bool> stop { false };
    std::atomic<int> blocks { 0 };

    const juce::ScopedLock held (processor.getStateLock());
    std::thread audio ([&] { processBlocks (processor, stop, blocks); });

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds (10);
    while (blocks.load() < 200 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for (std::chrono::milliseconds (1));

    stop = true;
    audio.join();
    EXPECT_GE (blocks.load(), 200);
}
