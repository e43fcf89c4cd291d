#include "app/main_form.h"

#include <algorithm>
#include <exception>
#include <iterator>
#include <utility>

#include "app/built_in_dtd.h"
#include "app/common.h"
#include "app/csv_file.h"
#include "app/point_mark_reader.h"
#include "dom/document.h"
#include "dom/implementation.h"
#include "parser/doc_builder.h"
#include "parser/locator.h"
#include "parser/parser_error.h"
#include "parser/xml_to_dom_parser.h"
#include "text/code_page_932.h"
#include "text/exception.h"
#include "text/input_source.h"
#include "text/stream.h"
#include "text/utf8.h"

namespace {

bool endsWith(const std::string& text, const char* ending) {
    const std::string_view tail(ending);
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Whether a system identifier names the DTD that the editor carries itself.
bool namesBuiltInDtd(const std::u16string& systemId) {
    const std::string name = utf16ToUtf8(systemId);
    const std::size_t slash = name.rfind('/');
    return std::string_view(name).substr(slash == std::string::npos ? 0 : slash + 1) == kBuiltInDtdName;
}

std::string nothingReadLine(const std::string& fileName, const std::string& reason) {
    return "No record was read from " + fileName + "; the table is unchanged (" + reason + ").";
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

} // namespace

bool hasCsvEnding(const std::string& fileName) { return endsWith(fileName, ".csv") || endsWith(fileName, ".CSV"); }

bool hasXmlEnding(const std::string& fileName) { return endsWith(fileName, ".xml") || endsWith(fileName, ".XML"); }

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
    XmlToDomParser->OnFatalError = message;
    XmlToDomParser->OnWarning = message;
    // The builder's text event comes with every value of a point-mark file: often enough to tell
    // how far the parser has read the file, and a place to stop a read that is no longer wanted.
    XmlToDomParser->docBuilder()->OnPCDATA = [this](TXmlCustomProcessorAgent*, TdomStandardLocator* locator,
                                                    std::u16string&) {
        if (!OnProgress || !locator || !locator->inputSource()) return;
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
}

int TMainFormCore::readFile(const std::string& fileName, int base, bool csvHeaderIsRow) {
    progressReported_ = -1;
    try {
        if (hasCsvEnding(fileName)) return readCsvFile(fileName, base, csvHeaderIsRow);
        if (hasXmlEnding(fileName)) return readPointMarkFile(fileName, base);
        throw EFOpenError("Cannot open file \"" + fileName + "\". The name ends in neither .xml/.XML nor .csv/.CSV");
    } catch (const TReadCancelled&) {
        addMessage("Reading " + fileName + " was cancelled; the table is unchanged.");
        return 0;
    } catch (const std::exception& e) {
        addMessage(nothingReadLine(fileName, e.what()));
        throw;
    }
}

int TMainFormCore::readPointMarkFile(const std::string& fileName, int base) {
    // The records are read into a table of their own and moved over only when there are any, so
    // that a file that gives none (a missing DTD, a broken file, no "format" element, an
    // exception) leaves the table as it was. Its row 0 stands for row base, which receives any
    // value that comes before the first record.
    TPointMarkTable read;
    read.setRow(0, Table.row(base));
    read.RecordCount = 0;
    DomImplementation->releaseAll();
    const int parserMessagesBefore = parserMessageCount_;
    TdomDocument* document = XmlToDomParser->fileToDocument(fileName);
    ReadNode(read, document, 0, &Memo1);
    const int records = read.RecordCount;
    if (records == 0) {
        addMessage(nothingReadLine(fileName, parserMessageCount_ > parserMessagesBefore ? "see the messages above"
                                                                           : "it holds no \"format\" element"));
        return 0;
    }
    TTableUpdate update(Table);
    Table.setRowCount(base + records + 1);
    std::vector<TPointMarkRow>& rows = Table.rows();
    std::vector<TPointMarkRow>& readRows = read.rows();
    for (int i = 0; i <= records; ++i) rows[static_cast<std::size_t>(base + i)] = std::move(readRows[i]);
    Table.notifyRowsChanged(base, base + records);
    Table.RecordCount = base + records;
    return records;
}

int TMainFormCore::readCsvFile(const std::string& fileName, int base, bool headerIsRow) {
    TCsvText text = readCsvText(fileName);
    for (const std::string& line : text.messages) addMessage(line);
    std::vector<std::string> fieldMessages;
    std::vector<TPointMarkRow> rows =
        csvRowsInBlocks(text, headerIsRow ? 0 : 1, fileName, fieldMessages,
                        [this](std::int64_t done, std::int64_t total) { reportProgress(done, total); });
    for (const std::string& line : fieldMessages) addMessage(line);
    const int records = static_cast<int>(rows.size()) - (headerIsRow ? 1 : 0);
    if (records <= 0) {
        addMessage(nothingReadLine(fileName, text.lines.empty() ? "the file is empty" : "it holds only its header line"));
        return 0;
    }
    // The header line of a loaded file becomes row 0 (when the table has its header row, as
    // always but after the row count was once 1); an added file's records follow row base.
    const int first = headerIsRow ? 0 : base + 1;
    TTableUpdate update(Table);
    Table.setRowCount(first + static_cast<int>(rows.size()));
    std::vector<TPointMarkRow>& tableRows = Table.rows();
    for (std::size_t i = 0; i < rows.size(); ++i) tableRows[first + i] = std::move(rows[i]);
    Table.notifyRowsChanged(first, Table.rowCount() - 1);
    Table.RecordCount = Table.rowCount() - 1;
    return records;
}

int TMainFormCore::LoadFile(const std::string& fileName) {
    // One update, so a view redraws once after the whole file instead of once per cell.
    TTableUpdate update(Table);
    return readFile(fileName, Table.RecordCount, false);
}

TSaveReport TMainFormCore::SaveFile(const std::string& fileName) {
    TSaveReport report;
    if (hasCsvEnding(fileName)) {
        // CSV writing: every row, header row included.
        saveCsvFile(Table, fileName);
    } else if (hasXmlEnding(fileName)) {
        report = writePointMarkFile(Table, fileName);
    } else {
        throw EFCreateError("Cannot create file \"" + fileName +
                            "\". The name must end in .xml or .csv to choose the file's format");
    }
    Modified = false;
    return report;
}

int TMainFormCore::FileLoadXMLClick(const std::string& fileName) {
    beginRead();
    TTableUpdate update(Table);
    const int records = readFile(fileName, 0, true);
    if (records == 0) return 0;
    Table.StatusText = "load: " + fileName;
    CurrentFileName = fileName;
    Modified = false;
    return records;
}

int TMainFormCore::FileAddClick(const std::string& fileName) {
    beginRead();
    const int records = LoadFile(fileName);
    if (records == 0) return 0;
    Table.StatusText = "add: " + fileName;
    Modified = true;
    return records;
}

TSaveReport TMainFormCore::FileSaveXMLClick(const std::string& fileName) {
    TSaveReport report = SaveFile(fileName);
    Table.StatusText = "save: " + fileName;
    CurrentFileName = fileName;
    return report;
}

void TMainFormCore::EditAddClick() {
    Table.RecordCount = Table.RecordCount + 1;
    Table.setRowCount(Table.RecordCount + 1);
    Table.clearRow(Table.rowCount() - 1);
    Modified = true;
}

void TMainFormCore::EditDeleteClick() {
    // The selected row's data index: SelectedRow - 1 while the table has its header row. Without
    // it row 0 is data too, and SelectedRow - 1 would remove the record above the selected one.
    DeleteGridRow(Table, Table.SelectedRow - Table.fixedRows());
    Modified = true;
    if (Table.RecordCount > 1) {
        Table.RecordCount = Table.RecordCount - 1;
        Table.setRowCount(Table.RecordCount + 1);
    } else if (Table.rowCount() > 1) {
        Table.clearRow(1);
    }
}

void TMainFormCore::EditSortClick(int column) {
    SortGridRows(Table, column);
    Modified = true;
}

void TMainFormCore::StringGridXMLSetEditText(int column, int row, const std::string& value) {
    if (Table.cell(column, row) == value) return;
    Table.setCell(column, row, value);
    Modified = true;
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

void TMainFormCore::DropFiles(const std::vector<std::string>& fileNames) {
    beginRead();
    std::exception_ptr firstFailure;
    for (const std::string& name : fileNames) {
        try {
            if (LoadFile(name) > 0) Modified = true;
        } catch (...) {
            if (!firstFailure) firstFailure = std::current_exception();
        }
    }
    if (firstFailure) std::rethrow_exception(firstFailure);
}

std::string TMainFormCore::Timer1Timer() const {
    return "     " + std::to_string(Table.SelectedRow) + " / " + std::to_string(Table.RecordCount) + "       " +
           Table.StatusText;
}
