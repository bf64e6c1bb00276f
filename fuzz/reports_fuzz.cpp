// The site and connection reports of an arbitrary log.
//
// Input: byte 0 picks the locale (see PickLocale); byte 1 the site report's boxes (bit 0 Filter
// Dates, 1 Column Headings, 2 Sites, 3 Connection Stats, 4 Inactive Sites, 5 Unit Lines, 6 Site
// Alarms, 7 Alarm/Trip Key); byte 2 the connection report's boxes (bits 0-4 as above) and bit 7
// for raw filter values; then the filter start, the end and today as day offsets (3 x 16 bits,
// from 17 November 2006, the end counting from the start) or as raw double bits (3 x 8 bytes),
// Days as 16 signed bits; the rest is the log, every prompt answered OK.
//
// Checked: building gives exactly the lines laid out from the model in both separator modes
// (Comma mode the comma text of each line's fields, Tab mode the same fields joined by tabs, the
// key lines read back from their comma text); a Tab-mode line holds no CR, LF or quote of the
// report's own, those can only come from a site name; building twice gives the same lines; the
// clamp of the connection report stays inside the period, or gives its end when the period is empty.

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzEntry.h"
#include "FuzzSupport.h"
#include "ModelChecks.h"
#include "log/Alarmconsts.h"
#include "log/BrelLogParser.h"
#include "model/AlarmSite.h"
#include "reports/ConnReport.h"
#include "reports/SiteReport.h"

namespace kelvane::fuzz {
namespace {

constexpr double kBaseDay = 39038;  // 2006-11-17

// One line as it should come out: its fields, or for a key line its comma text as the table has it.
struct ExpectedLine {
    StringList fields;
    std::string keyText;
    bool isKey = false;
    const TAlSite* site = nullptr;  // set on site lines, which begin with the site's name
};

std::string JoinWithTabs(const StringList& fields) {
    std::string out;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) out.push_back('\t');
        out += fields[i];
    }
    return out;
}

class Layout {
public:
    Layout(const TAlSiteList& sites, const ReportOptions& options, const Locale& locale, TDateTime today)
        : sites_(sites), options_(options), locale_(locale), today_(today) {}

    std::vector<ExpectedLine> lines;

    void Line(StringList fields, const TAlSite* site = nullptr) {
        lines.push_back({std::move(fields), {}, false, site});
    }

    void Header() {
        if (!options_.filterDates) return;
        Line({"Report", Date(today_)});
        Line({"Start", Date(sites_.FilterStart)});
        Line({"End", Date(sites_.FilterEnd)});
        Line({"Days", std::to_string(sites_.FilterDays)});
        Line({});
    }

    template <typename Add>
    void EachIncludedSite(Add&& add) {
        if (!options_.sites) return;
        for (int i = 0; i < sites_.Count(); ++i) {
            const TAlSite& site = *sites_.SiteAt(i);
            if (options_.inactiveSites || !(site.LastAttempt < sites_.FilterStart)) add(site);
        }
    }

    void ConnStats(StringList& fields, const TAlSite& site) const {
        if (!options_.connStats) return;
        fields.push_back(std::to_string(site.ConnCountInFilter()));
        fields.push_back(locale_.FormatMinutes(site.OnlineSecsInFilter()));
    }

    void Keys(const StringList& table) {
        for (const std::string& text : table) lines.push_back({{}, text, true, nullptr});
    }

    std::string Date(TDateTime value) const { return locale_.FormatShortDate(value); }

private:
    const TAlSiteList& sites_;
    ReportOptions options_;
    const Locale& locale_;
    TDateTime today_;
};

