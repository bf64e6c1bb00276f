#include "model/AlarmSite.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "log/Alarmconsts.h"
#include "platform/Exception.h"

namespace kelvane {

namespace {

// A-Z as a-z; every other byte unchanged.
inline unsigned char FoldByte(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u + 32) : u;
}

[[noreturn]] void ThrowIndex(int index) {
    throw Exception("List index out of bounds (" + std::to_string(index) + ")");
}

// Hash key of a time: equal times (0.0 and -0.0 included) give equal keys.
std::uint64_t TimeKey(TDateTime time) {
    if (time == 0) time = 0;  // folds -0.0 into 0.0
    std::uint64_t key;
    std::memcpy(&key, &time, sizeof key);
    return key;
}

// Small lists are searched directly; larger ones get a hash index on first need.
constexpr std::size_t kLinearSearchLimit = 16;
constexpr std::size_t kUnitIndexLimit = 8;

}  // namespace

// ---- EventList ----

const TAlUnitAlarm& EventList::At(int index) const {
    if (index < 0 || index >= Count()) ThrowIndex(index);
    return items_[static_cast<std::size_t>(index)];
}

TAlUnitAlarm* EventList::FindByTime(TDateTime time) {
    if (std::isnan(time)) return nullptr;  // equal to nothing
    if (index_) {
        const auto it = index_->find(TimeKey(time));
        return it == index_->end() ? nullptr : &items_[it->second];
    }
    if (items_.size() <= kLinearSearchLimit) {
        for (std::size_t i = items_.size(); i-- > 0;) {
            if (items_[i].Time == time) return &items_[i];
        }
        return nullptr;
    }
    if (ascending_) {
        // Sorted and unique: a binary search is exact.
        const auto it = std::lower_bound(items_.begin(), items_.end(), time,
                                         [](const TAlUnitAlarm& e, TDateTime t) { return e.Time < t; });
        return (it != items_.end() && it->Time == time) ? &*it : nullptr;
    }
    index_ = std::make_unique<std::unordered_map<std::uint64_t, std::uint32_t>>();
    index_->reserve(items_.size() * 2);
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (!std::isnan(items_[i].Time)) index_->emplace(TimeKey(items_[i].Time), static_cast<std::uint32_t>(i));
    }
    const auto it = index_->find(TimeKey(time));
    return it == index_->end() ? nullptr : &items_[it->second];
}

void EventList::Append(std::uint32_t bits, TDateTime time) {
    if (!items_.empty() && !(time > items_.back().Time)) ascending_ = false;
    if (std::isnan(time)) ascending_ = false;
    items_.push_back(TAlUnitAlarm(time, bits));
    if (index_ && !std::isnan(time)) index_->emplace(TimeKey(time), static_cast<std::uint32_t>(items_.size() - 1));
}

TAlUnitAlarm& EventList::Add(std::uint32_t bits, TDateTime time) {
    summaryValid_ = false;
    // Events mostly arrive in time order: the newest event, or a time after it, settles most calls.
    if (!items_.empty()) {
        TAlUnitAlarm& last = items_.back();
        if (last.Time == time) {
            last.Bits |= bits;
            return last;
        }
        if (!(ascending_ && time > last.Time)) {
            if (TAlUnitAlarm* found = FindByTime(time)) {
                found->Bits |= bits;
                return *found;
            }
        }
    }
    Append(bits, time);
    return items_.back();
}

void EventList::AddAll(const TAlUnitAlarm* events, std::size_t count) {
    summaryValid_ = false;
    std::size_t i = 0;
    if (ascending_) {
        // The usual case: each later than the one before and than all held, so appended as they are.
        TDateTime last = items_.empty() ? -std::numeric_limits<TDateTime>::infinity() : items_.back().Time;
        while (i < count && events[i].Time > last) last = events[i++].Time;
        items_.append(events, i);
    }
    for (; i < count; ++i) Add(events[i].Bits, events[i].Time);
}

