#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "model/ChunkedArray.h"
#include "platform/CommaText.h"
#include "platform/DateTime.h"

namespace kelvane {

class TAlSite;

// Link-error codes that make a connection attempt a failure.
inline constexpr std::uint32_t ConnFailMask = 0x18F;

// One connection attempt (one polling of a site).
struct TAlConn {
    TDateTime Time = 0;
    std::uint32_t Status = 0;      // bit n: link error n was logged
    std::uint32_t OnlineSecs = 0;  // seconds online

    TAlConn() = default;
    explicit TAlConn(TDateTime time) : Time(time) {}

    // Online for a while and free of the link errors that mean no connection.
    bool IsSuccessful() const { return (Status & ConnFailMask) == 0 && OnlineSecs != 0; }
};

// One alarm or trip event of a unit: every code reported for one point in time.
struct TAlUnitAlarm {
    TDateTime Time = 0;
    std::uint32_t Bits = 0;

    TAlUnitAlarm() = default;
    TAlUnitAlarm(TDateTime time, std::uint32_t bits) : Time(time), Bits(bits) {}
};

// What one chunk of records in time order holds, so that a window answers from it without
// visiting each record: the first and last time, and a count and value summed (or joined) over it.
struct ChunkSummary {
    TDateTime first = 0;
    TDateTime last = 0;
    std::uint32_t count = 0;
    std::uint32_t value = 0;
};

// A list of events kept unique by exact time, merging in O(1) on average.
class EventList {
public:
    // arena: where the events are kept (the list's own for its sites; the heap when null).
    explicit EventList(ModelArena* arena = nullptr) : items_(arena) {}

    // ORs bits into the event of exactly this time, or appends a new event.
    TAlUnitAlarm& Add(std::uint32_t bits, TDateTime time);
    // Adds count events in their order, as Add would one by one.
    void AddAll(const TAlUnitAlarm* events, std::size_t count);
    // Sorts by ascending time.
    void Sort();
    // The bits of the events from start to end (both included), in ascending order as Sort leaves
    // them: the scan stops at the first event after end.
    std::uint32_t BitsIn(TDateTime start, TDateTime end) const;

    int Count() const { return static_cast<int>(items_.size()); }
    const TAlUnitAlarm& At(int index) const;
    const ChunkedArray<TAlUnitAlarm>& Items() const { return items_; }

private:
    TAlUnitAlarm* FindByTime(TDateTime time);
    void SortItems();
    void Append(std::uint32_t bits, TDateTime time);

    ChunkedArray<TAlUnitAlarm> items_;
    bool ascending_ = true;  // strictly ascending times in index order
    std::unique_ptr<std::unordered_map<std::uint64_t, std::uint32_t>> index_;
    std::vector<ChunkSummary> summary_;  // per chunk of items_ (value: the bits joined), when valid
    bool summaryValid_ = false;          // set by Sort on strictly ascending times, cleared by Add
};

// One controller unit of a site with its alarm and trip events.
class TAlUnit {
public:
    TAlUnit(std::int32_t number, TAlSite* site, ModelArena* arena = nullptr)
        : Number(number), Site(site), alarms_(arena), trips_(arena) {}

    std::int32_t Number;
    TAlSite* Site;  // not owned

    int AlarmCount() const { return alarms_.Count(); }
    const TAlUnitAlarm& AlarmAt(int index) const { return alarms_.At(index); }
    const EventList& Alarms() const { return alarms_; }
    const EventList& Trips() const { return trips_; }

    // Merges alarm bits into the event at time, or adds one.
    TAlUnitAlarm& AddAlarm(std::uint32_t bits, TDateTime time) { return alarms_.Add(bits, time); }
    // Merges trip bits into the event at time, or adds one.
    TAlUnitAlarm& AddTrip(std::uint32_t bits, TDateTime time) { return trips_.Add(bits, time); }
    // Adds alarm or trip events in their order.
    void AddEvents(bool trips, const TAlUnitAlarm* events, std::size_t count) {
        (trips ? trips_ : alarms_).AddAll(events, count);
    }
    // Sorts both event lists by time.
    void SortEvents();

    // Alarm bits of the events inside the site's filter window, masked to codes 0-15.
    std::uint32_t AlarmBitsInFilter() const;
    // Trip bits of the events inside the site's filter window, masked to codes 0-15.
    std::uint32_t TripBitsInFilter() const;
    // Alarm texts of the filter window in a width; empty for none.
    StringList AlarmNamesInFilter(int width) const;
    // Trip texts of the filter window in a width; empty for none.
    StringList TripNamesInFilter(int width) const;

private:
    std::uint32_t EventBitsInFilter(const EventList& list) const;

    EventList alarms_;
    EventList trips_;
};

// One site: its connection attempts, units, summaries and filter window.
class TAlSite {
public:
    // arena: where attempts and events are kept (the list's own for its sites; the heap when null).
    TAlSite(std::string name, std::string path, ModelArena* arena = nullptr)
        : Name(std::move(name)), Path(std::move(path)), arena_(arena), conns_(arena) {}
    TAlSite(const TAlSite&) = delete;
    TAlSite& operator=(const TAlSite&) = delete;

    std::string Name;
    std::string Path;
    TDateTime LastConnect = 0;
    TDateTime LastAttempt = 0;
    TDateTime FirstConnect = 0;
    TDateTime FilterStart = 0;
    TDateTime FilterEnd = 0;
    std::uint32_t EventMask = 0xFFFF;

