#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/DateTime.h"

namespace kelvane {

// Order of day, month and year in the user's short date format.
enum class DateOrder { DMY, MDY, YMD };

// The user's date, time and number conventions, filled by the front ends from the system locale.
struct Locale {
    DateOrder dateOrder = DateOrder::DMY;
    char dateSeparator = '/';
    char timeSeparator = ':';
    std::string decimalSeparator = ".";
    // Tokens d, dd, M, MM, yy, yyyy (m and mm also mean the month); other characters are literal.
    std::string shortDatePattern = "dd/MM/yyyy";

    // Day/month/year with "/" and "." decimals: the fallback for locales without a numeric date order.
    static Locale Default();

    // Derives order and separator from a short date pattern; false when it has no numeric order.
    bool SetShortDatePattern(std::string_view pattern);

    // The date part of a value in the short date format.
    std::string FormatShortDate(TDateTime value) const;

    // A number with at least one integer digit and exactly two decimals ("###0.00").
    std::string FormatFixed2(double value) const;

    // Seconds shown as minutes with two decimals, rounded exactly to the nearest hundredth.
    std::string FormatMinutes(std::uint32_t seconds) const;

    // Reads a date, optionally followed by a time of day, or a time alone; false when it does not convert.
    bool ParseDateTime(std::string_view text, TDateTime& value) const;

private:
    bool ParseFixedDateTime(std::string_view text, TDateTime& value) const;
};

// A date formatted by pattern: d, dd, m/M, mm/MM, yy, yyyy; other characters are copied ("yyyy-mm-dd").
std::string FormatDateByPattern(std::string_view pattern, TDateTime value);

}  // namespace kelvane
