#include "app/duplicates.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <utility>

#include "app/field_checks.h"

namespace {

constexpr double kEarthRadius = 6371008.8;
constexpr double kPi = 3.14159265358979323846;

// A record that takes part: its name, 32 bits of the name's hash, its index in the records
// searched, and its place on the sphere in metres from the Earth's centre.
struct Place {
    std::string_view name;
    std::uint32_t key = 0;
    std::uint32_t index = 0;
    double x = 0, y = 0, z = 0;
};

// The places of the records that take part, in record order; Tokyo positions are transformed to
// WGS 84 first.
std::vector<Place> placesOf(const std::vector<const TPointMarkRow*>& rows, TDatumTransform& transform) {
    std::vector<Place> places;
    places.reserve(rows.size());
    std::vector<std::uint32_t> tokyo; // positions in places
    std::vector<double> latitudes, longitudes;
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const TPointMarkRow& row = *rows[k];
        const std::optional<TDatum> datum = datumOfCell(row[kDatumColumn]);
        const std::optional<TDecimalDegrees> latitude = parseDecimalDegrees(row[kLatitudeColumn]);
        const std::optional<TDecimalDegrees> longitude = parseDecimalDegrees(row[kLongitudeColumn]);
        if (row[kNameColumn].empty() || !datum || !latitude || !longitude || std::abs(latitude->value) > 90 ||
            std::abs(longitude->value) > 180)
            continue;
        // Latitude and longitude in degrees wait in x and y until the place is computed.
        places.push_back({row[kNameColumn], static_cast<std::uint32_t>(std::hash<std::string_view>()(row[kNameColumn])),
                          static_cast<std::uint32_t>(k), latitude->value, longitude->value});
        if (datum != TDatum::tokyo) continue;
        tokyo.push_back(static_cast<std::uint32_t>(places.size() - 1));
        latitudes.push_back(latitude->value);
        longitudes.push_back(longitude->value);
    }
    transform.transform(TDatum::tokyo, TDatum::wgs84, latitudes.data(), longitudes.data(), tokyo.size());
    for (std::size_t i = 0; i < tokyo.size(); ++i) {
        places[tokyo[i]].x = latitudes[i];
        places[tokyo[i]].y = longitudes[i];
    }
    std::erase_if(places, [](const Place& place) { return !std::isfinite(place.x) || !std::isfinite(place.y); });
    for (Place& place : places) {
        const double phi = place.x * kPi / 180, lambda = place.y * kPi / 180;
        place.x = kEarthRadius * std::cos(phi) * std::cos(lambda);
        place.y = kEarthRadius * std::cos(phi) * std::sin(lambda);
        place.z = kEarthRadius * std::sin(phi);
    }
    return places;
}

// Calls visit with each run of places that share a name, in record order within the run.
// Grouping first keeps each search among the few places that share a name. The places are grouped
// by their 32-bit keys with a stable radix sort (linear time, record order kept), and only places
// whose names share a key are compared by name.
void forEachNameRun(const std::vector<Place>& places, const std::function<void(std::span<const Place*>)>& visit) {
    std::vector<const Place*> order(places.size()), buffer(places.size());
    for (std::size_t k = 0; k < places.size(); ++k) order[k] = &places[k];
    for (int shift = 0; shift < 32; shift += 8) {
        std::size_t starts[257] = {};
        for (const Place* place : order) ++starts[((place->key >> shift) & 0xFF) + 1];
        for (int digit = 0; digit < 256; ++digit) starts[digit + 1] += starts[digit];
        for (const Place* place : order) buffer[starts[(place->key >> shift) & 0xFF]++] = place;
        order.swap(buffer);
    }
    for (auto first = order.begin(), last = first; first != order.end(); first = last) {
        while (last != order.end() && (*last)->key == (*first)->key) ++last;
        // Names that share the key but differ: each name's places together, still in record order.
        if (std::any_of(first, last, [&](const Place* place) { return place->name != (*first)->name; }))
            std::stable_sort(first, last, [](const Place* a, const Place* b) { return a->name < b->name; });
        for (auto begin = first, end = first; begin != last; begin = end) {
            while (end != last && (*end)->name == (*begin)->name) ++end;
            visit(std::span<const Place*>(begin, end));
        }
    }
}

// The places of one name, each with an id, for finding the lowest id within the distance of a
// place. Up to kListed places are compared one by one; more go into cubes whose edge is twice the
// straight-line distance (the chord) that the great-circle distance corresponds to. A place within
// the chord of another differs from it by at most half an edge on each axis, so it lies in the
// other's cube or in the neighbour on the side that the other is nearer to: eight cubes to look
// at. The cubes are slots of an open-addressed table sized for the run, reused from run to run.
class NearPlaces {
public:
    explicit NearPlaces(double metres) {
        const double angle = std::clamp(std::max(metres, 0.0) / kEarthRadius, 0.0, kPi);
        chord_ = 2 * kEarthRadius * std::sin(angle / 2);
        edge_ = std::max(2 * chord_, 0.001); // cube indices stay well inside 64 bits
    }

    // Empties the set for a run that will put in at most count places.
    void reset(std::size_t count) {
        entries_.clear();
        cubed_ = count > kListed;
        if (cubed_) slots_.assign(std::bit_ceil(2 * count), Slot());
    }

