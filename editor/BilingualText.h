#pragma once

#include <juce_core/juce_core.h>

// A text in both of the product's languages; a null pointer stands for an empty text.
struct BilingualText
{
    const char* japanese;
    const char* english;
};

namespace varnok
{
// "English（Japanese）", with no blank in between; the parentheses stay when a part is empty.
juce::String joinBilingual (const BilingualText& text);
} // namespace varnok
