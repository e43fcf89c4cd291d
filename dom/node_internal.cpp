#include "dom/node_internal.h"

#include <vector>

#include "dom/character_data.h"
#include "dom/document.h"
#include "dom/dom_exception.h"
#include "dom/element.h"
#include "text/uri_analyzer.h"
#include "text/xml_chars.h"

namespace dominternal {

void normalizeSubtree(TdomNode* root) {
    std::vector<TdomNode*> stack{root};
    while (!stack.empty()) {
        TdomNode* node = stack.back();
        stack.pop_back();
        TdomNodeType type = node->nodeType();
        if (type == TdomNodeType::element || type == TdomNodeType::attribute) {
            // From the last child to the first: a text node swallows the text node after it.
            for (int i = static_cast<int>(node->children().size()) - 2; i >= 0; --i) {
                TdomNode* child = node->children()[static_cast<std::size_t>(i)];
                TdomNode* following = node->children()[static_cast<std::size_t>(i) + 1];
                if (child->nodeType() != TdomNodeType::text || following->nodeType() != TdomNodeType::text) continue;
                static_cast<TdomText*>(child)->appendData(static_cast<TdomText*>(following)->data());
                node->removeChild(following);
                node->ownerDocument()->destroyNode(following);
            }
        }
        for (TdomNode* child : node->children())
            if (child->nodeType() != TdomNodeType::text) stack.push_back(child);
        if (type == TdomNodeType::element)
            for (TdomNode* attr : static_cast<TdomElement*>(node)->attributeNodes()) stack.push_back(attr);
    }
}

bool isXmlBaseAttribute(const TdomAttr* attr) {
    if (attr->namespaceURI() == kXmlNamespaceUri && attr->localName() == u"base") return true;
    return attr->namespaceURI().empty() && attr->nodeName() == u"xml:base";
}

const TdomAttr* findXmlBaseAttribute(const TdomElement* element) {
    auto* e = const_cast<TdomElement*>(element);
    if (e->attributesNamespaceAware()) return e->getAttributeNodeNS(kXmlNamespaceUri, u"base");
    return e->getAttributeNode(u"xml:base");
}

bool uriHasScheme(std::u16string_view reference) {
    TUriWideStrAnalyzer analyzer;
    return analyzer.analyze(reference) && analyzer.schemePresent();
}

std::u16string resolveUriReference(const std::u16string& base, const std::u16string& reference) {
    std::u16string result;
    if (!resolveAgainstBase(base, reference, result)) return std::u16string();
    return result;
}

bool isAbsoluteUri(const std::string& text) { return checkAbsoluteUri(text); }

void splitQualifiedName(std::u16string_view namespaceURI, std::u16string_view qualifiedName, bool attribute,
                        std::u16string& prefix, std::u16string& localName) {
    if (!checkName(qualifiedName)) throw EInvalid_Character_Err();
    if (!checkQName(qualifiedName)) throw ENamespace_Err();
    std::size_t colon = qualifiedName.find(u':');
    if (colon == std::u16string_view::npos) {
        prefix.clear();
        localName = qualifiedName;
    } else {
        prefix = qualifiedName.substr(0, colon);
        localName = qualifiedName.substr(colon + 1);
    }
    if (!prefix.empty() && namespaceURI.empty()) throw ENamespace_Err();
    if (prefix == u"xml" && namespaceURI != kXmlNamespaceUri) throw ENamespace_Err();
    if (attribute && (prefix == u"xmlns" || qualifiedName == u"xmlns") && namespaceURI != kXmlnsNamespaceUri)
        throw ENamespace_Err();
}

} // namespace dominternal
