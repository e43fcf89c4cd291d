#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/point_mark_table.h"

// Cell ranges as tab-separated text, the form in which spreadsheets exchange cells through the
// clipboard. Rows end with a line end (LF on writing; CR LF, LF or CR on reading); fields are
// separated by tabs. A field holding a tab, a line end or a double quote is written in double
// quotes with each double quote doubled; on reading, a field that starts with a double quote is
// read that way, other fields as they stand.

// The cells of the rectangle [firstColumn, lastColumn] x [firstRow, lastRow], decoded from code
// page 932.
std::u16string copyCellsText(const TPointMarkTable& table, int firstColumn, int firstRow, int lastColumn,
                             int lastRow);
// The same for the given rows only (those a filter shows), in the order given.
std::u16string copyCellsText(const TPointMarkTable& table, int firstColumn, int lastColumn, const std::vector<int>& rows);

// The rows of fields of a tab-separated text. A line end at the very end of the text starts no
// further row; rows may differ in length.
std::vector<std::vector<std::u16string>> parseTabSeparated(std::u16string_view text);

// The same rows as cells: fields encoded to code page 932 (characters it lacks become "?").
std::vector<std::vector<std::string>> pasteCellsOf(std::u16string_view text);