    int ConnCount() const { return static_cast<int>(conns_.size()); }
    const TAlConn& ConnAt(int index) const;
    const ChunkedArray<TAlConn>& Conns() const { return conns_; }
    // Appends an attempt; returns its index.
    int AddConn(const TAlConn& conn);
    // Appends count attempts in their order.
    void AppendConns(const TAlConn* first, std::size_t count);

    int UnitCount() const { return static_cast<int>(units_.size()); }
    TAlUnit* UnitAt(int index) const;
    // The unit with this number, or null.
    TAlUnit* FindUnit(std::int32_t number) const;
    // Finds or creates the unit, then merges an alarm event.
    void AddUnitAlarm(std::int32_t number, std::uint32_t bits, TDateTime time);
    // Finds or creates the unit, then merges a trip event.
    void AddUnitTrip(std::int32_t number, std::uint32_t bits, TDateTime time);
    // Finds or creates the unit, then merges count trip or alarm events in their order.
    void AddUnitEvents(std::int32_t number, bool trips, const TAlUnitAlarm* events, std::size_t count);

    // Sorts units by number and each unit's events by time.
    void SortUnits();
    // Sorts attempts by time and recomputes FirstConnect, LastConnect and LastAttempt.
    void UpdateConnSummary();

    // Derives this site's filter window from the period and Days.
    void ApplyFilter(TDateTime start, TDateTime end, std::int32_t days);
    // Successful attempts inside the window.
    std::int32_t ConnCountInFilter() const;
    // Seconds online of the successful attempts inside the window (32-bit sum).
    std::uint32_t OnlineSecsInFilter() const;
    // Both of the above in one scan.
    void ConnStatsInFilter(std::int32_t& count, std::uint32_t& onlineSecs) const;
    // Union of the units' alarm bits in the window.
    std::uint32_t AlarmBitsInFilter() const;
    // Alarm texts of the union of the units' alarms in the window; empty for none.
    StringList AlarmNamesInFilter(int width) const;

private:
    TAlUnit* GetUnit(std::int32_t number);
    // Sums up the chunks of conns_ when the attempts are in time order; false when they are not.
    bool BuildConnSummary();

    ModelArena* arena_;
    ChunkedArray<TAlConn> conns_;
    // Per chunk of conns_: the successful attempts and their seconds online; valid from
    // UpdateConnSummary on attempts in time order until the next attempt is added.
    std::vector<ChunkSummary> connSummary_;
    bool connSummaryValid_ = false;
    std::vector<std::unique_ptr<TAlUnit>> units_;
    std::vector<std::int32_t> unitNumbers_;  // units_[i]->Number at i
    std::unique_ptr<std::unordered_map<std::int32_t, TAlUnit*>> unitIndex_;
    TAlUnit* lastUnit_ = nullptr;
};

// Orders site names by their bytes with A-Z folded to a-z: negative, zero or positive.
int CompareSiteNames(std::string_view a, std::string_view b);

// Hash and equality of site names with A-Z folded to a-z, for lookups without copying names.
struct SiteNameHash {
    std::size_t operator()(std::string_view name) const noexcept;
};
struct SiteNameEqual {
    bool operator()(std::string_view a, std::string_view b) const noexcept;
};

// Finds sites by name ignoring letter case: open addressing with each entry's hash kept beside it,
// so a probe compares names only when the hashes agree.
class SiteIndex {
public:
    TAlSite* Find(std::string_view name) const;
    // Adds a site whose name is not in the index yet.
    void Insert(TAlSite* site);
    void Clear();

private:
    struct Slot {
        std::uint64_t hash = 0;
        TAlSite* site = nullptr;
    };
    void Grow();

    std::vector<Slot> slots_;  // a power of two in size, at most half full
    std::size_t count_ = 0;
};

// All sites, in ascending name order ignoring letter case; owns them.
class TAlSiteList {
public:
    TAlSiteList();
    ~TAlSiteList();
    TAlSiteList(const TAlSiteList&) = delete;
    TAlSiteList& operator=(const TAlSiteList&) = delete;

    TDateTime FilterStart = 0;
    TDateTime FilterEnd = 0;
    std::int32_t FilterDays = 0;

    int Count() const { return static_cast<int>(sites_.size()); }
    // The site at an index of the name order.
    TAlSite* SiteAt(int index) const;
    // The site with this name ignoring letter case, or null.
    TAlSite* FindSite(std::string_view name) const;
    // The site with this name; created with the path when absent (an existing site keeps its path).
    TAlSite* AddSite(std::string_view name, std::string_view path);
    // Destroys every site; the filter fields keep their values.
    void Clear();
    // Sorts every site's units, events and attempts and recomputes its summaries.
    void UpdateSummaries();
    // Stores the period and gives every site its filter window.
    void SetFilter(TDateTime start, TDateTime end, std::int32_t days);

private:
    void EnsureOrder() const;

    std::unique_ptr<ModelArena> arena_;  // the sites' attempts and events; outlives the sites
    std::vector<std::unique_ptr<TAlSite>> sites_;  // in order of creation
    SiteIndex index_;
    mutable std::vector<TAlSite*> order_;  // by name
    mutable bool orderValid_ = true;
};

}  // namespace kelvane
