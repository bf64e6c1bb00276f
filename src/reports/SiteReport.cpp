#include "reports/SiteReport.h"

#include <utility>

#include "log/Alarmconsts.h"

namespace kelvane {

namespace {

// Width of the alarm abbreviations and of the trip abbreviations in the report's code fields.
constexpr int kAlarmCodeWidth = 2;
constexpr int kTripCodeWidth = 3;

}  // namespace

SiteReport::SiteReport(const TAlSiteList& sites, const SiteReportOptions& options, Locale locale,
                       TDateTime today)
    : ReportBuilder(sites, options, std::move(locale), today),
      unitLines_(options.unitLines),
      siteAlarms_(options.siteAlarms),
      key_(options.key) {}

void SiteReport::WriteReport() {
    AddHeaderBlock();

    if (Options().columnHeadings) {
        AddField("Site");
        AddField("Last Connection");
        AddField("Last Attempt");
        if (Options().connStats) {
            AddField("Conns");
            AddField("Mins");
        }
        // Written whether or not the summary fields are, so without "Site Alarms" they head no data.
        if (!unitLines_) {
            AddField("Alarms");
            AddField("Trips");
        }
        EndLine();
    }

    ForEachIncludedSite([this](const TAlSite& site) {
        AddField(site.Name);
        // The model's own dates, not limited to the filter period.
        AddField(DateText(site.LastConnect));
        AddField(DateText(site.LastAttempt));
        AddConnStats(site);
        if (unitLines_) {
            AddUnitLines(site);
        } else if (siteAlarms_) {
            AddSiteAlarms(site);
        }
        EndLine();
    });

    if (key_) {
        EndLine();
        AddKeys();
    }
}

void SiteReport::AddSiteAlarms(const TAlSite& site) {
    std::string alarms;
    std::string trips;
    for (int i = 0; i < site.UnitCount(); ++i) {
        const TAlUnit& unit = *site.UnitAt(i);
        std::string name("U");  // built in steps: gcc 12 warns wrongly on "U" + std::string at -O3
        name += IntText(unit.Number);
        name += ':';
        const StringList alarmNames = unit.AlarmNamesInFilter(kAlarmCodeWidth);
        if (!alarmNames.empty()) alarms += name + JoinCommaText(alarmNames) + " ";
        const StringList tripNames = unit.TripNamesInFilter(kTripCodeWidth);
        if (!tripNames.empty()) trips += name + JoinCommaText(tripNames) + " ";
    }
    AddField(std::move(alarms));
    AddField(std::move(trips));
    EndLine();
}

void SiteReport::AddUnitLines(const TAlSite& site) {
    for (int i = 0; i < site.UnitCount(); ++i) {
        const TAlUnit& unit = *site.UnitAt(i);
        const StringList alarmNames = unit.AlarmNamesInFilter(kAlarmCodeWidth);
        const StringList tripNames = unit.TripNamesInFilter(kTripCodeWidth);
        if (alarmNames.empty() && tripNames.empty()) continue;
        // Ends the site line, or the previous unit's line.
        EndLine();
        AddField(" ");
        AddField("Unit" + IntText(unit.Number));
        AddField(JoinCommaText(alarmNames));
        AddField(JoinCommaText(tripNames));
    }
}

void SiteReport::AddKeys() {
    AddField("Alarm Key");
    EndLine();
    AddKeyLines(AppAlarmKeyList());
    EndLine();
    AddField("Trip Key");
    EndLine();
    AddKeyLines(AppTripKeyList());
}

void SiteReport::AddKeyLines(const StringList& keyLines) {
    for (const std::string& line : keyLines) {
        if (!TabMode()) {
            AppendLine(line);
            continue;
        }
        // Tab mode: the same texts joined by tabs, without the comma text's quotes.
        const StringList texts = SplitCommaText(line);
        AppendLine(texts.empty() ? line : JoinTabs(texts));
    }
}

}  // namespace kelvane
