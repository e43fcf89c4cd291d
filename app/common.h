#pragma once

#include "app/csv_file.h"   // SplitText, LoadCsvLines
#include "app/point_mark_table.h"
#include "app/sort_rows.h"  // SortGridRows

// Routines on the table's data rows: the rows from fixedRows() to rowCount() - 1. Data index k
// stands for table row k + fixedRows().

// Removes data row dataIndex and moves the data rows below it up by one. The last table row
// keeps its old cells; the caller lowers the row count or empties that row. An index outside
// the data rows raises EStringListError "リストのインデックスが範囲を超えています (INDEX)" and
// changes nothing.
void DeleteGridRow(TPointMarkTable& grid, int dataIndex);
