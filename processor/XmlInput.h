#pragma once

#include <juce_data_structures/juce_data_structures.h>

#include <memory>

// XML from outside (a host's state, a preset file), kept away from faults of JUCE's parser: it
// steps over UTF-8 sequences by their lead byte alone, so text that is not well-formed UTF-8 can
// make it read beyond the terminating 0, and a few constructs make it read beyond the end, loop
// forever or expand entities without a limit (see XmlInput.cpp). Such text is refused; everything
// our writer produces passes.
namespace varnok
{
// The text is the given bytes up to the first 0 byte; null unless it passes and parses.
std::unique_ptr<juce::XmlElement> parseXmlText (const char* text, size_t maxBytes);

// A file as juce::parseXML (File) reads it (UTF-16 with a byte-order mark, otherwise UTF-8 with an
// optional one; 2 bytes or fewer is no document), with the check above.
std::unique_ptr<juce::XmlElement> parseXmlFile (const juce::File& file);

// ValueTree::fromXml, except that an attribute given twice in one element is kept once, with its
// first value: fromXml keeps both, every reader of the tree sees the first and createXml writes
// the last, so a state would change its meaning on its way through a save.
juce::ValueTree valueTreeFromXml (const juce::XmlElement& xml);
} // namespace varnok
