#pragma once

#include "reports/ReportBuilder.h"

namespace kelvane {

// The check boxes of the site report dialog: the shared ones and its own three.
struct SiteReportOptions : ReportOptions {
    bool unitLines = false;   // "Unit Lines": one line per unit with codes, instead of summary columns
    bool siteAlarms = false;  // "Site Alarms": the units' codes summarised on the site line
    bool key = false;         // "Alarm/Trip Key": the alarm and trip key listings at the end
};

// The site report: last connection and last attempt per site, optional connection figures,
// the alarm and trip codes per site or per unit, and a key to the codes.
class SiteReport : public ReportBuilder {
public:
    SiteReport(const TAlSiteList& sites, const SiteReportOptions& options, Locale locale, TDateTime today);

protected:
    void WriteReport() override;

private:
    // The alarm and trip summary fields of a site line ("U3:SE,LT " per unit), then ends the line.
    void AddSiteAlarms(const TAlSite& site);
    // One line per unit with codes in the window; leaves the last line open.
    void AddUnitLines(const TAlSite& site);
    // The "Alarm Key" and "Trip Key" listings.
    void AddKeys();
    // Appends the 16 key lines of a code table in the separator mode's form.
    void AddKeyLines(const StringList& keyLines);

    bool unitLines_;
    bool siteAlarms_;
    bool key_;
};

}  // namespace kelvane
