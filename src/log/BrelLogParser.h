#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "model/AlarmSite.h"
#include "platform/Locale.h"

namespace kelvane {

class LineReader;

// Asked for every faulty line with its caption and text; true goes on (OK), false stops (Cancel).
using ParsePrompt = std::function<bool(const std::string& caption, const std::string& text)>;

// Told how far a load has come: bytes read so far and the file's size (0 when unknown).
using ParseProgress = std::function<void(std::uint64_t bytesRead, std::uint64_t totalBytes)>;

// Reads one polling log into a site list, reporting faulty lines through the prompt.
class TBrelLogParser {
public:
    explicit TBrelLogParser(Locale locale = Locale::Default(), ParsePrompt prompt = {});
    ~TBrelLogParser();
    TBrelLogParser(const TBrelLogParser&) = delete;
    TBrelLogParser& operator=(const TBrelLogParser&) = delete;

    // Reports progress while reading.
    void SetProgress(ParseProgress progress) { progress_ = std::move(progress); }

    // Reads the file into sites and runs UpdateSummaries; throws "Error opening file: " + fileName.
    void ParseFile(const std::string& fileName, TAlSiteList& sites);

    // Reads the file into a new list; throws "Error opening file: " + fileName, making no list.
    std::unique_ptr<TAlSiteList> ParseFile(const std::string& fileName);

    // Reads log text already in memory into sites and runs UpdateSummaries, as ParseFile does.
    void ParseText(std::string_view text, TAlSiteList& sites);

    // Starts filling sites line by line with ParseLine, with no current site (ParseFile does this itself).
    void Attach(TAlSiteList& sites);

    // Classifies and handles one line as read (exposed for tests and fuzzing); throws the line's error.
    void ParseLine(std::string_view line);

    // Physical number of the line last read.
    std::int32_t LineNo() const { return lineNo_; }

private:
    // Reads every line of the reader into sites, then runs UpdateSummaries.
    void ParseLines(LineReader& reader, TAlSiteList& sites, std::uint64_t totalBytes);
    void DoSiteLine(std::string_view line);
    void DoConnErrorLine(std::string_view line);
    void DoOnlineLine(std::string_view line);
    void DoUnitAlarmsLine(std::string_view line);
    void DoUnitTripsLine(std::string_view line);
    bool ReportError(const std::string& message, std::string_view line);

    Locale locale_;
    ParsePrompt prompt_;
    ParseProgress progress_;
    TAlSiteList* sites_ = nullptr;
    TAlSite* curSite_ = nullptr;
    int curConn_ = -1;  // index of the current attempt in curSite_
    std::int32_t lineNo_ = 0;
    std::string lastSiteName_;  // name and site of the last header lookup
    TAlSite* lastSite_ = nullptr;
};

}  // namespace kelvane
