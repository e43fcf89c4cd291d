#pragma once

#include <vector>

#include "app/datum_conversion.h"
#include "app/point_mark_table.h"

// Records that stand for the same point: the same 地点名 (byte for byte) and positions at most a
// distance apart. Positions are compared in WGS 84 (records in the Tokyo datum are transformed
// first) as great-circle distances on a sphere of the Earth's mean radius, 6,371,008.8 m (within
// half a percent of the distance on the ellipsoid). A record takes part only when its 地点名 is
// filled, its DATUM is TOKYO or WGS84 and its 緯度 and 経度 are decimal degrees within range; the
// others are never anyone's duplicates. A negative distance counts as 0 (equal positions only).
//
// Both searches put the records in a grid of cubes a few times the distance around the Earth, so
// that a record is compared only with the records of its own and the neighbouring cubes that
// carry the same name: O(n) expected time, never all pairs.

constexpr double kDefaultDuplicateMetres = 10;

// The duplicate groups among the table's records (header row and wholly empty rows apart).
// Records are taken in table order: each joins the group of the first (lowest-row) group leader
// with its name that lies within metres of it, or leads a group of its own. A group's records are
// thus all within metres of its leader, the record to keep. Only groups of two or more records
// are answered, each in ascending rows with the leader first, the groups ordered by their leaders.
std::vector<std::vector<int>> findDuplicateGroups(const TPointMarkTable& table, TDatumTransform& transform,
                                                  double metres = kDefaultDuplicateMetres);

// For records about to be added to the table (such as the rows a file read gave), the table row
// of the first record of the table (header row apart) that each duplicates, or -1 for none.
// Records of the list are not compared with each other.
std::vector<int> findDuplicatesOf(const TPointMarkTable& table, const std::vector<TPointMarkRow>& records,
                                  TDatumTransform& transform, double metres = kDefaultDuplicateMetres);
