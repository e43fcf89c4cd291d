#include "dtd/dtd_reader.h"

#include <utility>

#include "dom/attribute_parsing.h"
#include "dom/document.h"
#include "dom/element.h"
#include "dom/named_node_map.h"
#include "parser/markup_delimiters.h"
#include "text/exception.h"
#include "text/input_source.h"
#include "text/locator.h"
#include "text/parser_error.h"
#include "text/parser_exception.h"
#include "text/text_utils.h"
#include "text/xml_chars.h"

namespace {

constexpr const char* kInvalidCharacterMessage = "Invalid character error.";

// count units of text from first on; empty when count is not positive.
std::u16string middle(std::u16string_view text, std::size_t first, std::ptrdiff_t count) {
    if (count <= 0 || first >= text.size()) return std::u16string();
    return std::u16string(text.substr(first, static_cast<std::size_t>(count)));
}

std::ptrdiff_t length(std::u16string_view text) { return static_cast<std::ptrdiff_t>(text.size()); }

// Tab, line feed, carriage return and space: the white space of attribute definitions.
bool isDefinitionSpace(char16_t unit) { return unit == 0x09 || unit == 0x0A || unit == 0x0D || unit == 0x20; }

// One unit from the input; read and conversion failures of the input count as invalid characters.
bool readUnit(TXmlInputSource& inputSource, char16_t& unit) {
    try {
        return inputSource.readChar(unit);
    } catch (const EConvertError&) {
        throw EParserInvalidCharacter_Err(kInvalidCharacterMessage);
    } catch (const EStreamError&) {
        throw EParserInvalidCharacter_Err(kInvalidCharacterMessage);
    }
}

[[noreturn]] void failAttributeDefinition() {
    throw EParserInvalidAttributeDeclaration_Err("Invalid attribute declaration error.");
}

// splitAttributeDefinition over a view; restStart is the index in text where the rest begins.
void splitDefinition(std::u16string_view text, std::u16string& name, std::u16string& attType, std::u16string& bracket,
                     std::u16string& defaultDecl, std::u16string& attValue, std::size_t& restStart) {
    name.clear();
    attType.clear();
    bracket.clear();
    defaultDecl.clear();
    attValue.clear();
    const std::size_t n = text.size();
    std::size_t i = 0;
    auto skipSpace = [&] {
        while (i < n && isDefinitionSpace(text[i])) ++i;
    };
    auto takeWord = [&] {
        std::size_t start = i;
        while (i < n && !isDefinitionSpace(text[i])) ++i;
        return std::u16string(text.substr(start, i - start));
    };

    skipSpace();
    if (i == n) failAttributeDefinition();
    name = takeWord();
    if (i == n) failAttributeDefinition();
    skipSpace();
    if (i == n) failAttributeDefinition();

    bool enumeration = text[i] == u'(';
    if (!enumeration) {
        attType = takeWord();
        if (i == n) failAttributeDefinition();
        skipSpace();
        if (i == n) failAttributeDefinition();
        if (attType == u"NOTATION") {
            if (text[i] != u'(') failAttributeDefinition();
            enumeration = true;
        }
    }
    if (enumeration) {
        std::size_t close = text.find(u')', i);
        if (close == std::u16string_view::npos) failAttributeDefinition();
        bracket = std::u16string(text.substr(i, close + 1 - i));
        i = close + 1;
        if (i == n || !isDefinitionSpace(text[i])) failAttributeDefinition();
        skipSpace();
        if (i == n) failAttributeDefinition();
    }

    if (text[i] == u'#') {
        defaultDecl = takeWord();
        if (defaultDecl != u"#FIXED") {
            restStart = i;
            return;
        }
        skipSpace();
        if (i == n) failAttributeDefinition();
    }

    const char16_t quote = text[i];
    if (quote != u'"' && quote != u'\'') failAttributeDefinition();
    std::size_t close = text.find(quote, i + 1);
    if (close == std::u16string_view::npos) failAttributeDefinition();
    attValue = std::u16string(text.substr(i + 1, close - i - 1));
    restStart = close + 1;
}

} // namespace

void splitAttributeDefinition(std::u16string_view text, std::u16string& name, std::u16string& attType,
                              std::u16string& bracket, std::u16string& defaultDecl, std::u16string& attValue,
                              std::u16string& rest) {
    std::size_t restStart = 0;
    rest.clear();
    splitDefinition(text, name, attType, bracket, defaultDecl, attValue, restStart);
    rest = std::u16string(text.substr(restStart));
}

