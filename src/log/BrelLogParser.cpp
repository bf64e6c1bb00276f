#include "log/BrelLogParser.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <limits>

#include "log/Alarmconsts.h"
#include "log/LineReader.h"
#include "platform/Exception.h"
#include "platform/TextScan.h"

namespace kelvane {

namespace {

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && std::memcmp(s.data(), prefix.data(), prefix.size()) == 0;
}

bool Contains(std::string_view s, std::string_view what) { return ContainsText(s, what); }

bool IsScanSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Reads a signed decimal number the way a "%d" scan does (white space, sign, digits).
// False when no digit follows, or when the number does not fit 32 bits.
bool ScanInt(std::string_view s, std::int32_t& value) {
    std::size_t i = 0;
    while (i < s.size() && IsScanSpace(s[i])) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    if (i >= s.size() || s[i] < '0' || s[i] > '9') return false;
    std::int64_t v = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        v = v * 10 + (s[i++] - '0');
        if (v > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) return false;
    }
    if (negative) v = -v;
    if (v > std::numeric_limits<std::int32_t>::max()) return false;
    value = static_cast<std::int32_t>(v);
    return true;
}

// Reads a hexadecimal number the way a "%X" scan does (white space, then hex digits of either case).
// False when no digit follows, or when the number does not fit 32 bits.
bool ScanHex(std::string_view s, std::uint32_t& value) {
    std::size_t i = 0;
    while (i < s.size() && IsScanSpace(s[i])) ++i;
    std::uint64_t v = 0;
    std::size_t digits = 0;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        int d;
        if (c >= '0' && c <= '9') {
            d = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            d = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            d = c - 'A' + 10;
        } else {
            break;
        }
        v = (v << 4) | static_cast<std::uint64_t>(d);
        if (v > 0xFFFFFFFFull) return false;
        ++digits;
    }
    if (digits == 0) return false;
    value = static_cast<std::uint32_t>(v);
    return true;
}

// The online time: blanks, an optional sign, decimal digits and nothing after them.
bool ParseOnlineSecs(std::string_view s, std::int64_t& value) {
    std::size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    if (i >= s.size()) return false;
    std::int64_t v = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        v = v * 10 + (s[i] - '0');
        if (v > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) return false;
    }
    if (negative) v = -v;
    if (v > std::numeric_limits<std::int32_t>::max()) return false;
    value = v;
    return true;
}

// The site name: the last folder of the path, that is the part before its last backslash
// back to the backslash before that one (or the start of the path).
std::string_view SiteNameOf(std::string_view path) {
    const std::size_t last = path.rfind('\\');
    if (last == std::string_view::npos) return {};
    const std::size_t before = last == 0 ? std::string_view::npos : path.rfind('\\', last - 1);
    const std::size_t start = before == std::string_view::npos ? 0 : before + 1;
    return path.substr(start, last - start);
}

class FileHandle {
public:
    explicit FileHandle(int fd) : fd_(fd) {}
    ~FileHandle() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

}  // namespace

TBrelLogParser::TBrelLogParser(Locale locale, ParsePrompt prompt)
    : locale_(std::move(locale)), prompt_(std::move(prompt)) {}

TBrelLogParser::~TBrelLogParser() = default;

std::unique_ptr<TAlSiteList> TBrelLogParser::ParseFile(const std::string& fileName) {
    auto sites = std::make_unique<TAlSiteList>();
    ParseFile(fileName, *sites);
    return sites;
}

void TBrelLogParser::ParseFile(const std::string& fileName, TAlSiteList& sites) {
    FileHandle file(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    // Text comes from files, pipes and terminals; folders and other devices are no logs.
    const bool readable = file.get() >= 0 && ::fstat(file.get(), &st) == 0 &&
                          (S_ISREG(st.st_mode) || S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode) ||
                           (S_ISCHR(st.st_mode) && ::isatty(file.get())));
    if (!readable) throw FileOpenError("Error opening file: " + fileName);

    if (S_ISREG(st.st_mode)) {
        // A file still being written is read up to the size it had when opened: a consistent prefix.
        const auto size = static_cast<std::uint64_t>(st.st_size);
        if (size >= parallelMinBytes_ && threads_ != 1) {
            ParseFileParallel(file.get(), size, sites);
            return;
        }
        LineReader reader(file.get(), 0, size);
        ParseLines(reader, &sites, size);
    } else {
        LineReader reader(file.get());
        ParseLines(reader, &sites, 0);
    }
}

void TBrelLogParser::ParseText(std::string_view text, TAlSiteList& sites) {
    LineReader reader(text);
    ParseLines(reader, &sites, text.size());
}

void TBrelLogParser::SetParallelism(int threads, std::uint64_t minBytes, std::uint64_t chunkBytes) {
    threads_ = threads;
    parallelMinBytes_ = minBytes;
    chunkBytes_ = chunkBytes > 0 ? chunkBytes : kChunkBytes;
}

