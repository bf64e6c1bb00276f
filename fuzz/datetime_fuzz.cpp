// Dates and times on arbitrary text and arbitrary locale settings.
//
// Input: byte 0 the date order (0 DMY, 1 MDY, 2 YMD, else DMY), byte 1 the date separator,
// byte 2 the time separator, bytes 3-10 a date-time value as raw double bits; the rest is read as
// a date-time text, as a format pattern and as a short date pattern.
//
// Checked: a text that converts gives a finite value whose date is a real day of years 1-9999
// and whose time of day is under a day; written back in the locale's order with a four-digit
// year and the time to the millisecond, it converts to the same value (when no separator is a
// digit). A pattern formats any value without failing, and a pattern without tokens or quotes is
// copied unchanged. A short date pattern of three numeric fields with a four-digit year, that the
// locale accepts, formats dates that convert back to the same day.

#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>

#include "FuzzEntry.h"
#include "FuzzSupport.h"
#include "platform/DateTime.h"
#include "platform/Locale.h"

namespace kelvane::fuzz {
namespace {

constexpr double kFirstDay = -693593;  // 0001-01-01
constexpr double kLastDay = 2958465;   // 9999-12-31

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string Number(int value, int width) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*d", width, value);
    return buf;
}

// The value as the locale writes a full date and time: fields in the locale's order, four-digit
// year, 24-hour time with seconds and milliseconds.
std::string WriteFull(const Locale& locale, TDateTime value) {
    const TDateTime date = std::trunc(value);
    const long long ms = std::llround(std::fabs(value - date) * 86400000.0);
    const CivilDate d = DecodeDate(date);
    const std::string s(1, locale.dateSeparator);
    std::string text;
    switch (locale.dateOrder) {
        case DateOrder::DMY:
            text = Number(d.day, 2) + s + Number(d.month, 2) + s + Number(d.year, 4);
            break;
        case DateOrder::MDY:
            text = Number(d.month, 2) + s + Number(d.day, 2) + s + Number(d.year, 4);
            break;
        case DateOrder::YMD:
            text = Number(d.year, 4) + s + Number(d.month, 2) + s + Number(d.day, 2);
            break;
    }
    const std::string t(1, locale.timeSeparator);
    const auto part = [&](long long v, int width) { return Number(static_cast<int>(v), width); };
    text += " " + part(ms / 3600000, 2) + t + part(ms / 60000 % 60, 2) + t + part(ms / 1000 % 60, 2) + "." +
            part(ms % 1000, 3);
    return text;
}

void CheckParse(const Locale& locale, std::string_view text) {
    TDateTime value = 0;
    if (!locale.ParseDateTime(text, value)) return;
    KELVANE_FUZZ_CHECK(std::isfinite(value));
    const TDateTime date = std::trunc(value);
    KELVANE_FUZZ_CHECK(date >= kFirstDay && date <= kLastDay);
    KELVANE_FUZZ_CHECK(std::fabs(value - date) < 1);
    const CivilDate civil = DecodeDate(value);
    KELVANE_FUZZ_CHECK(IsValidDate(civil.year, civil.month, civil.day));
    KELVANE_FUZZ_CHECK(EncodeDate(civil.year, civil.month, civil.day) == date);

    const std::string iso = FormatDateByPattern("yyyy-mm-dd", value);
    KELVANE_FUZZ_CHECK_MSG(iso.size() == 10 && iso[4] == '-' && iso[7] == '-', iso);
    KELVANE_FUZZ_CHECK(
        IsValidDate(std::stoi(iso.substr(0, 4)), std::stoi(iso.substr(5, 2)), std::stoi(iso.substr(8, 2))));

    if (IsDigit(locale.dateSeparator) || IsDigit(locale.timeSeparator)) return;
    const std::string written = WriteFull(locale, value);
    TDateTime again = 0;
    KELVANE_FUZZ_CHECK_MSG(locale.ParseDateTime(written, again), Hex(text) + " written as " + Hex(written));
    KELVANE_FUZZ_CHECK_MSG(again == value, Hex(text) + " written as " + Hex(written) + " reads differently");
}

void CheckPattern(std::string_view pattern, TDateTime value) {
    const std::string out = FormatDateByPattern(pattern, value);
    KELVANE_FUZZ_CHECK(out.size() <= 5 * pattern.size());
    if (pattern.find_first_of("dmMy'") == std::string_view::npos) KELVANE_FUZZ_CHECK(out == pattern);
}

// True when the pattern is three numeric fields with one separator, the year of four digits.
bool IsPlainFourDigitPattern(std::string_view pattern) {
    std::size_t i = 0;
    int fields = 0;
    char separator = 0;
    bool haveSeparator = false;
    while (i < pattern.size()) {
        const char c = pattern[i];
        std::size_t run = 0;
        while (i < pattern.size() && pattern[i] == c) ++i, ++run;
        if (c == 'y') {
            if (run < 3) return false;
        } else if (c == 'd' || c == 'M' || c == 'm') {
            if (run > 2) return false;
        } else {
            return false;
        }
        if (++fields == 3) return i == pattern.size();
        if (i >= pattern.size()) return false;
        const char sep = pattern[i++];
        if (IsDigit(sep) || sep == '\'' || sep == 'd' || sep == 'm' || sep == 'M' || sep == 'y') return false;
        if (haveSeparator && sep != separator) return false;
        separator = sep;
        haveSeparator = true;
    }
    return false;
}

void CheckShortDatePattern(Locale locale, std::string_view pattern, TDateTime value) {
    const Locale before = locale;
    if (!locale.SetShortDatePattern(pattern)) {
        KELVANE_FUZZ_CHECK(locale.shortDatePattern == before.shortDatePattern);
        KELVANE_FUZZ_CHECK(locale.dateSeparator == before.dateSeparator);
        return;
    }
    KELVANE_FUZZ_CHECK(locale.shortDatePattern == pattern);
    if (!IsPlainFourDigitPattern(pattern)) return;
    if (!std::isfinite(value) || value < kFirstDay || value > kLastDay + 0.5) return;
    const std::string written = locale.FormatShortDate(value);
    TDateTime again = 0;
    KELVANE_FUZZ_CHECK_MSG(locale.ParseDateTime(written, again), Hex(pattern) + " wrote " + Hex(written));
    KELVANE_FUZZ_CHECK_MSG(again == DateOf(value), Hex(pattern) + " wrote " + Hex(written));
}

}  // namespace
}  // namespace kelvane::fuzz

KELVANE_FUZZ_ENTRY(datetime) {
    using namespace kelvane;
    using namespace kelvane::fuzz;
    FuzzInput in(data, size);
    Locale locale;
    switch (in.Byte() & 3u) {
        case 1:
            locale.dateOrder = DateOrder::MDY;
            break;
        case 2:
            locale.dateOrder = DateOrder::YMD;
            break;
        default:
            locale.dateOrder = DateOrder::DMY;
            break;
    }
    locale.dateSeparator = static_cast<char>(in.Byte());
    locale.timeSeparator = static_cast<char>(in.Byte());
    const TDateTime value = in.RawDouble();
    const std::string_view text = in.Rest();

    CheckParse(locale, text);
    CheckPattern(text, value);
    CheckShortDatePattern(locale, text, value);
    return 0;
}