void EventList::Sort() {
    // Strictly ascending already (as events mostly arrive), and without an index to drop, needs
    // no sorting.
    if (!ascending_ || index_) SortItems();
    summaryValid_ = ascending_;
    if (!summaryValid_) return;
    summary_.clear();
    for (std::size_t c = 0; c < items_.ChunkCount(); ++c) {
        const auto [events, n] = items_.Chunk(c);
        ChunkSummary s{events[0].Time, events[n - 1].Time, static_cast<std::uint32_t>(n), 0};
        for (std::size_t i = 0; i < n; ++i) s.value |= events[i].Bits;
        summary_.push_back(s);
    }
}

std::uint32_t EventList::BitsIn(TDateTime start, TDateTime end) const {
    std::uint32_t bits = 0;
    for (std::size_t c = 0; c < items_.ChunkCount(); ++c) {
        if (summaryValid_) {
            const ChunkSummary& s = summary_[c];
            if (s.first > end) return bits;
            if (!(s.first < start) && !(s.last > end)) {
                bits |= s.value;  // the whole chunk lies in the window
                continue;
            }
        }
        const auto [events, n] = items_.Chunk(c);
        for (std::size_t i = 0; i < n; ++i) {
            const TAlUnitAlarm& e = events[i];
            if (e.Time > end) return bits;
            if (!(e.Time < start)) bits |= e.Bits;
        }
    }
    return bits;
}

void EventList::SortItems() {
    std::vector<TAlUnitAlarm> sorted;
    items_.CopyTo(sorted);
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const TAlUnitAlarm& a, const TAlUnitAlarm& b) { return a.Time < b.Time; });
    items_.CopyFrom(sorted);
    index_.reset();
    ascending_ = true;
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        if (std::isnan(sorted[i].Time) || (i > 0 && !(sorted[i].Time > sorted[i - 1].Time))) {
            ascending_ = false;
            break;
        }
    }
}

// ---- TAlUnit ----

void TAlUnit::SortEvents() {
    alarms_.Sort();
    trips_.Sort();
}

std::uint32_t TAlUnit::EventBitsInFilter(const EventList& list) const {
    return list.BitsIn(Site->FilterStart, Site->FilterEnd) & Site->EventMask;
}

std::uint32_t TAlUnit::AlarmBitsInFilter() const { return EventBitsInFilter(alarms_); }

std::uint32_t TAlUnit::TripBitsInFilter() const { return EventBitsInFilter(trips_); }

StringList TAlUnit::AlarmNamesInFilter(int width) const { return AppAlarmStrList(AlarmBitsInFilter(), width); }

StringList TAlUnit::TripNamesInFilter(int width) const { return AppTripStrList(TripBitsInFilter(), width); }

// ---- TAlSite ----

const TAlConn& TAlSite::ConnAt(int index) const {
    if (index < 0 || index >= ConnCount()) ThrowIndex(index);
    return conns_[static_cast<std::size_t>(index)];
}

int TAlSite::AddConn(const TAlConn& conn) {
    connSummaryValid_ = false;
    conns_.push_back(conn);
    return ConnCount() - 1;
}

TAlUnit* TAlSite::UnitAt(int index) const {
    if (index < 0 || index >= UnitCount()) ThrowIndex(index);
    return units_[static_cast<std::size_t>(index)].get();
}

TAlUnit* TAlSite::FindUnit(std::int32_t number) const {
    if (lastUnit_ && lastUnit_->Number == number) return lastUnit_;
    if (unitIndex_) {
        const auto it = unitIndex_->find(number);
        return it == unitIndex_->end() ? nullptr : it->second;
    }
    // The numbers side by side, so that a search does not visit every unit.
    for (std::size_t i = 0; i < unitNumbers_.size(); ++i) {
        if (unitNumbers_[i] == number) return units_[i].get();
    }
    return nullptr;
}

