#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "log/ParsedPart.h"
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

    // How many threads read a large file (0: one per processor), from what size they are used, and
    // about how large the parts are that they read.
    void SetParallelism(int threads, std::uint64_t minBytes = kParallelMinBytes, std::uint64_t chunkBytes = kChunkBytes);
    static constexpr std::uint64_t kParallelMinBytes = 8u << 20;
    static constexpr std::uint64_t kChunkBytes = 16u << 20;
    // Faulty lines one part may hold before it is read again in line order with live prompts.
    static constexpr std::size_t kMaxCollectedErrors = 10000;
    // Attempts recorded before they are taken into the list, at the next good site header.
    static constexpr std::size_t kBatchAttempts = 1u << 16;

    // Reads the file into sites and runs UpdateSummaries; throws "Error opening file: " + fileName.
    void ParseFile(const std::string& fileName, TAlSiteList& sites);

    // Reads the file into a new list; throws "Error opening file: " + fileName, making no list.
    std::unique_ptr<TAlSiteList> ParseFile(const std::string& fileName);

    // Reads log text already in memory into sites and runs UpdateSummaries, as ParseFile does.
    void ParseText(std::string_view text, TAlSiteList& sites);

    // Starts filling sites line by line with ParseLine, with no current site (ParseFile does this itself).
    void Attach(TAlSiteList& sites);

    // Classifies and handles one line as read (exposed for tests and fuzzing); throws the line's error.
    // What the lines record reaches the attached list in batches, and all of it by Finish.
    void ParseLine(std::string_view line);

    // Takes everything the lines since Attach recorded into the attached list and detaches it.
    void Finish();

    // Physical number of the line last read.
    std::int32_t LineNo() const { return lineNo_; }

private:
    struct LineError {
        std::int32_t lineNo;
        std::string message;
        std::string text;
    };
    struct Chunk;

    // Reads every line of the reader into sites, then runs UpdateSummaries unless told not to. With
    // no list the records stay in part_ for the caller.
    void ParseLines(LineReader& reader, TAlSiteList* sites, std::uint64_t totalBytes, bool summarize = true);
    // Sets up a reading into sites, or into part_ alone.
    void Begin(TAlSiteList* sites);
    // Reads a large regular file in parts on several threads, with the result of reading it in one pass.
    void ParseFileParallel(int fd, std::uint64_t size, TAlSiteList& sites);
    // Where parts may begin: line starts holding a good site header, near even shares of the file.
    std::vector<std::uint64_t> FindChunkStarts(int fd, std::uint64_t size, int count) const;
    // Takes a site header apart; throws its format error.
    void ReadSiteHeader(std::string_view line, TDateTime& time, std::string_view& name, std::string_view& path) const;
    void DoSiteLine(std::string_view line);
    void DoConnErrorLine(std::string_view line);
    void DoOnlineLine(std::string_view line);
    void DoUnitAlarmsLine(std::string_view line);
    void DoUnitTripsLine(std::string_view line);
    bool ReportError(const std::string& message, std::string_view line);

    Locale locale_;
    ParsePrompt prompt_;
    ParseProgress progress_;
    bool reading_ = false;           // lines are being taken (Begin or Attach was called)
    TAlSiteList* sites_ = nullptr;   // where part_ goes, when reading into a list
    ParsedPart part_;                // what the lines read so far recorded
    std::int32_t lineNo_ = 0;
    bool collect_ = false;  // faulty lines are collected in errors_ instead of prompted
    std::vector<LineError> errors_;
    bool cancelled_ = false;           // the user stopped the reading at a prompt
    bool tooManyErrors_ = false;       // collecting gave up: the part must be read again with prompts
    std::int32_t lineBase_ = 0;        // physical lines before the text being read
    std::int32_t stopBeforeLine_ = 0;  // when positive, reading stops before this line
    int threads_ = 0;
    std::uint64_t parallelMinBytes_ = kParallelMinBytes;
    std::uint64_t chunkBytes_ = kChunkBytes;
};

}  // namespace kelvane
