#include "XmlInput.h"

#include <cstring>
#include <limits>

namespace varnok
{
namespace
{
// Well-formed UTF-8 (RFC 3629): each lead byte followed by exactly its continuation bytes
// (10xxxxxx), no overlong forms, no surrogates, nothing above U+10FFFF. JUCE's own check does not
// look at the continuation bytes, and its parser steps over them without looking either.
bool isWellFormedUtf8 (const unsigned char* text, size_t length)
{
    for (size_t i = 0; i < length;)
    {
        const auto lead = text[i];

        if (lead < 0x80)
        {
            ++i;
            continue;
        }

        const int extra = lead >= 0xc2 && lead <= 0xdf ? 1 : lead >= 0xe0 && lead <= 0xef ? 2 : lead >= 0xf0 && lead <= 0xf4 ? 3 : -1;

        if (extra < 0 || length - i <= (size_t) extra)
            return false;

        for (int k = 1; k <= extra; ++k)
            if ((text[i + (size_t) k] & 0xc0) != 0x80)
                return false;

        const auto second = text[i + 1];

        if ((lead == 0xe0 && second < 0xa0) || (lead == 0xed && second > 0x9f) // overlong, surrogate
            || (lead == 0xf0 && second < 0x90) || (lead == 0xf4 && second > 0x8f)) // overlong, above U+10FFFF
            return false;

        i += (size_t) extra + 1;
    }

    return true;
}

// What JUCE's parser cannot be trusted with, none of which our writer produces:
// - a processing instruction inside an element with text after it ("<a><??>x"): the parser skips
//   the instruction, finds text, rolls back to before the instruction and starts again, forever;
// - a character reference that is not well-formed: after "&#x" and something else than hex digits
//   and ';' the parser steps over that character even when it is the terminating 0;
// - a document type declaration: its entities are expanded recursively without a limit.
bool mayTripTheParser (const char* text, size_t length)
{
    const auto at = [text, length] (size_t i) { return i < length ? text[i] : '\0'; };

    size_t rootStart = 0;

    while (rootStart + 1 < length && ! (text[rootStart] == '<' && text[rootStart + 1] != '?' && text[rootStart + 1] != '!'))
        ++rootStart;

    for (size_t i = 0; i < length; ++i)
    {
        if (text[i] == '<' && at (i + 1) == '?' && i >= rootStart)
            return true;

        if (text[i] == '<' && at (i + 1) == '!')
        {
            const char* doctype = "DOCTYPE";
            size_t k = 0;

            while (k < 7 && juce::CharacterFunctions::toUpperCase ((juce::juce_wchar) (unsigned char) at (i + 2 + k)) == (juce::juce_wchar) doctype[k])
                ++k;

            if (k == 7)
                return true;
        }

        if (text[i] == '&' && at (i + 1) == '#')
        {
            const bool hex = at (i + 2) == 'x' || at (i + 2) == 'X';
            auto j = i + (hex ? 3 : 2);
            const auto digitsStart = j;

            while (hex ? juce::CharacterFunctions::getHexDigitValue ((juce::juce_wchar) (unsigned char) at (j)) >= 0
                       : (at (j) >= '0' && at (j) <= '9'))
                ++j;

            const auto digits = j - digitsStart;

            if (digits == 0 || digits > (hex ? 8u : 12u) || at (j) != ';')
                return true;
        }
    }

    return false;
}
} // namespace

std::unique_ptr<juce::XmlElement> parseXmlText (const char* text, size_t maxBytes)
{
    if (text == nullptr)
        return {};

    auto length = maxBytes;

    if (const auto* end = static_cast<const char*> (std::memchr (text, 0, maxBytes)))
        length = (size_t) (end - text);

    if (length == 0 || length > (size_t) std::numeric_limits<int>::max()
        || ! isWellFormedUtf8 (reinterpret_cast<const unsigned char*> (text), length)
        || mayTripTheParser (text, length))
        return {};

    return juce::parseXML (juce::String::fromUTF8 (text, (int) length));
}

namespace
{
juce::ValueTree withUniqueProperties (const juce::ValueTree& source)
{
    juce::ValueTree result (source.getType());

    for (int i = 0; i < source.getNumProperties(); ++i)
    {
        const auto name = source.getPropertyName (i);

        if (! result.hasProperty (name))
            result.setProperty (name, source.getProperty (name), nullptr);
    }

    for (const auto& child : source)
        result.appendChild (withUniqueProperties (child), nullptr);

    return result;
}
} // namespace

juce::ValueTree valueTreeFromXml (const juce::XmlElement& xml)
{
    const auto tree = juce::ValueTree::fromXml (xml);
    return tree.isValid() ? withUniqueProperties (tree) : tree;
}

std::unique_ptr<juce::XmlElement> parseXmlFile (const juce::File& file)
{
    juce::MemoryBlock data;

    if (! file.loadFileAsData (data) || data.getSize() <= 2)
        return {};

    const auto* bytes = static_cast<const char*> (data.getData());

    if (juce::CharPointer_UTF16::isByteOrderMarkBigEndian (bytes) || juce::CharPointer_UTF16::isByteOrderMarkLittleEndian (bytes))
    {
        // Converted from UTF-16, the text is well-formed UTF-8.
        return juce::parseXML (juce::String::createStringFromData (bytes, (int) data.getSize()));
    }

    auto size = data.getSize();

    if (juce::CharPointer_UTF8::isByteOrderMark (bytes))
    {
        bytes += 3;
        size -= 3;
    }

    return parseXmlText (bytes, size);
}
} // namespace varnok
