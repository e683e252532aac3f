#include "PluginProcessor.h"

#include "editor/VarnokCompAudioProcessorEditor.h"

#include "ParameterIds.h"
#include "ParameterLayout.h"
#include "PluginIdentity.h"
#include "engine/EngineKernels.h"
#include "presets/FactoryPresets.h"

namespace
{
bool isMonoOrStereo (const juce::AudioChannelSet& set)
{
    return set == juce::AudioChannelSet::mono() || set == juce::AudioChannelSet::stereo();
}

float load (const std::atomic<float>* value) { return value->load (std::memory_order_relaxed); }
} // namespace

juce::AudioProcessor::BusesProperties VarnokCompAudioProcessor::makeBusesProperties()
{
    return BusesProperties()
        .withInput ("Input", juce::AudioChannelSet::stereo(), true)
        .withOutput ("Output", juce::AudioChannelSet::stereo(), true)
        .withInput ("Sidechain", juce::AudioChannelSet::stereo(), false);
}

VarnokCompAudioProcessor::VarnokCompAudioProcessor()
    : juce::AudioProcessor (makeBusesProperties()),
      apvts (*this, &undoManager, "PARAMS", createParameterLayout()),
      userPresets (&apvts, stateLock)
{
    for (auto& peak : inputPeaks)
        peak.store (0.0f);
    for (auto& peak : outputPeaks)
        peak.store (0.0f);

    namespace ids = varnok::ids;
    rawParams.thresh = apvts.getRawParameterValue (ids::thresh);
    rawParams.ratio = apvts.getRawParameterValue (ids::ratio);
    rawParams.attack = apvts.getRawParameterValue (ids::attack);
    rawParams.release = apvts.getRawParameterValue (ids::release);
    rawParams.makeup = apvts.getRawParameterValue (ids::makeup);
    rawParams.inGain = apvts.getRawParameterValue (ids::inGain);
    rawParams.outGain = apvts.getRawParameterValue (ids::outGain);
    rawParams.bypass = apvts.getRawParameterValue (ids::bypass);
}

VarnokCompAudioProcessor::~VarnokCompAudioProcessor() = default;

const juce::String VarnokCompAudioProcessor::getName() const { return varnok::identity::pluginName; }

juce::AudioProcessorValueTreeState::ParameterLayout VarnokCompAudioProcessor::createParameterLayout()
{
    return varnok::makeParameterLayout();
}

//==============================================================================
void VarnokCompAudioProcessor::prepareToPlay (double sampleRate, int maximumExpectedSamplesPerBlock)
{
    engine.setParameters (makeEngineParams());
    engine.prepare (sampleRate, maximumExpectedSamplesPerBlock);
    engine.setParameters (makeEngineParams());

    reportedLatency = engine.lookaheadSamples;
    setLatencySamples (reportedLatency);
}

void VarnokCompAudioProcessor::releaseResources() {}

void VarnokCompAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    juce::ScopedNoDenormals noDenormals;

    auto mainBus = getBusBuffer (buffer, false, 0);
    updatePeaks (mainBus, Stage::input);

    if (rawParams.bypass != nullptr && load (rawParams.bypass) > 0.5f)
    {
        engine.processBypassed (mainBus);
    }
    else
    {
        engine.setParameters (makeEngineParams());

        if (engine.lookaheadSamples != reportedLatency)
        {
            reportedLatency = engine.lookaheadSamples;
            pendingLatency.store (reportedLatency, std::memory_order_relaxed);
            triggerAsyncUpdate();
        }

        const auto useSidechain = rawParams.sidechain != nullptr && load (rawParams.sidechain) > 0.5f
                                  && getBusCount (true) > 1
                                  && getChannelCountOfBus (true, 1) > 0;

        if (useSidechain)
        {
            const auto sidechainBus = getBusBuffer (buffer, true, 1);
            engine.process (mainBus, &sidechainBus);
        }
        else
        {
            engine.process (mainBus, nullptr);
        }
    }

    updatePeaks (mainBus, Stage::output);
}

