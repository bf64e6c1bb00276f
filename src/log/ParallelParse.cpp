// Reading a large log on several threads. The file is cut into parts that each begin at a line
// holding a good site header, so every part starts afresh exactly as a single pass would at that
// line. Each part is read into a list of its own; the lists are then taken into the caller's list
// in file order, faulty lines are put to the user in line order, and a Cancel keeps exactly what a
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
    std::unique_ptr<TAlSiteList> sites;
    std::vector<LineError> errors;
    std::int32_t lines = 0;  // physical lines in the part
    std::exception_ptr failure;
    std::atomic<std::uint64_t> bytesRead{0};
    bool done = false;
};

namespace {

constexpr std::size_t kScanWindow = 64u << 10;

}  // namespace

std::vector<std::uint64_t> TBrelLogParser::FindChunkStarts(int fd, std::uint64_t size, int count) const {
    std::vector<std::uint64_t> starts{0};
    std::string window;
    for (int k = 1; k < count; ++k) {
        std::uint64_t from = std::max(size * static_cast<std::uint64_t>(k) / static_cast<std::uint64_t>(count),
                                      starts.back() + 1);
        bool found = false;
        // Look for a physical line start whose line is a good site header.
        while (!found && from < size) {
            window.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kScanWindow, size - from + 1)));
            const ssize_t n = ::pread(fd, window.data(), window.size(), static_cast<off_t>(from - 1));
            if (n <= 0) break;
            const std::string_view text(window.data(), static_cast<std::size_t>(n));
            std::size_t pos = 0;
            std::size_t lastStart = 0;
            while (true) {
                const std::size_t nl = text.find('\n', pos);
                if (nl == std::string_view::npos || nl + 1 >= text.size()) break;
                const std::size_t start = nl + 1;
                pos = start;
                lastStart = start;
                std::size_t p = start;
                while (p < text.size() && (text[p] == ' ' || text[p] == '\t')) ++p;
                if (text.compare(p, 3, "***") != 0) continue;
                std::size_t e = text.find('\n', p);
                if (e == std::string_view::npos) break;  // the line runs past the window
                std::size_t len = e - p;
                if (len > 0 && text[e - 1] == '\r') --len;
                len = std::min(len, LineReader::kMaxLine);
                try {
                    TDateTime time = 0;
                    std::string_view name;
                    std::string_view path;
                    ReadSiteHeader(text.substr(p, len), time, name, path);
                } catch (const Exception&) {
                    continue;
                }
                starts.push_back(from - 1 + start);
                found = true;
                break;
            }
            if (found || static_cast<std::size_t>(n) < window.size()) break;
            from = from - 1 + std::max<std::size_t>(lastStart, text.size() / 2);
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
            part.collect_ = true;
            part.SetProgress([&chunk](std::uint64_t done, std::uint64_t) { chunk.bytesRead = done; });
            auto list = std::make_unique<TAlSiteList>();
            try {
                LineReader reader(fd, chunk.begin, chunk.end - chunk.begin);
                part.ParseLines(reader, *list, 0, false);
                chunk.lines = reader.LineNo();
            } catch (...) {
                chunk.failure = std::current_exception();
            }
            std::lock_guard lock(mutex);
            chunk.sites = std::move(list);
            chunk.errors = std::move(part.errors_);
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
            // Faulty lines go to the user in line order; a Cancel keeps what came before its line.
            bool cancelled = false;
            for (const LineError& error : chunk.errors) {
                lineNo_ = lineBase + error.lineNo;
                if (!ReportError(error.message, error.text)) {
                    TBrelLogParser prefix(locale_);
                    prefix.collect_ = true;
                    prefix.stopBeforeLine_ = error.lineNo;
                    LineReader reader(fd, chunk.begin, chunk.end - chunk.begin);
                    prefix.ParseLines(reader, sites, 0, false);
                    cancelled = true;
                    break;
                }
            }
            if (cancelled) break;
            sites.MergeFrom(std::move(*chunk.sites));
            chunk.sites.reset();
            if (chunk.failure) {
                failure = chunk.failure;
                break;
            }
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
