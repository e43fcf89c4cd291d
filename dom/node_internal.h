#pragma once

// Helpers shared by the node classes' implementation files; not part of the public interface.

#include <string>
#include <string_view>

class TdomNode;
class TdomElement;
class TdomAttr;

namespace dominternal {

// Merges adjacent text children and recurses, over the whole subtree of root (attributes of elements
// included), without recursion on the call stack.
void normalizeSubtree(TdomNode* root);

// The xml:base attribute of an element (namespace-aware or plain lookup by the map's kind), or nullptr.
const TdomAttr* findXmlBaseAttribute(const TdomElement* element);
bool isXmlBaseAttribute(const TdomAttr* attr);

// URI references for base URIs.
bool uriHasScheme(std::u16string_view reference);
// Whether a narrow text is an absolute URI (scheme, ":", hierarchical or opaque part).
bool isAbsoluteUri(const std::string& text);
// The reference resolved against base; empty when it cannot be resolved.
std::u16string resolveUriReference(const std::u16string& base, const std::u16string& reference);

// The namespace checks of createElementNS/createAttributeNS (attribute adds the xmlns rule): not a Name:
// EInvalid_Character_Err; not a QName, a prefix without namespace URI, "xml" bound elsewhere:
// ENamespace_Err. Gives the prefix and the local part.
void splitQualifiedName(std::u16string_view namespaceURI, std::u16string_view qualifiedName, bool attribute,
                        std::u16string& prefix, std::u16string& localName);

} // namespace dominternal
