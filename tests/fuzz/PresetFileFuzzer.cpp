// Fuzzes the user-preset file reader (UserPresetStore::load) with arbitrary file contents.
// Properties: no crash or sanitizer report; reading never changes the file; a rejected file
// leaves the store empty and is copied byte for byte to "UserPresets.xml.bak"; an accepted file
// becomes the store, its presets load into usable parameters, and what the store writes reads
// back as the same tree.
#include "FuzzSupport.h"

#include "processor/XmlInput.h"

using namespace varnok::fuzz;

namespace
{
FuzzEnvironment* environment = nullptr;
juce::MemoryBlock baseState;
const juce::CriticalSection storeLock;

juce::MemoryBlock bytesOf (const juce::File& file)
{
    juce::MemoryBlock block;
    file.loadFileAsData (block);
    return block;
}
} // namespace

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    environment = new FuzzEnvironment();
    baseState = saveState (*environment->processor);
    std::atexit ([] { delete environment; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    auto& p = *environment->processor;
    restoreState (p, baseState);

    const auto file = UserPresetStore::getPresetFile();
    const auto backup = file.getSiblingFile ("UserPresets.xml.bak");
    VARNOK_FUZZ_CHECK (file.getParentDirectory().createDirectory().wasOk(), "preset folder");
    backup.deleteFile();
    file.deleteFile();
    VARNOK_FUZZ_CHECK (size == 0 ? file.create().wasOk() : file.replaceWithData (data, size), "input written");
    const juce::MemoryBlock input (data, size);

    UserPresetStore store (&p.apvts, storeLock);
    VARNOK_FUZZ_CHECK (sameBytes (bytesOf (file), input), "reading leaves the file untouched");

    const auto parsed = varnok::parseXmlFile (file);

    // XmlElement::hasTagName ignores case; the store's root must match exactly.
    if (parsed == nullptr || parsed->getTagName() != "UserPresets")
    {
        VARNOK_FUZZ_CHECK (store.getTree().hasType ("UserPresets"), "the store is a UserPresets tree");
        VARNOK_FUZZ_CHECK (store.getTree().getNumChildren() == 0 && store.getTree().getNumProperties() == 0, "a rejected file leaves the store empty");
        VARNOK_FUZZ_CHECK (sameBytes (bytesOf (backup), input), "a rejected file is copied to the backup");
        return 0;
    }

    VARNOK_FUZZ_CHECK (! backup.exists(), "an accepted file makes no backup");
    VARNOK_FUZZ_CHECK (store.getTree().isEquivalentTo (varnok::valueTreeFromXml (*parsed)), "an accepted file becomes the store");

    for (const auto& name : store.getPresetNames())
    {
        store.loadPreset (name);
        VARNOK_FUZZ_CHECK (parametersAreUsable (p), "parameters are finite and in range after a preset load");
    }

    VARNOK_FUZZ_CHECK (store.save(), "the store saves");
    UserPresetStore reread (&p.apvts, storeLock);
    VARNOK_FUZZ_CHECK (reread.getTree().isEquivalentTo (store.getTree()), "what the store writes reads back the same");
    return 0;
}
