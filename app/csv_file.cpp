#include "app/csv_file.h"

#include <algorithm>
#include <array>
#include <climits>
#include <span>

#include "app/point_mark_table.h"
#include "text/code_page_932.h"
#include "text/file_io.h"
#include "text/utf8.h"

namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

// Scans a quoted field whose opening quote is at pos; appends its content to out when given.
// Answers the position after the closing quote, or the end of the text when it never closes
// (unclosed, when given, is then set).
std::size_t scanQuotedField(std::string_view text, std::size_t pos, std::string* out, bool* unclosed = nullptr) {
    ++pos;
    for (;;) {
        const std::size_t quote = text.find('"', pos);
        if (quote == std::string_view::npos) {
            if (out) out->append(text.substr(pos));
            if (unclosed) *unclosed = true;
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

// Makes table rows of CSV lines, each row in one piece: a line's fields are gathered in buffers
// kept from line to line, and the row is made of them at once.
class CsvRowMaker {
public:
    // The row of the first 16 fields of a line (scanning at most maxFields); fields receives the
    // number of fields scanned.
    TPointMarkRow operator()(std::string_view line, std::size_t maxFields, std::size_t& fields) {
        fields = 0;
        forEachCsvField(line, maxFields, [&](std::size_t column, std::string_view field) {
            fields = column + 1;
            if (column < kColumnCount) texts_[column].assign(field);
        });
        const std::size_t count = std::min<std::size_t>(fields, kColumnCount);
        std::array<std::string_view, kColumnCount> cells;
        for (std::size_t c = 0; c < count; ++c) cells[c] = texts_[c];
        return TPointMarkRow(std::span<const std::string_view>(cells.data(), count));
    }

private:
    std::array<std::string, kColumnCount> texts_;
};

} // namespace

namespace {

// Removes the NUL bytes of a CSV file; lineOfEach receives the line (from 1) of each one removed.
std::string withoutNuls(std::string_view bytes, std::vector<std::size_t>* lineOfEach) {
    std::string text;
    text.reserve(bytes.size());
    std::size_t line = 1;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\0') {
            if (lineOfEach) lineOfEach->push_back(line);
            continue;
        }
        if (c == '\n' || (c == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n'))) ++line;
        text.push_back(c);
    }
    return text;
}

std::string decodedCsvText(std::string text) {
    if (std::string_view(text).substr(0, kUtf8ByteOrderMark.size()) == kUtf8ByteOrderMark)
        return cp932::encode(utf8ToUtf16(std::string_view(text).substr(kUtf8ByteOrderMark.size())));
    return text;
}

// Line ends in a piece of text: CR, LF and CR LF count one each.
std::size_t countLineEnds(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))) ++count;
    return count;
}

std::string lineMessage(const std::string& fileName, std::size_t line, const std::string& what) {
    return fileName + ", line " + std::to_string(line) + ": " + what;
}

} // namespace

std::string csvTextOfFile(std::string_view bytes) {
    if (bytes.find('\0') == std::string_view::npos) return decodedCsvText(std::string(bytes));
    return decodedCsvText(withoutNuls(bytes, nullptr));
}

