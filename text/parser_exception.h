#pragma once

#include <string>
#include <string_view>

#include "text/exception.h"

// The exception tree of the parser. Parsing problems travel as error records named after these
// classes (see TXmlParserError); the classes are raised where the parser is misused or where a
// record is turned into an exception. Severity follows the ancestry: under EParserFatalError fatal,
// under EParserError error, under EParserWarning warning; every other class counts as fatal.

enum class TXmlErrorType : unsigned char { fatal = 0, error = 1, warning = 2 };

#define POINTMARK_PARSER_EXCEPTION(Name, Base)                                                                         \
    class Name : public Base {                                                                                         \
    public:                                                                                                            \
        static constexpr const char* kClassName = #Name;                                                               \
        using Base::Base;                                                                                              \
    };

POINTMARK_PARSER_EXCEPTION(EParserException, Exception)
POINTMARK_PARSER_EXCEPTION(EParserFatalError, EParserException)
POINTMARK_PARSER_EXCEPTION(EParserError, EParserException)
POINTMARK_PARSER_EXCEPTION(EParserWarning, EParserException)
POINTMARK_PARSER_EXCEPTION(EInternalParserException, EParserException)
POINTMARK_PARSER_EXCEPTION(EParserNamespaceFatalError, EParserFatalError)
POINTMARK_PARSER_EXCEPTION(EParserMissingWhiteSpace_Err, EParserFatalError)
POINTMARK_PARSER_EXCEPTION(EParserMissingQuotationMark_Err, EParserFatalError)
POINTMARK_PARSER_EXCEPTION(EParserMissingEqualitySign_Err, EParserFatalError)
POINTMARK_PARSER_EXCEPTION(EParserDoubleEqualitySign_Err, EParserFatalError)
POINTMARK_PARSER_EXCEPTION(EParserInvalidElementName_Err, EParserFatalError)
POINTMARK_PARSER_EXCEPTION(EParserInvalidAttributeName_Err, EParserFatalError)
POINTMARK_PARSER_EXCEPTION(EParserInvalidAttributeValue_Err, EParserFatalError)
POINTMARK_PARSER_EXCEPTION(EParserDoubleAttributeName_Err, EParserFatalError)
POINTMARK_PARSER_EXCEPTION(EParserInvalidEntityName_Err, EParserFatalError)
POINTMARK_PARSER_EXCEPTION(EParserInvalidProcessingInstruction_Err, EParserFatalError)
POINTMARK_PARSER_EXCEPTION(EParserInvalidXmlDeclaration_Err, EParserFatalError)
POINTMARK_PARSER_EXCEPTION(EParserInvalidCharRef_Err, EParserFatalError)
POINTMARK_PARSER_EXCEPTION(EParserMissingStartTag_Err, EParserFatalError)
POINTMARK_PARSER_EXCEPTION(EParserMissingEndTag_Err, EParserFatalError)
POINTMARK_PARSER_EXCEPTION(EParserInvalidCharacter_Err, EParserFatalError)
POINTMARK_PARSER_EXCEPTION(EParserNotInRoot_Err, EParserFatalError)
POINTMARK_PARSER_EXCEPTION(EParserDoubleRootElement_Err, EParserFatalError)
POINTMARK_PARSER_EXCEPTION(EParserRootNotFound_Err, EParserFatalError)
POINTMARK_PARSER_EXCEPTION(EParserWrongOrder_Err, EParserFatalError)
POINTMARK_PARSER_EXCEPTION(EParserInvalidDoctype_Err, EParserFatalError)
POINTMARK_PARSER_EXCEPTION(EParserInvalidTextDeclaration_Err, EParserFatalError)
POINTMARK_PARSER_EXCEPTION(EParserLtInAttributeValue_Err, EParserFatalError)
POINTMARK_PARSER_EXCEPTION(EParserAttributeValueRefersToExternalEntity_Err, EParserFatalError)
POINTMARK_PARSER_EXCEPTION(EParserReferenceToUnparsedEntity_Err, EParserFatalError)
POINTMARK_PARSER_EXCEPTION(EParserNoProperMarkupReferenced_Err, EParserFatalError)
POINTMARK_PARSER_EXCEPTION(EParserInvalidComment_Err, EParserFatalError)
POINTMARK_PARSER_EXCEPTION(EParserInvalidCDATASection_Err, EParserFatalError)
POINTMARK_PARSER_EXCEPTION(EParserInvalidQualifiedName_Err, EParserNamespaceFatalError)
POINTMARK_PARSER_EXCEPTION(EParserInvalidPrefix_Err, EParserNamespaceFatalError)
POINTMARK_PARSER_EXCEPTION(EParserInvalidNamespaceURI_Err, EParserNamespaceFatalError)
POINTMARK_PARSER_EXCEPTION(EParserNamespaceURINotFound_Err, EParserNamespaceFatalError)
POINTMARK_PARSER_EXCEPTION(EParserWrongPrefixMappingNesting_Err, EParserNamespaceFatalError)
POINTMARK_PARSER_EXCEPTION(EParserDoubleDoctype_Err, EParserInvalidDoctype_Err)
POINTMARK_PARSER_EXCEPTION(EParserUnknownDeclarationType_Err, EParserInvalidDoctype_Err)
POINTMARK_PARSER_EXCEPTION(EParserInvalidEntityDeclaration_Err, EParserInvalidDoctype_Err)
POINTMARK_PARSER_EXCEPTION(EParserInvalidElementDeclaration_Err, EParserInvalidDoctype_Err)
POINTMARK_PARSER_EXCEPTION(EParserInvalidAttributeDeclaration_Err, EParserInvalidDoctype_Err)
POINTMARK_PARSER_EXCEPTION(EParserInvalidNotationDeclaration_Err, EParserInvalidDoctype_Err)
POINTMARK_PARSER_EXCEPTION(EParserInvalidConditionalSection_Err, EParserInvalidDoctype_Err)
POINTMARK_PARSER_EXCEPTION(EParserMissing_Entity_Declaration_Err, EParserError)
POINTMARK_PARSER_EXCEPTION(EParserDouble_Element_Type_Declaration_Err, EParserError)
POINTMARK_PARSER_EXCEPTION(EParserDuplicate_Name_In_Mixed_Content_Err, EParserError)
POINTMARK_PARSER_EXCEPTION(EParserDuplicate_ID_On_Element_Type_Err, EParserError)
POINTMARK_PARSER_EXCEPTION(EParserUndeclared_Notation_Name_Err, EParserError)
POINTMARK_PARSER_EXCEPTION(EParserDuplicate_Notation_On_Element_Type_Err, EParserError)
POINTMARK_PARSER_EXCEPTION(EParserDuplicate_Notation_Token_Err, EParserError)
POINTMARK_PARSER_EXCEPTION(EParserNotation_On_Empty_Element_Err, EParserError)
POINTMARK_PARSER_EXCEPTION(EParserDuplicate_Enumeration_Token_Err, EParserError)
POINTMARK_PARSER_EXCEPTION(EParserAttribute_Type_Mismatch_Err, EParserError)
POINTMARK_PARSER_EXCEPTION(EParserDuplicate_Tokens_Err, EParserError)
POINTMARK_PARSER_EXCEPTION(EParserId_Neither_Implied_Nor_Required_Err, EParserError)
POINTMARK_PARSER_EXCEPTION(EParserWrong_Root_Element_Type_Err, EParserError)
POINTMARK_PARSER_EXCEPTION(EParserElement_Type_Declaration_Not_Found_Err, EParserError)
POINTMARK_PARSER_EXCEPTION(EParserElement_Declared_Empty_Has_Content_Err, EParserError)
POINTMARK_PARSER_EXCEPTION(EParserElement_With_Illegal_Mixed_Content_Err, EParserError)
POINTMARK_PARSER_EXCEPTION(EParserElement_With_Illegal_Element_Content_Err, EParserError)
POINTMARK_PARSER_EXCEPTION(EParserNondeterministic_Element_Content_Model_Err, EParserError)
POINTMARK_PARSER_EXCEPTION(EParserDuplicate_Notation_Decl_Err, EParserError)
POINTMARK_PARSER_EXCEPTION(EParserAttribute_Definition_Not_Found_Err, EParserError)
POINTMARK_PARSER_EXCEPTION(EParserRequired_Attribute_Not_Found_Err, EParserError)
POINTMARK_PARSER_EXCEPTION(EParserFixed_Attribute_Mismatch_Err, EParserError)
POINTMARK_PARSER_EXCEPTION(EParserAttribute_Default_Type_Mismatch_Err, EParserError)
POINTMARK_PARSER_EXCEPTION(EParserDuplicate_ID_Value_Err, EParserError)
POINTMARK_PARSER_EXCEPTION(EParserTarget_ID_Value_Not_Found_Err, EParserError)
POINTMARK_PARSER_EXCEPTION(EParserTarget_Unparsed_Entity_Not_Found_Err, EParserError)
POINTMARK_PARSER_EXCEPTION(EParserWrong_Declaration_Of_Predefined_Entity_Err, EParserError)
POINTMARK_PARSER_EXCEPTION(EParserUnresolvable_Entity_Reference_Err, EParserError)
POINTMARK_PARSER_EXCEPTION(EParserUnresolvable_Parameter_Entity_Reference_Err, EParserError)
POINTMARK_PARSER_EXCEPTION(EParserExternal_Entity_Not_Found_Err, EParserError)
POINTMARK_PARSER_EXCEPTION(EParserUnusable_Encoding_Declaration_Err, EParserError)
POINTMARK_PARSER_EXCEPTION(EParserWrong_Standalone_Declaration_Err, EParserError)
POINTMARK_PARSER_EXCEPTION(EParserUndecodable_Bytes_Err, EParserError)
POINTMARK_PARSER_EXCEPTION(EParserDouble_AttDef_Warning, EParserWarning)
POINTMARK_PARSER_EXCEPTION(EParserDouble_Entity_Decl_Warning, EParserWarning)
POINTMARK_PARSER_EXCEPTION(EParserDouble_Parameter_Entity_Decl_Warning, EParserWarning)
POINTMARK_PARSER_EXCEPTION(EParserUnusable_Entity_Decl_Warning, EParserWarning)

#undef POINTMARK_PARSER_EXCEPTION

// The severity of the class of that name (exact comparison); an unknown name counts as fatal.
TXmlErrorType parserErrorSeverity(std::string_view errorClass);
// True when errorClass names a class of the tree above.
bool isParserErrorClass(std::string_view errorClass);
// True when errorClass is ancestor itself or one of its descendants.
bool parserErrorClassInherits(std::string_view errorClass, std::string_view ancestor);
// Raises the exception of the class of that name with the message; an unknown name raises
// EParserException.
[[noreturn]] void raiseParserException(std::string_view errorClass, std::string message);
