#include "ExportForm.h"

#include <QCheckBox>

#include "reports/SiteReport.h"

namespace kelvane {

TFExport::TFExport(const Locale& locale, QWidget* parent) : ExportDialog(QStringLiteral("Export"), locale, parent) {
    setObjectName(QStringLiteral("FExport"));
    cbUnitLines = AddCheckBox("cbUnitLines", QStringLiteral("Unit Lines"), false);
    cbKey = AddCheckBox("cbKey", QStringLiteral("Alarm/Trip Key"), false);
    cbConnStats = AddCheckBox("cbConnStats", QStringLiteral("Connection Stats"), false);
    cbSiteAlarms = AddCheckBox("cbSiteAlarms", QStringLiteral("Site Alarms"), false);
    cbInactiveSites = AddCheckBox("cbInactiveSites", QStringLiteral("Inactive Sites"), false);
}

ReportLines TFExport::BuildLines(const TAlSiteList& sites, TDateTime today) const {
    SiteReportOptions options;
    static_cast<ReportOptions&>(options) = CommonOptions();
    options.unitLines = cbUnitLines->isChecked();
    options.key = cbKey->isChecked();
    options.siteAlarms = cbSiteAlarms->isChecked();
    return SiteReport(sites, options, UserLocale(), today).Build();
}

}  // namespace kelvane
