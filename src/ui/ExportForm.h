#pragma once

#include "ExportDialog.h"

namespace kelvane {

// The site report dialog ("Export").
class TFExport : public ExportDialog {
    Q_OBJECT
public:
    TFExport(const Locale& locale, QWidget* parent = nullptr);

    QCheckBox* cbUnitLines = nullptr;
    QCheckBox* cbKey = nullptr;
    QCheckBox* cbSiteAlarms = nullptr;

protected:
    ReportLines BuildLines(const TAlSiteList& sites, TDateTime today) const override;
};

}  // namespace kelvane
