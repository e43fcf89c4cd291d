#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dom/cm_declaration.h"
#include "dom/cm_maps.h"
#include "dom/cm_node.h"
#include "dom/cm_particle.h"
#include "text/name_value_list.h"

class TDomImplementation;
class TdomDocument;
class TdomCMObject;

// Base of the objects that own content-model nodes: the content model of a document and the
// internal and external subsets of its document type definition. Every node is created through
// the factories below and belongs to the object that created it until freeNode or until the
// object itself is freed. Each factory runs the construction checks of its node class (failures
// raise EInvalid_Character_Err, "Invalid character error.") and returns the node parentless and
// writable (entity declarations read-only).
class TdomCustomCMObject : public TdomCMNode {
public:
    ~TdomCustomCMObject() override;

    // The implementation that created the object (nullptr for a stand-alone object).
    TDomImplementation* domImplementation() const { return domImplementation_; }

    TdomCMProcessingInstruction* createProcessingInstruction(const std::u16string& target, const std::u16string& data);
    TdomCMComment* createComment(const std::u16string& data);
    TdomCMFragment* createFragment();
    TdomCMAttribute* createAttribute(const std::u16string& name);
    TdomCMNotation* createNotation(const std::u16string& name, const std::u16string& publicId,
                                   const std::u16string& systemId);
    TdomCMEntity* createEntity(const std::u16string& name, const std::u16string& value, const std::u16string& publicId,
                               const std::u16string& systemId, const std::u16string& notationName);
    TdomCMParameterEntity* createParameterEntity(const std::u16string& name, const std::u16string& value,
                                                 const std::u16string& publicId, const std::u16string& systemId);
    TdomCMParameterEntityReference* createParameterEntityReference(const std::u16string& name);
    // value is the literal value without its quotes; an entity with a value has no identifiers.
    TdomCMEntityDeclaration* createEntityDeclaration(const std::u16string& name, const std::u16string& value,
                                                     const std::u16string& publicId, const std::u16string& systemId,
                                                     const std::u16string& notation);
    TdomCMParameterEntityDeclaration* createParameterEntityDeclaration(const std::u16string& name,
                                                                       const std::u16string& value,
                                                                       const std::u16string& publicId,
                                                                       const std::u16string& systemId);
    TdomCMElementTypeDeclaration* createElementTypeDeclaration(const std::u16string& name,
                                                               TdomCMContentKind contentKind);
    TdomCMSequenceParticle* createSequenceParticle(const std::u16string& occurrence);
    TdomCMChoiceParticle* createChoiceParticle(const std::u16string& occurrence);
    TdomCMPcdataChoiceParticle* createPcdataChoiceParticle(const std::u16string& occurrence);
    TdomCMElementParticle* createElementParticle(const std::u16string& name, const std::u16string& occurrence);
    TdomCMAttrList* createAttrList(const std::u16string& elementName);
    // defaultValue is the value without its quotes.
    TdomCMAttrDefinition* createAttrDefinition(const std::u16string& name, const std::u16string& declaredType,
                                               const std::u16string& defaultKind, const std::u16string& defaultValue);
    TdomCMNotationDeclaration* createNotationDeclaration(const std::u16string& name, const std::u16string& publicId,
                                                         const std::u16string& systemId);
    TdomCMNameParticle* createNameParticle(const std::u16string& name);
    TdomCMNmtokenParticle* createNmtokenParticle(const std::u16string& token);

    // Frees node with its whole subtree and sets the caller's reference to nullptr. nullptr: nothing
    // happens. A node of another owner: EWrong_Document_Err; the object itself:
    // ENo_Modification_Allowed_Err; a node that still has a parent: EInuse_Node_Err.
    void freeNode(TdomCMNode*& node);
    // Number of live nodes created by the factories.
    std::size_t createdNodeCount() const { return createdNodes_.size(); }
    // Counts the changes of the trees of the nodes created here (children added or taken away), so
    // that what is worked out from a tree (a compiled content model) knows when it is stale.
    std::uint64_t treeVersion() const { return treeVersion_; }

