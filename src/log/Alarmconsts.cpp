#include "log/Alarmconsts.h"

#include <array>

#include "platform/Exception.h"

namespace kelvane {

namespace {

struct CodeTexts {
    const char* longName;
    const char* shortName;
    const char* abbrev;
};

constexpr std::array<CodeTexts, kAlarmCodeCount> kAlarmTexts{{
    {"SENSOR FAILURE", "Sensor", "SE"},
    {"SENSOR VARIANCE", "Variance", "VA"},
    {"LOW TEMPERATURE", "LowTemp", "LT"},
    {"HIGH TEMPERATURE", "HighTemp", "HT"},
    {"NO SENSORS", "NoSens", "NS"},
    {"TRIP FAILURE", "Trip", "TR"},
    {"FEED FAILURE", "Feed", "FE"},
    {"WATER FAILURE", "Water", "WA"},
    {"MAINS FAILURE", "Mains", "MA"},
    {"OUTPUT FAILURE", "Output", "OF"},
    {"MANUAL OVERRIDE", "Override", "OV"},
    {"SYSTEM ERROR", "System", "SY"},
    {"OUTPUT TIMEOUT", "Timeout", "TO"},
    {"BATTERY LOW", "Battery", "BA"},
    {"NETWORK FAILURE", "Network", "NE"},
    {"SYSTEM RESET", "Reset", "RE"},
}};

constexpr std::array<CodeTexts, kTripCodeCount> kTripTexts{{
    {"HIGH PRESSURE", "HP", "Hp"},
    {"EVAP PRESSURE 1", "LP1", "Lp1"},
    {"EVAP PRESSURE 2", "LP2", "Lp2"},
    {"EVAP TEMP 1", "EvapTs1", "Et1"},
    {"EVAP TEMP 2", "EvapTs2", "Et2"},
    {"DISCHARGE GAS", "DGT", "Dgt"},
    {"OPSS TRIP", "OPSS", "Ops"},
    {"COMPRESSOR TRIP", "CompTrip", "Cmp"},
    {"HP TRIP", "HPTrip", "Hpt"},
    {"EVAPORATOR TRIP", "EvapTrip", "Evt"},
    {"CONDENSER TRIP", "CondTrip", "Cdt"},
    {"AIR INLET TEMP", "AirIn1", "Ai1"},
    {"AIR OUTLET TEMP", "AirOut", "Ao"},
    {"LP TRIP", "LPTrip", "Lpt"},
    {"AIR INLET TEMP2", "AirIn2", "Ai2"},
    {"REMOTE OVERRIDE", "Remote", "Rmt"},
}};

struct AlarmName {
    std::string_view name;
    int bit;
};

// Names the log may use for an alarm, in lookup order: the long names, then other names for them.
constexpr std::array<AlarmName, 19> kAlarmNameTable{{
    {"SENSOR FAILURE", 0x0001},   {"SENSOR VARIANCE", 0x0002}, {"LOW TEMPERATURE", 0x0004},
    {"HIGH TEMPERATURE", 0x0008}, {"NO SENSORS", 0x0010},      {"TRIP FAILURE", 0x0020},
    {"FEED FAILURE", 0x0040},     {"WATER FAILURE", 0x0080},   {"MAINS FAILURE", 0x0100},
    {"OUTPUT FAILURE", 0x0200},   {"MANUAL OVERRIDE", 0x0400}, {"SYSTEM ERROR", 0x0800},
    {"OUTPUT TIMEOUT", 0x1000},   {"BATTERY LOW", 0x2000},     {"NETWORK FAILURE", 0x4000},
    {"SYSTEM RESET", 0x8000},     {"CONFIG ERROR", 0x0800},    {"HIGH READING", 0x0008},
    {"LOW READING", 0x0004},
}};

constexpr std::array<std::array<const char*, 3>, kLinkErrCodeCount> kLinkErrTable{{
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
}};

template <typename TextFn>
StringList BitsToList(std::uint32_t bits, int width, TextFn text) {
    StringList list;
    for (int i = 0; bits != 0; ++i, bits >>= 1) {
        if (bits & 1u) list.push_back(text(i, width));
    }
    return list;
}

template <typename TextFn>
StringList KeyList(int abbrevWidth, TextFn text) {
    StringList list;
    list.reserve(16);
    for (int i = 0; i < 16; ++i) list.push_back(JoinCommaText({text(i, abbrevWidth), text(i, 8), text(i, 16)}));
    return list;
}

}  // namespace

std::string AppAlarmStr(int index, int width) {
    if (static_cast<unsigned>(index) > 15) throw Exception("AppAlarmStr: invalid index");
    const CodeTexts& t = kAlarmTexts[static_cast<std::size_t>(index)];
    if (width <= 2) return t.abbrev;
    if (width <= 8) return t.shortName;
    return t.longName;
}

std::string AppTripStr(int index, int width) {
    if (static_cast<unsigned>(index) > 15) throw Exception("AppTripStr: invalid index");
    const CodeTexts& t = kTripTexts[static_cast<std::size_t>(index)];
    if (width <= 3) return t.abbrev;
    if (width <= 8) return t.shortName;
    return t.longName;
}

StringList AppAlarmStrList(std::uint32_t bits, int width) { return BitsToList(bits, width, AppAlarmStr); }

StringList AppTripStrList(std::uint32_t bits, int width) { return BitsToList(bits, width, AppTripStr); }

StringList AppAlarmKeyList() { return KeyList(2, AppAlarmStr); }

StringList AppTripKeyList() { return KeyList(3, AppTripStr); }

int AppAlarmCode(std::string_view name) {
    if (name.empty()) return 0x0080;
    for (const AlarmName& row : kAlarmNameTable) {
        if (row.name.starts_with(name)) return row.bit;
    }
    return 0;
}

int AppLinkErrCode(std::string_view text) {
    for (int code = 1; code < kLinkErrCodeCount; ++code) {
        if (text.find(kLinkErrTable[static_cast<std::size_t>(code)][0]) != std::string_view::npos) return code;
    }
    return 0;
}

StringList AppLinkErrStrList(std::uint32_t bits, int column) {
    StringList list;
    if (column < 0 || column > 2) return list;
    // Bits above the last code have no text and are skipped.
    for (int n = 0; bits != 0 && n < kLinkErrCodeCount; ++n, bits >>= 1) {
        if (bits & 1u) list.push_back(kLinkErrTable[static_cast<std::size_t>(n)][static_cast<std::size_t>(column)]);
    }
    return list;
}

}  // namespace kelvane
