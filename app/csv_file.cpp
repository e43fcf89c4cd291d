#include "app/csv_file.h"

#include <algorithm>
#include <climits>

#include "app/point_mark_table.h"
#include "text/code_page_932.h"
#include "text/file_io.h"
#include "text/utf8.h"

namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

// Scans a quoted field whose opening quote is at pos; appends its content to out when given.
// Answers the position after the closing quote, or the end of the text when it never closes.
std::size_t scanQuotedField(std::string_view text, std::size_t pos, std::string* out) {
    ++pos;
    for (;;) {
        const std::size_t quote = text.find('"', pos);
        if (quote == std::string_view::npos) {
            if (out) out->append(text.substr(pos));
            return text.size();
        }
        if (out) out->append(text.substr(pos, quote - pos));
        if (quote + 1 < text.size() && text[quote + 1] == '"') {
            if (out) out->push_back('"');
            pos = quote + 2;
            continue;
        }
        return quote + 1;
    }
}

// Calls onField(index, content) for each field of a line. A comma or a line end (CR, LF or
// CR LF) outside a quoted field separates fields; a NUL ends the line; a trailing empty field
// is not reported. Stops reporting (but not scanning) after maxFields fields.
template <typename OnField> void forEachCsvField(std::string_view line, std::size_t maxFields, OnField&& onField) {
    if (const std::size_t nul = line.find('\0'); nul != std::string_view::npos) line = line.substr(0, nul);
    std::string quoted;
    std::size_t index = 0;
    std::size_t pos = 0;
    while (pos < line.size()) {
        const std::size_t start = pos;
        bool isQuoted = false;
        if (line[pos] == '"') {
            isQuoted = true;
            quoted.clear();
            pos = scanQuotedField(line, pos, index < maxFields ? &quoted : nullptr);
        }
        const std::size_t rest = pos;
        while (pos < line.size() && line[pos] != ',' && !isLineEnd(line[pos])) ++pos;
        const bool atEnd = pos == line.size();
        if (index < maxFields) {
            if (isQuoted) {
                quoted.append(line.substr(rest, pos - rest));
                onField(index, std::string_view(quoted));
            } else {
                onField(index, line.substr(start, pos - start));
            }
        }
        ++index;
        if (atEnd) return;
        if (line[pos] == '\r' && pos + 1 < line.size() && line[pos + 1] == '\n') ++pos;
        ++pos;
    }
}

} // namespace

std::string csvTextOfFile(std::string_view bytes) {
    if (const std::size_t nul = bytes.find('\0'); nul != std::string_view::npos) bytes = bytes.substr(0, nul);
    if (bytes.substr(0, kUtf8ByteOrderMark.size()) == kUtf8ByteOrderMark)
        return cp932::encode(utf8ToUtf16(bytes.substr(kUtf8ByteOrderMark.size())));
    return std::string(bytes);
}

std::vector<std::string> splitCsvLines(std::string_view text) {
    if (const std::size_t nul = text.find('\0'); nul != std::string_view::npos) text = text.substr(0, nul);
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t start = pos;
        bool fieldStart = true;
        while (pos < text.size()) {
            const char c = text[pos];
            if (fieldStart && c == '"') {
                pos = scanQuotedField(text, pos, nullptr);
                fieldStart = false;
            } else if (c == ',') {
                fieldStart = true;
                ++pos;
            } else if (isLineEnd(c)) {
                break;
            } else {
                fieldStart = false;
                ++pos;
            }
        }
        lines.emplace_back(text.substr(start, pos - start));
        if (pos < text.size()) {
            if (text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n') ++pos;
            ++pos;
        }
    }
    return lines;
}

std::vector<std::string> splitCsvFields(std::string_view line, std::size_t maxFields) {
    std::vector<std::string> fields;
    forEachCsvField(line, maxFields, [&](std::size_t, std::string_view field) { fields.emplace_back(field); });
    return fields;
}

void appendCsvCell(std::string_view cell, std::string& out, bool alwaysQuote) {
    if (!alwaysQuote && cell.find_first_of(",\"\r\n") == std::string_view::npos) {
        out.append(cell);
        return;
    }
    out.push_back('"');
    for (const char c : cell) {
        if (c == '"') out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
}

std::vector<std::string> readCsvFile(const std::string& fileName) {
    return splitCsvLines(csvTextOfFile(readWholeFile(fileName)));
}

std::vector<std::string> SplitText(std::string_view text, std::string_view separator) {
    std::string replaced;
    if (separator.empty()) {
        replaced = text;
    } else {
        replaced.reserve(text.size());
        std::size_t pos = 0;
        for (std::size_t found; (found = text.find(separator, pos)) != std::string_view::npos;
             pos = found + separator.size()) {
            replaced.append(text.substr(pos, found - pos));
            replaced.append("\r\n");
        }
        replaced.append(text.substr(pos));
    }
    std::string_view rest(replaced);
    if (const std::size_t nul = rest.find('\0'); nul != std::string_view::npos) rest = rest.substr(0, nul);
    std::vector<std::string> lines;
    while (!rest.empty()) {
        const std::size_t end = rest.find_first_of("\r\n");
        if (end == std::string_view::npos) {
            lines.emplace_back(rest);
            break;
        }
        lines.emplace_back(rest.substr(0, end));
        const std::size_t next =
            rest[end] == '\r' && end + 1 < rest.size() && rest[end + 1] == '\n' ? end + 2 : end + 1;
        rest = rest.substr(next);
    }
    return lines;
}

void LoadCsvLines(TPointMarkTable& table, const std::vector<std::string>& lines) {
    TTableUpdate update(table);
    table.setRowCount(static_cast<int>(std::min<std::size_t>(lines.size(), INT_MAX)));
    const int count = table.rowCount();
    for (int k = 0; k < count && static_cast<std::size_t>(k) < lines.size(); ++k) {
        TPointMarkRow row;
        forEachCsvField(lines[k], kColumnCount,
                        [&](std::size_t column, std::string_view field) { row[column] = field; });
        table.setRow(k, std::move(row));
    }
    table.RecordCount = table.rowCount() - 1;
}

void loadCsvFile(TPointMarkTable& table, const std::string& fileName) { LoadCsvLines(table, readCsvFile(fileName)); }

std::string csvFileText(const TPointMarkTable& table) {
    std::string text;
    for (const TPointMarkRow& row : table.rows()) {
        for (int column = 0; column < kColumnCount; ++column) {
            if (column > 0) text.push_back(',');
            // The very first bytes of the file must not read as a byte-order mark.
            const bool atStart = text.empty() && row[column].starts_with(kUtf8ByteOrderMark);
            appendCsvCell(row[column], text, atStart);
        }
        text.append("\r\n");
    }
    return text;
}

void saveCsvFile(const TPointMarkTable& table, const std::string& fileName) {
    writeFileAtomically(fileName, csvFileText(table));
}
