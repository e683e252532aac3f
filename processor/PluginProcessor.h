#pragma once

#include "MeterSource.h"
#include "engine/CompressorEngine.h"
#include "presets/UserPresetStore.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <array>
#include <atomic>

class VarnokCompAudioProcessor : public juce::AudioProcessor,
                                 public MeterSource,
                                 public juce::AsyncUpdater
{
    // Members are constructed in declaration order and destroyed in reverse. The order matters
    // for these: stateLock first (hence here, before the interface), because userPresets and
    // every state action may take it until the processor is gone; then undoManager before apvts,
    // and apvts before userPresets, since each keeps a pointer to the one before. The other
    // members are plain values without such ties.
    juce::CriticalSection stateLock;

public:
    VarnokCompAudioProcessor();
    ~VarnokCompAudioProcessor() override;

    const juce::String getName() const override;

    void prepareToPlay (double sampleRate, int maximumExpectedSamplesPerBlock) override;
    void releaseResources() override;
    using juce::AudioProcessor::processBlock;
    void processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi) override;

    double getTailLengthSeconds() const override;
    bool acceptsMidi() const override;
    bool producesMidi() const override;

    juce::AudioProcessorEditor* createEditor() override;
    bool hasEditor() const override;

    int getNumPrograms() override;
    int getCurrentProgram() override;
    void setCurrentProgram (int index) override;
    const juce::String getProgramName (int index) override;
    void changeProgramName (int index, const juce::String& newName) override;

    void getStateInformation (juce::MemoryBlock& destData) override;
    void setStateInformation (const void* data, int sizeInBytes) override;

    bool isBusesLayoutSupported (const BusesLayout& layouts) const override;

    float getPeak (Stage stage, int channel) const override;

    // The engine's settings for the coming block, read from the parameters' atomics.
    CompressorParams makeEngineParams() const;

    static juce::AudioProcessorValueTreeState::ParameterLayout createParameterLayout();

    // A/B comparison: the live parameters are one slot, abInactive holds the other.
    void copyActiveToInactive();
    void swapAB();
    bool toggleAB();

    // Held by the host's state calls (any thread) and by the A/B, program and user-preset actions,
    // never on the audio thread. Code that drives undoManager directly should hold it too, since
    // restoring a state clears the undo history.
    const juce::CriticalSection& getStateLock() const noexcept { return stateLock; }

    juce::UndoManager undoManager;
    juce::AudioProcessorValueTreeState apvts;
    CompressorEngine engine;
    UserPresetStore userPresets;

    // The live slot, 0 = A, 1 = B; the editor's timer reads it without the lock.
    std::atomic<int> abSlot { 0 };

private:
    static BusesProperties makeBusesProperties();
    void handleAsyncUpdate() override;
    void updatePeaks (const juce::AudioBuffer<float>& mainBus, Stage stage);

    // Written on the audio thread before triggerAsyncUpdate, read by handleAsyncUpdate.
    std::atomic<int> pendingLatency { 0 };
    int reportedLatency = 0;

    std::atomic<int> currentProgram { 0 };

    // The hidden slot's parameter tree; invalid until the first copy, toggle or state restore.
    juce::ValueTree abInactive;

    std::array<std::atomic<float>, 2> inputPeaks {};
    std::array<std::atomic<float>, 2> outputPeaks {};

    // The parameters' live plain values, bound once so the audio thread never looks anything up.
    struct RawParams
    {
        std::atomic<float>* thresh = nullptr;
        std::atomic<float>* ratio = nullptr;
        std::atomic<float>* attack = nullptr;
        std::atomic<float>* release = nullptr;
        std::atomic<float>* makeup = nullptr;
        std::atomic<float>* inGain = nullptr;
        std::atomic<float>* outGain = nullptr;
        std::atomic<float>* bypass = nullptr;
        // No parameter of this edition switches the external sidechain on: stays null.
        std::atomic<float>* sidechain = nullptr;
    } rawParams;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VarnokCompAudioProcessor)
};
