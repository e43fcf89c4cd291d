#include "app/cell_text.h"

#include <algorithm>

#include "text/code_page_932.h"

std::vector<std::u16string> unrepresentableCharacters(std::u16string_view text) {
    std::vector<std::u16string> found;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::u16string character(1, text[i]);
        const bool pair = text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                          text[i + 1] <= 0xDFFF;
        if (pair) character.push_back(text[++i]);
        char bytes[2];
        if (!pair && cp932::encodeUnit(character.front(), bytes) > 0) continue;
        if (std::find(found.begin(), found.end(), character) == found.end()) found.push_back(std::move(character));
    }
    return found;
}
