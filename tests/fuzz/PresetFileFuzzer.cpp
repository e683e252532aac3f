// Fuzzes the user-preset file reader (UserPresetStore::load) with arbitrary file contents, each
// input also re-encoded as UTF-16LE and UTF-16BE behind a byte-order mark, as other tools save text.
// Properties: no crash or sanitizer report; reading never changes the file; a rejected file
// leaves the store empty and is copied byte for byte to "UserPresets.xml.bak"; an accepted file
// becomes the store, its presets load into usable parameters, and what the store writes reads
// back as the same tree; well-formed UTF-8 and its UTF-16 forms read alike.
#include "FuzzSupport.h"

#include "processor/XmlInput.h"

#include <string>

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

// Reads one file through a store and checks it; returns the store's tree, or an invalid tree
// when the file was rejected.
juce::ValueTree readAndCheck (const void* data, size_t size)
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
        return {};
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
    return store.getTree().createCopy();
}

// The input's characters as UTF-16 code units. A byte that does not start a well-formed UTF-8
// sequence becomes an unpaired surrogate (0xdc00 + the byte), so that broken input stays broken.
// A UTF-8 byte-order mark at the start is dropped, as the reader drops it.
std::u16string utf16Of (const uint8_t* data, size_t size, bool& wellFormed)
{
    wellFormed = true;
    std::u16string units;
    size_t i = size >= 3 && data[0] == 0xef && data[1] == 0xbb && data[2] == 0xbf ? 3 : 0;

    while (i < size)
    {
        const auto lead = data[i];
        const int extra = lead < 0x80 ? 0 : lead >= 0xc2 && lead <= 0xdf ? 1 : lead >= 0xe0 && lead <= 0xef ? 2 : lead >= 0xf0 && lead <= 0xf4 ? 3 : -1;
        bool ok = extra >= 0 && size - i > (size_t) extra;

        for (int k = 1; ok && k <= extra; ++k)
            ok = (data[i + (size_t) k] & 0xc0) == 0x80;

        char32_t c = 0;

        if (ok)
        {
            c = extra == 0 ? lead : (char32_t) (lead & (0x3f >> extra));

            for (int k = 1; k <= extra; ++k)
                c = (c << 6) | (data[i + (size_t) k] & 0x3f);

            const char32_t smallest[] = { 0, 0x80, 0x800, 0x10000 };
            ok = c >= smallest[extra] && ! (c >= 0xd800 && c <= 0xdfff) && c <= 0x10ffff;
        }

        if (! ok)
        {
            wellFormed = false;
            units += (char16_t) (0xdc00 + lead);
            ++i;
            continue;
        }

        if (c >= 0x10000)
        {
            units += (char16_t) (0xd800 + ((c - 0x10000) >> 10));
            units += (char16_t) (0xdc00 + ((c - 0x10000) & 0x3ff));
        }
        else
        {
            units += (char16_t) c;
        }

        i += (size_t) extra + 1;
    }

    return units;
}

juce::MemoryBlock withByteOrderMark (const std::u16string& units, bool bigEndian)
{
    juce::MemoryBlock block ((units.size() + 1) * 2);
    auto* out = static_cast<uint8_t*> (block.getData());

    for (size_t i = 0; i <= units.size(); ++i)
    {
        const auto u = i == 0 ? (char16_t) 0xfeff : units[i - 1];
        out[2 * i] = (uint8_t) (bigEndian ? u >> 8 : u & 0xff);
        out[2 * i + 1] = (uint8_t) (bigEndian ? u & 0xff : u >> 8);
    }

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
    const auto asGiven = readAndCheck (data, size);

    // A UTF-16 mark at the start makes the input UTF-16 already; otherwise it is read as UTF-8.
    const bool givenAsUtf16 = size >= 2 && ((data[0] == 0xff && data[1] == 0xfe) || (data[0] == 0xfe && data[1] == 0xff));
    bool wellFormed = false;
    const auto units = utf16Of (data, size, wellFormed);

    for (const bool bigEndian : { false, true })
    {
        const auto encoded = withByteOrderMark (units, bigEndian);
        const auto asUtf16 = readAndCheck (encoded.getData(), encoded.getSize());

        if (wellFormed && ! givenAsUtf16)
        {
            VARNOK_FUZZ_CHECK (asUtf16.isValid() == asGiven.isValid(), "UTF-8 and its UTF-16 form are both accepted or both rejected");
            VARNOK_FUZZ_CHECK (! asGiven.isValid() || asUtf16.isEquivalentTo (asGiven), "UTF-8 and its UTF-16 form read as the same tree");
        }
    }

    return 0;
}
