// The alarm, trip and link-error code tables and the texts made from them.

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>

#include "TestSupport.h"
#include "log/Alarmconsts.h"

namespace kelvane {
namespace {

using test::ThrowsMessage;

struct CodeTexts {
    const char* longName;
    const char* shortName;
    const char* abbreviation;
};

// Alarm index i is bit 1 << i.
const CodeTexts kAlarms[16] = {
    {"SENSOR FAILURE", "Sensor", "SE"},     {"SENSOR VARIANCE", "Variance", "VA"},
    {"LOW TEMPERATURE", "LowTemp", "LT"},   {"HIGH TEMPERATURE", "HighTemp", "HT"},
    {"NO SENSORS", "NoSens", "NS"},         {"TRIP FAILURE", "Trip", "TR"},
    {"FEED FAILURE", "Feed", "FE"},         {"WATER FAILURE", "Water", "WA"},
    {"MAINS FAILURE", "Mains", "MA"},       {"OUTPUT FAILURE", "Output", "OF"},
    {"MANUAL OVERRIDE", "Override", "OV"},  {"SYSTEM ERROR", "System", "SY"},
    {"OUTPUT TIMEOUT", "Timeout", "TO"},    {"BATTERY LOW", "Battery", "BA"},
    {"NETWORK FAILURE", "Network", "NE"},   {"SYSTEM RESET", "Reset", "RE"},
};

// Trip index i is bit 1 << i.
const CodeTexts kTrips[16] = {
    {"HIGH PRESSURE", "HP", "Hp"},         {"EVAP PRESSURE 1", "LP1", "Lp1"},
    {"EVAP PRESSURE 2", "LP2", "Lp2"},     {"EVAP TEMP 1", "EvapTs1", "Et1"},
    {"EVAP TEMP 2", "EvapTs2", "Et2"},     {"DISCHARGE GAS", "DGT", "Dgt"},
    {"OPSS TRIP", "OPSS", "Ops"},          {"COMPRESSOR TRIP", "CompTrip", "Cmp"},
    {"HP TRIP", "HPTrip", "Hpt"},          {"EVAPORATOR TRIP", "EvapTrip", "Evt"},
    {"CONDENSER TRIP", "CondTrip", "Cdt"}, {"AIR INLET TEMP", "AirIn1", "Ai1"},
    {"AIR OUTLET TEMP", "AirOut", "Ao"},   {"LP TRIP", "LPTrip", "Lpt"},
    {"AIR INLET TEMP2", "AirIn2", "Ai2"},  {"REMOTE OVERRIDE", "Remote", "Rmt"},
};

// Link-error code n is Status bit n: long text (as in the log), short text, three-letter code.
const CodeTexts kLinkErrors[10] = {
    {"Portix Unknown Error", "Unknown", "ERR"},
    {"TAPI: Couldn't read config file", "Modem config missing", "TMC"},
    {"TAPI: Couldn't set config for device", "Modem config invalid", "TCI"},
    {"TAPI: Couldn't connect call", "No connection", "TCF"},
    {"Log download failed: Link exception", "Log transmission", "DLE"},
    {"Log download failed: Log corruption", "Log corruption", "DLC"},
    {"Corvane link: WriteFile failure", "Link WriteFile failure", "LWF"},
    {"Corvane link: User abort", "Link user abort", "LUA"},
    {"Corvane link: Link reset failure", "Link reset failure", "LRF"},
    {"Corvane link: Read/write op failure", "Link op failure", "LOF"},
};

TEST(AlarmTexts, EveryIndexInEveryWidth) {
    for (int i = 0; i < kAlarmCodeCount; ++i) {
        const auto& t = kAlarms[i];
        for (int width : {INT_MIN, -1, 0, 1, 2}) EXPECT_EQ(AppAlarmStr(i, width), t.abbreviation) << i << " w" << width;
        for (int width : {3, 4, 8}) EXPECT_EQ(AppAlarmStr(i, width), t.shortName) << i << " w" << width;
        for (int width : {9, 16, 1000}) EXPECT_EQ(AppAlarmStr(i, width), t.longName) << i << " w" << width;
    }
}

TEST(TripTexts, EveryIndexInEveryWidth) {
    for (int i = 0; i < kTripCodeCount; ++i) {
        const auto& t = kTrips[i];
        for (int width : {INT_MIN, -1, 0, 2, 3}) EXPECT_EQ(AppTripStr(i, width), t.abbreviation) << i << " w" << width;
        for (int width : {4, 8}) EXPECT_EQ(AppTripStr(i, width), t.shortName) << i << " w" << width;
        for (int width : {9, 16}) EXPECT_EQ(AppTripStr(i, width), t.longName) << i << " w" << width;
    }
    EXPECT_EQ(AppTripStr(12, 3), "Ao");
}

TEST(CodeTexts, IndexOutsideTheTableIsRefused) {
    for (int index : {16, 17, 31, 32, INT_MAX, -1, INT_MIN}) {
        EXPECT_TRUE(ThrowsMessage([&] { AppAlarmStr(index, 8); }, "AppAlarmStr: invalid index")) << index;
        EXPECT_TRUE(ThrowsMessage([&] { AppTripStr(index, 8); }, "AppTripStr: invalid index")) << index;
    }
}

TEST(CodeTextLists, OneTextPerBitInAscendingOrder) {
    EXPECT_EQ(AppAlarmStrList(0x0005, 2), (StringList{"SE", "LT"}));
    EXPECT_EQ(AppAlarmStrList(0x8001, 8), (StringList{"Sensor", "Reset"}));
    EXPECT_EQ(AppTripStrList(0x1002, 3), (StringList{"Lp1", "Ao"}));
    EXPECT_EQ(AppTripStrList(0x8000, 16), (StringList{"REMOTE OVERRIDE"}));

    StringList allAlarms, allTrips;
    for (const auto& t : kAlarms) allAlarms.push_back(t.longName);
    for (const auto& t : kTrips) allTrips.push_back(t.abbreviation);
    EXPECT_EQ(AppAlarmStrList(0xFFFF, 16), allAlarms);
    EXPECT_EQ(AppTripStrList(0xFFFF, 3), allTrips);
}

TEST(CodeTextLists, NoBitsGiveNone) {
    EXPECT_TRUE(AppAlarmStrList(0, 2).empty());
    EXPECT_TRUE(AppTripStrList(0, 3).empty());
}

TEST(CodeTextLists, BitAbove15IsRefused) {
    for (std::uint32_t bits : {0x10000u, 0x10001u, 0x80000000u}) {
        EXPECT_TRUE(ThrowsMessage([&] { AppAlarmStrList(bits, 2); }, "AppAlarmStr: invalid index")) << bits;
        EXPECT_TRUE(ThrowsMessage([&] { AppTripStrList(bits, 3); }, "AppTripStr: invalid index")) << bits;
    }
}

TEST(KeyLists, AbbreviationShortAndLongNameOfEachCode) {
    const StringList alarmKey = AppAlarmKeyList();
    ASSERT_EQ(alarmKey.size(), 16u);
    for (int i = 0; i < 16; ++i) {
        const auto& t = kAlarms[i];
        EXPECT_EQ(alarmKey[static_cast<std::size_t>(i)],
                  std::string(t.abbreviation) + "," + t.shortName + ",\"" + t.longName + "\"");
    }
    EXPECT_EQ(alarmKey[0], "SE,Sensor,\"SENSOR FAILURE\"");

    const StringList tripKey = AppTripKeyList();
    ASSERT_EQ(tripKey.size(), 16u);
    for (int i = 0; i < 16; ++i) {
        const auto& t = kTrips[i];
        EXPECT_EQ(tripKey[static_cast<std::size_t>(i)],
                  std::string(t.abbreviation) + "," + t.shortName + ",\"" + t.longName + "\"");
    }
    EXPECT_EQ(tripKey[5], "Dgt,DGT,\"DISCHARGE GAS\"");
}

TEST(AlarmCode, LongNamesMatchTheirOwnBits) {
    for (int i = 0; i < 16; ++i) EXPECT_EQ(AppAlarmCode(kAlarms[i].longName), 1 << i) << kAlarms[i].longName;
}

TEST(AlarmCode, OtherNamesPrefixesAndMisses) {
    struct Case {
        const char* name;
        int bit;
    };
    const Case cases[] = {
        {"CONFIG ERROR", 0x0800},
        {"HIGH READING", 0x0008},
        {"LOW READING", 0x0004},
        {"", 0x0080},
        // A beginning of a name: the first row in table order that begins with it.
        {"SENSOR", 0x0001},
        {"S", 0x0001},
        {"SENSOR V", 0x0002},
        {"SYSTEM", 0x0800},
        {"SYSTEM R", 0x8000},
        {"H", 0x0008},
        {"HIGH R", 0x0008},
        {"L", 0x0004},
        {"LOW R", 0x0004},
        {"M", 0x0100},
        {"MAN", 0x0400},
        {"OUTPUT", 0x0200},
        {"OUTPUT T", 0x1000},
        {"N", 0x0010},
        {"NE", 0x4000},
        {"C", 0x0800},
        {"T", 0x0020},
        // Case matters; nothing may follow a full name.
        {"sensor failure", 0},
        {"Sensor", 0},
        {"SENSOR FAILURE ", 0},
        {"SENSOR FAILURES", 0},
        {" SENSOR FAILURE", 0},
        {"ALARM", 0},
        {"X", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(AppAlarmCode(c.name), c.bit) << "[" << c.name << "]";
}

TEST(LinkErrCode, FirstCodeWhoseTextOccursInTheLine) {
    for (int code = 1; code <= 9; ++code) {
        const std::string line = std::string("Portix Error: ") + kLinkErrors[code].longName + " (retry 2)";
        EXPECT_EQ(AppLinkErrCode(line), code) << line;
        EXPECT_EQ(AppLinkErrCode(kLinkErrors[code].longName), code);
    }
    struct Case {
        const char* text;
        int code;
    };
    const Case cases[] = {
        // Code order decides, not the position in the line.
        {"Portix Error: Corvane link: User abort after TAPI: Couldn't connect call", 3},
        {"Portix Error: Portix Unknown Error", 0},
        {"Portix Error: modem on fire", 0},
        {"Portix Error: tapi: couldn't connect call", 0},
        {"", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(AppLinkErrCode(c.text), c.code) << c.text;
}

TEST(LinkErrTexts, ColumnsOfTheSetBits) {
    EXPECT_EQ(AppLinkErrStrList(0x089, 1), (StringList{"Unknown", "No connection", "Link user abort"}));
    EXPECT_EQ(AppLinkErrStrList(0x089, 2), (StringList{"ERR", "TCF", "LUA"}));
    EXPECT_EQ(AppLinkErrStrList(0x089, 0),
              (StringList{"Portix Unknown Error", "TAPI: Couldn't connect call", "Corvane link: User abort"}));

    StringList longTexts, shortTexts, codes;
    for (const auto& t : kLinkErrors) {
        longTexts.push_back(t.longName);
        shortTexts.push_back(t.shortName);
        codes.push_back(t.abbreviation);
    }
    EXPECT_EQ(AppLinkErrStrList(0x3FF, 0), longTexts);
    EXPECT_EQ(AppLinkErrStrList(0x3FF, 1), shortTexts);
    EXPECT_EQ(AppLinkErrStrList(0x3FF, 2), codes);
}

TEST(LinkErrTexts, NoBitsOrBadColumnGiveNone) {
    EXPECT_TRUE(AppLinkErrStrList(0, 1).empty());
    EXPECT_TRUE(AppLinkErrStrList(0x089, 3).empty());
    EXPECT_TRUE(AppLinkErrStrList(0x089, -1).empty());
    EXPECT_TRUE(AppLinkErrStrList(0x3FF, INT_MAX).empty());
}

}  // namespace
}  // namespace kelvane
