#pragma once

// Entry of the text-layer fuzz target, shared with the test that replays its seeds. The bytes are
// read twice: as UTF-16 units (little-endian pairs) for the character checks, the declaration
// parsers and the conversion streams, and as raw bytes for the Shift_JIS, EUC-JP and single-byte
// decoders and the input source. Checks never raise, parsers report through their flags, the only
// exceptions are the documented EConvertError cases, and the input source delivers the same units
// and failures whether they are taken one by one or in runs.

#include <cstddef>
#include <cstdint>
#include <string>

#include "text/code_page_932.h"
#include "text/conversion_stream.h"
#include "text/dom_exception.h"
#include "text/encoding_conversion.h"
#include "text/exception.h"
#include "text/input_source.h"
#include "text/locator.h"
#include "text/name_value_list.h"
#include "text/single_byte_decoders.h"
#include "text/text_utils.h"
#include "text/xml_chars.h"
#include "text/xml_memory_stream.h"

namespace text_layer_fuzz {

inline bool checksHold(const std::u16string& s) {
    if (checkCharData(s) && !checkCData(s)) return false;
    if (checkCData(s) && !checkChars(s)) return false;
    if (checkNCName(s) && !checkQName(s)) return false;
    if (checkQName(s) && !checkName(s)) return false;
    if (checkName(s) && !(checkNmtoken(s) && checkNames(s) && checkNmtokens(s))) return false;
    if (checkPubidLiteral(s) && !checkSystemLiteral(s)) return false;
    if (checkPITarget(s) && !checkName(s)) return false;
    if (checkReference(s) != (checkEntityRef(s) || checkCharRef(s))) return false;
    (void)(checkWhiteSpace(s) + checkPEReference(s) + checkEntityValue(s) + checkAttValue(s) + checkVersionNum(s) +
           checkEncName(s) + checkStringType(s) + checkTokenizedType(s));
    try {
        const std::int32_t value = charRefValue(s);
        if (!checkCharRef(s) || charRefText(s).size() != (value > 0xFFFF ? 2u : 1u)) return false;
    } catch (const EConvertError&) {
    }
    try {
        if ((qnamePrefix(s).empty() ? u"" : qnamePrefix(s) + u":") + qnameLocalName(s) != s) return false;
    } catch (const EInvalid_Character_Err&) {
        if (checkQName(s)) return false;
    }
    return true;
}

inline bool parsersHold(const std::u16string& s) {
    std::u16string a, b, c, d;
    bool failed = false;
    char16_t quote = 0;
    int result = -1;
    TdomNameValueList list;
    (void)escapeMarkup(s).size();
    (void)escapeQuotes(s).size();
    if (trimWhiteSpace(s).size() > trimChar(s).size()) return false;
    splitTarget(s, a, b);
    unwrapBrackets(s, a, failed);
    unwrapParentheses(s, a, failed);
    takeQuotedLiteral(s, a, b, failed, quote);
    if (failed != (quote == 0)) return false;
    parsePseudoAttributes(s, a, list, result);
    if (result < 0 || result > 4) return false;
    parseNotationExternalId(s, a, b, failed);
    parseEntityDefinition(s, a, b, c, d, failed);
    try {
        (void)formatExternalId(c, b, d);
    } catch (const EConvertError&) {
        // Identifiers that no quote can hold, or a notation that is no Name.
    }
    return true;
}

inline bool streamsHold(const std::u16string& s) {
    const auto bytes = static_cast<std::int64_t>(s.size() * 2);
    TMemoryStream target;
    TUTF16BEToShiftJISStream shiftJis(&target);
    TUTF16BEToEUCJPStream eucJp(&target);
    shiftJis.crlfLineEnds = s.size() % 2 == 0;
    if (shiftJis.write(s.data(), bytes) != bytes || eucJp.write(s.data(), bytes) != bytes) return false;
    TUTF16BEToUTF8Stream utf8(&target);
    utf8.crlfLineEnds = true;
    try {
        if (utf8.write(s.data(), bytes) != bytes) return false;
    } catch (const EConvertError&) {
        // An unpaired surrogate.
    }
    return true;
}

inline bool decodersHold(const std::uint8_t* data, std::size_t size) {
    for (int encoding = kFirstSingleByteEncoding; encoding <= kLastSingleByteEncoding; ++encoding) {
        for (std::size_t i = 0; i < size; ++i) {
            try {
                (void)decodeSingleByte(encoding, data[i]);
            } catch (const EConvertError&) {
            }
        }
    }
    std::size_t i = 0;
    auto next = [&]() -> std::uint8_t { return i < size ? data[i++] : 0; };
    // At the end the reader gives a byte that cannot trail, and takes nothing.
    auto readSecond = [&]() -> std::uint8_t { return i < size ? data[i++] : (++i, 0); };
    auto unread = [&] { --i; };
    // Character by character, Shift_JIS decodes as code page 932 decodes the whole string: a byte
    // that cannot trail is never taken as a second byte.
    std::u16string shiftJis;
    while (i < size) shiftJis.push_back(decodeShiftJis(next(), readSecond, unread));
    if (shiftJis != cp932::decode(std::string_view(reinterpret_cast<const char*>(data), size))) return false;
    i = 0;
    while (i < size) (void)decodeEucJp(next(), readSecond, unread);
    const std::string narrow(reinterpret_cast<const char*>(data), size);
    return widenLatin1(narrow).size() == size && widenWindows1250(narrow).size() == size;
}

// What a source delivers, as text: each unit, and "!" followed by the message for each failure
// (reading goes on after a failure, as the source stays where the failing read stopped).
template <class ReadSome> std::string deliveries(ReadSome&& readSome) {
    std::string out;
    for (int failures = 0; failures < 64;) {
        try {
            if (!readSome(out)) break;
        } catch (const Exception& e) {
            out += "!" + e.message() + "\n";
            ++failures;
        }
    }
    return out;
}

inline void appendUnit(std::string& out, char16_t unit) {
    out.push_back(static_cast<char>(unit >> 8));
    out.push_back(static_cast<char>(unit & 0xFF));
}

// Taking the decoded units in runs delivers what taking them one by one does, with the same counts.
inline bool inputSourceHolds(const std::uint8_t* data, std::size_t size) {
    TXmlMemoryStream oneStream(data, static_cast<std::int64_t>(size));
    TXmlMemoryStream runStream(data, static_cast<std::int64_t>(size));
    TXmlInputSource one(&oneStream, u"", u"");
    TXmlInputSource runs(&runStream, u"", u"");
    const std::string oneByOne = deliveries([&](std::string& out) {
        char16_t unit;
        if (!one.readChar(unit)) return false;
        appendUnit(out, unit);
        return true;
    });
    const std::string inRuns = deliveries([&](std::string& out) {
        const std::u16string_view run = runs.bufferedUnits();
        for (char16_t unit : run) appendUnit(out, unit);
        runs.skipBufferedUnits(run.size());
        runs.locator()->advanceOver(run);
        char16_t unit;
        if (!runs.readChar(unit)) return false;
        appendUnit(out, unit);
        return true;
    });
    return oneByOne == inRuns && one.locator()->line() == runs.locator()->line() &&
           one.locator()->column() == runs.locator()->column();
}

} // namespace text_layer_fuzz

// False when the text layer broke one of its promises for these bytes.
inline bool textLayerHolds(const std::uint8_t* data, std::size_t size) {
    std::u16string units(size / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) units[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
    return text_layer_fuzz::checksHold(units) && text_layer_fuzz::parsersHold(units) &&
           text_layer_fuzz::streamsHold(units) && text_layer_fuzz::decodersHold(data, size) &&
           text_layer_fuzz::inputSourceHolds(data, size);
}
