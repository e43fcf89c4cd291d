#pragma once

#include <string_view>

class TdomElement;

// Parses the attribute specifications of a start tag or a declaration (the text after the name,
// e.g. ` a="1" b='x&amp;y'`) into attributes of element, created through its document. A value
// without "&" becomes one text child; a value with references becomes text runs, characters of
// character references and entity-reference children. Raises the parser exception of the first
// problem: EParserMissingWhiteSpace_Err, EParserDoubleEqualitySign_Err,
// EParserMissingQuotationMark_Err, EParserMissingEqualitySign_Err, EParserInvalidAttributeName_Err,
// EParserDoubleAttributeName_Err, EParserInvalidAttributeValue_Err or EParserInvalidCharRef_Err.
// Attributes added before the problem stay on the element.
void parseAttributeSpecs(std::u16string_view text, TdomElement* element);
