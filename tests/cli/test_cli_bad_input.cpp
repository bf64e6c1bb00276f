// kelvane-report fed from pipes and given LOGs and outputs that do not work: standard input,
// /dev/fd paths and FIFOs read as streams; folders, devices and missing files refused with exit 1
// and no output at all; outputs that cannot be written refused with exit 1, leaving an earlier
// report file exactly as it was.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "CliSupport.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

using kelvane::cli_test::FixtureFile;
using kelvane::cli_test::kFixedFilter;
using kelvane::cli_test::ReadAll;

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

// What the program reads besides its arguments: bytes written into a pipe that it holds as a
// descriptor of its own, or a file or folder opened as its standard input.
struct Feed {
    int childFd = -1;  // -1: no pipe; 0: standard input; otherwise a further descriptor
    std::string bytes;
    std::string stdinPath = "/dev/null";
};

// Limits of the program's run beyond the usual ones.
struct Limits {
    rlim_t maxFileSize = RLIM_INFINITY;  // bytes any file of the program may grow to
};

// Writes all bytes to a descriptor, then closes it; gives up quietly when the reader has gone.
void WriteAndClose(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
}

class CliBadInput : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // A program that stops reading early must not end the test with SIGPIPE.
        ::signal(SIGPIPE, SIG_IGN);
    }

    void SetUp() override {
        static std::atomic<int> counter{0};
        dir_ = fs::temp_directory_path() /
               ("kelvane_cli_bad_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "config");
        fs::create_directories(dir_ / "out");
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }

    // Runs kelvane-report with its settings in the test's empty folder and its output and errors
    // caught in files; standard input is /dev/null unless the feed says otherwise.
    RunResult Exec(const std::vector<std::string>& args, const Feed& feed = {},
                   const Limits& limits = {}) const {
        std::vector<std::string> argStore{KELVANE_REPORT_EXE};
        argStore.insert(argStore.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : argStore) argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<std::string> envStore{"XDG_CONFIG_HOME=" + PathOf("config")};
        for (char** e = environ; *e; ++e) {
            if (std::string(*e).rfind("XDG_CONFIG_HOME=", 0) != 0) envStore.emplace_back(*e);
        }
        std::vector<char*> envp;
        for (std::string& e : envStore) envp.push_back(e.data());
        envp.push_back(nullptr);

        const std::string outPath = PathOf("stdout"), errPath = PathOf("stderr");
        const int in = ::open(feed.stdinPath.c_str(), O_RDONLY | O_CLOEXEC);
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        int pipeFds[2] = {-1, -1};
        if (feed.childFd >= 0 && ::pipe2(pipeFds, O_CLOEXEC) != 0) ADD_FAILURE() << "no pipe";

        RunResult run;
        const pid_t pid = ::fork();
        if (pid == 0) {
            // Only calls that are safe between fork and exec from here on.
            ::dup2(in, 0);
            ::dup2(out, 1);
            ::dup2(err, 2);
            if (feed.childFd >= 0) {
                ::dup2(pipeFds[0], feed.childFd);
                if (pipeFds[0] == feed.childFd) ::fcntl(feed.childFd, F_SETFD, 0);
            }
            if (limits.maxFileSize != RLIM_INFINITY) {
                ::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead of ending the program
                const rlimit limit{limits.maxFileSize, limits.maxFileSize};
                ::setrlimit(RLIMIT_FSIZE, &limit);
            }
            ::execve(argv[0], argv.data(), envp.data());
            ::_exit(127);
        }
        ::close(in);
        ::close(out);
        ::close(err);
        if (pid < 0) {
            ADD_FAILURE() << "cannot start " << argv[0];
            return run;
        }
        std::thread writer;
        if (feed.childFd >= 0) {
            ::close(pipeFds[0]);
            writer = std::thread(WriteAndClose, pipeFds[1], feed.bytes);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (writer.joinable()) writer.join();
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.out = ReadAll(outPath);
        run.err = ReadAll(errPath);
        return run;
    }

    // The command, the fixed filter, the options, then the logs.
    RunResult Report(const std::string& command, const std::vector<std::string>& options,
                     const std::vector<std::string>& logs, const Feed& feed = {},
                     const Limits& limits = {}) const {
        std::vector<std::string> args{command};
        args.insert(args.end(), kFixedFilter.begin(), kFixedFilter.end());
        args.insert(args.end(), options.begin(), options.end());
        args.insert(args.end(), logs.begin(), logs.end());
        return Exec(args, feed, limits);
    }

    // The names in a folder of the test: a leftover temporary file shows up here.
    std::set<std::string> NamesIn(const std::string& folder) const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_ / folder))
            names.insert(entry.path().filename().string());
        return names;
    }

    fs::path dir_;
};

