// bench_core: micro-benchmarks of the core's hot paths, each reporting bytes or items per second.
//
// The log text is made in memory by a small generator of its own (the same shapes of lines as
// kelvane-genlog writes), so the figures do not depend on a file or on the page cache.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "log/BrelLogParser.h"
#include "log/LineReader.h"
#include "model/AlarmSite.h"
#include "model/SiteTree.h"
#include "platform/CommaText.h"
#include "platform/DateTime.h"
#include "platform/Locale.h"

namespace {

using namespace kelvane;

// A small, fixed random stream (xorshift64*), the same on every platform.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ULL + 1) {}
    std::uint64_t Next() {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return state_ * 0x2545F4914F6CDD1DULL;
    }
    // A whole number in [0, n).
    std::uint32_t Below(std::uint32_t n) {
        return static_cast<std::uint32_t>(((Next() >> 32) * std::uint64_t{n}) >> 32);
    }

private:
    std::uint64_t state_;
};

constexpr const char* kTowns[] = {"Ashford", "Barnsley", "Carlisle",  "Kings Lynn", "Doncaster", "Exeter",
                                  "Falkirk", "Grantham", "Harrogate", "Ipswich",    "Kendal",    "Lincoln",
                                  "Oldham",  "Penrith",  "Redruth",   "St Albans",  "Taunton",   "Yeovil"};
constexpr const char* kAlarmNames[] = {"SENSOR FAILURE", "LOW TEMPERATURE", "HIGH TEMPERATURE",
                                       "MAINS FAILURE",  "TRIP FAILURE",    "BATTERY LOW"};

// The parts one after another in one string.
std::string Cat(std::initializer_list<std::string_view> parts) {
    std::string out;
    for (const std::string_view part : parts) out += part;
    return out;
}

// The name of site number index: a town, and beyond the list of towns a number after it.
std::string SiteName(std::size_t index) {
    std::string name = kTowns[index % std::size(kTowns)];
    if (index >= std::size(kTowns)) name += Cat({" ", std::to_string(index / std::size(kTowns) + 1)});
    return name;
}

void AppendTwo(std::string& out, int v) {
    out += static_cast<char>('0' + v / 10);
    out += static_cast<char>('0' + v % 10);
}

// A polling log of about the given size: hourly rounds over the sites, each attempt a header,
// dialling, a link error now and then, unit alarms and trips, the time online and the hang-up.
std::string MakeLogText(std::size_t bytes, int sites) {
    std::string out;
    out.reserve(bytes + 4096);
    Random random(42);
    std::vector<std::string> paths;
    for (int s = 0; s < sites; ++s)
        paths.push_back(Cat({"D:\\Logs\\", SiteName(static_cast<std::size_t>(s)), "\\"}));
    for (std::int64_t round = 0; out.size() < bytes; ++round) {
        for (int s = 0; s < sites && out.size() < bytes; ++s) {
            const std::int64_t t = round * 3600 + s * 3600 / sites;
            const std::int64_t day = t / 86400;
            const auto sod = static_cast<int>(t % 86400);
            // Days counted from 1 September 2006; a month of 28 days keeps the dates simple and valid.
            const int mday = static_cast<int>(day % 28) + 1;
            const int month = static_cast<int>(day / 28 % 12) + 1;
            const int year = 2006 + static_cast<int>(day / (28 * 12));
            out += "*** [0001] ";
            AppendTwo(out, mday);
            out += '/';
            AppendTwo(out, month);
            out += '/';
            out += std::to_string(year);
            out += ' ';
            AppendTwo(out, sod / 3600);
            out += ':';
            AppendTwo(out, sod / 60 % 60);
            out += ':';
            AppendTwo(out, sod % 60);
            out += " Site: ";
            out += paths[static_cast<std::size_t>(s)];
            out += "\nDialling 01632 960555\n";
            if (random.Below(20) == 0) {
                out += "Portix Error: TAPI: Couldn't connect call\nHanging up\n\n";
                continue;
            }
            out += "Connected 9600 baud\n";
            for (int unit = 1; unit <= 6; ++unit) {
                if (random.Below(20) == 0) {
                    out += Cat({"Unit ", std::to_string(unit), " alarms: \"",
                                kAlarmNames[random.Below(std::size(kAlarmNames))], "\"\n"});
                }
                if (random.Below(33) == 0) out += Cat({"Unit ", std::to_string(unit), " trips: 0004\n"});
            }
            out += Cat({"Log download complete\nOnline: ", std::to_string(35 + random.Below(385)),
                        "\nHanging up\n\n"});
        }
    }
    return out;
}

const std::string& LogText() {
    static const std::string text = MakeLogText(std::size_t{8} << 20, 200);
    return text;
}

// ---- Line reading and classification ----