TXmlStandardDtdReader::TXmlStandardDtdReader() : budget_(std::make_shared<TXmlExpansionBudget>()) {
    buffer_.reserve(256);
}

TXmlStandardDtdReader::~TXmlStandardDtdReader() = default;

void TXmlStandardDtdReader::setExpansionBudget(std::shared_ptr<TXmlExpansionBudget> budget) {
    sharedBudget_ = budget != nullptr;
    budget_ = std::move(budget);
}

bool TXmlStandardDtdReader::parseExternal(TXmlCustomProcessorAgent* processorAgent, TXmlInputSource& inputSource) {
    return run(processorAgent, inputSource, true);
}

bool TXmlStandardDtdReader::parseInternal(TXmlCustomProcessorAgent* processorAgent, TXmlInputSource& inputSource) {
    return run(processorAgent, inputSource, false);
}

const char* TXmlStandardDtdReader::declarationErrorClass() const {
    switch (state_) {
    case State::entityDeclaration:
        return EParserInvalidEntityDeclaration_Err::kClassName;
    case State::elementDeclaration:
        return EParserInvalidElementDeclaration_Err::kClassName;
    case State::attributeListDeclaration:
        return EParserInvalidAttributeDeclaration_Err::kClassName;
    case State::notationDeclaration:
        return EParserInvalidNotationDeclaration_Err::kClassName;
    case State::conditionalSection:
        return EParserInvalidConditionalSection_Err::kClassName;
    default:
        return EParserUnknownDeclarationType_Err::kClassName;
    }
}

TXmlErrorRecord TXmlStandardDtdReader::expandReference(TXmlCustomProcessorAgent* processorAgent,
                                                       TXmlInputSource& inputSource, bool inLiteral) {
    TdomStandardLocator* locator = inputSource.locator();
    std::u16string name;
    for (;;) {
        char16_t unit;
        if (!readUnit(inputSource, unit))
            return createError(processorAgent, locator, std::u16string(),
                               EParserUnresolvable_Parameter_Entity_Reference_Err::kClassName);
        if (!isCharUnit(unit))
            return createError(processorAgent, locator, std::u16string(), EParserInvalidCharacter_Err::kClassName);
        if (isWhiteSpace(unit)) {
            if (!name.empty())
                return createError(processorAgent, locator, std::u16string(),
                                   EParserUnresolvable_Parameter_Entity_Reference_Err::kClassName);
            // A "%" followed by white space is no reference (the "%" of a parameter-entity
            // declaration): it stays as it is.
            if (!inLiteral) buffer_.push_back(u' ');
            buffer_.push_back(u'%');
            buffer_.push_back(unit);
            if (!inLiteral) buffer_.push_back(u' ');
            return nullptr;
        }
        if (unit == u';') break;
        name.push_back(unit);
    }

    bool found = false;
    std::u16string text;
    TXmlErrorRecord fetchRecord;
    if (!name.empty() && NextHandler()) {
        fetchRecord = NextHandler()->findParameterEntity(processorAgent, locator, found, text, name);
        if (fetchRecord && (!found || fetchRecord->errorType() == TXmlErrorType::fatal)) return fetchRecord;
    }
    if (!found)
        return createError(processorAgent, locator, std::u16string(),
                           EParserUnresolvable_Parameter_Entity_Reference_Err::kClassName);
    if (inLiteral) text = escapeQuotes(text);
    const std::size_t added = text.size() + (inLiteral ? 0 : 2);
    if (buffer_.size() + added > kMaxExpandedTextLength)
        return createError(processorAgent, locator, std::u16string(kExpandedTextLimitReached), declarationErrorClass());
    if (!budget_->charge(added))
        return createError(processorAgent, locator, std::u16string(kExpansionLimitReached), declarationErrorClass());
    if (!inLiteral) buffer_.push_back(u' ');
    buffer_ += text;
    if (!inLiteral) buffer_.push_back(u' ');
    // A record of an entity that was read all the same (its encoding declaration) is told now.
    return fetchRecord;
}

