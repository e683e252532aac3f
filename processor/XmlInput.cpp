#include "XmlInput.h"

#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

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

// The parser recurses once per level of nesting, and so do the conversion to a value tree and the
// destructors; every name it meets goes into JUCE's global string pool, which inserts into a
// sorted array (quadratic in the number of distinct names); a value tree's property lookup is
// linear, so an element's attributes cost their number squared. This walks the document as the
// parser will and refuses it when it exceeds xmlLimits, or when it strays from plain XML
// (elements, attributes in quotes, text, comments, CDATA, the predefined entities and character
// references, matching end tags) into what the parser reads in its own way: only then does the
// walk see exactly the structure the parser builds. It does not recurse. Everything after the
// root's end tag is left alone, as the parser leaves it.
class ShapeCheck
{
public:
    ShapeCheck (const char* t, size_t length) : text (t, length) {}

    bool passes()
    {
        if (! skipMarkupBeforeRoot() || ! isStartTag (i))
            return false;

        for (;;)
        {
            if (! readStartTag())
                return false;

            if (open.empty())
                return true;

            // Content up to the next start tag; the root's end tag ends the walk.
            for (bool nextTag = false; ! nextTag;)
            {
                if (i >= text.size())
                    return false;

                if (text[i] == '&')
                {
                    const auto n = entityLength (i);

                    if (n == 0)
                        return false;

                    i += n;
                }
                else if (text[i] != '<')
                {
                    ++i;
                }
                else if (startsWith (i, "</"))
                {
                    i += 2;

                    if (readName() != open.back())
                        return false;

                    skipSpace();

                    if (i >= text.size() || text[i] != '>')
                        return false;

                    ++i;
                    open.pop_back();

                    if (open.empty())
                        return true;
                }
                else if (startsWith (i, "<!--"))
                {
                    if (! skipPast (i + 4, "-->"))
                        return false;
                }
                else if (startsWith (i, "<![CDATA["))
                {
                    if (! skipPast (i + 9, "]]>"))
                        return false;
                }
                else if (isStartTag (i))
                {
                    nextTag = true;
                }
                else
                {
                    return false;
                }
            }
        }
    }

private:
    bool startsWith (size_t at, std::string_view s) const { return text.compare (at, s.size(), s) == 0; }

    static bool isSpace (char c) { return c == ' ' || (c >= 9 && c <= 13); }

    void skipSpace()
    {
        while (i < text.size() && isSpace (text[i]))
            ++i;
    }

    bool skipPast (size_t from, std::string_view end)
    {
        const auto at = text.find (end, from);

        if (at == std::string_view::npos)
            return false;

        i = at + end.size();
        return true;
    }

    // The parser's name characters: ASCII letters and digits, '_', '-', ':', '.', and above U+009F
    // whatever it takes for a letter or digit. Returns the character's length in bytes, or 0.
    size_t nameCharLength (size_t at) const
    {
        if (at >= text.size())
            return 0;

        const auto c = (unsigned char) text[at];

        if (c < 0x80)
            return (juce::CharacterFunctions::isLetterOrDigit ((char) c) || c == '_' || c == '-' || c == ':' || c == '.') ? 1 : 0;

        // The text is well-formed UTF-8 (checked before), so the whole sequence is there.
        const auto codePoint = *juce::CharPointer_UTF8 (text.data() + at);
        const size_t length = c >= 0xf0 ? 4 : c >= 0xe0 ? 3 : 2;
        return codePoint >= 0xa0 && juce::CharacterFunctions::isLetterOrDigit (codePoint) ? length : 0;
    }

    bool isStartTag (size_t at) const { return at < text.size() && text[at] == '<' && nameCharLength (at + 1) > 0; }

    std::string_view readName()
    {
        const auto start = i;

        while (const auto n = nameCharLength (i))
            i += n;

        return text.substr (start, i - start);
    }

    bool noteName (std::string_view name)
    {
        return names.insert (name).second ? names.size() <= (size_t) xmlLimits::maxDistinctNames : true;
    }

