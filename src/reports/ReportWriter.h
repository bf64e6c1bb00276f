#pragma once

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "reports/ReportBuilder.h"

namespace kelvane {

// The bytes of a report file: every line followed by CR LF, the last one too; no lines, no bytes.
std::string ReportFileBytes(const ReportLines& lines);

// Saves report files. A regular file (or a new one) is replaced only once the whole report is on
// disk, so a failed save leaves the previous file as it was; devices, pipes and links are written
// in place. Failures throw "Cannot create file <name>" or "Stream write error".
class ReportWriter {
public:
    // Writes up to size bytes to an open descriptor: the count written, or -1 with errno set.
    using WriteFunction = std::function<ssize_t(int fd, const char* data, std::size_t size)>;

    // Writes with the operating system's write call.
    ReportWriter();
    // Writes through the given function (tests use it to make a write fail part way).
    explicit ReportWriter(WriteFunction write);

    // Saves the lines of a report as its file bytes.
    void Save(const std::string& fileName, const ReportLines& lines) const;
    // Saves bytes as the whole content of the file.
    void Save(const std::string& fileName, std::string_view bytes) const;

private:
    // Opens (creating or emptying) the file itself and writes into it.
    void WriteInPlace(const std::string& fileName, std::string_view bytes) const;
    // Writes every byte; false when the write function fails or writes nothing.
    bool WriteAll(int fd, std::string_view bytes) const;

    WriteFunction write_;
};

}  // namespace kelvane
