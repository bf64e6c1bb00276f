#include "platform/DateTime.h"

#include <chrono>
#include <cmath>
#include <ctime>

namespace kelvane {

namespace {

using namespace std::chrono;

constexpr int kEpochOffset = 25569;  // days from 1899-12-30 to 1970-01-01

std::tm LocalNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

}  // namespace

bool IsValidDate(int year, int month, int day) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
    const year_month_day ymd{std::chrono::year{year}, std::chrono::month{static_cast<unsigned>(month)},
                             std::chrono::day{static_cast<unsigned>(day)}};
    return ymd.ok();
}

TDateTime EncodeDate(int year, int month, int day) {
    const year_month_day ymd{std::chrono::year{year}, std::chrono::month{static_cast<unsigned>(month)},
                             std::chrono::day{static_cast<unsigned>(day)}};
    return static_cast<double>(sys_days{ymd}.time_since_epoch().count() + kEpochOffset);
}

TDateTime EncodeTime(int hour, int minute, int second, int millisecond) {
    const long ms = ((static_cast<long>(hour) * 60 + minute) * 60 + second) * 1000L + millisecond;
    return static_cast<double>(ms) / 86400000.0;
}

CivilDate DecodeDate(TDateTime value) {
    double whole = std::trunc(value);
    if (!std::isfinite(whole) || whole > 3e6 || whole < -3e6) whole = 0;
    const sys_days days{std::chrono::days{static_cast<long>(whole) - kEpochOffset}};
    const year_month_day ymd{days};
    return CivilDate{static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
                     static_cast<int>(static_cast<unsigned>(ymd.day()))};
}

TDateTime DateOf(TDateTime value) { return std::trunc(value); }

TDateTime ComposeDateTime(TDateTime date, TDateTime time) { return date >= 0 ? date + time : date - time; }

TDateTime Today() {
    const std::tm local = LocalNow();
    return EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

int CurrentYear() { return LocalNow().tm_year + 1900; }

}  // namespace kelvane
