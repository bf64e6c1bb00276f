// Reading a large log on several threads. The file is cut into parts that each begin at a line
// holding a good site header, so every part starts afresh exactly as a single pass would at that
// line. Each part is read into flat records of its own (grouped by site on the reading thread); the
// records are then taken into the caller's list in file order, faulty lines are put to the user in line order, and a Cancel keeps exactly what a
// single pass would have kept.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <thread>

#include "log/BrelLogParser.h"
#include "log/LineReader.h"
#include "platform/Exception.h"

namespace kelvane {

struct TBrelLogParser::Chunk {
    std::uint64_t begin = 0;
    std::uint64_t end = 0;
    ParsedPart records;
    std::vector<LineError> errors;
    std::int32_t lines = 0;  // physical lines in the part
    std::exception_ptr failure;
    bool tooManyErrors = false;
    bool endedEarly = false;  // the file shrank while this part was read
    std::atomic<std::uint64_t> bytesRead{0};
    bool done = false;
};

namespace {

constexpr std::size_t kScanWindow = 64u << 10;

}  // namespace

std::vector<std::uint64_t> TBrelLogParser::FindChunkStarts(int fd, std::uint64_t size, int count) const {
    std::vector<std::uint64_t> starts{0};
    std::string window(kScanWindow, '\0');
    for (int k = 1; k < count; ++k) {
        const std::uint64_t share = size * static_cast<std::uint64_t>(k) / static_cast<std::uint64_t>(count);
        // Windows begin one byte early, so the newline before a line start is always seen.
        std::uint64_t base = std::max(share, starts.back() + 1) - 1;
        bool found = false;
        while (!found && base < size) {
            const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(kScanWindow, size - base));
            const ssize_t got = ::pread(fd, window.data(), want, static_cast<off_t>(base));
            if (got <= 0) break;
            const std::string_view text(window.data(), static_cast<std::size_t>(got));
            const bool atEnd = base + text.size() >= size;
            std::size_t resume = text.size();  // where the next window begins, within this one
            for (std::size_t nl = text.find('\n'); nl != std::string_view::npos; nl = text.find('\n', nl + 1)) {
                const std::size_t start = nl + 1;
                std::size_t p = start;
                while (p < text.size() && (text[p] == ' ' || text[p] == '\t')) ++p;
                // A line cut by the window's end is judged again in the next window.
                const std::size_t e = text.find('\n', p);
                if (e == std::string_view::npos && !atEnd && text.size() - p <= LineReader::kMaxLine + 1) {
                    resume = nl;
                    break;
                }
                if (text.compare(p, 3, "***") != 0) continue;
                std::size_t len = (e == std::string_view::npos ? text.size() : e) - p;
                if (e != std::string_view::npos && len > 0 && text[e - 1] == '\r') --len;
                len = std::min(len, LineReader::kMaxLine);
                try {
                    TDateTime time = 0;
                    std::string_view name;
                    std::string_view path;
                    ReadSiteHeader(text.substr(p, len), time, name, path);
                } catch (const Exception&) {
                    continue;
                }
                starts.push_back(base + start);
                found = true;
                break;
            }
            if (found || atEnd) break;
            base += std::max<std::size_t>(resume, 1);
        }
        if (!found) break;  // no further header: the last part runs to the end
    }
    return starts;
}

