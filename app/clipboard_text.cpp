#include "app/clipboard_text.h"

#include "text/code_page_932.h"

namespace {

void appendField(std::u16string_view field, std::u16string& out) {
    if (field.find_first_of(u"\t\r\n\"") == std::u16string_view::npos) {
        out.append(field);
        return;
    }
    out.push_back(u'"');
    for (const char16_t unit : field) {
        if (unit == u'"') out.push_back(u'"');
        out.push_back(unit);
    }
    out.push_back(u'"');
}

bool isLineEnd(char16_t unit) { return unit == u'\r' || unit == u'\n'; }

} // namespace

std::u16string copyCellsText(const TPointMarkTable& table, int firstColumn, int lastColumn, const std::vector<int>& rows) {
    std::u16string text;
    for (const int row : rows) {
        for (int column = firstColumn; column <= lastColumn; ++column) {
            if (column > firstColumn) text.push_back(u'\t');
            appendField(cp932::decode(table.cell(column, row)), text);
        }
        text.push_back(u'\n');
    }
    return text;
}

std::u16string copyCellsText(const TPointMarkTable& table, int firstColumn, int firstRow, int lastColumn,
                             int lastRow) {
    std::vector<int> rows;
    for (int row = firstRow; row <= lastRow; ++row) rows.push_back(row);
    return copyCellsText(table, firstColumn, lastColumn, rows);
}

std::vector<std::vector<std::u16string>> parseTabSeparated(std::u16string_view text) {
    std::vector<std::vector<std::u16string>> rows;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::vector<std::u16string>& row = rows.emplace_back();
        for (;;) {
            std::u16string& field = row.emplace_back();
            if (pos < text.size() && text[pos] == u'"') {
                // A quoted field: up to the quote that is not doubled; it may hold tabs and line ends.
                for (++pos; pos < text.size(); ++pos) {
                    if (text[pos] != u'"') {
                        field.push_back(text[pos]);
                    } else if (pos + 1 < text.size() && text[pos + 1] == u'"') {
                        field.push_back(u'"');
                        ++pos;
                    } else {
                        ++pos;
                        break;
                    }
                }
            }
            while (pos < text.size() && text[pos] != u'\t' && !isLineEnd(text[pos])) field.push_back(text[pos++]);
            if (pos < text.size() && text[pos] == u'\t') {
                ++pos;
                continue;
            }
            break;
        }
        if (pos < text.size()) pos += text[pos] == u'\r' && pos + 1 < text.size() && text[pos + 1] == u'\n' ? 2 : 1;
    }
    return rows;
}

std::vector<std::vector<std::string>> pasteCellsOf(std::u16string_view text) {
    std::vector<std::vector<std::string>> cells;
    for (const std::vector<std::u16string>& row : parseTabSeparated(text)) {
        std::vector<std::string>& encoded = cells.emplace_back();
        encoded.reserve(row.size());
        for (const std::u16string& field : row) encoded.push_back(cp932::encode(field));
    }
    return cells;
}
