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
// Each problem is reported once per reference to the error handler's fatalError or error, with
// the reference (in content), the element carrying the attribute, or the document (for a default
// value) as the sender; a reference
// inside a replacement text is reported with the outermost reference. The references in content
// stay filled, so that a validation afterwards sees the elements their entities hold.

class TdomCustomErrorHandler;
class TdomDocument;

// True when no constraint is broken.
bool checkEntityConstraints(TdomDocument* document, TdomCustomErrorHandler* errorHandler);
