#include "parser/doc_reader.h"

#include <array>
#include <string_view>
#include <utility>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "dom/attribute_parsing.h"
#include "dom/document.h"
#include "dom/element.h"
#include "dom/named_node_map.h"
#include "parser/markup_delimiters.h"
#include "text/exception.h"
#include "text/input_source.h"
#include "text/locator.h"
#include "text/name_value_list.h"
#include "text/parser_error.h"
#include "text/parser_exception.h"
#include "text/text_utils.h"
#include "text/xml_chars.h"

namespace {

enum class ScanState { start, text, tag, pi, comment, cdata, doctype, reference };

// The capacity the piece buffer starts with; the length from which a text piece is long, and the
// buffer a long text fills at least half of goes down the chain itself (storage that large comes
// straight from the system in pages, so the capacity it does not use costs address space, not
// memory); and the capacity up to which the buffer of a short text goes down the chain itself.
constexpr std::size_t kBufferCapacity = 256;
constexpr std::size_t kLongTextPiece = 64 * 1024;
constexpr std::size_t kLentBufferCapacity = 4 * 1024;

// The units of text from position first (0-based) on, count of them; nothing when count is not
// positive, so markup cut shorter than its delimiters gives empty content.
std::u16string middle(const std::u16string& text, std::size_t first, std::ptrdiff_t count) {
    if (count <= 0 || first >= text.size()) return std::u16string();
    return text.substr(first, static_cast<std::size_t>(count));
}

std::ptrdiff_t length(const std::u16string& text) { return static_cast<std::ptrdiff_t>(text.size()); }

// What ends a run of a scanning state: its delimiters and the units that are not XML characters
// (which the unit-by-unit path reports). The table answers for the units below 0x40; the
// delimiters are kept again, the first one repeated to fill three, for the vector test.
struct RunStops {
    std::array<bool, 0x40> table{};
    char16_t delimiters[3]{};
};

constexpr RunStops stopsWith(std::u16string_view delimiters) {
    RunStops stops;
    for (char16_t unit = 0; unit < 0x20; ++unit) stops.table[unit] = unit != 0x09 && unit != 0x0A && unit != 0x0D;
    for (char16_t unit : delimiters) stops.table[unit] = true;
    for (std::size_t i = 0; i < 3; ++i) stops.delimiters[i] = delimiters[i < delimiters.size() ? i : 0];
    return stops;
}

constexpr RunStops kTextStops = stopsWith(u"<&");
constexpr RunStops kTagStops = stopsWith(u">'\"");
constexpr RunStops kMarkupEndStops = stopsWith(u">");
constexpr RunStops kReferenceStops = stopsWith(u";");

// Whether the unit ends a run of the state whose stops these are.
constexpr bool endsRun(char16_t unit, const RunStops& stops) {
    return unit < 0x40 ? stops.table[unit] : unit >= 0xFFFE;
}

// The number of units at the start of run before the first one that ends it; 0xFFFE and 0xFFFF,
// which are not characters, end it as well. Tells in maySpanLines whether those units may hold a
// line feed; when it is false they hold none.
template <const RunStops& stops> std::size_t plainRunLength(std::u16string_view run, bool& maySpanLines) {
    std::size_t i = 0;
    const std::size_t n = run.size();
    maySpanLines = false;
#ifdef __SSE2__
    // Eight units at a time: the delimiters, and the units that may be stops, which the table then
    // tells apart (tab, LF and CR go on). Adding 2 takes 0xFFFE and 0xFFFF to 0 and 1 and the units
    // below 0x20 to 2..0x21, so one unsigned comparison finds all of those.
    const __m128i first = _mm_set1_epi16(static_cast<short>(stops.delimiters[0]));
    const __m128i second = _mm_set1_epi16(static_cast<short>(stops.delimiters[1]));
    const __m128i third = _mm_set1_epi16(static_cast<short>(stops.delimiters[2]));
    const __m128i two = _mm_set1_epi16(2);
    const __m128i lastSuspect = _mm_set1_epi16(0x21);
    for (; i + 8 <= n; i += 8) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(run.data() + i));
        const __m128i delimiter = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi16(units, first), _mm_cmpeq_epi16(units, second)), _mm_cmpeq_epi16(units, third));
        const __m128i suspect =
            _mm_cmpeq_epi16(_mm_subs_epu16(_mm_add_epi16(units, two), lastSuspect), _mm_setzero_si128());
        // Two mask bits a unit. The units that may be stops before the first delimiter are looked
        // up; the delimiter itself ends the run.
        const auto delimiters = static_cast<unsigned>(_mm_movemask_epi8(delimiter));
        const unsigned beforeDelimiter = delimiters != 0 ? (delimiters & (0u - delimiters)) - 1 : 0xFFFFu;
        for (unsigned suspects = static_cast<unsigned>(_mm_movemask_epi8(suspect)) & beforeDelimiter; suspects != 0;
             suspects &= ~(3u << __builtin_ctz(suspects))) {
            const std::size_t at = i + static_cast<std::size_t>(__builtin_ctz(suspects)) / 2;
            if (endsRun(run[at], stops)) return at;
            maySpanLines = true;
        }
        if (delimiters != 0) return i + static_cast<std::size_t>(__builtin_ctz(delimiters)) / 2;
    }
