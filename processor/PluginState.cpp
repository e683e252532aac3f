// The state blob that the host keeps for us: the parameter tree, the program index, the live A/B
// slot and the hidden A/B snapshot, as XML in JUCE's binary wrapper.
#include "PluginProcessor.h"

#include "ParameterTree.h"
#include "XmlInput.h"

#include <limits>

namespace
{
const juce::Identifier stateType ("VarnokState");
const juce::Identifier currentProgramProperty ("currentProgram");
const juce::Identifier abSlotProperty ("abSlot");
const juce::Identifier abInactiveType ("ABInactive");

constexpr juce::uint32 xmlMagic = 0x21324356; // the bytes "VC2!", as AudioProcessor::copyXmlToBinary writes them

// The rules of AudioProcessor::getXmlFromBinary: a magic number, a positive length, and the text
// up to that length, the end of the data or a 0 byte; with the safe parse of XmlInput.
std::unique_ptr<juce::XmlElement> parseStateXml (const void* data, int sizeInBytes)
{
    if (data == nullptr || sizeInBytes <= 8 || juce::ByteOrder::littleEndianInt (data) != xmlMagic)
        return {};

    const auto declaredLength = (int) juce::ByteOrder::littleEndianInt (juce::addBytesToPointer (data, 4));

    if (declaredLength <= 0)
        return {};

    return varnok::parseXmlText (static_cast<const char*> (data) + 8, (size_t) juce::jmin (declaredLength, sizeInBytes - 8));
}

// Reads an integer property as the framework's value type reads text (blanks, a minus sign,
// digits), saturating instead of wrapping on absurdly long numbers.
int readIntProperty (const juce::ValueTree& tree, const juce::Identifier& name)
{
    const auto& value = tree.getProperty (name);

    if (! value.isString())
        return (int) value;

    auto text = value.toString().getCharPointer().findEndOfWhitespace();
    const bool negative = *text == '-';

    if (negative)
        ++text;

    juce::int64 magnitude = 0;

    for (auto c = text.getAndAdvance(); c >= '0' && c <= '9'; c = text.getAndAdvance())
        magnitude = juce::jmin ((juce::int64) std::numeric_limits<int>::max(), magnitude * 10 + (c - '0'));

    return (int) (negative ? -magnitude : magnitude);
}

// Makes a restored parameter tree the live one; parameters it does not list keep their values.
void installParameterTree (juce::AudioProcessorValueTreeState& apvts, const juce::ValueTree& parameters)
{
    varnok::prepareParameterTree (apvts, parameters);
    varnok::addUnlistedParameters (apvts, parameters);
    apvts.replaceState (parameters);
}
} // namespace

void VarnokCompAudioProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    const juce::ScopedLock sl (stateLock);

    juce::ValueTree state (stateType);
    state.setProperty (currentProgramProperty, currentProgram.load(), nullptr);
    state.setProperty (abSlotProperty, abSlot.load(), nullptr);
    state.appendChild (apvts.copyState(), nullptr);

    juce::ValueTree inactive (abInactiveType);

    if (abInactive.isValid())
        inactive.appendChild (abInactive.createCopy(), nullptr);

    state.appendChild (inactive, nullptr);

    if (const auto xml = state.createXml())
        copyXmlToBinary (*xml, destData);
}

void VarnokCompAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    const auto xml = parseStateXml (data, sizeInBytes);

    if (xml == nullptr)
        return;

    const juce::ScopedLock sl (stateLock);
    const auto parameterType = apvts.state.getType();

    if (xml->getTagName().equalsIgnoreCase (stateType.toString()))
    {
        const auto state = varnok::valueTreeFromXml (*xml);

        // A copy: the live tree must not keep the blob's root as its parent.
        if (const auto parameters = state.getChildWithName (parameterType).createCopy(); parameters.isValid())
            installParameterTree (apvts, parameters);

        currentProgram.store (juce::jlimit (0, juce::jmax (0, getNumPrograms() - 1), readIntProperty (state, currentProgramProperty)));
        abSlot.store (juce::jlimit (0, 1, readIntProperty (state, abSlotProperty)));

        const auto inactive = state.getChildWithName (abInactiveType);

        if (inactive.getNumChildren() > 0)
        {
            abInactive = inactive.getChild (0).createCopy();
            varnok::prepareSnapshotTree (apvts, abInactive);
        }
        else
        {
            abInactive = apvts.copyState();
        }
    }
    else if (xml->getTagName().equalsIgnoreCase (parameterType.toString()))
    {
        // A state from before the A/B snapshot and program index were saved: the bare tree. Its
        // tag may differ in case; the live tree keeps its own type so that it saves and reloads.
        juce::ValueTree parameters (parameterType);
        parameters.copyPropertiesAndChildrenFrom (varnok::valueTreeFromXml (*xml), nullptr);
        installParameterTree (apvts, parameters);

        abInactive = apvts.copyState();
        currentProgram.store (0);
        abSlot.store (0);
    }
}
