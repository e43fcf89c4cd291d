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

// A record that takes part: the number of its name (see NameNumbers), its index in the records
// searched, and its place: latitude and longitude in degrees in x and y as read, then the point on
// the sphere in metres from the Earth's centre.
struct Place {
    std::uint32_t name = 0;
    std::uint32_t index = 0;
    double x = 0, y = 0, z = 0;
};

// Numbers names 0, 1, 2 ... in order of first appearance, each name once (byte for byte). The
// open-addressed table of their hashes grows with the number of different names, and the names
// are copied side by side, so that both stay small where names repeat and a name is compared
// without going back to its record.
class NameNumbers {
public:
    std::uint32_t numberOf(std::string_view name) {
        if (2 * (starts_.size() + 1) > slots_.size()) grow();
        const std::size_t hash = std::hash<std::string_view>()(name);
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
            Slot& slot = slots_[at];
            if (slot.number == kFree) {
                slot = {hash, static_cast<std::uint32_t>(starts_.size() - 1)};
                bytes_.append(name);
                starts_.push_back(bytes_.size());
                return slot.number;
            }
            if (slot.hash == hash && nameOf(slot.number) == name) return slot.number;
        }
    }

private:
    static constexpr std::uint32_t kFree = 0xFFFFFFFF;
    struct Slot {
        std::size_t hash = 0;
        std::uint32_t number = kFree;
    };
    std::string_view nameOf(std::uint32_t number) const {
        return std::string_view(bytes_).substr(starts_[number], starts_[number + 1] - starts_[number]);
    }
    void grow() {
        std::vector<Slot> slots(std::max<std::size_t>(64, 2 * slots_.size()));
        const std::size_t mask = slots.size() - 1;
        for (const Slot& slot : slots_) {
            if (slot.number == kFree) continue;
            std::size_t at = slot.hash & mask;
            while (slots[at].number != kFree) at = (at + 1) & mask;
            slots[at] = slot;
        }
        slots_.swap(slots);
    }

    std::vector<Slot> slots_;               // a power of two of them, at least twice the names
    std::string bytes_;                     // the names one after the other
    std::vector<std::size_t> starts_ = {0}; // where each name begins in bytes_, and the end
};

// The places of the records that take part, in record order, their names numbered by names and
// counted in perName, with latitude and longitude in degrees in x and y: Tokyo positions are
// transformed to WGS 84. A point that PROJ could not transform takes part in nothing: its name
// becomes kNoName.
constexpr std::uint32_t kNoName = 0xFFFFFFFF;
std::vector<Place> placesOf(const std::vector<const TPointMarkRow*>& rows, TDatumTransform& transform,
                            NameNumbers& names, std::vector<std::uint32_t>& perName) {
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
        const std::uint32_t name = names.numberOf(row[kNameColumn]);
        if (name == perName.size()) perName.push_back(0);
        ++perName[name];
        places.push_back({name, static_cast<std::uint32_t>(k), latitude->value, longitude->value});
        if (datum != TDatum::tokyo) continue;
        tokyo.push_back(static_cast<std::uint32_t>(places.size() - 1));
        latitudes.push_back(latitude->value);
        longitudes.push_back(longitude->value);
    }
    transform.transform(TDatum::tokyo, TDatum::wgs84, latitudes.data(), longitudes.data(), tokyo.size());
    for (std::size_t i = 0; i < tokyo.size(); ++i) {
        Place& place = places[tokyo[i]];
        place.x = latitudes[i];
        place.y = longitudes[i];
        if (std::isfinite(place.x) && std::isfinite(place.y)) continue;
        --perName[place.name];
        place.name = kNoName;
    }
    return places;
}

