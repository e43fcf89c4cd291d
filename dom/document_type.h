#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "dom/named_node_map.h"
#include "dom/node.h"

// The document type: its name, identifiers and internal subset, and the maps of its entities and
// notations (both owned, plain and writable at creation).
class TdomDocumentType : public TdomNode {
public:
    ~TdomDocumentType() override;

    void setNodeValue(std::u16string_view value) override;
    bool validate(TdomCustomErrorHandler* errorHandler) override;

    TdomEntitiesNamedNodeMap* entities() { return &entities_; }
    const std::u16string& internalSubset() const { return internalSubset_; }
    const std::u16string& name() const { return nodeName(); }
    TdomNamedNodeMap* notations() { return &notations_; }
    const std::u16string& publicId() const { return publicId_; }
    const std::u16string& systemId() const { return systemId_; }

private:
    friend class TdomDocument;
    friend class TDomImplementation;
    TdomDocumentType(TdomDocument* ownerDocument, const std::u16string* name, std::u16string_view publicId,
                     std::u16string_view systemId, std::u16string_view internalSubset);

    std::u16string internalSubset_;
    std::u16string publicId_;
    std::u16string systemId_;
    TdomNodeVector entityStorage_;
    TdomEntitiesNamedNodeMap entities_;
    TdomNodeVector notationStorage_;
    TdomNamedNodeMap notations_;
};

class TdomNotation : public TdomNode {
public:
    void setNodeValue(std::u16string_view value) override;

    const std::u16string& publicId() const { return publicId_; }
    const std::u16string& systemId() const { return systemId_; }

private:
    friend class TdomDocument;
    TdomNotation(TdomDocument* ownerDocument, const std::u16string* name, std::u16string_view publicId,
                 std::u16string_view systemId);

    std::u16string publicId_;
    std::u16string systemId_;
};

// An entity of a document type. An external entity (with a public or system identifier) refuses
// children with ENo_Modification_Allowed_Err.
class TdomEntity : public TdomNode {
public:
    void setNodeValue(std::u16string_view value) override;
    TdomNode* appendChild(TdomNode* newChild) override;
    TdomNode* insertBefore(TdomNode* newChild, TdomNode* refChild) override;
    TdomNode* replaceChild(TdomNode* newChild, TdomNode* oldChild) override;

    const std::u16string& notationName() const { return notationName_; }
    const std::u16string& publicId() const { return publicId_; }
    const std::u16string& systemId() const { return systemId_; }
    const std::u16string& encoding() const { return encoding_; }
    void setEncoding(std::u16string_view value) { encoding_ = value; }
    const std::u16string& version() const { return version_; }
    void setVersion(std::u16string_view value) { version_ = value; }
    bool isInternal() const { return publicId_.empty() && systemId_.empty(); }
    bool isUnusable() const { return flag(kUnusableFlag); }
    void setUnusable(bool value) { setFlag(kUnusableFlag, value); }

private:
    friend class TdomDocument;
    TdomEntity(TdomDocument* ownerDocument, const std::u16string* name, std::u16string_view publicId,
               std::u16string_view systemId, std::u16string_view notationName);
    void checkExternal() const;

    static constexpr std::uint8_t kUnusableFlag = kFirstKindFlag;

    std::u16string encoding_;
    std::u16string notationName_;
    std::u16string publicId_;
    std::u16string systemId_;
    std::u16string version_;
};