#endif
    if (i < n) maySpanLines = true;
    for (; i < n; ++i)
        if (endsRun(run[i], stops)) break;
    return i;
}

// The bytes in hex, "8F B0 A1".
std::u16string hexBytes(const std::string& bytes) {
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    std::u16string text;
    for (const char byte : bytes) {
        if (!text.empty()) text.push_back(u' ');
        text.push_back(kDigits[static_cast<std::uint8_t>(byte) >> 4]);
        text.push_back(kDigits[static_cast<std::uint8_t>(byte) & 0x0F]);
    }
    return text;
}

} // namespace

TXmlStandardDocReader::TXmlStandardDocReader() : attributes_(std::make_unique<TdomNameValueList>()) {}

TXmlStandardDocReader::~TXmlStandardDocReader() = default;

TXmlErrorRecord TXmlStandardDocReader::sendXmlDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                          TdomStandardLocator* locator, const std::u16string& text) {
    std::u16string target, rest;
    splitTarget(text, target, rest);
    auto invalid = [&] {
        return createError(processorAgent, locator, std::u16string(), EParserInvalidXmlDeclaration_Err::kClassName);
    };
    if (target != u"xml") return invalid();
    // The declaration's attributes, read by the attribute grammar into a scratch element; its
    // exceptions leave the run.
    TdomDocument scratch;
    TdomElement* element = scratch.createElement(u"dummy");
    parseAttributeSpecs(rest, element);
    TdomNamedNodeMap* attributes = element->attributes();
    const int count = attributes->length();
    if (count == 0 || count > 3) return invalid();
    auto nameAt = [&](int i) -> const std::u16string& { return attributes->item(i)->nodeName(); };
    std::u16string version, encoding, standalone;
    int index = 0;
    if (nameAt(index) != u"version") return invalid();
    version = attributes->item(index++)->nodeValue();
    if (index < count && nameAt(index) == u"encoding") encoding = attributes->item(index++)->nodeValue();
    if (index < count && nameAt(index) == u"standalone") standalone = attributes->item(index++)->nodeValue();
    if (index != count) return invalid();
    if (!NextHandler()) return nullptr;
    return NextHandler()->xmlDeclaration(processorAgent, locator, std::move(version), std::move(encoding),
                                         std::move(standalone));
}

TXmlErrorRecord TXmlStandardDocReader::sendProcessingInstruction(TXmlCustomProcessorAgent* processorAgent,
                                                                 TdomStandardLocator* locator,
                                                                 const std::u16string& text) {
    std::u16string target, data;
    splitTarget(text, target, data);
    if (!NextHandler()) return nullptr;
    return NextHandler()->processingInstruction(processorAgent, locator, std::move(target), std::move(data));
}

TXmlErrorRecord TXmlStandardDocReader::sendComment(TXmlCustomProcessorAgent* processorAgent,
                                                   TdomStandardLocator* locator, std::u16string&& text) {
    if (!NextHandler()) return nullptr;
    return NextHandler()->comment(processorAgent, locator, std::move(text));
}

TXmlErrorRecord TXmlStandardDocReader::sendCDATA(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                                 std::u16string&& text) {
    if (!NextHandler()) return nullptr;
    return NextHandler()->CDATA(processorAgent, locator, std::move(text));
}