void TBrelLogParser::ParseLines(LineReader& reader, TAlSiteList* sites, std::uint64_t total, bool summarize) {
    Begin(sites);
    std::string_view line;
    std::uint64_t nextReport = 0;
    try {
        while (reader.Next(line)) {
            lineNo_ = lineBase_ + reader.LineNo();
            if (stopBeforeLine_ > 0 && lineNo_ >= stopBeforeLine_) break;
            try {
                ParseLine(line);
            } catch (const Exception& e) {
                if (collect_) {
                    if (errors_.size() >= kMaxCollectedErrors) {
                        tooManyErrors_ = true;
                        break;
                    }
                    errors_.push_back(LineError{lineNo_, e.Message(), std::string(line)});
                } else if (!ReportError(e.Message(), line)) {
                    cancelled_ = true;
                    break;
                }
            }
            if (progress_ && reader.BytesRead() >= nextReport) {
                progress_(reader.BytesRead(), total);
                nextReport = reader.BytesRead() + (4u << 20);
            }
        }
    } catch (...) {
        // A read error part way: keep what was read, then let the caller know.
        if (sites) {
            Finish();
            if (summarize) sites->UpdateSummaries();
        }
        reading_ = false;
        throw;
    }
    if (progress_) progress_(reader.BytesRead(), total);
    if (sites) {
        Finish();
        if (summarize) sites->UpdateSummaries();
    }
    reading_ = false;
}

void TBrelLogParser::Begin(TAlSiteList* sites) {
    reading_ = true;
    sites_ = sites;
    part_.Clear();
    lineNo_ = 0;
}

void TBrelLogParser::Attach(TAlSiteList& sites) { Begin(&sites); }

void TBrelLogParser::Finish() {
    if (sites_ && !part_.Empty()) part_.TakeInto(*sites_);
    sites_ = nullptr;
    reading_ = false;
}

bool TBrelLogParser::ReportError(const std::string& message, std::string_view line) {
    if (!prompt_) return true;
    std::string text = "Line " + std::to_string(lineNo_) + ": \"";
    text.append(line);
    text += "\"";
    return prompt_("BrelLogParser Error: " + message, text);
}

void TBrelLogParser::ParseLine(std::string_view line) {
    if (line.empty() || !reading_) return;
    if (line[0] == '*' && StartsWith(line, "***")) return DoSiteLine(line);
    if (Contains(line, "Portix Error")) return DoConnErrorLine(line);
    if (line[0] == 'O' && StartsWith(line, "Online:")) return DoOnlineLine(line);
    if (line[0] == 'U' && StartsWith(line, "Unit")) {
        if (Contains(line, "alarms")) return DoUnitAlarmsLine(line);
        if (Contains(line, "trips")) return DoUnitTripsLine(line);
    }
}

void TBrelLogParser::ReadSiteHeader(std::string_view line, TDateTime& time, std::string_view& name,
                                    std::string_view& path) const {
    const std::string_view work = line.size() > 11 ? line.substr(11) : std::string_view();
    const std::size_t p = FindText(work, " Site");
    if (p == std::string_view::npos) throw Exception("Site - incomplete line");

    const std::string_view dateText = work.substr(0, p);
    if (!locale_.ParseDateTime(dateText, time)) {
        throw Exception("'" + std::string(dateText) + "' is not a valid date and time");
    }

    path = work.size() > p + 7 ? work.substr(p + 7) : std::string_view();
    name = SiteNameOf(path);
    if (name.empty()) throw Exception("Site - no name");
}

void TBrelLogParser::DoSiteLine(std::string_view line) {
    TDateTime siteTime = 0;
    std::string_view name;
    std::string_view path;
    ReadSiteHeader(line, siteTime, name, path);

    // A good header ends the current attempt, so the batch can go into the list here whole.
    if (sites_ && part_.AttemptCount() >= kBatchAttempts) part_.TakeInto(*sites_);
    part_.AddAttempt(part_.SiteFor(name, path), siteTime);
}

void TBrelLogParser::DoConnErrorLine(std::string_view line) {
    if (!part_.HasAttempt()) throw Exception("Conn - status without connection");
    const int code = AppLinkErrCode(line);
    part_.CurrentAttempt().Status |= 1u << code;
}

void TBrelLogParser::DoOnlineLine(std::string_view line) {
    std::int64_t secs = 0;
    const std::string_view number = line.size() > 7 ? line.substr(7, 20) : std::string_view();
    // A negative time online is as meaningless as one that does not convert: passed over.
    if (!ParseOnlineSecs(number, secs) || secs < 0) return;
    if (!part_.HasAttempt()) return;
    part_.CurrentAttempt().OnlineSecs = static_cast<std::uint32_t>(secs);
}

void TBrelLogParser::DoUnitAlarmsLine(std::string_view line) {
    const std::string_view text = line.size() > 5 ? line.substr(5) : std::string_view();
    std::int32_t unitNo = 0;
    if (!ScanInt(text, unitNo)) throw Exception("Unit - no number");
    const std::size_t quote = text.find('"');
    if (quote == std::string_view::npos) throw Exception("Unit - no alarms");
    if (!part_.HasAttempt()) throw Exception("Unit - no site/conn");
    ForEachCommaItem(text.substr(quote), [&](std::string_view item) {
        const int code = AppAlarmCode(item);
        if (code == 0) throw Exception("Unit - unknown alarm");
        part_.AddEvent(unitNo, static_cast<std::uint32_t>(code), false);
    });
}

void TBrelLogParser::DoUnitTripsLine(std::string_view line) {
    const std::string_view text = line.size() > 5 ? line.substr(5) : std::string_view();
    std::int32_t unitNo = 0;
    if (!ScanInt(text, unitNo)) throw Exception("Unit - no number");
    const std::size_t colon = text.find(": ");
    if (colon == std::string_view::npos) throw Exception("Unit trips - bad format");
    std::uint32_t bits = 0;
    if (!ScanHex(text.substr(colon + 2), bits)) throw Exception("Unit trips - no trips");
    if (!part_.HasAttempt()) throw Exception("Unit trips - no site/conn");
    if (bits != 0) part_.AddEvent(unitNo, bits, true);
}

}  // namespace kelvane
