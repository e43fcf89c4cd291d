#include "app/point_mark_writer.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>

#include "text/code_page_932.h"
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

// What the writer does with each byte of a cell. The file must read back as the cell was, so
// that a save never writes a file that does not parse:
// - "&", "<", ">" and the double quote become references (none of them can be the second byte of
//   a double-byte character, which starts at 0x40, so a byte-wise scan is exact);
// - CR becomes "&#13;" (a raw CR would be read as a line end); in attribute values tab and LF
//   become "&#9;" and "&#10;" too, which attribute-value normalization would turn into blanks;
// - the other control bytes cannot be carried by XML at all and are left out;
// - a lead byte followed by a valid trail byte passes as a pair; a lead byte without one, and
//   the bytes that Shift_JIS never uses (0x80, 0xA0, 0xFD-0xFF), are written as "?";
// - a pair that the code page leaves unassigned (85 40, EB 40) is written as it is, for a reader
//   that knows it, and reported, since this editor reads it back as "・".
enum ByteKind : std::uint8_t { kPlain, kMarkup, kCarriageReturn, kTabOrLineFeed, kControl, kLead, kInvalid };

struct ByteKinds {
    ByteKind kind[256] = {};
    constexpr ByteKinds() {
        for (int b = 0; b < 0x20; ++b) kind[b] = kControl;
        kind[static_cast<unsigned char>('\t')] = kTabOrLineFeed;
        kind[static_cast<unsigned char>('\n')] = kTabOrLineFeed;
        kind[static_cast<unsigned char>('\r')] = kCarriageReturn;
        for (char c : {'&', '<', '>', '"'}) kind[static_cast<unsigned char>(c)] = kMarkup;
        for (int b = 0x81; b <= 0x9F; ++b) kind[b] = kLead;
        for (int b = 0xE0; b <= 0xFC; ++b) kind[b] = kLead;
        for (int b : {0x80, 0xA0, 0xFD, 0xFE, 0xFF}) kind[b] = kInvalid;
    }
};
constexpr ByteKinds kBytes;
constexpr std::size_t kReferenceLength = 5; // "&#38;", "&#13;" and the others: at most five bytes

bool isTrailByte(unsigned char byte) { return byte >= 0x40 && byte <= 0xFC && byte != 0x7F; }

inline char* put(char* out, std::string_view text) {
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

std::string_view markupReference(unsigned char byte) {
    return byte == '&' ? "&#38;" : byte == '<' ? "&#60;" : byte == '>' ? "&#62;" : "&#34;";
}

// What writing a record changed on the way, for the save's report.
struct RecordChanges {
    bool controlLeftOut = false;
    bool invalidReplaced = false;
    bool unassignedKept = false;
};

// A pair that decodes to the replacement unit without being the one pair that stands for it.
bool isUnassignedPair(unsigned char lead, unsigned char trail) {
    return cp932::decodePair(lead, trail) == cp932::kReplacementUnit && !(lead == 0x81 && trail == 0x45);
}

char* putEscaped(char* out, std::string_view cell, bool inAttribute, RecordChanges& changes) {
    const char* data = cell.data();
    const std::size_t size = cell.size();
    std::size_t start = 0;
    auto flush = [&](std::size_t end) {
        std::memcpy(out, data + start, end - start);
        out += end - start;
    };
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char byte = static_cast<unsigned char>(data[i]);
        switch (kBytes.kind[byte]) {
        case kPlain:
            continue;
        case kLead:
            if (i + 1 < size && isTrailByte(static_cast<unsigned char>(data[i + 1]))) {
                if (isUnassignedPair(byte, static_cast<unsigned char>(data[i + 1]))) changes.unassignedKept = true;
                ++i;
                continue;
            }
            [[fallthrough]];
        case kInvalid:
            flush(i);
            out = put(out, "?");
            changes.invalidReplaced = true;
            break;
        case kMarkup:
            flush(i);
            out = put(out, markupReference(byte));
            break;
        case kCarriageReturn:
            flush(i);
            out = put(out, "&#13;");
            break;
        case kTabOrLineFeed:
            if (!inAttribute) continue;
            flush(i);
            out = put(out, byte == '\t' ? "&#9;" : "&#10;");
            break;
        case kControl:
            flush(i);
            changes.controlLeftOut = true;
            break;
        }
        start = i + 1;
    }
    flush(size);
    return out;
}

constexpr std::size_t literalLength() {
    std::size_t total = kRecordEnd.size();
    for (const Piece& piece : kPieces) total += piece.before.size();
    return total;
}

// The most bytes a record line of the row can take: every cell byte might become a reference.
std::size_t recordBound(const TPointMarkRow& row) {
    std::size_t cells = 0;
    for (const std::string_view cell : row) cells += cell.size();
    return literalLength() + cells * kReferenceLength;
}

// Unrolled over the pieces, so that every literal is copied with a length known at compile time.
// The columns written as attribute values (href and repeat of the sound link).
constexpr bool isAttributeColumn(int column) { return column == 11 || column == 12; }

// Unrolled over the pieces, so that every literal is copied with a length known at compile time.
template <std::size_t... I>
char* putPieces(char* out, const TPointMarkRow& row, RecordChanges& changes, std::index_sequence<I...>) {
    ((out = put(out, kPieces[I].before),
      out = putEscaped(out, row[static_cast<std::size_t>(kPieces[I].column)], isAttributeColumn(kPieces[I].column),
                       changes)),
     ...);
    return out;
}

