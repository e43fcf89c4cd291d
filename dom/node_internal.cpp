#include "dom/node_internal.h"

#include <vector>

#include "dom/character_data.h"
#include "dom/document.h"
#include "dom/dom_exception.h"
#include "dom/element.h"
#include "text/xml_chars.h"

#if __has_include("text/uri_analyzer.h")
#include "text/uri_analyzer.h"
#define POINTMARK_HAVE_URI_ANALYZER 1
#endif

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
#ifdef POINTMARK_HAVE_URI_ANALYZER
    TUriWideStrAnalyzer analyzer;
    return analyzer.analyze(std::u16string(reference)) && analyzer.schemePresent();
#else
    std::size_t colon = reference.find(u':');
    if (colon == std::u16string_view::npos || colon == 0) return false;
    for (std::size_t i = 0; i < colon; ++i) {
        char16_t c = reference[i];
        bool letter = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
        if (!(letter || (i > 0 && ((c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.')))) return false;
    }
    return true;
#endif
}

std::u16string resolveUriReference(const std::u16string& base, const std::u16string& reference) {
#ifdef POINTMARK_HAVE_URI_ANALYZER
    std::u16string result;
    if (!resolveAgainstBase(base, reference, result)) return std::u16string();
    return result;
#else
    (void)base;
    return uriHasScheme(reference) ? reference : std::u16string();
#endif
}

bool isAbsoluteUri(const std::string& text) {
#ifdef POINTMARK_HAVE_URI_ANALYZER
    return checkAbsoluteUri(text);
#else
    std::u16string wide(text.begin(), text.end());
    std::size_t colon = text.find(':');
    return uriHasScheme(wide) && colon + 1 < text.size();
#endif
}

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
