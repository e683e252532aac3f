#pragma once

#include <juce_data_structures/juce_data_structures.h>

#include <memory>

// XML from outside (a host's state, a preset file), kept away from faults of JUCE's parser: it
// steps over UTF-8 sequences by their lead byte alone, so text that is not well-formed UTF-8 can
// make it read beyond the terminating 0, and a few constructs make it read beyond the end, loop
// forever or expand entities without a limit, and its cost grows faster than the text for deep
// nesting and many names (see XmlInput.cpp). Such text is refused, as is text beyond xmlLimits;
// everything our writer produces passes.
namespace varnok
{
// What outside XML may hold at most, far beyond anything we write (a preset file with a thousand
// presets is about half a megabyte, 4 levels deep, with 3 attributes to an element and a dozen
// distinct names), and small enough that the worst document within them reads in bounded time.
namespace xmlLimits
{
constexpr size_t maxTextBytes = 16 * 1024 * 1024; // as UTF-8
constexpr int maxDepth = 32;
constexpr int maxAttributesPerElement = 64;
constexpr int maxDistinctNames = 1024; // element and attribute names together
} // namespace xmlLimits

// The text is the given bytes up to the first 0 byte; null unless it passes and parses.
std::unique_ptr<juce::XmlElement> parseXmlText (const char* text, size_t maxBytes);

// A file as juce::parseXML (File) reads it: UTF-16 of either byte order behind a byte-order mark,
// otherwise UTF-8 with an optional one; 2 bytes or fewer is no document. UTF-16 is converted to
// UTF-8 here, strictly (an unpaired surrogate or an odd last byte is no text; a 0 code unit ends
// it), and goes through the same check as UTF-8.
std::unique_ptr<juce::XmlElement> parseXmlFile (const juce::File& file);

// ValueTree::fromXml, except that an attribute given twice in one element is kept once, with its
// first value: fromXml keeps both, every reader of the tree sees the first and createXml writes
// the last, so a state would change its meaning on its way through a save.
juce::ValueTree valueTreeFromXml (const juce::XmlElement& xml);
} // namespace varnok
