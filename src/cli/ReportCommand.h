#pragma once

#include <QString>
#include <QStringList>

#include <cstdio>
#include <memory>
#include <string>

#include "model/AlarmSite.h"
#include "platform/Locale.h"
#include "reports/SiteReport.h"

namespace kelvane {

// What kelvane-report was asked to do, after its command line has been read.
struct ReportRequest {
    enum class Kind { Tree, Site, Conn };
    Kind kind = Kind::Tree;
    QStringList logs;
    TDateTime start = 0;
    TDateTime end = 0;  // inclusive
    int days = 1;
    TDateTime today = 0;
    Locale locale;
    bool stopOnError = false;
    // The report dialogs' check boxes and separator; the connection report reads the shared ones.
    SiteReportOptions reportOptions;
    QString output;  // empty: standard output
};

// Loads the logs, applies the filter and writes the request's output; returns the exit status.
int RunReport(const ReportRequest& request, std::FILE* out, std::FILE* err);

}  // namespace kelvane
