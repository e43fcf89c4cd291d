#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "app/cell_search.h"
#include "app/datum_conversion.h"
#include "app/edit_history.h"
#include "app/point_mark_table.h"
#include "app/point_mark_writer.h"

class TDomImplementation;
class TdomNode;
class TXmlInputSource;
class TXmlParserError;
class TXmlToDomParser;

// Where reading a point-mark file stopped at a fatal error of the XML parser.
struct TReadStop {
    std::string fileName;
    int line = 0;           // of the error; 0 when unknown
    std::string reason;     // the parser's English reason (UTF-8)
    int records = 0;        // whole records read before the error
    bool recordCut = false; // the record the error broke into was left out
};

// The main window's state and commands without a toolkit. The window asks for file names,
// forwards its events here and redraws; tests drive the commands directly. File names are the
// file system's bytes (UTF-8).
//
// No command loses a point: a load or add that reads no record leaves the table exactly as it
// was (rows, cells, RecordCount, SelectedRow) and says why in Memo1; the status line changes only
// when its command succeeded.
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
    // The messages of the latest read command, one English line each (code page 932 bytes), in
    // the order they arose: the XML parser's, those of CSV reading, and a last line when nothing
    // was read. Emptied at the start of every read command.
    std::vector<std::string> Memo1;
    // Number of read commands begun so far, so that a window can tell whether a command read a file.
    int ReadCount = 0;

    // Every change of the table, for undo and redo; loads and saves mark the state that matches a file.
    TEditHistory History;
    // True while the table differs from the state of the last save or load (undoing back to it
    // clears the flag again).
    bool Modified = false;
    // The file of the last successful load or save (empty at start-up).
    std::string CurrentFileName;
    // Asked while a read command reads a file: done of total bytes so far. An answer of false
    // cancels the read: the table stays exactly as it was and Memo1 says so. Empty: never asked.
    std::function<bool(std::int64_t done, std::int64_t total)> OnProgress;
    // Where the latest read command's reading stopped at a fatal error (none when it read to the end).
    std::optional<TReadStop> LastReadStop;
    // Asked when a file read to a fatal error gave records, before they change the table (replace:
    // they would replace the table's records; else they would be added). An answer of false leaves
    // the table as it was. Empty: the records read are taken.
    std::function<bool(const TReadStop& stop, bool replace)> OnReadStopped;
    // Asked before a save writes fewer records over an existing file than the file holds; an
    // answer of false writes nothing. Empty: never asked.
    std::function<bool(const std::string& fileName, int recordsInFile, int recordsToWrite)> OnFewerRecords;
    // The table rows that the latest save left out of its file, while the table has not changed since.
    std::vector<int> RowsLeftOut;

    // Start-up state: the XML processor created and connected, header texts in row 0,
    // SelectedRow 1, RecordCount 1.
    void FormCreate();
    // Appends the English message line of e to Memo1 (bound to the parser's error events).
    void ParserMessage(TXmlToDomParser* xmlToDomParser, TXmlParserError& e);

    // Chooses which records of a file being added go into the table: given the file's records in
    // order, answers one flag per record (true: add it). Called once per file, after the file was
    // read and before the table changes, so that the window can look for duplicates
    // (findDuplicatesOf) and ask the user; the records kept are added as one step. An answer of
    // another length raises std::invalid_argument and the file adds nothing.
    using TAddFilter = std::function<std::vector<bool>(const std::vector<TPointMarkRow>& records)>;
    // Reads a file by the end of its name (".csv"/".CSV", ".xml"/".XML") and appends its records
    // (those the filter keeps) after row RecordCount; a CSV file's first line is its header and is
    // not added. Returns the number of records added; with none read, the table is unchanged and
    // Memo1 says why. A name with neither ending raises EFOpenError; so does a file that cannot be
    // read (the table is then unchanged too). A point-mark file's DTD is taken from the file's
    // directory, or from the built-in definition when it is not there.
    int LoadFile(const std::string& fileName, const TAddFilter& filter = {});
    // Writes by the end of the name: CSV (every row) or a point-mark file. A name with neither
    // ending raises EFCreateError and writes nothing. Writing fewer records over a file than it
    // holds is asked first (OnFewerRecords); the report's written is false when it was declined.
    // Clears Modified, unless rows were left out: the table then holds what the file does not.
    TSaveReport SaveFile(const std::string& fileName);

    // Load command: the file's records replace the table's (a CSV file's header line becomes row
    // 0). On success StatusText "load: NAME", the file becomes the current file and Modified is
    // cleared; without a record nothing changes. Returns the number of records read. A load into
    // an empty untitled table is not a step of the history: undo stops at the file as loaded.
    int FileLoadXMLClick(const std::string& fileName);
    // Add command: the file's records (those the filter keeps) are appended. On success StatusText
    // "add: NAME" and Modified.
    int FileAddClick(const std::string& fileName, const TAddFilter& filter = {});
    // Save command: SaveFile, then StatusText "save: NAME" and the file becomes the current file
    // (neither when the save was declined).
    TSaveReport FileSaveXMLClick(const std::string& fileName);
    // Undo and redo: take back the last change of the table, or make the last one undone again.
    void EditUndoClick();
    void EditRedoClick();
    // Add item: one more record row, emptied, at the end.
    void EditAddClick();
    // Insert: an empty record at table row row (before the row there), the rows below move down.
    void EditInsertClick(int row);
    // Delete: removes the selected row (also when the table has lost its header row); the last
    // remaining record is emptied instead.
    void EditDeleteClick();
    // Removes the given table rows at once (header row and rows outside the table are ignored);
    // when no record would remain, one empty record stays.
    void EditDeleteRows(std::vector<int> rows);
    // Sort: the records ordered by a column (Japanese order, case ignored), or in the reverse
    // order (rows with equal cells keeping their order).
    void EditSortClick(int column, bool descending = false);
    // True when the records stand in the order that sort would give them (with at least two records).
    bool IsSortedBy(int column, bool descending) const;
    // Replace: every match of text in the cell (column, row) of a data row becomes replacement
    // (with wholeCell: the cell becomes it), as one step. False when nothing changed. Replacement
    // text that code page 932 lacks raises EUnrepresentableText and changes nothing.
    bool EditReplaceClick(TCellPos cell, std::u16string_view text, std::u16string_view replacement,
                          const TMatchOptions& options);
    // Replace all: the same in every cell of the scope, as one step. Returns the number of cells changed.
    int EditReplaceAllClick(std::u16string_view text, std::u16string_view replacement, const TMatchOptions& options,
                            const TSearchScope& scope = {});
    // Normalized cell texts for finds, filters and replacements with the Japanese option.
    TFoldedCells SearchCache;
    // An edit of one cell in place (code page 932 bytes). An unchanged text changes nothing.
    void StringGridXMLSetEditText(int column, int row, const std::string& value);
    // Pastes a block of cells (rows of code page 932 cells) with its top left cell at (column,
    // row); cells beyond the last column are dropped, rows beyond the last record add records.
    void EditPaste(int column, int row, const std::vector<std::vector<std::string>>& block);
    // The same onto the given table rows, as a filtered view shows them: block row i onto rows[i];
    // the block rows beyond the list add records after the last record.
    void EditPasteRows(int column, const std::vector<int>& rows, const std::vector<std::vector<std::string>>& block);
    // Empties the given cells (column, row); the header row is left alone.
    void EditClearCells(const std::vector<std::pair<int, int>>& cells);
    // Writes one value into each of the given cells (a single pasted value over a selection).
    void EditFillCells(const std::vector<std::pair<int, int>>& cells, const std::string& value);

    // The grid selected the cell (column, row): SelectedRow := row.
    void StringGridXMLSelectCell(int column, int row);
    // Enter in the grid at (column, row): moves to the next column, or from the last column to
    // column 1 of the next row. Returns false (position unchanged) at the last cell of the last row.
    bool StringGridXMLKeyDown(int& column, int& row) const;
    // Files dropped on the window: each is added as by the add command, in the order given. A file
    // that fails does not stop the others; the first failure is raised after the last file.
    void DropFiles(const std::vector<std::string>& fileNames, const TAddFilter& filter = {});
    // Datum conversion: the coordinates of the given table rows (none given: every record) in the
    // target datum, as one step (see convertDatum). Answers the records left alone.
    std::vector<TDatumSkip> EditConvertDatum(const std::vector<int>& rows, TDatum target);
    // The transformation between the datums, set up on first use (datum conversion, duplicates).
    TDatumTransform& datumTransform();

    // The status line: five blanks, SelectedRow, " / ", RecordCount, seven blanks, StatusText (UTF-8).
    std::string Timer1Timer() const;

