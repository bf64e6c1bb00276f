#pragma once

#include "ExportDialog.h"

namespace kelvane {

// The connection report dialog ("Export2").
class TFExport2 : public ExportDialog {
    Q_OBJECT
public:
    TFExport2(const Locale& locale, QWidget* parent = nullptr);

protected:
    ReportLines BuildLines(const TAlSiteList& sites, TDateTime today) const override;
};

}  // namespace kelvane
