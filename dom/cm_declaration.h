#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "dom/cm_node.h"

class TdomCMParticle;
class TdomCMAttrList;

// The content specification of an element type declaration.
enum class TdomCMContentKind : std::uint8_t { empty = 0, any = 1, mixed = 2, elementContent = 3 };

// <!ELEMENT name contentspec>. The name must be an XML Name (EInvalid_Character_Err). The content
// model of mixed or element content is the declaration's single child particle: a #PCDATA choice
// for mixed content, a sequence or choice for element content. A second child, or any child of an
// EMPTY or ANY declaration, is refused with ENot_Supported_Err.
class TdomCMElementTypeDeclaration : public TdomCMNode {
public:
    TdomCMElementTypeDeclaration(TdomCustomCMObject* owner, std::u16string name, TdomCMContentKind contentKind);

    TdomCMContentKind contentKind() const { return contentKind_; }
    // The particle holding the content model, nullptr when there is none.
    TdomCMParticle* particle() const;
    bool hasElementContent() const { return contentKind_ == TdomCMContentKind::elementContent; }

    // Validation of the children of an element with element content: names are the names of its
    // child elements in document order. The content matches when the particle's contentModelTest
    // succeeds and leaves no name. Otherwise EParserElement_With_Illegal_Element_Content_Err is
    // reported to errorHandler, with code as the report's code, and the result is false. Never
    // raises for a mismatch. A declaration without element content (or without particle) answers
    // false likewise.
    bool validateChildNames(std::span<const std::u16string> names, TdomCustomErrorHandler* errorHandler,
                            const std::u16string& code = std::u16string()) const;

    // The particle's own checks; a model of element content that is not deterministic is reported
    // as a warning, EParserNondeterministic_Element_Content_Model_Err with the element type's name,
    // and does not make the declaration fail.
    bool selfCheck(TdomCustomErrorHandler* errorHandler) const override;

protected:
    void declarationParts(DeclarationParts& parts) const override;
    void checkChildAcceptable(const TdomCMNode* newChild, const TdomCMNode* oldChild) const override;
    std::unique_ptr<TdomCMNode> copyNode() const override;

private:
    TdomCMContentKind contentKind_;
};

// <!ATTLIST name ...>: the attribute definitions of the element type name, as children.
class TdomCMAttrList : public TdomCMNode {
public:
    TdomCMAttrList(TdomCustomCMObject* owner, std::u16string elementName);
    const std::u16string& elementName() const { return nodeName(); }
    // Each attribute definition in turn; stops at the first that fails.
    bool selfCheck(TdomCustomErrorHandler* errorHandler) const override;

protected:
    void declarationParts(DeclarationParts& parts) const override;
    std::unique_ptr<TdomCMNode> copyNode() const override;
};

// One attribute definition of an attribute list: the attribute name, its declared type (empty
// for an enumeration, "NOTATION", "CDATA" or a tokenized type), its default declaration
// ("#REQUIRED", "#IMPLIED", "#FIXED" or empty) and its default value (the node value, without
// quotes). An enumeration holds its tokens as nmtoken particles, a NOTATION type its notation
// names as name particles. Bad arguments raise EInvalid_Character_Err.
class TdomCMAttrDefinition : public TdomCMNode {
public:
    TdomCMAttrDefinition(TdomCustomCMObject* owner, std::u16string name, std::u16string declaredType,
                         std::u16string defaultKind, std::u16string defaultValue);

    const std::u16string& declaredType() const { return declaredType_; }
    const std::u16string& defaultKind() const { return defaultKind_; }
    const std::u16string& defaultValue() const { return nodeValue(); }
    // The attribute list it belongs to, nullptr while it belongs to none.
    TdomCMAttrList* attrList() const;

    // Reports EParserId_Neither_Implied_Nor_Required_Err for an ID attribute whose default
    // declaration is neither "#REQUIRED" nor "#IMPLIED", EParserAttribute_Default_Type_Mismatch_Err
    // for a default value that its type does not allow (see defaultValueFitsType), and
    // EParserDuplicate_Tokens_Err when two tokens share a name.
    bool selfCheck(TdomCustomErrorHandler* errorHandler) const override;
    // Whether the default value, normalized as a value of this type, has the form the type asks
    // for (a name, names, a name token, name tokens, or one of the enumerated tokens). CDATA, ID
    // (whose default is a problem of its own), no default and a value holding references pass.
    bool defaultValueFitsType() const;

protected:
    void declarationParts(DeclarationParts& parts) const override;
    std::unique_ptr<TdomCMNode> copyNode() const override;

private:
    std::u16string declaredType_;
    std::u16string defaultKind_;
};