private:
    // What reading a file gives: row 0 is the new content of the row before its records (values
    // before the first record, a CSV file's header line), the records follow. No rows: no record.
    struct TReadRows {
        std::vector<TPointMarkRow> rows;
        bool baseRowChanged = false;   // for a CSV file: its header line replaces row 0
        std::optional<TReadStop> stop; // reading stopped at a fatal error
    };
    TReadRows readRows(const std::string& fileName, bool replace);
    TReadRows readPointMarkFile(const std::string& fileName, int base);
    TReadRows readCsvFile(const std::string& fileName, bool replace);
    // Reads a file into the step: its records replace the table's or follow them. The number read.
    int readInto(TEditStep& step, const std::string& fileName, bool replace, const TAddFilter& filter = {});
    // Makes the row count RecordCount + 1 (rows removed from or added at the end, empty).
    void fitRowsToRecords(TEditStep& step);
    // Runs a command's changes as one step of the history; a command that raises takes back what
    // it changed. False when nothing changed.
    template <typename Make> bool edit(Make&& make);
    // Whether any record cell holds text.
    bool holdsData() const;
    // Clears Memo1 and LastReadStop and counts a read command.
    void beginRead();
    void addMessage(const std::string& utf8Line);
    // Tells OnProgress how far a read is; raises the read's cancellation when it answers false.
    void reportProgress(std::int64_t done, std::int64_t total);

    // The first fatal error of the XML read under way: its line, reason, and whether an element of a
    // record was still open.
    struct TFatalError {
        int line = 0;
        std::string reason;
        bool insideRecord = false;
    };
    std::optional<TFatalError> fatalError_;
    // Bytes without a character met in the XML read under way, each with the node whose value holds
    // its "・" (an element, or an attribute; none when it was outside any value), and the name of
    // the encoding they are no character of.
    struct TUndecodableCell {
        const TdomNode* source;
        std::string bytes;
    };
    std::vector<TUndecodableCell> undecodable_;
    std::string undecodableEncoding_;
    std::unordered_map<const TXmlInputSource*, std::size_t> undecodablePlaced_; // entries seen, per input
    // Takes the source's new undecodable bytes before the end of the text being built.
    void placeUndecodable(const TXmlInputSource& source, std::size_t textLength);
    // One message line per record with such bytes (read: the records as read).
    void reportUndecodable(const std::unordered_map<const TdomNode*, std::pair<int, int>>& cells, int records);
    int parserMessageCount_ = 0;         // messages of the XML parser so far
    std::int64_t progressReported_ = -1; // the last position given to OnProgress
    std::unique_ptr<TDatumTransform> datumTransform_;
};

// True when the name ends in ".csv" or ".CSV" (".xml" or ".XML"); other letter cases do not count.
bool hasCsvEnding(std::string_view fileName);
bool hasXmlEnding(std::string_view fileName);