const char* const kCommands[] = {"tree", "site", "conn"};

// A log far larger than a pipe holds, so that the reading has to keep pace with the writing.
std::string LargeLog() {
    std::string text;
    char line[160];
    for (int i = 0; i < 60000; ++i) {
        std::snprintf(line, sizeof line,
                      "*** Polled %02d/11/2006 10:%02d:00 Site: D:\\Logs\\Site%d\\\nOnline: 120\n"
                      "Unit %d alarms: \"SENSOR FAILURE\"\n",
                      1 + i % 28, 10 + i % 50, i % 300, i % 4);
        text += line;
    }
    return text;
}

// ---------------------------------------------------------------------------------------------
// Pipes

TEST_F(CliBadInput, PipesAreReadAsStreamsWithTheSameOutputAsTheFile) {
    const std::string small = ReadAll(FixtureFile("report_sites.log"));
    const std::string large = LargeLog();
    const std::string largePath = PathOf("large.log");
    std::ofstream(largePath, std::ios::binary) << large;

    struct Source {
        const char* name;
        const std::string* bytes;
        std::string file;  // the same bytes as a file
    };
    const Source sources[] = {
        {"fixture", &small, FixtureFile("report_sites.log")},
        {"log larger than a pipe", &large, largePath},
    };
    for (const Source& source : sources) {
        for (const char* command : kCommands) {
            SCOPED_TRACE(std::string(source.name) + ", " + command);
            const RunResult fromFile = Report(command, {"--conn-stats"}, {source.file});
            ASSERT_EQ(fromFile.status, 0);
            ASSERT_FALSE(fromFile.out.empty());

            // '-' on standard input fed through a pipe.
            RunResult run = Report(command, {"--conn-stats"}, {"-"}, Feed{0, *source.bytes});
            EXPECT_EQ(run.status, 0);
            EXPECT_EQ(run.err, "");
            EXPECT_TRUE(run.out == fromFile.out) << "standard input:\n" << run.out.substr(0, 2000);

            // '-' on standard input redirected from the file itself.
            run = Report(command, {"--conn-stats"}, {"-"}, Feed{-1, "", source.file});
            EXPECT_EQ(run.status, 0);
            EXPECT_EQ(run.err, "");
            EXPECT_TRUE(run.out == fromFile.out) << "standard input from the file:\n"
                                                 << run.out.substr(0, 2000);

            // A pipe named by its /dev/fd path.
            run = Report(command, {"--conn-stats"}, {"/dev/fd/7"}, Feed{7, *source.bytes});
            EXPECT_EQ(run.status, 0);
            EXPECT_EQ(run.err, "");
            EXPECT_TRUE(run.out == fromFile.out) << "/dev/fd/7:\n" << run.out.substr(0, 2000);
        }
    }

    // A file and then standard input: the same as the file twice.
    const RunResult twice =
        Report("tree", {}, {FixtureFile("report_sites.log"), FixtureFile("report_sites.log")});
    const RunResult fileThenPipe = Report("tree", {}, {FixtureFile("report_sites.log"), "-"}, Feed{0, small});
    EXPECT_EQ(fileThenPipe.status, 0);
    EXPECT_EQ(fileThenPipe.out, twice.out);
}

TEST_F(CliBadInput, AFifoIsReadWhileAnotherThreadWritesIt) {
    const std::string fifo = PathOf("log.fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string bytes = LargeLog();
    const std::string file = PathOf("large.log");
    std::ofstream(file, std::ios::binary) << bytes;
    const RunResult fromFile = Report("site", {"--site-alarms"}, {file});
    ASSERT_EQ(fromFile.status, 0);

    // The writer opens without blocking, so it can stop trying once the program has ended.
    std::atomic<bool> ended{false};
    std::thread writer([&] {
        int fd = -1;
        while (fd < 0 && !ended) {
            fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd < 0) std::this_thread::yield();
        }
        if (fd < 0) return;
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        WriteAndClose(fd, bytes);
    });
    const RunResult run = Report("site", {"--site-alarms"}, {fifo});
    ended = true;
    writer.join();

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(run.out == fromFile.out) << run.out.substr(0, 2000);
}

