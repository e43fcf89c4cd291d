#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "app/csv_file.h"
#include "app/point_mark_table.h"

// The property the CSV fuzz target checks on any bytes: reading them as a CSV file never fails,
// and what the table then holds survives a save and a second load unchanged (the text saved
// after the second load equals the text saved after the first).
inline bool csvFileRoundTripHolds(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    TPointMarkTable first;
    first.writeHeaderRow();
    LoadCsvLines(first, splitCsvLines(csvTextOfFile(bytes)));
    if (first.RecordCount != first.rowCount() - 1) return false;
    const std::string saved = csvFileText(first);

    TPointMarkTable second;
    LoadCsvLines(second, splitCsvLines(csvTextOfFile(saved)));
    if (second.rowCount() != first.rowCount()) return false;
    return csvFileText(second) == saved;
}