char* putRecord(char* out, const TPointMarkRow& row, RecordChanges& changes) {
    out = putPieces(out, row, changes, std::make_index_sequence<std::size(kPieces)>());
    return put(out, kRecordEnd);
}

// Collects the file in a buffer of a fixed size and hands it on whenever it is full, so that
// the bytes of a large table are never all in memory at once.
class ChunkedOutput {
public:
    explicit ChunkedOutput(const TByteSink& sink) : sink_(sink), buffer_(new char[kSize]) {}

    void append(std::string_view text) {
        if (reserve(text.size())) {
            used_ += text.size();
            std::memcpy(at() - text.size(), text.data(), text.size());
        } else {
            sink_(text);
        }
    }

    RecordChanges appendRecord(const TPointMarkRow& row) {
        RecordChanges changes;
        const std::size_t bound = recordBound(row);
        if (reserve(bound)) {
            used_ = static_cast<std::size_t>(putRecord(at(), row, changes) - buffer_.get());
        } else {
            std::string large(bound, '\0');
            large.resize(static_cast<std::size_t>(putRecord(large.data(), row, changes) - large.data()));
            sink_(large);
        }
        return changes;
    }

    void flush() {
        if (used_ > 0) sink_(std::string_view(buffer_.get(), used_));
        used_ = 0;
    }

private:
    static constexpr std::size_t kSize = 256 * 1024;
    char* at() { return buffer_.get() + used_; }
    // Makes room for n bytes in the buffer; false when they can never fit (the buffer is then empty).
    bool reserve(std::size_t n) {
        if (used_ + n <= kSize) return true;
        flush();
        return n <= kSize;
    }

    const TByteSink& sink_;
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
};

} // namespace

bool isWritableRecord(const TPointMarkRow& row) {
    for (int column : kRequiredColumns)
        if (row[static_cast<std::size_t>(column)].empty()) return false;
    return true;
}

void producePointMarkXml(const TPointMarkTable& table, TSaveReport* report, const TByteSink& sink) {
    ChunkedOutput out(sink);
    out.append(kHead);
    const auto& rows = table.rows();
    for (std::size_t r = 1; r < rows.size(); ++r) {
        const int row = static_cast<int>(r);
        if (!isWritableRecord(rows[r])) {
            if (report) report->skippedRows.push_back(row);
            continue;
        }
        const RecordChanges changes = out.appendRecord(rows[r]);
        if (!report) continue;
        if (changes.controlLeftOut) report->controlCharacterRows.push_back(row);
        if (changes.invalidReplaced) report->invalidByteRows.push_back(row);
        if (changes.unassignedKept) report->unassignedCodeRows.push_back(row);
    }
    out.append(kTail);
    out.flush();
}

std::string buildPointMarkXml(const TPointMarkTable& table, TSaveReport* report) {
    std::string bytes;
    std::size_t estimate = kHead.size() + kTail.size();
    for (const TPointMarkRow& row : table.rows()) {
        estimate += literalLength();
        for (const std::string_view cell : row) estimate += cell.size();
    }
    bytes.reserve(estimate + estimate / 16); // room for some references
    producePointMarkXml(table, report, [&bytes](std::string_view piece) { bytes.append(piece); });
    return bytes;
}

TSaveReport writePointMarkFile(const TPointMarkTable& table, const std::string& fileName) {
    TSaveReport report;
    writeFileAtomicallyInPieces(fileName, [&](const TByteSink& sink) {
        report = TSaveReport();
        producePointMarkXml(table, &report, sink);
    });
    return report;
}

namespace {

constexpr std::size_t kListedRows = 100;

void appendRowList(std::string& message, const std::vector<int>& rows) {
    for (std::size_t i = 0; i < rows.size() && i < kListedRows; ++i) {
        if (i > 0) message += ", ";
        message += std::to_string(rows[i]);
    }
    if (rows.size() > kListedRows) message += " ... (ほか " + std::to_string(rows.size() - kListedRows) + " 行)";
}

} // namespace

std::string skippedRowsMessage(const std::vector<int>& skippedRows) {
    if (skippedRows.empty()) return std::string();
    std::string message = "必須項目 (";
    bool first = true;
    for (int column : kRequiredColumns) {
        if (!first) message += ", ";
        message += columnHeaderUtf8(column);
        first = false;
    }
    message += ") のいずれかが空のため、次の " + std::to_string(skippedRows.size()) + " 行は保存されませんでした:\n";
    appendRowList(message, skippedRows);
    return message;
}

std::string saveReportMessage(const TSaveReport& report) {
    std::string message = skippedRowsMessage(report.skippedRows);
    auto paragraph = [&message](const std::vector<int>& rows, const std::string& what) {
        if (rows.empty()) return;
        if (!message.empty()) message += "\n\n";
        message += what + " (" + std::to_string(rows.size()) + " 行):\n";
        appendRowList(message, rows);
    };
    paragraph(report.controlCharacterRows, "XML に書けない制御文字を除いて保存した行");
    paragraph(report.invalidByteRows, "Shift_JIS でないバイトを \"?\" にして保存した行");
    paragraph(report.unassignedCodeRows,
              "Shift_JIS に文字のないコードをそのまま保存した行 (読み込むと \"・\" になります)");
    return message;
}
