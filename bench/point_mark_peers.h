#pragma once

// What the load benchmarks share: point-mark files as the editor writes them, and a reader of
// such files over libxml2 that walks its tree into the editor's table by the editor's rules.

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <string>
#include <vector>

#include "app/main_form.h"
#include "text/code_page_932.h"
#include "text/utf8.h"

// A file of records written by the editor's save, with Japanese text and escaped characters in
// every record.
inline void writeRecords(const std::string& path, int records) {
    TMainFormCore source;
    source.Table.RecordCount = records;
    source.Table.setRowCount(records + 1);
    const std::string tower = cp932::encode(u"東京タワー");
    const std::string reading = cp932::encode(u"とうきょうたわー");
    const std::string address = cp932::encode(u"東京都港区芝公園4-2-8");
    const std::string sight = cp932::encode(u"観光");
    for (int r = 1; r <= records; ++r) {
        const std::string n = std::to_string(r);
        source.Table.setRow(r, {"WGS84", "DEG", "20261207", "note & <" + n + ">", tower + n, reading, "35." + n,
                                "139." + n, address, sight, "icon" + n, "bell", "2", "on", "300", "100"});
    }
    source.SaveFile(path);
}

// The columns filled from an element's text, by element name (the others need its parent or
// attributes).
inline const char* const kColumnElements[kColumnCount] = {
    "datum",        "unit",     "time",  "note",  "nb",    "rt",    "lat",     "lon",
    "address-text", "category", nullptr, nullptr, nullptr, nullptr, "outmost", "inmost"};

// The libxml2 reader: the same name-driven walk, values converted to code page 932.
inline std::string libxml2CellText(const xmlChar* text) {
    return cp932::encode(utf8ToUtf16(reinterpret_cast<const char*>(text ? text : BAD_CAST "")));
}

inline bool libxml2Named(const xmlNode* node, const char* name) { return xmlStrEqual(node->name, BAD_CAST name); }

inline void libxml2Walk(TPointMarkTable& table, xmlNode* root) {
    std::vector<xmlNode*> pending{root};
    while (!pending.empty()) {
        xmlNode* node = pending.back();
        pending.pop_back();
        if (node->type == XML_ELEMENT_NODE) {
            const bool textFirst = node->children && node->children->type == XML_TEXT_NODE;
            if (libxml2Named(node, "format")) {
                table.RecordCount = table.RecordCount + 1;
                table.setRowCount(table.RecordCount + 1);
            } else if (libxml2Named(node, "comment")) {
                if (textFirst && node->parent && libxml2Named(node->parent, "image"))
                    table.setCell(10, table.RecordCount, libxml2CellText(node->children->content));
                if (textFirst && node->parent && libxml2Named(node->parent, "multimedia"))
                    table.setCell(13, table.RecordCount, libxml2CellText(node->children->content));
            } else if (libxml2Named(node, "multimedia") && node->children) {
                for (xmlAttr* a = node->properties; a; a = a->next) {
                    const xmlNode* attribute = reinterpret_cast<xmlNode*>(a);
                    if (!libxml2Named(attribute, "href") && !libxml2Named(attribute, "repeat")) continue;
                    xmlChar* value = xmlNodeListGetString(node->doc, a->children, 1);
                    table.setCell(libxml2Named(attribute, "href") ? 11 : 12, table.RecordCount, libxml2CellText(value));
                    xmlFree(value);
                }
            } else if (textFirst) {
                for (int c = 0; c < kColumnCount; ++c)
                    if (kColumnElements[c] && libxml2Named(node, kColumnElements[c])) {
                        table.setCell(c, table.RecordCount, libxml2CellText(node->children->content));
                        break;
                    }
            }
        }
        std::vector<xmlNode*> children;
        for (xmlNode* child = node->children; child; child = child->next) children.push_back(child);
        for (auto child = children.rbegin(); child != children.rend(); ++child) pending.push_back(*child);
    }
}

// Reads the file with libxml2 (its DTD loaded, the encoding given as CP932) into the table's
// records; answers the number of records, or -1 when libxml2 cannot read it.
inline int libxml2Load(TPointMarkTable& table, const std::string& path) {
    table.RecordCount = 0;
    xmlDoc* document = xmlReadFile(path.c_str(), "CP932", XML_PARSE_DTDLOAD | XML_PARSE_NONET);
    if (!document) return -1;
    libxml2Walk(table, xmlDocGetRootElement(document));
    xmlFreeDoc(document);
    return table.RecordCount;
}