    // The length of the reference at 'at' ("&amp;", "&#38;", "&#x26;"...), or 0 for anything else:
    // the parser would take any other name up to the next ';', wherever that is, as one entity.
    size_t entityLength (size_t at) const
    {
        // The parser matches these names in any letter case.
        for (const std::string_view name : { "&amp;", "&quot;", "&apos;", "&lt;", "&gt;" })
        {
            size_t k = 0;

            while (k < name.size() && at + k < text.size() && juce::CharacterFunctions::toLowerCase ((juce::juce_wchar) (unsigned char) text[at + k]) == (juce::juce_wchar) name[k])
                ++k;

            if (k == name.size())
                return k;
        }

        if (! startsWith (at, "&#"))
            return 0;

        const bool hex = startsWith (at, "&#x") || startsWith (at, "&#X");
        auto j = at + (hex ? 3 : 2);
        const auto digitsStart = j;

        while (j < text.size() && (hex ? juce::CharacterFunctions::getHexDigitValue ((juce::juce_wchar) (unsigned char) text[j]) >= 0 : (text[j] >= '0' && text[j] <= '9')))
            ++j;

        const auto digits = j - digitsStart;

        if (digits == 0 || digits > (hex ? 8u : 12u) || j >= text.size() || text[j] != ';')
            return 0;

        return j + 1 - at;
    }

    // White space, comments and processing instructions (the declaration among them).
    bool skipMarkupBeforeRoot()
    {
        for (;;)
        {
            skipSpace();

            if (startsWith (i, "<!--"))
            {
                if (! skipPast (i + 4, "-->"))
                    return false;
            }
            else if (startsWith (i, "<?"))
            {
                if (! skipPast (i + 2, "?>"))
                    return false;
            }
            else
            {
                return true;
            }
        }
    }

    // From the '<' of a start tag to its end; an element that is not empty is then open.
    bool readStartTag()
    {
        ++i;
        const auto name = readName();

        if (open.size() >= (size_t) xmlLimits::maxDepth || ! noteName (name))
            return false;

        for (int attributes = 0;; ++attributes)
        {
            skipSpace();

            if (startsWith (i, "/>"))
            {
                i += 2;
                return true;
            }

            if (startsWith (i, ">"))
            {
                ++i;
                open.push_back (name);
                return true;
            }

            const auto attribute = readName();

            if (attribute.empty() || attributes >= xmlLimits::maxAttributesPerElement || ! noteName (attribute))
                return false;

            skipSpace();

            if (! startsWith (i, "="))
                return false;

            ++i;
            skipSpace();

            if (i >= text.size() || (text[i] != '"' && text[i] != '\''))
                return false;

            const auto end = text.find (text[i], i + 1);

            if (end == std::string_view::npos)
                return false;

            // Only within the value: a search to the end of the text for every attribute would
            // cost the text's length each time.
            for (auto j = i + 1; j < end; ++j)
                if (text[j] == '&' && entityLength (j) == 0)
                    return false;

            i = end + 1;
        }
    }

    std::string_view text;
    size_t i = 0;
    std::vector<std::string_view> open;
    std::unordered_set<std::string_view> names;
};
} // namespace

std::unique_ptr<juce::XmlElement> parseXmlText (const char* text, size_t maxBytes)
{
    if (text == nullptr)
        return {};

    auto length = maxBytes;

    if (const auto* end = static_cast<const char*> (std::memchr (text, 0, maxBytes)))
        length = (size_t) (end - text);

    if (length == 0 || length > xmlLimits::maxTextBytes
        || ! isWellFormedUtf8 (reinterpret_cast<const unsigned char*> (text), length)
        || mayTripTheParser (text, length)
        || ! ShapeCheck (text, length).passes())
        return {};

    return juce::parseXML (juce::String::fromUTF8 (text, (int) length));
}

namespace
{
// One element's own properties as ValueTree::fromXml reads them (base64 attributes included), of
// an attribute given twice the first.
juce::ValueTree nodeWithUniqueProperties (const juce::XmlElement& xml)
{
    juce::XmlElement attributesOnly (xml.getTagName());

    for (int i = 0; i < xml.getNumAttributes(); ++i)
        if (! attributesOnly.hasAttribute (xml.getAttributeName (i)))
            attributesOnly.setAttribute (xml.getAttributeName (i), xml.getAttributeValue (i));

    return juce::ValueTree::fromXml (attributesOnly);
}

// Top down: every child joins its parent while it is still empty. A ValueTree tells the whole
// subtree of a child about its new parent, so the bottom-up fromXml costs the number of elements
// times the depth, which a deep document makes seconds.
void appendChildren (juce::ValueTree& parent, const juce::XmlElement& xml)
{
    for (const auto* element : xml.getChildIterator())
    {
        if (element->isTextElement()) // fromXml skips text too
            continue;

        auto child = nodeWithUniqueProperties (*element);
        parent.appendChild (child, nullptr);
        appendChildren (child, *element);
    }
}
} // namespace

