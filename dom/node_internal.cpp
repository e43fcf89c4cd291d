#include "dom/node_internal.h"

#include <vector>

#include "dom/character_data.h"
#include "dom/document.h"
#include "dom/element.h"
#include "text/dom_exception.h"
#include "text/uri_analyzer.h"
#include "text/xml_chars.h"

namespace dominternal {

namespace {

bool isText(const TdomNode* node) { return node->nodeType() == TdomNodeType::text; }

// Calls visit on every element and attribute of root's subtree (root and the attributes of elements
// included) whose children normalize merges, before going below it; text nodes are not entered.
template <class Visit> void forEachMergingNode(TdomNode* root, Visit visit) {
    std::vector<TdomNode*> stack{root};
    while (!stack.empty()) {
        TdomNode* node = stack.back();
        stack.pop_back();
        TdomNodeType type = node->nodeType();
        if (type == TdomNodeType::element || type == TdomNodeType::attribute) visit(node);
        for (TdomNode* child : node->children())
            if (!isText(child)) stack.push_back(child);
        if (type == TdomNodeType::element)
            for (TdomNode* attr : static_cast<TdomElement*>(node)->attributeNodes()) stack.push_back(attr);
    }
}

} // namespace

void normalizeSubtree(TdomNode* root) {
    // A merge changes the parent and the first text node of a run of adjacent text nodes; all of them
    // are checked before the first merge, so that a refusal leaves the whole subtree as it was.
    forEachMergingNode(root, [](TdomNode* node) {
        const TdomNodeVector& children = node->children();
        for (std::size_t i = 0; i + 1 < children.size(); ++i) {
            bool startsRun = isText(children[i]) && isText(children[i + 1]) && (i == 0 || !isText(children[i - 1]));
            if (startsRun && (node->isReadonly() || children[i]->isReadonly())) throw ENo_Modification_Allowed_Err();
        }
    });
    forEachMergingNode(root, [](TdomNode* node) {
        const TdomNodeVector& children = node->children();
        // From the last run to the first, so that the positions of the runs still to come stay valid.
        for (std::size_t end = children.size(); end > 1;) {
            if (!isText(children[end - 1])) {
                --end;
                continue;
            }
            std::size_t begin = end - 1;
            while (begin > 0 && isText(children[begin - 1])) --begin;
            if (end - begin > 1) {
                auto* first = static_cast<TdomText*>(children[begin]);
                for (std::size_t i = begin + 1; i < end; ++i)
                    first->appendData(static_cast<TdomText*>(children[i])->data());
                // The merged siblings leave the tree, last first, and stay alive for whoever holds them.
                for (std::size_t i = end - 1; i > begin; --i) node->detachChildAt(static_cast<int>(i));
            }
            end = begin;
        }
    });
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
