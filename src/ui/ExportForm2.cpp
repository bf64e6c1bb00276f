#include "ExportForm2.h"

#include <QCheckBox>

#include "reports/ConnReport.h"

namespace kelvane {

TFExport2::TFExport2(const Locale& locale, QWidget* parent) : ExportDialog(QStringLiteral("Export2"), locale, parent) {
    setObjectName(QStringLiteral("FExport2"));
    cbConnStats = AddCheckBox("cbConnStats", QStringLiteral("Connection Stats"), false);
    cbInactiveSites = AddCheckBox("cbInactiveSites", QStringLiteral("Inactive Sites"), false);
}

ReportLines TFExport2::BuildLines(const TAlSiteList& sites, TDateTime today) const {
    return ConnReport(sites, CommonOptions(), UserLocale(), today).Build();
}

}  // namespace kelvane
