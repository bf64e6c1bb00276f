#include "platform/Locale.h"

#include <cmath>
#include <cstdio>

namespace kelvane {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void AppendPadded(std::string& out, int value, int width) {
    char buf[16];
    const int n = std::snprintf(buf, sizeof buf, "%0*d", width, value);
    out.append(buf, static_cast<std::size_t>(n));
}

// Reads up to maxDigits decimal digits at pos; false when there is none.
bool ReadNumber(std::string_view text, std::size_t& pos, int maxDigits, int& value, int* digits = nullptr) {
    int count = 0;
    int v = 0;
    while (pos < text.size() && IsDigit(text[pos]) && count < maxDigits) {
        v = v * 10 + (text[pos] - '0');
        ++pos;
        ++count;
    }
    if (count == 0) return false;
    // More digits than allowed: the number is out of range.
    if (pos < text.size() && IsDigit(text[pos])) return false;
    value = v;
    if (digits) *digits = count;
    return true;
}

int CenturyPivot() {
    static const int pivot = CurrentYear() - 50;
    return pivot;
}

int ExpandTwoDigitYear(int year) {
    const int pivot = CenturyPivot();
    int full = year + (pivot / 100) * 100;
    if (full < pivot) full += 100;
    return full;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

Locale Locale::Default() { return Locale{}; }

bool Locale::SetShortDatePattern(std::string_view pattern) {
    // Find the order of the day, month and year fields and the separator between them.
    std::string order;
    char separator = 0;
    bool quoted = false;
    for (std::size_t i = 0; i < pattern.size();) {
        const char c = pattern[i];
        if (c == '\'') {
            quoted = !quoted;
            ++i;
            continue;
        }
        if (quoted) {
            ++i;
            continue;
        }
        const char key = (c == 'm') ? 'M' : c;
        if (key == 'd' || key == 'M' || key == 'y') {
            std::size_t run = 0;
            while (i < pattern.size() && (pattern[i] == c)) {
                ++i;
                ++run;
            }
            if ((key == 'd' || key == 'M') && run > 2) return false;  // names, not numbers
            if (order.find(key) != std::string::npos) return false;
            order.push_back(key);
            continue;
        }
        if (!order.empty() && order.size() < 3 && separator == 0 && !IsBlank(c)) separator = c;
        ++i;
    }
    if (order.size() != 3 || separator == 0) return false;
    if (order == "dMy") {
        dateOrder = DateOrder::DMY;
    } else if (order == "Mdy") {
        dateOrder = DateOrder::MDY;
    } else if (order == "yMd") {
        dateOrder = DateOrder::YMD;
    } else {
        return false;
    }
    dateSeparator = separator;
    shortDatePattern = std::string(pattern);
    return true;
}

std::string FormatDateByPattern(std::string_view pattern, TDateTime value) {
    const CivilDate date = DecodeDate(value);
    std::string out;
    out.reserve(pattern.size() + 4);
    for (std::size_t i = 0; i < pattern.size();) {
        const char c = pattern[i];
        if (c == '\'') {
            ++i;
            while (i < pattern.size() && pattern[i] != '\'') out.push_back(pattern[i++]);
            if (i < pattern.size()) ++i;
            continue;
        }
        if (c != 'd' && c != 'M' && c != 'm' && c != 'y') {
            out.push_back(c);
            ++i;
            continue;
        }
        std::size_t run = 0;
        while (i < pattern.size() && pattern[i] == c) {
            ++i;
            ++run;
        }
        if (c == 'd') {
            AppendPadded(out, date.day, run >= 2 ? 2 : 1);
        } else if (c == 'y') {
            if (run <= 2) {
                AppendPadded(out, date.year % 100, 2);
            } else {
                AppendPadded(out, date.year, 4);
            }
        } else {
            AppendPadded(out, date.month, run >= 2 ? 2 : 1);
        }
    }
    return out;
}

std::string Locale::FormatShortDate(TDateTime value) const { return FormatDateByPattern(shortDatePattern, value); }

std::string Locale::FormatFixed2(double value) const {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f", value);
    std::string out;
    for (const char* p = buf; *p; ++p) {
        if (*p == '.') {
            out.append(decimalSeparator);
        } else {
            out.push_back(*p);
        }
    }
    return out;
}

std::string Locale::FormatMinutes(std::uint32_t seconds) const {
    // Hundredths of a minute, rounded half up in exact integer arithmetic.
    const std::uint64_t hundredths = (static_cast<std::uint64_t>(seconds) * 100 + 30) / 60;
    std::string out = std::to_string(hundredths / 100);
    out.append(decimalSeparator);
    AppendPadded(out, static_cast<int>(hundredths % 100), 2);
    return out;
}

namespace {

inline int Two(const char* p) { return (p[0] - '0') * 10 + (p[1] - '0'); }

bool AllDigits(const char* p, int n) {
    for (int i = 0; i < n; ++i) {
        if (p[i] < '0' || p[i] > '9') return false;
    }
    return true;
}

}  // namespace

// The usual shape of a log's time stamp, a four-digit year and two-digit fields ("17/11/2006 09:33:49"),
// read directly; false sends the text to the general reading.
bool Locale::ParseFixedDateTime(std::string_view text, TDateTime& value) const {
    if (text.size() != 19 || text[10] != ' ' || text[13] != timeSeparator || text[16] != timeSeparator) return false;
    const char* p = text.data();
    int day = 0, month = 0, year = 0;
    if (dateOrder == DateOrder::YMD) {
        if (p[4] != dateSeparator || p[7] != dateSeparator || !AllDigits(p, 4) || !AllDigits(p + 5, 2) ||
            !AllDigits(p + 8, 2)) {
            return false;
        }
        year = Two(p) * 100 + Two(p + 2), month = Two(p + 5), day = Two(p + 8);
    } else {
        if (p[2] != dateSeparator || p[5] != dateSeparator || !AllDigits(p, 2) || !AllDigits(p + 3, 2) ||
            !AllDigits(p + 6, 4)) {
            return false;
        }
        const int first = Two(p), second = Two(p + 3);
        year = Two(p + 6) * 100 + Two(p + 8);
        day = dateOrder == DateOrder::DMY ? first : second;
        month = dateOrder == DateOrder::DMY ? second : first;
    }
    if (!AllDigits(p + 11, 2) || !AllDigits(p + 14, 2) || !AllDigits(p + 17, 2)) return false;
    const int hour = Two(p + 11), minute = Two(p + 14), second = Two(p + 17);
    if (hour > 23 || minute > 59 || second > 59 || !IsValidDate(year, month, day)) return false;
    value = ComposeDateTime(EncodeDate(year, month, day), EncodeTime(hour, minute, second, 0));
    return true;
}

bool Locale::ParseDateTime(std::string_view text, TDateTime& value) const {
    if (ParseFixedDateTime(text, value)) return true;
    std::size_t pos = 0;
    std::size_t end = text.size();
    while (pos < end && IsBlank(text[pos])) ++pos;
    while (end > pos && IsBlank(text[end - 1])) --end;
    text = text.substr(0, end);
    if (pos >= end) return false;

    // A date: three numbers in the short date's order, joined by its separator.
    auto parseDate = [&](std::size_t& p, TDateTime& date) -> bool {
        int parts[3];
        int digits[3];
        for (int k = 0; k < 3; ++k) {
            if (k > 0) {
                if (p >= text.size() || text[p] != dateSeparator) return false;
                ++p;
            }
            if (!ReadNumber(text, p, 4, parts[k], &digits[k])) return false;
        }
        int day = 0, month = 0, year = 0, yearDigits = 0;
        switch (dateOrder) {
            case DateOrder::DMY:
                day = parts[0], month = parts[1], year = parts[2], yearDigits = digits[2];
                break;
            case DateOrder::MDY:
                month = parts[0], day = parts[1], year = parts[2], yearDigits = digits[2];
                break;
            case DateOrder::YMD:
                year = parts[0], month = parts[1], day = parts[2], yearDigits = digits[0];
                break;
        }
        if (yearDigits <= 2) year = ExpandTwoDigitYear(year);
        if (!IsValidDate(year, month, day)) return false;
        date = EncodeDate(year, month, day);
        return true;
    };

    // A time of day: h:mm[:ss[.zzz]] with the time separator, optionally followed by AM or PM.
    auto parseTime = [&](std::size_t& p, TDateTime& time) -> bool {
        int hour = 0, minute = 0, second = 0, ms = 0;
        if (!ReadNumber(text, p, 2, hour)) return false;
        if (p >= text.size() || text[p] != timeSeparator) return false;
        ++p;
        if (!ReadNumber(text, p, 2, minute)) return false;
        if (p < text.size() && text[p] == timeSeparator) {
            ++p;
            if (!ReadNumber(text, p, 2, second)) return false;
            if (p < text.size() && (text[p] == '.' || text[p] == ',') && p + 1 < text.size() &&
                IsDigit(text[p + 1])) {
                ++p;
                int msDigits = 0;
                if (!ReadNumber(text, p, 3, ms, &msDigits)) return false;
                for (int k = msDigits; k < 3; ++k) ms *= 10;
            }
        }
        std::size_t q = p;
        while (q < text.size() && IsBlank(text[q])) ++q;
        if (q < text.size()) {
            const char c = static_cast<char>(text[q] & ~0x20);
            if (c == 'A' || c == 'P') {
                std::size_t r = q + 1;
                if (r < text.size() && (text[r] & ~0x20) == 'M') ++r;
                if (hour < 1 || hour > 12) return false;
                if (c == 'A' && hour == 12) hour = 0;
                if (c == 'P' && hour != 12) hour += 12;
                p = r;
            }
        }
        if (hour > 23 || minute > 59 || second > 59) return false;
        time = EncodeTime(hour, minute, second, ms);
        return true;
    };

    std::size_t p = pos;
    TDateTime date = 0;
    if (parseDate(p, date)) {
        if (p == text.size()) {
            value = date;
            return true;
        }
        if (!IsBlank(text[p])) return false;
        while (p < text.size() && IsBlank(text[p])) ++p;
        TDateTime time = 0;
        if (!parseTime(p, time) || p != text.size()) return false;
        value = ComposeDateTime(date, time);
        return true;
    }
    p = pos;
    TDateTime time = 0;
    if (parseTime(p, time) && p == text.size()) {
        value = time;
        return true;
    }
    return false;
}

}  // namespace kelvane