void TBrelLogParser::ParseFileParallel(int fd, std::uint64_t size, TAlSiteList& sites) {
    const int threads = threads_ > 0 ? threads_ : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    const int wanted = static_cast<int>(std::clamp<std::uint64_t>(size / chunkBytes_, 2, 4096));
    const std::vector<std::uint64_t> starts = FindChunkStarts(fd, size, wanted);
    std::vector<std::unique_ptr<Chunk>> chunks;
    for (std::size_t k = 0; k < starts.size(); ++k) {
        auto chunk = std::make_unique<Chunk>();
        chunk->begin = starts[k];
        chunk->end = k + 1 < starts.size() ? starts[k + 1] : size;
        chunks.push_back(std::move(chunk));
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::size_t nextChunk = 0;
    std::size_t taken = 0;  // parts taken into the caller's list so far
    bool stop = false;
    // Workers read ahead of the taking by a few parts only, which bounds the memory of unread parts.
    const std::size_t ahead = static_cast<std::size_t>(threads) * 2;
    // Records already taken in, kept for their capacity: a part then fills arrays that are in place.
    std::vector<ParsedPart> spare;

    auto work = [&] {
        for (;;) {
            std::size_t k;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return stop || nextChunk >= chunks.size() || nextChunk < taken + ahead; });
                if (stop || nextChunk >= chunks.size()) return;
                k = nextChunk++;
            }
            Chunk& chunk = *chunks[k];
            TBrelLogParser part(locale_);
            {
                std::lock_guard lock(mutex);
                if (!spare.empty()) {
                    part.part_ = std::move(spare.back());
                    spare.pop_back();
                }
            }
            part.collect_ = true;
            part.SetProgress([&chunk](std::uint64_t done, std::uint64_t) { chunk.bytesRead = done; });
            try {
                LineReader reader(fd, chunk.begin, chunk.end - chunk.begin);
                part.ParseLines(reader, nullptr, 0, false);
                chunk.lines = reader.LineNo();
                chunk.endedEarly = reader.EndedEarly();
            } catch (...) {
                chunk.failure = std::current_exception();
            }
            part.part_.Group();
            std::lock_guard lock(mutex);
            chunk.records = std::move(part.part_);
            chunk.errors = std::move(part.errors_);
            chunk.tooManyErrors = part.tooManyErrors_;
            chunk.bytesRead = chunk.end - chunk.begin;
            chunk.done = true;
            changed.notify_all();
        }
    };
    std::vector<std::thread> pool;
    pool.reserve(static_cast<std::size_t>(threads));
    for (int t = 0; t < threads; ++t) pool.emplace_back(work);
    auto finish = [&] {
        {
            std::lock_guard lock(mutex);
            stop = true;
        }
        changed.notify_all();
        for (std::thread& thread : pool) thread.join();
        pool.clear();
    };

    std::exception_ptr failure;
    std::int32_t lineBase = 0;
    try {
        for (std::size_t k = 0; k < chunks.size(); ++k) {
            Chunk& chunk = *chunks[k];
            {
                std::unique_lock lock(mutex);
                while (!chunk.done) {
                    if (progress_) {
                        lock.unlock();
                        std::uint64_t done = 0;
                        for (const auto& c : chunks) done += c->bytesRead;
                        progress_(done, size);
                        lock.lock();
                    }
                    changed.wait_for(lock, std::chrono::milliseconds(50), [&] { return chunk.done; });
                }
            }
            if (chunk.tooManyErrors) {
                // A part full of faulty lines is read again here, prompting line by line as it goes.
                chunk.records.Clear();
                chunk.errors.clear();
                TBrelLogParser live(locale_, prompt_);
                live.lineBase_ = lineBase;
                LineReader reader(fd, chunk.begin, chunk.end - chunk.begin);
                live.ParseLines(reader, &sites, 0, false);
                if (live.cancelled_ || reader.EndedEarly()) break;
                lineBase += reader.LineNo();
                {
                    std::lock_guard lock(mutex);
                    taken = k + 1;
                }
                changed.notify_all();
                continue;
            }
            // Faulty lines go to the user in line order; a Cancel keeps what came before its line.
            bool cancelled = false;
            for (const LineError& error : chunk.errors) {
                lineNo_ = lineBase + error.lineNo;
                if (!ReportError(error.message, error.text)) {
                    TBrelLogParser prefix(locale_);
                    prefix.collect_ = true;
                    prefix.stopBeforeLine_ = error.lineNo + 1;  // the faulty line keeps what it recorded
                    LineReader reader(fd, chunk.begin, chunk.end - chunk.begin);
                    prefix.ParseLines(reader, &sites, 0, false);
                    cancelled = true;
                    break;
                }
            }
            if (cancelled) break;
            chunk.records.TakeInto(sites);
            {
                std::lock_guard lock(mutex);
                spare.push_back(std::move(chunk.records));
            }
            if (chunk.failure) {
                failure = chunk.failure;
                break;
            }
            // A file cut short while it was read: what came before the cut is a consistent prefix,
            // whatever the later parts happened to see.
            if (chunk.endedEarly) break;
            lineBase += chunk.lines;
            {
                std::lock_guard lock(mutex);
                taken = k + 1;
            }
            changed.notify_all();
        }
    } catch (...) {
        finish();
        sites.UpdateSummaries();
        throw;
    }
    finish();
    if (progress_) progress_(size, size);
    sites.UpdateSummaries();
    if (failure) std::rethrow_exception(failure);
}

}  // namespace kelvane
