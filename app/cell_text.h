#pragma once

#include <string_view>
#include <vector>
#include <string>

// Cells hold code page 932 bytes; text typed by the user is UTF-16. Characters that the code page
// lacks would become "?" when a cell is stored.

// Each character of text that code page 932 cannot hold, once, in the order of first appearance;
// a surrogate pair is one character (two units).
std::vector<std::u16string> unrepresentableCharacters(std::u16string_view text);
