#pragma once

#include "processor/PluginProcessor.h"
#include "tests/support/StateBlob.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace varnok::test
{
// Points $HOME (which JUCE's application-data folder follows on Linux) at a new empty folder for
// the life of the object, so that a test sees only the preset file it makes itself.
class ScopedFreshHome
{
public:
    ScopedFreshHome()
        : previousHome (juce::SystemStats::getEnvironmentVariable ("HOME", {})),
          previousConfig (juce::SystemStats::getEnvironmentVariable ("XDG_CONFIG_HOME", {}))
    {
        home = juce::File::getSpecialLocation (juce::File::tempDirectory)
                   .getChildFile ("varnok-state-" + juce::String::toHexString (juce::Random::getSystemRandom().nextInt64()));
        EXPECT_TRUE (home.createDirectory().wasOk());
        setenv ("HOME", home.getFullPathName().toRawUTF8(), 1);
        setenv ("XDG_CONFIG_HOME", home.getChildFile (".config").getFullPathName().toRawUTF8(), 1);
    }

    ~ScopedFreshHome()
    {
        // Undo any "make it unwritable" trick of the test before cleaning up.
        home.getChildFile (".config").setReadOnly (false, true);
        home.deleteRecursively();
        setenv ("HOME", previousHome.toRawUTF8(), 1);
        setenv ("XDG_CONFIG_HOME", previousConfig.toRawUTF8(), 1);
    }

    const juce::File& folder() const { return home; }

private:
    juce::String previousHome, previousConfig;
    juce::File home;
};

inline void pumpMessages (int milliseconds = 50)
{
    juce::MessageManager::getInstance()->runDispatchLoopUntil (milliseconds);
}

inline float valueOf (VarnokCompAudioProcessor& p, const juce::String& id)
{
    return p.apvts.getRawParameterValue (id)->load();
}

// Moves a parameter as the host or an attachment does: the new value reaches the tree only
// with the parameter state's next flush (its timer, or any copyState).
inline void setValue (VarnokCompAudioProcessor& p, const juce::String& id, float plainValue)
{
    auto* parameter = p.apvts.getParameter (id);
    parameter->setValueNotifyingHost (parameter->convertTo0to1 (plainValue));
}

// Moves a parameter as a knob drag does through its attachment: a new undo transaction, then a
// gesture. The value reaches the tree with the next flush, inside that transaction.
inline void moveKnob (VarnokCompAudioProcessor& p, const juce::String& id, float plainValue)
{
    auto* parameter = p.apvts.getParameter (id);
    p.undoManager.beginNewTransaction();
    parameter->beginChangeGesture();
    parameter->setValueNotifyingHost (parameter->convertTo0to1 (plainValue));
    parameter->endChangeGesture();
}

// What the parameter state's timer does, without waiting for it (its period grows up to 500 ms
// while idle): writes pending parameter values into the tree through the undo manager.
inline void flushParameterState (VarnokCompAudioProcessor& p) { juce::ignoreUnused (p.apvts.copyState()); }

inline int numUndoSteps (VarnokCompAudioProcessor& p) { return p.undoManager.getUndoDescriptions().size(); }


inline juce::ValueTree stateTree (VarnokCompAudioProcessor& p)
{
    const auto block = saveState (p);
    const auto xml = juce::AudioProcessor::getXmlFromBinary (block.getData(), (int) block.getSize());
    return xml != nullptr ? juce::ValueTree::fromXml (*xml) : juce::ValueTree();
}

// The hidden A/B snapshot as the state blob carries it (invalid while there is none).
inline juce::ValueTree snapshotOf (VarnokCompAudioProcessor& p)
{
    return stateTree (p).getChildWithName ("ABInactive").getChild (0);
}

// A parameter's plain value inside a "PARAMS" tree (NaN when the tree does not list it).
inline float valueIn (const juce::ValueTree& params, const juce::String& id)
{
    const auto child = params.getChildWithProperty ("id", id);
    return child.isValid() ? (float) child.getProperty ("value") : std::numeric_limits<float>::quiet_NaN();
}

// Counts host notifications per parameter index.
struct HostNotifications : juce::AudioProcessorListener
{
    std::map<int, int> changes;
    std::map<int, float> lastValue;

    void audioProcessorParameterChanged (juce::AudioProcessor*, int index, float value) override
    {
        ++changes[index];
        lastValue[index] = value;
    }

    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override {}
};

inline int parameterIndex (VarnokCompAudioProcessor& p, const juce::String& id)
{
    return p.apvts.getParameter (id)->getParameterIndex();
}
} // namespace varnok::test
