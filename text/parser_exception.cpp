#include "text/parser_exception.h"

#include <array>

namespace {

struct ParserErrorClass {
    std::string_view name;
    std::string_view base;
    void (*raise)(std::string message); // never returns
};

template <class E> void raiseAs(std::string message) { throw E(std::move(message)); }

// One row per class, kept on one line each for reading down the columns.
// clang-format off
constexpr std::array kParserErrorClasses = {
    ParserErrorClass{"EParserException", "Exception", raiseAs<EParserException>},
    ParserErrorClass{"EParserFatalError", "EParserException", raiseAs<EParserFatalError>},
    ParserErrorClass{"EParserError", "EParserException", raiseAs<EParserError>},
    ParserErrorClass{"EParserWarning", "EParserException", raiseAs<EParserWarning>},
    ParserErrorClass{"EInternalParserException", "EParserException", raiseAs<EInternalParserException>},
    ParserErrorClass{"EParserNamespaceFatalError", "EParserFatalError", raiseAs<EParserNamespaceFatalError>},
    ParserErrorClass{"EParserMissingWhiteSpace_Err", "EParserFatalError", raiseAs<EParserMissingWhiteSpace_Err>},
    ParserErrorClass{"EParserMissingQuotationMark_Err", "EParserFatalError", raiseAs<EParserMissingQuotationMark_Err>},
    ParserErrorClass{"EParserMissingEqualitySign_Err", "EParserFatalError", raiseAs<EParserMissingEqualitySign_Err>},
    ParserErrorClass{"EParserDoubleEqualitySign_Err", "EParserFatalError", raiseAs<EParserDoubleEqualitySign_Err>},
    ParserErrorClass{"EParserInvalidElementName_Err", "EParserFatalError", raiseAs<EParserInvalidElementName_Err>},
    ParserErrorClass{"EParserInvalidAttributeName_Err", "EParserFatalError", raiseAs<EParserInvalidAttributeName_Err>},
    ParserErrorClass{"EParserInvalidAttributeValue_Err", "EParserFatalError", raiseAs<EParserInvalidAttributeValue_Err>},
    ParserErrorClass{"EParserDoubleAttributeName_Err", "EParserFatalError", raiseAs<EParserDoubleAttributeName_Err>},
    ParserErrorClass{"EParserInvalidEntityName_Err", "EParserFatalError", raiseAs<EParserInvalidEntityName_Err>},
    ParserErrorClass{"EParserInvalidProcessingInstruction_Err", "EParserFatalError", raiseAs<EParserInvalidProcessingInstruction_Err>},
    ParserErrorClass{"EParserInvalidXmlDeclaration_Err", "EParserFatalError", raiseAs<EParserInvalidXmlDeclaration_Err>},
    ParserErrorClass{"EParserInvalidCharRef_Err", "EParserFatalError", raiseAs<EParserInvalidCharRef_Err>},
    ParserErrorClass{"EParserMissingStartTag_Err", "EParserFatalError", raiseAs<EParserMissingStartTag_Err>},
    ParserErrorClass{"EParserMissingEndTag_Err", "EParserFatalError", raiseAs<EParserMissingEndTag_Err>},
    ParserErrorClass{"EParserInvalidCharacter_Err", "EParserFatalError", raiseAs<EParserInvalidCharacter_Err>},
    ParserErrorClass{"EParserNotInRoot_Err", "EParserFatalError", raiseAs<EParserNotInRoot_Err>},
    ParserErrorClass{"EParserDoubleRootElement_Err", "EParserFatalError", raiseAs<EParserDoubleRootElement_Err>},
    ParserErrorClass{"EParserRootNotFound_Err", "EParserFatalError", raiseAs<EParserRootNotFound_Err>},
    ParserErrorClass{"EParserWrongOrder_Err", "EParserFatalError", raiseAs<EParserWrongOrder_Err>},
    ParserErrorClass{"EParserInvalidDoctype_Err", "EParserFatalError", raiseAs<EParserInvalidDoctype_Err>},
    ParserErrorClass{"EParserInvalidTextDeclaration_Err", "EParserFatalError", raiseAs<EParserInvalidTextDeclaration_Err>},
    ParserErrorClass{"EParserLtInAttributeValue_Err", "EParserFatalError", raiseAs<EParserLtInAttributeValue_Err>},
    ParserErrorClass{"EParserAttributeValueRefersToExternalEntity_Err", "EParserFatalError", raiseAs<EParserAttributeValueRefersToExternalEntity_Err>},
    ParserErrorClass{"EParserReferenceToUnparsedEntity_Err", "EParserFatalError", raiseAs<EParserReferenceToUnparsedEntity_Err>},
    ParserErrorClass{"EParserNoProperMarkupReferenced_Err", "EParserFatalError", raiseAs<EParserNoProperMarkupReferenced_Err>},
    ParserErrorClass{"EParserInvalidComment_Err", "EParserFatalError", raiseAs<EParserInvalidComment_Err>},
    ParserErrorClass{"EParserInvalidCDATASection_Err", "EParserFatalError", raiseAs<EParserInvalidCDATASection_Err>},
    ParserErrorClass{"EParserInvalidQualifiedName_Err", "EParserNamespaceFatalError", raiseAs<EParserInvalidQualifiedName_Err>},
    ParserErrorClass{"EParserInvalidPrefix_Err", "EParserNamespaceFatalError", raiseAs<EParserInvalidPrefix_Err>},
    ParserErrorClass{"EParserInvalidNamespaceURI_Err", "EParserNamespaceFatalError", raiseAs<EParserInvalidNamespaceURI_Err>},
    ParserErrorClass{"EParserNamespaceURINotFound_Err", "EParserNamespaceFatalError", raiseAs<EParserNamespaceURINotFound_Err>},
    ParserErrorClass{"EParserWrongPrefixMappingNesting_Err", "EParserNamespaceFatalError", raiseAs<EParserWrongPrefixMappingNesting_Err>},
    ParserErrorClass{"EParserDoubleDoctype_Err", "EParserInvalidDoctype_Err", raiseAs<EParserDoubleDoctype_Err>},
    ParserErrorClass{"EParserUnknownDeclarationType_Err", "EParserInvalidDoctype_Err", raiseAs<EParserUnknownDeclarationType_Err>},
    ParserErrorClass{"EParserInvalidEntityDeclaration_Err", "EParserInvalidDoctype_Err", raiseAs<EParserInvalidEntityDeclaration_Err>},
    ParserErrorClass{"EParserInvalidElementDeclaration_Err", "EParserInvalidDoctype_Err", raiseAs<EParserInvalidElementDeclaration_Err>},
    ParserErrorClass{"EParserInvalidAttributeDeclaration_Err", "EParserInvalidDoctype_Err", raiseAs<EParserInvalidAttributeDeclaration_Err>},
    ParserErrorClass{"EParserInvalidNotationDeclaration_Err", "EParserInvalidDoctype_Err", raiseAs<EParserInvalidNotationDeclaration_Err>},
    ParserErrorClass{"EParserInvalidConditionalSection_Err", "EParserInvalidDoctype_Err", raiseAs<EParserInvalidConditionalSection_Err>},
    ParserErrorClass{"EParserMissing_Entity_Declaration_Err", "EParserError", raiseAs<EParserMissing_Entity_Declaration_Err>},
    ParserErrorClass{"EParserDouble_Element_Type_Declaration_Err", "EParserError", raiseAs<EParserDouble_Element_Type_Declaration_Err>},
    ParserErrorClass{"EParserDuplicate_Name_In_Mixed_Content_Err", "EParserError", raiseAs<EParserDuplicate_Name_In_Mixed_Content_Err>},
    ParserErrorClass{"EParserDuplicate_ID_On_Element_Type_Err", "EParserError", raiseAs<EParserDuplicate_ID_On_Element_Type_Err>},
    ParserErrorClass{"EParserUndeclared_Notation_Name_Err", "EParserError", raiseAs<EParserUndeclared_Notation_Name_Err>},
    ParserErrorClass{"EParserDuplicate_Notation_On_Element_Type_Err", "EParserError", raiseAs<EParserDuplicate_Notation_On_Element_Type_Err>},
    ParserErrorClass{"EParserDuplicate_Notation_Token_Err", "EParserError", raiseAs<EParserDuplicate_Notation_Token_Err>},
    ParserErrorClass{"EParserNotation_On_Empty_Element_Err", "EParserError", raiseAs<EParserNotation_On_Empty_Element_Err>},
    ParserErrorClass{"EParserDuplicate_Enumeration_Token_Err", "EParserError", raiseAs<EParserDuplicate_Enumeration_Token_Err>},
    ParserErrorClass{"EParserAttribute_Type_Mismatch_Err", "EParserError", raiseAs<EParserAttribute_Type_Mismatch_Err>},
    ParserErrorClass{"EParserDuplicate_Tokens_Err", "EParserError", raiseAs<EParserDuplicate_Tokens_Err>},
    ParserErrorClass{"EParserId_Neither_Implied_Nor_Required_Err", "EParserError", raiseAs<EParserId_Neither_Implied_Nor_Required_Err>},
    ParserErrorClass{"EParserWrong_Root_Element_Type_Err", "EParserError", raiseAs<EParserWrong_Root_Element_Type_Err>},
    ParserErrorClass{"EParserElement_Type_Declaration_Not_Found_Err", "EParserError", raiseAs<EParserElement_Type_Declaration_Not_Found_Err>},
    ParserErrorClass{"EParserElement_Declared_Empty_Has_Content_Err", "EParserError", raiseAs<EParserElement_Declared_Empty_Has_Content_Err>},
    ParserErrorClass{"EParserElement_With_Illegal_Mixed_Content_Err", "EParserError", raiseAs<EParserElement_With_Illegal_Mixed_Content_Err>},
    ParserErrorClass{"EParserElement_With_Illegal_Element_Content_Err", "EParserError", raiseAs<EParserElement_With_Illegal_Element_Content_Err>},
    ParserErrorClass{"EParserNondeterministic_Element_Content_Model_Err", "EParserError", raiseAs<EParserNondeterministic_Element_Content_Model_Err>},
    ParserErrorClass{"EParserDuplicate_Notation_Decl_Err", "EParserError", raiseAs<EParserDuplicate_Notation_Decl_Err>},
    ParserErrorClass{"EParserAttribute_Definition_Not_Found_Err", "EParserError", raiseAs<EParserAttribute_Definition_Not_Found_Err>},
    ParserErrorClass{"EParserRequired_Attribute_Not_Found_Err", "EParserError", raiseAs<EParserRequired_Attribute_Not_Found_Err>},
    ParserErrorClass{"EParserFixed_Attribute_Mismatch_Err", "EParserError", raiseAs<EParserFixed_Attribute_Mismatch_Err>},
    ParserErrorClass{"EParserAttribute_Default_Type_Mismatch_Err", "EParserError", raiseAs<EParserAttribute_Default_Type_Mismatch_Err>},
    ParserErrorClass{"EParserDuplicate_ID_Value_Err", "EParserError", raiseAs<EParserDuplicate_ID_Value_Err>},
    ParserErrorClass{"EParserTarget_ID_Value_Not_Found_Err", "EParserError", raiseAs<EParserTarget_ID_Value_Not_Found_Err>},
    ParserErrorClass{"EParserTarget_Unparsed_Entity_Not_Found_Err", "EParserError", raiseAs<EParserTarget_Unparsed_Entity_Not_Found_Err>},
    ParserErrorClass{"EParserWrong_Declaration_Of_Predefined_Entity_Err", "EParserError", raiseAs<EParserWrong_Declaration_Of_Predefined_Entity_Err>},
    ParserErrorClass{"EParserUnresolvable_Entity_Reference_Err", "EParserError", raiseAs<EParserUnresolvable_Entity_Reference_Err>},
    ParserErrorClass{"EParserUnresolvable_Parameter_Entity_Reference_Err", "EParserError", raiseAs<EParserUnresolvable_Parameter_Entity_Reference_Err>},
    ParserErrorClass{"EParserExternal_Entity_Not_Found_Err", "EParserError", raiseAs<EParserExternal_Entity_Not_Found_Err>},
    ParserErrorClass{"EParserUnusable_Encoding_Declaration_Err", "EParserError", raiseAs<EParserUnusable_Encoding_Declaration_Err>},
    ParserErrorClass{"EParserWrong_Standalone_Declaration_Err", "EParserError", raiseAs<EParserWrong_Standalone_Declaration_Err>},
    ParserErrorClass{"EParserUndecodable_Bytes_Err", "EParserError", raiseAs<EParserUndecodable_Bytes_Err>},
    ParserErrorClass{"EParserDouble_AttDef_Warning", "EParserWarning", raiseAs<EParserDouble_AttDef_Warning>},
    ParserErrorClass{"EParserDouble_Entity_Decl_Warning", "EParserWarning", raiseAs<EParserDouble_Entity_Decl_Warning>},
    ParserErrorClass{"EParserDouble_Parameter_Entity_Decl_Warning", "EParserWarning", raiseAs<EParserDouble_Parameter_Entity_Decl_Warning>},
    ParserErrorClass{"EParserUnusable_Entity_Decl_Warning", "EParserWarning", raiseAs<EParserUnusable_Entity_Decl_Warning>},
};
// clang-format on

const ParserErrorClass* findClass(std::string_view name) {
    for (const ParserErrorClass& entry : kParserErrorClasses)
        if (entry.name == name) return &entry;
    return nullptr;
}

} // namespace

bool isParserErrorClass(std::string_view errorClass) { return findClass(errorClass) != nullptr; }

bool parserErrorClassInherits(std::string_view errorClass, std::string_view ancestor) {
    for (const ParserErrorClass* entry = findClass(errorClass); entry != nullptr; entry = findClass(entry->base))
        if (entry->name == ancestor) return true;
    return false;
}

TXmlErrorType parserErrorSeverity(std::string_view errorClass) {
    if (parserErrorClassInherits(errorClass, "EParserWarning")) return TXmlErrorType::warning;
    if (parserErrorClassInherits(errorClass, "EParserError")) return TXmlErrorType::error;
    return TXmlErrorType::fatal;
}

void raiseParserException(std::string_view errorClass, std::string message) {
    if (const ParserErrorClass* entry = findClass(errorClass)) entry->raise(std::move(message));
    throw EParserException(std::move(message));
}
