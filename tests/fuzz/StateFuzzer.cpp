// Fuzzes VarnokCompAudioProcessor::setStateInformation with arbitrary host data.
// Properties: no crash or sanitizer report; input that is not a state of ours leaves the saved
// state byte for byte as it was; accepted input leaves usable parameters, and what the processor
// then saves restores to the same bytes.
#include "FuzzSupport.h"

#include "processor/XmlInput.h"


using namespace varnok::fuzz;

namespace
{
FuzzEnvironment* environment = nullptr;
juce::MemoryBlock baseState;

// The blob rules: magic, positive length, text up to the length, the data's end or a 0 byte,
// parsed as XML (through the same guarded parse) with a root "VarnokState" or "PARAMS" in any case.
bool isAcceptedState (const uint8_t* data, size_t size)
{
    if (size <= 8 || juce::ByteOrder::littleEndianInt (data) != 0x21324356)
        return false;

    const auto length = (juce::int32) juce::ByteOrder::littleEndianInt (data + 4);

    if (length <= 0)
        return false;

    const auto xml = varnok::parseXmlText (reinterpret_cast<const char*> (data) + 8, juce::jmin ((size_t) length, size - 8));
    return xml != nullptr && (xml->getTagName().equalsIgnoreCase ("VarnokState") || xml->getTagName().equalsIgnoreCase ("PARAMS"));
}
} // namespace

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    environment = new FuzzEnvironment();
    auto& p = *environment->processor;

    // A state worth losing: a program, slot B with a snapshot, moved parameters, an editor setting.
    p.setCurrentProgram (5);
    p.toggleAB();
    p.apvts.getParameter ("makeup")->setValueNotifyingHost (0.8f);
    p.apvts.state.setProperty ("updateCheckOff", true, nullptr);
    baseState = saveState (p);
    std::atexit ([] { delete environment; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    if (size > (size_t) std::numeric_limits<int>::max())
        return 0;

    auto& p = *environment->processor;
    restoreState (p, baseState);
    const auto before = saveState (p);
    VARNOK_FUZZ_CHECK (sameBytes (before, baseState), "restoring a saved state gives the same bytes");

    p.setStateInformation (data, (int) size);
    const auto after = saveState (p);

    if (! isAcceptedState (data, size))
    {
        VARNOK_FUZZ_CHECK (sameBytes (after, before), "rejected input leaves the state as it was");
        return 0;
    }

    VARNOK_FUZZ_CHECK (parametersAreUsable (p), "parameters are finite and in range after a restore");

    restoreState (p, after);
    const auto again = saveState (p);

    if (! sameBytes (again, after))
        std::fprintf (stderr, "saved:\n%s\nrestored and saved again:\n%s\n", static_cast<const char*> (after.getData()) + 8,
                      static_cast<const char*> (again.getData()) + 8);

    VARNOK_FUZZ_CHECK (sameBytes (again, after), "a restored state saves and restores to the same bytes");
    return 0;
}