void VarnokCompAudioProcessor::updatePeaks (const juce::AudioBuffer<float>& mainBus, Stage stage)
{
    auto& peaks = stage == Stage::input ? inputPeaks : outputPeaks;
    const auto numChannels = mainBus.getNumChannels();
    const auto numSamples = mainBus.getNumSamples();
    float values[2] = { 0.0f, 0.0f };

    // One pass over each channel for its largest magnitude, with the engine's vector kernels
    // (a mono bus reads its one channel once, for both entries).
    if (numChannels > 0 && numSamples > 0)
    {
        const auto peakMagnitude = varnok::engine::selectEngineKernels().peakMagnitude;
        values[0] = peakMagnitude (mainBus.getReadPointer (0), numSamples);
        values[1] = numChannels > 1 ? peakMagnitude (mainBus.getReadPointer (1), numSamples) : values[0];
    }

    for (size_t index = 0; index < 2; ++index)
        peaks[index].store (values[index], std::memory_order_relaxed);
}

CompressorParams VarnokCompAudioProcessor::makeEngineParams() const
{
    CompressorParams p;
    p.thresholdDb = load (rawParams.thresh);
    p.ratio = load (rawParams.ratio);
    p.attackMs = load (rawParams.attack);
    p.releaseMs = load (rawParams.release);
    p.kneeDb = 6.0f;
    p.makeupDb = load (rawParams.makeup);
    p.mix = 1.0f;
    p.inputGainDb = load (rawParams.inGain);
    p.outputGainDb = load (rawParams.outGain);
    p.rmsDetection = false;
    p.sidechainHpfHz = 20.0f;
    p.sidechainLpfHz = 20000.0f;
    p.listen = false;
    p.midSide = false;
    p.link = 1.0f;
    p.lookaheadMs = 0.0f;
    p.character = 0;
    p.autoGain = false;
    p.autoRelease = false;
    return p;
}

void VarnokCompAudioProcessor::handleAsyncUpdate()
{
    setLatencySamples (pendingLatency.load (std::memory_order_relaxed));
}

float VarnokCompAudioProcessor::getPeak (Stage stage, int channel) const
{
    const auto& peaks = stage == Stage::input ? inputPeaks : outputPeaks;
    return peaks[(size_t) juce::jlimit (0, 1, channel)].load (std::memory_order_relaxed);
}

//==============================================================================
double VarnokCompAudioProcessor::getTailLengthSeconds() const { return 0.0; }
bool VarnokCompAudioProcessor::acceptsMidi() const { return false; }
bool VarnokCompAudioProcessor::producesMidi() const { return false; }

juce::AudioProcessorEditor* VarnokCompAudioProcessor::createEditor()
{
    return new VarnokCompAudioProcessorEditor (*this);
}

bool VarnokCompAudioProcessor::hasEditor() const { return true; }

//==============================================================================
int VarnokCompAudioProcessor::getNumPrograms() { return (int) varnok::getFactoryPresets().size(); }

int VarnokCompAudioProcessor::getCurrentProgram() { return currentProgram.load(); }

void VarnokCompAudioProcessor::setCurrentProgram (int index)
{
    const auto& presets = varnok::getFactoryPresets();

    if (! juce::isPositiveAndBelow (index, (int) presets.size()))
        return;

    const juce::ScopedLock sl (stateLock);
    currentProgram.store (index);
    varnok::applyPreset (apvts, presets[(size_t) index]);
}

const juce::String VarnokCompAudioProcessor::getProgramName (int index)
{
    const auto& presets = varnok::getFactoryPresets();
    return juce::isPositiveAndBelow (index, (int) presets.size()) ? juce::String (presets[(size_t) index].name)
                                                                  : juce::String();
}

void VarnokCompAudioProcessor::changeProgramName (int, const juce::String&) {}

//==============================================================================
bool VarnokCompAudioProcessor::isBusesLayoutSupported (const BusesLayout& layouts) const
{
    const auto& mainOut = layouts.getMainOutputChannelSet();

    if (! isMonoOrStereo (mainOut) || layouts.getMainInputChannelSet() != mainOut)
        return false;

    if (layouts.inputBuses.size() >= 2)
    {
        const auto& sidechain = layouts.inputBuses.getReference (1);

        if (sidechain.size() > 0 && ! isMonoOrStereo (sidechain))
            return false;
    }

    return true;
}

//==============================================================================
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new VarnokCompAudioProcessor();
}
