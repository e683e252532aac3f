// The plug-in's state as a host keeps it: the component state that JUCE's VST3 wrapper writes
// (our blob, then the wrapper's own block) saved from one instance of the built bundle and
// restored into another. The host cannot see the A/B members, so the slot and the snapshot are
// observed through the blob that the second instance saves.
//
// JUCE's wrapper runs its own message thread here (the host lends it no run loop), so these
// state calls reach the plug-in from a thread that is not its message thread, as in many hosts.
#include "HostFixture.h"
#include "support/StateBlob.h"

#include <gtest/gtest.h>

using varnok::test::createHostedInstance;

namespace
{
const juce::String privateMarker ("JUCEPrivateData");

// The host-side state of a JUCE-hosted VST3: an XML "VST3PluginState" with the component state
// in base64 under "IComponent".
juce::MemoryBlock componentStateOf (const juce::MemoryBlock& hostState)
{
    juce::MemoryBlock component;
    if (auto xml = juce::AudioProcessor::getXmlFromBinary (hostState.getData(), (int) hostState.getSize()))
        if (auto* child = xml->getChildByName ("IComponent"))
            component.fromBase64Encoding (child->getAllSubText());
    return component;
}

juce::MemoryBlock withComponentState (const juce::MemoryBlock& hostState, const juce::MemoryBlock& component)
{
    auto xml = juce::AudioProcessor::getXmlFromBinary (hostState.getData(), (int) hostState.getSize());
    EXPECT_NE (xml, nullptr);
    juce::MemoryBlock result;
    if (xml == nullptr)
        return result;

    auto* child = xml->getChildByName ("IComponent");
    child->deleteAllChildElements();
    child->addTextElement (component.toBase64Encoding());
    juce::AudioProcessor::copyXmlToBinary (*xml, result);
    return result;
}

juce::MemoryBlock saveHostState (juce::AudioPluginInstance& instance)
{
    juce::MemoryBlock block;
    instance.getStateInformation (block);
    return block;
}

// Our blob at the start of the component state: magic, length, text, 0.
size_t blobSize (const juce::MemoryBlock& component)
{
    if (component.getSize() < 9 || juce::ByteOrder::littleEndianInt (component.getData()) != 0x21324356)
        return 0;
    return (size_t) juce::ByteOrder::littleEndianInt (juce::addBytesToPointer (component.getData(), 4)) + 9;
}

juce::MemoryBlock ourBlob (const juce::MemoryBlock& component)
{
    return { component.getData(), juce::jmin (blobSize (component), component.getSize()) };
}

juce::MemoryBlock wrapperBlock (const juce::MemoryBlock& component)
{
    const auto start = juce::jmin (blobSize (component), component.getSize());
    return { juce::addBytesToPointer (component.getData(), start), component.getSize() - start };
}

using varnok::test::blobText;
using varnok::test::makeBlob;

juce::MemoryBlock joined (juce::MemoryBlock first, const juce::MemoryBlock& second)
{
    first.append (second.getData(), second.getSize());
    return first;
}

void restoreHostState (juce::AudioPluginInstance& instance, const juce::MemoryBlock& hostState)
{
    instance.setStateInformation (hostState.getData(), (int) hostState.getSize());
}

juce::AudioProcessorParameter* findParameter (juce::AudioPluginInstance& instance, const juce::String& name)
{
    for (auto* p : instance.getParameters())
        if (p->getName (100) == name)
            return p;
    return nullptr;
}

// The wrapper's block: an int64 0, its value tree, the tree's size as int64, then the marker.
void expectWrapperBlock (const juce::MemoryBlock& block, bool bypassed)
{
    ASSERT_GT (block.getSize(), 16 + (size_t) privateMarker.length());
    const auto* bytes = static_cast<const char*> (block.getData());
    const auto markerStart = block.getSize() - (size_t) privateMarker.length();
    EXPECT_EQ (juce::String (bytes + markerStart, (size_t) privateMarker.length()), privateMarker);

    juce::int64 leading = -1, treeSize = -1;
    std::memcpy (&leading, bytes, 8);
    std::memcpy (&treeSize, bytes + markerStart - 8, 8);
    EXPECT_EQ (leading, 0);
    ASSERT_EQ ((size_t) treeSize, markerStart - 16);

    const auto tree = juce::ValueTree::readFromData (bytes + 8, (size_t) treeSize);
    EXPECT_EQ (tree.getType().toString(), privateMarker);
    EXPECT_EQ ((bool) tree.getProperty ("Bypass"), bypassed);
}
} // namespace

