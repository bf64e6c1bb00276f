#pragma once

#include "reports/ReportBuilder.h"

namespace kelvane {

// The connection report dialog has only the shared check boxes.
using ConnReportOptions = ReportOptions;

// The connection report: first and last connection and last attempt per site, each limited to
// the filter period, and optionally the connection count and minutes online.
class ConnReport : public ReportBuilder {
public:
    ConnReport(const TAlSiteList& sites, const ConnReportOptions& options, Locale locale, TDateTime today);

    // Limits a date to the list's filter period; with the start after the end every date gives the end.
    TDateTime ClampToFilter(TDateTime value) const;

protected:
    void WriteReport() override;
};

}  // namespace kelvane
