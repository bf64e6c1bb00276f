// The rows of the site tree: texts of site and unit rows, the grey flag and the row order.

#include <gtest/gtest.h>

#include <array>
#include <iterator>
#include <cstdint>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "model/AlarmSite.h"
#include "model/SiteTree.h"

namespace kelvane {
namespace {

using test::At;
using Texts = std::array<std::string, TreeRow::ColumnCount>;

const TDateTime kStart = At(2006, 11, 1);
const TDateTime kEnd = At(2006, 12, 1);

void AddAttempt(TAlSite* site, TDateTime time, std::uint32_t onlineSecs, std::uint32_t status = 0) {
    TAlConn conn(time);
    conn.OnlineSecs = onlineSecs;
    conn.Status = status;
    site->AddConn(conn);
}

// Sorts, filters over November 2006 and builds the rows.
std::vector<TreeRow> Rows(TAlSiteList& list, const Locale& locale = Locale::Default()) {
    list.UpdateSummaries();
    list.SetFilter(kStart, kEnd, 0);
    return BuildTreeRows(list, locale);
}

TEST(SiteTree, EmptyListGivesNoRows) {
    TAlSiteList list;
    EXPECT_TRUE(Rows(list).empty());
}

TEST(SiteTree, SiteRowTexts) {
    struct Attempt {
        TDateTime time;
        std::uint32_t online;
        std::uint32_t status;
    };
    struct Case {
        const char* name;
        std::vector<Attempt> attempts;
        Texts texts;
        bool grey;
    };
    const Case cases[] = {
        {"no attempt at all", {}, {"Site", "1899-12-30", "none", "0", "0.00"}, true},
        {"all attempts failed",
         {{At(2006, 11, 15, 10), 60, 0x008}, {At(2006, 11, 17, 9), 0, 0}},
         {"Site", "1899-12-30 (2006-11-17)", "none", "0", "0.00"},
         true},
        {"failed attempt after the last success",
         {{At(2006, 11, 15, 10), 60, 0}, {At(2006, 11, 17, 9), 60, 0x100}},
         {"Site", "2006-11-15 (2006-11-17)", "none", "1", "1.00"},
         false},
        {"last attempt successful",
         {{At(2006, 11, 14, 10), 60, 0x001}, {At(2006, 11, 15, 10), 60, 0}},
         {"Site", "2006-11-15", "none", "1", "1.00"},
         false},
        {"failed attempt later the same day",
         {{At(2006, 11, 15, 8), 60, 0}, {At(2006, 11, 15, 9), 60, 0x002}},
         {"Site", "2006-11-15 (2006-11-15)", "none", "1", "1.00"},
         false},
        {"online 60 and 30", {{At(2006, 11, 14), 60, 0}, {At(2006, 11, 15), 30, 0}},
         {"Site", "2006-11-15", "none", "2", "1.50"}, false},
        {"online 1 second", {{At(2006, 11, 15), 1, 0}}, {"Site", "2006-11-15", "none", "1", "0.02"}, false},
        {"largest online total", {{At(2006, 11, 15), 4294967295u, 0}},
         {"Site", "2006-11-15", "none", "1", "71582788.25"}, false},
        {"success outside the window only", {{At(2006, 10, 15, 12), 600, 0}},
         {"Site", "2006-10-15", "none", "0", "0.00"}, true},
    };
    for (const auto& c : cases) {
        TAlSiteList list;
        TAlSite* site = list.AddSite("Site", "p");
        for (const auto& a : c.attempts) AddAttempt(site, a.time, a.online, a.status);
        const auto rows = Rows(list);
        ASSERT_EQ(rows.size(), 1u) << c.name;
        EXPECT_EQ(rows[0].level, 0) << c.name;
        EXPECT_EQ(rows[0].texts, c.texts) << c.name;
        EXPECT_EQ(rows[0].grey, c.grey) << c.name;
        EXPECT_EQ(rows[0].site, site) << c.name;
        EXPECT_EQ(rows[0].unit, nullptr) << c.name;
    }
}

TEST(SiteTree, UnitRowsShowTripsUnderDateAndAlarmsUnderAlarms) {
    TAlSiteList list;
    TAlSite* site = list.AddSite("Alpha", "p");
    const TDateTime t = At(2006, 11, 15, 10);
    AddAttempt(site, t, 120);
    site->AddUnitAlarm(4, 0x1, t);
    site->AddUnitAlarm(4, 0x4, t);
    site->AddUnitTrip(4, 0x2, t);
    const auto rows = Rows(list);

    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].texts, (Texts{"Alpha", "2006-11-15", "SE,LT", "1", "2.00"}));
    EXPECT_FALSE(rows[0].grey);
    EXPECT_EQ(rows[1].level, 1);
    EXPECT_EQ(rows[1].texts, (Texts{"Unit 4", "Lp1", "SE,LT", "", ""}));
    EXPECT_FALSE(rows[1].grey);
    EXPECT_EQ(rows[1].site, site);
    EXPECT_EQ(rows[1].unit, site->FindUnit(4));
}

