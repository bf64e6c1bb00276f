// The log parser on arbitrary bytes.
//
// Input: byte 0 picks the locale (see PickLocale), byte 1 the prompt at which Cancel is answered
// (0: OK to every prompt), byte 2 options (bit 0: read the log twice into one list; bits 1-4 the
// Days of the second filter; bits 5-7 how many days after the earliest last attempt it starts);
// the rest is the log text.
//
// Checked: every prompt names the physical line it was raised for, with a message of that line's
// kind; nothing is prompted after Cancel; each site header line either adds an attempt or prompts;
// the list keeps its order and summary rules; reading the same log again doubles every attempt and
// changes no event; the filter statistics match a plain recount; the tree rows match the list.

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "FuzzEntry.h"
#include "FuzzSupport.h"
#include "ModelChecks.h"
#include "ReferenceLines.h"
#include "log/BrelLogParser.h"
#include "model/AlarmSite.h"
#include "model/SiteTree.h"

namespace kelvane::fuzz {
namespace {

enum class LineKind { None, Site, ConnError, Online, UnitAlarms, UnitTrips };

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }
bool Contains(std::string_view s, std::string_view what) { return s.find(what) != std::string_view::npos; }

// The kind of a line as read, by the tests in their order.
LineKind KindOf(std::string_view line) {
    if (StartsWith(line, "***")) return LineKind::Site;
    if (Contains(line, "Portix Error")) return LineKind::ConnError;
    if (StartsWith(line, "Online:")) return LineKind::Online;
    if (StartsWith(line, "Unit")) {
        if (Contains(line, "alarms")) return LineKind::UnitAlarms;
        if (Contains(line, "trips")) return LineKind::UnitTrips;
    }
    return LineKind::None;
}

// The date and time text of a site header line: after its 11th character, up to " Site".
std::string_view DateTextOf(std::string_view line) {
    const std::string_view work = line.size() > 11 ? line.substr(11) : std::string_view();
    return work.substr(0, work.find(" Site"));
}

// True when the message may be raised for a line of this kind.
bool MessageFitsLine(const std::string& message, std::string_view line, const Locale& locale) {
    switch (KindOf(line)) {
        case LineKind::Site: {
            const std::string_view work = line.size() > 11 ? line.substr(11) : std::string_view();
            if (message == "Site - incomplete line") return !Contains(work, " Site");
            if (!Contains(work, " Site")) return false;
            TDateTime value = 0;
            const bool dateGood = locale.ParseDateTime(DateTextOf(line), value);
            if (message == "Site - no name") return dateGood;
            return !dateGood &&
                   message == "'" + std::string(DateTextOf(line)) + "' is not a valid date and time";
        }
        case LineKind::ConnError:
            return message == "Conn - status without connection";
        case LineKind::UnitAlarms:
            return message == "Unit - no number" || message == "Unit - no alarms" ||
                   message == "Unit - no site/conn" || message == "Unit - unknown alarm";
        case LineKind::UnitTrips:
            return message == "Unit - no number" || message == "Unit trips - bad format" ||
                   message == "Unit trips - no trips" || message == "Unit trips - no site/conn";
        case LineKind::Online:
        case LineKind::None:
            return false;
    }
    return false;
}

struct Prompt {
    std::int32_t lineNo;
    std::string caption;
    std::string text;
};

// Runs the parser over the log, checking each prompt as it comes; returns the prompts.
std::vector<Prompt> Parse(std::string_view log, const Locale& locale, unsigned cancelAt, TAlSiteList& sites) {
    const std::vector<NumberedLine> lines = ReferenceLines(log);
    // The line of a physical number, or null when that line is empty.
    const auto lineAt = [&lines](std::int64_t lineNo) -> const std::string_view* {
        const auto it = std::lower_bound(lines.begin(), lines.end(), lineNo,
                                         [](const NumberedLine& l, std::int64_t n) { return l.lineNo < n; });
        return it != lines.end() && it->lineNo == lineNo ? &it->text : nullptr;
    };

    std::size_t attemptsBefore = 0;
    for (int i = 0; i < sites.Count(); ++i)
        attemptsBefore += static_cast<std::size_t>(sites.SiteAt(i)->ConnCount());

    std::vector<Prompt> prompts;
    bool stopped = false;
    TBrelLogParser parser(locale, [&](const std::string& caption, const std::string& text) {
        KELVANE_FUZZ_CHECK(!stopped);
        static constexpr std::string_view kCaption = "BrelLogParser Error: ";
        KELVANE_FUZZ_CHECK(StartsWith(caption, kCaption));
        const std::string message = caption.substr(kCaption.size());

        // "Line <n>: \"<line>\"" with n the physical number of a line of the text.
        KELVANE_FUZZ_CHECK(StartsWith(text, "Line "));
        std::size_t pos = 5;
        std::int64_t lineNo = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && lineNo < (1LL << 40)) {
            lineNo = lineNo * 10 + (text[pos++] - '0');
        }
        KELVANE_FUZZ_CHECK(pos > 5);
        KELVANE_FUZZ_CHECK(text.compare(pos, 3, ": \"") == 0);
        KELVANE_FUZZ_CHECK(text.size() >= pos + 4 && text.back() == '"');
        const std::string_view shown = std::string_view(text).substr(pos + 3, text.size() - pos - 4);
        const std::string_view* read = lineAt(lineNo);
        KELVANE_FUZZ_CHECK_MSG(read != nullptr, "no line " + std::to_string(lineNo) + " in the text");
        KELVANE_FUZZ_CHECK_MSG(*read == shown, "line " + std::to_string(lineNo) + " shown as " + Hex(shown) +
                                                   ", reads " + Hex(*read));
        KELVANE_FUZZ_CHECK(prompts.empty() || prompts.back().lineNo < lineNo);
        KELVANE_FUZZ_CHECK_MSG(MessageFitsLine(message, shown, locale),
                               "message " + Hex(message) + " for line " + Hex(shown));

        prompts.push_back({static_cast<std::int32_t>(lineNo), caption, text});
        if (prompts.size() == cancelAt) {
            stopped = true;
            return false;
        }
        return true;
    });
    parser.ParseText(log, sites);

