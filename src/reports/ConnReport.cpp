#include "reports/ConnReport.h"

#include <utility>

namespace kelvane {

ConnReport::ConnReport(const TAlSiteList& sites, const ConnReportOptions& options, Locale locale,
                       TDateTime today)
    : ReportBuilder(sites, options, std::move(locale), today) {}

TDateTime ConnReport::ClampToFilter(TDateTime value) const {
    // The end is tested last, so it wins when the period is empty.
    if (value < Sites().FilterStart) value = Sites().FilterStart;
    if (value > Sites().FilterEnd) value = Sites().FilterEnd;
    return value;
}

void ConnReport::WriteReport() {
    AddHeaderBlock();

    if (Options().columnHeadings) {
        AddField("Site");
        AddField("First Connect");
        AddField("Last Connect");
        AddField("Last Attempt");
        if (Options().connStats) {
            AddField("Conns");
            AddField("Mins");
        }
        EndLine();
    }

    ForEachIncludedSite([this](const TAlSite& site) {
        AddField(site.Name);
        AddField(DateText(ClampToFilter(site.FirstConnect)));
        AddField(DateText(ClampToFilter(site.LastConnect)));
        AddField(DateText(ClampToFilter(site.LastAttempt)));
        AddConnStats(site);
        EndLine();
    });
}

}  // namespace kelvane
