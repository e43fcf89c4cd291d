#include "app/duplicates.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "app/field_checks.h"

namespace {

constexpr double kEarthRadius = 6371008.8;
constexpr double kPi = 3.14159265358979323846;

// A record's place on the sphere, in metres from the Earth's centre, with its name.
struct Place {
    std::string_view name;
    std::size_t nameHash = 0;
    double x = 0, y = 0, z = 0;
};

// The places of the rows that take part (nullopt for the others), Tokyo positions transformed to WGS 84.
std::vector<std::optional<Place>> placesOf(const std::vector<const TPointMarkRow*>& rows, TDatumTransform& transform) {
    std::vector<std::optional<Place>> places(rows.size());
    std::vector<std::size_t> tokyo;
    std::vector<double> latitudes(rows.size()), longitudes(rows.size());
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const TPointMarkRow& row = *rows[k];
        const std::optional<TDatum> datum = datumOfCell(row[kDatumColumn]);
        const std::optional<TDecimalDegrees> latitude = parseDecimalDegrees(row[kLatitudeColumn]);
        const std::optional<TDecimalDegrees> longitude = parseDecimalDegrees(row[kLongitudeColumn]);
        if (row[kNameColumn].empty() || !datum || !latitude || !longitude || std::abs(latitude->value) > 90 ||
            std::abs(longitude->value) > 180)
            continue;
        places[k] = Place{row[kNameColumn], std::hash<std::string_view>()(row[kNameColumn])};
        latitudes[k] = latitude->value;
        longitudes[k] = longitude->value;
        if (datum == TDatum::tokyo) tokyo.push_back(k);
    }
    std::vector<double> tokyoLatitudes, tokyoLongitudes;
    for (std::size_t k : tokyo) {
        tokyoLatitudes.push_back(latitudes[k]);
        tokyoLongitudes.push_back(longitudes[k]);
    }
    transform.transform(TDatum::tokyo, TDatum::wgs84, tokyoLatitudes.data(), tokyoLongitudes.data(), tokyo.size());
    for (std::size_t i = 0; i < tokyo.size(); ++i) {
        latitudes[tokyo[i]] = tokyoLatitudes[i];
        longitudes[tokyo[i]] = tokyoLongitudes[i];
    }
    for (std::size_t k = 0; k < rows.size(); ++k) {
        if (!places[k]) continue;
        if (!std::isfinite(latitudes[k]) || !std::isfinite(longitudes[k])) {
            places[k].reset();
            continue;
        }
        const double phi = latitudes[k] * kPi / 180, lambda = longitudes[k] * kPi / 180;
        places[k]->x = kEarthRadius * std::cos(phi) * std::cos(lambda);
        places[k]->y = kEarthRadius * std::cos(phi) * std::sin(lambda);
        places[k]->z = kEarthRadius * std::sin(phi);
    }
    return places;
}

// Places in cubes whose edge is the straight-line distance that the great-circle distance
// corresponds to, so that every place within the distance lies in the same or a neighbouring cube.
class PlaceGrid {
public:
    explicit PlaceGrid(double metres) {
        const double angle = std::clamp(std::max(metres, 0.0) / kEarthRadius, 0.0, kPi);
        chord_ = 2 * kEarthRadius * std::sin(angle / 2);
        edge_ = std::max(chord_, 0.001); // cube indices stay well inside 64 bits
    }

    void insert(const Place& place, int id) {
        const Key key = keyOf(place, 0, 0, 0);
        auto [entry, added] = heads_.try_emplace(key, static_cast<int>(entries_.size()));
        entries_.push_back({place, id, added ? -1 : entry->second});
        entry->second = static_cast<int>(entries_.size()) - 1;
    }

