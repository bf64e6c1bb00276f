// Saving reports: the file bytes, replacing a previous report only when the new one is complete,
// writing devices, pipes and links in place, and the two error messages.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <thread>

#include "TestSupport.h"
#include "reports/ReportWriter.h"

namespace kelvane {
namespace {

namespace fs = std::filesystem;
using test::ThrowsMessage;

// An empty folder of its own for each test, removed with everything in it afterwards.
class ReportWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        static std::atomic<int> counter{0};
        dir_ = fs::temp_directory_path() /
               ("kelvane_writer_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir_, ec);
    }

    std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }

    // The names in the test's folder: a leftover temporary file shows up here.
    std::set<std::string> Names() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_)) names.insert(entry.path().filename().string());
        return names;
    }

    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    static void Write(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    }

    fs::path dir_;
};

TEST(ReportFileBytes, EveryLineEndsWithCarriageReturnAndLineFeed) {
    struct Case {
        ReportLines lines;
        std::string bytes;
    };
    const Case cases[] = {
        {{}, ""},
        {{""}, "\r\n"},
        {{"Report,01/12/2006"}, "Report,01/12/2006\r\n"},
        {{"a", "", "b\tc"}, "a\r\n\r\nb\tc\r\n"},
        {{"Caf\xe9,\"x y\""}, "Caf\xe9,\"x y\"\r\n"},  // bytes kept as they are
    };
    for (const Case& c : cases) EXPECT_EQ(ReportFileBytes(c.lines), c.bytes);
}

TEST_F(ReportWriterTest, WritesANewFileAndReplacesAnOldOne) {
    const std::string path = PathOf("report.csv");
    ReportWriter().Save(path, ReportLines{"Site,Alarms", "North,SE"});
    EXPECT_EQ(Read(path), "Site,Alarms\r\nNorth,SE\r\n");

    // A shorter report leaves nothing of the longer one behind.
    ReportWriter().Save(path, ReportLines{"x"});
    EXPECT_EQ(Read(path), "x\r\n");

    // An empty report makes an empty file.
    ReportWriter().Save(path, ReportLines{});
    EXPECT_TRUE(fs::exists(path));
    EXPECT_EQ(Read(path), "");
    EXPECT_EQ(Names(), std::set<std::string>{"report.csv"});
}

