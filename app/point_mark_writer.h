#pragma once

#include <string>
#include <vector>

#include "app/point_mark_table.h"
#include "text/file_io.h"

// The point-mark file: three head lines, one record line per written row, "</velmar>", each line
// ended by CR LF. Cells go out as their code page 932 bytes, except where the file would not read
// back as the cell was: "&", "<", ">" and the double quote are written as "&#38;", "&#60;",
// "&#62;" and "&#34;"; CR as "&#13;"; tab and LF in attribute values (sound kind, repeat) as
// "&#9;" and "&#10;". Control bytes that XML cannot carry (0x00-0x1F but tab, LF and CR) are left
// out, and bytes that are not Shift_JIS (0x80, 0xA0, 0xFD-0xFF, a lead byte without a valid
// trail byte) are written as "?", so that the file always parses back with every record.

// Which table rows a save left out, and which it wrote with bytes left out or replaced.
struct TSaveReport {
    std::vector<int> skippedRows;          // an empty required cell
    std::vector<int> controlCharacterRows; // control bytes left out
    std::vector<int> invalidByteRows;      // bytes that are not Shift_JIS written as "?"
    std::vector<int> unassignedCodeRows;   // two-byte codes without a character, written as they are
    // False when the user chose not to write over the file: nothing was written.
    bool written = true;
    bool empty() const {
        return skippedRows.empty() && controlCharacterRows.empty() && invalidByteRows.empty() &&
               unassignedCodeRows.empty();
    }
};

// True when the eight required cells of the row are all non-empty.
bool isWritableRecord(const TPointMarkRow& row);

// The whole file as bytes. Rows 1 to rowCount() - 1 are visited in order; a row with an empty
// required cell is left out. The report, when given, receives the rows concerned.
std::string buildPointMarkXml(const TPointMarkTable& table, TSaveReport* report = nullptr);

// The same bytes handed to a sink in pieces of bounded size.
void producePointMarkXml(const TPointMarkTable& table, TSaveReport* report, const TByteSink& sink);

// Builds the file and writes it in one operation (temporary file renamed over the target).
// A file that cannot be created raises EFCreateError naming the file and the system's reason;
// the previous file then stays as it was.
TSaveReport writePointMarkFile(const TPointMarkTable& table, const std::string& fileName);

// The message that tells the user which rows were not written and why (UTF-8); empty when none.
std::string skippedRowsMessage(const std::vector<int>& skippedRows);
// The whole report: the skipped rows, then the rows written with bytes left out or replaced.
std::string saveReportMessage(const TSaveReport& report);