    // Look-ups that entity declarations use to resolve the names they refer to. The base finds
    // nothing; subsets look in the content model they serve, or in themselves.
    virtual TdomCMEntityDeclaration* findEntityDeclaration(std::u16string_view name) const;
    virtual TdomCMParameterEntityDeclaration* findParameterEntityDeclaration(std::u16string_view name) const;
    // The replacement text of a parameter entity as the DTD builder recorded it in the
    // parameter-entity lists: true and text when it is known.
    virtual bool findParameterEntityText(std::u16string_view name, std::u16string& text) const;

    TdomCMNode* cloneNode(bool deep) const override;

protected:
    TdomCustomCMObject(TDomImplementation* implementation, TdomCMNodeType type, std::u16string name,
                       TdomCMNodeTypeSet permittedChildTypes);

private:
    friend class TdomCMNode;
    template <class T> T* adopt(std::unique_ptr<T> node);
    TdomCMNode* registerNode(std::unique_ptr<TdomCMNode> node);
    void unregisterAndDelete(TdomCMNode* node);

    TDomImplementation* domImplementation_;
    std::vector<TdomCMNode*> createdNodes_;
    std::uint64_t treeVersion_ = 1;
};

// Base of the internal and the external subset: a list of declarations with a public and a
// system identifier, the indexes of its declarations by name, and the name/value list of its
// parameter entities and their replacement texts (filled by the DTD builder).
class TdomCustomCMIEObject : public TdomCustomCMObject {
public:
    ~TdomCustomCMIEObject() override;

    const std::u16string& publicId() const { return publicId_; }
    const std::u16string& systemId() const { return systemId_; }
    // The content model this subset serves, nullptr when none.
    TdomCMObject* contentModel() const { return contentModel_; }

    TdomNameValueList& parameterEntityList() { return parameterEntityList_; }
    const TdomNameValueList& parameterEntityList() const { return parameterEntityList_; }

    // Declarations that are children of this subset, by name (the first declaration is binding).
    TdomCMElementTypeDeclaration* findOwnElementTypeDeclaration(std::u16string_view name) const;
    TdomCMAttrDefinition* findOwnAttrDefinition(std::u16string_view elementName,
                                                std::u16string_view attributeName) const;
    TdomCMEntityDeclaration* findOwnEntityDeclaration(std::u16string_view name) const;
    TdomCMParameterEntityDeclaration* findOwnParameterEntityDeclaration(std::u16string_view name) const;
    TdomCMNotationDeclaration* findOwnNotationDeclaration(std::u16string_view name) const;
    const TdomNamedCMNodeMap& elementTypeDeclarations() const { return elementTypes_; }
    const TdomNamedCMAttributeMap& attrLists() const { return attrLists_; }
    const TdomNamedCMEntityMap& entityDeclarations() const { return entities_; }
    const TdomNamedCMEntityMap& parameterEntityDeclarations() const { return parameterEntities_; }
    const TdomNamedCMNodeMap& notationDeclarations() const { return notations_; }

    TdomCMEntityDeclaration* findEntityDeclaration(std::u16string_view name) const override;
    TdomCMParameterEntityDeclaration* findParameterEntityDeclaration(std::u16string_view name) const override;
    bool findParameterEntityText(std::u16string_view name, std::u16string& text) const override;
    // Each declaration in turn; stops at the first that fails.
    bool selfCheck(TdomCustomErrorHandler* errorHandler) const override;

protected:
    TdomCustomCMIEObject(TDomImplementation* implementation, TdomCMNodeType type, std::u16string name,
                         std::u16string publicId, std::u16string systemId);
    // Each child's declaration text followed by a line feed.
    void declarationParts(DeclarationParts& parts) const override;
    void childInserted(TdomCMNode* child) override;
    void childRemoving(TdomCMNode* child) override;

private:
    friend class TdomCMObject;

    std::u16string publicId_;
    std::u16string systemId_;
    TdomCMObject* contentModel_ = nullptr;
    TdomNameValueList parameterEntityList_;
    TdomNamedCMNodeMap elementTypes_;
    TdomNamedCMAttributeMap attrLists_;
    TdomNamedCMEntityMap entities_;
    TdomNamedCMEntityMap parameterEntities_;
    TdomNamedCMNodeMap notations_;
};