// Reads, classifies and records a whole log held in memory, then sorts and summarises it.
void BM_ParseText(benchmark::State& state) {
    const std::string& text = LogText();
    for (auto _ : state) {
        auto sites = std::make_unique<TAlSiteList>();
        TBrelLogParser parser(Locale::Default());
        parser.ParseText(text, *sites);
        benchmark::DoNotOptimize(sites->Count());
        state.PauseTiming();
        sites.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_ParseText)->Unit(benchmark::kMillisecond);

// Splits the same log into its lines and nothing else.
void BM_LineReader(benchmark::State& state) {
    const std::string& text = LogText();
    std::int64_t lines = 0;
    for (auto _ : state) {
        LineReader reader{std::string_view(text)};
        std::string_view line;
        while (reader.Next(line)) {
            benchmark::DoNotOptimize(line.data());
            ++lines;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(text.size()));
    state.SetItemsProcessed(lines);
}
BENCHMARK(BM_LineReader)->Unit(benchmark::kMillisecond);

// ---- Header date and site name ----

void BM_ParseDateTime(benchmark::State& state) {
    const Locale locale = Locale::Default();
    const std::string_view text = "17/11/2006 09:33:49";
    for (auto _ : state) {
        TDateTime value = 0;
        benchmark::DoNotOptimize(locale.ParseDateTime(text, value));
        benchmark::DoNotOptimize(value);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_ParseDateTime);

// Site header lines only, naming state.range(0) sites in turn (1: the same site every time).
void BM_SiteHeaderLines(benchmark::State& state) {
    const auto siteCount = static_cast<std::size_t>(state.range(0));
    constexpr std::size_t kLines = 20000;
    std::string text;
    for (std::size_t i = 0; i < kLines; ++i) {
        text += Cat({"*** [0042] 17/11/2006 09:33:49 Site: D:\\Logs\\", SiteName(i % siteCount), "\\\n"});
    }
    for (auto _ : state) {
        auto sites = std::make_unique<TAlSiteList>();
        TBrelLogParser parser(Locale::Default());
        parser.ParseText(text, *sites);
        benchmark::DoNotOptimize(sites->Count());
        state.PauseTiming();
        sites.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kLines));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_SiteHeaderLines)->Arg(1)->Arg(64)->Unit(benchmark::kMicrosecond);

// ---- Comma text ----

constexpr std::string_view kUnitAlarms = R"("SENSOR FAILURE","LOW TEMPERATURE","HIGH TEMPERATURE")";

void BM_SplitCommaText(benchmark::State& state) {
    std::int64_t items = 0;
    for (auto _ : state) {
        const StringList list = SplitCommaText(kUnitAlarms);
        items += static_cast<std::int64_t>(list.size());
        benchmark::DoNotOptimize(list.data());
    }
    state.SetItemsProcessed(items);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kUnitAlarms.size()));
}
BENCHMARK(BM_SplitCommaText);

void BM_ForEachCommaItem(benchmark::State& state) {
    std::int64_t items = 0;
    for (auto _ : state) {
        ForEachCommaItem(kUnitAlarms, [&](std::string_view item) {
            benchmark::DoNotOptimize(item.data());
            ++items;
        });
    }
    state.SetItemsProcessed(items);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kUnitAlarms.size()));
}
BENCHMARK(BM_ForEachCommaItem);

// ---- Event merge ----

constexpr int kEventUnits = 8;
constexpr TDateTime kFirstEvent = 39000.0;  // late 2006
constexpr TDateTime kMinute = 1.0 / 1440.0;

// state.range(0) events spread over the units, one minute apart, in time order.
void AddEvents(TAlSite& site, std::int64_t count) {
    for (std::int64_t i = 0; i < count; ++i) {
        const auto unit = static_cast<std::int32_t>(i % kEventUnits) + 1;
        site.AddUnitAlarm(unit, 1u << (i % 16), kFirstEvent + static_cast<double>(i / kEventUnits) * kMinute);
    }
}