TXmlErrorRecord TXmlStandardDocReader::sendPCDATA(TXmlCustomProcessorAgent* processorAgent,
                                                  TdomStandardLocator* locator, std::u16string&& text) {
    if (!NextHandler()) return nullptr;
    return NextHandler()->PCDATA(processorAgent, locator, std::move(text));
}

TXmlErrorRecord TXmlStandardDocReader::sendTag(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                               const std::u16string& text, bool empty) {
    int result = 0;
    parsePseudoAttributes(text, tagName_, *attributes_, result);
    const char* failure = nullptr;
    switch (result) {
    case kPseudoAttributesParsed:
        break;
    case kPseudoAttributeDoubleName:
        failure = EParserDoubleAttributeName_Err::kClassName;
        break;
    case kPseudoAttributeBadQuote:
        failure = EParserMissingQuotationMark_Err::kClassName;
        break;
    case kPseudoAttributeMissingEquals:
        failure = EParserMissingEqualitySign_Err::kClassName;
        break;
    default:
        failure = EParserMissingWhiteSpace_Err::kClassName;
        break;
    }
    TXmlErrorRecord answer;
    if (failure) {
        answer = createError(processorAgent, locator, std::u16string(), failure);
    } else if (NextHandler()) {
        const std::u16string noNamespace;
        answer = NextHandler()->startElement(processorAgent, locator, noNamespace, tagName_, *attributes_);
        if (!answer && empty) answer = NextHandler()->endElement(processorAgent, locator, noNamespace, tagName_);
    }
    // The pairs stay in the list until the next tag clears it.
    return answer;
}

TXmlErrorRecord TXmlStandardDocReader::sendStartTag(TXmlCustomProcessorAgent* processorAgent,
                                                    TdomStandardLocator* locator, const std::u16string& text) {
    return sendTag(processorAgent, locator, text, false);
}

TXmlErrorRecord TXmlStandardDocReader::sendEmptyElementTag(TXmlCustomProcessorAgent* processorAgent,
                                                           TdomStandardLocator* locator, const std::u16string& text) {
    return sendTag(processorAgent, locator, text, true);
}

TXmlErrorRecord TXmlStandardDocReader::sendEndTag(TXmlCustomProcessorAgent* processorAgent,
                                                  TdomStandardLocator* locator, const std::u16string& text) {
    if (!NextHandler()) return nullptr;
    return NextHandler()->endElement(processorAgent, locator, std::u16string(), text);
}

TXmlErrorRecord TXmlStandardDocReader::sendCharRef(TXmlCustomProcessorAgent* processorAgent,
                                                   TdomStandardLocator* locator, std::u16string&& text) {
    if (!NextHandler()) return nullptr;
    return NextHandler()->charRef(processorAgent, locator, std::move(text));
}

TXmlErrorRecord TXmlStandardDocReader::sendEntityRef(TXmlCustomProcessorAgent* processorAgent,
                                                     TdomStandardLocator* locator, const std::u16string& text) {
    if (!NextHandler()) return nullptr;
    return NextHandler()->entityRef(processorAgent, locator, middle(text, 1, length(text) - 2));
}

TXmlErrorRecord TXmlStandardDocReader::sendDoctype(TXmlCustomProcessorAgent* processorAgent,
                                                   TdomStandardLocator* locator, const std::u16string& text) {
    auto invalid = [&] {
        return createError(processorAgent, locator, std::u16string(), EParserInvalidDoctype_Err::kClassName);
    };
    const std::size_t open = kDoctypeOpen.size();
    if (text.size() <= open || !text.starts_with(kDoctypeOpen) || text.back() != u'>' || !isWhiteSpace(text[open]))
        return invalid();
    std::u16string body = trimWhiteSpace(middle(text, open + 1, length(text) - lengthOf(kDoctypeOpen) - 2));
    std::u16string head, internalSubset;
    std::size_t bracket = body.find(u'[');
    if (bracket != std::u16string::npos) {
        head = body.substr(0, bracket);
        bool failed = false;
        unwrapBrackets(body.substr(bracket), internalSubset, failed);
        if (failed) return invalid();
    } else {
        head = body;
    }
    std::u16string name, rest;
    splitTarget(head, name, rest);
    if (!checkName(name)) return invalid();
    std::u16string publicId, systemId;
    rest = trimWhiteSpace(rest);
    if (!rest.empty()) {
        // Only an external identifier may follow the name: no entity value, no NDATA part.
        if (rest[0] == u'"' || rest[0] == u'\'') return invalid();
        std::u16string value, notation;
        bool failed = false;
        parseEntityDefinition(rest, value, systemId, publicId, notation, failed);
        if (failed || !value.empty() || !notation.empty()) return invalid();
    }
    std::u16string documentPublicId = locator ? locator->publicId() : std::u16string();
    std::u16string documentSystemId = locator ? locator->systemId() : std::u16string();
    if (processorAgent &&
        !processorAgent->parseDoctypeSubsets(internalSubset, documentPublicId, documentSystemId, publicId, systemId))
        return invalid();
    if (!NextHandler()) return nullptr;
    return NextHandler()->doctype(processorAgent, locator, std::move(name), std::move(publicId), std::move(systemId),
                                  std::move(internalSubset));
}

