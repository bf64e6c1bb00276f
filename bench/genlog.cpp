// kelvane-genlog: writes a synthetic site polling log for benchmarks, examples and fuzz seeds.
//
// The output imitates the communications program's log: one block of lines per polling attempt,
// opened by a site header line, followed by dialling noise, link errors, the time online and the
// alarms and trips the site's units reported. The same options and seed always give the same bytes.
// Standard library only, so it builds anywhere the core builds.

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace {

// ---------------------------------------------------------------------------------------------
// Texts the log may contain.

// Long alarm names in code order (bit 1 << index), with how often each one turns up.
struct AlarmName {
    const char* name;
    unsigned weight;
};
constexpr AlarmName kAlarms[] = {
    {"SENSOR FAILURE", 10}, {"SENSOR VARIANCE", 4}, {"LOW TEMPERATURE", 8}, {"HIGH TEMPERATURE", 10},
    {"NO SENSORS", 1},      {"TRIP FAILURE", 4},    {"FEED FAILURE", 3},    {"WATER FAILURE", 2},
    {"MAINS FAILURE", 5},   {"OUTPUT FAILURE", 2},  {"MANUAL OVERRIDE", 3}, {"SYSTEM ERROR", 2},
    {"OUTPUT TIMEOUT", 2},  {"BATTERY LOW", 3},     {"NETWORK FAILURE", 3}, {"SYSTEM RESET", 4},
};

// Older controllers report three alarms under other names.
const char* AliasOf(int alarmIndex) {
    switch (alarmIndex) {
        case 2:
            return "LOW READING";
        case 3:
            return "HIGH READING";
        case 11:
            return "CONFIG ERROR";
        default:
            return nullptr;
    }
}

// Link-error texts that mean the attempt failed, with their weights.
struct LinkError {
    const char* text;
    unsigned weight;
};
constexpr LinkError kFatalErrors[] = {
    {"TAPI: Couldn't connect call", 50},
    {"TAPI: Couldn't set config for device", 8},
    {"TAPI: Couldn't read config file", 4},
    {"Corvane link: User abort", 8},
    {"Corvane link: Link reset failure", 14},
    {"Portix Unknown Error", 10},  // holds none of the searched texts
    {"Modem not responding", 6},   // an unknown text as well
};
// Link-error texts that still let the attempt count as a connection; the first two end the download.
constexpr LinkError kMinorErrors[] = {
    {"Log download failed: Link exception", 4},
    {"Log download failed: Log corruption", 3},
    {"Corvane link: WriteFile failure", 2},
    {"Corvane link: Read/write op failure", 3},
};
constexpr std::size_t kDownloadFailures = 2;

// Towns for the site names, separated by commas; the order is deliberately not alphabetical.
constexpr std::string_view kPlaceList =
    "Ashford,Barnsley,Carlisle,Kings Lynn,Doncaster,Exeter,Falkirk,Grantham,Harrogate,"
    "Ipswich,Milton Keynes,Kendal,Lincoln,Macclesfield,Newark,Oldham,Penrith,Redruth,"
    "St Albans,Taunton,Uttoxeter,Wakefield,Yeovil,Bishops Stortford,Ayr,Bangor,Chester,"
    "Dundee,Ely,Fort William,Gloucester,Hexham,Inverness,Jarrow,Keswick,Ledbury,Morpeth,"
    "Northallerton,Oban,Perth,Ripon,Stafford,Thirsk,Ulverston,Warminster,Whitby,Barrow,"
    "Buxton,Castle Douglas,Dover,Evesham,Frome,Goole,Hereford";

// Folders the polling program keeps its sites under.
constexpr const char* kSiteRoots[] = {"D:\\Logs\\",
                                      "D:\\Logs\\",
                                      "D:\\Logs\\",
                                      "C:\\Portix\\Sites\\",
                                      "\\\\POLLSRV\\Logs\\North\\",
                                      "\\\\POLLSRV\\Logs\\South\\"};

constexpr const char* kBauds[] = {"2400", "9600", "14400", "19200", "33600"};

// ---------------------------------------------------------------------------------------------
// Random numbers: xoshiro256** seeded by splitmix64, so the stream is the same on every platform.

class Rng {
public:
    explicit Rng(std::uint64_t seed) {
        for (auto& word : s_) {
            seed += 0x9E3779B97F4A7C15ULL;
            std::uint64_t z = seed;
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
            word = z ^ (z >> 31);
        }
    }

    std::uint64_t Next() {
        const std::uint64_t result = Rotl(s_[1] * 5, 7) * 9;
        const std::uint64_t t = s_[1] << 17;
        s_[2] ^= s_[0];
        s_[3] ^= s_[1];
        s_[1] ^= s_[2];
        s_[0] ^= s_[3];
        s_[2] ^= t;
        s_[3] = Rotl(s_[3], 45);
        return result;
    }

    // A whole number in [0, n); n at most 2^32.
    std::uint32_t Below(std::uint64_t n) { return static_cast<std::uint32_t>(((Next() >> 32) * n) >> 32); }

    // A whole number in [lo, hi].
    int Between(int lo, int hi) {
        return lo +
               static_cast<int>(Below(static_cast<std::uint64_t>(static_cast<std::int64_t>(hi) - lo + 1)));
    }

    // True with the probability whose threshold came from Threshold().
    bool Chance(std::uint64_t threshold) { return Next() < threshold; }

    // The comparison value for a probability p in [0, 1].
    static std::uint64_t Threshold(double p) {
        if (p <= 0.0) return 0;
        if (p >= 1.0) return std::numeric_limits<std::uint64_t>::max();
        return static_cast<std::uint64_t>(p * 18446744073709551616.0);
    }

    // An index drawn by weight.
    template <typename Row, std::size_t N>
    std::size_t Weighted(const Row (&rows)[N]) {
        unsigned total = 0;
        for (const Row& row : rows) total += row.weight;
        std::uint32_t pick = Below(total);
        for (std::size_t i = 0; i < N; ++i) {
            if (pick < rows[i].weight) return i;
            pick -= rows[i].weight;
        }
        return N - 1;
    }

private:
    static std::uint64_t Rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    std::uint64_t s_[4];
};

// ---------------------------------------------------------------------------------------------
// Civil dates (days since 1970-01-01), after the well-known era-based algorithms.

std::int64_t DaysFromCivil(int y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return static_cast<std::int64_t>(era) * 146097 + doe - 719468;
}

void CivilFromDays(std::int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<int>(z - era * 146097);
    const int yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<int>(yoe + era * 400) + (m <= 2 ? 1 : 0);
}

bool IsValidDate(int y, int m, int d) {
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
    static constexpr int kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return d <= kMonthDays[m - 1] + (m == 2 && leap ? 1 : 0);
}

// ---------------------------------------------------------------------------------------------
// Output: lines are built in one large buffer that goes out in large blocks.

class Output {
public:
    Output(std::FILE* file, bool crlf) : file_(file), eol_(crlf ? "\r\n" : "\n") { buf_.resize(kCapacity); }

    void Text(std::string_view text) {
        std::memcpy(buf_.data() + used_, text.data(), text.size());
        used_ += text.size();
    }
    void Char(char c) { buf_[used_++] = c; }

    // Two digits, zero-padded.
    void Two(int v) {
        buf_[used_++] = static_cast<char>('0' + v / 10);
        buf_[used_++] = static_cast<char>('0' + v % 10);
    }

    void Number(std::uint64_t v) {
        char* p = buf_.data() + used_;
        used_ = static_cast<std::size_t>(std::to_chars(p, p + 20, v).ptr - buf_.data());
    }

    // Four upper-case hexadecimal digits.
    void Hex4(unsigned v) {
        static constexpr char kDigits[] = "0123456789ABCDEF";
        for (int shift = 12; shift >= 0; shift -= 4) buf_[used_++] = kDigits[(v >> shift) & 0xF];
    }

    // Ends the line; flushes when the buffer is nearly full. Lines are far shorter than the slack.
    void Eol() {
        Text(eol_);
        if (used_ >= kFlushAt) Flush();
    }

    bool Flush() {
        if (used_ != 0 && std::fwrite(buf_.data(), 1, used_, file_) != used_) failed_ = true;
        written_ += used_;
        used_ = 0;
        return !failed_;
    }

    std::uint64_t BytesOut() const { return written_ + used_; }
    bool Failed() const { return failed_; }

private:
    static constexpr std::size_t kFlushAt = std::size_t{8} << 20;
    static constexpr std::size_t kCapacity = kFlushAt + (64 << 10);

    std::FILE* file_;
    std::string_view eol_;
    std::vector<char> buf_;
    std::size_t used_ = 0;
    std::uint64_t written_ = 0;
    bool failed_ = false;
};

// ---------------------------------------------------------------------------------------------
// Options.

struct Options {
    int sites = 30;
    int units = 8;
    std::int64_t days = 90;
    bool daysGiven = false;
    int intervalMinutes = 240;
    int startYear = 2006, startMonth = 9, startDay = 2;
    double errorRate = 0.05;
    double malformedRate = 0.0;
    double alarmRate = 0.05;  // chance per unit and attempt of an alarms line (trips: 0.6 of it)
    int retired = 0;          // sites no longer polled after the first two thirds of the days
    int silent = 0;           // sites that never connect
    bool crlf = false;
    std::uint64_t seed = 1;
    double sizeMb = 0.0;  // 0: no size limit
    std::string output;   // empty: standard output
};

constexpr const char* kUsage =
    "Usage: kelvane-genlog [options]\n"
    "Writes a synthetic site polling log, the same bytes for the same options and seed.\n"
    "\n"
    "  --sites N              number of sites (default 30)\n"
    "  --units N              most controller units per site, 0 for none (default 8)\n"
    "  --days N               days of polling (default 90; unlimited when only --size-mb is given)\n"
    "  --interval-minutes N   minutes between polling rounds (default 240)\n"
    "  --start YYYY-MM-DD     first day of polling (default 2006-09-02)\n"
    "  --error-rate F         chance that an attempt fails with link errors, 0 to 1 (default 0.05);\n"
    "                         a tenth of it is each site's daily chance of an outage of 2 to 6 days\n"
    "                         in which every attempt fails; 0.4 of it is the chance of a minor\n"
    "                         link error on a good attempt\n"
    "  --alarm-rate F         chance per unit and attempt of an alarms line (default 0.05; trips 0.6 of it)\n"
    "  --retired N            the last N sites (before the silent ones) stop being polled after half of the days\n"
    "  --silent N             the last N sites never connect\n"
    "  --malformed-rate F     chance after each data line of an extra faulty line, 0 to 1 (default 0);\n"
    "                         above 0 the file also starts with a link-error line before any header\n"
    "  --crlf                 end lines with CR LF (default LF)\n"
    "  --seed N               random seed (default 1)\n"
    "  --size-mb N            stop after the attempt that passes about N MiB\n"
    "  -o, --output FILE      write to FILE (default standard output)\n"
    "  --help                 show this text\n";

[[noreturn]] void UsageError(const std::string& why) {
    std::fprintf(stderr, "kelvane-genlog: %s\nTry 'kelvane-genlog --help'.\n", why.c_str());
    std::exit(2);
}

template <typename T>
T ParseInt(const std::string& opt, std::string_view text, T lo, T hi) {
    T value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < lo || value > hi) {
        UsageError(opt + " wants a whole number from " + std::to_string(lo) + " to " + std::to_string(hi) +
                   ", not '" + std::string(text) + "'");
    }
    return value;
}