// Calls visit with each run of places that share a name, in record order within the run, each
// place now on the sphere. Grouping first keeps each search among the few places that share a
// name. The places are laid out by name number with a counting sort (linear time, record order
// kept), and put on the sphere as they are laid out.
template <class Visit>
void forEachNameRun(const std::vector<Place>& places, const std::vector<std::uint32_t>& perName, Visit&& visit) {
    std::vector<std::size_t> starts(perName.size() + 1);
    for (std::size_t name = 0; name < perName.size(); ++name) starts[name + 1] = starts[name] + perName[name];
    std::vector<Place> sorted(starts.back());
    for (const Place& place : places) {
        if (place.name == kNoName) continue;
        const double phi = place.x * kPi / 180, lambda = place.y * kPi / 180;
        sorted[starts[place.name]++] = {place.name, place.index, kEarthRadius * std::cos(phi) * std::cos(lambda),
                                        kEarthRadius * std::cos(phi) * std::sin(lambda), kEarthRadius * std::sin(phi)};
    }
    for (auto first = sorted.begin(), last = first; first != sorted.end(); first = last) {
        while (last != sorted.end() && last->name == first->name) ++last;
        visit(std::span<const Place>(first, last));
    }
}

// The places of one name, each with an id, for finding the lowest id within the distance of a
// place. Up to kListed places are compared one by one; more go into cubes whose edge is eight times
// the straight-line distance (the chord) that the great-circle distance corresponds to. A place
// within the chord of another differs from it by at most the chord on each axis, so it lies in the
// other's cube or, on an axis where the other is within the chord of a face, in the neighbour
// beyond that face: one cube to look at for most places, at most eight. The cubes are slots of an
// open-addressed table sized for the run, reused from run to run.
class NearPlaces {
public:
    explicit NearPlaces(double metres) {
        const double angle = std::clamp(std::max(metres, 0.0) / kEarthRadius, 0.0, kPi);
        chord_ = 2 * kEarthRadius * std::sin(angle / 2);
        edge_ = std::max(8 * chord_, 0.001); // cube indices stay well inside 64 bits
        // A little more than the chord, so that rounding never leaves out a cube to look at.
        reach_ = chord_ * (1 + 1e-9) + 1e-6;
    }

    // Empties the set for a run that will put in at most count places.
    void reset(std::size_t count) {
        entries_.clear();
        cubed_ = count > kListed;
        if (cubed_) slots_.assign(std::bit_ceil(2 * count), Slot());
    }

    // Where a place is looked up and put: its cube (when the set is in cubes).
    struct Spot {
        std::int64_t x = 0, y = 0, z = 0;
        bool operator==(const Spot&) const = default;
    };
    Spot spotOf(const Place& place) const {
        return cubed_ ? Spot{cube(place.x), cube(place.y), cube(place.z)} : Spot();
    }

    void insert(const Place& place, const Spot& spot, int id) {
        entries_.push_back({place, id, -1});
        if (!cubed_) return;
        Slot& slot = slots_[slotOf(spot)];
        const int e = static_cast<int>(entries_.size()) - 1;
        if (slot.head < 0) slot.key = spot;
        entries_.back().next = std::exchange(slot.head, e);
    }

    // The lowest id among the places within the distance; -1 for none.
    int lowestNear(const Place& place, const Spot& home) const {
        int lowest = -1;
        auto consider = [&](const Entry& entry) {
            if ((lowest < 0 || entry.id < lowest) && near(entry.place, place)) lowest = entry.id;
        };
        if (!cubed_) {
            for (const Entry& entry : entries_) consider(entry);
            return lowest;
        }
        const Spot low = {home.x - nearFace(place.x, home.x, 0), home.y - nearFace(place.y, home.y, 0),
                          home.z - nearFace(place.z, home.z, 0)};
        const Spot high = {home.x + nearFace(place.x, home.x, 1), home.y + nearFace(place.y, home.y, 1),
                           home.z + nearFace(place.z, home.z, 1)};
        for (std::int64_t x = low.x; x <= high.x; ++x)
            for (std::int64_t y = low.y; y <= high.y; ++y)
                for (std::int64_t z = low.z; z <= high.z; ++z) {
                    const Slot& slot = slots_[slotOf({x, y, z})];
                    for (int e = slot.head; e >= 0; e = entries_[e].next) consider(entries_[e]);
                }
        return lowest;
    }

private:
    static constexpr std::size_t kListed = 16;
    struct Slot {
        Spot key;
        int head = -1; // the entry put last into the cube, or -1 for a free slot
    };
    struct Entry {
        Place place;
        int id;
        int next; // the entry put before it into the same cube, or -1
    };