    // Each site header line up to the one that stopped the reading adds one attempt or prompts.
    const std::int32_t lastRead = stopped ? prompts.back().lineNo : INT32_MAX;
    std::size_t siteLines = 0;
    for (const NumberedLine& l : lines) {
        if (l.lineNo <= lastRead && KindOf(l.text) == LineKind::Site) ++siteLines;
    }
    std::size_t sitePrompts = 0;
    for (const Prompt& p : prompts) {
        if (KindOf(*lineAt(p.lineNo)) == LineKind::Site) ++sitePrompts;
    }
    std::size_t attempts = 0;
    for (int i = 0; i < sites.Count(); ++i)
        attempts += static_cast<std::size_t>(sites.SiteAt(i)->ConnCount());
    attempts -= attemptsBefore;
    KELVANE_FUZZ_CHECK_MSG(attempts + sitePrompts == siteLines,
                           std::to_string(attempts) + " attempts, " + std::to_string(sitePrompts) +
                               " header prompts, " + std::to_string(siteLines) + " header lines");
    return prompts;
}

// What a site holds, for comparing two readings.
struct SiteContent {
    std::vector<std::tuple<TDateTime, std::uint32_t, std::uint32_t>> conns;  // sorted
    std::vector<std::tuple<std::int32_t, std::vector<std::pair<TDateTime, std::uint32_t>>,
                           std::vector<std::pair<TDateTime, std::uint32_t>>>>
        units;
};

SiteContent ContentOf(const TAlSite& site) {
    SiteContent content;
    for (const TAlConn& c : site.Conns()) content.conns.emplace_back(c.Time, c.Status, c.OnlineSecs);
    std::sort(content.conns.begin(), content.conns.end());
    for (int j = 0; j < site.UnitCount(); ++j) {
        const TAlUnit& unit = *site.UnitAt(j);
        std::vector<std::pair<TDateTime, std::uint32_t>> alarms, trips;
        for (const auto& e : unit.Alarms().Items()) alarms.emplace_back(e.Time, e.Bits);
        for (const auto& e : unit.Trips().Items()) trips.emplace_back(e.Time, e.Bits);
        content.units.emplace_back(unit.Number, std::move(alarms), std::move(trips));
    }
    return content;
}

