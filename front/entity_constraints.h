#pragma once

// The well-formedness constraints on entity references that a parse leaves to the document, checked
// on a document the parser front built without fatal error:
// - Entity Declared: a reference to an undeclared entity (other than the five predefined ones) in
//   a document without DTD, with an internal subset only and no parameter-entity references in
//   it, or declared standalone (EParserMissing_Entity_Declaration_Err); in such a document a
//   default value of an attribute list may refer only to an entity declared before it, and in a
//   document declared standalone the document (not its external subset) may refer only to
//   entities that its internal subset declares;
// - Parsed Entity: a reference to an unparsed entity in content
//   (EParserReferenceToUnparsedEntity_Err);
// - No Recursion, and well-formed replacement text: every reference in content to an internal
//   entity is filled with its replacement text (fillByParsing); an entity that refers to itself,
//   or whose replacement text does not parse as content, gives
//   EParserNoProperMarkupReferenced_Err;
// - in attribute values and in the default values of attribute lists, references to external
//   entities (EParserAttributeValueRefersToExternalEntity_Err) and replacement texts holding '<'
//   (EParserLtInAttributeValue_Err).
// - an external parsed entity referred to in content is read through the opener given: its text
//   declaration, if it has one, must stand at its very start, name an encoding and no standalone
//   status, and give version 1.0 if any (EParserInvalidTextDeclaration_Err); its text must parse
//   as content, without referring to itself (EParserNoProperMarkupReferenced_Err); an entity that
//   cannot be opened gives EParserExternal_Entity_Not_Found_Err and an unusable encoding
//   declaration EParserUnusable_Encoding_Declaration_Err. Without an opener such entities are
//   not read.
// Each problem is reported once per reference to the error handler's fatalError or error, with
// the reference (in content), the element carrying the attribute, or the document (for a default
// value) as the sender; a reference
// inside a replacement text is reported with the outermost reference. The references in content
// stay filled, so that a validation afterwards sees the elements their entities hold.

#include <functional>
#include <memory>
#include <string>

class TdomCustomErrorHandler;
class TdomDocument;
class TStream;

// Opens the text of an external parsed entity: its system identifier as declared, and whether its
// declaration stands in the external subset (so that the identifier is relative to that subset's
// location rather than the document's). nullptr when it cannot be had.
using TExternalEntityOpener =
    std::function<std::unique_ptr<TStream>(const std::u16string& systemId, bool declaredInExternalSubset)>;

// True when no constraint is broken.
bool checkEntityConstraints(TdomDocument* document, TdomCustomErrorHandler* errorHandler,
                            const TExternalEntityOpener& openExternal = nullptr);
