#include "app/csv_file.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstring>
#include <span>

#include "app/point_mark_table.h"
#include "text/code_page_932.h"
#include "text/file_io.h"
#include "text/stream.h"
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

// Takes the bytes of a CSV file block by block and keeps them without their NUL bytes: a NUL
// byte costs no memory, only a count for the line it stands on. Lines are counted as the kept
// text cuts them (CR, LF and CR LF end one line each, also when NUL bytes stand between CR and LF).
class NulDropper {
public:
    // The line (from 1) holding NUL bytes and how many it held.
    struct Run {
        std::size_t line;
        std::size_t count;
    };

    // Appends the bytes of block other than NUL to text.
    void add(std::string_view block, std::string& text) {
        const char* p = block.data();
        const char* const end = p + block.size();
        while (p < end) {
            if (*p == '\0') {
                const char* const first = p;
                // Eight bytes at a time through a run of NUL bytes.
                for (std::uint64_t word; end - p >= 8 && (std::memcpy(&word, p, 8), word == 0);) p += 8;
                while (p < end && *p == '\0') ++p;
                countNuls(static_cast<std::size_t>(p - first));
                continue;
            }
            const char* const start = p;
            for (; p < end && *p != '\0'; ++p) {
                if (*p == '\r' || (*p == '\n' && !afterCr_)) ++line_;
                afterCr_ = *p == '\r';
            }
            text.append(start, static_cast<std::size_t>(p - start));
        }
    }
    const std::vector<Run>& runs() const { return runs_; }

private:
    void countNuls(std::size_t count) {
        if (runs_.empty() || runs_.back().line != line_) runs_.push_back({line_, 0});
        runs_.back().count += count;
    }
    std::size_t line_ = 1;
    bool afterCr_ = false; // the last byte kept was a CR: an LF now ends no further line
    std::vector<Run> runs_;
};

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
    std::string text;
    text.reserve(bytes.size() - static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\0')));
    NulDropper().add(bytes, text);
    return decodedCsvText(std::move(text));
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

namespace {

// The bytes of a CSV file without its NUL bytes, read in blocks: NUL bytes never take memory, so
// that a file of nothing else is read in a block's room.
std::string readWithoutNuls(const std::string& fileName, NulDropper& nuls) {
    TFileStream file(fileName, TFileStream::Mode::openRead);
    std::string text;
    // Room for the size the file gives; the pages that no byte reaches are never used.
    text.reserve(static_cast<std::size_t>(std::max<std::int64_t>(file.size(), 0)));
    std::vector<char> block(std::size_t{1} << 20);
    for (std::int64_t n; (n = file.read(block.data(), static_cast<std::int64_t>(block.size()))) > 0;)
        nuls.add(std::string_view(block.data(), static_cast<std::size_t>(n)), text);
    return text;
}

} // namespace

std::vector<std::string> readCsvFile(const std::string& fileName) {
    NulDropper nuls;
    return splitCsvLines(decodedCsvText(readWithoutNuls(fileName, nuls)));
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

namespace {

// The records of a CSV text whose NUL bytes were left out, with the messages of its reading.
TCsvText csvTextOf(std::string text, const NulDropper& nuls, const std::string& fileName) {
    TCsvText result;
    for (const NulDropper::Run& run : nuls.runs())
        result.messages.push_back(lineMessage(fileName, run.line,
                                              run.count == 1 ? "a NUL byte was left out"
                                                             : std::to_string(run.count) + " NUL bytes were left out"));
    text = decodedCsvText(std::move(text));
    std::size_t unclosedAt;
    result.lines = splitRecords(text, unclosedAt);
    text = std::string(); // its records hold its bytes now
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

} // namespace

TCsvText parseCsvText(std::string_view bytes, const std::string& fileName) {
    NulDropper nuls;
    std::string text;
    text.reserve(bytes.size());
    nuls.add(bytes, text);
    return csvTextOf(std::move(text), nuls, fileName);
}

TCsvText readCsvText(const std::string& fileName) {
    NulDropper nuls;
    std::string text = readWithoutNuls(fileName, nuls);
    return csvTextOf(std::move(text), nuls, fileName);
}

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
            messages.push_back(
                lineMessage(fileName, text.lineNumbers[k],
                            std::to_string(fields) + " fields; the fields after the 16th were left out"));
    }
    return rows;
}
