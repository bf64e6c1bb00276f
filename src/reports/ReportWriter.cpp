#include "reports/ReportWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <random>
#include <utility>

#include "platform/Exception.h"

namespace kelvane {

namespace {

[[noreturn]] void ThrowCannotCreate(const std::string& fileName) {
    throw Exception("Cannot create file " + fileName);
}

[[noreturn]] void ThrowWriteError() { throw Exception("Stream write error"); }

// A new, empty file beside the target that will be renamed over it; fd < 0 when none could be made.
struct TempFile {
    int fd = -1;
    std::string path;
};

TempFile CreateTempBeside(const std::string& fileName) {
    const std::filesystem::path target(fileName);
    const std::string base = target.filename().string();
    // Names need only be unlikely to clash: O_EXCL settles any clash that happens.
    const auto clock =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    std::mt19937_64 random(clock ^ (static_cast<std::uint64_t>(::getpid()) << 32));
    static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kDigits - 2);
    for (int attempt = 0; attempt < 64; ++attempt) {
        std::string name = "." + base + ".";
        for (int i = 0; i < 8; ++i) name.push_back(kDigits[pick(random)]);
        name += ".tmp";
        TempFile temp;
        temp.path = (target.parent_path() / name).string();
        // 0666 lets the umask decide the mode of a new report, as a direct create would.
        temp.fd = ::open(temp.path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (temp.fd >= 0) return temp;
        if (errno != EEXIST) break;
    }
    return {};
}

// Makes a completed rename durable; a folder that cannot be synced costs nothing but durability.
void SyncFolderOf(const std::string& fileName) {
    const std::filesystem::path parent = std::filesystem::path(fileName).parent_path();
    const std::filesystem::path folder = parent.empty() ? std::filesystem::path(".") : parent;
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

std::string ReportFileBytes(const ReportLines& lines) {
    std::size_t size = 0;
    for (const std::string& line : lines) size += line.size() + 2;
    std::string bytes;
    bytes.reserve(size);
    for (const std::string& line : lines) {
        bytes += line;
        bytes += "\r\n";
    }
    return bytes;
}

ReportWriter::ReportWriter()
    : write_([](int fd, const char* data, std::size_t size) { return ::write(fd, data, size); }) {}

ReportWriter::ReportWriter(WriteFunction write) : write_(std::move(write)) {}

void ReportWriter::Save(const std::string& fileName, const ReportLines& lines) const {
    Save(fileName, ReportFileBytes(lines));
}

void ReportWriter::Save(const std::string& fileName, std::string_view bytes) const {
    struct stat info {};
    const bool exists = ::lstat(fileName.c_str(), &info) == 0;
    // Devices, pipes and symbolic links keep their identity: they are written, never replaced.
    if (exists && !S_ISREG(info.st_mode)) {
        WriteInPlace(fileName, bytes);
        return;
    }
    // A file that could not be opened for writing is not replaced behind the user's back.
    if (exists) {
        const int probe = ::open(fileName.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        if (probe < 0) ThrowCannotCreate(fileName);
        ::close(probe);
    }

    TempFile temp = CreateTempBeside(fileName);
    if (temp.fd < 0) {
        // No room beside the target (say a read-only folder holding a writable file).
        WriteInPlace(fileName, bytes);
        return;
    }
    if (exists) {
        // Keep the replaced file's owner where allowed, and its permission bits.
        if (::fchown(temp.fd, info.st_uid, info.st_gid) != 0) {
            // Not allowed for another user's file; the content matters more than the owner.
        }
        ::fchmod(temp.fd, info.st_mode & 07777);
    }
    bool written = WriteAll(temp.fd, bytes) && ::fsync(temp.fd) == 0;
    written = ::close(temp.fd) == 0 && written;
    if (!written) {
        ::unlink(temp.path.c_str());
        ThrowWriteError();
    }
    if (::rename(temp.path.c_str(), fileName.c_str()) != 0) {
        // The folder refuses the replacement (a sticky folder, say): write the target itself.
        ::unlink(temp.path.c_str());
        WriteInPlace(fileName, bytes);
        return;
    }
    SyncFolderOf(fileName);
}

void ReportWriter::WriteInPlace(const std::string& fileName, std::string_view bytes) const {
    const int fd = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) ThrowCannotCreate(fileName);
    bool written = WriteAll(fd, bytes);
    written = ::close(fd) == 0 && written;
    if (!written) ThrowWriteError();
}

bool ReportWriter::WriteAll(int fd, std::string_view bytes) const {
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = write_(fd, data, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace kelvane
