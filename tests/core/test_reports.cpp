// Site and connection report builders: whole reports of a small log in both separator modes and
// with the options that change the layout, the value texts, the inactive-site rule and clamping.

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <sstream>
#include <string>
#include <string_view>

#include "TestSupport.h"
#include "log/BrelLogParser.h"
#include "reports/ConnReport.h"
#include "reports/SiteReport.h"

namespace kelvane {
namespace {

using test::At;

// Options named as on the command line: "tab", "no-filter-dates", "no-headings", "no-sites",
// "conn-stats", "inactive-sites", "unit-lines", "site-alarms", "key"; "none" clears every box.
SiteReportOptions Options(std::string_view words) {
    SiteReportOptions o;
    std::istringstream in{std::string(words)};
    for (std::string w; in >> w;) {
        if (w == "none") {
            o.filterDates = o.columnHeadings = o.sites = false;
        } else if (w == "tab") {
            o.separator = FieldSeparator::Tab;
        } else if (w == "no-filter-dates") {
            o.filterDates = false;
        } else if (w == "no-headings") {
            o.columnHeadings = false;
        } else if (w == "no-sites") {
            o.sites = false;
        } else if (w == "conn-stats") {
            o.connStats = true;
        } else if (w == "inactive-sites") {
            o.inactiveSites = true;
        } else if (w == "unit-lines") {
            o.unitLines = true;
        } else if (w == "site-alarms") {
            o.siteAlarms = true;
        } else if (w == "key") {
            o.key = true;
        } else {
            ADD_FAILURE() << "unknown option word " << w;
        }
    }
    return o;
}

ReportLines Cat(std::initializer_list<ReportLines> parts) {
    ReportLines all;
    for (const ReportLines& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// A day/month/year locale with "." decimals, as en_GB.
Locale DayMonthYear() { return Locale::Default(); }

const TDateTime kToday = At(2006, 12, 1);

// report_sites.log filtered as the window filters 1 to 30 November 2006 with Days 3: the list is
// given the day after the End date, which is what the header's End line shows.
class ReportOfLog : public ::testing::Test {
protected:
    void SetUp() override {
        TBrelLogParser parser(DayMonthYear());
        parser.ParseFile(test::FixturePath("report_sites.log"), sites);
        sites.SetFilter(At(2006, 11, 1), At(2006, 11, 30) + 1, 3);
    }

    ReportLines Site(const SiteReportOptions& options) {
        SiteReport report(sites, options, DayMonthYear(), kToday);
        ReportLines lines = report.Build();
        EXPECT_EQ(report.Build(), lines) << "a second build differs";
        return lines;
    }

    ReportLines Conn(const ConnReportOptions& options) {
        ConnReport report(sites, options, DayMonthYear(), kToday);
        ReportLines lines = report.Build();
        EXPECT_EQ(report.Build(), lines) << "a second build differs";
        return lines;
    }

    TAlSiteList sites;
};

const ReportLines kHeaderComma{"Report,01/12/2006", "Start,01/11/2006", "End,01/12/2006", "Days,3", ""};
const ReportLines kHeaderTab{"Report\t01/12/2006", "Start\t01/11/2006", "End\t01/12/2006", "Days\t3", ""};

struct GoldenCase {
    const char* options;
    ReportLines expected;
};

TEST_F(ReportOfLog, SiteReportLayouts) {
    const GoldenCase cases[] = {
        {"", Cat({kHeaderComma,
                  {"Site,\"Last Connection\",\"Last Attempt\",Alarms,Trips", "Alpha,28/11/2006,29/11/2006",
                   "\"Bravo, Depot\",15/11/2006,15/11/2006", "Delta,30/12/1899,10/11/2006",
                   "Echo,02/12/2006,02/12/2006"}})},
        {"tab", Cat({kHeaderTab,
                     {"Site\tLast Connection\tLast Attempt\tAlarms\tTrips", "Alpha\t28/11/2006\t29/11/2006",
                      "Bravo, Depot\t15/11/2006\t15/11/2006", "Delta\t30/12/1899\t10/11/2006",
                      "Echo\t02/12/2006\t02/12/2006"}})},
        {"conn-stats inactive-sites no-filter-dates",
         {"Site,\"Last Connection\",\"Last Attempt\",Conns,Mins,Alarms,Trips",
          "Alpha,28/11/2006,29/11/2006,3,11.50", "\"Bravo, Depot\",15/11/2006,15/11/2006,1,0.98",
          "Charlie,20/10/2006,20/10/2006,0,0.00", "Delta,30/12/1899,10/11/2006,0,0.00",
          "Echo,02/12/2006,02/12/2006,1,100.00"}},
        {"unit-lines conn-stats",
         Cat({kHeaderComma,
              {"Site,\"Last Connection\",\"Last Attempt\",Conns,Mins", "Alpha,28/11/2006,29/11/2006,3,11.50",
               "\" \",Unit2,\"LT,HT\",", "\" \",Unit5,,Hp", "\"Bravo, Depot\",15/11/2006,15/11/2006,1,0.98",
               "\" \",Unit1,SE,", "\" \",Unit3,,\"Hp,Lp1\"", "Delta,30/12/1899,10/11/2006,0,0.00",
               "\" \",Unit4,MA,", "Echo,02/12/2006,02/12/2006,1,100.00"}})},
        {"unit-lines tab no-filter-dates",
         {"Site\tLast Connection\tLast Attempt", "Alpha\t28/11/2006\t29/11/2006", " \tUnit2\tLT,HT\t",
          " \tUnit5\t\tHp", "Bravo, Depot\t15/11/2006\t15/11/2006", " \tUnit1\tSE\t", " \tUnit3\t\tHp,Lp1",
          "Delta\t30/12/1899\t10/11/2006", " \tUnit4\tMA\t", "Echo\t02/12/2006\t02/12/2006"}},
        {"site-alarms inactive-sites no-filter-dates",
         {"Site,\"Last Connection\",\"Last Attempt\",Alarms,Trips",
          "Alpha,28/11/2006,29/11/2006,\"U2:LT,HT \",\"U5:Hp \"", "",
          "\"Bravo, Depot\",15/11/2006,15/11/2006,\"U1:SE \",\"U3:Hp,Lp1 \"", "",
          "Charlie,20/10/2006,20/10/2006,,", "", "Delta,30/12/1899,10/11/2006,\"U4:MA \",", "",
          "Echo,02/12/2006,02/12/2006,,", ""}},
        {"site-alarms tab no-headings no-filter-dates",
         {"Alpha\t28/11/2006\t29/11/2006\tU2:LT,HT \tU5:Hp ", "",
          "Bravo, Depot\t15/11/2006\t15/11/2006\tU1:SE \tU3:Hp,Lp1 ", "",
          "Delta\t30/12/1899\t10/11/2006\tU4:MA \t", "", "Echo\t02/12/2006\t02/12/2006\t\t", ""}},
        {"no-sites", Cat({kHeaderComma, {"Site,\"Last Connection\",\"Last Attempt\",Alarms,Trips"}})},
        {"no-headings no-filter-dates conn-stats tab",
         {"Alpha\t28/11/2006\t29/11/2006\t3\t11.50", "Bravo, Depot\t15/11/2006\t15/11/2006\t1\t0.98",
          "Delta\t30/12/1899\t10/11/2006\t0\t0.00", "Echo\t02/12/2006\t02/12/2006\t1\t100.00"}},
        {"none", {}},
        {"none tab unit-lines site-alarms conn-stats inactive-sites", {}},
    };
    for (const GoldenCase& c : cases) {
        EXPECT_EQ(Site(Options(c.options)), c.expected) << "options: " << c.options;
    }
}

TEST_F(ReportOfLog, UnitLinesTakePrecedenceOverSiteAlarms) {
    for (const char* mode : {"", "tab"}) {
        const std::string base = std::string(mode) + " unit-lines conn-stats";
        EXPECT_EQ(Site(Options(base + " site-alarms")), Site(Options(base))) << mode;
    }
}

TEST_F(ReportOfLog, ConnReportLayouts) {
    const GoldenCase cases[] = {
        {"",
         Cat({kHeaderComma,
              {"Site,\"First Connect\",\"Last Connect\",\"Last Attempt\"",
               "Alpha,20/11/2006,28/11/2006,29/11/2006", "\"Bravo, Depot\",15/11/2006,15/11/2006,15/11/2006",
               // Never connected: both connection dates are the filter start.
               "Delta,01/11/2006,01/11/2006,10/11/2006",
               // First connection before the start, last after the end (the day after the End date).
               "Echo,01/11/2006,01/12/2006,01/12/2006"}})},
        {"tab conn-stats", Cat({kHeaderTab,
                                {"Site\tFirst Connect\tLast Connect\tLast Attempt\tConns\tMins",
                                 "Alpha\t20/11/2006\t28/11/2006\t29/11/2006\t3\t11.50",
                                 "Bravo, Depot\t15/11/2006\t15/11/2006\t15/11/2006\t1\t0.98",
                                 "Delta\t01/11/2006\t01/11/2006\t10/11/2006\t0\t0.00",
                                 "Echo\t01/11/2006\t01/12/2006\t01/12/2006\t1\t100.00"}})},
        {"inactive-sites no-filter-dates no-headings",
         {"Alpha,20/11/2006,28/11/2006,29/11/2006", "\"Bravo, Depot\",15/11/2006,15/11/2006,15/11/2006",
          // Last attempt before the start: every date column shows the start.
          "Charlie,01/11/2006,01/11/2006,01/11/2006", "Delta,01/11/2006,01/11/2006,10/11/2006",
          "Echo,01/11/2006,01/12/2006,01/12/2006"}},
        {"no-sites conn-stats",
         Cat({kHeaderComma, {"Site,\"First Connect\",\"Last Connect\",\"Last Attempt\",Conns,Mins"}})},
        {"none", {}},
        {"none tab conn-stats inactive-sites", {}},
    };
    for (const GoldenCase& c : cases) {
        EXPECT_EQ(Conn(Options(c.options)), c.expected) << "options: " << c.options;
    }
}

// The three texts of every alarm code, then of every trip code, in code order.
struct KeyTexts {
    const char* abbrev;
    const char* shortName;
    const char* longName;
};
constexpr KeyTexts kAlarmKey[] = {
    {"SE", "Sensor", "SENSOR FAILURE"},    {"VA", "Variance", "SENSOR VARIANCE"},
    {"LT", "LowTemp", "LOW TEMPERATURE"},  {"HT", "HighTemp", "HIGH TEMPERATURE"},
    {"NS", "NoSens", "NO SENSORS"},        {"TR", "Trip", "TRIP FAILURE"},
    {"FE", "Feed", "FEED FAILURE"},        {"WA", "Water", "WATER FAILURE"},
    {"MA", "Mains", "MAINS FAILURE"},      {"OF", "Output", "OUTPUT FAILURE"},
    {"OV", "Override", "MANUAL OVERRIDE"}, {"SY", "System", "SYSTEM ERROR"},
    {"TO", "Timeout", "OUTPUT TIMEOUT"},   {"BA", "Battery", "BATTERY LOW"},
    {"NE", "Network", "NETWORK FAILURE"},  {"RE", "Reset", "SYSTEM RESET"},
};
constexpr KeyTexts kTripKey[] = {
    {"Hp", "HP", "HIGH PRESSURE"},         {"Lp1", "LP1", "EVAP PRESSURE 1"},
    {"Lp2", "LP2", "EVAP PRESSURE 2"},     {"Et1", "EvapTs1", "EVAP TEMP 1"},
    {"Et2", "EvapTs2", "EVAP TEMP 2"},     {"Dgt", "DGT", "DISCHARGE GAS"},
    {"Ops", "OPSS", "OPSS TRIP"},          {"Cmp", "CompTrip", "COMPRESSOR TRIP"},
    {"Hpt", "HPTrip", "HP TRIP"},          {"Evt", "EvapTrip", "EVAPORATOR TRIP"},
    {"Cdt", "CondTrip", "CONDENSER TRIP"}, {"Ai1", "AirIn1", "AIR INLET TEMP"},
    {"Ao", "AirOut", "AIR OUTLET TEMP"},   {"Lpt", "LPTrip", "LP TRIP"},
    {"Ai2", "AirIn2", "AIR INLET TEMP2"},  {"Rmt", "Remote", "REMOTE OVERRIDE"},
};

TEST_F(ReportOfLog, KeyFollowsTheSitesAfterAnEmptyLine) {
    // Every long name holds a blank, so comma text quotes it; Tab mode writes it bare.
    auto keyLines = [](const char* title, const auto& table, bool tab) {
        ReportLines lines{tab ? title : "\"" + std::string(title) + "\""};
        for (const KeyTexts& k : table) {
            const std::string a = k.abbrev, s = k.shortName, l = k.longName;
            lines.push_back(tab ? a + "\t" + s + "\t" + l : a + "," + s + ",\"" + l + "\"");
        }
        return lines;
    };
    for (const bool tab : {false, true}) {
        const ReportLines key =
            Cat({{""}, keyLines("Alarm Key", kAlarmKey, tab), {""}, keyLines("Trip Key", kTripKey, tab)});
        const std::string mode = tab ? "tab " : "";
        EXPECT_EQ(Site(Options(mode + "none key")), key) << mode;
        EXPECT_EQ(
            Site(Options(mode + "no-filter-dates no-headings key")),
            Cat({tab ? ReportLines{"Alpha\t28/11/2006\t29/11/2006", "Bravo, Depot\t15/11/2006\t15/11/2006",
                                   "Delta\t30/12/1899\t10/11/2006", "Echo\t02/12/2006\t02/12/2006"}
                     : ReportLines{"Alpha,28/11/2006,29/11/2006", "\"Bravo, Depot\",15/11/2006,15/11/2006",
                                   "Delta,30/12/1899,10/11/2006", "Echo,02/12/2006,02/12/2006"},
                 key}))
            << mode;
    }
}

// ---- Reports of hand-built site lists ----

// A site with one successful attempt of the given seconds online (none when 0) at a time.
TAlSite* AddSiteWithAttempt(TAlSiteList& list, const std::string& name, TDateTime time, std::uint32_t secs) {
    TAlSite* site = list.AddSite(name, "D:\\Logs\\" + name + "\\");
    TAlConn conn(time);
    conn.OnlineSecs = secs;
    site->AddConn(conn);
    return site;
}

SiteReportOptions BareLines(std::string_view extra) {
    return Options("no-filter-dates no-headings " + std::string(extra));
}

TEST(ReportValues, MinutesOnlineAreSecondsOverSixtyWithTwoDecimals) {
    struct Case {
        std::uint32_t secs;
        const char* count;
        const char* mins;
    };
    const Case cases[] = {
        {0, "0", "0.00"},
        {1, "1", "0.02"},
        {59, "1", "0.98"},
        {61, "1", "1.02"},
        {90, "1", "1.50"},
        {6000, "1", "100.00"},
        {4294967295u, "1", "71582788.25"},  // the largest total: no overflow, no grouping
    };
    for (const Case& c : cases) {
        TAlSiteList list;
        AddSiteWithAttempt(list, "North", At(2006, 3, 2, 10), c.secs);
        list.UpdateSummaries();
        list.SetFilter(At(2006, 3, 1), At(2006, 3, 6), 0);
        const std::string tail = std::string(",") + c.count + "," + c.mins;
        EXPECT_EQ(
            SiteReport(list, BareLines("conn-stats"), DayMonthYear(), kToday).Build(),
            ReportLines{(c.secs ? "North,02/03/2006,02/03/2006" : "North,30/12/1899,02/03/2006") + tail})
            << c.secs;
        EXPECT_EQ(ConnReport(list, BareLines("conn-stats"), DayMonthYear(), kToday).Build(),
                  ReportLines{(c.secs ? "North,02/03/2006,02/03/2006,02/03/2006"
                                      : "North,01/03/2006,01/03/2006,02/03/2006") +
                              tail})
            << c.secs;
    }
}

TEST(ReportValues, DatesAndDecimalsFollowTheLocale) {
    TAlSiteList list;
    AddSiteWithAttempt(list, "North", At(2006, 3, 2, 10), 90);
    AddSiteWithAttempt(list, "North", At(2006, 3, 5, 16, 30), 0);
    list.UpdateSummaries();
    list.SetFilter(At(2006, 3, 1), At(2006, 3, 6), 0);

    Locale monthFirst = Locale::Default();
    ASSERT_TRUE(monthFirst.SetShortDatePattern("M/d/yy"));
    Locale decimalComma = Locale::Default();
    ASSERT_TRUE(decimalComma.SetShortDatePattern("dd.MM.yyyy"));
    decimalComma.decimalSeparator = ",";

    struct Case {
        const char* name;
        Locale locale;
        const char* options;
        ReportLines site;
        ReportLines conn;
    };
    const Case cases[] = {
        {"month first",
         monthFirst,
         "",
         {"Report,12/1/06", "Start,3/1/06", "End,3/6/06", "Days,0", "",
          "Site,\"Last Connection\",\"Last Attempt\",Alarms,Trips", "North,3/2/06,3/5/06"},
         {"Report,12/1/06", "Start,3/1/06", "End,3/6/06", "Days,0", "",
          "Site,\"First Connect\",\"Last Connect\",\"Last Attempt\"", "North,3/2/06,3/2/06,3/5/06"}},
        // A decimal comma makes the total a field that comma text must quote.
        {"decimal comma",
         decimalComma,
         "no-filter-dates no-headings conn-stats",
         {"North,02.03.2006,05.03.2006,1,\"1,50\""},
         {"North,02.03.2006,02.03.2006,05.03.2006,1,\"1,50\""}},
        {"decimal comma tab",
         decimalComma,
         "no-filter-dates no-headings conn-stats tab",
         {"North\t02.03.2006\t05.03.2006\t1\t1,50"},
         {"North\t02.03.2006\t02.03.2006\t05.03.2006\t1\t1,50"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SiteReport(list, Options(c.options), c.locale, kToday).Build(), c.site) << c.name;
        EXPECT_EQ(ConnReport(list, Options(c.options), c.locale, kToday).Build(), c.conn) << c.name;
    }
}

TEST(ReportValues, SiteNamesAreQuotedOnlyInCommaMode) {
    struct Case {
        std::string name;
        std::string comma;  // the name as the first field of a comma line
    };
    const Case cases[] = {
        {"Bravo, Depot", "\"Bravo, Depot\""},
        {"Kings Lynn", "\"Kings Lynn\""},
        {"Say \"Hi\"", "\"Say \"\"Hi\"\"\""},
        {"Caf\xe9", "Caf\xe9"},  // bytes above 127 are written unchanged
    };
    for (const Case& c : cases) {
        TAlSiteList list;
        AddSiteWithAttempt(list, c.name, At(2006, 3, 2, 10), 60);
        list.UpdateSummaries();
        list.SetFilter(At(2006, 3, 1), At(2006, 3, 6), 0);
        EXPECT_EQ(SiteReport(list, BareLines(""), DayMonthYear(), kToday).Build(),
                  ReportLines{c.comma + ",02/03/2006,02/03/2006"})
            << c.name;
        EXPECT_EQ(SiteReport(list, BareLines("tab"), DayMonthYear(), kToday).Build(),
                  ReportLines{c.name + "\t02/03/2006\t02/03/2006"})
            << c.name;
    }
}

TEST(ReportValues, SitesWithTheirLastAttemptBeforeTheStartAreInactive) {
    const TDateTime start = At(2006, 3, 1);
    TAlSiteList list;
    AddSiteWithAttempt(list, "Early", At(2006, 2, 28, 23, 59, 59), 60);
    AddSiteWithAttempt(list, "OnTime", start, 60);
    list.AddSite("Silent", "D:\\Logs\\Silent\\");  // no attempt at all
    list.UpdateSummaries();
    list.SetFilter(start, At(2006, 3, 6), 0);

    EXPECT_EQ(SiteReport(list, BareLines(""), DayMonthYear(), kToday).Build(),
              ReportLines{"OnTime,01/03/2006,01/03/2006"});
    EXPECT_EQ(SiteReport(list, BareLines("inactive-sites"), DayMonthYear(), kToday).Build(),
              (ReportLines{"Early,28/02/2006,28/02/2006", "OnTime,01/03/2006,01/03/2006",
                           "Silent,30/12/1899,30/12/1899"}));
    EXPECT_EQ(ConnReport(list, BareLines(""), DayMonthYear(), kToday).Build(),
              ReportLines{"OnTime,01/03/2006,01/03/2006,01/03/2006"});
    EXPECT_EQ(
        ConnReport(list, BareLines("inactive-sites"), DayMonthYear(), kToday).Build(),
        (ReportLines{"Early,01/03/2006,01/03/2006,01/03/2006", "OnTime,01/03/2006,01/03/2006,01/03/2006",
                     "Silent,01/03/2006,01/03/2006,01/03/2006"}));
}

TEST(ReportValues, ClampToFilterLimitsDatesToThePeriod) {
    struct Case {
        const char* name;
        TDateTime start, end, value, expected;
    };
    const TDateTime s = At(2006, 3, 1), e = At(2006, 3, 7);
    const Case cases[] = {
        {"before the start", s, e, At(2006, 2, 1, 12), s},
        {"no such time", s, e, 0, s},
        {"at the start", s, e, s, s},
        {"inside, time of day kept", s, e, At(2006, 3, 4, 9, 30), At(2006, 3, 4, 9, 30)},
        {"at the end", s, e, e, e},
        {"after the end", s, e, At(2006, 3, 7, 0, 0, 1), e},
        // Start later than end: the end is applied last, so every date becomes the end.
        {"empty period, before", e, s, At(2006, 2, 1), s},
        {"empty period, between", e, s, At(2006, 3, 4), s},
        {"empty period, after", e, s, At(2006, 4, 1), s},
    };
    for (const Case& c : cases) {
        TAlSiteList list;
        list.SetFilter(c.start, c.end, 0);
        EXPECT_EQ(ConnReport(list, ReportOptions{}, DayMonthYear(), kToday).ClampToFilter(c.value),
                  c.expected)
            << c.name;
    }
}

TEST(ReportValues, StartLaterThanTheEndShowsTheEndInEveryDateColumn) {
    TAlSiteList list;
    TAlSite* site = AddSiteWithAttempt(list, "North", At(2006, 3, 2, 10), 60);
    TAlConn late(At(2006, 3, 9, 10));
    late.OnlineSecs = 60;
    site->AddConn(late);
    list.UpdateSummaries();
    list.SetFilter(At(2006, 3, 5), At(2006, 3, 4), 0);
    EXPECT_EQ(ConnReport(list, BareLines(""), DayMonthYear(), kToday).Build(),
              ReportLines{"North,04/03/2006,04/03/2006,04/03/2006"});
}

}  // namespace
}  // namespace kelvane