    // The lowest id among the places with the same name within the distance; -1 for none.
    int lowestNear(const Place& place) const {
        int lowest = -1;
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy)
                for (int dz = -1; dz <= 1; ++dz) {
                    const auto head = heads_.find(keyOf(place, dx, dy, dz));
                    for (int e = head == heads_.end() ? -1 : head->second; e >= 0; e = entries_[e].next) {
                        const Entry& entry = entries_[e];
                        if ((lowest < 0 || entry.id < lowest) && entry.place.name == place.name &&
                            near(entry.place, place))
                            lowest = entry.id;
                    }
                }
        return lowest;
    }

private:
    struct Key {
        std::size_t nameHash;
        std::int64_t x, y, z;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& key) const {
            std::size_t hash = key.nameHash;
            for (std::int64_t part : {key.x, key.y, key.z})
                hash ^= std::hash<std::int64_t>()(part) + 0x9e3779b97f4a7c15ULL + (hash << 6) + (hash >> 2);
            return hash;
        }
    };
    struct Entry {
        Place place;
        int id;
        int next; // the entry inserted before it in the same cube, or -1
    };

    Key keyOf(const Place& place, int dx, int dy, int dz) const {
        return {place.nameHash, static_cast<std::int64_t>(std::floor(place.x / edge_)) + dx,
                static_cast<std::int64_t>(std::floor(place.y / edge_)) + dy,
                static_cast<std::int64_t>(std::floor(place.z / edge_)) + dz};
    }
    bool near(const Place& a, const Place& b) const {
        const double dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
        return dx * dx + dy * dy + dz * dz <= chord_ * chord_;
    }

    double chord_;
    double edge_;
    std::unordered_map<Key, int, KeyHash> heads_;
    std::vector<Entry> entries_;
};

// The table's records (rows from the first record on) with their row numbers.
std::vector<const TPointMarkRow*> recordsOf(const TPointMarkTable& table, std::vector<int>& rowNumbers) {
    std::vector<const TPointMarkRow*> records;
    for (int r = table.fixedRows(); r < table.rowCount(); ++r) {
        records.push_back(&table.rows()[static_cast<std::size_t>(r)]);
        rowNumbers.push_back(r);
    }
    return records;
}

} // namespace

std::vector<std::vector<int>> findDuplicateGroups(const TPointMarkTable& table, TDatumTransform& transform,
                                                  double metres) {
    std::vector<int> rowNumbers;
    const std::vector<std::optional<Place>> places = placesOf(recordsOf(table, rowNumbers), transform);
    // Leaders only go into the grid; a group is answered once it has a second record.
    PlaceGrid leaders(metres);
    std::vector<std::vector<int>> members; // per leader
    for (std::size_t k = 0; k < places.size(); ++k) {
        if (!places[k]) continue;
        const int leader = leaders.lowestNear(*places[k]);
        if (leader >= 0) {
            members[static_cast<std::size_t>(leader)].push_back(rowNumbers[k]);
        } else {
            leaders.insert(*places[k], static_cast<int>(members.size()));
            members.push_back({rowNumbers[k]});
        }
    }
    std::vector<std::vector<int>> groups;
    for (std::vector<int>& group : members)
        if (group.size() > 1) groups.push_back(std::move(group));
    return groups;
}

std::vector<int> findDuplicatesOf(const TPointMarkTable& table, const std::vector<TPointMarkRow>& records,
                                  TDatumTransform& transform, double metres) {
    std::vector<int> rowNumbers;
    std::vector<const TPointMarkRow*> rows = recordsOf(table, rowNumbers);
    const std::size_t existing = rows.size();
    for (const TPointMarkRow& record : records) rows.push_back(&record);
    const std::vector<std::optional<Place>> places = placesOf(rows, transform);
    PlaceGrid grid(metres);
    for (std::size_t k = 0; k < existing; ++k)
        if (places[k]) grid.insert(*places[k], rowNumbers[k]);
    std::vector<int> duplicates(records.size(), -1);
    for (std::size_t k = 0; k < records.size(); ++k)
        if (places[existing + k]) duplicates[k] = grid.lowestNear(*places[existing + k]);
    return duplicates;
}