TXmlErrorRecord TXmlStandardDtdReader::dispatchPiece(TXmlCustomProcessorAgent* processorAgent,
                                                     TXmlInputSource& inputSource) {
    TdomStandardLocator* locator = inputSource.locator();
    switch (state_) {
    case State::processingInstruction:
        if (external_ && buffer_.size() > kXmlDeclarationOpen.size() && buffer_.starts_with(kXmlDeclarationOpen) &&
            isWhiteSpace(buffer_[kXmlDeclarationOpen.size()])) {
            if (!locator || locator->pieceStartLine() != 1 || locator->pieceStartColumn() != 1)
                throw EParserInvalidTextDeclaration_Err("Character(s) before text-declaration error.");
            TXmlErrorRecord answer =
                sendTextDeclaration(processorAgent, locator, middle(buffer_, 2, length(buffer_) - 4));
            // An encoding that the declaration names wrongly is found while the source is made;
            // the source reads on as its byte-order mark says, or as UTF-8.
            if (!answer && inputSource.encodingProblem() != TEncodingProblem::none)
                answer = createError(processorAgent, locator, inputSource.encodingProblemText(),
                                     EParserUnusable_Encoding_Declaration_Err::kClassName);
            return answer;
        }
        return sendProcessingInstruction(processorAgent, locator, buffer_);
    case State::comment:
        return sendComment(processorAgent, locator, buffer_);
    case State::parameterEntityReference:
        return sendParameterEntityRef(processorAgent, locator, buffer_);
    case State::entityDeclaration:
        return sendEntityDeclaration(processorAgent, locator, buffer_);
    case State::elementDeclaration:
        return sendElementDeclaration(processorAgent, locator, buffer_);
    case State::attributeListDeclaration:
        return sendAttributeListDeclaration(processorAgent, locator, buffer_);
    case State::notationDeclaration:
        return sendNotationDeclaration(processorAgent, locator, buffer_);
    case State::conditionalSection:
        return sendConditionalSection(processorAgent, locator, buffer_);
    default:
        return nullptr;
    }
}

