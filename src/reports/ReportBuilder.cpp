#include "reports/ReportBuilder.h"

#include <utility>

namespace kelvane {

ReportBuilder::ReportBuilder(const TAlSiteList& sites, const ReportOptions& options, Locale locale,
                             TDateTime today)
    : sites_(sites), options_(options), locale_(std::move(locale)), today_(today) {}

ReportLines ReportBuilder::Build() {
    fields_.clear();
    lines_.clear();
    WriteReport();
    fields_.clear();
    ReportLines result;
    result.swap(lines_);
    return result;
}

void ReportBuilder::AddField(std::string text) { fields_.push_back(std::move(text)); }

void ReportBuilder::EndLine() {
    // Tab mode writes the fields as they are; with no fields both modes give an empty line.
    if (TabMode() && !fields_.empty()) {
        lines_.push_back(JoinTabs(fields_));
    } else {
        lines_.push_back(JoinCommaText(fields_));
    }
    fields_.clear();
}

void ReportBuilder::AppendLine(std::string line) { lines_.push_back(std::move(line)); }

void ReportBuilder::AddHeaderBlock() {
    if (!options_.filterDates) return;
    AddField("Report");
    AddField(DateText(today_));
    EndLine();
    AddField("Start");
    AddField(DateText(sites_.FilterStart));
    EndLine();
    AddField("End");
    AddField(DateText(sites_.FilterEnd));
    EndLine();
    AddField("Days");
    AddField(IntText(sites_.FilterDays));
    EndLine();
    EndLine();
}

bool ReportBuilder::IncludesSite(const TAlSite& site) const {
    return options_.inactiveSites || !(site.LastAttempt < sites_.FilterStart);
}

void ReportBuilder::AddConnStats(const TAlSite& site) {
    if (!options_.connStats) return;
    std::int32_t count = 0;
    std::uint32_t onlineSecs = 0;
    site.ConnStatsInFilter(count, onlineSecs);
    AddField(IntText(count));
    AddField(locale_.FormatMinutes(onlineSecs));
}

std::string ReportBuilder::DateText(TDateTime value) const { return locale_.FormatShortDate(value); }

std::string ReportBuilder::IntText(std::int64_t value) { return std::to_string(value); }

std::string ReportBuilder::JoinTabs(const StringList& texts) {
    std::string out;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (i > 0) out.push_back('\t');
        out += texts[i];
    }
    return out;
}

}  // namespace kelvane
