#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/AlarmSite.h"

namespace kelvane {

// What a stretch of log lines recorded, kept in flat arrays in line order until it is taken into a
// site list. A log names its sites in turn, so handling each line in the list itself would touch
// another site's storage at every header; reading into these few arrays instead keeps the hot loop
// in memory written one record after another, and taking a stretch in then visits each site once
// with all its records together. Sites are numbered in the order they first appear here.
class ParsedPart {
public:
    // The number of the site with this name ignoring letter case; a site new to the part is added
    // with this spelling and path.
    std::uint32_t SiteFor(std::string_view name, std::string_view path);

    // Starts an attempt of a site at a time; it is the current attempt until the next one starts.
    void AddAttempt(std::uint32_t site, TDateTime time);
    bool HasAttempt() const { return !attempts_.empty(); }
    // The current attempt, to record its link errors and time online.
    TAlConn& CurrentAttempt() { return attempts_.back().conn; }
    // Merges alarm or trip bits of a unit into the current attempt's site at the attempt's time.
    void AddEvent(std::int32_t unit, std::uint32_t bits, bool trip);

    std::size_t AttemptCount() const { return attempts_.size(); }
    bool Empty() const { return sites_.empty(); }

    // Sorts the records by site, and each site's events by unit and kind, keeping line order
    // within each. Needs no list, so a reading thread does it before handing the part over;
    // TakeInto does it when it has not been done.
    void Group();
    // Takes every record into the list as if each line had been handled there (sites created in
    // order of appearance, attempts appended, events merged by time), then empties the part.
    void TakeInto(TAlSiteList& sites);
    void Clear();

private:
    struct Site {
        std::string name;
        std::string path;
        std::uint64_t hash = 0;
        std::uint32_t attempts = 0;
        std::uint32_t events = 0;
        std::uint32_t runs = 0;  // after Group: runs of events of one unit and kind
    };
    struct Attempt {
        TAlConn conn;
        std::uint32_t site = 0;
    };
    struct Event {
        TDateTime time = 0;
        std::uint32_t site = 0;
        std::int32_t unit = 0;
        std::uint32_t bits = 0;
        bool trip = false;
    };

    void GrowSlots();

    std::vector<Site> sites_;
    struct Slot {
        std::uint32_t tag = 0;   // the high half of the name's hash, compared before the name
        std::uint32_t site = 0;  // site number + 1, 0 when free
    };
    std::vector<Slot> slots_;  // open addressing
    std::uint32_t lastSite_ = 0;        // the site of the last lookup, when sites_ is not empty
    std::vector<Attempt> attempts_;
    std::vector<Event> events_;
    // A site's events of one unit and kind, in line order, equal times in a row merged.
    struct Run {
        std::int32_t unit = 0;
        bool trip = false;
        std::uint32_t start = 0;  // in groupedEvents_
        std::uint32_t count = 0;
    };

    bool grouped_ = false;
    std::vector<TAlConn> groupedConns_;        // by site, then line order
    std::vector<Event> bySite_;                // events by site, then line order
    std::vector<Run> runs_;                    // by site
    std::vector<TAlUnitAlarm> groupedEvents_;  // by run
};

}  // namespace kelvane