bool TXmlStandardDtdReader::run(TXmlCustomProcessorAgent* processorAgent, TXmlInputSource& inputSource, bool external) {
    TdomStandardLocator* locator = inputSource.locator();
    external_ = external;
    state_ = State::between;
    buffer_.clear();
    inQuotationMarks_ = inApostrophes_ = false;
    depth_ = 0;
    bracketSeen_ = inComment_ = false;
    if (!sharedBudget_) budget_ = std::make_shared<TXmlExpansionBudget>();

    TXmlErrorRecord error;
    if (NextHandler()) {
        NextHandler()->reset();
        error = external ? NextHandler()->startExtDtd(processorAgent, locator)
                         : NextHandler()->startIntDtd(processorAgent, locator);
    }

    auto trackQuotes = [this](char16_t unit) {
        if (unit == u'"') {
            if (!inApostrophes_) inQuotationMarks_ = !inQuotationMarks_;
        } else if (unit == u'\'') {
            if (!inQuotationMarks_) inApostrophes_ = !inApostrophes_;
        }
    };
    auto outsideQuotes = [this] { return !inQuotationMarks_ && !inApostrophes_; };
    auto enter = [this](State state) {
        state_ = state;
        inQuotationMarks_ = inApostrophes_ = false;
    };

    try {
        // The declarations and other markup a "<" opens, recognised once their keyword is read.
        static constexpr std::pair<std::u16string_view, State> kKeywords[] = {
            {kPiOpen, State::processingInstruction},         {kCommentOpen, State::comment},
            {kEntityOpen, State::entityDeclaration},         {kElementOpen, State::elementDeclaration},
            {kAttlistOpen, State::attributeListDeclaration}, {kNotationOpen, State::notationDeclaration},
        };
        for (;;) {
            // An unusable encoding declaration, of the subset or of an external parameter entity it
            // refers to, is told and the reading goes on.
            if (error && error->errorClass() == EParserUnusable_Encoding_Declaration_Err::kClassName)
                reportAndGoOn(processorAgent, error);
            if (error) break;
            char16_t unit;
            if (!readUnit(inputSource, unit)) break;
            if (!isCharUnit(unit)) throw EParserInvalidCharacter_Err(kInvalidCharacterMessage);

            bool pieceEnds = false;
            switch (state_) {
            case State::between:
                if (unit == u'<' || unit == u'%') {
                    if (locator) locator->startPiece();
                    buffer_.assign(1, unit);
                    enter(unit == u'<' ? State::keyword : State::parameterEntityReference);
                } else if (!isWhiteSpace(unit)) {
                    throw EParserInvalidCharacter_Err(kInvalidCharacterMessage);
                }
                break;
            case State::keyword:
                buffer_.push_back(unit);
                if (external_ && buffer_ == kSectionOpen) {
                    enter(State::conditionalSection);
                    depth_ = 1;
                    bracketSeen_ = inComment_ = false;
                    break;
                }
                for (const auto& [keyword, state] : kKeywords) {
                    if (buffer_ == keyword) {
                        enter(state);
                        break;
                    }
                }
                break;
            case State::processingInstruction:
                buffer_.push_back(unit);
                pieceEnds = unit == u'>' && buffer_[buffer_.size() - 2] == u'?';
                break;
            case State::comment:
                buffer_.push_back(unit);
                // "<!-->" is no comment: its closing hyphens would be its opening ones.
                pieceEnds = unit == u'>' && buffer_.size() >= kCommentOpen.size() + kCommentClose.size() &&
                            buffer_.ends_with(kCommentClose);
                break;
            case State::parameterEntityReference:
                buffer_.push_back(unit);
                pieceEnds = unit == u';';
                break;
            case State::entityDeclaration:
                if (external_ && unit == u'%') {
                    error = expandReference(processorAgent, inputSource, !outsideQuotes());
                    break;
                }
                buffer_.push_back(unit);
                trackQuotes(unit);
                pieceEnds = unit == u'>' && outsideQuotes();
                break;
            case State::elementDeclaration:
                if (external_ && unit == u'%') {
                    error = expandReference(processorAgent, inputSource, false);
                    break;
                }
                buffer_.push_back(unit);
                pieceEnds = unit == u'>';
                break;
            case State::attributeListDeclaration:
                if (external_ && unit == u'%' && outsideQuotes()) {
                    error = expandReference(processorAgent, inputSource, false);
                    break;
                }
                buffer_.push_back(unit);
                trackQuotes(unit);
                pieceEnds = unit == u'>' && (!external_ || outsideQuotes());
                break;
            case State::notationDeclaration:
                if (external_ && unit == u'%' && outsideQuotes()) {
                    error = expandReference(processorAgent, inputSource, false);
                    break;
                }
                buffer_.push_back(unit);
                trackQuotes(unit);
                pieceEnds = unit == u'>' && outsideQuotes();
                break;
            case State::conditionalSection:
                if (!bracketSeen_) {
                    if (unit == u'%' && outsideQuotes()) {
                        error = expandReference(processorAgent, inputSource, false);
                        break;
                    }
                    buffer_.push_back(unit);
                    trackQuotes(unit);
                    if (unit == u'[' && outsideQuotes()) bracketSeen_ = true;
                    break;
                }
                buffer_.push_back(unit);
                if (inComment_) {
                    // A "-->" whose hyphens belong to the comment's own "<!--" does not close it.
                    if (unit == u'>' && buffer_.ends_with(kCommentClose) &&
                        buffer_.size() - kCommentClose.size() >= commentStart_)
                        inComment_ = false;
                } else if (unit == u'[' && buffer_.ends_with(kSectionOpen)) {
                    ++depth_;
                } else if (unit == u'>' && buffer_.ends_with(kSectionClose)) {
                    pieceEnds = --depth_ == 0;
                } else if (unit == u'-' && buffer_.ends_with(kCommentOpen)) {
                    inComment_ = true;
                    commentStart_ = buffer_.size();
                }
                break;
            }

            if (pieceEnds) {
                error = dispatchPiece(processorAgent, inputSource);
                buffer_.clear();
                state_ = State::between;
            }
        }
    } catch (const EParserInvalidCharacter_Err&) {
        if (!error)
            error = createError(processorAgent, locator, std::u16string(), EParserInvalidCharacter_Err::kClassName);
    }

    if (!error && state_ != State::between && !checkWhiteSpace(buffer_))
        error = createError(processorAgent, locator, std::u16string(), EParserUnknownDeclarationType_Err::kClassName);
    buffer_.clear();
    state_ = State::between;
    if (!error && NextHandler())
        error = external ? NextHandler()->endExtDtd(processorAgent, locator)
                         : NextHandler()->endIntDtd(processorAgent, locator);
    if (!error) return true;
    dispatchError(processorAgent, error);
    return false;
}

