#include "app/point_mark_reader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "dom/character_data.h"
#include "dom/content_model_access.h"
#include "dom/document.h"
#include "dom/element.h"
#include "dom/named_node_map.h"
#include "dom/node.h"
#include "text/code_page_932.h"
#include "text/exception.h"
#include "text/external_file_policy.h"
#include "text/parser_error.h"
#include "text/stream.h"
#include "text/utf8.h"

namespace {

// Columns of the elements whose value is their text.
struct TextColumn {
    std::u16string_view name;
    int column;
};
constexpr TextColumn kTextColumns[] = {
    {u"datum", 0}, {u"unit", 1}, {u"time", 2},         {u"note", 3},     {u"nb", 4},       {u"rt", 5},
    {u"lat", 6},   {u"lon", 7},  {u"address-text", 8}, {u"category", 9}, {u"outmost", 14}, {u"inmost", 15},
};
constexpr int kImageCommentColumn = 10;
constexpr int kHrefColumn = 11;
constexpr int kRepeatColumn = 12;
constexpr int kMultimediaCommentColumn = 13;

void appendNodeText(std::u16string& value, const TdomNode* node) {
    value += static_cast<const TdomCharacterData*>(node)->data();
}

// Whether a child after the first text node continues an element's value.
bool continuesValue(const TdomNode* child) {
    const TdomNodeType type = child->nodeType();
    return type == TdomNodeType::text || type == TdomNodeType::cdataSection ||
           (type == TdomNodeType::entityReference && isPredefinedEntityName(child->nodeName()));
}

bool isPredefinedReference(const TdomNode* node) {
    return node->nodeType() == TdomNodeType::entityReference && isPredefinedEntityName(node->nodeName());
}

// The value of an element whose content starts with text: a text node or a reference to one of
// the five predefined entities ("&lt;要確認&gt;" as other tools write it), followed by the text,
// CDATA sections and predefined references right after it, so that "a &amp; b" and split CDATA
// content arrive whole. False when the content starts with anything else.
// The value is a view of the text node itself when nothing continues it (the usual case), else of
// scratch, which receives the joined pieces.
bool elementText(const TdomNode* element, std::u16string& scratch, std::u16string_view& value) {
    const TdomNodeVector& children = element->children();
    if (children.empty()) return false;
    const TdomNode* front = children.front();
    const bool startsWithText = front->nodeType() == TdomNodeType::text;
    if (!startsWithText && !isPredefinedReference(front)) return false;
    if (startsWithText && (children.size() == 1 || !continuesValue(children[1]))) {
        value = static_cast<const TdomCharacterData*>(front)->data();
        return true;
    }
    scratch.clear();
    for (std::size_t i = 0; i < children.size() && continuesValue(children[i]); ++i) {
        const TdomNode* child = children[i];
        if (child->nodeType() == TdomNodeType::entityReference)
            scratch += predefinedEntityText(child->nodeName());
        else
            appendNodeText(scratch, child);
    }
    value = scratch;
    return true;
}

void writeCell(TPointMarkTable& table, int column, std::u16string_view value) {
    table.setCell(column, table.RecordCount, cp932::encode(value));
}

// What the walk does with an element, decided by its name alone.
enum class ElementRole : std::uint8_t { other, format, text, comment, multimedia };
struct NameRole {
    ElementRole role = ElementRole::other;
    int column = 0; // of a text element
};

NameRole roleOfName(std::u16string_view name) {
    if (name == u"format") return {ElementRole::format};
    for (const TextColumn& entry : kTextColumns)
        if (name == entry.name) return {ElementRole::text, entry.column};
    if (name == u"comment") return {ElementRole::comment};
    if (name == u"multimedia") return {ElementRole::multimedia};
    return {};
}

// The roles of the element names met in one walk, kept by the address of the name: the elements
// of a document share one string per name, so a name is compared with the table once rather
// than once per element. The strings stay alive and unchanged while the walk runs, so an address
// seen again stands for the same name.
class NameRoles {
public:
    NameRole of(const std::u16string& name) {
        Slot& slot = slots_[(reinterpret_cast<std::uintptr_t>(&name) / alignof(std::u16string)) % kSlots];
        if (slot.name != &name) slot = {&name, roleOfName(name)};
        return slot.role;
    }

private:
    struct Slot {
        const std::u16string* name = nullptr;
        NameRole role;
    };
    static constexpr std::size_t kSlots = 64;
    std::array<Slot, kSlots> slots_{};
};

// An attribute value into its column; references to undeclared entities are kept as written and
// told in messages.
void writeAttribute(TPointMarkTable& table, int column, TdomNode* attribute, std::vector<std::string>* messages,
                    const TCellSource& onCell) {
    std::vector<std::u16string> undeclared;
    writeCell(table, column, attributeCharacters(attribute, &undeclared));
    if (onCell) onCell(attribute, table.RecordCount, column);
    if (!messages) return;
    for (const std::u16string& name : undeclared)
        messages->push_back(cp932::encode(u"Record " + utf8ToUtf16(std::to_string(table.RecordCount)) +
                                          u": the entity \"" + name + u"\" in attribute " + attribute->nodeName() +
                                          u" is not declared; the reference was kept as written"));
}

void examineElement(TPointMarkTable& table, TdomNode* element, const NameRole& role, std::u16string& scratch,
                    std::vector<std::string>* messages, const TCellSource& onCell) {
    auto written = [&](int column) {
        if (onCell) onCell(element, table.RecordCount, column);
    };
    std::u16string_view value;
    switch (role.role) {
    case ElementRole::other:
        return;
    case ElementRole::format:
        table.RecordCount = table.RecordCount + 1;
        table.setRowCount(table.RecordCount + 1);
        return;
    case ElementRole::text:
        if (!elementText(element, scratch, value)) return;
        writeCell(table, role.column, value);
        written(role.column);
        return;
    case ElementRole::comment: {
        const TdomNode* parent = element->parentNode();
        if (!parent || !elementText(element, scratch, value)) return;
        for (const int column : {kImageCommentColumn, kMultimediaCommentColumn}) {
            if (parent->nodeName() != (column == kImageCommentColumn ? u"image" : u"multimedia")) continue;
            writeCell(table, column, value);
            written(column);
        }
        return;
    }
    case ElementRole::multimedia: {
        if (!element->hasChildNodes()) return;
        TdomNamedNodeMap* attributes = element->attributes();
        if (!attributes) return;
        const int count = attributes->length();
        for (int i = 0; i < count; ++i) {
            TdomNode* attribute = attributes->item(i);
            if (attribute->nodeName() == u"href")
                writeAttribute(table, kHrefColumn, attribute, messages, onCell);
            else if (attribute->nodeName() == u"repeat")
                writeAttribute(table, kRepeatColumn, attribute, messages, onCell);
        }
        return;
    }
    }
}

// Room in the table for the records below node, so that adding them one by one does not move
// the rows again and again. Counts the "format" elements among node's children and theirs, where
// point-mark documents keep them (below the document element); an estimate is enough.
void reserveRecordRows(TPointMarkTable& table, const TdomNode* node) {
    std::size_t formats = 0;
    auto count = [&](const TdomNode* parent) {
        for (const TdomNode* child : parent->children())
            if (child->nodeType() == TdomNodeType::element && child->nodeName() == u"format") ++formats;
    };
    count(node);
    for (const TdomNode* child : node->children())
        if (child->nodeType() == TdomNodeType::element) count(child);
    // Without records the walk adds no rows, whatever RecordCount holds.
    if (formats == 0) return;
    std::vector<TPointMarkRow>& rows = table.rows();
    const std::size_t needed = static_cast<std::size_t>(std::max(table.RecordCount, 0)) + 1 + formats;
    if (needed > rows.capacity()) rows.reserve(needed);
}

} // namespace

