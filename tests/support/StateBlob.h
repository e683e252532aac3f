#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

namespace varnok::test
{
inline juce::MemoryBlock saveState (juce::AudioProcessor& p)
{
    juce::MemoryBlock block;
    p.getStateInformation (block);
    return block;
}

inline void restoreState (juce::AudioProcessor& p, const juce::MemoryBlock& block)
{
    p.setStateInformation (block.getData(), (int) block.getSize());
}

// The blob's XML text, without the 8-byte header and the terminating 0.
inline juce::String blobText (const juce::MemoryBlock& block)
{
    if (block.getSize() < 9)
        return {};

    return juce::String::fromUTF8 (static_cast<const char*> (block.getData()) + 8, (int) block.getSize() - 9);
}

// A blob as JUCE's binary XML wrapper lays it out: magic, length, text, 0.
inline juce::MemoryBlock makeBlob (const juce::String& xmlText)
{
    juce::MemoryOutputStream out;
    out.writeInt (0x21324356);
    out.writeInt ((int) xmlText.getNumBytesAsUTF8());
    out.write (xmlText.toRawUTF8(), xmlText.getNumBytesAsUTF8());
    out.writeByte (0);
    return out.getMemoryBlock();
}
} // namespace varnok::test