TAlUnit* TAlSite::GetUnit(std::int32_t number) {
    TAlUnit* unit = FindUnit(number);
    if (!unit) {
        units_.push_back(std::make_unique<TAlUnit>(number, this, arena_));
        unitNumbers_.push_back(number);
        unit = units_.back().get();
        if (unitIndex_) {
            unitIndex_->emplace(number, unit);
        } else if (units_.size() > kUnitIndexLimit) {
            unitIndex_ = std::make_unique<std::unordered_map<std::int32_t, TAlUnit*>>();
            for (const auto& u : units_) unitIndex_->emplace(u->Number, u.get());
        }
    }
    lastUnit_ = unit;
    return unit;
}

void TAlSite::AddUnitAlarm(std::int32_t number, std::uint32_t bits, TDateTime time) {
    GetUnit(number)->AddAlarm(bits, time);
}

void TAlSite::AddUnitTrip(std::int32_t number, std::uint32_t bits, TDateTime time) {
    GetUnit(number)->AddTrip(bits, time);
}

void TAlSite::AddUnitEvents(std::int32_t number, bool trips, const TAlUnitAlarm* events, std::size_t count) {
    GetUnit(number)->AddEvents(trips, events, count);
}

void TAlSite::AppendConns(const TAlConn* first, std::size_t count) {
    connSummaryValid_ = false;
    conns_.append(first, count);
}

void TAlSite::SortUnits() {
    std::stable_sort(units_.begin(), units_.end(),
                     [](const auto& a, const auto& b) { return a->Number < b->Number; });
    for (std::size_t i = 0; i < units_.size(); ++i) {
        unitNumbers_[i] = units_[i]->Number;
        units_[i]->SortEvents();
    }
}

bool TAlSite::BuildConnSummary() {
    connSummary_.clear();
    connSummaryValid_ = false;
    TDateTime previous = -std::numeric_limits<TDateTime>::infinity();
    for (std::size_t c = 0; c < conns_.ChunkCount(); ++c) {
        const auto [conns, n] = conns_.Chunk(c);
        ChunkSummary s{conns[0].Time, conns[n - 1].Time, 0, 0};
        for (std::size_t i = 0; i < n; ++i) {
            const TAlConn& conn = conns[i];
            if (!(previous <= conn.Time)) return false;  // out of order, or a time that compares with nothing
            previous = conn.Time;
            if (conn.IsSuccessful()) {
                ++s.count;
                s.value += conn.OnlineSecs;
            }
        }
        connSummary_.push_back(s);
    }
    connSummaryValid_ = true;
    return true;
}

void TAlSite::UpdateConnSummary() {
    // A log lists each site's attempts in time order, so the sort is mostly a check, made while
    // summing up the chunks.
    if (!BuildConnSummary()) {
        std::vector<TAlConn> sorted;
        conns_.CopyTo(sorted);
        std::stable_sort(sorted.begin(), sorted.end(), [](const TAlConn& a, const TAlConn& b) { return a.Time < b.Time; });
        conns_.CopyFrom(sorted);
        BuildConnSummary();
    }
    LastConnect = 0;
    LastAttempt = 0;
    FirstConnect = 0;
    if (conns_.empty()) return;
    LastAttempt = conns_.back().Time;
    for (std::size_t i = conns_.size(); i-- > 0;) {
        if (conns_[i].IsSuccessful()) {
            LastConnect = conns_[i].Time;
            break;
        }
    }
    for (const TAlConn& conn : conns_) {
        if (conn.IsSuccessful()) {
            FirstConnect = conn.Time;
            break;
        }
    }
}

void TAlSite::ApplyFilter(TDateTime start, TDateTime end, std::int32_t days) {
    FilterStart = 0;
    FilterEnd = LastAttempt;
    if (days != 0 && LastConnect > 0) {
        FilterEnd = LastConnect;
        FilterStart = LastConnect - days;
    }
    if (FilterStart < start) FilterStart = start;
    if (FilterEnd > end) FilterEnd = end;
}

