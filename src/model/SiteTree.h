#pragma once

#include <array>
#include <string>
#include <vector>

#include "model/AlarmSite.h"
#include "platform/Locale.h"

namespace kelvane {

// One row of the site tree: a site (level 0) or one of its units (level 1).
struct TreeRow {
    enum Column { SiteUnit, DateTime, Alarms, Conns, Mins, ColumnCount };

    int level = 0;
    std::array<std::string, ColumnCount> texts;
    bool grey = false;         // a site with no successful attempt in its window
    TAlSite* site = nullptr;   // the row's site (also set on unit rows)
    TAlUnit* unit = nullptr;   // the row's unit, null on site rows
};

// Date format of the tree's Date/Time column.
inline constexpr const char* kTreeDateFormat = "yyyy-mm-dd";

// The rows of the site tree for a filtered list: each site in list order followed by its units.
std::vector<TreeRow> BuildTreeRows(const TAlSiteList& sites, const Locale& locale);

}  // namespace kelvane