TEST (StateHostTest, ComponentStateRoundTripsIntoAFreshInstance)
{
    auto first = createHostedInstance();
    ASSERT_NE (first, nullptr);

    // The host cannot toggle A/B, so the first instance gets slot B and a snapshot the way a
    // project would bring them: in a component state it restores.
    const auto initial = saveHostState (*first);
    const auto initialComponent = componentStateOf (initial);
    ASSERT_GT (blobSize (initialComponent), 0u);
    expectWrapperBlock (wrapperBlock (initialComponent), false);

    auto text = blobText (ourBlob (initialComponent));
    ASSERT_TRUE (text.contains ("<VarnokState currentProgram=\"0\" abSlot=\"0\">"));
    const auto params = text.fromFirstOccurrenceOf ("<PARAMS>", true, false).upToFirstOccurrenceOf ("</PARAMS>", true, false);
    const auto snapshot = params.replace ("id=\"thresh\" value=\"-18.0\"", "id=\"thresh\" value=\"-12.0\"");
    ASSERT_NE (snapshot, params);
    text = text.replace ("currentProgram=\"0\" abSlot=\"0\"", "currentProgram=\"6\" abSlot=\"1\"")
               .replace ("<ABInactive/>", "<ABInactive>" + snapshot + "</ABInactive>");

    restoreHostState (*first, withComponentState (initial, joined (makeBlob (text), wrapperBlock (initialComponent))));
    EXPECT_EQ (first->getCurrentProgram(), 6);

    // Host-side changes: two parameters and the wrapper's own bypass.
    findParameter (*first, "Threshold")->setValueNotifyingHost (0.25f);
    findParameter (*first, "Ratio")->setValueNotifyingHost (0.75f);
    auto* hostBypass = first->getBypassParameter();
    ASSERT_NE (hostBypass, nullptr);
    hostBypass->setValueNotifyingHost (1.0f);

    const auto saved = saveHostState (*first);
    const auto component = componentStateOf (saved);
    const auto blob = ourBlob (component);
    ASSERT_GT (blob.getSize(), 0u);
    EXPECT_TRUE (blobText (blob).contains ("<VarnokState currentProgram=\"6\" abSlot=\"1\">"));
    EXPECT_TRUE (blobText (blob).contains ("<ABInactive>" + snapshot + "</ABInactive>"));
    EXPECT_TRUE (blobText (blob).contains ("id=\"thresh\" value=\"-45.0\"")); // 0.25 of -60..0
    expectWrapperBlock (wrapperBlock (component), true);

    auto second = createHostedInstance();
    ASSERT_NE (second, nullptr);
    restoreHostState (*second, saved);

    // What the host sees: every parameter, the program and the host bypass.
    const auto& before = first->getParameters();
    const auto& after = second->getParameters();
    ASSERT_EQ (after.size(), before.size());
    for (int i = 0; i < before.size(); ++i)
        EXPECT_FLOAT_EQ (after[i]->getValue(), before[i]->getValue()) << before[i]->getName (100);
    EXPECT_EQ (second->getCurrentProgram(), 6);
    EXPECT_EQ (findParameter (*second, "Threshold")->getCurrentValueAsText(), "-45.0 dB");
    EXPECT_FLOAT_EQ (second->getBypassParameter()->getValue(), 1.0f);

    // What only the blob shows: the slot and the snapshot came back, byte for byte, and the
    // wrapper's block after it is intact.
    const auto resaved = componentStateOf (saveHostState (*second));
    EXPECT_EQ (ourBlob (resaved), blob) << blobText (ourBlob (resaved));
    EXPECT_EQ (wrapperBlock (resaved), wrapperBlock (component));

    // The host bypass also round-trips when off again.
    second->getBypassParameter()->setValueNotifyingHost (0.0f);
    auto third = createHostedInstance();
    ASSERT_NE (third, nullptr);
    const auto off = saveHostState (*second);
    restoreHostState (*third, off);
    EXPECT_FLOAT_EQ (third->getBypassParameter()->getValue(), 0.0f);
    expectWrapperBlock (wrapperBlock (componentStateOf (saveHostState (*third))), false);
}

TEST (StateHostTest, OlderAndUnusableStatesThroughTheHost)
{
    auto instance = createHostedInstance();
    ASSERT_NE (instance, nullptr);
    instance->setCurrentProgram (9);

    const auto host = saveHostState (*instance);
    const auto component = componentStateOf (host);
    const auto before = ourBlob (component);

    // Not a state of ours: nothing changes.
    for (const auto& junk : { makeBlob ("<Other/>"), juce::MemoryBlock ("VC2!\xff\xff\xff\x7f", 8), makeBlob ("not xml") })
    {
        restoreHostState (*instance, withComponentState (host, joined (junk, wrapperBlock (component))));
        EXPECT_EQ (ourBlob (componentStateOf (saveHostState (*instance))), before);
        EXPECT_EQ (instance->getCurrentProgram(), 9);
    }

    // An older version's bare parameter tree: parameters replaced, program and slot back to 0,
    // the snapshot a copy of the restored tree.
    const auto params = blobText (before).fromFirstOccurrenceOf ("<PARAMS>", true, false).upToFirstOccurrenceOf ("</PARAMS>", true, false)
                            .replace ("id=\"makeup\" value=\"3.0\"", "id=\"makeup\" value=\"7.5\"");
    ASSERT_TRUE (params.contains ("value=\"7.5\""));
    restoreHostState (*instance, withComponentState (host, joined (makeBlob ("<?xml version=\"1.0\" encoding=\"UTF-8\"?> " + params), wrapperBlock (component))));

    EXPECT_EQ (findParameter (*instance, "Makeup")->getCurrentValueAsText(), "7.5 dB");
    EXPECT_EQ (instance->getCurrentProgram(), 0);
    const auto text = blobText (ourBlob (componentStateOf (saveHostState (*instance))));
    EXPECT_TRUE (text.contains ("currentProgram=\"0\" abSlot=\"0\"")) << text;
    EXPECT_TRUE (text.contains ("<ABInactive>" + params + "</ABInactive>")) << text;
}