void TAlSite::ConnStatsInFilter(std::int32_t& count, std::uint32_t& onlineSecs) const {
    count = 0;
    onlineSecs = 0;
    // Newest first, stopping at the first attempt before the window.
    for (std::size_t c = conns_.ChunkCount(); c-- > 0;) {
        if (connSummaryValid_) {
            const ChunkSummary& s = connSummary_[c];
            if (s.last < FilterStart) return;
            if (!(s.first < FilterStart) && !(s.last > FilterEnd)) {
                count += static_cast<std::int32_t>(s.count);  // the whole chunk lies in the window
                onlineSecs += s.value;
                continue;
            }
        }
        const auto [conns, n] = conns_.Chunk(c);
        for (std::size_t i = n; i-- > 0;) {
            const TAlConn& conn = conns[i];
            if (conn.Time < FilterStart) return;
            // Without branches on the data: a year of hourly attempts goes through here at each Refresh.
            const bool counted = !(conn.Time > FilterEnd) & conn.IsSuccessful();
            count += counted;
            onlineSecs += counted ? conn.OnlineSecs : 0;
        }
    }
}

std::int32_t TAlSite::ConnCountInFilter() const {
    std::int32_t count;
    std::uint32_t secs;
    ConnStatsInFilter(count, secs);
    return count;
}

std::uint32_t TAlSite::OnlineSecsInFilter() const {
    std::int32_t count;
    std::uint32_t secs;
    ConnStatsInFilter(count, secs);
    return secs;
}

std::uint32_t TAlSite::AlarmBitsInFilter() const {
    std::uint32_t bits = 0;
    for (const auto& unit : units_) bits |= unit->AlarmBitsInFilter();
    return bits;
}

StringList TAlSite::AlarmNamesInFilter(int width) const { return AppAlarmStrList(AlarmBitsInFilter(), width); }

// ---- TAlSiteList ----

int CompareSiteNames(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char ca = FoldByte(a[i]);
        const unsigned char cb = FoldByte(b[i]);
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

namespace {

// Eight bytes with A-Z folded to a-z in each, every other byte (bytes from 0x80 included) unchanged.
inline std::uint64_t FoldWord(std::uint64_t x) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    constexpr std::uint64_t kHigh = 0x8080808080808080ull;
    const std::uint64_t low = x & ~kHigh;                // each byte's low seven bits
    const std::uint64_t atLeastA = low + (0x80 - 'A') * kOnes;  // high bit: at least 'A'
    const std::uint64_t aboveZ = low + (0x80 - 'Z' - 1) * kOnes;  // high bit: above 'Z'
    const std::uint64_t upper = atLeastA & ~aboveZ & ~x & kHigh;
    return x | (upper >> 2);  // 0x80 >> 2 is the 0x20 between the cases
}

inline std::uint64_t LoadWord(const char* p) {
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

// The folded bytes of a name in words: whole words from the start, then the last eight bytes
// (overlapping) for the rest; names shorter than a word make one word padded with zeros.
template <typename Visit>
inline void ForEachFoldedWord(std::string_view name, Visit&& visit) {
    const std::size_t n = name.size();
    const char* p = name.data();
    if (n < 8) {
        std::uint64_t w = 0;
        for (std::size_t i = 0; i < n; ++i) w |= std::uint64_t{static_cast<unsigned char>(p[i])} << (8 * i);
        visit(FoldWord(w));
        return;
    }
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) visit(FoldWord(LoadWord(p + i)));
    if (i < n) visit(FoldWord(LoadWord(p + n - 8)));
}

}  // namespace

std::size_t SiteNameHash::operator()(std::string_view name) const noexcept {
    std::uint64_t h = 0x9E3779B97F4A7C15ull ^ name.size();
    ForEachFoldedWord(name, [&h](std::uint64_t w) {
        h = (h ^ w) * 0xBF58476D1CE4E5B9ull;
        h ^= h >> 31;
    });
    h *= 0x94D049BB133111EBull;
    h ^= h >> 29;
    return static_cast<std::size_t>(h);
}