std::vector<ExpectedLine> SiteReportLayout(const TAlSiteList& sites, const SiteReportOptions& options,
                                           const Locale& locale, TDateTime today) {
    Layout layout(sites, options, locale, today);
    layout.Header();
    if (options.columnHeadings) {
        StringList heading{"Site", "Last Connection", "Last Attempt"};
        if (options.connStats) heading.insert(heading.end(), {"Conns", "Mins"});
        if (!options.unitLines) heading.insert(heading.end(), {"Alarms", "Trips"});
        layout.Line(heading);
    }
    layout.EachIncludedSite([&](const TAlSite& site) {
        StringList fields{site.Name, layout.Date(site.LastConnect), layout.Date(site.LastAttempt)};
        layout.ConnStats(fields, site);
        if (options.unitLines) {
            layout.Line(fields, &site);
            for (int j = 0; j < site.UnitCount(); ++j) {
                const TAlUnit& unit = *site.UnitAt(j);
                const StringList alarms = unit.AlarmNamesInFilter(2);
                const StringList trips = unit.TripNamesInFilter(3);
                if (alarms.empty() && trips.empty()) continue;
                layout.Line(
                    {" ", "Unit" + std::to_string(unit.Number), JoinCommaText(alarms), JoinCommaText(trips)});
            }
        } else if (options.siteAlarms) {
            std::string alarmText, tripText;
            for (int j = 0; j < site.UnitCount(); ++j) {
                const TAlUnit& unit = *site.UnitAt(j);
                const std::string name = "U" + std::to_string(unit.Number) + ":";
                const StringList alarms = unit.AlarmNamesInFilter(2);
                const StringList trips = unit.TripNamesInFilter(3);
                if (!alarms.empty()) alarmText += name + JoinCommaText(alarms) + " ";
                if (!trips.empty()) tripText += name + JoinCommaText(trips) + " ";
            }
            fields.push_back(alarmText);
            fields.push_back(tripText);
            layout.Line(fields, &site);
            layout.Line({});
        } else {
            layout.Line(fields, &site);
        }
    });
    if (options.key) {
        layout.Line({});
        layout.Line({"Alarm Key"});
        layout.Keys(AppAlarmKeyList());
        layout.Line({});
        layout.Line({"Trip Key"});
        layout.Keys(AppTripKeyList());
    }
    return layout.lines;
}

TDateTime Clamp(const TAlSiteList& sites, TDateTime value) {
    if (value < sites.FilterStart) value = sites.FilterStart;
    if (value > sites.FilterEnd) value = sites.FilterEnd;
    return value;
}

std::vector<ExpectedLine> ConnReportLayout(const TAlSiteList& sites, const ReportOptions& options,
                                           const Locale& locale, TDateTime today) {
    Layout layout(sites, options, locale, today);
    layout.Header();
    if (options.columnHeadings) {
        StringList heading{"Site", "First Connect", "Last Connect", "Last Attempt"};
        if (options.connStats) heading.insert(heading.end(), {"Conns", "Mins"});
        layout.Line(heading);
    }
    layout.EachIncludedSite([&](const TAlSite& site) {
        StringList fields{site.Name, layout.Date(Clamp(sites, site.FirstConnect)),
                          layout.Date(Clamp(sites, site.LastConnect)),
                          layout.Date(Clamp(sites, site.LastAttempt))};
        layout.ConnStats(fields, site);
        layout.Line(fields, &site);
    });
    return layout.lines;
}

bool HasLineEndOrQuote(std::string_view text) {
    return text.find_first_of("\r\n\"") != std::string_view::npos;
}

void CheckLines(const char* report, const ReportLines& comma, const ReportLines& tab,
                const std::vector<ExpectedLine>& expected) {
    const std::string where = std::string(report) + " report line ";
    KELVANE_FUZZ_CHECK_MSG(
        comma.size() == expected.size(),
        where + "count " + std::to_string(comma.size()) + ", laid out " + std::to_string(expected.size()));
    KELVANE_FUZZ_CHECK(tab.size() == expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const ExpectedLine& e = expected[i];
        const std::string wantComma = e.isKey ? e.keyText : JoinCommaText(e.fields);
        std::string wantTab;
        if (e.isKey) {
            const StringList texts = SplitCommaText(e.keyText);
            wantTab = texts.empty() ? e.keyText : JoinWithTabs(texts);
        } else {
            wantTab = JoinWithTabs(e.fields);
        }
        KELVANE_FUZZ_CHECK_MSG(comma[i] == wantComma, where + std::to_string(i) + ": " + Hex(comma[i]) +
                                                          ", laid out " + Hex(wantComma));
        KELVANE_FUZZ_CHECK_MSG(tab[i] == wantTab, where + std::to_string(i) + " (Tab): " + Hex(tab[i]) +
                                                      ", laid out " + Hex(wantTab));

        // A Tab-mode line carries no line end or quote of its own; only a site name may hold one.
        std::string_view own = tab[i];
        if (e.site) {
            KELVANE_FUZZ_CHECK(own.substr(0, e.site->Name.size()) == e.site->Name);
            own.remove_prefix(e.site->Name.size());
        }
        KELVANE_FUZZ_CHECK_MSG(!HasLineEndOrQuote(own), where + std::to_string(i) + " (Tab): " + Hex(tab[i]));
        KELVANE_FUZZ_CHECK(tab[i].find('\n') == std::string::npos);
    }
}

