#include "text/parser_error.h"

#include <initializer_list>
#include <utility>

#include "text/code_page_932.h"
#include "text/encoding_conversion.h"
#include "text/error_messages.h"
#include "text/locator.h"
#include "text/xml_chars.h"

namespace {

std::u16string number(std::int32_t value) {
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

// Replaces "%1" to "%9" in pattern by the arguments; the arguments themselves are not scanned.
std::u16string substitute(std::u16string_view pattern, std::initializer_list<std::u16string_view> args) {
    std::u16string result;
    for (std::size_t k = 0; k < pattern.size(); ++k) {
        if (pattern[k] == u'%' && k + 1 < pattern.size() && pattern[k + 1] >= u'1' && pattern[k + 1] <= u'9') {
            const std::size_t index = pattern[k + 1] - u'1';
            if (index < args.size()) {
                result += *(args.begin() + index);
                ++k;
                continue;
            }
        }
        result += pattern[k];
    }
    return result;
}

// The input a message quotes: its first 80 characters, then "…" when there is more. A character is
// a code point, so a surrogate pair is never split.
std::u16string quoted(std::u16string_view code) {
    constexpr std::size_t kQuotedCharacters = 80;
    std::size_t end = 0;
    for (std::size_t characters = 0; end < code.size() && characters < kQuotedCharacters; ++characters)
        end += isHighSurrogate(code[end]) && end + 1 < code.size() && isLowSurrogate(code[end + 1]) ? 2 : 1;
    std::u16string text(code.substr(0, end));
    if (end < code.size()) text += u'\u2026';
    return text;
}

// Identifiers pass through the system code page, so characters it cannot represent are lost.
std::u16string throughCodePage(std::u16string_view id) { return cp932::decode(cp932::encode(id)); }

} // namespace

TXmlParserError::TXmlParserError(std::string errorClass, std::u16string code, std::u16string publicId,
                                 std::u16string systemId, std::int32_t startLine, std::int32_t startColumn,
                                 std::int32_t endLine, std::int32_t endColumn)
    : errorClass_(std::move(errorClass)), errorType_(parserErrorSeverity(errorClass_)), startLine_(startLine),
      startColumn_(startColumn), endLine_(endLine), endColumn_(endColumn), publicId_(std::move(publicId)),
      systemId_(std::move(systemId)), code_(std::move(code)) {}

std::u16string TXmlParserError::errorMessage(TXmlMessageLanguage language) const {
    const TXmlMessageTable& table = messageTable(language);
    auto widen = [&table](const char* text) { return table.windows1250 ? widenWindows1250(text) : widenLatin1(text); };

    std::u16string line = widen(table.severityWords[static_cast<int>(errorType_)]);

    const std::u16string publicId = throughCodePage(publicId_);
    const std::u16string systemId = throughCodePage(systemId_);
    int document = -1;
    if (!publicId_.empty() && !systemId_.empty())
        document = 0;
    else if (!publicId_.empty())
        document = 1;
    else if (!systemId_.empty())
        document = 2;
    if (document >= 0) line += substitute(widen(table.documentPhrases[document]), {publicId, systemId});

    if (endLine_ != 0) {
        if (startLine_ == endLine_) {
            if (startColumn_ == endColumn_)
                line += substitute(widen(table.positionPatterns[0]), {number(endLine_), number(endColumn_)});
            else
                line += substitute(widen(table.positionPatterns[1]),
                                   {number(endLine_), number(startColumn_), number(endColumn_)});
        } else {
            line += substitute(widen(table.positionPatterns[2]),
                               {number(startLine_), number(startColumn_), number(endLine_), number(endColumn_)});
        }
    }

    const char* message = table.fallback;
    for (std::size_t k = 0; k < kMessageClasses.size(); ++k) {
        if (errorClass_ == kMessageClasses[k]) {
            message = table.messages[k];
            break;
        }
    }
    line += u" -- ";
    line += widen(message);

    if (code_.empty()) {
        line += u'.';
    } else {
        line += u": ";
        line += quoted(code_);
    }
    return line;
}

std::unique_ptr<TXmlParserError> createParserError(const TdomStandardLocator* locator, std::u16string_view code,
                                                   std::string_view errorClass) {
    if (!locator)
        return std::make_unique<TXmlParserError>(std::string(errorClass), std::u16string(code), std::u16string(),
                                                 std::u16string(), 0, 0, 0, 0);
    return std::make_unique<TXmlParserError>(std::string(errorClass), std::u16string(code), locator->publicId(),
                                             locator->systemId(), locator->pieceStartLine(),
                                             locator->pieceStartColumn(), locator->line(), locator->column());
}