// ---------------------------------------------------------------------------------------------
// LOGs that cannot be read

TEST_F(CliBadInput, ALogThatIsNoFileExitsWithOneAndWritesNothingAtAll) {
    const std::string folder = PathOf("out");
    const std::string missing = PathOf("no-such.log");
    const std::string good = FixtureFile("report_sites.log");
    struct Case {
        std::vector<std::string> logs;
        std::string named;  // the LOG named in the message
    };
    const Case cases[] = {
        {{folder}, folder},
        {{folder + "/"}, folder + "/"},
        {{good, folder}, folder},
        {{good, missing}, missing},        // the first was fine
        {{good, good, missing}, missing},  // so were the first two
        {{missing, good}, missing},
        {{"/dev/zero"}, "/dev/zero"},
        {{good, "/dev/zero"}, "/dev/zero"},
        {{good + "/"}, good + "/"},
    };
    for (const Case& c : cases) {
        for (const char* command : kCommands) {
            std::string shown = command;
            for (const std::string& log : c.logs) shown += " " + log;
            SCOPED_TRACE(shown);
            const RunResult run = Report(command, {}, c.logs);
            EXPECT_EQ(run.status, 1);
            EXPECT_EQ(run.err, "Error opening file: " + c.named + "\n");
            EXPECT_EQ(run.out, "");
        }
    }
    // Standard input that is a folder is refused by the name it was given.
    const RunResult run = Report("tree", {}, {good, "-"}, Feed{-1, "", folder});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Error opening file: -\n");
    EXPECT_EQ(run.out, "");
}

// ---------------------------------------------------------------------------------------------
// Outputs that cannot be written

TEST_F(CliBadInput, AFailedWriteLeavesAnEarlierReportAsItWas) {
    const std::string previous = "Report,01/11/2006\r\nan earlier report that must survive\r\n";
    const std::string report = PathOf("out/report.csv");
    const std::string good = FixtureFile("report_sites.log");
    const std::string missing = PathOf("no-such.log");
    struct Case {
        const char* name;
        std::vector<std::string> options;
        std::vector<std::string> logs;
        Limits limits;
        std::string error;
    };
    const Case cases[] = {
        // Every file of the program stops growing at 100 bytes, the report needs more.
        {"the disk fills up", {"-o", report}, {good}, Limits{100}, "Stream write error\n"},
        {"the file named as a folder",
         {"-o", report + "/"},
         {good},
         {},
         "Cannot create file " + report + "/\n"},
        {"a file inside the file",
         {"-o", report + "/x.csv"},
         {good},
         {},
         "Cannot create file " + report + "/x.csv\n"},
        {"a missing folder",
         {"-o", PathOf("out/missing/report.csv")},
         {good},
         {},
         "Cannot create file " + PathOf("out/missing/report.csv") + "\n"},
        {"a device that is full", {"-o", "/dev/full"}, {good}, {}, "Stream write error\n"},
        {"a LOG that cannot be opened",
         {"-o", report},
         {good, missing},
         {},
         "Error opening file: " + missing + "\n"},
    };
    for (const Case& c : cases) {
        for (const char* command : {"site", "conn"}) {
            SCOPED_TRACE(std::string(c.name) + ", " + command);
            std::ofstream(report, std::ios::binary | std::ios::trunc) << previous;
            std::vector<std::string> options = c.options;
            options.push_back("--conn-stats");
            const RunResult run = Report(command, options, c.logs, {}, c.limits);
            EXPECT_EQ(run.status, 1);
            EXPECT_EQ(run.err, c.error);
            EXPECT_EQ(run.out, "");
            EXPECT_EQ(ReadAll(report), previous);
            EXPECT_EQ(NamesIn("out"), std::set<std::string>{"report.csv"});
        }
    }

    // Standard output that cannot take the tree.
    const RunResult run = Report("tree", {}, {good}, {}, Limits{40});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Stream write error\n");

    // The same reports do replace it when nothing fails.
    for (const char* command : {"site", "conn"}) {
        std::ofstream(report, std::ios::binary | std::ios::trunc) << previous;
        const RunResult written = Report(command, {"-o", report, "--conn-stats"}, {good});
        EXPECT_EQ(written.status, 0) << command;
        EXPECT_EQ(ReadAll(report), Report(command, {"--conn-stats"}, {good}).out) << command;
        EXPECT_EQ(NamesIn("out"), std::set<std::string>{"report.csv"}) << command;
    }
}

}  // namespace