TDateTime Finite(double value) { return std::isfinite(value) ? value : 0; }

}  // namespace
}  // namespace kelvane::fuzz

KELVANE_FUZZ_ENTRY(reports) {
    using namespace kelvane;
    using namespace kelvane::fuzz;
    FuzzInput in(data, size);
    const Locale locale = PickLocale(in.Byte());
    const unsigned siteBits = in.Byte();
    const unsigned connBits = in.Byte();
    TDateTime start, end, today;
    if (connBits & 0x80u) {
        start = Finite(in.RawDouble());
        end = Finite(in.RawDouble());
        today = Finite(in.RawDouble());
    } else {
        start = kBaseDay + static_cast<std::int16_t>(in.U16());
        end = start + in.U16();
        today = kBaseDay + static_cast<std::int16_t>(in.U16());
    }
    const auto days = static_cast<std::int16_t>(in.U16());

    TAlSiteList sites;
    TBrelLogParser parser(locale);
    parser.ParseText(in.Rest(), sites);
    sites.SetFilter(start, end, days);
    CheckFilter(sites, start, end, days);

    SiteReportOptions siteOptions;
    siteOptions.filterDates = siteBits & 1u;
    siteOptions.columnHeadings = siteBits & 2u;
    siteOptions.sites = siteBits & 4u;
    siteOptions.connStats = siteBits & 8u;
    siteOptions.inactiveSites = siteBits & 16u;
    siteOptions.unitLines = siteBits & 32u;
    siteOptions.siteAlarms = siteBits & 64u;
    siteOptions.key = siteBits & 128u;
    SiteReport siteComma(sites, siteOptions, locale, today);
    siteOptions.separator = FieldSeparator::Tab;
    SiteReport siteTab(sites, siteOptions, locale, today);
    const ReportLines siteCommaLines = siteComma.Build();
    const ReportLines siteTabLines = siteTab.Build();
    CheckLines("site", siteCommaLines, siteTabLines, SiteReportLayout(sites, siteOptions, locale, today));
    KELVANE_FUZZ_CHECK(siteComma.Build() == siteCommaLines);
    KELVANE_FUZZ_CHECK(siteTab.Build() == siteTabLines);

    ConnReportOptions connOptions;
    connOptions.filterDates = connBits & 1u;
    connOptions.columnHeadings = connBits & 2u;
    connOptions.sites = connBits & 4u;
    connOptions.connStats = connBits & 8u;
    connOptions.inactiveSites = connBits & 16u;
    ConnReport connComma(sites, connOptions, locale, today);
    connOptions.separator = FieldSeparator::Tab;
    ConnReport connTab(sites, connOptions, locale, today);
    const ReportLines connCommaLines = connComma.Build();
    const ReportLines connTabLines = connTab.Build();
    CheckLines("connection", connCommaLines, connTabLines,
               ConnReportLayout(sites, connOptions, locale, today));
    KELVANE_FUZZ_CHECK(connComma.Build() == connCommaLines);

    for (const TDateTime t : {start - 1, start, (start + end) / 2, end, end + 1, today}) {
        const TDateTime clamped = connComma.ClampToFilter(t);
        if (start > end) {
            KELVANE_FUZZ_CHECK(clamped == end);
        } else {
            KELVANE_FUZZ_CHECK(start <= clamped && clamped <= end);
        }
    }
    return 0;
}