double ParseDouble(const std::string& opt, std::string_view text, double lo, double hi) {
    const std::string copy(text);
    char* end = nullptr;
    const double value = std::strtod(copy.c_str(), &end);
    if (copy.empty() || *end != '\0' || !(value >= lo && value <= hi)) {
        char range[64];
        std::snprintf(range, sizeof range, " wants a number from %g to %g, not '", lo, hi);
        UsageError(opt + range + copy + "'");
    }
    return value;
}

Options ParseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool hasValue = false;
        if (arg.rfind("--", 0) == 0) {
            const auto eq = arg.find('=');
            if (eq != std::string::npos) {
                value = arg.substr(eq + 1);
                arg.resize(eq);
                hasValue = true;
            }
        }
        const auto next = [&]() -> std::string_view {
            if (hasValue) return value;
            if (i + 1 >= argc) UsageError(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (arg == "--sites") {
            o.sites = ParseInt(arg, next(), 1, 1'000'000);
        } else if (arg == "--units") {
            o.units = ParseInt(arg, next(), 0, 999);
        } else if (arg == "--days") {
            o.days = ParseInt<std::int64_t>(arg, next(), 1, 3'000'000);
            o.daysGiven = true;
        } else if (arg == "--interval-minutes") {
            o.intervalMinutes = ParseInt(arg, next(), 1, 525'600);
        } else if (arg == "--start") {
            const std::string_view text = next();
            int y = 0, m = 0, d = 0;
            if (text.size() != 10 || text[4] != '-' || text[7] != '-' ||
                std::from_chars(text.data(), text.data() + 4, y).ptr != text.data() + 4 ||
                std::from_chars(text.data() + 5, text.data() + 7, m).ptr != text.data() + 7 ||
                std::from_chars(text.data() + 8, text.data() + 10, d).ptr != text.data() + 10 ||
                !IsValidDate(y, m, d)) {
                UsageError("--start wants a date YYYY-MM-DD, not '" + std::string(text) + "'");
            }
            o.startYear = y;
            o.startMonth = m;
            o.startDay = d;
        } else if (arg == "--error-rate") {
            o.errorRate = ParseDouble(arg, next(), 0.0, 1.0);
        } else if (arg == "--malformed-rate") {
            o.malformedRate = ParseDouble(arg, next(), 0.0, 1.0);
        } else if (arg == "--alarm-rate") {
            o.alarmRate = ParseDouble(arg, next(), 0.0, 1.0);
        } else if (arg == "--retired") {
            o.retired = ParseInt<int>(arg, next(), 0, std::numeric_limits<int>::max());
        } else if (arg == "--silent") {
            o.silent = ParseInt<int>(arg, next(), 0, std::numeric_limits<int>::max());
        } else if (arg == "--crlf" && !hasValue) {
            o.crlf = true;
        } else if (arg == "--seed") {
            o.seed = ParseInt<std::uint64_t>(arg, next(), 0, std::numeric_limits<std::uint64_t>::max());
        } else if (arg == "--size-mb") {
            o.sizeMb = ParseDouble(arg, next(), 0.0, 1e9);
        } else if (arg == "-o" || arg == "--output") {
            o.output = std::string(next());
            if (o.output.empty()) UsageError(arg + " needs a file name");
        } else {
            UsageError("unknown argument '" + std::string(argv[i]) + "'");
        }
    }
    return o;
}

// ---------------------------------------------------------------------------------------------
// The sites and the writing of their polling attempts.

struct Site {
    std::string pathTail;  // " Site: " and the path, up to the end of the header line
    std::string path;      // the path alone, for faulty header lines
    std::string name;
    std::string dialLine;  // "Dialling ..." or "Connecting ..."
    std::string connectLine;
    bool lan = false;
    std::vector<int> units;            // unit numbers, ascending
    std::uint64_t alarmThreshold = 0;  // per unit and attempt
    std::uint64_t tripThreshold = 0;
    std::int64_t lastDay = -1;     // day of the last attempt, for outage rolls
    std::int64_t outageUntil = 0;  // first day after the current outage
    std::size_t outageError = 0;   // index into kFatalErrors during an outage
    std::int64_t lastPolledDay = std::numeric_limits<std::int64_t>::max();
    bool neverConnects = false;
};

// The towns of kPlaceList one by one.
std::vector<std::string_view> Places() {
    std::vector<std::string_view> places;
    for (std::size_t pos = 0; pos <= kPlaceList.size();) {
        const std::size_t comma = std::min(kPlaceList.find(',', pos), kPlaceList.size());
        places.push_back(kPlaceList.substr(pos, comma - pos));
        pos = comma + 1;
    }
    return places;
}

// A site name; beyond the list of towns, the towns again with a number.
std::string SiteName(const std::vector<std::string_view>& places, std::size_t index) {
    std::string name(places[index % places.size()]);
    if (index >= places.size()) name += " " + std::to_string(index / places.size() + 1);
    return name;
}

std::vector<Site> MakeSites(const Options& o, Rng& rng) {
    std::vector<Site> sites(static_cast<std::size_t>(o.sites));
    const std::vector<std::string_view> places = Places();
    for (std::size_t i = 0; i < sites.size(); ++i) {
        Site& s = sites[i];
        s.name = SiteName(places, i);
        s.path = std::string(kSiteRoots[rng.Below(std::size(kSiteRoots))]) + s.name + "\\";
        s.pathTail = " Site: " + s.path;
        s.lan = rng.Below(4) == 0;
        if (s.lan) {
            s.dialLine = "Connecting 192.0.2." + std::to_string(rng.Between(2, 254)) + " port 4001";
            s.connectLine = "Connected";
        } else {
            s.dialLine = "Dialling 01632 960" + std::to_string(rng.Between(100, 999));
            s.connectLine = std::string("Connected ") + kBauds[rng.Below(std::size(kBauds))] + " baud";
        }
        const int unitCount = o.units == 0 ? 0 : rng.Between(1, o.units);
        int number = 0;
        for (int u = 0; u < unitCount; ++u) {
            number += rng.Below(8) == 0 ? 2 : 1;  // now and then a gap in the numbering
            s.units.push_back(number);
        }
        // Some sites are noisier than others: 0.25 to 2.5 times the usual alarm rate.
        const double temper = 0.25 + rng.Below(10) * 0.25;
        s.alarmThreshold = Rng::Threshold(std::min(1.0, o.alarmRate * temper));
        s.tripThreshold = Rng::Threshold(std::min(1.0, o.alarmRate * 0.6 * temper));
    }
    // The last sites of the list: first those never reached, before them those taken out of service.
    const std::size_t n = sites.size();
    for (std::size_t k = 0; k < n && k < static_cast<std::size_t>(o.silent); ++k) sites[n - 1 - k].neverConnects = true;
    for (std::size_t k = static_cast<std::size_t>(o.silent); k < n && k < static_cast<std::size_t>(o.silent + o.retired); ++k) {
        sites[n - 1 - k].lastPolledDay = o.days / 2;
    }
    return sites;
}

class Generator {
public:
    Generator(const Options& o, Output& out)
        : o_(o),
          out_(out),
          rng_(o.seed),
          failThreshold_(Rng::Threshold(o.errorRate)),
          outageThreshold_(Rng::Threshold(o.errorRate * 0.1)),
          minorThreshold_(Rng::Threshold(o.errorRate * 0.4)),
          malformedThreshold_(Rng::Threshold(o.malformedRate)),
          startDays_(DaysFromCivil(o.startYear, o.startMonth, o.startDay)) {
        sites_ = MakeSites(o, rng_);
    }

    void Run() {
        const std::int64_t intervalSecs = std::int64_t{o_.intervalMinutes} * 60;
        const bool unlimitedDays = o_.sizeMb > 0 && !o_.daysGiven;
        // Stop before the year 10000, which no dd/mm/yyyy date can hold.
        const std::int64_t lastDay = DaysFromCivil(9999, 12, 31) - startDays_;
        const std::int64_t endSecs = (unlimitedDays ? lastDay + 1 : std::min(o_.days, lastDay + 1)) * 86400;
        const auto sizeLimit = static_cast<std::uint64_t>(o_.sizeMb * 1048576.0);
        // The sites of one round are polled one after another, spread over the interval.
        const std::int64_t spacing = intervalSecs / static_cast<std::int64_t>(sites_.size());
        const std::int64_t jitter = std::min<std::int64_t>(spacing / 2, 120);

        if (o_.malformedRate > 0) {
            // A link error with no header before it: the file was cut at its start.
            Indent();
            LinkErrorLine(kFatalErrors[0].text);
        }
        for (std::int64_t round = 0;; ++round) {
            const std::int64_t roundStart = round * intervalSecs;
            if (roundStart >= endSecs) return;
            for (Site& site : sites_) {
                const std::int64_t offset = static_cast<std::int64_t>(&site - sites_.data()) * spacing;
                const std::int64_t t =
                    roundStart + offset + (jitter > 0 ? rng_.Below(static_cast<std::uint64_t>(jitter)) : 0);
                if (t >= endSecs) break;
                if (t / 86400 > site.lastPolledDay) continue;
                Attempt(site, t);
                if (sizeLimit != 0 && out_.BytesOut() >= sizeLimit) return;
                if (out_.Failed()) return;
            }
        }
    }

private:
    // One polling attempt of a site at t seconds after the first midnight.
    void Attempt(Site& site, std::int64_t t) {
        SetTime(t);
        const std::int64_t day = t / 86400;
        if (day != site.lastDay) {
            site.lastDay = day;
            if (day >= site.outageUntil && rng_.Chance(outageThreshold_)) {
                site.outageUntil = day + rng_.Between(2, 6);
                site.outageError = rng_.Weighted(kFatalErrors);
            }
        }
        const bool inOutage = day < site.outageUntil;
        const bool failed = inOutage || site.neverConnects || rng_.Chance(failThreshold_);

        if (rng_.Below(64) == 0) Indent();
        HeaderStart();
        out_.Text(site.pathTail);
        out_.Eol();
        MaybeFaulty(site);

        Line(site.dialLine);
        if (failed) {
            const std::size_t first = inOutage ? site.outageError : rng_.Weighted(kFatalErrors);
            LinkErrorLine(kFatalErrors[first].text);
            MaybeFaulty(site);
            if (rng_.Below(4) == 0) {
                const std::size_t second = rng_.Weighted(kFatalErrors);
                if (second != first) {
                    LinkErrorLine(kFatalErrors[second].text);
                    MaybeFaulty(site);
                }
            }
            if (rng_.Below(2) == 0) {
                Line("Online: 0");
                MaybeFaulty(site);
            }
            Line(site.lan ? "Disconnected" : "Hanging up");
        } else {
            Line(site.connectLine);
            MaybeFaulty(site);
            bool downloaded = true;
            if (rng_.Chance(minorThreshold_)) {
                const std::size_t minor = rng_.Weighted(kMinorErrors);
                downloaded = minor >= kDownloadFailures;
                LinkErrorLine(kMinorErrors[minor].text);
                MaybeFaulty(site);
            }
            for (const int unit : site.units) {
                if (rng_.Chance(site.alarmThreshold)) {
                    AlarmsLine(unit);
                    MaybeFaulty(site);
                }
                if (rng_.Chance(site.tripThreshold)) {
                    TripsLine(unit);
                    MaybeFaulty(site);
                }
            }
            if (downloaded) Line("Log download complete");
            if (rng_.Below(10) == 0) Indent();
            out_.Text("Online: ");
            out_.Number(site.lan ? static_cast<std::uint64_t>(rng_.Between(4, 90))
                                 : static_cast<std::uint64_t>(rng_.Between(35, 420)));
            out_.Eol();
            MaybeFaulty(site);
            Line(site.lan ? "Disconnected" : "Hanging up");
        }
        const std::uint32_t gap = rng_.Below(16);
        if (gap < 5) {
            out_.Eol();
        } else if (gap == 5) {
            out_.Text(" \t ");  // a line of blanks only
            out_.Eol();
        }
    }

    // The time stamp of the current attempt, kept as text.
    void SetTime(std::int64_t t) {
        const std::int64_t day = t / 86400;
        if (day != dateDay_) {
            dateDay_ = day;
            CivilFromDays(startDays_ + day, year_, month_, mday_);
            char* p = date_;
            p[0] = static_cast<char>('0' + mday_ / 10);
            p[1] = static_cast<char>('0' + mday_ % 10);
            p[2] = '/';
            p[3] = static_cast<char>('0' + month_ / 10);
            p[4] = static_cast<char>('0' + month_ % 10);
            p[5] = '/';
            std::snprintf(p + 6, 5, "%04d", year_);
        }
        const auto sod = static_cast<int>(t % 86400);
        hour_ = sod / 3600;
        minute_ = sod / 60 % 60;
        second_ = sod % 60;
    }

    void WriteClock() {
        out_.Two(hour_);
        out_.Char(':');
        out_.Two(minute_);
        out_.Char(':');
        out_.Two(second_);
    }

    // "*** [0042] dd/mm/yyyy hh:mm:ss"; the bracketed field is a running attempt number, which
    // faulty headers do not advance, so good lines read the same with or without them.
    void HeaderStart(bool counted = true) {
        out_.Text("*** [");
        const auto seq = static_cast<unsigned>(sequence_ % 10000);
        if (counted) ++sequence_;
        out_.Two(static_cast<int>(seq / 100));
        out_.Two(static_cast<int>(seq % 100));
        out_.Text("] ");
        out_.Text(std::string_view(date_, 10));
        out_.Char(' ');
        WriteClock();
    }

    // Leading blanks or a tab on some lines; the reader skips them.
    void Indent() {
        switch (rng_.Below(3)) {
            case 0:
                out_.Text("  ");
                break;
            case 1:
                out_.Char('\t');
                break;
            default:
                out_.Text("    ");
                break;
        }
    }

    void Line(std::string_view text) {
        if (rng_.Below(10) == 0) Indent();
        out_.Text(text);
        out_.Eol();
    }

    // "Portix Error: <text>", now and then with the modem's clock in front.
    void LinkErrorLine(std::string_view text) {
        if (rng_.Below(10) == 0) Indent();
        if (rng_.Below(8) == 0) {
            WriteClock();
            out_.Char(' ');
        }
        out_.Text("Portix Error: ");
        out_.Text(text);
        out_.Eol();
    }

    // Unit N alarms: "NAME","NAME" with one to three different alarms.
    void AlarmsLine(int unit) {
        int picked[3];
        const int count = rng_.Below(8) == 0 ? 3 : rng_.Below(3) == 0 ? 2 : 1;
        int have = 0;
        while (have < count) {
            const auto index = static_cast<int>(rng_.Weighted(kAlarms));
            bool seen = false;
            for (int k = 0; k < have; ++k) seen = seen || picked[k] == index;
            if (!seen) picked[have++] = index;
        }
        if (rng_.Below(10) == 0) Indent();
        out_.Text("Unit ");
        out_.Number(static_cast<std::uint64_t>(unit));
        out_.Text(" alarms: ");
        for (int k = 0; k < count; ++k) {
            const char* alias = AliasOf(picked[k]);
            const char* name = alias != nullptr && rng_.Below(6) == 0 ? alias : kAlarms[picked[k]].name;
            if (k != 0) out_.Char(',');
            out_.Char('"');
            out_.Text(name);
            out_.Char('"');
        }
        out_.Eol();
    }

    // Unit N trips: XXXX with one or two trip bits (rarely none).
    void TripsLine(int unit) {
        unsigned bits = 0;
        const std::uint32_t shape = rng_.Below(20);
        if (shape != 0) {
            bits = 1u << rng_.Below(16);
            if (shape < 5) bits |= 1u << rng_.Below(16);
        }
        if (rng_.Below(10) == 0) Indent();
        out_.Text("Unit ");
        out_.Number(static_cast<std::uint64_t>(unit));
        out_.Text(" trips: ");
        out_.Hex4(bits);
        out_.Eol();
    }

    // Now and then one extra line of a kind the reader must reject.
    void MaybeFaulty(const Site& site) {
        if (malformedThreshold_ == 0 || !rng_.Chance(malformedThreshold_)) return;
        const int unit = site.units.empty() ? 1 : site.units[rng_.Below(site.units.size())];
        switch (rng_.Below(8)) {
            case 0: {  // a header whose date does not convert
                out_.Text("*** [9999] ");
                char bad[16];
                switch (rng_.Below(4)) {
                    case 0:
                        std::snprintf(bad, sizeof bad, "32/%02d/%04d", month_, year_);
                        break;
                    case 1:
                        std::snprintf(bad, sizeof bad, "%02d/13/%04d", mday_, year_);
                        break;
                    case 2:
                        std::snprintf(bad, sizeof bad, "%04d-%02d-%02d", year_, month_, mday_);
                        break;
                    default:
                        std::snprintf(bad, sizeof bad, "31/11/%04d", year_);
                        break;
                }
                out_.Text(bad);
                out_.Char(' ');
                WriteClock();
                out_.Text(site.pathTail);
                break;
            }
            case 1:  // a header without " Site"
                HeaderStart(false);
                if (rng_.Below(2) == 0) {
                    out_.Text(" Sit: ");
                    out_.Text(site.path);
                }
                break;
            case 2:  // a header whose path has no backslash
                HeaderStart(false);
                out_.Text(" Site: ");
                if (rng_.Below(2) == 0) {
                    out_.Text("D:/Logs/");
                    out_.Text(site.name);
                    out_.Char('/');
                } else {
                    out_.Text(site.name);
                }
                break;
            case 3:  // a unit line without its number
                out_.Text(rng_.Below(2) == 0 ? "Unit alarms: \"SENSOR FAILURE\"" : "Unit ? trips: 0004");
                break;
            case 4:  // an alarms line without a double quote
                out_.Text("Unit ");
                out_.Number(static_cast<std::uint64_t>(unit));
                out_.Text(rng_.Below(2) == 0 ? " alarms: SENSOR FAILURE, LOW TEMPERATURE" : " alarms: none");
                break;
            case 5: {  // an alarm name that is in no table
                static constexpr const char* kUnknown[] = {"\"DOOR OPEN\"", "\"DEFROST FAILURE\"",
                                                           "\"sensor failure\"", "\"HIGH TEMP ALARM\"",
                                                           "\"DOOR OPEN\",\"MAINS FAILURE\""};
                out_.Text("Unit ");
                out_.Number(static_cast<std::uint64_t>(unit));
                out_.Text(" alarms: ");
                out_.Text(kUnknown[rng_.Below(std::size(kUnknown))]);
                break;
            }
            case 6:  // a trips line without ": "
                out_.Text("Unit ");
                out_.Number(static_cast<std::uint64_t>(unit));
                out_.Text(rng_.Below(2) == 0 ? " trips 0005" : " trips:0005");
                break;
            default:  // a trips line without hexadecimal digits
                out_.Text("Unit ");
                out_.Number(static_cast<std::uint64_t>(unit));
                out_.Text(rng_.Below(2) == 0 ? " trips: none" : " trips: n/a");
                break;
        }
        out_.Eol();
    }

    const Options& o_;
    Output& out_;
    Rng rng_;
    std::vector<Site> sites_;
    std::uint64_t failThreshold_;
    std::uint64_t outageThreshold_;
    std::uint64_t minorThreshold_;
    std::uint64_t malformedThreshold_;
    std::int64_t startDays_;
    std::uint64_t sequence_ = 1;

    std::int64_t dateDay_ = -1;
    char date_[12] = {};
    int year_ = 0, month_ = 0, mday_ = 0;
    int hour_ = 0, minute_ = 0, second_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    const Options options = ParseOptions(argc, argv);
    std::FILE* file = stdout;
    if (!options.output.empty()) {
        file = std::fopen(options.output.c_str(), "wb");
        if (file == nullptr) {
            std::fprintf(stderr, "kelvane-genlog: cannot write %s\n", options.output.c_str());
            return 1;
        }
    }
    Output out(file, options.crlf);
    Generator(options, out).Run();
    bool ok = out.Flush();
    if (file != stdout) {
        ok = std::fclose(file) == 0 && ok;
    } else {
        ok = std::fflush(file) == 0 && ok;
    }
    if (!ok) {
        std::fprintf(stderr, "kelvane-genlog: write error on %s\n",
                     options.output.empty() ? "standard output" : options.output.c_str());
        return 1;
    }
    return 0;
}