void CheckNames(const TAlSiteList& sites) {
    for (int i = 0; i < sites.Count(); ++i) {
        const TAlSite& site = *sites.SiteAt(i);
        // The last folder of the path: never empty, no backslash, no line end, inside one line.
        KELVANE_FUZZ_CHECK(!site.Name.empty() && site.Name.size() < 119);
        KELVANE_FUZZ_CHECK(site.Name.find_first_of("\\\n") == std::string::npos);
        KELVANE_FUZZ_CHECK(site.Path.find(site.Name) != std::string::npos);
    }
}

}  // namespace
}  // namespace kelvane::fuzz

KELVANE_FUZZ_ENTRY(parser) {
    using namespace kelvane;
    using namespace kelvane::fuzz;
    FuzzInput in(data, size);
    const Locale locale = PickLocale(in.Byte());
    const unsigned cancelAt = in.Byte();
    const unsigned options = in.Byte();
    const std::string_view log = in.Rest();

    TAlSiteList sites;
    const std::vector<Prompt> prompts = Parse(log, locale, cancelAt, sites);
    CheckSortedList(sites);
    CheckNames(sites);

    if (options & 1u) {
        // The same log again into the same list: the same prompts, every attempt twice, events once.
        std::vector<std::pair<std::string, SiteContent>> before;
        for (int i = 0; i < sites.Count(); ++i)
            before.emplace_back(sites.SiteAt(i)->Name, ContentOf(*sites.SiteAt(i)));
        const std::vector<Prompt> again = Parse(log, locale, cancelAt, sites);
        KELVANE_FUZZ_CHECK(again.size() == prompts.size());
        for (std::size_t k = 0; k < again.size(); ++k) {
            KELVANE_FUZZ_CHECK(again[k].caption == prompts[k].caption && again[k].text == prompts[k].text);
        }
        CheckSortedList(sites);
        KELVANE_FUZZ_CHECK(sites.Count() == static_cast<int>(before.size()));
        for (int i = 0; i < sites.Count(); ++i) {
            const TAlSite& site = *sites.SiteAt(i);
            KELVANE_FUZZ_CHECK(site.Name == before[static_cast<std::size_t>(i)].first);
            const SiteContent& old = before[static_cast<std::size_t>(i)].second;
            const SiteContent now = ContentOf(site);
            KELVANE_FUZZ_CHECK(now.conns.size() == 2 * old.conns.size());
            for (std::size_t k = 0; k < old.conns.size(); ++k) {
                KELVANE_FUZZ_CHECK(now.conns[2 * k] == old.conns[k] && now.conns[2 * k + 1] == old.conns[k]);
            }
            KELVANE_FUZZ_CHECK(now.units == old.units);
        }
    }

    // The whole period, then a narrow one with Days, each followed by the tree.
    sites.SetFilter(-1e7, 1e7, 0);
    CheckFilter(sites, -1e7, 1e7, 0);
    CheckTreeRows(sites, BuildTreeRows(sites, locale), locale);

    TDateTime earliest = 0;
    TDateTime latest = 0;
    for (int i = 0; i < sites.Count(); ++i) {
        const TDateTime t = sites.SiteAt(i)->LastAttempt;
        if (i == 0 || t < earliest) earliest = t;
        if (i == 0 || t > latest) latest = t;
    }
    const TDateTime start = DateOf(earliest) + static_cast<double>(options >> 5);
    const TDateTime end = DateOf(latest) + 1;
    const auto days = static_cast<std::int32_t>((options >> 1) & 15u);
    sites.SetFilter(start, end, days);
    CheckFilter(sites, start, end, days);
    CheckTreeRows(sites, BuildTreeRows(sites, locale), locale);
    return 0;
}
