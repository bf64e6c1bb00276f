#include "model/SiteTree.h"

#include "log/Alarmconsts.h"

namespace kelvane {

namespace {

std::string SiteDateText(const TAlSite& site) {
    std::string text = FormatDateByPattern(kTreeDateFormat, site.LastConnect);
    if (site.LastAttempt != site.LastConnect) {
        text += " (";
        text += FormatDateByPattern(kTreeDateFormat, site.LastAttempt);
        text += ")";
    }
    return text;
}

std::string CodesOr(const StringList& names, const char* none) {
    return names.empty() ? std::string(none) : JoinCommaText(names);
}

}  // namespace

std::vector<TreeRow> BuildTreeRows(const TAlSiteList& sites, const Locale& locale) {
    std::vector<TreeRow> rows;
    for (int i = 0; i < sites.Count(); ++i) {
        TAlSite* site = sites.SiteAt(i);
        const std::size_t siteRow = rows.size();
        rows.emplace_back();
        {
            TreeRow& row = rows.back();
            row.level = 0;
            row.site = site;
            row.texts[TreeRow::SiteUnit] = site->Name;
            row.texts[TreeRow::DateTime] = SiteDateText(*site);
            std::int32_t conns = 0;
            std::uint32_t secs = 0;
            site->ConnStatsInFilter(conns, secs);
            row.texts[TreeRow::Conns] = std::to_string(conns);
            row.texts[TreeRow::Mins] = locale.FormatMinutes(secs);
            row.grey = conns <= 0;
        }

        // The site's alarms are the union of its units' alarms, so one pass over the units gives both.
        std::uint32_t siteAlarms = 0;
        bool anyUnitTrips = false;
        for (int j = 0; j < site->UnitCount(); ++j) {
            TAlUnit* unit = site->UnitAt(j);
            const std::uint32_t alarms = unit->AlarmBitsInFilter();
            const std::uint32_t trips = unit->TripBitsInFilter();
            siteAlarms |= alarms;
            anyUnitTrips = anyUnitTrips || trips != 0;
            TreeRow row;
            row.level = 1;
            row.site = site;
            row.unit = unit;
            row.texts[TreeRow::SiteUnit] = "Unit " + std::to_string(unit->Number);
            row.texts[TreeRow::DateTime] = CodesOr(AppTripStrList(trips, 3), "");
            row.texts[TreeRow::Alarms] = CodesOr(AppAlarmStrList(alarms, 2), "none");
            rows.push_back(std::move(row));
        }
        std::string& siteAlarmText = rows[siteRow].texts[TreeRow::Alarms];
        if (siteAlarms != 0) {
            siteAlarmText = JoinCommaText(AppAlarmStrList(siteAlarms, 2));
        } else {
            siteAlarmText = anyUnitTrips ? "AL??" : "none";
        }
    }
    return rows;
}

}  // namespace kelvane
