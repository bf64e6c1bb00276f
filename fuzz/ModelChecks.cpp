#include "ModelChecks.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <string>

#include "FuzzSupport.h"
#include "log/Alarmconsts.h"

namespace kelvane::fuzz {

namespace {

void CheckEvents(const EventList& events) {
    const auto& items = events.Items();
    KELVANE_FUZZ_CHECK(events.Count() == static_cast<int>(items.size()));
    for (std::size_t i = 0; i < items.size(); ++i) {
        KELVANE_FUZZ_CHECK(!std::isnan(items[i].Time));
        KELVANE_FUZZ_CHECK(items[i].Bits != 0);
        if (i > 0) KELVANE_FUZZ_CHECK(items[i - 1].Time < items[i].Time);
    }
}

std::uint32_t EventBitsInWindow(const EventList& events, const TAlSite& site) {
    std::uint32_t bits = 0;
    for (const TAlUnitAlarm& e : events.Items()) {
        if (site.FilterStart <= e.Time && e.Time <= site.FilterEnd) bits |= e.Bits;
    }
    return bits & site.EventMask;
}

std::string TreeDate(TDateTime value) { return FormatDateByPattern(kTreeDateFormat, value); }

std::string Exact(double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%a", value);
    return buf;
}

}  // namespace

void CheckSortedList(const TAlSiteList& sites) {
    const TAlSite* previous = nullptr;
    for (int i = 0; i < sites.Count(); ++i) {
        const TAlSite* site = sites.SiteAt(i);
        KELVANE_FUZZ_CHECK(site != nullptr);
        if (previous) {
            KELVANE_FUZZ_CHECK_MSG(CompareSiteNames(previous->Name, site->Name) < 0,
                                   Hex(previous->Name) + " before " + Hex(site->Name));
        }
        KELVANE_FUZZ_CHECK(sites.FindSite(site->Name) == site);
        previous = site;

        for (int j = 0; j < site->UnitCount(); ++j) {
            const TAlUnit* unit = site->UnitAt(j);
            KELVANE_FUZZ_CHECK(unit->Site == site);
            KELVANE_FUZZ_CHECK(site->FindUnit(unit->Number) == unit);
            if (j > 0) KELVANE_FUZZ_CHECK(site->UnitAt(j - 1)->Number < unit->Number);
            KELVANE_FUZZ_CHECK(unit->AlarmCount() == unit->Alarms().Count());
            CheckEvents(unit->Alarms());
            CheckEvents(unit->Trips());
        }

        const auto& conns = site->Conns();
        KELVANE_FUZZ_CHECK(site->ConnCount() == static_cast<int>(conns.size()));
        TDateTime first = 0;
        TDateTime last = 0;
        bool anySuccess = false;
        for (std::size_t k = 0; k < conns.size(); ++k) {
            KELVANE_FUZZ_CHECK(!std::isnan(conns[k].Time));
            if (k > 0) KELVANE_FUZZ_CHECK(conns[k - 1].Time <= conns[k].Time);
            if (conns[k].IsSuccessful()) {
                if (!anySuccess) first = conns[k].Time;
                last = conns[k].Time;
                anySuccess = true;
            }
        }
        KELVANE_FUZZ_CHECK(site->LastAttempt == (conns.empty() ? 0.0 : conns.back().Time));
        KELVANE_FUZZ_CHECK(site->FirstConnect == first);
        KELVANE_FUZZ_CHECK(site->LastConnect == last);
        if (anySuccess) {
            KELVANE_FUZZ_CHECK(site->FirstConnect <= site->LastConnect);
            KELVANE_FUZZ_CHECK(site->LastConnect <= site->LastAttempt);
        } else {
            KELVANE_FUZZ_CHECK(site->FirstConnect == 0 && site->LastConnect == 0);
        }
    }
}

void CheckFilter(const TAlSiteList& sites, TDateTime start, TDateTime end, std::int32_t days) {
    KELVANE_FUZZ_CHECK(sites.FilterStart == start);
    KELVANE_FUZZ_CHECK(sites.FilterEnd == end);
    KELVANE_FUZZ_CHECK(sites.FilterDays == days);
    for (int i = 0; i < sites.Count(); ++i) {
        const TAlSite& site = *sites.SiteAt(i);

        // The window: Days back from the last success when there is one, never outside the period.
        TDateTime windowStart = 0;
        TDateTime windowEnd = site.LastAttempt;
        if (days != 0 && site.LastConnect > 0) {
            windowEnd = site.LastConnect;
            windowStart = site.LastConnect - days;
        }
        if (windowStart < start) windowStart = start;
        if (windowEnd > end) windowEnd = end;
        KELVANE_FUZZ_CHECK(site.FilterStart == windowStart);
        KELVANE_FUZZ_CHECK(site.FilterEnd == windowEnd);

        std::int32_t count = 0;
        std::uint32_t secs = 0;
        for (const TAlConn& conn : site.Conns()) {
            if (site.FilterStart <= conn.Time && conn.Time <= site.FilterEnd && conn.IsSuccessful()) {
                ++count;
                secs += conn.OnlineSecs;
            }
        }
        std::int32_t gotCount = -1;
        std::uint32_t gotSecs = 0;
        site.ConnStatsInFilter(gotCount, gotSecs);
        KELVANE_FUZZ_CHECK_MSG(gotCount == count,
                               std::to_string(gotCount) + " counted, " + std::to_string(count) + " expected");
        KELVANE_FUZZ_CHECK(gotSecs == secs);
        KELVANE_FUZZ_CHECK(site.ConnCountInFilter() == count);
        KELVANE_FUZZ_CHECK(site.OnlineSecsInFilter() == secs);

        std::uint32_t siteAlarms = 0;
        for (int j = 0; j < site.UnitCount(); ++j) {
            const TAlUnit& unit = *site.UnitAt(j);
            const std::uint32_t alarms = EventBitsInWindow(unit.Alarms(), site);
            const std::uint32_t trips = EventBitsInWindow(unit.Trips(), site);
            KELVANE_FUZZ_CHECK(unit.AlarmBitsInFilter() == alarms);
            KELVANE_FUZZ_CHECK(unit.TripBitsInFilter() == trips);
            KELVANE_FUZZ_CHECK(unit.AlarmNamesInFilter(2).size() ==
                               static_cast<std::size_t>(std::popcount(alarms)));
            KELVANE_FUZZ_CHECK(unit.TripNamesInFilter(3).size() ==
                               static_cast<std::size_t>(std::popcount(trips)));
            siteAlarms |= alarms;
        }
        KELVANE_FUZZ_CHECK(site.AlarmBitsInFilter() == siteAlarms);
        KELVANE_FUZZ_CHECK(site.AlarmNamesInFilter(2).size() ==
                           static_cast<std::size_t>(std::popcount(siteAlarms)));
    }
}

void CheckTreeRows(const TAlSiteList& sites, const std::vector<TreeRow>& rows, const Locale& locale) {
    std::size_t r = 0;
    for (int i = 0; i < sites.Count(); ++i) {
        TAlSite* site = sites.SiteAt(i);
        KELVANE_FUZZ_CHECK(r < rows.size());
        const TreeRow& siteRow = rows[r++];
        KELVANE_FUZZ_CHECK(siteRow.level == 0 && siteRow.site == site && siteRow.unit == nullptr);
        KELVANE_FUZZ_CHECK(siteRow.texts[TreeRow::SiteUnit] == site->Name);

        std::string date = TreeDate(site->LastConnect);
        if (site->LastAttempt != site->LastConnect) date += " (" + TreeDate(site->LastAttempt) + ")";
        KELVANE_FUZZ_CHECK_MSG(siteRow.texts[TreeRow::DateTime] == date, siteRow.texts[TreeRow::DateTime]);

        const std::int32_t conns = site->ConnCountInFilter();
        KELVANE_FUZZ_CHECK(siteRow.texts[TreeRow::Conns] == std::to_string(conns));
        KELVANE_FUZZ_CHECK(siteRow.texts[TreeRow::Mins] == locale.FormatMinutes(site->OnlineSecsInFilter()));
        KELVANE_FUZZ_CHECK(siteRow.grey == (conns <= 0));

        bool anyTrips = false;
        for (int j = 0; j < site->UnitCount(); ++j) {
            TAlUnit* unit = site->UnitAt(j);
            KELVANE_FUZZ_CHECK(r < rows.size());
            const TreeRow& unitRow = rows[r++];
            KELVANE_FUZZ_CHECK(unitRow.level == 1 && unitRow.site == site && unitRow.unit == unit);
            KELVANE_FUZZ_CHECK(unitRow.texts[TreeRow::SiteUnit] == "Unit " + std::to_string(unit->Number));
            const StringList alarms = unit->AlarmNamesInFilter(2);
            const StringList trips = unit->TripNamesInFilter(3);
            anyTrips = anyTrips || !trips.empty();
            KELVANE_FUZZ_CHECK(unitRow.texts[TreeRow::Alarms] ==
                               (alarms.empty() ? "none" : JoinCommaText(alarms)));
            KELVANE_FUZZ_CHECK(unitRow.texts[TreeRow::DateTime] ==
                               (trips.empty() ? "" : JoinCommaText(trips)));
        }
        const StringList siteAlarms = site->AlarmNamesInFilter(2);
        const std::string expected = !siteAlarms.empty() ? JoinCommaText(siteAlarms)
                                     : anyTrips          ? "AL??"
                                                         : "none";
        KELVANE_FUZZ_CHECK(siteRow.texts[TreeRow::Alarms] == expected);
    }
    KELVANE_FUZZ_CHECK(r == rows.size());
}

std::vector<std::string> DumpList(const TAlSiteList& sites) {
    std::vector<std::string> dump;
    for (int i = 0; i < sites.Count(); ++i) {
        const TAlSite& site = *sites.SiteAt(i);
        dump.push_back("site " + Hex(site.Name) + " path " + Hex(site.Path) + " first " +
                       Exact(site.FirstConnect) + " last " + Exact(site.LastConnect) + " attempt " +
                       Exact(site.LastAttempt));
        for (const TAlConn& c : site.Conns()) {
            dump.push_back(" conn " + Exact(c.Time) + " status " + std::to_string(c.Status) + " online " +
                           std::to_string(c.OnlineSecs));
        }
        for (int j = 0; j < site.UnitCount(); ++j) {
            const TAlUnit& unit = *site.UnitAt(j);
            dump.push_back(" unit " + std::to_string(unit.Number));
            for (const TAlUnitAlarm& e : unit.Alarms().Items()) {
                dump.push_back("  alarm " + Exact(e.Time) + " " + std::to_string(e.Bits));
            }
            for (const TAlUnitAlarm& e : unit.Trips().Items()) {
                dump.push_back("  trip " + Exact(e.Time) + " " + std::to_string(e.Bits));
            }
        }
    }
    return dump;
}

std::string FirstDifference(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    for (std::size_t i = 0; i < a.size() || i < b.size(); ++i) {
        const std::string left = i < a.size() ? a[i] : "(end)";
        const std::string right = i < b.size() ? b[i] : "(end)";
        if (left != right) return "item " + std::to_string(i) + ": " + left + " | " + right;
    }
    return "no difference";
}

}  // namespace kelvane::fuzz