juce::ValueTree valueTreeFromXml (const juce::XmlElement& xml)
{
    if (xml.isTextElement())
        return {};

    auto tree = nodeWithUniqueProperties (xml);
    appendChildren (tree, xml);
    return tree;
}

namespace
{
// UTF-16 in the given byte order (the mark already skipped), as UTF-8. The text ends at the first 0
// code unit, as the UTF-8 path ends it at the first 0 byte; within it an unpaired surrogate or an
// odd byte left at the end makes it no text at all (nullopt). JUCE's own conversion passes both on
// as malformed UTF-8 and splits pairs outside the Basic Multilingual Plane into two characters.
std::optional<std::string> utf16ToUtf8 (const unsigned char* bytes, size_t size, bool bigEndian)
{
    const auto unitAt = [bytes, bigEndian] (size_t i)
    { return (juce::uint32) (bigEndian ? (bytes[i] << 8) | bytes[i + 1] : bytes[i] | (bytes[i + 1] << 8)); };

    std::string text;
    text.reserve (size + size / 2);

    for (size_t i = 0;; i += 2)
    {
        if (i == size)
            return text;

        if (i + 1 == size)
            return std::nullopt;

        auto c = unitAt (i);

        if (c == 0)
            return text;

        if (c >= 0xdc00 && c <= 0xdfff)
            return std::nullopt;

        if (c >= 0xd800 && c <= 0xdbff)
        {
            if (i + 3 >= size)
                return std::nullopt;

            const auto low = unitAt (i + 2);

            if (low < 0xdc00 || low > 0xdfff)
                return std::nullopt;

            c = 0x10000 + ((c - 0xd800) << 10) + (low - 0xdc00);
            i += 2;
        }

        if (c < 0x80)
        {
            text += (char) c;
        }
        else if (c < 0x800)
        {
            text += (char) (0xc0 | (c >> 6));
            text += (char) (0x80 | (c & 0x3f));
        }
        else if (c < 0x10000)
        {
            text += (char) (0xe0 | (c >> 12));
            text += (char) (0x80 | ((c >> 6) & 0x3f));
            text += (char) (0x80 | (c & 0x3f));
        }
        else
        {
            text += (char) (0xf0 | (c >> 18));
            text += (char) (0x80 | ((c >> 12) & 0x3f));
            text += (char) (0x80 | ((c >> 6) & 0x3f));
            text += (char) (0x80 | (c & 0x3f));
        }
    }
}
} // namespace

std::unique_ptr<juce::XmlElement> parseXmlFile (const juce::File& file)
{
    // A file too large to hold a text within the bound (UTF-16 takes at least two bytes for each
    // byte of UTF-8) is not even read.
    if (file.getSize() > (juce::int64) (2 * xmlLimits::maxTextBytes + 2))
        return {};

    juce::MemoryBlock data;

    if (! file.loadFileAsData (data) || data.getSize() <= 2)
        return {};

    const auto* bytes = static_cast<const unsigned char*> (data.getData());
    auto size = data.getSize();

    if (juce::CharPointer_UTF16::isByteOrderMarkBigEndian (bytes) || juce::CharPointer_UTF16::isByteOrderMarkLittleEndian (bytes))
    {
        const auto text = utf16ToUtf8 (bytes + 2, size - 2, juce::CharPointer_UTF16::isByteOrderMarkBigEndian (bytes));
        return text.has_value() ? parseXmlText (text->data(), text->size()) : nullptr;
    }

    if (juce::CharPointer_UTF8::isByteOrderMark (bytes))
    {
        bytes += 3;
        size -= 3;
    }

    return parseXmlText (reinterpret_cast<const char*> (bytes), size);
}
} // namespace varnok