namespace {

// Calls onRecord with each record of a CSV text, in order; answers the index of a record whose
// quoted field never closes (it runs to the end of the text), or npos.
template <typename OnRecord> std::size_t forEachRecord(std::string_view text, OnRecord&& onRecord) {
    if (const std::size_t nul = text.find('\0'); nul != std::string_view::npos) text = text.substr(0, nul);
    std::size_t unclosedAt = std::string_view::npos;
    std::size_t index = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t start = pos;
        bool fieldStart = true;
        while (pos < text.size()) {
            const char c = text[pos];
            if (fieldStart && c == '"') {
                bool unclosed = false;
                pos = scanQuotedField(text, pos, nullptr, &unclosed);
                if (unclosed) unclosedAt = index;
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
        onRecord(text.substr(start, pos - start));
        ++index;
        if (pos < text.size()) {
            if (text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n') ++pos;
            ++pos;
        }
    }
    return unclosedAt;
}

// Cuts a CSV text into its records; unclosedAt receives the index of a record whose quoted field
// never closes, or npos. The records are counted first and the list is made at its size: a list
// that grows holds its old and its new block at once, and for millions of short lines that is
// the peak of a whole read.
std::vector<std::string> splitRecords(std::string_view text, std::size_t& unclosedAt) {
    std::size_t count = 0;
    forEachRecord(text, [&count](std::string_view) { ++count; });
    std::vector<std::string> lines;
    lines.reserve(count);
    unclosedAt = forEachRecord(text, [&lines](std::string_view record) { lines.emplace_back(record); });
    return lines;
}

} // namespace

std::vector<std::string> splitCsvLines(std::string_view text) {
    std::size_t unclosedAt;
    return splitRecords(text, unclosedAt);
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
    CsvRowMaker rowOf;
    std::size_t fields;
    for (int k = 0; k < count && static_cast<std::size_t>(k) < lines.size(); ++k)
        table.setRow(k, rowOf(lines[k], kColumnCount, fields));
    table.RecordCount = table.rowCount() - 1;
}

void loadCsvFile(TPointMarkTable& table, const std::string& fileName) { LoadCsvLines(table, readCsvFile(fileName)); }

std::string csvFileText(const TPointMarkTable& table) {
    std::string text;
    for (const TPointMarkRow& row : table.rows()) {
        for (int column = 0; column < kColumnCount; ++column) {
            if (column > 0) text.push_back(',');
            const std::string_view cell = row[column];
            // The very first bytes of the file must not read as a byte-order mark.
            appendCsvCell(cell, text, text.empty() && cell.starts_with(kUtf8ByteOrderMark));
        }
        text.append("\r\n");
    }
    return text;
}

void saveCsvFile(const TPointMarkTable& table, const std::string& fileName) {
    writeFileAtomically(fileName, csvFileText(table));
}

TCsvText parseCsvText(std::string_view bytes, const std::string& fileName) {
    TCsvText result;
    std::vector<std::size_t> nulLines;
    const std::string text = decodedCsvText(withoutNuls(bytes, &nulLines));
    for (std::size_t i = 0; i < nulLines.size();) {
        std::size_t j = i;
        while (j < nulLines.size() && nulLines[j] == nulLines[i]) ++j;
        result.messages.push_back(lineMessage(fileName, nulLines[i],
                                              j - i == 1 ? "a NUL byte was left out"
                                                         : std::to_string(j - i) + " NUL bytes were left out"));
        i = j;
    }
    std::size_t unclosedAt;
    result.lines = splitRecords(text, unclosedAt);
    result.lineNumbers.reserve(result.lines.size());
    std::size_t line = 1;
    for (const std::string& record : result.lines) {
        result.lineNumbers.push_back(line);
        line += countLineEnds(record) + 1;
    }
    if (unclosedAt != std::string_view::npos)
        result.messages.push_back(lineMessage(fileName, result.lineNumbers[unclosedAt],
                                              "a quoted field is never closed; it holds the rest of the file"));
    return result;
}

TCsvText readCsvText(const std::string& fileName) { return parseCsvText(readWholeFile(fileName), fileName); }

std::vector<TPointMarkRow> csvRows(const TCsvText& text, std::size_t first, const std::string& fileName,
                                   std::vector<std::string>& messages) {
    std::vector<TPointMarkRow> rows;
    if (first >= text.lines.size()) return rows;
    rows.reserve(text.lines.size() - first);
    CsvRowMaker rowOf;
    for (std::size_t k = first; k < text.lines.size(); ++k) {
        std::size_t fields;
        rows.push_back(rowOf(text.lines[k], std::numeric_limits<std::size_t>::max(), fields));
        if (fields > kColumnCount)
            messages.push_back(lineMessage(fileName, text.lineNumbers[k],
                                           std::to_string(fields) + " fields; the fields after the 16th were left out"));
    }
    return rows;
}
