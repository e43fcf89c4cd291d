#pragma once

#include <string>

#include "app/point_mark_table.h"

// Makes the table hold records records whose cell (c, r) is tag followed by "R-C", so that every
// cell of every record can be told apart after a round trip.
inline void fillTaggedRecords(TPointMarkTable& table, int records, const std::string& tag) {
    table.RecordCount = records;
    table.setRowCount(records + 1);
    for (int r = 1; r <= records; ++r)
        for (int c = 0; c < kColumnCount; ++c) table.setCell(c, r, tag + std::to_string(r) + "-" + std::to_string(c));
}
