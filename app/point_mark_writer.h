#pragma once

#include <string>
#include <vector>

#include "app/point_mark_table.h"
#include "text/file_io.h"

// The point-mark file: three head lines, one record line per written row, "</velmar>", each line
// ended by CR LF. Cells go out as their code page 932 bytes, except that "&", "<", ">" and the
// double quote are written as the character references "&#38;", "&#60;", "&#62;" and "&#34;"
// so that every cell reads back as it was.

// True when the eight required cells of the row are all non-empty.
bool isWritableRecord(const TPointMarkRow& row);

// The whole file as bytes. Rows 1 to rowCount() - 1 are visited in order; a row with an empty
// required cell is left out and its index is appended to skippedRows when that is given.
std::string buildPointMarkXml(const TPointMarkTable& table, std::vector<int>* skippedRows = nullptr);

// The same bytes handed to a sink in pieces of bounded size.
void producePointMarkXml(const TPointMarkTable& table, std::vector<int>* skippedRows, const TByteSink& sink);

// Builds the file and writes it in one operation (temporary file renamed over the target).
// Returns the table rows that were left out. A file that cannot be created raises EFCreateError
// naming the file and the system's reason; the previous file then stays as it was.
std::vector<int> writePointMarkFile(const TPointMarkTable& table, const std::string& fileName);

// The message that tells the user which rows were not written and why (UTF-8); empty when none.
std::string skippedRowsMessage(const std::vector<int>& skippedRows);
