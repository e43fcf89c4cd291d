#include "text/single_byte_decoders.h"

#include <cstdio>
#include <string>

#include "text/exception.h"
#include "text/utf8.h"

#include "text/single_byte_tables.inc"

namespace {

// Names used in the messages of the encodings that leave bytes unassigned.
const char* encodingMessageName(int encoding) {
    switch (encoding) {
    case 5:
        return "ISO-8859-3";
    case 8:
        return "ISO-8859-6";
    case 9:
        return "ISO-8859-7";
    case 10:
        return "ISO-8859-8";
    case 17:
        return "cp10000_MacRoman";
    case 18:
        return "Windows-1250";
    case 19:
        return "cp1251";
    case 20:
        return "Windows-1252";
    default:
        return nullptr;
    }
}
} // namespace

void raiseUndecodableByte(int encoding, std::uint8_t byte) {
    const char* name = encodingMessageName(encoding);
    if (name == nullptr) {
        char message[64];
        std::snprintf(message, sizeof message, "No single-byte decoder for encoding %d", encoding);
        throw EConvertError(message);
    }
    const std::string shown = utf16ToUtf8(std::u16string(1, static_cast<char16_t>(byte)));
    throw EConvertError(std::string("Invalid ") + name + " sequence \"" + shown + "\"");
}