std::u16string attributeCharacters(TdomNode* attribute, std::vector<std::u16string>* undeclared) {
    std::u16string value;
    TdomCMObject* model = attribute->ownerDocument() ? attribute->ownerDocument()->contentModel() : nullptr;
    for (const TdomNode* child : attribute->children()) {
        if (child->nodeType() == TdomNodeType::text) {
            appendNodeText(value, child);
        } else if (isPredefinedReference(child)) {
            value += predefinedEntityText(child->nodeName());
        } else if (child->nodeType() == TdomNodeType::entityReference) {
            if (TdomCMNode* entity = cmaccess::declaredEntity(model, child->nodeName())) {
                value += cmaccess::entityNormalizedValue(model, entity);
            } else {
                value += u"&" + child->nodeName() + u";";
                if (undeclared) undeclared->push_back(child->nodeName());
            }
        }
    }
    return value;
}

void ReadNode(TPointMarkTable& table, TdomNode* node, int /*depth*/, std::vector<std::string>* messages,
              const TCellSource& onCell) {
    if (!node) return;
    reserveRecordRows(table, node);
    std::u16string scratch;
    NameRoles roles;
    // Depth first, parent before children: children are pushed last to first.
    std::vector<TdomNode*> pending{node};
    while (!pending.empty()) {
        TdomNode* current = pending.back();
        pending.pop_back();
        // Text nodes, white space or not, never fill a cell by themselves and have no children.
        if (current->nodeType() == TdomNodeType::element)
            examineElement(table, current, roles.of(current->nodeName()), scratch, messages, onCell);
        const TdomNodeVector& children = current->children();
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
}

std::string externalSubsetPath(const std::string& parentSystemId, const std::string& systemId) {
    const std::size_t slash = parentSystemId.rfind('/');
    if (slash == std::string::npos) return systemId;
    if (slash == 0) return "/" + systemId;
    return parentSystemId.substr(0, slash) + "/" + systemId;
}

void ResolveExternalSubset(const std::u16string& parentSystemId, std::u16string& /*publicId*/, std::u16string& systemId,
                           TStream*& stream, TXmlParserAction& action) {
    if (systemId.empty()) return;
    try {
        const std::string document = utf16ToUtf8(parentSystemId);
        const std::string written = utf16ToUtf8(systemId);
        const std::string path = externalSubsetPath(document, written);
        systemId = utf8ToUtf16(path);
        // Only a regular file in the document's directory or below it, links and ".." resolved.
        stream = TExternalFilePolicy().open(document, path, written).release();
        action = TXmlParserAction::paOK;
    } catch (const Exception&) {
        // The parser reports the missing subset itself.
        action = TXmlParserAction::paFail;
    }
}

std::string ParserMessageLine(const TXmlParserError& e) {
    return cp932::encode(e.errorMessage(TXmlMessageLanguage::en));
}