TXmlErrorRecord TXmlStandardDtdReader::sendProcessingInstruction(TXmlCustomProcessorAgent* processorAgent,
                                                                 TdomStandardLocator* locator,
                                                                 const std::u16string& piece) {
    std::u16string target, data;
    splitTarget(middle(piece, 2, length(piece) - 4), target, data);
    if (!NextHandler()) return nullptr;
    return NextHandler()->dtdProcessingInstruction(processorAgent, locator, std::move(target), std::move(data));
}

TXmlErrorRecord TXmlStandardDtdReader::sendTextDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                           TdomStandardLocator* locator,
                                                           const std::u16string& content) {
    auto invalid = [&] {
        return createError(processorAgent, locator, std::u16string(), EParserInvalidTextDeclaration_Err::kClassName);
    };
    std::u16string target, rest;
    splitTarget(content, target, rest);
    if (target != u"xml") return invalid();
    // The pseudo-attributes, read by the attribute grammar into a scratch element; its exceptions
    // leave the run.
    TdomDocument scratch;
    TdomElement* element = scratch.createElement(u"dummy");
    parseAttributeSpecs(rest, element);
    TdomNamedNodeMap* attributes = element->attributes();
    const int count = attributes->length();
    std::u16string version, encoding;
    if (count == 2 && attributes->item(0)->nodeName() == u"version" && attributes->item(1)->nodeName() == u"encoding") {
        version = attributes->item(0)->nodeValue();
        encoding = attributes->item(1)->nodeValue();
    } else if (count == 1 && attributes->item(0)->nodeName() == u"encoding") {
        encoding = attributes->item(0)->nodeValue();
    } else {
        return invalid();
    }
    if (!NextHandler()) return nullptr;
    return NextHandler()->textDeclaration(processorAgent, locator, std::move(version), std::move(encoding));
}

TXmlErrorRecord TXmlStandardDtdReader::sendComment(TXmlCustomProcessorAgent* processorAgent,
                                                   TdomStandardLocator* locator, const std::u16string& piece) {
    if (!NextHandler()) return nullptr;
    return NextHandler()->dtdComment(processorAgent, locator, middle(piece, 4, length(piece) - 7));
}

TXmlErrorRecord TXmlStandardDtdReader::sendParameterEntityRef(TXmlCustomProcessorAgent* processorAgent,
                                                              TdomStandardLocator* locator,
                                                              const std::u16string& piece) {
    if (!NextHandler()) return nullptr;
    return NextHandler()->parameterEntityRef(processorAgent, locator, middle(piece, 1, length(piece) - 2));
}

TXmlErrorRecord TXmlStandardDtdReader::sendEntityDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                             TdomStandardLocator* locator,
                                                             const std::u16string& piece) {
    auto invalid = [&] {
        return createError(processorAgent, locator, std::u16string(), EParserInvalidEntityDeclaration_Err::kClassName);
    };
    if (piece.size() < 14 || !piece.starts_with(kEntityOpen) || piece.back() != u'>' ||
        !isWhiteSpace(piece[kEntityOpen.size()]))
        return invalid();
    std::u16string body = trimWhiteSpace(middle(piece, 9, length(piece) - 10));
    bool parameterEntity = false;
    if (!body.empty() && body[0] == u'%') {
        if (body.size() < 2 || !isWhiteSpace(body[1])) return invalid();
        body = trimWhiteSpace(std::u16string_view(body).substr(1));
        parameterEntity = true;
    }
    std::u16string name, definition;
    splitTarget(body, name, definition);
    std::u16string value, systemId, publicId, notation;
    bool failed = false;
    parseEntityDefinition(definition, value, systemId, publicId, notation, failed);
    if (failed || (parameterEntity && !notation.empty())) return invalid();
    if (!NextHandler()) return nullptr;
    if (parameterEntity)
        return NextHandler()->parameterEntityDeclaration(processorAgent, locator, std::move(name), std::move(value),
                                                         std::move(publicId), std::move(systemId));
    return NextHandler()->entityDeclaration(processorAgent, locator, std::move(name), std::move(value),
                                            std::move(publicId), std::move(systemId), std::move(notation));
}

TXmlErrorRecord TXmlStandardDtdReader::sendElementDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                              TdomStandardLocator* locator,
                                                              const std::u16string& piece) {
    if (piece.size() <= 15 || !piece.starts_with(kElementOpen) || piece.back() != u'>' ||
        !isWhiteSpace(piece[kElementOpen.size()]))
        return createError(processorAgent, locator, std::u16string(), EParserInvalidElementDeclaration_Err::kClassName);
    std::u16string name, contentSpec;
    splitTarget(trimWhiteSpace(middle(piece, 10, length(piece) - 11)), name, contentSpec);
    if (!NextHandler()) return nullptr;
    return NextHandler()->elementTypeDeclaration(processorAgent, locator, std::move(name), std::move(contentSpec));
}