    void insert(const Place& place, int id) {
        entries_.push_back({place, id, -1});
        if (!cubed_) return;
        Slot& slot = slots_[slotOf(keyOf(place))];
        const int e = static_cast<int>(entries_.size()) - 1;
        if (slot.head < 0) slot.key = keyOf(place);
        entries_.back().next = std::exchange(slot.head, e);
    }

    // The lowest id among the places within the distance; -1 for none.
    int lowestNear(const Place& place) const {
        int lowest = -1;
        auto consider = [&](const Entry& entry) {
            if ((lowest < 0 || entry.id < lowest) && near(entry.place, place)) lowest = entry.id;
        };
        if (!cubed_) {
            for (const Entry& entry : entries_) consider(entry);
            return lowest;
        }
        const Key home = keyOf(place);
        const std::int64_t side[3] = {nearerSide(place.x, home.x), nearerSide(place.y, home.y),
                                      nearerSide(place.z, home.z)};
        for (int dx = 0; dx <= 1; ++dx)
            for (int dy = 0; dy <= 1; ++dy)
                for (int dz = 0; dz <= 1; ++dz) {
                    const Slot& slot =
                        slots_[slotOf({home.x + dx * side[0], home.y + dy * side[1], home.z + dz * side[2]})];
                    for (int e = slot.head; e >= 0; e = entries_[e].next) consider(entries_[e]);
                }
        return lowest;
    }

private:
    static constexpr std::size_t kListed = 16;
    struct Key {
        std::int64_t x = 0, y = 0, z = 0;
        bool operator==(const Key&) const = default;
    };
    struct Slot {
        Key key;
        int head = -1; // the entry put last into the cube, or -1 for a free slot
    };
    struct Entry {
        Place place;
        int id;
        int next; // the entry put before it into the same cube, or -1
    };

    // The slot of the cube: the one holding it, or the free slot where it would go.
    std::size_t slotOf(const Key& key) const {
        std::size_t hash = 0;
        for (std::int64_t part : {key.x, key.y, key.z})
            hash ^= std::hash<std::int64_t>()(part) + 0x9e3779b97f4a7c15ULL + (hash << 6) + (hash >> 2);
        const std::size_t mask = slots_.size() - 1;
        std::size_t at = (hash * 0x9e3779b97f4a7c15ULL >> 20) & mask;
        while (slots_[at].head >= 0 && !(slots_[at].key == key)) at = (at + 1) & mask;
        return at;
    }
    std::int64_t cube(double coordinate) const { return static_cast<std::int64_t>(std::floor(coordinate / edge_)); }
    Key keyOf(const Place& place) const { return {cube(place.x), cube(place.y), cube(place.z)}; }
    std::int64_t nearerSide(double coordinate, std::int64_t cube) const {
        return coordinate - static_cast<double>(cube) * edge_ < edge_ / 2 ? -1 : 1;
    }
    bool near(const Place& a, const Place& b) const {
        const double dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
        return dx * dx + dy * dy + dz * dz <= chord_ * chord_;
    }

    double chord_;
    double edge_;
    bool cubed_ = false;
    std::vector<Slot> slots_; // a power of two of them, at least twice the places of the run
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
    const std::vector<Place> places = placesOf(recordsOf(table, rowNumbers), transform);
    std::vector<std::vector<int>> groups;
    NearPlaces leaders(metres);
    std::vector<std::vector<int>> members; // per leader of the current name
    forEachNameRun(places, [&](std::span<const Place*> run) {
        if (run.size() < 2) return;
        leaders.reset(run.size());
        members.clear();
        for (const Place* place : run) {
            const int row = rowNumbers[place->index];
            const int leader = leaders.lowestNear(*place);
            if (leader >= 0) {
                members[static_cast<std::size_t>(leader)].push_back(row);
            } else {
                leaders.insert(*place, static_cast<int>(members.size()));
                members.push_back({row});
            }
        }
        for (std::vector<int>& group : members)
            if (group.size() > 1) groups.push_back(std::move(group));
    });
    std::sort(groups.begin(), groups.end(), [](const auto& a, const auto& b) { return a.front() < b.front(); });
    return groups;
}

std::vector<int> findDuplicatesOf(const TPointMarkTable& table, const std::vector<TPointMarkRow>& records,
                                  TDatumTransform& transform, double metres) {
    std::vector<int> rowNumbers;
    std::vector<const TPointMarkRow*> rows = recordsOf(table, rowNumbers);
    const std::size_t existing = rows.size();
    for (const TPointMarkRow& record : records) rows.push_back(&record);
    std::vector<int> duplicates(records.size(), -1);
    NearPlaces tablePlaces(metres);
    // Within a run of one name the table's records come first.
    forEachNameRun(placesOf(rows, transform), [&](std::span<const Place*> run) {
        tablePlaces.reset(run.size());
        for (const Place* place : run) {
            if (place->index < existing)
                tablePlaces.insert(*place, rowNumbers[place->index]);
            else
                duplicates[place->index - existing] = tablePlaces.lowestNear(*place);
        }
    });
    return duplicates;
}
