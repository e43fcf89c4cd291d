#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "text/parser_exception.h"

class TdomStandardLocator;

// The languages an error record can describe itself in.
enum class TXmlMessageLanguage : unsigned char { de, en, es, fr, it, nl, pl, pt };

// One problem found in a parsing run: the name of the exception class that identifies it (which
// fixes its severity), where it was found and the offending text. Positions are 1-based; an end
// line of 0 means that the position is unknown.
class TXmlParserError {
public:
    TXmlParserError(std::string errorClass, std::u16string code, std::u16string publicId, std::u16string systemId,
                    std::int32_t startLine, std::int32_t startColumn, std::int32_t endLine, std::int32_t endColumn);

    const std::string& errorClass() const { return errorClass_; }
    TXmlErrorType errorType() const { return errorType_; }
    std::int32_t startLine() const { return startLine_; }
    std::int32_t startColumn() const { return startColumn_; }
    std::int32_t endLine() const { return endLine_; }
    std::int32_t endColumn() const { return endColumn_; }
    const std::u16string& publicId() const { return publicId_; }
    const std::u16string& systemId() const { return systemId_; }
    const std::u16string& code() const { return code_; }

    // The record as one line, for example
    // "FATAL ERROR in local document a.xml in line 3, between position 5 and 9 -- Invalid comment: <!-".
    // Of the offending text it quotes the first 80 characters, then "…".
    std::u16string errorMessage(TXmlMessageLanguage language) const;

private:
    std::string errorClass_;
    TXmlErrorType errorType_;
    std::int32_t startLine_;
    std::int32_t startColumn_;
    std::int32_t endLine_;
    std::int32_t endColumn_;
    std::u16string publicId_;
    std::u16string systemId_;
    std::u16string code_;
};

// A new record for the current piece of the locator: it starts where the piece started and ends at
// the last character read, with the locator's identifiers. Without a locator all positions are 0
// and both identifiers empty.
std::unique_ptr<TXmlParserError> createParserError(const TdomStandardLocator* locator, std::u16string_view code,
                                                   std::string_view errorClass);
