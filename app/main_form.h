#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/point_mark_table.h"

class TDomImplementation;
class TXmlParserError;
class TXmlToDomParser;

// The main window's state and commands without a toolkit. The window asks for file names,
// forwards its events here and redraws; tests drive the commands directly. File names are the
// file system's bytes (UTF-8).
class TMainFormCore {
public:
    // Runs FormCreate.
    TMainFormCore();
    ~TMainFormCore();
    TMainFormCore(const TMainFormCore&) = delete;
    TMainFormCore& operator=(const TMainFormCore&) = delete;

    // The point-mark table with its companions RecordCount, SelectedRow and StatusText.
    TPointMarkTable Table;

    // The XML processor used by point-mark reading: the DOM implementation owns the document of
    // the last XML read until the next one; the parser front builds documents in it. Declared in
    // this order so that the parser front goes first.
    std::unique_ptr<TDomImplementation> DomImplementation;
    std::unique_ptr<TXmlToDomParser> XmlToDomParser;
    // The parser's messages of the latest XML read, one English line each (code page 932 bytes),
    // in the order they were reported. Emptied at the start of every XML read.
    std::vector<std::string> Memo1;
    // Number of XML reads begun so far, so that a window can tell whether a command read XML.
    int XmlReadCount = 0;

    // Start-up state: the XML processor created and connected, header texts in row 0,
    // SelectedRow 1, RecordCount 1.
    void FormCreate();
    // Appends the English message line of e to Memo1 (bound to the parser's error events).
    void ParserMessage(TXmlToDomParser* xmlToDomParser, TXmlParserError& e);

    // Reads a file by the end of its name: ".csv"/".CSV" as CSV, ".xml"/".XML" as a point-mark
    // file; any other name is ignored without a report. A point-mark file's records are written
    // from row RecordCount + 1 on; its DTD is taken from the file's directory.
    void LoadFile(const std::string& fileName);
    // Writes by the end of the name like LoadFile. Returns the rows left out of a point-mark
    // file for an empty required cell (table row indices, ascending); empty otherwise.
    std::vector<int> SaveFile(const std::string& fileName);

    // Load command with the chosen file name: StatusText "load: NAME", RecordCount 0, LoadFile.
    void FileLoadXMLClick(const std::string& fileName);
    // Add command: StatusText "add: NAME", LoadFile; RecordCount stays, so records are appended.
    void FileAddClick(const std::string& fileName);
    // Save command: StatusText "save: NAME", SaveFile. Returns SaveFile's skipped rows.
    std::vector<int> FileSaveXMLClick(const std::string& fileName);
    // Add item: one more record row, emptied, at the end.
    void EditAddClick();
    // Delete: removes the selected row (also when the table has lost its header row); the last
    // remaining record is emptied instead.
    void EditDeleteClick();

    // The grid selected the cell (column, row): SelectedRow := row.
    void StringGridXMLSelectCell(int column, int row);
    // Enter in the grid at (column, row): moves to the next column, or from the last column to
    // column 1 of the next row. Returns false (position unchanged) at the last cell of the last row.
    bool StringGridXMLKeyDown(int& column, int& row) const;
    // Files dropped on the window: LoadFile for each, in the order given.
    void DropFiles(const std::vector<std::string>& fileNames);

    // The status line: five blanks, SelectedRow, " / ", RecordCount, seven blanks, StatusText (UTF-8).
    std::string Timer1Timer() const;
};

// True when the name ends in ".csv" or ".CSV" (".xml" or ".XML"); other letter cases do not count.
bool hasCsvEnding(const std::string& fileName);
bool hasXmlEnding(const std::string& fileName);