TXmlErrorRecord TXmlStandardDtdReader::sendAttributeListDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                                    TdomStandardLocator* locator,
                                                                    const std::u16string& piece) {
    if (piece.size() <= 11 || !piece.starts_with(kAttlistOpen) || piece.back() != u'>' ||
        !isWhiteSpace(piece[kAttlistOpen.size()]))
        return createError(processorAgent, locator, std::u16string(),
                           EParserInvalidAttributeDeclaration_Err::kClassName);
    std::u16string elementName, definitions;
    splitTarget(trimWhiteSpace(middle(piece, 10, length(piece) - 11)), elementName, definitions);
    if (!NextHandler()) return nullptr;
    TXmlErrorRecord answer = NextHandler()->startAttListDeclaration(processorAgent, locator, std::move(elementName));
    if (answer) return answer;
    // Definitions are split off the front of a view, so that a long list is taken apart in
    // linear time.
    std::u16string_view remaining(definitions);
    while (!remaining.empty()) {
        std::u16string name, attType, bracket, defaultDecl, attValue;
        std::size_t restStart = 0;
        splitDefinition(remaining, name, attType, bracket, defaultDecl, attValue, restStart);
        remaining.remove_prefix(restStart);
        if (!NextHandler()) return nullptr;
        answer = NextHandler()->attributeDefinition(processorAgent, locator, std::move(name), std::move(attType),
                                                    std::move(bracket), std::move(defaultDecl), std::move(attValue));
        if (answer) return answer;
    }
    if (!NextHandler()) return nullptr;
    return NextHandler()->endAttListDeclaration(processorAgent, locator);
}

TXmlErrorRecord TXmlStandardDtdReader::sendNotationDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                               TdomStandardLocator* locator,
                                                               const std::u16string& piece) {
    auto invalid = [&] {
        return createError(processorAgent, locator, std::u16string(),
                           EParserInvalidNotationDeclaration_Err::kClassName);
    };
    if (piece.size() <= 21 || !piece.starts_with(kNotationOpen) || piece.back() != u'>' ||
        !isWhiteSpace(piece[kNotationOpen.size()]))
        return invalid();
    std::u16string name, externalId;
    splitTarget(trimWhiteSpace(middle(piece, 11, length(piece) - 12)), name, externalId);
    std::u16string systemId, publicId;
    bool failed = false;
    parseNotationExternalId(externalId, systemId, publicId, failed);
    if (failed) return invalid();
    if (!NextHandler()) return nullptr;
    return NextHandler()->notationDeclaration(processorAgent, locator, std::move(name), std::move(publicId),
                                              std::move(systemId));
}

TXmlErrorRecord TXmlStandardDtdReader::sendConditionalSection(TXmlCustomProcessorAgent* processorAgent,
                                                              TdomStandardLocator* locator, std::u16string& piece) {
    auto invalid = [&] {
        return createError(processorAgent, locator, std::u16string(), EParserInvalidConditionalSection_Err::kClassName);
    };
    if (!piece.starts_with(kSectionOpen) || !piece.ends_with(kSectionClose)) return invalid();
    const std::size_t bracket = piece.find(u'[', 3);
    if (bracket == std::u16string::npos || bracket + 1 > piece.size() - 3) return invalid();
    std::u16string keyword = trimWhiteSpace(std::u16string_view(piece).substr(3, bracket - 3));
    if (keyword != u"INCLUDE" && keyword != u"IGNORE" && !checkPEReference(keyword)) return invalid();
    if (!NextHandler()) return nullptr;
    // The content is cut out of the piece in place: a section may hold most of the subset, and
    // each nested section is read again one level deeper.
    const std::u16string_view inner = std::u16string_view(piece).substr(bracket + 1, piece.size() - 3 - (bracket + 1));
    const std::u16string_view trimmed = trimmedView(inner);
    const std::size_t start = static_cast<std::size_t>(trimmed.data() - piece.data());
    std::u16string content = std::move(piece);
    content.resize(start + trimmed.size());
    content.erase(0, start);
    return NextHandler()->conditionalSection(processorAgent, locator, std::move(keyword), std::move(content));
}