// The external subset of a document type definition ("#cm-external-object"). The DTD builder
// stores the version and encoding of its text declaration here.
class TdomCMExternalObject : public TdomCustomCMIEObject {
public:
    TdomCMExternalObject(TDomImplementation* implementation, std::u16string publicId, std::u16string systemId);
    const std::u16string& version() const { return version_; }
    const std::u16string& encoding() const { return encoding_; }
    void setVersion(const std::u16string& value) { version_ = value; }
    void setEncoding(const std::u16string& value) { encoding_ = value; }

private:
    std::u16string version_;
    std::u16string encoding_;
};

// The internal subset of a document type definition ("#cm-internal-object").
class TdomCMInternalObject : public TdomCustomCMIEObject {
public:
    TdomCMInternalObject(TDomImplementation* implementation, std::u16string publicId, std::u16string systemId);
};

// The content model of a document ("#cm-object"): refers to the internal and the external subset
// (it owns neither) and to the document it is attached to. It answers the DOM's questions about
// the declarations; every look-up searches the internal subset before the external one and answers
// nullptr (or false) when nothing is declared; none of them raises.
class TdomCMObject : public TdomCustomCMObject {
public:
    explicit TdomCMObject(TDomImplementation* implementation);
    ~TdomCMObject() override;

    TdomCMInternalObject* internalSubset() const { return internalSubset_; }
    TdomCMExternalObject* externalSubset() const { return externalSubset_; }
    // Links the subset both ways (nullptr detaches the current one). A subset serving another
    // content model is detached from it first.
    void setInternalSubset(TdomCMInternalObject* subset);
    void setExternalSubset(TdomCMExternalObject* subset);
    // The document the content model is attached to; the document keeps its side of the link.
    TdomDocument* document() const { return document_; }
    void setDocument(TdomDocument* document) { document_ = document; }

    TdomCMElementTypeDeclaration* findElementTypeDeclaration(std::u16string_view name) const;
    // True when name is declared with element content (a children content specification).
    bool hasElementContent(std::u16string_view elementName) const;
    TdomCMAttrDefinition* findAttrDefinition(std::u16string_view elementName, std::u16string_view attributeName) const;
    // The binding definition of every attribute declared for elementName: those of the internal
    // subset first, then those of the external subset not declared internally.
    std::vector<TdomCMAttrDefinition*> attrDefinitionsOf(std::u16string_view elementName) const;
    TdomCMEntityDeclaration* findEntityDeclaration(std::u16string_view name) const override;
    TdomCMParameterEntityDeclaration* findParameterEntityDeclaration(std::u16string_view name) const override;
    TdomCMNotationDeclaration* findNotationDeclaration(std::u16string_view name) const;
    // The parameter-entity lists of the internal, then the external subset.
    bool findParameterEntityText(std::u16string_view name, std::u16string& text) const override;

    // The whole-definition check: selfCheck of the internal subset, then of the external subset,
    // then the rules that concern declarations together: an element type declared once, at most
    // one ID and one NOTATION attribute per element type, no NOTATION attribute on an EMPTY
    // element type, and every notation that an attribute type or an unparsed entity names
    // declared. Each problem is reported.
    bool selfCheck(TdomCustomErrorHandler* errorHandler) const override;
    // Validation of the children of an element named elementName (see
    // TdomCMElementTypeDeclaration::validateChildNames). An undeclared element type, or one without
    // element content, reports EParserElement_With_Illegal_Element_Content_Err too and answers false.
    bool validateElementContent(std::u16string_view elementName, std::span<const std::u16string> childNames,
                                TdomCustomErrorHandler* errorHandler) const;

private:
    friend class TdomCustomCMIEObject;

    bool checkDeclarationsTogether(TdomCustomErrorHandler* errorHandler) const;

    TdomCMInternalObject* internalSubset_ = nullptr;
    TdomCMExternalObject* externalSubset_ = nullptr;
    TdomDocument* document_ = nullptr;
};
