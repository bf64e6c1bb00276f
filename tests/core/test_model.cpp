// The site model: building and merging, sorting and summaries, and the filter window with its
// statistics.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "log/BrelLogParser.h"
#include "model/AlarmSite.h"

namespace kelvane {
namespace {

using test::At;
using test::ThrowsMessage;

constexpr TDateTime kMinute = 1.0 / (24 * 60);
constexpr TDateTime kMillisecond = 1.0 / (24 * 60 * 60 * 1000);

// Appends an attempt with the given online time and link-error bits.
void AddAttempt(TAlSite* site, TDateTime time, std::uint32_t onlineSecs, std::uint32_t status = 0) {
    TAlConn conn(time);
    conn.OnlineSecs = onlineSecs;
    conn.Status = status;
    site->AddConn(conn);
}

std::vector<std::string> SiteNames(const TAlSiteList& list) {
    std::vector<std::string> names;
    for (int i = 0; i < list.Count(); ++i) names.push_back(list.SiteAt(i)->Name);
    return names;
}

std::vector<TDateTime> ConnTimes(const TAlSite& site) {
    std::vector<TDateTime> times;
    for (const auto& c : site.Conns()) times.push_back(c.Time);
    return times;
}

std::vector<std::int32_t> UnitNumbers(const TAlSite& site) {
    std::vector<std::int32_t> numbers;
    for (int i = 0; i < site.UnitCount(); ++i) numbers.push_back(site.UnitAt(i)->Number);
    return numbers;
}

// ---------------------------------------------------------------------------------------------
// Site names and the site list

TEST(SiteNames, CompareFoldsCapitalsToSmallLetters) {
    struct Case {
        const char* a;
        const char* b;
        int sign;
    };
    const Case cases[] = {
        {"North", "NORTH", 0},
        {"north", "North", 0},
        {"alpha", "Bravo", -1},
        {"ALPHA", "bravo", -1},
        {"ab", "abc", -1},
        {"", "a", -1},
        {"", "", 0},
        // '_' lies between the capitals and the small letters: folding to small letters puts it first.
        {"_depot", "Zulu", -1},
        {"_depot", "zulu", -1},
        {"[x", "a", -1},
        // Bytes above 127 compare unsigned and unchanged.
        {"\xe9", "z", 1},
        {"\xc9", "\xe9", -1},
        {"Caf\xe9", "CAF\xe9", 0},
    };
    for (const auto& c : cases) {
        const int forward = CompareSiteNames(c.a, c.b);
        const int backward = CompareSiteNames(c.b, c.a);
        EXPECT_EQ((forward > 0) - (forward < 0), c.sign) << c.a << " vs " << c.b;
        EXPECT_EQ((backward > 0) - (backward < 0), -c.sign) << c.b << " vs " << c.a;
    }
}

TEST(SiteList, SitesAreKeptInNameOrderIgnoringCase) {
    TAlSiteList list;
    for (const char* name : {"charlie", "Bravo", "_depot", "ALPHA", "Zulu", "\xe9tang"}) list.AddSite(name, "x");
    EXPECT_EQ(SiteNames(list), (std::vector<std::string>{"_depot", "ALPHA", "Bravo", "charlie", "Zulu", "\xe9tang"}));

    // Sites added after the order has been read take their place in it.
    list.AddSite("delta", "y");
    list.AddSite("Able", "y");
    EXPECT_EQ(SiteNames(list),
              (std::vector<std::string>{"_depot", "Able", "ALPHA", "Bravo", "charlie", "delta", "Zulu", "\xe9tang"}));
    EXPECT_EQ(list.Count(), 8);
}

TEST(SiteList, NamesDifferingOnlyInCaseAreOneSite) {
    TAlSiteList list;
    TAlSite* north = list.AddSite("North", "D:\\Logs\\North\\");
    TAlSite* again = list.AddSite("NORTH", "E:\\Other\\NORTH\\");
    EXPECT_EQ(north, again);
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(north->Name, "North");
    EXPECT_EQ(north->Path, "D:\\Logs\\North\\");
    EXPECT_EQ(list.FindSite("nOrTh"), north);
    EXPECT_EQ(list.FindSite("South"), nullptr);
    EXPECT_EQ(list.FindSite("Nort"), nullptr);

    // Only A-Z fold: bytes above 127 stay as they are.
    TAlSite* cafe = list.AddSite("Caf\xe9", "p");
    TAlSite* other = list.AddSite("CAF\xc9", "p");
    EXPECT_NE(cafe, other);
    EXPECT_EQ(list.AddSite("CAF\xe9", "q"), cafe);
    EXPECT_EQ(list.Count(), 3);
}

TEST(SiteList, IndexOutsideTheListIsARangeError) {
    TAlSiteList list;
    EXPECT_TRUE(ThrowsMessage([&] { list.SiteAt(0); }, "List index out of bounds (0)"));
    TAlSite* site = list.AddSite("Alpha", "p");
    EXPECT_TRUE(ThrowsMessage([&] { list.SiteAt(1); }, "List index out of bounds (1)"));
    EXPECT_TRUE(ThrowsMessage([&] { list.SiteAt(-1); }, "List index out of bounds (-1)"));

    AddAttempt(site, At(2006, 11, 17), 10);
    AddAttempt(site, At(2006, 11, 18), 10);
    const TAlSite& constSite = *site;
    EXPECT_TRUE(ThrowsMessage([&] { site->ConnAt(2); }, "List index out of bounds (2)"));
    EXPECT_TRUE(ThrowsMessage([&] { constSite.ConnAt(-1); }, "List index out of bounds (-1)"));

    EXPECT_TRUE(ThrowsMessage([&] { site->UnitAt(0); }, "List index out of bounds (0)"));
    site->AddUnitAlarm(3, 0x1, At(2006, 11, 17));
    EXPECT_TRUE(ThrowsMessage([&] { site->UnitAt(1); }, "List index out of bounds (1)"));
    const TAlUnit* unit = site->UnitAt(0);
    EXPECT_TRUE(ThrowsMessage([&] { unit->AlarmAt(1); }, "List index out of bounds (1)"));
    EXPECT_TRUE(ThrowsMessage([&] { unit->AlarmAt(-7); }, "List index out of bounds (-7)"));
}

TEST(SiteList, ClearDestroysSitesButKeepsTheFilter) {
    TAlSiteList list;
    TAlSite* alpha = list.AddSite("Alpha", "p");
    AddAttempt(alpha, At(2006, 11, 17, 9), 60);
    list.AddSite("Bravo", "p");
    list.UpdateSummaries();
    list.SetFilter(At(2006, 11, 1), At(2006, 11, 20), 3);

    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.FindSite("Alpha"), nullptr);
    EXPECT_EQ(list.FilterStart, At(2006, 11, 1));
    EXPECT_EQ(list.FilterEnd, At(2006, 11, 20));
    EXPECT_EQ(list.FilterDays, 3);

