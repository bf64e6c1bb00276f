// bench_load: loads one log the way "kelvane-report tree" does and prints how long the load and a
// Refresh took, one "name value" pair a line, for scripts to read.
//
//   bench_load LOG [--start YYYY-MM-DD] [--end YYYY-MM-DD] [--days N] [--threads N] [--runs N]
//
// Dates are read day/month/year with "/" and decimals use ".", as under en_GB. Start and End
// default to the first and the last day with an attempt in the log, Days to 0.

#include <sys/resource.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "log/BrelLogParser.h"
#include "model/AlarmSite.h"
#include "model/SiteTree.h"
#include "platform/DateTime.h"
#include "platform/Locale.h"

namespace {

using namespace kelvane;
using Clock = std::chrono::steady_clock;

constexpr const char* kUsage =
    "Usage: bench_load LOG [--start YYYY-MM-DD] [--end YYYY-MM-DD] [--days N] [--threads N] [--runs N]\n";

[[noreturn]] void UsageError(const std::string& why) {
    std::fprintf(stderr, "bench_load: %s\n%s", why.c_str(), kUsage);
    std::exit(2);
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

int ParseWhole(std::string_view opt, std::string_view text, int lo, int hi) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < lo || value > hi) {
        UsageError(std::string(opt) + " wants a whole number from " + std::to_string(lo) + " to " +
                   std::to_string(hi));
    }
    return value;
}

TDateTime ParseIsoDate(std::string_view opt, std::string_view text) {
    int y = 0, m = 0, d = 0;
    const char* p = text.data();
    const bool shaped =
        text.size() == 10 && text[4] == '-' && text[7] == '-' && std::from_chars(p, p + 4, y).ptr == p + 4 &&
        std::from_chars(p + 5, p + 7, m).ptr == p + 7 && std::from_chars(p + 8, p + 10, d).ptr == p + 10;
    if (!shaped || !IsValidDate(y, m, d)) UsageError(std::string(opt) + " wants a date YYYY-MM-DD");
    return EncodeDate(y, m, d);
}

struct Options {
    std::string log;
    TDateTime start = 0;
    TDateTime end = 0;
    int days = 0;
    int threads = 0;  // 0: the parser's own choice
    int runs = 5;
};

Options ParseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const auto next = [&]() -> std::string_view {
            if (i + 1 >= argc) UsageError(std::string(arg) + " needs a value");
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (arg == "--start") {
            o.start = ParseIsoDate(arg, next());
        } else if (arg == "--end") {
            o.end = ParseIsoDate(arg, next());
        } else if (arg == "--days") {
            o.days = ParseWhole(arg, next(), 0, 2000);
        } else if (arg == "--threads") {
            o.threads = ParseWhole(arg, next(), 0, 1024);
        } else if (arg == "--runs") {
            o.runs = ParseWhole(arg, next(), 1, 1000);
        } else if (arg.size() > 1 && arg[0] == '-') {
            UsageError(std::string("unknown option ").append(arg));
        } else if (o.log.empty()) {
            o.log = std::string(arg);
        } else {
            UsageError("one LOG only");
        }
    }
    if (o.log.empty()) UsageError("no LOG given");
    return o;
}

// Peak resident memory of this process so far, in KiB.
long PeakRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = ParseOptions(argc, argv);
    try {
        const Locale locale = Locale::Default();
        TAlSiteList sites;
        int faulty = 0;
        TBrelLogParser parser(locale, [&faulty](const std::string&, const std::string&) {
            ++faulty;
            return true;  // as kelvane-report --on-error continue
        });
        if (options.threads != 0) parser.SetParallelism(options.threads);

        // The load: reading, sorting and summaries (ParseFile ends with UpdateSummaries).
        const auto loadStart = Clock::now();
        parser.ParseFile(options.log, sites);
        const double loadSeconds = Seconds(Clock::now() - loadStart);
        const long loadRss = PeakRssKiB();

        // The log's own period, for the filter when none was given.
        long long attempts = 0;
        long long units = 0;
        long long events = 0;
        int busiest = 0;
        TDateTime first = std::numeric_limits<TDateTime>::max();
        TDateTime last = 0;
        for (int i = 0; i < sites.Count(); ++i) {
            const TAlSite* site = sites.SiteAt(i);
            attempts += site->ConnCount();
            busiest = std::max(busiest, site->ConnCount());
            units += site->UnitCount();
            for (int u = 0; u < site->UnitCount(); ++u) {
                events += site->UnitAt(u)->Alarms().Count() + site->UnitAt(u)->Trips().Count();
            }
            if (site->ConnCount() > 0) {
                first = std::min(first, site->ConnAt(0).Time);
                last = std::max(last, site->LastAttempt);
            }
        }
        if (attempts == 0) first = last = 0;
        const TDateTime start = options.start != 0 ? options.start : DateOf(first);
        const TDateTime end = options.end != 0 ? options.end : DateOf(last);

        // Refresh as the command line does it: the filter with End plus one day, then the tree rows.
        double refreshSeconds = std::numeric_limits<double>::max();
        std::size_t rows = 0;
        for (int run = 0; run < options.runs; ++run) {
            const auto t0 = Clock::now();
            sites.SetFilter(start, end + 1, options.days);
            const std::vector<TreeRow> tree = BuildTreeRows(sites, locale);
            rows = tree.size();
            refreshSeconds = std::min(refreshSeconds, Seconds(Clock::now() - t0));
        }

        std::printf("log %s\n", options.log.c_str());
        std::printf("start %s\n", FormatDateByPattern("yyyy-mm-dd", start).c_str());
        std::printf("end %s\n", FormatDateByPattern("yyyy-mm-dd", end).c_str());
        std::printf("days %d\n", options.days);
        std::printf("load_seconds %.3f\n", loadSeconds);
        std::printf("refresh_seconds %.4f\n", refreshSeconds);
        std::printf("refresh_runs %d\n", options.runs);
        std::printf("sites %d\n", sites.Count());
        std::printf("attempts %lld\n", attempts);
        std::printf("busiest_site_attempts %d\n", busiest);
        std::printf("units %lld\n", units);
        std::printf("events %lld\n", events);
        std::printf("tree_rows %zu\n", rows);
        std::printf("faulty_lines %d\n", faulty);
        std::printf("load_peak_rss_kib %ld\n", loadRss);
        std::printf("peak_rss_kib %ld\n", PeakRssKiB());
        return std::fflush(stdout) == 0 ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_load: %s\n", e.what());
        return 1;
    }
}