TEST(SiteTree, SiteAlarmsMarker) {
    struct Event {
        std::int32_t unit;
        bool trip;
        std::uint32_t bits;
        TDateTime time;
    };
    struct Case {
        const char* name;
        std::vector<Event> events;
        std::string siteAlarms;
        std::vector<Texts> unitTexts;
    };
    const TDateTime in = At(2006, 11, 15, 10);
    const TDateTime out = At(2006, 10, 15, 10);
    const Case cases[] = {
        {"trips but no alarms",
         {{2, true, 0x21, in}, {5, false, 0x1, out}},
         "AL??",
         {{"Unit 2", "Hp,Dgt", "none", "", ""}, {"Unit 5", "", "none", "", ""}}},
        {"neither alarms nor trips in the window",
         {{2, true, 0x21, out}, {5, false, 0x1, out}},
         "none",
         {{"Unit 2", "", "none", "", ""}, {"Unit 5", "", "none", "", ""}}},
        {"alarms of one unit, trips of another",
         {{2, true, 0x21, in}, {5, false, 0x8, in}},
         "HT",
         {{"Unit 2", "Hp,Dgt", "none", "", ""}, {"Unit 5", "", "HT", "", ""}}},
        {"union of the units' alarms",
         {{9, false, 0x8, in}, {1, false, 0x1, in}, {1, false, 0x8000, in}},
         "SE,HT,RE",
         {{"Unit 1", "", "SE,RE", "", ""}, {"Unit 9", "", "HT", "", ""}}},
        {"bits above 15 never show",
         {{-1, true, 0x10001, in}, {-1, false, 0xFFFF0000u, in}},
         "AL??",
         {{"Unit -1", "Hp", "none", "", ""}}},
        {"every trip code",
         {{3, true, 0xFFFF, in}},
         "AL??",
         {{"Unit 3", "Hp,Lp1,Lp2,Et1,Et2,Dgt,Ops,Cmp,Hpt,Evt,Cdt,Ai1,Ao,Lpt,Ai2,Rmt", "none", "", ""}}},
    };
    for (const auto& c : cases) {
        TAlSiteList list;
        TAlSite* site = list.AddSite("Alpha", "p");
        AddAttempt(site, At(2006, 11, 20), 60);
        for (const auto& e : c.events) {
            if (e.trip)
                site->AddUnitTrip(e.unit, e.bits, e.time);
            else
                site->AddUnitAlarm(e.unit, e.bits, e.time);
        }
        const auto rows = Rows(list);
        ASSERT_EQ(rows.size(), 1 + c.unitTexts.size()) << c.name;
        EXPECT_EQ(rows[0].texts[TreeRow::Alarms], c.siteAlarms) << c.name;
        for (std::size_t i = 0; i < c.unitTexts.size(); ++i) {
            EXPECT_EQ(rows[1 + i].level, 1) << c.name;
            EXPECT_EQ(rows[1 + i].texts, c.unitTexts[i]) << c.name << " unit row " << i;
        }
    }
}

TEST(SiteTree, SitesInListOrderEachFollowedByItsUnits) {
    TAlSiteList list;
    TAlSite* bravo = list.AddSite("bravo", "p");
    TAlSite* alpha = list.AddSite("Alpha", "p");
    TAlSite* charlie = list.AddSite("Charlie", "p");
    const TDateTime t = At(2006, 11, 15);
    alpha->AddUnitAlarm(10, 0x1, t);
    alpha->AddUnitAlarm(2, 0x1, t);
    bravo->AddUnitTrip(7, 0x1, t);
    const auto rows = Rows(list);

    struct Expected {
        int level;
        const char* text;
        TAlSite* site;
    };
    const Expected expected[] = {
        {0, "Alpha", alpha}, {1, "Unit 2", alpha}, {1, "Unit 10", alpha},
        {0, "bravo", bravo}, {1, "Unit 7", bravo}, {0, "Charlie", charlie},
    };
    ASSERT_EQ(rows.size(), std::size(expected));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].level, expected[i].level) << i;
        EXPECT_EQ(rows[i].texts[TreeRow::SiteUnit], expected[i].text) << i;
        EXPECT_EQ(rows[i].site, expected[i].site) << i;
        if (rows[i].level == 1) {
            ASSERT_NE(rows[i].unit, nullptr) << i;
            EXPECT_EQ(rows[i].unit->Site, expected[i].site) << i;
        }
    }
}

TEST(SiteTree, DatesKeepTheirFormatAndMinutesTakeTheLocaleSeparator) {
    TAlSiteList list;
    TAlSite* site = list.AddSite("Alpha", "p");
    AddAttempt(site, At(2006, 11, 14), 60);
    AddAttempt(site, At(2006, 11, 15), 30);
    AddAttempt(site, At(2006, 11, 17), 30, 0x008);
    Locale locale = Locale::Default();
    ASSERT_TRUE(locale.SetShortDatePattern("dd.MM.yy"));
    locale.decimalSeparator = ",";
    const auto rows = Rows(list, locale);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].texts, (Texts{"Alpha", "2006-11-15 (2006-11-17)", "none", "2", "1,50"}));
}

}  // namespace
}  // namespace kelvane
