#include "app/main_form.h"

#include "app/common.h"
#include "app/csv_file.h"
#include "app/point_mark_reader.h"
#include "app/point_mark_writer.h"
#include "dom/document.h"
#include "dom/implementation.h"
#include "parser/parser_error.h"
#include "parser/xml_to_dom_parser.h"

namespace {

bool endsWith(const std::string& text, const char* ending) {
    const std::string_view tail(ending);
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
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
    XmlToDomParser->OnExternalSubset = [](void*, const std::u16string& parentSystemId, std::u16string& publicId,
                                          std::u16string& systemId, TStream*& stream, TXmlParserAction& action) {
        ResolveExternalSubset(parentSystemId, publicId, systemId, stream, action);
    };
    auto message = [this](TXmlToDomParser* parser, TXmlParserError& e) { ParserMessage(parser, e); };
    XmlToDomParser->OnError = message;
    XmlToDomParser->OnFatalError = message;
    XmlToDomParser->OnWarning = message;

    Table.writeHeaderRow();
    Table.SelectedRow = 1;
    Table.RecordCount = 1;
}

void TMainFormCore::LoadFile(const std::string& fileName) {
    // One update, so a view redraws once after the whole file instead of once per cell.
    TTableUpdate update(Table);
    if (hasCsvEnding(fileName)) {
        // CSV reading: the whole file replaces the table.
        loadCsvFile(Table, fileName);
    }
    if (hasXmlEnding(fileName)) {
        // Point-mark reading: the file's records are written from row RecordCount + 1 on.
        ++XmlReadCount;
        Memo1.clear();
        DomImplementation->releaseAll();
        TdomDocument* document = XmlToDomParser->fileToDocument(fileName);
        ReadNode(Table, document, 0);
    }
}

void TMainFormCore::ParserMessage(TXmlToDomParser* /*xmlToDomParser*/, TXmlParserError& e) {
    Memo1.push_back(ParserMessageLine(e));
}

std::vector<int> TMainFormCore::SaveFile(const std::string& fileName) {
    std::vector<int> skipped;
    if (hasCsvEnding(fileName)) {
        // CSV writing: every row, header row included.
        saveCsvFile(Table, fileName);
    }
    if (hasXmlEnding(fileName)) skipped = writePointMarkFile(Table, fileName);
    return skipped;
}

void TMainFormCore::FileLoadXMLClick(const std::string& fileName) {
    Table.StatusText = "load: " + fileName;
    const std::int32_t records = Table.RecordCount;
    Table.RecordCount = 0;
    try {
        LoadFile(fileName);
    } catch (...) {
        // Nothing was read: the table still shows its records, and with the count left at 0 the
        // next add would write over them.
        Table.RecordCount = records;
        throw;
    }
}

void TMainFormCore::FileAddClick(const std::string& fileName) {
    Table.StatusText = "add: " + fileName;
    LoadFile(fileName);
}

std::vector<int> TMainFormCore::FileSaveXMLClick(const std::string& fileName) {
    Table.StatusText = "save: " + fileName;
    return SaveFile(fileName);
}

void TMainFormCore::EditAddClick() {
    Table.RecordCount = Table.RecordCount + 1;
    Table.setRowCount(Table.RecordCount + 1);
    Table.clearRow(Table.rowCount() - 1);
}

void TMainFormCore::EditDeleteClick() {
    // The selected row's data index: SelectedRow - 1 while the table has its header row. Without
    // it row 0 is data too, and SelectedRow - 1 would remove the record above the selected one.
    DeleteGridRow(Table, Table.SelectedRow - Table.fixedRows());
    if (Table.RecordCount > 1) {
        Table.RecordCount = Table.RecordCount - 1;
        Table.setRowCount(Table.RecordCount + 1);
    } else if (Table.rowCount() > 1) {
        Table.clearRow(1);
    }
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
    for (const std::string& name : fileNames) LoadFile(name);
}

std::string TMainFormCore::Timer1Timer() const {
    return "     " + std::to_string(Table.SelectedRow) + " / " + std::to_string(Table.RecordCount) + "       " +
           Table.StatusText;
}
