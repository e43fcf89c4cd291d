#include "text/encoding_conversion.h"

#include <cstdio>

#include "text/exception.h"
#include "text/single_byte_decoders.h"

void eucToShiftJisPair(std::uint8_t& b1, std::uint8_t& b2) {
    const unsigned row = static_cast<std::uint8_t>(b1 - 0x80);
    const unsigned cell = static_cast<std::uint8_t>(b2 - 0x80);
    const unsigned first = ((row + 1) >> 1) + (row <= 0x5E ? 0x70 : 0xB0);
    unsigned second;
    if ((row & 1) == 0)
        second = cell + 0x7E;
    else
        second = cell + (b2 < 0xE0 ? 0x1F : 0x20);
    b1 = static_cast<std::uint8_t>(first);
    b2 = static_cast<std::uint8_t>(second);
}

void shiftJisToEucPair(std::uint8_t& b1, std::uint8_t& b2) {
    const unsigned s1 = b1;
    const unsigned s2 = b2;
    const unsigned first = 2 * s1 - 0x60 - (s1 < 0xA0 ? 0x80 : 0) - (s2 < 0x9F ? 1 : 0) + 0x80;
    unsigned second;
    if (s2 > 0x9E)
        second = s2 - 0x7E;
    else if (s2 >= 0x80)
        second = s2 - 0x20;
    else
        second = s2 - 0x1F;
    b1 = static_cast<std::uint8_t>(first);
    b2 = static_cast<std::uint8_t>(second + 0x80);
}

std::u16string widenLatin1(std::string_view narrow) {
    std::u16string wide(narrow.size(), u'\0');
    for (std::size_t i = 0; i < narrow.size(); ++i) wide[i] = static_cast<std::uint8_t>(narrow[i]);
    return wide;
}

std::u16string widenWindows1250(std::string_view narrow) {
    constexpr int kWindows1250 = 18;
    const char16_t* upper = kSingleByteUpperHalves[kWindows1250 - kFirstSingleByteEncoding];
    std::u16string wide(narrow.size(), u'\0');
    for (std::size_t i = 0; i < narrow.size(); ++i) {
        const std::uint8_t byte = static_cast<std::uint8_t>(narrow[i]);
        char16_t unit = byte < 0x80 ? char16_t{byte} : upper[byte - 0x80];
        wide[i] = unit == kUnassignedByte ? u'\xFFFD' : unit;
    }
    return wide;
}

std::string narrowAscii(std::u16string_view wide) {
    bool swapped = false;
    if (!wide.empty() && wide[0] == 0xFEFF) {
        wide.remove_prefix(1);
    } else if (!wide.empty() && wide[0] == 0xFFFE) {
        wide.remove_prefix(1);
        swapped = true;
    }
    std::string narrow(wide.size(), '\0');
    for (std::size_t i = 0; i < wide.size(); ++i) {
        char16_t unit = wide[i];
        if (swapped) unit = static_cast<char16_t>((unit >> 8) | (unit << 8));
        if (unit >= 0x80) {
            char message[64];
            std::snprintf(message, sizeof message, "Non-ASCII character %4.4X", static_cast<unsigned>(unit));
            throw EConvertError(message);
        }
        narrow[i] = static_cast<char>(unit);
    }
    return narrow;
}
