#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dom/named_node_map.h"
#include "dom/node.h"

class TdomAttr;
class TdomElementsNodeList;
class TdomElementsNodeListNS;
struct TdomElementListCaches;

// An element with its attributes. The attribute map is either plain (createElement) or
// namespace-aware (createElementNS); the plain attribute operations refuse a namespace-aware map
// and the NS operations a plain one, with ENamespace_Err.
//
// The attribute storage and its map are allocated when first needed, so that elements without
// attributes stay small. Element lists created through the element are cached in elementListCache()
// and elementListCacheNS() (kept by the owner document) and freed with the element.
class TdomElement : public TdomNode {
public:
    ~TdomElement() override;

    void setNodeValue(std::u16string_view value) override;
    TdomNamedNodeMap* attributes() override;
    void setReadonly(bool value) override;
    void normalize() override;
    bool validate(TdomCustomErrorHandler* errorHandler) override;
    bool checkIdReferences(TdomCustomErrorHandler* errorHandler) override;
    bool checkEntityReferences(int option) override;

    const std::u16string& tagName() const { return nodeName(); }
    std::u16string getAttribute(std::u16string_view name);
    // Changes the value of an existing attribute (result nullptr) or adds a new one (returned).
    TdomAttr* setAttribute(std::u16string_view name, std::u16string_view value);
    TdomAttr* removeAttribute(std::u16string_view name);
    TdomAttr* getAttributeNode(std::u16string_view name);
    TdomAttr* setAttributeNode(TdomAttr* attr);
    TdomAttr* removeAttributeNode(TdomAttr* attr);
    std::u16string getAttributeNS(std::u16string_view namespaceURI, std::u16string_view localName);
    TdomAttr* setAttributeNS(std::u16string_view namespaceURI, std::u16string_view qualifiedName,
                             std::u16string_view value);
    TdomAttr* removeAttributeNS(std::u16string_view namespaceURI, std::u16string_view localName);
    TdomAttr* getAttributeNodeNS(std::u16string_view namespaceURI, std::u16string_view localName);
    TdomAttr* setAttributeNodeNS(TdomAttr* attr);
    // Live lists of the element's descendants, cached on the element like the document's.
    TdomElementsNodeList* getElementsByTagName(std::u16string_view name);
    TdomElementsNodeListNS* getElementsByTagNameNS(std::u16string_view namespaceURI, std::u16string_view localName);
    bool hasAttribute(std::u16string_view name);
    bool hasAttributeNS(std::u16string_view namespaceURI, std::u16string_view localName);

    // The attributes in map order, without creating the map.
    const TdomNodeVector& attributeNodes() const;
    bool attributesNamespaceAware() const;

    std::vector<std::unique_ptr<TdomNodeList>>& elementListCache();
    std::vector<std::unique_ptr<TdomNodeList>>& elementListCacheNS();

private:
    friend class TdomDocument;
    TdomElement(TdomDocument* ownerDocument, const std::u16string* tagName);

    static constexpr std::uint8_t kNamespaceAwareFlag = kFirstKindFlag;
    static constexpr std::uint8_t kMapReadonlyFlag = kFirstKindFlag << 1;
    static constexpr std::uint8_t kListCachesFlag = kFirstKindFlag << 2; // caches kept in the document

    // The block lies in the owner document's memory for such blocks; it remembers where, for giving
    // the memory back.
    struct AttributeBlock {
        AttributeBlock(TdomDocument* document, TdomElement* element);
        TdomNodeVector storage;
        TdomNamedNodeMap map;
        std::uint8_t sizeClass = 0;
        std::uint32_t page = 0;
    };
    struct AttributeBlockDeleter {
        void operator()(AttributeBlock* block) const noexcept;
    };
    TdomElementListCaches& listCaches();

    TdomNamedNodeMap& map();
    // Adds an attribute that passed setAttributeNode's checks and whose name no attribute of the element
    // has; only a read-only map refuses it (ENo_Modification_Allowed_Err).
    void appendAttribute(TdomAttr* attr);
    // Hands the attributes over to out, ownerless (the document is freeing the element).
    void releaseAttributes(std::vector<TdomNode*>& out);
    void setMapNamespaceAware(bool value);
    void checkPlain() const;
    void checkNamespaceAware() const;
    TdomAttr* findAttribute(std::u16string_view name) const;
    TdomAttr* findAttributeNS(std::u16string_view namespaceURI, std::u16string_view localName) const;

    std::unique_ptr<AttributeBlock, AttributeBlockDeleter> attrs_;
};

// An attribute. Its value lives in its children (text and entity-reference nodes).
class TdomAttr : public TdomNode {
public:
    std::u16string nodeValue() const override { return value(); }
    void setNodeValue(std::u16string_view value) override { setValue(value); }
    TdomNode* parentNode() const override { return nullptr; }
    TdomNode* previousSibling() const override { return nullptr; }
    TdomNode* nextSibling() const override { return nullptr; }
    void normalize() override;
    bool validate(TdomCustomErrorHandler* errorHandler) override;
    bool checkIdReferences(TdomCustomErrorHandler* errorHandler) override;
    bool checkEntityReferences(int option) override;

    const std::u16string& name() const { return nodeName(); }
    bool specified() const { return flag(kSpecifiedFlag); }
    // The text of the children; entity references give their replacement, and the value is normalized
    // when the content model declares the attribute with a type other than CDATA.
    std::u16string value() const;
    // Replaces every child by one text node with the given value. The old children are taken out,
    // not freed: they stay alive, parentless, until destroyNode or the document frees them.
    void setValue(std::u16string_view value);
    TdomElement* ownerElement() const { return ownerElement_; }
    // The children as attribute-value text: text children escaped as the XML output writes them
    // (appendEscapedAttributeText of dom/xml_output.h), entity references as "&name;".
    std::u16string escapedValue() const;

private:
    friend class TdomDocument;
    friend class TdomElement;
    friend class TdomNamedNodeMap;
    TdomAttr(TdomDocument* ownerDocument, const std::u16string* name, bool specified);

    static constexpr std::uint8_t kSpecifiedFlag = kFirstKindFlag;

    void setSpecified(bool value) { setFlag(kSpecifiedFlag, value); }
    TdomElement* ownerElement_ = nullptr;
};
