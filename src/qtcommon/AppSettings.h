#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>

#include "platform/DateTime.h"

namespace kelvane {

// Names of the stored settings, kept in one place.
namespace settings {
inline constexpr const char* kOrganization = "Corvane Apps";
inline constexpr const char* kApplication = "Kelvane";
inline constexpr const char* kRecentFiles = "Files/MRU";
inline constexpr const char* kFilterStart = "Filter/Start";
inline constexpr const char* kFilterEnd = "Filter/End";
inline constexpr const char* kFilterDays = "Filter/Days";
inline constexpr const char* kWindowGroup = "Settings/TForm1";
inline constexpr int kMaxRecentFiles = 5;
}  // namespace settings

// The Start, End and Days values of the date filter.
struct FilterValues {
    TDateTime start = 0;  // a whole day
    TDateTime end = 0;    // a whole day, inclusive
    int days = 1;
};

// An integer setting stored as a decimal string; the default when absent or not a decimal integer.
int ReadIntSetting(QSettings& store, const char* key, int defaultValue);

// The filter as stored: Start and End as whole days before today, Days unchanged.
FilterValues ReadFilterSettings(QSettings& store, TDateTime today);

// Stores the filter relative to today.
void WriteFilterSettings(QSettings& store, const FilterValues& values, TDateTime today);

// The recent-file paths, newest first.
QStringList ReadRecentFiles(QSettings& store);

// Stores the recent-file paths as comma text.
void WriteRecentFiles(QSettings& store, const QStringList& paths);

}  // namespace kelvane