bool SiteNameEqual::operator()(std::string_view a, std::string_view b) const noexcept {
    const std::size_t n = a.size();
    if (n != b.size()) return false;
    if (n < 8) {
        for (std::size_t i = 0; i < n; ++i) {
            if (FoldByte(a[i]) != FoldByte(b[i])) return false;
        }
        return true;
    }
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        if (FoldWord(LoadWord(a.data() + i)) != FoldWord(LoadWord(b.data() + i))) return false;
    }
    return i == n || FoldWord(LoadWord(a.data() + n - 8)) == FoldWord(LoadWord(b.data() + n - 8));
}

void TAlSiteList::EnsureOrder() const {
    if (orderValid_) return;
    order_.clear();
    order_.reserve(sites_.size());
    for (const auto& site : sites_) order_.push_back(site.get());
    std::sort(order_.begin(), order_.end(),
              [](const TAlSite* a, const TAlSite* b) { return CompareSiteNames(a->Name, b->Name) < 0; });
    orderValid_ = true;
}

TAlSite* TAlSiteList::SiteAt(int index) const {
    if (index < 0 || index >= Count()) ThrowIndex(index);
    EnsureOrder();
    return order_[static_cast<std::size_t>(index)];
}

TAlSite* SiteIndex::Find(std::string_view name) const {
    if (slots_.empty()) return nullptr;
    const std::uint64_t hash = SiteNameHash{}(name);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = static_cast<std::size_t>(hash) & mask;; i = (i + 1) & mask) {
        const Slot& slot = slots_[i];
        if (!slot.site) return nullptr;
        if (slot.hash == hash && SiteNameEqual{}(slot.site->Name, name)) return slot.site;
    }
}

void SiteIndex::Insert(TAlSite* site) {
    if ((count_ + 1) * 2 > slots_.size()) Grow();
    const std::uint64_t hash = SiteNameHash{}(site->Name);
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = static_cast<std::size_t>(hash) & mask;
    while (slots_[i].site) i = (i + 1) & mask;
    slots_[i] = Slot{hash, site};
    ++count_;
}

void SiteIndex::Grow() {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(old.empty() ? 64 : old.size() * 2, Slot{});
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
        if (!slot.site) continue;
        std::size_t i = static_cast<std::size_t>(slot.hash) & mask;
        while (slots_[i].site) i = (i + 1) & mask;
        slots_[i] = slot;
    }
}

void SiteIndex::Clear() {
    slots_.clear();
    count_ = 0;
}

TAlSite* TAlSiteList::FindSite(std::string_view name) const { return index_.Find(name); }

TAlSite* TAlSiteList::AddSite(std::string_view name, std::string_view path) {
    if (TAlSite* existing = index_.Find(name)) return existing;
    sites_.push_back(std::make_unique<TAlSite>(std::string(name), std::string(path), arena_.get()));
    TAlSite* site = sites_.back().get();
    index_.Insert(site);
    orderValid_ = false;
    return site;
}

TAlSiteList::TAlSiteList() : arena_(std::make_unique<ModelArena>()) {}

TAlSiteList::~TAlSiteList() {
    sites_.clear();  // before the arena they keep their records in
}

void TAlSiteList::Clear() {
    index_.Clear();
    order_.clear();
    sites_.clear();
    arena_ = std::make_unique<ModelArena>();
    orderValid_ = true;
}

void TAlSiteList::UpdateSummaries() {
    EnsureOrder();
    for (TAlSite* site : order_) {
        site->SortUnits();
        site->UpdateConnSummary();
    }
}

void TAlSiteList::SetFilter(TDateTime start, TDateTime end, std::int32_t days) {
    FilterStart = start;
    FilterEnd = end;
    FilterDays = days;
    EnsureOrder();
    for (TAlSite* site : order_) site->ApplyFilter(start, end, days);
}

}  // namespace kelvane
