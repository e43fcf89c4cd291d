#pragma once

// Validity of elements and attributes against the content model attached to their document: the
// checks behind TdomElement::validate and checkIdReferences, and TdomAttr's. Every problem is
// reported to the error handler (which may be nullptr) as one error of the class that names it,
// with the offending node as the sender. A handler that raises one of the program's own exceptions
// while reporting does not stop the checks; any other exception it raises (out of memory, a type
// of the caller's) passes on and ends the validation.

#include <string_view>

class TdomAttr;
class TdomCustomErrorHandler;
class TdomElement;
class TdomNode;

namespace domvalidation {

// Reports one problem; the program's own exceptions raised by the handler are swallowed, others
// pass on.
void report(TdomCustomErrorHandler* errorHandler, bool fatal, TdomNode* sender, std::u16string_view code,
            std::string_view errorClass);

// The element itself, not its descendants (nothing to check in a document without content model): its content against
// its element type declaration, its attributes against the attribute-list declarations (declared, value of the declared
// type, #REQUIRED present, #FIXED value). ID values are added to the document's ID list, a value already there is a
// duplicate. In a document declared standalone, the element must not depend on the external subset for the default
// value of an attribute it leaves out, for the normalization of a tokenized attribute value, or for white space in its
// element content to be insignificant (EParserWrong_Standalone_Declaration_Err).
bool checkElement(TdomElement* element, TdomCustomErrorHandler* errorHandler);

// The values of an IDREF or IDREFS attribute against the document's ID list.
bool checkIdReferences(TdomAttr* attribute, TdomCustomErrorHandler* errorHandler);

// False when the reference names a declared entity whose replacement text cannot be built (see
// TdomCMEntityDeclaration::isUnusable); an undeclared name is the reference's own validate's to report.
bool entityReferenceResolvable(TdomNode* reference);

} // namespace domvalidation
