#include "app/point_mark_writer.h"

#include <cstring>
#include <memory>
#include <string_view>
#include <utility>

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
struct ReferenceTable {
    bool escaped[256] = {};
    constexpr ReferenceTable() {
        escaped[static_cast<unsigned char>('&')] = true;
        escaped[static_cast<unsigned char>('<')] = true;
        escaped[static_cast<unsigned char>('>')] = true;
        escaped[static_cast<unsigned char>('"')] = true;
    }
};
constexpr ReferenceTable kReferences;
constexpr std::size_t kReferenceLength = 5; // "&#38;" and the others

inline char* put(char* out, std::string_view text) {
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

char* putEscaped(char* out, const std::string& cell) {
    const char* data = cell.data();
    const std::size_t size = cell.size();
    std::size_t start = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char byte = static_cast<unsigned char>(data[i]);
        if (!kReferences.escaped[byte]) continue;
        std::memcpy(out, data + start, i - start);
        out += i - start;
        out = put(out, byte == '&' ? "&#38;" : byte == '<' ? "&#60;" : byte == '>' ? "&#62;" : "&#34;");
        start = i + 1;
    }
    std::memcpy(out, data + start, size - start);
    return out + (size - start);
}

constexpr std::size_t literalLength() {
    std::size_t total = kRecordEnd.size();
    for (const Piece& piece : kPieces) total += piece.before.size();
    return total;
}

// The most bytes a record line of the row can take: every cell byte might become a reference.
std::size_t recordBound(const TPointMarkRow& row) {
    std::size_t cells = 0;
    for (const std::string& cell : row) cells += cell.size();
    return literalLength() + cells * kReferenceLength;
}

// Unrolled over the pieces, so that every literal is copied with a length known at compile time.
template <std::size_t... I> char* putPieces(char* out, const TPointMarkRow& row, std::index_sequence<I...>) {
    ((out = put(out, kPieces[I].before), out = putEscaped(out, row[static_cast<std::size_t>(kPieces[I].column)])), ...);
    return out;
}

char* putRecord(char* out, const TPointMarkRow& row) {
    out = putPieces(out, row, std::make_index_sequence<std::size(kPieces)>());
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

    void appendRecord(const TPointMarkRow& row) {
        const std::size_t bound = recordBound(row);
        if (reserve(bound)) {
            used_ = static_cast<std::size_t>(putRecord(at(), row) - buffer_.get());
        } else {
            std::string large(bound, '\0');
            large.resize(static_cast<std::size_t>(putRecord(large.data(), row) - large.data()));
            sink_(large);
        }
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

void producePointMarkXml(const TPointMarkTable& table, std::vector<int>* skippedRows, const TByteSink& sink) {
    ChunkedOutput out(sink);
    out.append(kHead);
    const auto& rows = table.rows();
    for (std::size_t r = 1; r < rows.size(); ++r) {
        if (isWritableRecord(rows[r])) {
            out.appendRecord(rows[r]);
        } else if (skippedRows) {
            skippedRows->push_back(static_cast<int>(r));
        }
    }
    out.append(kTail);
    out.flush();
}

std::string buildPointMarkXml(const TPointMarkTable& table, std::vector<int>* skippedRows) {
    std::string bytes;
    std::size_t estimate = kHead.size() + kTail.size();
    for (const TPointMarkRow& row : table.rows()) {
        estimate += literalLength();
        for (const std::string& cell : row) estimate += cell.size();
    }
    bytes.reserve(estimate + estimate / 16); // room for some references
    producePointMarkXml(table, skippedRows, [&bytes](std::string_view piece) { bytes.append(piece); });
    return bytes;
}

std::vector<int> writePointMarkFile(const TPointMarkTable& table, const std::string& fileName) {
    std::vector<int> skipped;
    writeFileAtomicallyInPieces(fileName, [&](const TByteSink& sink) { producePointMarkXml(table, &skipped, sink); });
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