// New events arriving in time order, as a log delivers them.
void BM_AddUnitAlarmInOrder(benchmark::State& state) {
    for (auto _ : state) {
        TAlSite site("Alpha", "D:\\Logs\\Alpha\\");
        AddEvents(site, state.range(0));
        benchmark::DoNotOptimize(site.UnitCount());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_AddUnitAlarmInOrder)->RangeMultiplier(8)->Range(1 << 10, 1 << 19);

// The same events once more (a log added twice): each one merges into an event already there.
void BM_AddUnitAlarmReadd(benchmark::State& state) {
    TAlSite site("Alpha", "D:\\Logs\\Alpha\\");
    AddEvents(site, state.range(0));
    for (auto _ : state) {
        AddEvents(site, state.range(0));
        benchmark::DoNotOptimize(site.UnitCount());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_AddUnitAlarmReadd)->RangeMultiplier(8)->Range(1 << 10, 1 << 19);

// The same events again, newest first: no event settles at the end of its list.
void BM_AddUnitAlarmReaddBackwards(benchmark::State& state) {
    TAlSite site("Alpha", "D:\\Logs\\Alpha\\");
    AddEvents(site, state.range(0));
    for (auto _ : state) {
        for (std::int64_t i = state.range(0); i-- > 0;) {
            const auto unit = static_cast<std::int32_t>(i % kEventUnits) + 1;
            site.AddUnitAlarm(unit, 1u << (i % 16),
                              kFirstEvent + static_cast<double>(i / kEventUnits) * kMinute);
        }
        benchmark::DoNotOptimize(site.UnitCount());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_AddUnitAlarmReaddBackwards)->RangeMultiplier(8)->Range(1 << 10, 1 << 19);

// ---- Site lookup ----

// Looks names up among state.range(0) sites, in the letter case of the log, upper and lower case,
// and one in eight of them absent.
void BM_FindSite(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    TAlSiteList sites;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string name = SiteName(i);
        sites.AddSite(name, Cat({"D:\\Logs\\", name, "\\"}));
    }
    std::vector<std::string> queries;
    Random random(7);
    for (std::size_t i = 0; i < 4096; ++i) {
        std::string name = SiteName(random.Below(static_cast<std::uint32_t>(count)));
        switch (i % 8) {
            case 1:
            case 4:
                std::transform(name.begin(), name.end(), name.begin(), [](char c) {
                    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
                });
                break;
            case 2:
            case 5:
                std::transform(name.begin(), name.end(), name.begin(), [](char c) {
                    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                });
                break;
            case 7:
                name += " North";  // no such site
                break;
            default:
                break;
        }
        queries.push_back(std::move(name));
    }
    std::size_t next = 0;
    std::int64_t found = 0;
    for (auto _ : state) {
        const TAlSite* site = sites.FindSite(queries[next]);
        found += site != nullptr ? 1 : 0;
        benchmark::DoNotOptimize(site);
        next = (next + 1) % queries.size();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
    state.counters["found"] =
        benchmark::Counter(static_cast<double>(found) / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_FindSite)->Arg(2000)->Arg(100000);

// ---- Filter and tree rows ----

// A loaded model of 2,000 sites with 90 days of hourly attempts (one in twenty failed) and
// their units' alarms and trips, sorted and summarised as a load leaves it.
TAlSiteList& LoadedModel() {
    static const std::unique_ptr<TAlSiteList> model = [] {
        auto sites = std::make_unique<TAlSiteList>();
        Random random(11);
        constexpr int kSites = 2000;
        constexpr int kAttempts = 90 * 24;
        for (int s = 0; s < kSites; ++s) {
            const std::string name = SiteName(static_cast<std::size_t>(s));
            TAlSite* site = sites->AddSite(name, Cat({"D:\\Logs\\", name, "\\"}));
            const int units = 1 + static_cast<int>(random.Below(8));
            for (int a = 0; a < kAttempts; ++a) {
                const TDateTime t = kFirstEvent + (a + static_cast<double>(s) / kSites) / 24.0;
                TAlConn conn(t);
                if (random.Below(20) == 0) {
                    conn.Status = 1u << 3;
                    site->AddConn(conn);
                    continue;
                }
                conn.OnlineSecs = 35 + random.Below(385);
                site->AddConn(conn);
                for (int u = 1; u <= units; ++u) {
                    if (random.Below(20) == 0) site->AddUnitAlarm(u, 1u << random.Below(16), t);
                    if (random.Below(33) == 0) site->AddUnitTrip(u, 1u << random.Below(16), t);
                }
            }
        }
        sites->UpdateSummaries();
        return sites;
    }();
    return *model;
}

// What Refresh costs in the core: the filter over the whole period (Days 0) or the last
// state.range(0) days of each site, then every tree row's texts.
void BM_SetFilterAndTreeRows(benchmark::State& state) {
    TAlSiteList& sites = LoadedModel();
    const Locale locale = Locale::Default();
    const auto days = static_cast<std::int32_t>(state.range(0));
    std::int64_t rows = 0;
    for (auto _ : state) {
        sites.SetFilter(kFirstEvent, kFirstEvent + 91, days);
        const std::vector<TreeRow> tree = BuildTreeRows(sites, locale);
        rows += static_cast<std::int64_t>(tree.size());
        benchmark::DoNotOptimize(tree.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * sites.Count());
    state.counters["rows"] =
        benchmark::Counter(static_cast<double>(rows) / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_SetFilterAndTreeRows)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The filter alone, over the whole period.
void BM_SetFilter(benchmark::State& state) {
    TAlSiteList& sites = LoadedModel();
    for (auto _ : state) {
        sites.SetFilter(kFirstEvent, kFirstEvent + 91, 0);
        benchmark::DoNotOptimize(sites.FilterEnd);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * sites.Count());
}
BENCHMARK(BM_SetFilter)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