// A notation name of a NOTATION attribute type (must be an XML Name).
class TdomCMNameParticle : public TdomCMNode {
public:
    TdomCMNameParticle(TdomCustomCMObject* owner, std::u16string name);

protected:
    void declarationParts(DeclarationParts& parts) const override;
    std::unique_ptr<TdomCMNode> copyNode() const override;
};

// A value of an enumerated attribute type (must be an Nmtoken).
class TdomCMNmtokenParticle : public TdomCMNode {
public:
    TdomCMNmtokenParticle(TdomCustomCMObject* owner, std::u16string token);

protected:
    void declarationParts(DeclarationParts& parts) const override;
    std::unique_ptr<TdomCMNode> copyNode() const override;
};

// Base of the two entity declarations: the name, the literal value (the node value, without
// quotes) or the external identifiers. Created read-only.
class TdomCustomCMEntDecl : public TdomCMNode {
public:
    const std::u16string& publicId() const { return publicId_; }
    const std::u16string& systemId() const { return systemId_; }
    // True when both identifiers are empty: the value is the literal.
    bool internal() const { return publicId_.empty() && systemId_.empty(); }

protected:
    TdomCustomCMEntDecl(TdomCustomCMObject* owner, TdomCMNodeType type, std::u16string name, std::u16string value,
                        std::u16string publicId, std::u16string systemId);
    TdomCustomCMEntDecl(const TdomCustomCMEntDecl& source) = default;
    // The part after the name shared by both declarations.
    void appendDefinition(std::u16string& out, const std::u16string& notation) const;

private:
    std::u16string publicId_;
    std::u16string systemId_;
};

// <!ENTITY name ...>, a general entity.
//
// The entity answers what the DOM needs to know about it. Names it refers to are looked up in the
// content model its subset serves (internal subset first), or in its own subset when that serves
// none. None of these raise.
class TdomCMEntityDeclaration : public TdomCustomCMEntDecl {
public:
    TdomCMEntityDeclaration(TdomCustomCMObject* owner, std::u16string name, std::u16string value,
                            std::u16string publicId, std::u16string systemId, std::u16string notation);

    const std::u16string& notation() const { return notation_; }
    bool parsed() const { return notation_.empty(); }

    // The replacement text: the literal value with its character references replaced by their
    // characters and its parameter-entity references by their replacement texts; general entity
    // references are kept as written. Empty for an external entity and for an unusable one.
    std::u16string replacementText() const;
    // The value the entity contributes to an attribute value: the replacement text with white-space
    // characters turned into spaces, character references replaced and entity references expanded
    // (nested entities normalized the same way). Empty when the entity is unusable.
    std::u16string normalizedValue() const;
    // True when the entity cannot be used: its replacement text cannot be built (a bad character
    // reference, an unknown parameter entity), it refers to itself through nested entities, it
    // refers to an undeclared entity, or its expansion grows beyond the size or nesting bounds.
    bool isUnusable() const;
    // True when the entity is external or refers, through nested entities, to an external one.
    bool refersToExternalEntity() const;
    // True when the entity is unparsed or refers, through nested entities, to an unparsed one.
    bool refersToUnparsedEntity() const;

protected:
    void declarationParts(DeclarationParts& parts) const override;
    std::unique_ptr<TdomCMNode> copyNode() const override;

private:
    std::u16string notation_;
};

// <!ENTITY % name ...>, a parameter entity.
class TdomCMParameterEntityDeclaration : public TdomCustomCMEntDecl {
public:
    TdomCMParameterEntityDeclaration(TdomCustomCMObject* owner, std::u16string name, std::u16string value,
                                     std::u16string publicId, std::u16string systemId);

protected:
    void declarationParts(DeclarationParts& parts) const override;
    std::unique_ptr<TdomCMNode> copyNode() const override;
};

// <!NOTATION name ...>.
class TdomCMNotationDeclaration : public TdomCMNode {
public:
    TdomCMNotationDeclaration(TdomCustomCMObject* owner, std::u16string name, std::u16string publicId,
                              std::u16string systemId);
    const std::u16string& publicId() const { return publicId_; }
    const std::u16string& systemId() const { return systemId_; }

protected:
    void declarationParts(DeclarationParts& parts) const override;
    std::unique_ptr<TdomCMNode> copyNode() const override;

private:
    std::u16string publicId_;
    std::u16string systemId_;
};
