#pragma once

// Properties of a site list that hold for any log, checked against plain recounts of the model.

#include <cstdint>
#include <string>
#include <vector>

#include "model/AlarmSite.h"
#include "model/SiteTree.h"
#include "platform/Locale.h"

namespace kelvane::fuzz {

// The order and summary rules of a list after UpdateSummaries: names ascending and unique
// ignoring case, units ascending and unique, event times ascending and unique, attempts ascending,
// FirstConnect <= LastConnect <= LastAttempt when any attempt succeeded, else both 0.
void CheckSortedList(const TAlSiteList& sites);

// The windows and statistics left by SetFilter(start, end, days), recounted without early stops.
void CheckFilter(const TAlSiteList& sites, TDateTime start, TDateTime end, std::int32_t days);

// The tree rows of a filtered list: each site in list order with its figures, then its units.
void CheckTreeRows(const TAlSiteList& sites, const std::vector<TreeRow>& rows, const Locale& locale);

// Everything a list holds, one item a line in list order, times written exactly: two lists that
// read the same give the same dump.
std::vector<std::string> DumpList(const TAlSiteList& sites);

// The first line where two dumps differ, for failure messages.
std::string FirstDifference(const std::vector<std::string>& a, const std::vector<std::string>& b);

}  // namespace kelvane::fuzz
