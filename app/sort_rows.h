#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The locale comparison of the sort command: Japanese collation with case ignored, on cells in
// code page 932. Empty cells come before every non-empty text; nothing is read as a number.

// A key whose byte order is the comparison order: the empty string for an empty cell, otherwise
// a marker byte followed by the collation key of the cell (collator for "ja", secondary strength,
// so upper and lower case compare equal).
std::string localeSortKey(std::string_view cell);
// Keys of many cells, computed with one collator and one buffer.
std::vector<std::string> localeSortKeys(const std::vector<std::string_view>& cells);

// Less than zero, zero or greater than zero as a sorts before, with or after b.
int compareLocale(std::string_view a, std::string_view b);

// The order in which rows with these keys are placed: entry k is the index of the key that ends
// at position k. Follows the string list's quicksort (middle pivot, Hoare partition, left part
// first), so equal keys land where that quicksort puts them; ranges that keep partitioning badly
// are finished with a stable sort instead, so no input makes the sort quadratic.
std::vector<std::size_t> quickSortOrder(const std::vector<std::string>& keys);

class TPointMarkTable;

// The order of the data rows sorted by a column (entry k: the data index of the row that ends at
// data index k), or nothing when the sort would leave the table as it is (a column outside 0-15,
// fewer than two data rows). Descending is the same order reversed; rows whose cells compare
// equal keep their order among themselves.
std::vector<std::size_t> sortedDataRowOrder(const TPointMarkTable& table, int column, bool descending = false);
// Moves the data rows into that order.
void applyDataRowOrder(TPointMarkTable& table, const std::vector<std::size_t>& order);

// Of the module common: sorts the data rows (the rows after the fixed row) by the cells of a
// column, moving whole rows. A column outside 0-15 leaves the table unchanged, and so does a
// table with fewer than two data rows. Row count, RecordCount and SelectedRow stay.
void SortGridRows(TPointMarkTable& table, int column);
