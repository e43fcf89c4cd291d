#include "app/main_form.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <iterator>
#include <map>
#include <stdexcept>
#include <utility>

#include "app/built_in_dtd.h"
#include "app/common.h"
#include "app/csv_file.h"
#include "app/point_mark_reader.h"
#include "dom/document.h"
#include "dom/implementation.h"
#include "dom/named_node_map.h"
#include "dom/node.h"
#include "front/xml_to_dom_parser.h"
#include "parser/doc_builder.h"
#include "text/code_page_932.h"
#include "text/exception.h"
#include "text/file_io.h"
#include "text/input_source.h"
#include "text/locator.h"
#include "text/parser_error.h"
#include "text/stream.h"
#include "text/utf8.h"

namespace {

// Whether a system identifier names the DTD that the editor carries itself.
bool namesBuiltInDtd(const std::u16string& systemId) {
    const std::string name = utf16ToUtf8(systemId);
    const std::size_t slash = name.rfind('/');
    return std::string_view(name).substr(slash == std::string::npos ? 0 : slash + 1) == kBuiltInDtdName;
}

std::string nothingReadLine(const std::string& fileName, const std::string& reason) {
    return "No record was read from " + fileName + "; the table is unchanged (" + reason + ").";
}

// Whether an element still open at node (the builder's current node) belongs to a record: the
// record level holds a "format" element at or before the open element, which is the last child
// there. Records are a "format" element and what follows it, so such an element is cut off.
bool insideRecord(const TdomNode* node) {
    for (; node && node->parentNode(); node = node->parentNode()) {
        if (node->nodeType() != TdomNodeType::element) continue;
        const TdomNodeVector& siblings = node->parentNode()->children();
        for (auto sibling = siblings.rbegin(); sibling != siblings.rend(); ++sibling)
            if ((*sibling)->nodeType() == TdomNodeType::element && (*sibling)->nodeName() == u"format") return true;
    }
    return false;
}

// The reason of a parser message: what follows the severity and position.
std::string reasonOf(const TXmlParserError& e) {
    const std::string line = utf16ToUtf8(e.errorMessage(TXmlMessageLanguage::en));
    const std::size_t dashes = line.find(" -- ");
    return dashes == std::string::npos ? line : line.substr(dashes + 4);
}

// The records a file holds: "format" start tags of a point-mark file, the lines after the header
// line of a CSV file. 0 when there is no such file or it cannot be read.
int recordsInFile(const std::string& fileName) {
    try {
        struct stat status {};
        if (::stat(fileName.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return 0;
        if (hasCsvEnding(fileName)) {
            const std::size_t lines = readCsvText(fileName).lines.size();
            return lines > 0 ? static_cast<int>(lines - 1) : 0;
        }
        const std::string bytes = readWholeFile(fileName);
        int records = 0;
        for (std::size_t at = bytes.find("<format"); at != std::string::npos; at = bytes.find("<format", at + 7)) {
            const char next = at + 7 < bytes.size() ? bytes[at + 7] : '\0';
            if (next == '>' || next == '/' || next == ' ' || next == '\t' || next == '\r' || next == '\n') ++records;
        }
        return records;
    } catch (const Exception&) {
        return 0;
    }
}

// Raised when OnProgress cancels a read; the read command that began the read catches it.
struct TReadCancelled {};

// The rows of csvRows, split in blocks of lines with the progress told after each block (the
// bytes of the lines split so far), so that a long file can be cancelled before a row is used.
// The lines are moved out of text.
std::vector<TPointMarkRow> csvRowsInBlocks(TCsvText& text, std::size_t first, const std::string& fileName,
                                           std::vector<std::string>& messages,
                                           const std::function<void(std::int64_t, std::int64_t)>& progress) {
    constexpr std::size_t kBlockLines = 8192;
    std::int64_t total = 0;
    for (std::size_t k = first; k < text.lines.size(); ++k) total += static_cast<std::int64_t>(text.lines[k].size());
    std::int64_t done = 0;
    std::vector<TPointMarkRow> rows;
    rows.reserve(text.lines.size() > first ? text.lines.size() - first : 0);
    TCsvText block;
    for (std::size_t k = first; k < text.lines.size(); k += kBlockLines) {
        const std::size_t end = std::min(text.lines.size(), k + kBlockLines);
        block.lines.assign(std::make_move_iterator(text.lines.begin() + k),
                           std::make_move_iterator(text.lines.begin() + end));
        block.lineNumbers.assign(text.lineNumbers.begin() + k, text.lineNumbers.begin() + end);
        for (TPointMarkRow& row : csvRows(block, 0, fileName, messages)) rows.push_back(std::move(row));
        for (const std::string& line : block.lines) done += static_cast<std::int64_t>(line.size());
        progress(done, total);
    }
    return rows;
}

// Keeps row 0 of rows (not a record) and the records after it that the filter chooses.
void keepChosenRecords(std::vector<TPointMarkRow>& rows, const TMainFormCore::TAddFilter& filter) {
    std::vector<TPointMarkRow> records(std::make_move_iterator(rows.begin() + 1), std::make_move_iterator(rows.end()));
    const std::vector<bool> keep = filter(records);
    if (keep.size() != records.size())
        throw std::invalid_argument("the add filter answered " + std::to_string(keep.size()) + " flags for " +
                                    std::to_string(records.size()) + " records");
    rows.resize(1);
    for (std::size_t k = 0; k < records.size(); ++k)
        if (keep[k]) rows.push_back(std::move(records[k]));
}

} // namespace

bool hasCsvEnding(std::string_view fileName) { return fileName.ends_with(".csv") || fileName.ends_with(".CSV"); }

bool hasXmlEnding(std::string_view fileName) { return fileName.ends_with(".xml") || fileName.ends_with(".XML"); }

TMainFormCore::TMainFormCore() { FormCreate(); }

TMainFormCore::~TMainFormCore() = default;

void TMainFormCore::FormCreate() {
    if (!DomImplementation) DomImplementation = std::make_unique<TDomImplementation>();
    if (!XmlToDomParser) XmlToDomParser = std::make_unique<TXmlToDomParser>();
    XmlToDomParser->setDOMImpl(DomImplementation.get());
    XmlToDomParser->OnExternalSubset = [this](void*, const std::u16string& parentSystemId, std::u16string& publicId,
                                              std::u16string& systemId, TStream*& stream, TXmlParserAction& action) {
        const std::u16string asked = systemId;
        ResolveExternalSubset(parentSystemId, publicId, systemId, stream, action);
        if (action != TXmlParserAction::paFail || !namesBuiltInDtd(asked)) return;
        // Files this editor wrote must open again wherever they are copied to.
        stream = new TMemoryStream(std::string(kBuiltInDtdText));
        action = TXmlParserAction::paOK;
        addMessage(std::string(kBuiltInDtdName) + " was not found beside " + utf16ToUtf8(parentSystemId) +
                   "; the built-in definition was used");
    };
    auto message = [this](TXmlToDomParser* parser, TXmlParserError& e) { ParserMessage(parser, e); };
    XmlToDomParser->OnError = message;
    XmlToDomParser->OnFatalError = [this](TXmlToDomParser* parser, TXmlParserError& e) {
        ParserMessage(parser, e);
        if (fatalError_) return;
        // The builder has not seen what broke the reading: its current node is the innermost
        // element still open.
        fatalError_ = TFatalError{e.endLine() != 0 ? e.endLine() : e.startLine(), reasonOf(e),
                                  insideRecord(XmlToDomParser->docBuilder()->currentNode())};
    };
    XmlToDomParser->OnWarning = message;
    // The builder's text event comes with every value of a point-mark file: often enough to tell
    // how far the parser has read the file, and a place to stop a read that is no longer wanted.
    XmlToDomParser->docBuilder()->OnPCDATA = [this](TXmlCustomProcessorAgent*, TdomStandardLocator* locator,
                                                    std::u16string& text) {
        if (!locator || !locator->inputSource()) return;
        if (!locator->inputSource()->undecodableBytes().empty()) placeUndecodable(*locator->inputSource(), text.size());
        if (!OnProgress) return;
        TStream* stream = locator->inputSource()->stream();
        const std::int64_t done = stream->position();
        if (done != progressReported_) reportProgress(done, stream->size());
    };

    Table.writeHeaderRow();
    Table.SelectedRow = 1;
    Table.RecordCount = 1;
}

void TMainFormCore::ParserMessage(TXmlToDomParser* /*xmlToDomParser*/, TXmlParserError& e) {
    Memo1.push_back(ParserMessageLine(e));
    ++parserMessageCount_;
}

void TMainFormCore::addMessage(const std::string& utf8Line) { Memo1.push_back(cp932::encode(utf8ToUtf16(utf8Line))); }

void TMainFormCore::reportProgress(std::int64_t done, std::int64_t total) {
    progressReported_ = done;
    if (OnProgress && !OnProgress(done, total)) throw TReadCancelled();
}

void TMainFormCore::beginRead() {
    ++ReadCount;
    Memo1.clear();
    LastReadStop.reset();
}

bool TMainFormCore::holdsData() const {
    for (int row = 1; row < Table.rowCount(); ++row)
        for (int column = 0; column < kColumnCount; ++column)
            if (!Table.cell(column, row).empty()) return true;
    return false;
}

TMainFormCore::TReadRows TMainFormCore::readRows(const std::string& fileName, bool replace) {
    progressReported_ = -1;
    try {
        if (hasCsvEnding(fileName)) return readCsvFile(fileName, replace);
        if (hasXmlEnding(fileName)) return readPointMarkFile(fileName, replace ? 0 : Table.RecordCount);
        throw EFOpenError("Cannot open file \"" + fileName + "\". The name ends in neither .xml/.XML nor .csv/.CSV");
    } catch (const TReadCancelled&) {
        addMessage("Reading " + fileName + " was cancelled; the table is unchanged.");
        return TReadRows();
    } catch (const std::exception& e) {
        addMessage(nothingReadLine(fileName, e.what()));
        throw;
    }
}

TMainFormCore::TReadRows TMainFormCore::readPointMarkFile(const std::string& fileName, int base) {
    // The records are read into a table of their own, so that a file that gives none (a missing
    // DTD, a broken file, no "format" element, an exception) leaves the table as it was. Its row 0
    // stands for row base, which receives any value that comes before the first record.
    TPointMarkTable read;
    read.setRow(0, Table.row(base));
    read.RecordCount = 0;
    DomImplementation->releaseAll();
    const int parserMessagesBefore = parserMessageCount_;
    fatalError_.reset();
    undecodable_.clear();
    undecodablePlaced_.clear();
    TdomDocument* document = XmlToDomParser->fileToDocument(fileName);
    // Where the cells with undecodable bytes went, when there are any.
    std::unordered_map<const TdomNode*, std::pair<int, int>> cells;
    TCellSource onCell;
    if (!undecodable_.empty()) {
        for (const TUndecodableCell& entry : undecodable_)
            if (entry.source) cells.emplace(entry.source, std::pair{-1, -1});
        onCell = [&cells](const TdomNode* source, int row, int column) {
            const auto found = cells.find(source);
            if (found != cells.end()) found->second = {row, column};
        };
    }
    ReadNode(read, document, 0, &Memo1, onCell);
    TReadRows result;
    if (fatalError_) {
        // Never half a record: the one the error broke into is left out.
        TReadStop stop{fileName, fatalError_->line, fatalError_->reason, read.RecordCount,
                       fatalError_->insideRecord && read.RecordCount > 0};
        if (stop.recordCut) stop.records = read.RecordCount = read.RecordCount - 1;
        // Without a record, the line below says that nothing was read.
        if (stop.records > 0)
            addMessage(
                "Reading " + fileName + " stopped at line " + std::to_string(stop.line) + ": " + stop.reason + "; " +
                std::to_string(stop.records) + " records were read in full" +
                (stop.recordCut ? ", record " + std::to_string(stop.records + 1) + " was cut off and left out." : "."));
        LastReadStop = stop;
        result.stop = std::move(stop);
    }
    if (!undecodable_.empty()) reportUndecodable(cells, read.RecordCount);
    if (read.RecordCount == 0) {
        addMessage(nothingReadLine(fileName, parserMessageCount_ > parserMessagesBefore
                                                 ? "see the messages above"
                                                 : "it holds no \"format\" element"));
        return result;
    }
    result.baseRowChanged = read.row(0) != Table.row(base);
    result.rows = std::move(read.rows());
    result.rows.resize(static_cast<std::size_t>(read.RecordCount) + 1);
    return result;
}

void TMainFormCore::placeUndecodable(const TXmlInputSource& source, std::size_t textLength) {
    const std::vector<TXmlInputSource::TUndecodableBytes>& entries = source.undecodableBytes();
    std::size_t& placed = undecodablePlaced_[&source];
    // The text ends where the reader stands (or one unit before it).
    const std::int64_t end = source.unitsRead();
    const std::int64_t start = end - static_cast<std::int64_t>(textLength) - 1;
    TdomNode* element = XmlToDomParser->docBuilder()->currentNode();
    // The encoding as the file names it; without a usable name, the one the source read.
    if (!source.declaredEncoding().empty() && source.encodingProblem() == TEncodingProblem::none)
        undecodableEncoding_ = utf16ToUtf8(source.declaredEncoding());
    else
        undecodableEncoding_ = source.encoding() == TextEncoding::utf16le || source.encoding() == TextEncoding::utf16be
                                   ? "UTF-16"
                                   : "UTF-8";
    for (; placed < entries.size() && entries[placed].unit < end; ++placed) {
        const TdomNode* holder = nullptr;
        if (entries[placed].unit >= start) {
            holder = element;
        } else {
            // Before the text, in markup: an attribute value of an element still open, if one holds "・".
            for (TdomNode* node = element; node && !holder; node = node->parentNode()) {
                TdomNamedNodeMap* attributes = node->attributes();
                for (int i = 0; attributes && i < attributes->length() && !holder; ++i)
                    if (attributes->item(i)->nodeValue().find(cp932::kReplacementUnit) != std::u16string::npos)
                        holder = attributes->item(i);
            }
        }
        undecodable_.push_back({holder, entries[placed].bytes});
    }
}

void TMainFormCore::reportUndecodable(const std::unordered_map<const TdomNode*, std::pair<int, int>>& cells,
                                      int records) {
    constexpr std::size_t kMaxLines = 100;
    auto hex = [](const std::string& bytes) {
        std::string text;
        for (const char byte : bytes) {
            char two[4];
            std::snprintf(two, sizeof two, "%02X", static_cast<unsigned char>(byte));
            text += (text.empty() ? "" : " ") + std::string(two);
        }
        return text;
    };
    std::map<int, std::string> byRecord; // the cells of each record, "地点名 85 40"
    std::string elsewhere;
    for (const TUndecodableCell& entry : undecodable_) {
        const auto found = entry.source ? cells.find(entry.source) : cells.end();
        if (found == cells.end() || found->second.first < 0) {
            elsewhere += (elsewhere.empty() ? "" : ", ") + hex(entry.bytes);
            continue;
        }
        const auto [row, column] = found->second;
        if (row > records) continue; // the record cut off by a fatal error was left out
        std::string& line = byRecord[row];
        line += (line.empty() ? "" : ", ") + std::string(columnHeaderUtf8(column)) + " " + hex(entry.bytes);
    }
    std::size_t lines = 0;
    for (const auto& [row, cellsText] : byRecord) {
        if (++lines > kMaxLines) break;
        addMessage((row == 0 ? std::string("Before the first record") : "Record " + std::to_string(row)) +
                   ": bytes that are no " + undecodableEncoding_ + " character were read as \"・\": " + cellsText);
    }
    if (byRecord.size() > kMaxLines)
        addMessage("... and " + std::to_string(byRecord.size() - kMaxLines) + " more records with such bytes");
    if (!elsewhere.empty())
        addMessage("Bytes that are no " + undecodableEncoding_ +
                   " character were read as \"・\" outside the values: " + elsewhere);
}

TMainFormCore::TReadRows TMainFormCore::readCsvFile(const std::string& fileName, bool replace) {
    TCsvText text = readCsvText(fileName);
    for (const std::string& line : text.messages) addMessage(line);
    std::vector<std::string> fieldMessages;
    TReadRows result;
    // Row 0 is the header line: a loaded file's becomes the table's; an added file's is not a record.
    result.rows = csvRowsInBlocks(text, 0, fileName, fieldMessages,
                                  [this](std::int64_t done, std::int64_t total) { reportProgress(done, total); });
    result.baseRowChanged = replace;
    for (const std::string& line : fieldMessages) addMessage(line);
    if (result.rows.size() < 2) {
        addMessage(
            nothingReadLine(fileName, text.lines.empty() ? "the file is empty" : "it holds only its header line"));
        result.rows.clear();
    }
    return result;
}

void TMainFormCore::fitRowsToRecords(TEditStep& step) {
    const int target = std::max(Table.RecordCount + 1, 1);
    const int count = Table.rowCount();
    std::vector<int> indices;
    for (int r = std::min(target, count); r < std::max(target, count); ++r) indices.push_back(r);
    if (count > target) step.apply(removeRowsChange(std::move(indices)));
    if (count < target) step.apply(insertRowsChange(std::move(indices), std::vector<TPointMarkRow>(target - count)));
}

int TMainFormCore::readInto(TEditStep& step, const std::string& fileName, bool replace, const TAddFilter& filter) {
    TReadRows read = readRows(fileName, replace);
    if (read.rows.size() < 2) return 0;
    if (read.stop && OnReadStopped && !OnReadStopped(*read.stop, replace)) {
        addMessage("The records read from " + fileName + " were not taken; the table is unchanged.");
        return 0;
    }
    if (filter) keepChosenRecords(read.rows, filter);
    const int records = static_cast<int>(read.rows.size()) - 1;
    if (records == 0) return 0; // every record was left out: the table stays as it was
    if (replace) {
        if (!read.baseRowChanged) read.rows[0] = Table.row(0);
        step.apply(replaceRowsChange(std::move(read.rows)));
        Table.RecordCount = records;
        return records;
    }
    const int base = Table.RecordCount;
    if (read.baseRowChanged && base >= 0 && base < Table.rowCount()) {
        std::vector<TCellValue> changed;
        for (int c = 0; c < kColumnCount; ++c)
            if (read.rows[0][c] != Table.cell(c, base)) changed.push_back({c, base, std::string(read.rows[0][c])});
        step.apply(cellsChange(std::move(changed)));
    }
    read.rows.erase(read.rows.begin());
    fitRowsToRecords(step);
    std::vector<int> indices(read.rows.size());
    for (int i = 0; i < records; ++i) indices[i] = base + 1 + i;
    step.apply(insertRowsChange(std::move(indices), std::move(read.rows)));
    Table.RecordCount = base + records;
    return records;
}

template <typename Make> bool TMainFormCore::edit(Make&& make) {
    TEditStep step(Table);
    try {
        make(step);
    } catch (...) {
        // A command that fails half-way takes back what it did.
        step.toggle(true);
        throw;
    }
    if (step.empty()) return false;
    History.record(std::move(step));
    Modified = !History.atSavedState();
    RowsLeftOut.clear();
    return true;
}

int TMainFormCore::LoadFile(const std::string& fileName, const TAddFilter& filter) {
    int records = 0;
    edit([&](TEditStep& step) { records = readInto(step, fileName, false, filter); });
    return records;
}

TSaveReport TMainFormCore::SaveFile(const std::string& fileName) {
    TSaveReport report;
    if (OnFewerRecords && (hasCsvEnding(fileName) || hasXmlEnding(fileName))) {
        int writing = Table.rowCount() - 1;
        if (hasXmlEnding(fileName))
            writing = static_cast<int>(std::count_if(Table.rows().begin() + 1, Table.rows().end(),
                                                     [](const TPointMarkRow& row) { return isWritableRecord(row); }));
        const int held = recordsInFile(fileName);
        if (writing < held && !OnFewerRecords(fileName, held, writing)) {
            report.written = false;
            return report;
        }
    }
    if (hasCsvEnding(fileName)) {
        // CSV writing: every row, header row included.
        saveCsvFile(Table, fileName);
    } else if (hasXmlEnding(fileName)) {
        report = writePointMarkFile(Table, fileName);
    } else {
        throw EFCreateError("Cannot create file \"" + fileName +
                            "\". The name must end in .xml or .csv to choose the file's format");
    }
    if (report.skippedRows.empty()) {
        History.markSaved();
        Modified = false;
        RowsLeftOut.clear();
    } else {
        // The table holds rows that the file does not: no state matches the file.
        History.forgetSavedState();
        Modified = true;
        RowsLeftOut = report.skippedRows;
    }
    return report;
}

int TMainFormCore::FileLoadXMLClick(const std::string& fileName) {
    beginRead();
    const bool untitledAndEmpty = CurrentFileName.empty() && !holdsData();
    int records = 0;
    edit([&](TEditStep& step) { records = readInto(step, fileName, true); });
    if (records == 0) return 0;
    Table.StatusText = "load: " + fileName;
    CurrentFileName = fileName;
    History.markSaved();
    Modified = false;
    // Undoing a load into nothing would only empty the table again.
    if (untitledAndEmpty) History.forgetSteps();
    return records;
}

int TMainFormCore::FileAddClick(const std::string& fileName, const TAddFilter& filter) {
    beginRead();
    const int records = LoadFile(fileName, filter);
    if (records > 0) Table.StatusText = "add: " + fileName;
    return records;
}

TSaveReport TMainFormCore::FileSaveXMLClick(const std::string& fileName) {
    TSaveReport report = SaveFile(fileName);
    if (!report.written) return report;
    Table.StatusText = "save: " + fileName;
    CurrentFileName = fileName;
    return report;
}

void TMainFormCore::EditUndoClick() {
    if (History.undo()) RowsLeftOut.clear();
    Modified = !History.atSavedState();
}

void TMainFormCore::EditRedoClick() {
    if (History.redo()) RowsLeftOut.clear();
    Modified = !History.atSavedState();
}

void TMainFormCore::EditAddClick() {
    edit([&](TEditStep& step) {
        fitRowsToRecords(step);
        step.apply(insertRowsChange({Table.rowCount()}, std::vector<TPointMarkRow>(1)));
        Table.RecordCount = Table.RecordCount + 1;
    });
}

void TMainFormCore::EditInsertClick(int row) {
    edit([&](TEditStep& step) {
        fitRowsToRecords(step);
        const int at = std::clamp(row, Table.fixedRows(), Table.rowCount());
        step.apply(insertRowsChange({at}, std::vector<TPointMarkRow>(1)));
        Table.RecordCount = Table.RecordCount + 1;
    });
}

void TMainFormCore::EditDeleteClick() {
    // A selected row outside the data rows raises the list's index error (DeleteGridRow checks the
    // index before it changes anything), as the delete always has.
    const int dataIndex = Table.SelectedRow - Table.fixedRows();
    if (dataIndex < 0 || dataIndex >= Table.rowCount() - Table.fixedRows()) DeleteGridRow(Table, dataIndex);
    EditDeleteRows({Table.SelectedRow});
}

void TMainFormCore::EditDeleteRows(std::vector<int> rows) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    rows.erase(
        std::remove_if(rows.begin(), rows.end(), [&](int r) { return r < Table.fixedRows() || r >= Table.rowCount(); }),
        rows.end());
    if (rows.empty()) return;
    edit([&](TEditStep& step) {
        const int remaining = Table.RecordCount - static_cast<int>(rows.size());
        if (static_cast<int>(rows.size()) >= Table.rowCount()) {
            // Every row goes: keep the first and empty it (a table keeps at least one row).
            rows.erase(rows.begin());
        }
        step.apply(removeRowsChange(std::move(rows)));
        // The last remaining record is emptied instead of removed.
        Table.RecordCount = std::max(remaining, 1);
        fitRowsToRecords(step);
        if (remaining < 1 && Table.rowCount() > 1) {
            std::vector<TCellValue> cleared;
            for (int c = 0; c < kColumnCount; ++c)
                if (!Table.cell(c, 1).empty()) cleared.push_back({c, 1, std::string()});
            step.apply(cellsChange(std::move(cleared)));
        }
    });
}

void TMainFormCore::EditSortClick(int column, bool descending) {
    std::vector<std::size_t> order = sortedDataRowOrder(Table, column, descending);
    bool moves = false;
    for (std::size_t k = 0; k < order.size() && !moves; ++k) moves = order[k] != k;
    if (!moves) return;
    edit([&](TEditStep& step) { step.apply(reorderChange(std::move(order))); });
}

bool TMainFormCore::IsSortedBy(int column, bool descending) const {
    const int first = Table.fixedRows();
    if (column < 0 || column >= kColumnCount || Table.rowCount() - first < 2) return false;
    // Neighbours compared by their keys; an unsorted table is told at its first pair out of order.
    std::string previous = localeSortKey(Table.cell(column, first));
    for (int r = first + 1; r < Table.rowCount(); ++r) {
        std::string key = localeSortKey(Table.cell(column, r));
        if (descending ? key > previous : key < previous) return false;
        previous = std::move(key);
    }
    return true;
}

bool TMainFormCore::EditReplaceClick(TCellPos cell, std::u16string_view text, std::u16string_view replacement,
                                     const TMatchOptions& options) {
    const std::string bytes = representableCell(replacement);
    if (cell.row < Table.fixedRows() || cell.row >= Table.rowCount() || cell.column < 0 || cell.column >= kColumnCount)
        return false;
    const std::optional<std::string> value =
        TCellMatcher(text, options).replaced(Table.cell(cell.column, cell.row), bytes);
    if (!value || *value == Table.cell(cell.column, cell.row)) return false;
    StringGridXMLSetEditText(cell.column, cell.row, *value);
    return true;
}

int TMainFormCore::EditReplaceAllClick(std::u16string_view text, std::u16string_view replacement,
                                       const TMatchOptions& options, const TSearchScope& scope) {
    const std::string bytes = representableCell(replacement);
    int changed = 0;
    edit([&](TEditStep& step) {
        TReplaceAll replaced = replaceAll(Table, TCellMatcher(text, options), bytes, scope, &SearchCache);
        changed = replaced.cells;
        if (replaced.change) step.apply(std::move(replaced.change));
    });
    return changed;
}

void TMainFormCore::StringGridXMLSetEditText(int column, int row, const std::string& value) {
    if (Table.cell(column, row) == value) return;
    edit([&](TEditStep& step) { step.apply(cellsChange({{column, row, value}})); });
}

void TMainFormCore::EditPaste(int column, int row, const std::vector<std::vector<std::string>>& block) {
    if (row < Table.fixedRows()) return;
    std::vector<int> rows(block.size());
    for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = row + static_cast<int>(i);
    EditPasteRows(column, rows, block);
}

void TMainFormCore::EditPasteRows(int column, const std::vector<int>& rows,
                                  const std::vector<std::vector<std::string>>& block) {
    if (block.empty() || column < 0 || column >= kColumnCount) return;
    edit([&](TEditStep& step) {
        std::vector<int> targets;
        int lastRow = Table.RecordCount;
        for (const int r : rows) {
            if (targets.size() == block.size()) break;
            if (r < Table.fixedRows() || r >= Table.rowCount()) continue;
            targets.push_back(r);
            lastRow = std::max(lastRow, r);
        }
        while (targets.size() < block.size()) targets.push_back(++lastRow);
        if (lastRow > Table.RecordCount) {
            Table.RecordCount = lastRow;
            fitRowsToRecords(step);
        } else if (lastRow >= Table.rowCount()) {
            fitRowsToRecords(step);
        }
        std::vector<TCellValue> values;
        for (std::size_t i = 0; i < block.size(); ++i)
            for (std::size_t j = 0; j < block[i].size() && column + static_cast<int>(j) < kColumnCount; ++j) {
                const int c = column + static_cast<int>(j);
                if (Table.cell(c, targets[i]) != block[i][j]) values.push_back({c, targets[i], block[i][j]});
            }
        step.apply(cellsChange(std::move(values)));
    });
}

void TMainFormCore::EditClearCells(const std::vector<std::pair<int, int>>& cells) {
    EditFillCells(cells, std::string());
}

void TMainFormCore::EditFillCells(const std::vector<std::pair<int, int>>& cells, const std::string& value) {
    edit([&](TEditStep& step) {
        std::vector<TCellValue> values;
        for (const auto& [column, row] : cells)
            if (row >= Table.fixedRows() && row < Table.rowCount() && column >= 0 && column < kColumnCount &&
                Table.cell(column, row) != value)
                values.push_back({column, row, value});
        step.apply(cellsChange(std::move(values)));
    });
}

void TMainFormCore::StringGridXMLSelectCell(int /*column*/, int row) { Table.SelectedRow = row; }

bool TMainFormCore::StringGridXMLKeyDown(int& column, int& row) const {
    if (column < Table.colCount() - 1) {
        ++column;
        return true;
    }
    if (row < Table.rowCount() - 1) {
        ++row;
        column = 1;
        return true;
    }
    return false;
}

void TMainFormCore::DropFiles(const std::vector<std::string>& fileNames, const TAddFilter& filter) {
    beginRead();
    // One step for the whole drop; a file that fails does not stop the others.
    std::exception_ptr firstFailure;
    edit([&](TEditStep& step) {
        for (const std::string& name : fileNames) {
            try {
                readInto(step, name, false, filter);
            } catch (...) {
                if (!firstFailure) firstFailure = std::current_exception();
            }
        }
    });
    if (firstFailure) std::rethrow_exception(firstFailure);
}

std::vector<TDatumSkip> TMainFormCore::EditConvertDatum(const std::vector<int>& rows, TDatum target) {
    TDatumConversion conversion = convertDatum(Table, rows, target, datumTransform());
    if (!conversion.values.empty())
        edit([&](TEditStep& step) { step.apply(cellsChange(std::move(conversion.values))); });
    return std::move(conversion.skipped);
}

TDatumTransform& TMainFormCore::datumTransform() {
    if (!datumTransform_) datumTransform_ = std::make_unique<TDatumTransform>();
    return *datumTransform_;
}

std::string TMainFormCore::Timer1Timer() const {
    return "     " + std::to_string(Table.SelectedRow) + " / " + std::to_string(Table.RecordCount) + "       " +
           Table.StatusText;
}