bool TXmlStandardDocReader::parse(TXmlCustomProcessorAgent* processorAgent, TXmlInputSource& inputSource) {
    TdomStandardLocator* locator = inputSource.locator();
    TXmlErrorRecord error;
    if (NextHandler()) {
        NextHandler()->reset();
        error = NextHandler()->startDocument(processorAgent, locator, std::u16string(inputSource.rootElementName()));
    }

    // Undecodable bytes become U+30FB and the reading goes on; each place is told as an error
    // record at the position of its unit.
    inputSource.readOnUndecodable(true);
    std::size_t undecodableTold = inputSource.undecodableDelivered();
    auto tellUndecodable = [&] {
        const auto& entries = inputSource.undecodableBytes();
        for (; undecodableTold < inputSource.undecodableDelivered(); ++undecodableTold) {
            TXmlErrorRecord record = std::make_unique<TXmlParserError>(
                EParserUndecodable_Bytes_Err::kClassName, hexBytes(entries[undecodableTold].bytes),
                locator ? locator->publicId() : std::u16string(), locator ? locator->systemId() : std::u16string(),
                locator ? locator->line() : 0, locator ? locator->column() : 0, locator ? locator->line() : 0,
                locator ? locator->column() : 0);
            reportAndGoOn(processorAgent, record);
        }
    };

    std::u16string buffer;
    buffer.reserve(kBufferCapacity);
    ScanState state = ScanState::start;
    bool inApostrophes = false;
    bool inQuotationMarks = false;
    // Document type state only.
    bool inSubset = false;
    std::u16string_view prefix;    // "", "<", "<!" or "<!-"
    std::u16string_view endMarker; // "", "?>" or "-->"

    auto trackQuotes = [&](char16_t c) {
        if (c == u'\'') {
            if (!inQuotationMarks) inApostrophes = !inApostrophes;
        } else if (c == u'"') {
            if (!inApostrophes) inQuotationMarks = !inQuotationMarks;
        }
    };
    // The content of a piece between its delimiters, in a string that keeps its capacity.
    std::u16string piece;
    auto pieceOf = [&](std::size_t first, std::ptrdiff_t count) -> const std::u16string& {
        if (count <= 0 || first >= buffer.size())
            piece.clear();
        else
            piece.assign(buffer, first, static_cast<std::size_t>(count));
        return piece;
    };
    // Sends the buffer's character data. The buffer itself goes down the chain when a handler that
    // takes its storage along would hold little more than the text: a short text in a buffer of
    // modest capacity, or a long text that fills at least half of it. Otherwise the text goes as
    // an exact copy, and the buffer keeps its capacity. A buffer whose storage was taken starts over.
    auto sendText = [&]() -> TXmlErrorRecord {
        const bool lendBuffer = buffer.size() < kLongTextPiece ? buffer.capacity() <= kLentBufferCapacity
                                                               : buffer.size() >= buffer.capacity() / 2;
        if (!lendBuffer) return sendPCDATA(processorAgent, locator, std::u16string(buffer));
        TXmlErrorRecord answer = sendPCDATA(processorAgent, locator, std::move(buffer));
        if (buffer.capacity() < kBufferCapacity) {
            buffer = std::u16string();
            buffer.reserve(kBufferCapacity);
        }
        return answer;
    };
    // The piece that the unit c starts, now in the buffer.
    auto beginPiece = [&](char16_t c) {
        if (locator) locator->startPiece();
        inApostrophes = inQuotationMarks = false;
        state = c == u'<' ? ScanState::tag : c == u'&' ? ScanState::reference : ScanState::text;
    };
    auto pieceDone = [&] {
        buffer.clear();
        state = ScanState::start;
    };

    for (;;) {
        // Without a record there is nothing to report; most units come here without one.
        if (error && !reportAndGoOn(processorAgent, error)) break;
        char16_t c;
        if (std::u16string_view run = inputSource.bufferedUnits(); !run.empty()) {
            // The first unit of a piece decides what the piece is; the run of that state follows in
            // the same step. A unit that is no character is left to the state machine, which
            // reports it.
            if (state == ScanState::start && isCharUnit(run.front())) {
                c = run.front();
                inputSource.skipBufferedUnits(1);
                if (locator) locator->advanceOver(run.substr(0, 1));
                buffer.push_back(c);
                beginPiece(c);
                run.remove_prefix(1);
                if (run.empty()) continue;
            }
            // The units that cannot end or change the current piece are taken as one run, together
            // with the unit after them, which goes through the state machine below.
            std::size_t count = 0;
            bool maySpanLines = true; // a unit taken without a scan may be anything
            switch (state) {
            case ScanState::text:
                count = plainRunLength<kTextStops>(run, maySpanLines);
                break;
            case ScanState::tag: {
                // Until the unit after "<" rules out "<?" and "<!", every unit may change the state.
                const char16_t second = buffer.size() >= 2 ? buffer[1] : run.front();
                if (buffer.size() >= 9 || (second != u'?' && second != u'!'))
                    count = plainRunLength<kTagStops>(run, maySpanLines);
                break;
            }
            case ScanState::pi:
            case ScanState::comment:
            case ScanState::cdata:
                count = plainRunLength<kMarkupEndStops>(run, maySpanLines);
                break;
            case ScanState::reference:
                count = plainRunLength<kReferenceStops>(run, maySpanLines);
                break;
            case ScanState::start:
            case ScanState::doctype:
                break;
            }
            const std::size_t taken = count < run.size() ? count + 1 : count;
            // A long text piece is given room for the rest of the input at once: growing by
            // doubling would hold the old block and the copy of a very long text together.
            if (state == ScanState::text && buffer.size() >= kLongTextPiece &&
                buffer.size() + taken > buffer.capacity())
                buffer.reserve(buffer.size() + inputSource.unitsLeftAtMost());
            buffer.append(run.data(), count);
            inputSource.skipBufferedUnits(taken);
            // The unit after the run, if taken, ends it, so it is no line feed either.
            if (locator) {
                if (maySpanLines)
                    locator->advanceOver(run.substr(0, taken));
                else
                    locator->advanceWithinLine(run.substr(0, taken));
            }
            if (taken == count) continue;
            c = run[count];
        } else {
            try {
                if (!inputSource.readChar(c)) break;
            } catch (const EConvertError&) {
                error = createError(processorAgent, locator, std::u16string(), EParserInvalidCharacter_Err::kClassName);
                break;
            } catch (const EStreamError&) {
                error = createError(processorAgent, locator, std::u16string(), EParserInvalidCharacter_Err::kClassName);
                break;
            }
            // Runs end before a replacement unit of undecodable bytes: it comes one at a time.
            if (inputSource.undecodableDelivered() != undecodableTold) tellUndecodable();
        }
        if (!isCharUnit(c)) {
            error = createError(processorAgent, locator, std::u16string(), EParserInvalidCharacter_Err::kClassName);
            break;
        }
        buffer.push_back(c);
        switch (state) {
        case ScanState::start:
            beginPiece(c);
            break;
        case ScanState::text:
            if (c == u'<' || c == u'&') {
                buffer.pop_back();
                error = sendText();
                buffer.assign(1, c);
                beginPiece(c);
            }
            break;
        case ScanState::tag: {
            trackQuotes(c);
            std::size_t size = buffer.size();
            if (buffer == kPiOpen) {
                state = ScanState::pi;
            } else if (buffer == kCommentOpen) {
                state = ScanState::comment;
            } else if (buffer == kCDataOpen) {
                state = ScanState::cdata;
            } else if (buffer == kDoctypeOpen) {
                state = ScanState::doctype;
                inSubset = false;
                prefix = u"";
                endMarker = u"";
            } else if (c == u'>' && !inApostrophes && !inQuotationMarks) {
                if (buffer[1] == u'/') {
                    std::size_t end = size - 1;
                    while (end > 2 && isWhiteSpace(buffer[end - 1])) --end;
                    error = sendEndTag(processorAgent, locator, pieceOf(2, static_cast<std::ptrdiff_t>(end) - 2));
                } else if (buffer[size - 2] == u'/') {
                    error = sendEmptyElementTag(processorAgent, locator, pieceOf(1, length(buffer) - 3));
                } else {
                    error = sendStartTag(processorAgent, locator, pieceOf(1, length(buffer) - 2));
                }
                pieceDone();
            }
            break;
        }
        case ScanState::pi:
            if (c == u'>' && buffer[buffer.size() - 2] == u'?') {
                std::u16string text =
                    middle(buffer, kPiOpen.size(), length(buffer) - lengthOf(kPiOpen) - lengthOf(kPiClose));
                const std::size_t declarationOpen = kXmlDeclarationOpen.size();
                if (buffer.size() > declarationOpen && isWhiteSpace(buffer[declarationOpen]) &&
                    buffer.starts_with(kXmlDeclarationOpen)) {
                    error = sendXmlDeclaration(processorAgent, locator, text);
                    // An encoding that the declaration names wrongly is found while the source is
                    // made, and told here, where the declaration stands; the source reads on as
                    // its byte-order mark says, or as UTF-8.
                    if (!error && inputSource.encodingProblem() != TEncodingProblem::none)
                        error = createError(processorAgent, locator, inputSource.encodingProblemText(),
                                            EParserUnusable_Encoding_Declaration_Err::kClassName);
                } else {
                    error = sendProcessingInstruction(processorAgent, locator, text);
                }
                pieceDone();
            }
            break;
        case ScanState::comment:
            // "<!-->" is no comment: its closing hyphens would be its opening ones.
            if (c == u'>' && buffer.size() >= kCommentOpen.size() + kCommentClose.size() &&
                buffer.ends_with(kCommentClose)) {
                error = sendComment(processorAgent, locator,
                                    middle(buffer, kCommentOpen.size(),
                                           length(buffer) - lengthOf(kCommentOpen) - lengthOf(kCommentClose)));
                pieceDone();
            }
            break;
        case ScanState::cdata:
            if (c == u'>' && buffer.ends_with(kSectionClose)) {
                error = sendCDATA(
                    processorAgent, locator,
                    middle(buffer, kCDataOpen.size(), length(buffer) - lengthOf(kCDataOpen) - lengthOf(kSectionClose)));
                pieceDone();
            }
            break;
        case ScanState::doctype:
            if (!endMarker.empty()) {
                if (buffer.ends_with(endMarker)) endMarker = u"";
                break;
            }
            trackQuotes(c);
            if (inApostrophes || inQuotationMarks) break;
            if (!inSubset) {
                if (c == u'[') {
                    inSubset = true;
                } else if (c == u'>') {
                    error = sendDoctype(processorAgent, locator, buffer);
                    pieceDone();
                }
                break;
            }
            if (c == u'<') {
                prefix = u"<";
            } else if (c == u'!' && prefix == u"<") {
                prefix = u"<!";
            } else if (c == u'?' && prefix == u"<") {
                prefix = u"";
                endMarker = kPiClose;
            } else if (c == u'-' && prefix == u"<!") {
                prefix = u"<!-";
            } else if (c == u'-' && prefix == u"<!-") {
                prefix = u"";
                endMarker = kCommentClose;
            } else {
                prefix = u"";
                if (c == u']') inSubset = false;
            }
            break;
        case ScanState::reference:
            if (c == u';') {
                if (buffer[1] == u'#')
                    error = sendCharRef(processorAgent, locator, std::u16string(buffer));
                else
                    error = sendEntityRef(processorAgent, locator, buffer);
                pieceDone();
            }
            break;
        }
    }

    if (!error && !buffer.empty()) error = sendText();
    if (!error && NextHandler()) error = NextHandler()->endDocument(processorAgent, locator);
    if (!error) return true;
    dispatchError(processorAgent, error);
    return false;
}