    // The list is usable again: a site of an old name is a new site.
    TAlSite* fresh = list.AddSite("ALPHA", "q");
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(fresh->Name, "ALPHA");
    EXPECT_EQ(fresh->ConnCount(), 0);
    EXPECT_EQ(list.SiteAt(0), fresh);
}

// ---------------------------------------------------------------------------------------------
// Attempts, units and events

TEST(Conn, SuccessfulWhenOnlineAndFreeOfFailingLinkErrors) {
    struct Case {
        std::uint32_t status;
        std::uint32_t online;
        bool successful;
    };
    const Case cases[] = {
        {0, 1, true},        {0, 0, false},        {0x010, 12, true},  {0x008, 12, false},
        {0x001, 12, false},  {0x002, 12, false},   {0x004, 12, false}, {0x020, 12, true},
        {0x040, 12, true},   {0x080, 12, false},   {0x100, 12, false}, {0x200, 12, true},
        {0x270, 12, true},   {0x271, 12, false},   {0x010, 0, false},  {0x400, 12, true},
        {0, 0xFFFFFFFFu, true},
    };
    for (const auto& c : cases) {
        TAlConn conn(At(2006, 11, 17));
        conn.Status = c.status;
        conn.OnlineSecs = c.online;
        EXPECT_EQ(conn.IsSuccessful(), c.successful) << "status " << c.status << " online " << c.online;
    }
}

TEST(Conn, AttemptsWithTheSameTimeAreAllKept) {
    TAlSite site("Alpha", "p");
    const TDateTime t = At(2006, 11, 17, 9, 33, 49);
    EXPECT_EQ(site.AddConn(TAlConn(t)), 0);
    EXPECT_EQ(site.AddConn(TAlConn(t)), 1);
    EXPECT_EQ(site.ConnCount(), 2);
    EXPECT_EQ(site.ConnAt(1).Time, t);
    EXPECT_EQ(site.ConnAt(1).Status, 0u);
    EXPECT_EQ(site.ConnAt(1).OnlineSecs, 0u);
}

TEST(UnitEvents, SameUnitAndTimeMergeIntoOneEvent) {
    TAlSite site("Alpha", "p");
    const TDateTime t = At(2006, 11, 17, 9, 33, 49);
    site.AddUnitAlarm(5, 0x1, t);
    site.AddUnitAlarm(5, 0x4, t);
    ASSERT_EQ(site.UnitCount(), 1);
    TAlUnit* unit = site.UnitAt(0);
    EXPECT_EQ(unit->Number, 5);
    EXPECT_EQ(unit->Site, &site);
    ASSERT_EQ(unit->AlarmCount(), 1);
    EXPECT_EQ(unit->AlarmAt(0).Bits, 0x5u);
    EXPECT_EQ(unit->AlarmAt(0).Time, t);

    site.AddUnitAlarm(5, 0x1, t + kMinute);
    EXPECT_EQ(unit->AlarmCount(), 2);

    // Exact equality only: a time a hair's breadth away is another event.
    site.AddUnitAlarm(5, 0x2, t + 1e-9);
    EXPECT_EQ(unit->AlarmCount(), 3);
    EXPECT_EQ(unit->AlarmAt(0).Bits, 0x5u);
}

TEST(UnitEvents, AlarmsAndTripsAreSeparateLists) {
    TAlSite site("Alpha", "p");
    const TDateTime t = At(2006, 11, 17, 9, 33, 49);
    site.AddUnitAlarm(5, 0x1, t);
    site.AddUnitTrip(5, 0x2, t);
    site.AddUnitTrip(5, 0x8, t);
    ASSERT_EQ(site.UnitCount(), 1);
    const TAlUnit* unit = site.UnitAt(0);
    ASSERT_EQ(unit->AlarmCount(), 1);
    EXPECT_EQ(unit->AlarmAt(0).Bits, 0x1u);
    ASSERT_EQ(unit->Trips().Count(), 1);
    EXPECT_EQ(unit->Trips().At(0).Bits, 0xAu);
}

TEST(UnitEvents, MergingFindsEventsInAnyOrder) {
    TAlUnit unit(1, nullptr);
    const TDateTime t1 = At(2006, 11, 1), t2 = At(2006, 11, 2), t3 = At(2006, 11, 3);
    unit.AddAlarm(0x1, t3);
    unit.AddAlarm(0x2, t1);
    unit.AddAlarm(0x4, t2);
    TAlUnitAlarm& merged = unit.AddAlarm(0x8, t1);
    EXPECT_EQ(merged.Bits, 0xAu);
    EXPECT_EQ(merged.Time, t1);
    unit.AddAlarm(0x10, t3);
    EXPECT_EQ(unit.AlarmCount(), 3);

    unit.SortEvents();
    ASSERT_EQ(unit.AlarmCount(), 3);
    EXPECT_EQ(unit.AlarmAt(0).Time, t1);
    EXPECT_EQ(unit.AlarmAt(0).Bits, 0xAu);
    EXPECT_EQ(unit.AlarmAt(1).Time, t2);
    EXPECT_EQ(unit.AlarmAt(1).Bits, 0x4u);
    EXPECT_EQ(unit.AlarmAt(2).Time, t3);
    EXPECT_EQ(unit.AlarmAt(2).Bits, 0x11u);
}

TEST(UnitEvents, ManyEventsStillMergeBeforeAndAfterSorting) {
    // Times arrive shuffled; every time is reported again later with another bit.
    const int n = 257;
    std::vector<int> order(n);
    for (int i = 0; i < n; ++i) order[static_cast<std::size_t>(i)] = (i * 97) % n;
    auto timeOf = [](int k) { return At(2006, 1, 1) + k * 7 * kMinute; };

    TAlUnit unit(1, nullptr);
    for (int k : order) unit.AddAlarm(0x1, timeOf(k));
    for (int k = n - 1; k >= 0; k -= 2) unit.AddAlarm(0x2, timeOf(k));
    EXPECT_EQ(unit.AlarmCount(), n);

    unit.SortEvents();
    for (int k = 0; k < n; k += 3) unit.AddAlarm(0x4, timeOf(k));
    unit.AddAlarm(0x8, timeOf(n));  // a new, latest time
    ASSERT_EQ(unit.AlarmCount(), n + 1);

    unit.SortEvents();
    for (int k = 0; k < n; ++k) {
        const TAlUnitAlarm& e = unit.AlarmAt(k);
        std::uint32_t expected = 0x1;
        if ((n - 1 - k) % 2 == 0) expected |= 0x2;
        if (k % 3 == 0) expected |= 0x4;
        EXPECT_EQ(e.Time, timeOf(k)) << k;
        EXPECT_EQ(e.Bits, expected) << k;
    }
    EXPECT_EQ(unit.AlarmAt(n).Bits, 0x8u);
}

TEST(Units, FoundByNumberAndSortedNumerically) {
    TAlSite site("Alpha", "p");
    const TDateTime t = At(2006, 11, 17);
    for (std::int32_t number : {7, 2, 10, -3, 7, 2}) site.AddUnitAlarm(number, 0x1, t);
    EXPECT_EQ(UnitNumbers(site), (std::vector<std::int32_t>{7, 2, 10, -3}));
    TAlUnit* seven = site.FindUnit(7);
    ASSERT_NE(seven, nullptr);
    EXPECT_EQ(seven->Number, 7);
    EXPECT_EQ(site.FindUnit(99), nullptr);

    site.SortUnits();
    EXPECT_EQ(UnitNumbers(site), (std::vector<std::int32_t>{-3, 2, 7, 10}));
    EXPECT_EQ(site.FindUnit(7), seven);

    // Events after sorting still go to the right unit.
    site.AddUnitTrip(7, 0x4, t);
    site.AddUnitAlarm(10, 0x2, t);
    EXPECT_EQ(site.UnitCount(), 4);
    EXPECT_EQ(seven->Trips().Count(), 1);
    EXPECT_EQ(site.FindUnit(10)->AlarmAt(0).Bits, 0x3u);
    EXPECT_EQ(site.FindUnit(2)->AlarmAt(0).Bits, 0x1u);
}

// ---------------------------------------------------------------------------------------------
// Summaries

TEST(Summaries, AttemptsSortedAndSummaryTimesFromSuccessfulOnes) {
    TAlSiteList list;
    TAlSite* site = list.AddSite("Alpha", "p");
    AddAttempt(site, At(2006, 11, 15), 30);          // successful
    AddAttempt(site, At(2006, 11, 17), 30, 0x008);   // failed, newest
    AddAttempt(site, At(2006, 11, 10), 0);           // failed, oldest
    AddAttempt(site, At(2006, 11, 12), 30, 0x020);   // successful despite a link error
    AddAttempt(site, At(2006, 11, 16), 30, 0x100);   // failed
    list.UpdateSummaries();

    EXPECT_EQ(ConnTimes(*site), (std::vector<TDateTime>{At(2006, 11, 10), At(2006, 11, 12), At(2006, 11, 15),
                                                         At(2006, 11, 16), At(2006, 11, 17)}));
    EXPECT_EQ(site->FirstConnect, At(2006, 11, 12));
    EXPECT_EQ(site->LastConnect, At(2006, 11, 15));
    EXPECT_EQ(site->LastAttempt, At(2006, 11, 17));
}

TEST(Summaries, SitesWithoutSuccessOrWithoutAttempts) {
    TAlSiteList list;
    TAlSite* failed = list.AddSite("Failed", "p");
    AddAttempt(failed, At(2006, 11, 17), 0);
    AddAttempt(failed, At(2006, 11, 16), 50, 0x001);
    TAlSite* empty = list.AddSite("Empty", "p");
    list.UpdateSummaries();

    EXPECT_EQ(failed->LastAttempt, At(2006, 11, 17));
    EXPECT_EQ(failed->LastConnect, 0);
    EXPECT_EQ(failed->FirstConnect, 0);
    EXPECT_EQ(empty->LastAttempt, 0);
    EXPECT_EQ(empty->LastConnect, 0);
    EXPECT_EQ(empty->FirstConnect, 0);
}

TEST(Summaries, RecomputedFromScratchEachTime) {
    TAlSiteList list;
    TAlSite* site = list.AddSite("Alpha", "p");
    AddAttempt(site, At(2006, 11, 15), 30);
    list.UpdateSummaries();
    EXPECT_EQ(site->LastConnect, At(2006, 11, 15));

    // Attempts added afterwards, before and after the first: all figures move with them.
    AddAttempt(site, At(2006, 11, 1), 20);
    AddAttempt(site, At(2006, 11, 20), 0);
    list.UpdateSummaries();
    EXPECT_EQ(site->LastConnect, At(2006, 11, 15));
    EXPECT_EQ(site->FirstConnect, At(2006, 11, 1));
    EXPECT_EQ(site->LastAttempt, At(2006, 11, 20));
    EXPECT_EQ(site->ConnAt(0).Time, At(2006, 11, 1));
}

TEST(Summaries, UnitsAndEventsSortedOnEverySite) {
    TAlSiteList list;
    TAlSite* site = list.AddSite("Alpha", "p");
    site->AddUnitAlarm(7, 0x1, At(2006, 11, 3));
    site->AddUnitAlarm(2, 0x1, At(2006, 11, 2));
    site->AddUnitAlarm(10, 0x1, At(2006, 11, 1));
    site->AddUnitAlarm(7, 0x2, At(2006, 11, 1));
    site->AddUnitTrip(7, 0x4, At(2006, 11, 5));
    site->AddUnitTrip(7, 0x8, At(2006, 11, 4));
    list.UpdateSummaries();

    EXPECT_EQ(UnitNumbers(*site), (std::vector<std::int32_t>{2, 7, 10}));
    const TAlUnit* seven = site->UnitAt(1);
    ASSERT_EQ(seven->AlarmCount(), 2);
    EXPECT_EQ(seven->AlarmAt(0).Time, At(2006, 11, 1));
    EXPECT_EQ(seven->AlarmAt(0).Bits, 0x2u);
    EXPECT_EQ(seven->AlarmAt(1).Time, At(2006, 11, 3));
    ASSERT_EQ(seven->Trips().Count(), 2);
    EXPECT_EQ(seven->Trips().At(0).Time, At(2006, 11, 4));
    EXPECT_EQ(seven->Trips().At(1).Time, At(2006, 11, 5));

    // After sorting, a report for an existing time still merges.
    site->AddUnitAlarm(7, 0x8, At(2006, 11, 1));
    EXPECT_EQ(seven->AlarmCount(), 2);
    EXPECT_EQ(seven->AlarmAt(0).Bits, 0xAu);
}

// ---------------------------------------------------------------------------------------------
// Filter windows

// A site with successful attempts on 2 and 10 November (14:00) and a failed one on 12 November.
struct WindowSite {
    TAlSiteList list;
    TAlSite* site;
    WindowSite() {
        site = list.AddSite("Alpha", "p");
        AddAttempt(site, At(2006, 11, 2, 10), 60);
        AddAttempt(site, At(2006, 11, 10, 14), 60);
        AddAttempt(site, At(2006, 11, 12, 9), 60, 0x008);
        list.UpdateSummaries();
    }
};

TEST(FilterWindow, FiguresMatchARecountForAnyWindow) {
    // Long runs of attempts and events are answered a chunk at a time where a chunk lies wholly
    // in the window; the figures must be those of a plain recount, for windows that cut chunks
    // anywhere, with equal times across chunk edges, and after records were added since.
    for (const int n : {1, 15, 16, 17, 31, 255, 256, 257, 1000, 3000}) {
        TAlSiteList list;
        TAlSite* site = list.AddSite("Alpha", "p");
        for (int i = 0; i < n; ++i) {
            const TDateTime time = 100 + i / 2;  // pairs of equal times
            AddAttempt(site, time, static_cast<std::uint32_t>(i % 50) * 100000000u, i % 7 == 0 ? 0x001 : 0x010);
            site->AddUnitAlarm(1, 1u << (i % 16), time + 0.25);
            if (i % 3 == 0) site->AddUnitTrip(1, 1u << (i % 5), time + 0.5);
        }
        list.UpdateSummaries();

        auto check = [&](TDateTime start, TDateTime end, const char* when) {
            site->FilterStart = start;
            site->FilterEnd = end;
            std::int32_t count = 0;
            std::uint32_t secs = 0;
            for (const TAlConn& c : site->Conns()) {
                if (start <= c.Time && c.Time <= end && c.IsSuccessful()) {
                    ++count;
                    secs += c.OnlineSecs;  // wraps at 32 bits, as the figure does
                }
            }
            std::uint32_t alarms = 0;
            std::uint32_t trips = 0;
            const TAlUnit* unit = site->FindUnit(1);
            for (const TAlUnitAlarm& e : unit->Alarms().Items()) alarms |= (start <= e.Time && e.Time <= end) ? e.Bits : 0;
            for (const TAlUnitAlarm& e : unit->Trips().Items()) trips |= (start <= e.Time && e.Time <= end) ? e.Bits : 0;
            std::int32_t gotCount = 0;
            std::uint32_t gotSecs = 0;
            site->ConnStatsInFilter(gotCount, gotSecs);
            ASSERT_EQ(gotCount, count) << when << ": " << n << " attempts, window " << start << " to " << end;
            ASSERT_EQ(gotSecs, secs) << when << ": " << n << " attempts, window " << start << " to " << end;
            ASSERT_EQ(unit->AlarmBitsInFilter(), alarms & 0xFFFF) << when << ": window " << start << " to " << end;
            ASSERT_EQ(unit->TripBitsInFilter(), trips & 0xFFFF) << when << ": window " << start << " to " << end;
        };
        const TDateTime last = 100 + (n - 1) / 2;
        for (TDateTime start = 99; start <= last + 1; start += n < 300 ? 0.25 : 13.25) {
            for (TDateTime end = start; end <= last + 2; end += n < 300 ? 0.75 : 17.75) check(start, end, "sorted");
        }
        check(0, 1e9, "everything");

        // Records added after the summaries: later ones, so the order holds.
        AddAttempt(site, last + 1, 7);
        site->AddUnitAlarm(1, 0x8000, last + 1);
        site->AddUnitAlarm(1, 0x4000, 100.25);  // merged into an existing event
        for (TDateTime start : {99.0, 100.0, last, last + 1}) check(start, last + 1, "added to");
    }
}

TEST(FilterWindow, DerivedFromPeriodDaysAndTheSitesOwnConnections) {
    struct Case {
        const char* name;
        TDateTime start, end;
        std::int32_t days;
        TDateTime windowStart, windowEnd;
    };
    const Case cases[] = {
        {"days 0: period up to the last attempt", At(2006, 11, 1), At(2006, 11, 16), 0, At(2006, 11, 1),
         At(2006, 11, 12, 9)},
        {"days 0: end before the last attempt", At(2006, 11, 1), At(2006, 11, 11), 0, At(2006, 11, 1),
         At(2006, 11, 11)},
        {"days 1: a day back from the last success", At(2006, 11, 1), At(2006, 11, 16), 1, At(2006, 11, 9, 14),
         At(2006, 11, 10, 14)},
        {"days 20: cut at the start", At(2006, 11, 1), At(2006, 11, 16), 20, At(2006, 11, 1),
         At(2006, 11, 10, 14)},
        {"days 1: cut at the end", At(2006, 11, 1), At(2006, 11, 10), 1, At(2006, 11, 9, 14), At(2006, 11, 10)},
        {"days 3: last success before the start", At(2006, 11, 11), At(2006, 11, 16), 3, At(2006, 11, 11),
         At(2006, 11, 10, 14)},
    };
    for (const auto& c : cases) {
        WindowSite w;
        w.list.SetFilter(c.start, c.end, c.days);
        EXPECT_EQ(w.list.FilterStart, c.start) << c.name;
        EXPECT_EQ(w.list.FilterEnd, c.end) << c.name;
        EXPECT_EQ(w.list.FilterDays, c.days) << c.name;
        EXPECT_DOUBLE_EQ(w.site->FilterStart, c.windowStart) << c.name;
        EXPECT_DOUBLE_EQ(w.site->FilterEnd, c.windowEnd) << c.name;
    }
}

TEST(FilterWindow, DaysIgnoredWithoutASuccessfulConnection) {
    TAlSiteList list;
    TAlSite* failed = list.AddSite("Failed", "p");
    AddAttempt(failed, At(2006, 11, 12, 9), 60, 0x008);
    TAlSite* empty = list.AddSite("Empty", "p");
    list.UpdateSummaries();
    list.SetFilter(At(2006, 11, 1), At(2006, 11, 16), 5);

    EXPECT_EQ(failed->FilterStart, At(2006, 11, 1));
    EXPECT_EQ(failed->FilterEnd, At(2006, 11, 12, 9));
    EXPECT_EQ(empty->FilterStart, At(2006, 11, 1));
    EXPECT_EQ(empty->FilterEnd, 0);
}

TEST(FilterWindow, OnlySetFilterDerivesWindows) {
    TAlSiteList list;
    TAlSite* alpha = list.AddSite("Alpha", "p");
    AddAttempt(alpha, At(2006, 11, 10), 60);
    alpha->AddUnitAlarm(1, 0x1, At(2006, 11, 10));
    list.UpdateSummaries();

    // Before any filter the window is [0, 0] and nothing counts.
    EXPECT_EQ(alpha->FilterStart, 0);
    EXPECT_EQ(alpha->FilterEnd, 0);
    EXPECT_EQ(alpha->ConnCountInFilter(), 0);
    EXPECT_EQ(alpha->OnlineSecsInFilter(), 0u);
    EXPECT_EQ(alpha->AlarmBitsInFilter(), 0u);
    EXPECT_TRUE(alpha->AlarmNamesInFilter(2).empty());

    list.SetFilter(At(2006, 11, 1), At(2006, 11, 16), 0);
    EXPECT_EQ(alpha->ConnCountInFilter(), 1);

    // A later site keeps [0, 0], and summaries leave the windows alone, until the next filter.
    TAlSite* bravo = list.AddSite("Bravo", "p");
    AddAttempt(bravo, At(2006, 11, 11), 60);
    AddAttempt(alpha, At(2006, 11, 12), 60);
    list.UpdateSummaries();
    EXPECT_EQ(bravo->FilterStart, 0);
    EXPECT_EQ(bravo->FilterEnd, 0);
    EXPECT_EQ(bravo->ConnCountInFilter(), 0);
    EXPECT_EQ(alpha->FilterEnd, At(2006, 11, 10));

    list.SetFilter(At(2006, 11, 1), At(2006, 11, 16), 0);
    EXPECT_EQ(bravo->ConnCountInFilter(), 1);
    EXPECT_EQ(alpha->ConnCountInFilter(), 2);
}

// ---------------------------------------------------------------------------------------------
// Connection statistics

TEST(ConnStats, DaysWindowIncludesBothEnds) {
    TAlSiteList list;
    TAlSite* site = list.AddSite("Alpha", "p");
    AddAttempt(site, At(2006, 11, 9, 13, 59), 1000);  // a minute before the window
    AddAttempt(site, At(2006, 11, 9, 14), 60);
    AddAttempt(site, At(2006, 11, 10, 14), 30);        // last success
    AddAttempt(site, At(2006, 11, 11), 7, 0x080);      // failed, after
    list.UpdateSummaries();
    list.SetFilter(At(2006, 11, 1), At(2006, 11, 16), 1);

    EXPECT_EQ(site->ConnCountInFilter(), 2);
    EXPECT_EQ(site->OnlineSecsInFilter(), 90u);
    std::int32_t count = -1;
    std::uint32_t secs = 1;
    site->ConnStatsInFilter(count, secs);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(secs, 90u);
}

TEST(ConnStats, PeriodWindow) {
    struct Case {
        const char* name;
        std::vector<TAlConn> conns;
        std::int32_t count;
        std::uint32_t secs;
    };
    auto conn = [](TDateTime t, std::uint32_t online, std::uint32_t status = 0) {
        TAlConn c(t);
        c.OnlineSecs = online;
        c.Status = status;
        return c;
    };
    const TDateTime start = At(2006, 11, 1), end = At(2006, 11, 16);
    const Case cases[] = {
        {"every success from start to end",
         {conn(start - kMillisecond, 1), conn(start, 2), conn(At(2006, 11, 5), 4, 0x008), conn(At(2006, 11, 6), 8),
          conn(At(2006, 11, 7), 0), conn(end, 16)},
         3, 26},
        {"an attempt a millisecond after end",
         {conn(At(2006, 11, 6), 8), conn(end, 16), conn(end + kMillisecond, 32)},
         2, 24},
        {"two successes at the same time", {conn(At(2006, 11, 6), 8), conn(At(2006, 11, 6), 8)}, 2, 16},
        {"only failures", {conn(At(2006, 11, 6), 8, 0x001), conn(At(2006, 11, 7), 0)}, 0, 0},
        {"everything before the start", {conn(At(2006, 10, 1), 8), conn(At(2006, 10, 2), 8)}, 0, 0},
        {"online total wraps at 32 bits", {conn(At(2006, 11, 6), 4000000000u), conn(At(2006, 11, 7), 500000000u)},
         2, 205032704u},
    };
    for (const auto& c : cases) {
        TAlSiteList list;
        TAlSite* site = list.AddSite("Alpha", "p");
        // Added newest first: the statistics rely on the sorting done by the summaries.
        for (auto it = c.conns.rbegin(); it != c.conns.rend(); ++it) site->AddConn(*it);
        list.UpdateSummaries();
        list.SetFilter(start, end, 0);
        EXPECT_EQ(site->ConnCountInFilter(), c.count) << c.name;
        EXPECT_EQ(site->OnlineSecsInFilter(), c.secs) << c.name;
    }
}

TEST(ConnStats, EmptyWindowCountsNothing) {
    TAlSiteList list;
    TAlSite* site = list.AddSite("Alpha", "p");
    AddAttempt(site, At(2006, 11, 8), 60);  // last success, before the start
    AddAttempt(site, At(2006, 11, 12), 60, 0x008);
    site->AddUnitAlarm(1, 0x1, At(2006, 11, 8));
    site->AddUnitAlarm(1, 0x2, At(2006, 11, 12));
    site->AddUnitTrip(1, 0x4, At(2006, 11, 11));
    list.UpdateSummaries();
    list.SetFilter(At(2006, 11, 10), At(2006, 11, 16), 3);

    EXPECT_GT(site->FilterStart, site->FilterEnd);
    EXPECT_EQ(site->ConnCountInFilter(), 0);
    EXPECT_EQ(site->OnlineSecsInFilter(), 0u);
    EXPECT_TRUE(site->AlarmNamesInFilter(2).empty());
    const TAlUnit* unit = site->UnitAt(0);
    EXPECT_EQ(unit->AlarmBitsInFilter(), 0u);
    EXPECT_EQ(unit->TripBitsInFilter(), 0u);
    EXPECT_TRUE(unit->AlarmNamesInFilter(2).empty());
    EXPECT_TRUE(unit->TripNamesInFilter(3).empty());
}

// ---------------------------------------------------------------------------------------------
// Alarm and trip statistics

TEST(EventStats, WindowIncludesBothEndsAndMasksHighBits) {
    TAlSiteList list;
    TAlSite* site = list.AddSite("Alpha", "p");
    const TDateTime start = At(2006, 11, 1), end = At(2006, 11, 16);
    AddAttempt(site, end + 1, 60);  // keeps the last attempt after the end
    site->AddUnitAlarm(1, 0x0100, start - kMillisecond);
    site->AddUnitAlarm(1, 0x0001, start);
    site->AddUnitAlarm(1, 0xFFFF0004u, At(2006, 11, 5));
    site->AddUnitAlarm(1, 0x0008, end);
    site->AddUnitAlarm(1, 0x0200, end + kMillisecond);
    site->AddUnitTrip(1, 0x10001, At(2006, 11, 5));
    site->AddUnitTrip(1, 0x0400, end + kMillisecond);
    list.UpdateSummaries();
    list.SetFilter(start, end, 0);

    const TAlUnit* unit = site->UnitAt(0);
    EXPECT_EQ(unit->AlarmBitsInFilter(), 0x000Du);
    EXPECT_EQ(unit->TripBitsInFilter(), 0x0001u);
    EXPECT_EQ(unit->AlarmNamesInFilter(2), (StringList{"SE", "LT", "HT"}));
    EXPECT_EQ(unit->AlarmNamesInFilter(16), (StringList{"SENSOR FAILURE", "LOW TEMPERATURE", "HIGH TEMPERATURE"}));
    EXPECT_EQ(unit->TripNamesInFilter(3), (StringList{"Hp"}));
    EXPECT_EQ(site->AlarmBitsInFilter(), 0x000Du);
}

TEST(EventStats, SiteAlarmsAreTheUnionOfItsUnitsAlarmsOnly) {
    TAlSiteList list;
    TAlSite* site = list.AddSite("Alpha", "p");
    const TDateTime t = At(2006, 11, 5);
    AddAttempt(site, t, 60);
    site->AddUnitAlarm(9, 0x0008, t);
    site->AddUnitAlarm(2, 0x0001, t);
    site->AddUnitTrip(4, 0x0002, t);
    site->AddUnitAlarm(5, 0x0004, At(2006, 10, 1));  // outside the window
    list.UpdateSummaries();
    list.SetFilter(At(2006, 11, 1), At(2006, 11, 16), 0);

    EXPECT_EQ(site->AlarmBitsInFilter(), 0x0009u);
    EXPECT_EQ(site->AlarmNamesInFilter(2), (StringList{"SE", "HT"}));
    EXPECT_EQ(site->AlarmNamesInFilter(8), (StringList{"Sensor", "HighTemp"}));
    const TAlUnit* outside = site->FindUnit(5);
    EXPECT_EQ(outside->AlarmBitsInFilter(), 0u);
    EXPECT_TRUE(outside->AlarmNamesInFilter(2).empty());
}

TEST(EventStats, SiteWithTripsButNoAlarmsHasNoAlarmNames) {
    TAlSiteList list;
    TAlSite* site = list.AddSite("Alpha", "p");
    const TDateTime t = At(2006, 11, 5);
    AddAttempt(site, t, 60);
    site->AddUnitTrip(4, 0x0003, t);
    list.UpdateSummaries();
    list.SetFilter(At(2006, 11, 1), At(2006, 11, 16), 0);

    EXPECT_TRUE(site->AlarmNamesInFilter(2).empty());
    EXPECT_EQ(site->FindUnit(4)->TripNamesInFilter(3), (StringList{"Hp", "Lp1"}));
}

TEST(EventStats, DaysWindowWithoutSuccessStillCountsAlarms) {
    TAlSiteList list;
    TAlSite* site = list.AddSite("Alpha", "p");
    AddAttempt(site, At(2006, 11, 5), 60, 0x008);
    AddAttempt(site, At(2006, 11, 9), 0);
    site->AddUnitAlarm(3, 0x0010, At(2006, 11, 5));
    site->AddUnitAlarm(3, 0x0020, At(2006, 11, 10));  // after the last attempt
    list.UpdateSummaries();
    list.SetFilter(At(2006, 11, 1), At(2006, 11, 16), 5);

    EXPECT_EQ(site->ConnCountInFilter(), 0);
    EXPECT_EQ(site->AlarmNamesInFilter(2), (StringList{"NS"}));
}

// ---------------------------------------------------------------------------------------------
// Reading a log again

TEST(Rereading, SameFileTwiceDoublesAttemptsButNotEvents) {
    const test::TempLog log(
        "*** Polled 17/11/2006 09:33:49 Site: D:\\Logs\\Alpha\\\n"
        "Online: 15\n"
        "Unit 3 alarms: \"SENSOR FAILURE\",\"LOW TEMPERATURE\"\n"
        "Unit 3 trips: 0005\n"
        "*** Polled 18/11/2006 10:00:00 Site: D:\\Logs\\Alpha\\\n"
        "Unit 3 alarms: \"HIGH TEMPERATURE\"\n");
    TAlSiteList list;
    TBrelLogParser(Locale::Default()).ParseFile(log.Path(), list);
    TBrelLogParser(Locale::Default()).ParseFile(log.Path(), list);

    ASSERT_EQ(list.Count(), 1);
    const TAlSite* site = list.SiteAt(0);
    EXPECT_EQ(ConnTimes(*site), (std::vector<TDateTime>{At(2006, 11, 17, 9, 33, 49), At(2006, 11, 17, 9, 33, 49),
                                                         At(2006, 11, 18, 10), At(2006, 11, 18, 10)}));
    ASSERT_EQ(site->UnitCount(), 1);
    const TAlUnit* unit = site->UnitAt(0);
    ASSERT_EQ(unit->AlarmCount(), 2);
    EXPECT_EQ(unit->AlarmAt(0).Bits, 0x5u);
    EXPECT_EQ(unit->AlarmAt(1).Bits, 0x8u);
    ASSERT_EQ(unit->Trips().Count(), 1);
    EXPECT_EQ(unit->Trips().At(0).Bits, 0x5u);
}

}  // namespace
}  // namespace kelvane