    // The slot of the cube: the one holding it, or the free slot where it would go.
    std::size_t slotOf(const Spot& key) const {
        std::size_t hash = 0;
        for (std::int64_t part : {key.x, key.y, key.z})
            hash ^= std::hash<std::int64_t>()(part) + 0x9e3779b97f4a7c15ULL + (hash << 6) + (hash >> 2);
        const std::size_t mask = slots_.size() - 1;
        std::size_t at = (hash * 0x9e3779b97f4a7c15ULL >> 20) & mask;
        while (slots_[at].head >= 0 && !(slots_[at].key == key)) at = (at + 1) & mask;
        return at;
    }
    std::int64_t cube(double coordinate) const { return static_cast<std::int64_t>(std::floor(coordinate / edge_)); }
    // 1 when the coordinate lies within reach of the cube's lower (face 0) or upper (face 1) face.
    std::int64_t nearFace(double coordinate, std::int64_t cube, int face) const {
        const double offset = coordinate - static_cast<double>(cube + face) * edge_;
        return std::abs(offset) <= reach_ ? 1 : 0;
    }
    bool near(const Place& a, const Place& b) const {
        const double dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
        return dx * dx + dy * dy + dz * dz <= chord_ * chord_;
    }

    double chord_;
    double edge_;
    double reach_;
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
    NameNumbers names;
    std::vector<std::uint32_t> perName;
    const std::vector<Place> places = placesOf(recordsOf(table, rowNumbers), transform, names, perName);
    std::vector<std::vector<int>> groups;
    NearPlaces leaders(metres);
    // Per place of the current name: the number of its leader among the name's leaders; per
    // leader: how many records it leads (itself included) and its group in groups, if any. Only
    // leaders of two or more records get a group.
    std::vector<int> leaderOf, sizes, groupOf;
    forEachNameRun(places, perName, [&](std::span<const Place> run) {
        if (run.size() < 2) return;
        leaders.reset(run.size());
        leaderOf.clear();
        sizes.clear();
        for (const Place& place : run) {
            const NearPlaces::Spot spot = leaders.spotOf(place);
            int leader = leaders.lowestNear(place, spot);
            if (leader < 0) {
                leader = static_cast<int>(sizes.size());
                leaders.insert(place, spot, leader);
                sizes.push_back(0);
            }
            ++sizes[static_cast<std::size_t>(leader)];
            leaderOf.push_back(leader);
        }
        groupOf.assign(sizes.size(), -1);
        for (std::size_t k = 0; k < run.size(); ++k) {
            const auto leader = static_cast<std::size_t>(leaderOf[k]);
            if (sizes[leader] < 2) continue;
            if (groupOf[leader] < 0) {
                groupOf[leader] = static_cast<int>(groups.size());
                groups.emplace_back().reserve(static_cast<std::size_t>(sizes[leader]));
            }
            groups[static_cast<std::size_t>(groupOf[leader])].push_back(rowNumbers[run[k].index]);
        }
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
    NameNumbers names;
    std::vector<std::uint32_t> perName;
    const std::vector<Place> places = placesOf(rows, transform, names, perName);
    forEachNameRun(places, perName, [&](std::span<const Place> run) {
        tablePlaces.reset(run.size());
        for (const Place& place : run) {
            const NearPlaces::Spot spot = tablePlaces.spotOf(place);
            if (place.index < existing)
                tablePlaces.insert(place, spot, rowNumbers[place.index]);
            else
                duplicates[place.index - existing] = tablePlaces.lowestNear(place, spot);
        }
    });
    return duplicates;
}
