#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/AlarmSite.h"
#include "platform/CommaText.h"
#include "platform/DateTime.h"
#include "platform/Locale.h"

namespace kelvane {

// How the fields of a report line are separated: comma text, or tabs with no quoting.
enum class FieldSeparator { Comma, Tab };

// The lines of a report, one text per line, without line ends.
using ReportLines = std::vector<std::string>;

// The check boxes and the separator choice that both report dialogs offer.
struct ReportOptions {
    bool filterDates = true;     // "Filter Dates": the header block with the filter values
    bool columnHeadings = true;  // "Column Headings": the heading line
    bool sites = true;           // "Sites": one line per included site
    bool connStats = false;      // "Connection Stats": connection count and minutes online
    bool inactiveSites = false;  // "Inactive Sites": also sites whose last attempt is before the start
    FieldSeparator separator = FieldSeparator::Comma;
};

// The common line building of the site and connection reports: fields, line ends, value texts,
// the header block and the rule that decides which sites a report includes.
class ReportBuilder {
public:
    virtual ~ReportBuilder() = default;
    ReportBuilder(const ReportBuilder&) = delete;
    ReportBuilder& operator=(const ReportBuilder&) = delete;

    // Builds the whole report from scratch; building twice gives the same lines.
    ReportLines Build();

protected:
    ReportBuilder(const TAlSiteList& sites, const ReportOptions& options, Locale locale, TDateTime today);

    // Appends the report's own lines after the shared state has been reset.
    virtual void WriteReport() = 0;

    // Appends a field to the line being built.
    void AddField(std::string text);
    // Joins the fields into one line (comma text, or tabs in Tab mode) and starts a new line.
    void EndLine();
    // Appends a finished line as it is, bypassing the fields.
    void AppendLine(std::string line);

    // The "Report", "Start", "End" and "Days" lines and an empty line, when "Filter Dates" is ticked.
    void AddHeaderBlock();
    // True when the report includes the site: inactive sites ticked, or its last attempt is not
    // before the list's filter start.
    bool IncludesSite(const TAlSite& site) const;
    // Calls add(site) for each included site in list order, when "Sites" is ticked.
    template <typename Add>
    void ForEachIncludedSite(Add&& add) const;
    // Adds the connection count and online total fields, when "Connection Stats" is ticked.
    void AddConnStats(const TAlSite& site);

    // A date-time value as a date in the locale's short date format.
    std::string DateText(TDateTime value) const;
    // An integer in decimal, no grouping.
    static std::string IntText(std::int64_t value);
    // Texts joined by single tabs, with no quoting.
    static std::string JoinTabs(const StringList& texts);

    bool TabMode() const { return options_.separator == FieldSeparator::Tab; }
    const TAlSiteList& Sites() const { return sites_; }
    const ReportOptions& Options() const { return options_; }

private:
    const TAlSiteList& sites_;
    ReportOptions options_;
    Locale locale_;
    TDateTime today_;
    StringList fields_;
    ReportLines lines_;
};

template <typename Add>
void ReportBuilder::ForEachIncludedSite(Add&& add) const {
    if (!options_.sites) return;
    for (int i = 0; i < sites_.Count(); ++i) {
        const TAlSite& site = *sites_.SiteAt(i);
        if (IncludesSite(site)) add(site);
    }
}

}  // namespace kelvane