TEST_F(ReportWriterTest, ReplacingKeepsThePermissionBits) {
    const std::string path = PathOf("report.csv");
    Write(path, "old\r\n");
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ReportWriter().Save(path, std::string_view("new\r\n"));
    EXPECT_EQ(Read(path), "new\r\n");
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(ReportWriterTest, FilesThatCannotBeCreatedAreNamedAsGiven) {
    fs::create_directory(dir_ / "folder");
    const std::string cases[] = {
        PathOf("missing/report.csv"),
        PathOf("folder/../missing/./report.csv"),  // not normalised in the message
        PathOf("folder"),                          // a folder is not a file
        PathOf("folder/"),
    };
    for (const std::string& name : cases) {
        EXPECT_TRUE(
            ThrowsMessage([&] { ReportWriter().Save(name, ReportLines{"a"}); }, "Cannot create file " + name))
            << name;
    }
    EXPECT_EQ(Names(), std::set<std::string>{"folder"});
    EXPECT_TRUE(fs::is_empty(dir_ / "folder"));
}

// A write that gives up after some bytes: the operating system does not fail on demand.
ReportWriter::WriteFunction FailingAfter(std::size_t goodBytes, ssize_t failure, int error) {
    auto written = std::make_shared<std::size_t>(0);
    return [=](int fd, const char* data, std::size_t size) -> ssize_t {
        if (*written >= goodBytes) {
            errno = error;
            return failure;
        }
        const std::size_t n = std::min(size, goodBytes - *written);
        const ssize_t done = ::write(fd, data, n);
        if (done > 0) *written += static_cast<std::size_t>(done);
        return done;
    };
}

TEST_F(ReportWriterTest, AWriteFailingPartWayLeavesThePreviousReport) {
    struct Case {
        const char* name;
        ssize_t failure;
        int error;
    };
    const Case cases[] = {{"error", -1, EIO}, {"disk full", -1, ENOSPC}, {"nothing written", 0, 0}};
    const std::string report(10000, 'r');
    for (const Case& c : cases) {
        const std::string path = PathOf("report.csv");
        Write(path, "previous\r\n");
        EXPECT_TRUE(
            ThrowsMessage([&] { ReportWriter(FailingAfter(100, c.failure, c.error)).Save(path, report); },
                          "Stream write error"))
            << c.name;
        EXPECT_EQ(Read(path), "previous\r\n") << c.name;
        EXPECT_EQ(Names(), std::set<std::string>{"report.csv"}) << c.name;

        // Without a previous report there is no file at all afterwards.
        fs::remove(path);
        EXPECT_TRUE(
            ThrowsMessage([&] { ReportWriter(FailingAfter(100, c.failure, c.error)).Save(path, report); },
                          "Stream write error"))
            << c.name;
        EXPECT_TRUE(Names().empty()) << c.name;
    }
}

TEST_F(ReportWriterTest, ShortAndInterruptedWritesAreContinued) {
    int calls = 0;
    const ReportWriter writer([&](int fd, const char* data, std::size_t size) -> ssize_t {
        if (++calls % 3 == 0) {
            errno = EINTR;
            return -1;
        }
        return ::write(fd, data, std::min<std::size_t>(size, 7));
    });
    const std::string path = PathOf("report.csv");
    const std::string report = ReportFileBytes({"Report,01/12/2006", "Start,01/11/2006", "", "Site"});
    writer.Save(path, report);
    EXPECT_EQ(Read(path), report);
}

TEST_F(ReportWriterTest, DevicesAreWrittenInPlaceAndReportFailures) {
    if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full here";
    EXPECT_TRUE(
        ThrowsMessage([] { ReportWriter().Save("/dev/full", ReportLines{"a"}); }, "Stream write error"));
    ReportWriter().Save("/dev/full", ReportLines{});  // nothing to write, nothing fails
    ReportWriter().Save("/dev/null", ReportLines{"a"});
    struct stat info {};
    ASSERT_EQ(::lstat("/dev/full", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
}

TEST_F(ReportWriterTest, ALinkIsWrittenThroughAndStaysALink) {
    const std::string target = PathOf("target.csv");
    const std::string link = PathOf("link.csv");
    Write(target, "previous report, longer than the new one\r\n");
    fs::create_symlink(target, link);
    ReportWriter().Save(link, ReportLines{"new"});
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Read(target), "new\r\n");
    EXPECT_EQ(Names(), (std::set<std::string>{"link.csv", "target.csv"}));
}

TEST_F(ReportWriterTest, APipeIsWrittenInPlace) {
    const std::string path = PathOf("pipe");
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = Read(path); });
    ReportWriter().Save(path, ReportLines{"a", "b"});
    reader.join();
    EXPECT_EQ(received, "a\r\nb\r\n");
    EXPECT_TRUE(fs::is_fifo(path));
}

// The permission cases mean nothing to the superuser, who may write anything.
TEST_F(ReportWriterTest, AReadOnlyReportIsNotReplaced) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
    const std::string path = PathOf("report.csv");
    Write(path, "kept\r\n");
    fs::permissions(path, fs::perms::owner_read);
    EXPECT_TRUE(
        ThrowsMessage([&] { ReportWriter().Save(path, ReportLines{"a"}); }, "Cannot create file " + path));
    EXPECT_EQ(Read(path), "kept\r\n");
}

TEST_F(ReportWriterTest, AWritableReportInAReadOnlyFolderIsWrittenInPlace) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
    const std::string path = PathOf("report.csv");
    Write(path, "previous report\r\n");
    fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
    ReportWriter().Save(path, ReportLines{"new"});
    EXPECT_EQ(Read(path), "new\r\n");
    EXPECT_TRUE(ThrowsMessage([&] { ReportWriter().Save(PathOf("other.csv"), ReportLines{"a"}); },
                              "Cannot create file " + PathOf("other.csv")));
}

}  // namespace
}  // namespace kelvane
