// The log parser: line kinds, what each line records, the error prompt with physical line
// numbers, and whole files read into new and existing site lists.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "TestSupport.h"
#include "log/Alarmconsts.h"
#include "log/BrelLogParser.h"
#include "model/AlarmSite.h"

namespace kelvane {
namespace {

using test::At;
using test::ErrorPrompt;
using test::FixturePath;
using test::Prompt;
using test::PromptRecorder;
using test::TempLog;
using test::ThrowsMessage;

std::string ToUpper(std::string s) {
    for (char& c : s) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
    return s;
}

const std::string kHeader = "*** Polled 17/11/2006 09:33:49 Site: D:\\Logs\\Alpha\\";

// Reads a file into a new list, answering every prompt with OK unless told otherwise.
std::unique_ptr<TAlSiteList> Parse(const std::string& path, PromptRecorder& prompts,
                                   const Locale& locale = Locale::Default()) {
    TBrelLogParser parser(locale, prompts.Callback());
    return parser.ParseFile(path);
}

std::vector<std::string> SiteNames(const TAlSiteList& list) {
    std::vector<std::string> names;
    for (int i = 0; i < list.Count(); ++i) names.push_back(list.SiteAt(i)->Name);
    return names;
}

std::vector<std::uint32_t> Bits(const EventList& events) {
    std::vector<std::uint32_t> bits;
    for (const auto& e : events.Items()) bits.push_back(e.Bits);
    return bits;
}

std::vector<TDateTime> Times(const EventList& events) {
    std::vector<TDateTime> times;
    for (const auto& e : events.Items()) times.push_back(e.Time);
    return times;
}

// One attempt and its units in a short form: "status=<hex> online=<n>", then per unit
// " unit<n>" followed by " a<hex>" per alarm event and " t<hex>" per trip event.
std::string Summary(const TAlSite& site, int conn = 0) {
    std::ostringstream os;
    os << std::hex << "status=" << site.ConnAt(conn).Status << std::dec << " online=" << site.ConnAt(conn).OnlineSecs;
    for (int i = 0; i < site.UnitCount(); ++i) {
        const TAlUnit* unit = site.UnitAt(i);
        os << " unit" << unit->Number << std::hex;
        for (const auto& e : unit->Alarms().Items()) os << " a" << e.Bits;
        for (const auto& e : unit->Trips().Items()) os << " t" << e.Bits;
        os << std::dec;
    }
    return os.str();
}

// ---------------------------------------------------------------------------------------------
// Single lines

TEST(ParseLine, FormatErrorsBeforeAnySite) {
    struct Case {
        const char* line;
        const char* message;  // null: no error
    };
    const Case cases[] = {
        {"***", "Site - incomplete line"},
        {"*** Polled 17/11/2006 09:33:49", "Site - incomplete line"},
        {"*** Polled 17/11/2006 09:33:49Site: D:\\A\\B\\", "Site - incomplete line"},
        {"*** Site:  17/11/2006 09:33:49 at D:\\A\\B\\", "Site - incomplete line"},
        {"*** Portix Error", "Site - incomplete line"},
        {"*** Polled 2006/11/17 09:33:49 Site: D:\\A\\B\\", "'2006/11/17 09:33:49' is not a valid date and time"},
        {"*** Polled 17/11/2006 09:33:49 x Site: D:\\A\\B\\", "'17/11/2006 09:33:49 x' is not a valid date and time"},
        {"*** Polled  Site: D:\\A\\B\\", "'' is not a valid date and time"},
        {"*** Polled 17/11/2006 09:33:49 Site: NoBackslash", "Site - no name"},
        {"*** Polled 17/11/2006 09:33:49 Site: D:\\Logs\\\\", "Site - no name"},
        {"*** Polled 17/11/2006 09:33:49 Site: \\", "Site - no name"},
        {"*** Polled 17/11/2006 09:33:49 Site: \\Alpha", "Site - no name"},
        {"Portix Error: TAPI: Couldn't connect call", "Conn - status without connection"},
        {"Unit 3 Portix Error", "Conn - status without connection"},
        {"Online: 5 Portix Error", "Conn - status without connection"},
        {"Unit x alarms: \"SENSOR FAILURE\"", "Unit - no number"},
        {"Unit3 alarms: \"SENSOR FAILURE\"", "Unit - no number"},
        {"Unit 4294967296 alarms: \"SENSOR FAILURE\"", "Unit - no number"},
        {"Unit 3 alarms: SENSOR FAILURE", "Unit - no alarms"},
        {"Unit 3 trips: 5 alarms", "Unit - no alarms"},
        {"Unit 3 alarms: \"SENSOR FAILURE\"", "Unit - no site/conn"},
        {"Unit 3 alarms: \"BOGUS\"", "Unit - no site/conn"},
        {"Unit x trips: 5", "Unit - no number"},
        {"Unit 99999999999 trips: 5", "Unit - no number"},
        {"Unit 3 trips 5", "Unit trips - bad format"},
        {"Unit 3 trips:5", "Unit trips - bad format"},
        {"Unit 3 trips: ", "Unit trips - no trips"},
        {"Unit 3 trips: xyz", "Unit trips - no trips"},
        {"Unit 3 trips: 100000000", "Unit trips - no trips"},
        {"Unit 3 trips: 5", "Unit trips - no site/conn"},
        {"Unit 3 trips: 0", "Unit trips - no site/conn"},
        {"Online: 15", nullptr},
        {"Online: fifteen", nullptr},
        {"unit 3 alarms: \"SENSOR FAILURE\"", nullptr},
        {"Kelvane polling log", nullptr},
        {"Unit 3 status: ok", nullptr},
    };
    for (const auto& c : cases) {
        TAlSiteList list;
        TBrelLogParser parser(Locale::Default());
        parser.Attach(list);
        if (c.message) {
            EXPECT_TRUE(ThrowsMessage([&] { parser.ParseLine(c.line); }, c.message)) << c.line;
        } else {
            EXPECT_NO_THROW(parser.ParseLine(c.line)) << c.line;
        }
        EXPECT_EQ(list.Count(), 0) << c.line;
    }
}

TEST(ParseLines, WhatEachLineRecordsOnTheCurrentAttempt) {
    // Each line follows a site header and "Online: 15" and is line 3 of its log.
    struct Case {
        const char* line;
        const char* summary;
        const char* message;  // null: no prompt
    };
    const Case cases[] = {
        // online lines
        {"Online: 20", "status=0 online=20", nullptr},
        {"Online:20", "status=0 online=20", nullptr},
        {"Online:    7", "status=0 online=7", nullptr},
        {"Online: +9", "status=0 online=9", nullptr},
        {"Online: 00020", "status=0 online=20", nullptr},
        {"Online: 2147483647", "status=0 online=2147483647", nullptr},
        {"Online: 0", "status=0 online=0", nullptr},
        {"Online:                   12345", "status=0 online=1", nullptr},  // only 20 characters are read
        {"Online: 2147483648", "status=0 online=15", nullptr},
        {"Online: -5", "status=0 online=15", nullptr},
        {"Online: 20 secs", "status=0 online=15", nullptr},
        {"Online: 20 ", "status=0 online=15", nullptr},
        {"Online: ", "status=0 online=15", nullptr},
        {"Online:", "status=0 online=15", nullptr},
        {"Online: 12x", "status=0 online=15", nullptr},
        {"Online: 0x1F", "status=0 online=15", nullptr},
        {"online: 20", "status=0 online=15", nullptr},
        {"ONLINE: 20", "status=0 online=15", nullptr},
        // link-error lines
        {"Portix Error: TAPI: Couldn't connect call", "status=8 online=15", nullptr},
        {"Portix Error: Corvane link: Read/write op failure", "status=200 online=15", nullptr},
        {"Portix Error: Portix Unknown Error", "status=1 online=15", nullptr},
        {"Portix Error", "status=1 online=15", nullptr},
        {"Unit 3 Portix Error: Corvane link: User abort", "status=80 online=15", nullptr},
        {"Online: 5 Portix Error", "status=1 online=15", nullptr},
        {"portix error: TAPI: Couldn't connect call", "status=0 online=15", nullptr},
        // unit alarms lines
        {"Unit 3 alarms: \"SENSOR FAILURE\",\"LOW TEMPERATURE\"", "status=0 online=15 unit3 a5", nullptr},
        {"Unit 3 alarms: \"\"", "status=0 online=15 unit3 a80", nullptr},
        {"Unit 3 alarms: \"SENSOR FAILURE\",", "status=0 online=15 unit3 a81", nullptr},
        {"Unit 3 alarms: \"SENSOR FAILURE\", , \"LOW TEMPERATURE\"", "status=0 online=15 unit3 a85", nullptr},
        {"Unit 3 alarms: \"SENSOR FAILURE\" \"MAINS FAILURE\"", "status=0 online=15 unit3 a101", nullptr},
        {"Unit 3 alarms: \"SENSOR\"", "status=0 online=15 unit3 a1", nullptr},
        {"Unit 3 alarms: \"SYSTEM\",\"OUTPUT\"", "status=0 online=15 unit3 aa00", nullptr},
        {"Unit 3 alarms: \"HIGH READING\",\"CONFIG ERROR\",\"LOW READING\"", "status=0 online=15 unit3 a80c", nullptr},
        {"Unit 3 alarms: x \"NO SENSORS\"", "status=0 online=15 unit3 a10", nullptr},
        {"Unit 3 alarms: \"BATTERY LOW", "status=0 online=15 unit3 a2000", nullptr},
        {"Unit 3 alarms and trips: \"FEED FAILURE\"", "status=0 online=15 unit3 a40", nullptr},
        {"Unit12 alarms: \"SENSOR FAILURE\"", "status=0 online=15 unit2 a1", nullptr},
        {"Unit  -4 alarms: \"SENSOR FAILURE\"", "status=0 online=15 unit-4 a1", nullptr},
        {"Unit 7,alarms: \"TRIP FAILURE\"", "status=0 online=15 unit7 a20", nullptr},
        {"Unit 2147483647 alarms: \"SENSOR FAILURE\"", "status=0 online=15 unit2147483647 a1", nullptr},
        {"Unit 3 alarms: \"SENSOR FAILURE\",\"BOGUS\",\"LOW TEMPERATURE\"", "status=0 online=15 unit3 a1",
         "Unit - unknown alarm"},
        {"Unit 3 alarms: \"sensor failure\"", "status=0 online=15", "Unit - unknown alarm"},
        {"Unit 3 alarms: \"SENSOR FAILURE \"", "status=0 online=15", "Unit - unknown alarm"},
        {"Unit 3 alarms: SENSOR FAILURE", "status=0 online=15", "Unit - no alarms"},
        {"Unit x alarms: \"SENSOR FAILURE\"", "status=0 online=15", "Unit - no number"},
        {"Unit3 alarms: \"SENSOR FAILURE\"", "status=0 online=15", "Unit - no number"},
        {"Unit 4294967296 alarms: \"SENSOR FAILURE\"", "status=0 online=15", "Unit - no number"},
        {"unit 3 alarms: \"SENSOR FAILURE\"", "status=0 online=15", nullptr},
        {"Hello Unit 3 alarms: \"SENSOR FAILURE\"", "status=0 online=15", nullptr},
        // unit trips lines
        {"Unit 3 trips: 0005", "status=0 online=15 unit3 t5", nullptr},
        {"Unit 3 trips: ff", "status=0 online=15 unit3 tff", nullptr},
        {"Unit 3 trips: 1A", "status=0 online=15 unit3 t1a", nullptr},
        {"Unit 3 trips:    8", "status=0 online=15 unit3 t8", nullptr},
        {"Unit 3 trips: 4 (HP)", "status=0 online=15 unit3 t4", nullptr},
        {"Unit 3 trips - status: 2", "status=0 online=15 unit3 t2", nullptr},
        {"Unit 3 trips: 10001", "status=0 online=15 unit3 t10001", nullptr},
        {"Unit 3 trips: FFFFFFFF", "status=0 online=15 unit3 tffffffff", nullptr},
        {"Unit -2147483648 trips: 1", "status=0 online=15 unit-2147483648 t1", nullptr},
        {"Unit 3 trips: 0", "status=0 online=15", nullptr},
        {"Unit 3 trips: 00000000", "status=0 online=15", nullptr},
        {"Unit 3 trips: 100000000", "status=0 online=15", "Unit trips - no trips"},
        {"Unit 3 trips: G1", "status=0 online=15", "Unit trips - no trips"},
        {"Unit 3 trips: ", "status=0 online=15", "Unit trips - no trips"},
        {"Unit 3 trips:5", "status=0 online=15", "Unit trips - bad format"},
        {"Unit 3 trips", "status=0 online=15", "Unit trips - bad format"},
        {"Unit x trips: 5", "status=0 online=15", "Unit - no number"},
        {"Unit 4294967296 trips: 1", "status=0 online=15", "Unit - no number"},
        {"unit 3 trips: 5", "status=0 online=15", nullptr},
        // a failing header keeps the attempt before it current
        {"*** Portix Error", "status=0 online=15", "Site - incomplete line"},
    };
    for (const auto& c : cases) {
        const std::string line = c.line;
        const TempLog log(kHeader + "\nOnline: 15\n" + line + "\n");
        PromptRecorder prompts;
        auto list = Parse(log.Path(), prompts);
        ASSERT_EQ(list->Count(), 1) << line;
        const TAlSite* site = list->SiteAt(0);
        ASSERT_EQ(site->ConnCount(), 1) << line;
        EXPECT_EQ(Summary(*site), c.summary) << line;
        if (c.message) {
            EXPECT_EQ(prompts.prompts, (std::vector<Prompt>{ErrorPrompt(c.message, 3, line)})) << line;
        } else {
            EXPECT_TRUE(prompts.prompts.empty()) << line << ": " << prompts.prompts.front();
        }
    }
}

TEST(ParseLines, SecondOnlineLineReplacesTheFirst) {
    const TempLog log(kHeader + "\nOnline: 15\nOnline: 20\n");
    PromptRecorder prompts;
    auto list = Parse(log.Path(), prompts);
    EXPECT_EQ(list->SiteAt(0)->ConnAt(0).OnlineSecs, 20u);

    const TempLog zero(kHeader + "\nOnline: 15\nOnline: 0\n");
    list = Parse(zero.Path(), prompts);
    EXPECT_EQ(list->SiteAt(0)->ConnAt(0).OnlineSecs, 0u);
    EXPECT_EQ(list->SiteAt(0)->LastConnect, 0);
}

TEST(ParseLines, EventsOfOneTimeMergeWhereverTheyAppear) {
    // Alarms of one unit at one time join into one event: two on one line, and again from a later
    // attempt with the same time (a repeated header), also after events of later times and with
    // another site's lines between; an earlier time becomes an event of its own before the rest.
    const auto header = [](const char* time, const char* site) {
        return std::string("*** Polled 17/11/2006 ") + time + " Site: D:\\Logs\\" + site + "\\\n";
    };
    const std::string text = header("09:00:00", "Alpha") + "Unit 1 alarms: \"SENSOR FAILURE\",\"LOW TEMPERATURE\"\n" +
                             header("10:00:00", "Alpha") + "Unit 1 alarms: \"FEED FAILURE\"\nUnit 2 trips: 0001\n" +
                             header("09:00:00", "Beta") + "Unit 1 alarms: \"FEED FAILURE\"\n" +
                             header("09:00:00", "Alpha") + "Unit 2 trips: 0002\nUnit 1 alarms: \"SYSTEM RESET\"\n" +
                             header("08:00:00", "Alpha") + "Unit 1 alarms: \"SYSTEM RESET\"\n";
    TBrelLogParser parser(Locale::Default());
    TAlSiteList list;
    parser.ParseText(text, list);

    ASSERT_EQ(SiteNames(list), (std::vector<std::string>{"Alpha", "Beta"}));
    const TAlSite& alpha = *list.SiteAt(0);
    ASSERT_EQ(alpha.ConnCount(), 4);
    const auto bit = [](const char* name) { return static_cast<std::uint32_t>(AppAlarmCode(name)); };
    const TAlUnit* one = alpha.FindUnit(1);
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(Times(one->Alarms()),
              (std::vector<TDateTime>{At(2006, 11, 17, 8, 0, 0), At(2006, 11, 17, 9, 0, 0), At(2006, 11, 17, 10, 0, 0)}));
    EXPECT_EQ(Bits(one->Alarms()), (std::vector<std::uint32_t>{
                                       bit("SYSTEM RESET"),
                                       bit("SENSOR FAILURE") | bit("LOW TEMPERATURE") | bit("SYSTEM RESET"),
                                       bit("FEED FAILURE")}));
    const TAlUnit* two = alpha.FindUnit(2);
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(Times(two->Trips()), (std::vector<TDateTime>{At(2006, 11, 17, 9, 0, 0), At(2006, 11, 17, 10, 0, 0)}));
    EXPECT_EQ(Bits(two->Trips()), (std::vector<std::uint32_t>{0x2, 0x1}));
    EXPECT_EQ(Bits(list.SiteAt(1)->FindUnit(1)->Alarms()), (std::vector<std::uint32_t>{bit("FEED FAILURE")}));
}

TEST(ParseLines, SiteHeaderGivesNamePathAndTime) {
    struct Case {
        const char* line;
        const char* name;
        const char* path;
        TDateTime time;
    };
    const Case cases[] = {
        {"*** Polled 17/11/2006 09:33:49 Site: D:\\Logs\\Alpha\\", "Alpha", "D:\\Logs\\Alpha\\",
         At(2006, 11, 17, 9, 33, 49)},
        {"*** Polled 17/11/2006 09:33:49 Site: D:\\Logs\\Alpha\\site.log", "Alpha", "D:\\Logs\\Alpha\\site.log",
         At(2006, 11, 17, 9, 33, 49)},
        {"*** Polled 17/11/2006 09:33:49 Site: Alpha\\", "Alpha", "Alpha\\", At(2006, 11, 17, 9, 33, 49)},
        {"*** Polled 17/11/2006 09:33:49 Site: Alpha\\extra", "Alpha", "Alpha\\extra", At(2006, 11, 17, 9, 33, 49)},
        {"*** Polled 17/11/2006 09:33:49 Site: \\\\depot\\share\\Gamma Yard\\", "Gamma Yard",
         "\\\\depot\\share\\Gamma Yard\\", At(2006, 11, 17, 9, 33, 49)},
        {"*** Polled 17/11/2006 09:33:49 Site: D:\\Logs\\Alpha\\ ", "Alpha", "D:\\Logs\\Alpha\\ ",
         At(2006, 11, 17, 9, 33, 49)},
        {"*** Polled 17/11/2006 09:33:49 Site=>D:\\X\\Delta\\", "Delta", "D:\\X\\Delta\\", At(2006, 11, 17, 9, 33, 49)},
        {"*** Site   17/11/2006 09:33:49 Site: D:\\Logs\\Alpha\\", "Alpha", "D:\\Logs\\Alpha\\",
         At(2006, 11, 17, 9, 33, 49)},
        {"*** Polled 17/11/2006 Site: D:\\Logs\\Alpha\\", "Alpha", "D:\\Logs\\Alpha\\", At(2006, 11, 17)},
        {"*** Polled 09:33:49 Site: D:\\Logs\\Alpha\\", "Alpha", "D:\\Logs\\Alpha\\", EncodeTime(9, 33, 49, 0)},
        {"*** Polled 1/2/2006 7:05:09 Site: D:\\Logs\\Alpha\\", "Alpha", "D:\\Logs\\Alpha\\", At(2006, 2, 1, 7, 5, 9)},
    };
    for (const auto& c : cases) {
        const TempLog log(std::string(c.line) + "\n");
        PromptRecorder prompts;
        auto list = Parse(log.Path(), prompts);
        EXPECT_TRUE(prompts.prompts.empty()) << c.line;
        ASSERT_EQ(list->Count(), 1) << c.line;
        const TAlSite* site = list->SiteAt(0);
        EXPECT_EQ(site->Name, c.name) << c.line;
        EXPECT_EQ(site->Path, c.path) << c.line;
        ASSERT_EQ(site->ConnCount(), 1) << c.line;
        EXPECT_NEAR(site->ConnAt(0).Time, c.time, 1e-9) << c.line;
        EXPECT_EQ(site->ConnAt(0).Status, 0u);
        EXPECT_EQ(site->ConnAt(0).OnlineSecs, 0u);
    }
}

TEST(ParseLines, HeaderForAKnownSiteInOtherCaseAddsAnAttempt) {
    const TempLog log(
        "*** Polled 17/11/2006 09:00:00 Site: D:\\Logs\\North\\\n"
        "*** Polled 17/11/2006 10:00:00 Site: E:\\Else\\NORTH\\\n"
        "Online: 5\n");
    PromptRecorder prompts;
    auto list = Parse(log.Path(), prompts);
    ASSERT_EQ(list->Count(), 1);
    const TAlSite* north = list->SiteAt(0);
    EXPECT_EQ(north->Name, "North");
    EXPECT_EQ(north->Path, "D:\\Logs\\North\\");
    ASSERT_EQ(north->ConnCount(), 2);
    EXPECT_EQ(north->ConnAt(0).OnlineSecs, 0u);
    EXPECT_EQ(north->ConnAt(1).OnlineSecs, 5u);
}

// ---------------------------------------------------------------------------------------------
// Whole files

TEST(ParseFile, EveryLineKind) {
    PromptRecorder prompts;
    auto list = Parse(FixturePath("basic.log"), prompts);
    EXPECT_TRUE(prompts.prompts.empty()) << prompts.prompts.front();
    ASSERT_EQ(SiteNames(*list), (std::vector<std::string>{"Alpha", "Beta"}));

    const TAlSite* alpha = list->SiteAt(0);
    EXPECT_EQ(alpha->Path, "D:\\Logs\\Alpha\\");
    ASSERT_EQ(alpha->ConnCount(), 2);
    EXPECT_EQ(alpha->ConnAt(0).Time, At(2006, 11, 17, 9, 33, 49));
    EXPECT_EQ(alpha->ConnAt(0).Status, 0x88u);
    EXPECT_EQ(alpha->ConnAt(0).OnlineSecs, 15u);
    EXPECT_EQ(alpha->ConnAt(1).Time, At(2006, 11, 18, 8));
    EXPECT_EQ(alpha->ConnAt(1).Status, 0x20u);
    EXPECT_EQ(alpha->ConnAt(1).OnlineSecs, 300u);
    EXPECT_EQ(alpha->FirstConnect, At(2006, 11, 18, 8));
    EXPECT_EQ(alpha->LastConnect, At(2006, 11, 18, 8));
    EXPECT_EQ(alpha->LastAttempt, At(2006, 11, 18, 8));
    ASSERT_EQ(alpha->UnitCount(), 1);
    const TAlUnit* unit3 = alpha->UnitAt(0);
    EXPECT_EQ(unit3->Number, 3);
    EXPECT_EQ(Times(unit3->Alarms()), (std::vector<TDateTime>{At(2006, 11, 17, 9, 33, 49), At(2006, 11, 18, 8)}));
    EXPECT_EQ(Bits(unit3->Alarms()), (std::vector<std::uint32_t>{0x5, 0x11}));
    EXPECT_EQ(Times(unit3->Trips()), (std::vector<TDateTime>{At(2006, 11, 17, 9, 33, 49)}));
    EXPECT_EQ(Bits(unit3->Trips()), (std::vector<std::uint32_t>{0x5}));

    const TAlSite* beta = list->SiteAt(1);
    EXPECT_EQ(beta->Path, "D:\\Logs\\Beta\\site.cfg");
    ASSERT_EQ(beta->ConnCount(), 1);
    EXPECT_EQ(beta->ConnAt(0).Time, At(2006, 11, 17, 10, 15));
    EXPECT_EQ(beta->ConnAt(0).Status, 0x1u);
    EXPECT_EQ(beta->ConnAt(0).OnlineSecs, 120u);
    EXPECT_EQ(beta->LastAttempt, At(2006, 11, 17, 10, 15));
    EXPECT_EQ(beta->LastConnect, 0);
    EXPECT_EQ(beta->FirstConnect, 0);
    ASSERT_EQ(beta->UnitCount(), 2);
    EXPECT_EQ(beta->UnitAt(0)->Number, 4);
    EXPECT_EQ(beta->UnitAt(0)->AlarmCount(), 0);
    EXPECT_EQ(Bits(beta->UnitAt(0)->Trips()), (std::vector<std::uint32_t>{0x1A}));
    EXPECT_EQ(beta->UnitAt(1)->Number, 12);
    EXPECT_EQ(Bits(beta->UnitAt(1)->Alarms()), (std::vector<std::uint32_t>{0x808}));
    EXPECT_EQ(beta->UnitAt(1)->Trips().Count(), 0);
}

TEST(ParseFile, EveryErrorWithItsPhysicalLineNumber) {
    PromptRecorder prompts;
    auto list = Parse(FixturePath("errors.log"), prompts);
    const std::vector<Prompt> expected = {
        ErrorPrompt("Conn - status without connection", 2, "Portix Error: TAPI: Couldn't connect call"),
        ErrorPrompt("Unit - no site/conn", 4, "Unit 1 alarms: \"SENSOR FAILURE\""),
        ErrorPrompt("Unit trips - no site/conn", 5, "Unit 1 trips: 0001"),
        ErrorPrompt("Unit - no number", 6, "Unit x alarms: \"SENSOR FAILURE\""),
        ErrorPrompt("Unit - no alarms", 7, "Unit 1 alarms: SENSOR FAILURE"),
        ErrorPrompt("Unit trips - bad format", 8, "Unit 1 trips 0001"),
        ErrorPrompt("Unit trips - no trips", 9, "Unit 1 trips: zz"),
        ErrorPrompt("Site - incomplete line", 10, "***"),
        ErrorPrompt("Site - no name", 11, "*** Polled 17/11/2006 09:33:49 Site: NoBackslash"),
        ErrorPrompt("'31/11/2006 09:33:49' is not a valid date and time", 12,
                    "*** Polled 31/11/2006 09:33:49 Site: D:\\Logs\\Alpha\\"),
        ErrorPrompt("Unit - unknown alarm", 14,
                    "Unit 2 alarms: \"SENSOR FAILURE\",\"NO SUCH ALARM\",\"LOW TEMPERATURE\""),
        ErrorPrompt("Unit - no number", 15, "Unit y trips: 0001"),
        ErrorPrompt("Site - no name", 16, "*** Polled 18/11/2006 10:00:00 Site: D:\\Logs\\\\"),
        ErrorPrompt("'18/11/2006 1O:00:00' is not a valid date and time", 17,
                    "*** Polled 18/11/2006 1O:00:00 Site: D:\\Logs\\Gamma\\"),
    };
    EXPECT_EQ(prompts.prompts, expected);

    // Failed headers make no site and leave the attempt before them current.
    ASSERT_EQ(SiteNames(*list), (std::vector<std::string>{"Alpha"}));
    const TAlSite* alpha = list->SiteAt(0);
    ASSERT_EQ(alpha->ConnCount(), 1);
    EXPECT_EQ(Summary(*alpha), "status=0 online=30 unit2 a1");
    EXPECT_EQ(alpha->LastConnect, At(2006, 11, 17, 9, 33, 49));
}

TEST(ParseFile, IndentedAndBlankLinesKeepPhysicalLineNumbers) {
    PromptRecorder prompts;
    auto list = Parse(FixturePath("indented.log"), prompts);
    const std::vector<Prompt> expected = {
        ErrorPrompt("Unit - unknown alarm", 9, "Unit 4 alarms: \"NOT AN ALARM\""),
        ErrorPrompt("Unit trips - bad format", 11, "Unit 4 trips 3"),
        ErrorPrompt("Unit - no number", 12, "Unit x alarms:   "),
    };
    EXPECT_EQ(prompts.prompts, expected);
    ASSERT_EQ(list->Count(), 1);
    EXPECT_EQ(Summary(*list->SiteAt(0)), "status=0 online=15 unit3 a5 t5");
}

TEST(ParseFile, CarriageReturnLineFeedIsOneNewline) {
    PromptRecorder prompts;
    auto list = Parse(FixturePath("crlf.log"), prompts);
    const std::vector<Prompt> expected = {
        ErrorPrompt("Unit trips - bad format", 5, "Unit 3 trips 5"),
        ErrorPrompt("Unit trips - bad format", 7, "Unit 3 trips 7"),
    };
    EXPECT_EQ(prompts.prompts, expected);
    ASSERT_EQ(list->Count(), 1);
    const TAlSite* alpha = list->SiteAt(0);
    EXPECT_EQ(alpha->Path, "D:\\Logs\\Alpha\\");
    // "Online: 1<CR>5": a lone carriage return is an ordinary character, so that line does not convert.
    EXPECT_EQ(Summary(*alpha), "status=0 online=15 unit3 t5");
}

TEST(ParseFile, OverLongLineKeepsItsFirst119Characters) {
    std::string line2 = "Unit 5 alarms: " + std::string(104, 'x');
    std::string line5 = "Unit 6 trips " + std::string(106, 'y');
    std::string line6 = "Unit 7 trips " + std::string(106, 'w');  // the 120th character is dropped
    PromptRecorder prompts;
    auto list = Parse(FixturePath("long_line.log"), prompts);
    const std::vector<Prompt> expected = {
        ErrorPrompt("Unit - no alarms", 2, line2),
        ErrorPrompt("Unit trips - bad format", 3, "Unit 4 trips 5"),
        ErrorPrompt("Unit trips - bad format", 5, line5),
        ErrorPrompt("Unit trips - bad format", 6, line6),
        ErrorPrompt("Unit trips - bad format", 7, "Unit 8 trips 8"),
    };
    EXPECT_EQ(prompts.prompts, expected);
    ASSERT_EQ(list->Count(), 1);
    // Nothing of the skipped rest of line 2 (a trips line for unit 9, an alarm for unit 5) is read.
    EXPECT_EQ(Summary(*list->SiteAt(0)), "status=0 online=42");
}

TEST(ParseFile, CancelAtFirstPromptKeepsWhatWasReadAndSorts) {
    PromptRecorder prompts(1);
    auto list = Parse(FixturePath("cancel.log"), prompts);
    ASSERT_EQ(prompts.prompts.size(), 1u);
    EXPECT_EQ(prompts.prompts[0],
              ErrorPrompt("Unit - unknown alarm", 10, "Unit 1 alarms: \"LOW TEMPERATURE\",\"BOGUS\",\"MAINS FAILURE\""));

    ASSERT_EQ(SiteNames(*list), (std::vector<std::string>{"Alpha", "Bravo"}));
    const TAlSite* bravo = list->SiteAt(1);
    ASSERT_EQ(bravo->ConnCount(), 2);
    EXPECT_EQ(bravo->ConnAt(0).Time, At(2006, 11, 15, 8));
    EXPECT_EQ(bravo->ConnAt(0).OnlineSecs, 5u);
    EXPECT_EQ(bravo->ConnAt(1).Time, At(2006, 11, 17, 9, 33, 49));
    EXPECT_EQ(bravo->FirstConnect, At(2006, 11, 15, 8));
    EXPECT_EQ(bravo->LastConnect, At(2006, 11, 17, 9, 33, 49));
    EXPECT_EQ(bravo->LastAttempt, At(2006, 11, 17, 9, 33, 49));
    ASSERT_EQ(bravo->UnitCount(), 3);
    EXPECT_EQ(bravo->UnitAt(0)->Number, 1);
    EXPECT_EQ(Bits(bravo->UnitAt(0)->Alarms()), (std::vector<std::uint32_t>{0x4}));
    EXPECT_EQ(bravo->UnitAt(1)->Number, 2);
    EXPECT_EQ(bravo->UnitAt(2)->Number, 7);
    EXPECT_EQ(list->SiteAt(0)->LastConnect, At(2006, 11, 16, 8));
}

TEST(ParseFile, OkAtEveryPromptReadsToTheEnd) {
    PromptRecorder prompts;
    auto list = Parse(FixturePath("cancel.log"), prompts);
    const std::vector<Prompt> expected = {
        ErrorPrompt("Unit - unknown alarm", 10, "Unit 1 alarms: \"LOW TEMPERATURE\",\"BOGUS\",\"MAINS FAILURE\""),
        ErrorPrompt("Unit trips - bad format", 14, "Unit 1 trips 2"),
    };
    EXPECT_EQ(prompts.prompts, expected);
    ASSERT_EQ(SiteNames(*list), (std::vector<std::string>{"Alpha", "Bravo", "Charlie"}));
    EXPECT_EQ(Bits(list->SiteAt(1)->UnitAt(0)->Alarms()), (std::vector<std::uint32_t>{0x104}));
    EXPECT_EQ(list->SiteAt(2)->LastConnect, At(2006, 11, 18, 9));
}

TEST(ParseFile, LastLineWithoutNewline) {
    const TempLog log(kHeader + "\r\nUnit 3 trips: 0005\r\nOnline: 15");
    PromptRecorder prompts;
    auto list = Parse(log.Path(), prompts);
    EXPECT_TRUE(prompts.prompts.empty());
    ASSERT_EQ(list->Count(), 1);
    EXPECT_EQ(Summary(*list->SiteAt(0)), "status=0 online=15 unit3 t5");
}

TEST(ParseFile, LargeLogAcrossReadBlocks) {
    // A log of a few megabytes with CR LF line ends. Filler lines are sized so that a CR LF pair
    // straddles every power-of-two offset and a few round ones: wherever the file is cut into
    // reads, lines, CR LF pairs and the skipped rests of over-long lines get split between two.
    std::vector<std::size_t> splits = {10000, 64000, 100000, 1000000};
    for (int k = 9; k <= 23; ++k) splits.push_back(std::size_t{1} << k);
    std::sort(splits.begin(), splits.end());

    struct Tally {
        int conns = 0;
        int failed = 0;
        std::uint64_t online = 0;
        int alarmEvents = 0;
        int tripEvents = 0;
    };
    const char* const names[] = {"Alpha", "Bravo", "Charlie", "Delta", "Echo", "Foxtrot", "Golf"};
    std::map<std::string, Tally> tally;
    std::vector<Prompt> expected;
    std::string text;
    int lineNo = 0;
    auto addLine = [&](const std::string& line) {
        text += line;
        text += "\r\n";
        ++lineNo;
    };

    std::size_t next = 0;
    for (int r = 0; next < splits.size(); ++r) {
        const std::size_t distance = splits[next] - 1 - text.size();
        if (distance < 1000) {
            addLine("filler " + std::string(distance - 7, 'f'));
            ++next;
        }
        const std::string name = names[r % 7];
        Tally& t = tally[name];
        const CivilDate day = DecodeDate(EncodeDate(2006, 1, 1) + r / 1440);
        char header[120];
        std::snprintf(header, sizeof header, "*** Polled %02d/%02d/%04d %02d:%02d:00 Site: D:\\Logs\\%s\\", day.day,
                      day.month, day.year, (r % 1440) / 60, r % 60, name.c_str());
        addLine(header);
        ++t.conns;
        if (r % 5 == 0) {
            addLine("Portix Error: TAPI: Couldn't connect call");
            ++t.failed;
        }
        const int online = r % 1000 + 1;
        addLine("Online: " + std::to_string(online));
        t.online += static_cast<std::uint64_t>(online);
        addLine("Unit " + std::to_string(r % 4) + " alarms: \"SENSOR FAILURE\",\"LOW TEMPERATURE\"");
        ++t.alarmEvents;
        if (r % 3 == 0) {
            addLine("Unit 9 trips: 0003");
            ++t.tripEvents;
        }
        if (r % 13 == 0) addLine(std::string(120, 'c') + "Unit 8 trips: 0001" + std::string(162, 'c'));
        if (r % 97 == 0) {
            addLine("Unit 1 trips 9");
            expected.push_back(ErrorPrompt("Unit trips - bad format", lineNo, "Unit 1 trips 9"));
        }
    }
    ASSERT_EQ(text.compare(splits.back() - 1, 2, "\r\n"), 0);

    const TempLog log(text);
    PromptRecorder prompts;
    auto list = Parse(log.Path(), prompts);
    EXPECT_EQ(prompts.prompts.size(), expected.size());
    EXPECT_TRUE(prompts.prompts == expected);

    ASSERT_EQ(list->Count(), 7);
    for (int i = 0; i < list->Count(); ++i) {
        const TAlSite* site = list->SiteAt(i);
        const Tally& t = tally[site->Name];
        EXPECT_EQ(site->Path, "D:\\Logs\\" + site->Name + "\\");
        ASSERT_EQ(site->ConnCount(), t.conns) << site->Name;
        int failed = 0;
        std::uint64_t online = 0;
        for (int c = 0; c < site->ConnCount(); ++c) {
            failed += site->ConnAt(c).IsSuccessful() ? 0 : 1;
            online += site->ConnAt(c).OnlineSecs;
            if (c > 0) {
                EXPECT_LT(site->ConnAt(c - 1).Time, site->ConnAt(c).Time) << site->Name;
            }
        }
        EXPECT_EQ(failed, t.failed) << site->Name;
        EXPECT_EQ(online, t.online) << site->Name;
        int alarmEvents = 0;
        for (int u = 0; u < site->UnitCount(); ++u) alarmEvents += site->UnitAt(u)->AlarmCount();
        EXPECT_EQ(alarmEvents, t.alarmEvents) << site->Name;
        const TAlUnit* nine = site->FindUnit(9);
        ASSERT_NE(nine, nullptr) << site->Name;
        EXPECT_EQ(nine->Trips().Count(), t.tripEvents) << site->Name;
        EXPECT_EQ(site->FindUnit(8), nullptr) << site->Name;
    }
}

TEST(ParseFile, RecordsCarryOverFromBatchToBatch) {
    // Lines are recorded in batches that reach the list at good site headers. Here every attempt
    // could end a batch: attempts repeat each site's times 60,000 attempts later (their events
    // must merge with the earlier ones), the later headers spell the names differently with
    // other paths (the first stay), and each attempt is followed by a faulty header and then an
    // online line, which still belongs to the attempt before the faulty header.
    const char* const names[] = {"Alpha", "Bravo", "Charlie"};
    const int kAttempts = 140000;
    const int kRepeat = 60000;
    struct Key {
        std::string site;
        int unit;
        TDateTime time;
        bool operator<(const Key& o) const { return std::tie(site, unit, time) < std::tie(o.site, o.unit, o.time); }
        bool operator==(const Key& o) const { return std::tie(site, unit, time) == std::tie(o.site, o.unit, o.time); }
    };
    std::map<Key, std::uint32_t> events;
    std::map<std::string, std::pair<int, std::uint64_t>> conns;  // attempts and seconds online
    std::vector<Prompt> expected;
    std::string text;
    int lineNo = 0;
    auto addLine = [&](const std::string& line) {
        text += line;
        text += '\n';
        ++lineNo;
    };
    for (int i = 0; i < kAttempts; ++i) {
        const std::string name = names[i % 3];
        const int minute = i % kRepeat;
        const TDateTime time = EncodeDate(2006, 1, 1) + minute / 1440 + EncodeTime(minute % 1440 / 60, minute % 60, 0, 0);
        const CivilDate day = DecodeDate(time);
        const std::string spelled = i < 3 ? name : (i % 2 ? ToUpper(name) : name);
        char header[120];
        std::snprintf(header, sizeof header, "*** Polled %02d/%02d/%04d %02d:%02d:00 Site: %s\\%s\\", day.day,
                      day.month, day.year, minute % 1440 / 60, minute % 60, i < 3 ? "D:\\Logs" : "E:\\Moved",
                      spelled.c_str());
        addLine(header);
        int online = i % 500 + 1;
        addLine("Online: " + std::to_string(online));
        const char* alarm = i < kRepeat ? "SENSOR FAILURE" : "LOW TEMPERATURE";
        addLine("Unit " + std::to_string(i % 4) + " alarms: \"" + alarm + "\"");
        events[Key{name, i % 4, time}] |= static_cast<std::uint32_t>(AppAlarmCode(alarm));
        addLine("*** Polled 99/99/2006 00:00:00 Site: D:\\Logs\\Zulu\\");
        expected.push_back(ErrorPrompt("'99/99/2006 00:00:00' is not a valid date and time", lineNo,
                                       "*** Polled 99/99/2006 00:00:00 Site: D:\\Logs\\Zulu\\"));
        online = i % 7 + 1;
        addLine("Online: " + std::to_string(online));
        ++conns[name].first;
        conns[name].second += static_cast<std::uint64_t>(online);
    }

    auto check = [&](const TAlSiteList& list, const PromptRecorder& prompts, const char* how) {
        EXPECT_TRUE(prompts.prompts == expected) << how;
        ASSERT_EQ(list.Count(), 3) << how;
        for (int s = 0; s < 3; ++s) {
            const TAlSite& site = *list.SiteAt(s);
            EXPECT_EQ(site.Name, names[s]) << how;
            EXPECT_EQ(site.Path, std::string("D:\\Logs\\") + names[s] + "\\") << how;
            EXPECT_EQ(site.ConnCount(), conns[site.Name].first) << how << " " << site.Name;
            std::uint64_t online = 0;
            for (const TAlConn& c : site.Conns()) online += c.OnlineSecs;
            EXPECT_EQ(online, conns[site.Name].second) << how << " " << site.Name;
            std::map<Key, std::uint32_t> got;
            for (int u = 0; u < site.UnitCount(); ++u) {
                for (const TAlUnitAlarm& e : site.UnitAt(u)->Alarms().Items()) {
                    EXPECT_EQ(got.count(Key{site.Name, site.UnitAt(u)->Number, e.Time}), 0u) << how;
                    got[Key{site.Name, site.UnitAt(u)->Number, e.Time}] = e.Bits;
                }
            }
            std::map<Key, std::uint32_t> want;
            for (const auto& [key, bits] : events) {
                if (key.site == site.Name) want[key] = bits;
            }
            EXPECT_TRUE(got == want) << how << " " << site.Name << ": " << got.size() << " events, " << want.size()
                                     << " expected";
        }
    };

    {
        PromptRecorder prompts;
        TBrelLogParser parser(Locale::Default(), prompts.Callback());
        TAlSiteList list;
        parser.ParseText(text, list);
        check(list, prompts, "one pass");
    }
    {
        const TempLog log(text);
        PromptRecorder prompts;
        TBrelLogParser parser(Locale::Default(), prompts.Callback());
        parser.SetParallelism(2, 1, 1u << 20);
        TAlSiteList list;
        parser.ParseFile(log.Path(), list);
        check(list, prompts, "in parts");
    }
}

TEST(ParseFile, EmptyAndBlankFilesGiveNoSites) {
    for (const char* name : {"empty.log", "blank_only.log"}) {
        PromptRecorder prompts;
        auto list = Parse(FixturePath(name), prompts);
        ASSERT_NE(list, nullptr) << name;
        EXPECT_EQ(list->Count(), 0) << name;
        EXPECT_TRUE(prompts.prompts.empty()) << name;
    }
}

TEST(ParseFile, LineErrorsNeverLeaveParseFileEvenWithoutAPrompt) {
    TAlSiteList list;
    TBrelLogParser parser;
    EXPECT_NO_THROW(parser.ParseFile(FixturePath("errors.log"), list));
}

TEST(ParseFile, MissingFileIsReportedAndChangesNothing) {
    const std::string path = FixturePath("no_such_file.log");
    TAlSiteList list;
    TAlSite* keep = list.AddSite("Keep", "p");
    keep->AddConn(TAlConn(At(2006, 11, 17)));

    PromptRecorder prompts;
    TBrelLogParser parser(Locale::Default(), prompts.Callback());
    EXPECT_TRUE(ThrowsMessage([&] { parser.ParseFile(path, list); }, "Error opening file: " + path));
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(keep->ConnCount(), 1);
    EXPECT_EQ(keep->LastAttempt, 0);  // no summaries were run

    TBrelLogParser another(Locale::Default(), prompts.Callback());
    EXPECT_TRUE(ThrowsMessage([&] { another.ParseFile(path); }, "Error opening file: " + path));
    EXPECT_TRUE(prompts.prompts.empty());
}

TEST(ParseFile, IntoAnExistingListUpdatesEverySite) {
    TAlSiteList list;
    TAlSite* old = list.AddSite("Old", "p");
    TAlConn later(At(2006, 11, 17));
    later.OnlineSecs = 5;
    old->AddConn(later);
    old->AddConn(TAlConn(At(2006, 11, 1)));
    old->AddUnitAlarm(9, 0x1, At(2006, 11, 17));
    old->AddUnitAlarm(3, 0x1, At(2006, 11, 17));

    PromptRecorder prompts;
    TBrelLogParser(Locale::Default(), prompts.Callback()).ParseFile(FixturePath("empty.log"), list);
    EXPECT_EQ(old->ConnAt(0).Time, At(2006, 11, 1));
    EXPECT_EQ(old->LastAttempt, At(2006, 11, 17));
    EXPECT_EQ(old->LastConnect, At(2006, 11, 17));
    EXPECT_EQ(old->UnitAt(0)->Number, 3);
}

TEST(ParseFile, TwoFilesIntoOneList) {
    TAlSiteList list;
    PromptRecorder first, second;
    TBrelLogParser(Locale::Default(), first.Callback()).ParseFile(FixturePath("merge_a.log"), list);
    TBrelLogParser(Locale::Default(), second.Callback()).ParseFile(FixturePath("merge_b.log"), list);

    EXPECT_TRUE(first.prompts.empty());
    // The second file starts without a current site, whatever the list already holds.
    const std::vector<Prompt> expected = {
        ErrorPrompt("Unit - no site/conn", 1, "Unit 1 alarms: \"LOW TEMPERATURE\""),
        ErrorPrompt("Conn - status without connection", 3, "Portix Error: TAPI: Couldn't connect call"),
    };
    EXPECT_EQ(second.prompts, expected);

    ASSERT_EQ(SiteNames(list), (std::vector<std::string>{"Alpha", "Charlie", "North"}));
    EXPECT_EQ(Summary(*list.SiteAt(0)), "status=0 online=30");
    const TAlSite* north = list.SiteAt(2);
    EXPECT_EQ(north->Name, "North");
    EXPECT_EQ(north->Path, "D:\\Logs\\North\\");
    ASSERT_EQ(north->ConnCount(), 2);
    EXPECT_EQ(north->ConnAt(0).OnlineSecs, 60u);
    EXPECT_EQ(north->ConnAt(1).OnlineSecs, 45u);
    EXPECT_EQ(north->LastConnect, At(2006, 11, 18, 9));
    ASSERT_EQ(north->UnitCount(), 1);
    EXPECT_EQ(Times(north->UnitAt(0)->Alarms()), (std::vector<TDateTime>{At(2006, 11, 17, 9), At(2006, 11, 18, 9)}));
    EXPECT_EQ(Bits(north->UnitAt(0)->Alarms()), (std::vector<std::uint32_t>{0x1, 0x1}));
}

TEST(ParseFile, HeaderDatesFollowTheLocaleOrder) {
    PromptRecorder dayFirst;
    auto list = Parse(FixturePath("month_first.log"), dayFirst);
    EXPECT_EQ(dayFirst.prompts,
              (std::vector<Prompt>{ErrorPrompt("'11/17/2006 09:33:49' is not a valid date and time", 1,
                                               "*** Polled 11/17/2006 09:33:49 Site: D:\\Logs\\Alpha\\")}));
    ASSERT_EQ(list->Count(), 1);
    ASSERT_EQ(list->SiteAt(0)->ConnCount(), 1);
    EXPECT_EQ(list->SiteAt(0)->ConnAt(0).Time, At(2006, 3, 11, 8));
    EXPECT_EQ(list->SiteAt(0)->ConnAt(0).OnlineSecs, 20u);

    Locale monthFirst = Locale::Default();
    ASSERT_TRUE(monthFirst.SetShortDatePattern("M/d/yyyy"));
    PromptRecorder none;
    list = Parse(FixturePath("month_first.log"), none, monthFirst);
    EXPECT_TRUE(none.prompts.empty());
    const TAlSite* alpha = list->SiteAt(0);
    ASSERT_EQ(alpha->ConnCount(), 2);
    EXPECT_EQ(alpha->ConnAt(0).Time, At(2006, 11, 3, 8));
    EXPECT_EQ(alpha->ConnAt(0).OnlineSecs, 20u);
    EXPECT_EQ(alpha->ConnAt(1).Time, At(2006, 11, 17, 9, 33, 49));
    EXPECT_EQ(alpha->ConnAt(1).OnlineSecs, 10u);
}

}  // namespace
}  // namespace kelvane
