#pragma once

#include <cstddef>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "app/point_mark_table.h"

// Comma-separated files of the point-mark table: one table row per line, header row included,
// cells in code page 932.
//
// Reading: a CR, an LF or CR LF ends a line; a NUL byte ends the text; an empty text after the
// last line end gives no line. A field that begins with a double quote is a quoted field: it
// runs to the next double quote that is not doubled, may hold commas and line ends, and "" in it
// stands for one double quote (whatever follows the closing quote up to the next comma or line
// end is kept as it stands). A quoted field that never closes runs to the end of the text. Every
// other field is taken byte for byte, double quotes included.
//
// Writing: the 16 cells of a row joined by ",", CR LF after every line. A cell holding a comma,
// a double quote, a CR or an LF is written as a quoted field; every other cell as it stands,
// except a first cell of the file that begins with the UTF-8 byte-order mark, which is quoted
// so that the file is not taken for UTF-8 when it is read back.

// The text a CSV file holds: its bytes without NUL bytes. A file that begins with the UTF-8
// byte-order mark is decoded from UTF-8 and converted to code page 932.
std::string csvTextOfFile(std::string_view bytes);

// Cuts a CSV text into its lines. A line break inside a quoted field belongs to the line.
std::vector<std::string> splitCsvLines(std::string_view text);

// The fields of one line. Like splitting at every comma, except that a trailing empty field
// (a line ending in a comma) is dropped and an empty line has no field; quoted fields as above.
// Fields after the first maxFields are scanned over but not returned.
std::vector<std::string> splitCsvFields(std::string_view line,
                                        std::size_t maxFields = std::numeric_limits<std::size_t>::max());

// Appends one cell as it is written to a CSV file (quoted only where needed, or always when
// alwaysQuote is set).
void appendCsvCell(std::string_view cell, std::string& out, bool alwaysQuote = false);

// Reads a CSV file into its lines (raises the file error when it cannot be read), its NUL bytes
// left out as readCsvText does.
std::vector<std::string> readCsvFile(const std::string& fileName);

// A CSV file cut into records, with what reading it had to change, so that nothing is dropped
// without a word.
struct TCsvText {
    std::vector<std::string> lines;       // one per table row, header row first
    std::vector<std::size_t> lineNumbers; // the file line (from 1) on which each record starts
    std::vector<std::string> messages;    // "FILE, line N: ..." (UTF-8): NUL bytes left out, a quote never closed
};
TCsvText parseCsvText(std::string_view bytes, const std::string& fileName);
// Reads a CSV file (raises the file error when it cannot be read). The file is read in blocks
// and its NUL bytes are left out as they come, so that they take no memory however many there are.
TCsvText readCsvText(const std::string& fileName);
// The table rows of records first to the last; a record with more than 16 fields adds a message.
std::vector<TPointMarkRow> csvRows(const TCsvText& text, std::size_t first, const std::string& fileName,
                                   std::vector<std::string>& messages);

// Of the module common: the text cut at every occurrence of the separator, as a string list.
// Every separator becomes a line end and the result is cut into lines by the reading rule above
// (so a text ending in the separator loses its last, empty field, and an empty text has no field).
std::vector<std::string> SplitText(std::string_view text, std::string_view separator);

// Of the module common: writes CSV lines into the table. The row count becomes the number of
// lines (at least 1), line k fills row k (cells it has no field for are emptied, fields after the
// sixteenth are dropped), and RecordCount becomes the row count - 1.
void LoadCsvLines(TPointMarkTable& table, const std::vector<std::string>& lines);

// Reads the CSV file into the table; the table is unchanged when the file cannot be read.
void loadCsvFile(TPointMarkTable& table, const std::string& fileName);
// The bytes of the CSV file of a table: every row, header row included.
std::string csvFileText(const TPointMarkTable& table);
// Writes the CSV file of the table in one operation, creating or replacing it.
void saveCsvFile(const TPointMarkTable& table, const std::string& fileName);
