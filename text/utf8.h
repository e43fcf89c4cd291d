#pragma once

#include <string>
#include <string_view>

// UTF-8 <-> UTF-16 for file names and other system-facing text. Invalid UTF-8 and lone
// surrogates become U+FFFD.
std::u16string utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(std::u16string_view text);
