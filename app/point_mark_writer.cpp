#include "app/point_mark_writer.h"

#include <cstring>
#include <string_view>

#include "text/file_io.h"

namespace {

constexpr std::string_view kHead = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n"
                                   "<!DOCTYPE velmar PUBLIC \"-//VELMAR//VELMAR V1.0//EN\" \"velmar.dtd\">\r\n"
                                   "<velmar version=\"1.0\" model=\"Dravon corporation:ORVEX:v4.00\">\r\n";
constexpr std::string_view kTail = "</velmar>\r\n";

// The literal written before each cell of a record line; the cell index is the table column.
struct Piece {
    std::string_view before;
    int column;
};
constexpr Piece kPieces[] = {
    {"<format><datum>", 0},
    {"</datum><unit>", 1},
    {"</unit><time>", 2},
    {"</time></format><gpoi><poi><note>", 3},
    {"</note><name><nb>", 4},
    {"</nb><rt>", 5},
    {"</rt></name><point><pos><lat>", 6},
    {"</lat><lon>", 7},
    {"</lon></pos></point></poi><address><address-text>", 8},
    {"</address-text></address><category vendor=\"DRAVON-ORVEX\">", 9},
    {"</category><linkfile><image href=\"\"><comment>", 10},
    {"</comment></image><multimedia format=\"ORVEX-SOUND\" href=\"", 11},
    {"\" repeat=\"", 12},
    {"\"><comment>", 13},
    {"</comment><activate-condition><activate-radius><outmost>", 14},
    {"</outmost><inmost>", 15},
};
constexpr std::string_view kRecordEnd =
    "</inmost></activate-radius></activate-condition></multimedia></linkfile></gpoi>\r\n";

constexpr int kRequiredColumns[] = {0, 1, 2, 4, 6, 7, 9, 10};

// The four bytes that are written as references. None of them can be the second byte of a
// code page 932 double-byte character (those start at 0x40), so a byte-wise scan is exact.
bool needsReference(unsigned char byte) { return byte == '&' || byte == '<' || byte == '>' || byte == '"'; }

void appendEscaped(std::string& out, const std::string& cell) {
    const char* data = cell.data();
    const std::size_t size = cell.size();
    std::size_t start = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char byte = static_cast<unsigned char>(data[i]);
        if (!needsReference(byte)) continue;
        out.append(data + start, i - start);
        switch (byte) {
        case '&':
            out += "&#38;";
            break;
        case '<':
            out += "&#60;";
            break;
        case '>':
            out += "&#62;";
            break;
        default:
            out += "&#34;";
            break;
        }
        start = i + 1;
    }
    out.append(data + start, size - start);
}

} // namespace

bool isWritableRecord(const TPointMarkRow& row) {
    for (int column : kRequiredColumns)
        if (row[static_cast<std::size_t>(column)].empty()) return false;
    return true;
}

std::string buildPointMarkXml(const TPointMarkTable& table, std::vector<int>* skippedRows) {
    const auto& rows = table.rows();
    std::size_t estimate = kHead.size() + kTail.size();
    for (std::size_t r = 1; r < rows.size(); ++r) {
        estimate += 700; // the literals of one record line
        for (const std::string& cell : rows[r]) estimate += cell.size();
    }
    std::string out;
    out.reserve(estimate);
    out.append(kHead);
    for (std::size_t r = 1; r < rows.size(); ++r) {
        const TPointMarkRow& row = rows[r];
        if (!isWritableRecord(row)) {
            if (skippedRows) skippedRows->push_back(static_cast<int>(r));
            continue;
        }
        for (const Piece& piece : kPieces) {
            out.append(piece.before);
            appendEscaped(out, row[static_cast<std::size_t>(piece.column)]);
        }
        out.append(kRecordEnd);
    }
    out.append(kTail);
    return out;
}

std::vector<int> writePointMarkFile(const TPointMarkTable& table, const std::string& fileName) {
    std::vector<int> skipped;
    const std::string bytes = buildPointMarkXml(table, &skipped);
    writeFileAtomically(fileName, bytes);
    return skipped;
}

std::string skippedRowsMessage(const std::vector<int>& skippedRows) {
    if (skippedRows.empty()) return std::string();
    constexpr std::size_t kListed = 100;
    std::string message = "必須項目 (";
    bool first = true;
    for (int column : kRequiredColumns) {
        if (!first) message += ", ";
        message += columnHeaderUtf8(column);
        first = false;
    }
    message += ") のいずれかが空のため、次の " + std::to_string(skippedRows.size()) + " 行は保存されませんでした:\n";
    for (std::size_t i = 0; i < skippedRows.size() && i < kListed; ++i) {
        if (i > 0) message += ", ";
        message += std::to_string(skippedRows[i]);
    }
    if (skippedRows.size() > kListed) message += " ... (ほか " + std::to_string(skippedRows.size() - kListed) + " 行)";
    return message;
}
