#include "BilingualText.h"

namespace varnok
{
namespace
{
juce::String fromLiteral (const char* text) { return text != nullptr ? juce::String::fromUTF8 (text) : juce::String(); }
} // namespace

juce::String joinBilingual (const BilingualText& text)
{
    return fromLiteral (text.english) + juce::String::fromUTF8 ("\xef\xbc\x88") + fromLiteral (text.japanese)
           + juce::String::fromUTF8 ("\xef\xbc\x89");
}
} // namespace varnok
