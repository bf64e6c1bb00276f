// Date-time values, date patterns and the user's locale conventions for dates and numbers.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "TestSupport.h"
#include "platform/DateTime.h"
#include "platform/Locale.h"

namespace kelvane {
namespace {

using test::At;

// A thousandth of a second, well below any distinction the logs make.
constexpr double kTolerance = 1e-9;

TEST(DateTime, EncodeDateCountsDaysFromTheEpoch) {
    struct Case {
        int year, month, day;
        double serial;
    };
    const Case cases[] = {
        {1899, 12, 30, 0},     {1899, 12, 29, -1},       {1900, 1, 1, 2},
        {1900, 3, 1, 61},      {1970, 1, 1, 25569},      {2000, 2, 29, 36585},
        {2006, 11, 10, 39031}, {2006, 11, 17, 39038},    {2024, 2, 29, 45351},
        {9999, 12, 31, 2958465},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EncodeDate(c.year, c.month, c.day), c.serial) << c.year << "-" << c.month << "-" << c.day;
        EXPECT_EQ(DecodeDate(c.serial), (CivilDate{c.year, c.month, c.day})) << c.serial;
    }
}

TEST(DateTime, EncodeTimeIsTheFractionOfADay) {
    EXPECT_EQ(EncodeTime(0, 0, 0, 0), 0.0);
    EXPECT_EQ(EncodeTime(12, 0, 0, 0), 0.5);
    EXPECT_EQ(EncodeTime(18, 0, 0, 0), 0.75);
    EXPECT_NEAR(EncodeTime(9, 33, 49, 0), (9 * 3600 + 33 * 60 + 49) / 86400.0, kTolerance);
    EXPECT_NEAR(EncodeTime(23, 59, 59, 999), 86399.999 / 86400.0, kTolerance);
    EXPECT_GT(EncodeTime(0, 0, 0, 1), 0.0);
}

TEST(DateTime, DecodeAndDateOfDropTheTimeOfDay) {
    const TDateTime evening = At(2006, 11, 17, 23, 59, 59);
    EXPECT_EQ(DecodeDate(evening), (CivilDate{2006, 11, 17}));
    EXPECT_EQ(DateOf(evening), 39038.0);
    EXPECT_EQ(DateOf(At(2006, 11, 17, 9, 33, 49)), 39038.0);
    EXPECT_EQ(DecodeDate(0.999), (CivilDate{1899, 12, 30}));
}

TEST(DateTime, IsValidDate) {
    struct Case {
        int year, month, day;
        bool valid;
    };
    const Case cases[] = {
        {2006, 11, 17, true}, {2000, 2, 29, true},  {2024, 2, 29, true},  {1900, 2, 29, false},
        {2006, 2, 29, false}, {2006, 4, 31, false}, {2006, 12, 31, true}, {2006, 13, 1, false},
        {2006, 0, 1, false},  {2006, 1, 0, false},  {2006, 1, 32, false}, {2006, -1, 1, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsValidDate(c.year, c.month, c.day), c.valid) << c.year << "-" << c.month << "-" << c.day;
}

TEST(DateTime, FormatDateByPattern) {
    struct Case {
        const char* pattern;
        TDateTime value;
        const char* expected;
    };
    const Case cases[] = {
        {"yyyy-mm-dd", 0, "1899-12-30"},
        {"yyyy-mm-dd", At(2006, 11, 17, 9, 33, 49), "2006-11-17"},
        {"yyyy-mm-dd", At(2006, 3, 5, 23, 59, 59), "2006-03-05"},
        {"yyyy-MM-dd", At(2006, 3, 5), "2006-03-05"},
        {"dd/MM", At(2006, 3, 5), "05/03"},
        {"d/m/yy", At(2006, 3, 5), "5/3/06"},
        {"dd.MM.yyyy", At(2006, 11, 17), "17.11.2006"},
        {"yy", At(2000, 1, 1), "00"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatDateByPattern(c.pattern, c.value), c.expected) << c.pattern;
}

TEST(Locale, DefaultIsDayMonthYearWithPointDecimals) {
    const Locale l = Locale::Default();
    EXPECT_EQ(l.dateOrder, DateOrder::DMY);
    EXPECT_EQ(l.dateSeparator, '/');
    EXPECT_EQ(l.timeSeparator, ':');
    EXPECT_EQ(l.decimalSeparator, ".");
    EXPECT_EQ(l.shortDatePattern, "dd/MM/yyyy");
    EXPECT_EQ(l.FormatShortDate(At(2006, 3, 5, 10, 0, 0)), "05/03/2006");
}

TEST(Locale, ShortDatePatternsGiveOrderSeparatorAndFormat) {
    struct Case {
        const char* pattern;
        DateOrder order;
        char separator;
        const char* march5;  // 5 March 2006 in that format
    };
    const Case cases[] = {
        {"dd/MM/yyyy", DateOrder::DMY, '/', "05/03/2006"},
        {"d/M/yyyy", DateOrder::DMY, '/', "5/3/2006"},
        {"M/d/yy", DateOrder::MDY, '/', "3/5/06"},
        {"dd.MM.yy", DateOrder::DMY, '.', "05.03.06"},
        {"yyyy-MM-dd", DateOrder::YMD, '-', "2006-03-05"},
        {"dd/mm/yyyy", DateOrder::DMY, '/', "05/03/2006"},
    };
    for (const auto& c : cases) {
        Locale l = Locale::Default();
        ASSERT_TRUE(l.SetShortDatePattern(c.pattern)) << c.pattern;
        EXPECT_EQ(l.dateOrder, c.order) << c.pattern;
        EXPECT_EQ(l.dateSeparator, c.separator) << c.pattern;
        EXPECT_EQ(l.FormatShortDate(At(2006, 3, 5, 17, 45, 0)), c.march5) << c.pattern;
    }
}

TEST(Locale, PatternWithoutNumericOrderIsRefused) {
    for (const char* pattern : {"", "d MMM yyyy", "dddd, MMMM d"}) {
        Locale l = Locale::Default();
        EXPECT_FALSE(l.SetShortDatePattern(pattern)) << "[" << pattern << "]";
    }
}

TEST(Locale, FormatFixed2) {
    struct Case {
        double value;
        const char* point;
        const char* comma;
    };
    const Case cases[] = {
        {0.0, "0.00", "0,00"},
        {0.004, "0.00", "0,00"},
        {1.0 / 60, "0.02", "0,02"},
        {0.1, "0.10", "0,10"},
        {1.5, "1.50", "1,50"},
        {2.999, "3.00", "3,00"},
        {100.0, "100.00", "100,00"},
        {1234567.891, "1234567.89", "1234567,89"},
        {1e9, "1000000000.00", "1000000000,00"},
    };
    Locale point = Locale::Default();
    Locale comma = Locale::Default();
    comma.decimalSeparator = ",";
    for (const auto& c : cases) {
        EXPECT_EQ(point.FormatFixed2(c.value), c.point) << c.value;
        EXPECT_EQ(comma.FormatFixed2(c.value), c.comma) << c.value;
    }
}

TEST(Locale, FormatMinutesRoundsSecondsToHundredthsOfAMinute) {
    struct Case {
        std::uint32_t seconds;
        const char* expected;
    };
    const Case cases[] = {
        {0, "0.00"},        {1, "0.02"},          {3, "0.05"},        {29, "0.48"},
        {31, "0.52"},       {59, "0.98"},         {60, "1.00"},       {61, "1.02"},
        {90, "1.50"},       {6000, "100.00"},     {86399, "1439.98"}, {4294967295u, "71582788.25"},
    };
    Locale l = Locale::Default();
    for (const auto& c : cases) EXPECT_EQ(l.FormatMinutes(c.seconds), c.expected) << c.seconds;

    l.decimalSeparator = ",";
    EXPECT_EQ(l.FormatMinutes(90), "1,50");
    EXPECT_EQ(l.FormatMinutes(6000), "100,00");
}

struct ParseCase {
    const char* text;
    bool ok;
    TDateTime value;  // when ok
};

void CheckParse(const Locale& locale, const ParseCase& c) {
    TDateTime value = -12345;
    const bool ok = locale.ParseDateTime(c.text, value);
    EXPECT_EQ(ok, c.ok) << "[" << c.text << "] under " << locale.shortDatePattern;
    if (ok && c.ok) {
        EXPECT_NEAR(value, c.value, kTolerance) << "[" << c.text << "]";
    }
}

TEST(LocaleParse, DayMonthYear) {
    const ParseCase cases[] = {
        {"17/11/2006 09:33:49", true, At(2006, 11, 17, 9, 33, 49)},
        {"17/11/2006", true, At(2006, 11, 17)},
        {"09:33:49", true, EncodeTime(9, 33, 49, 0)},
        {"17/11/2006 09:33", true, At(2006, 11, 17, 9, 33, 0)},
        {"1/2/2006 7:05:09", true, At(2006, 2, 1, 7, 5, 9)},
        {"29/02/2000 23:59:59", true, At(2000, 2, 29, 23, 59, 59)},
        {"30/12/1899", true, 0},
        // other orders
        {"2006/11/17 09:33:49", false, 0},
        {"11/17/2006", false, 0},
        {"09:33:49 17/11/2006", false, 0},
        // impossible dates and times
        {"17/13/2006", false, 0},
        {"17/00/2006", false, 0},
        {"00/11/2006", false, 0},
        {"29/02/2006", false, 0},
        {"31/04/2006", false, 0},
        {"17/11/2006 25:00:00", false, 0},
        {"17/11/2006 09:60:00", false, 0},
        {"17/11/2006 09:33:60", false, 0},
        // wrong separators and junk
        {"17-11-2006", false, 0},
        {"17.11.2006", false, 0},
        {"17/11/2006 09.33.49", false, 0},
        {"17/11/2006x", false, 0},
        {"17/11/2006 09:33:49x", false, 0},
        {"17/11/2006 09:33:49 x", false, 0},
        {"17/11/2006 Site", false, 0},
        {"", false, 0},
        {"   ", false, 0},
        {"Polled", false, 0},
    };
    const Locale l = Locale::Default();
    for (const auto& c : cases) CheckParse(l, c);
}

TEST(LocaleParse, MonthDayYear) {
    Locale l = Locale::Default();
    ASSERT_TRUE(l.SetShortDatePattern("M/d/yyyy"));
    const ParseCase cases[] = {
        {"11/17/2006 09:33:49", true, At(2006, 11, 17, 9, 33, 49)},
        {"3/5/2006", true, At(2006, 3, 5)},
        {"17/11/2006 09:33:49", false, 0},
        {"2006/11/17", false, 0},
    };
    for (const auto& c : cases) CheckParse(l, c);

    // A four-digit year is read also when the pattern writes two.
    ASSERT_TRUE(l.SetShortDatePattern("M/d/yy"));
    CheckParse(l, {"3/5/2006 14:30:00", true, At(2006, 3, 5, 14, 30, 0)});
}

TEST(LocaleParse, YearMonthDayAndDottedDates) {
    Locale ymd = Locale::Default();
    ASSERT_TRUE(ymd.SetShortDatePattern("yyyy-MM-dd"));
    const ParseCase ymdCases[] = {
        {"2006-11-17 09:33:49", true, At(2006, 11, 17, 9, 33, 49)},
        {"2006-11-17", true, At(2006, 11, 17)},
        {"17-11-2006", false, 0},
        {"2006/11/17", false, 0},
    };
    for (const auto& c : ymdCases) CheckParse(ymd, c);

    Locale dotted = Locale::Default();
    ASSERT_TRUE(dotted.SetShortDatePattern("dd.MM.yyyy"));
    const ParseCase dottedCases[] = {
        {"17.11.2006 09:33:49", true, At(2006, 11, 17, 9, 33, 49)},
        {"17/11/2006 09:33:49", false, 0},
    };
    for (const auto& c : dottedCases) CheckParse(dotted, c);
}

}  // namespace
}  // namespace kelvane
