#pragma once

#include <cstdint>

namespace kelvane {

// A point in time: days since 1899-12-30, the fraction being the time of day; 0 means "no such time".
using TDateTime = double;

// A civil date as year, month (1-12) and day (1-31).
struct CivilDate {
    int year = 1899;
    int month = 12;
    int day = 30;
    friend bool operator==(const CivilDate&, const CivilDate&) = default;
};

// True when year, month and day name a real day of the proleptic Gregorian calendar.
bool IsValidDate(int year, int month, int day);

// Day number of a civil date (days since 1899-12-30); the date must be valid.
TDateTime EncodeDate(int year, int month, int day);

// Fraction of a day for a time of day; the parts must be in range.
TDateTime EncodeTime(int hour, int minute, int second, int millisecond);

// The civil date of a date-time value; the time of day is dropped (the whole part is the day).
CivilDate DecodeDate(TDateTime value);

// The whole day of a value, the time of day dropped.
TDateTime DateOf(TDateTime value);

// A day and a time of day as one value; before 1899-12-30 the time counts away from zero.
TDateTime ComposeDateTime(TDateTime date, TDateTime time);

// Today's local date, without time of day.
TDateTime Today();

// The current local year.
int CurrentYear();

}  // namespace kelvane
