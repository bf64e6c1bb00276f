// kelvane-report end to end: the site and connection reports byte for byte against golden files,
// to standard output and to a file, the tree rows, faulty-line prompts and the exit statuses.
// Every run names its dates and locale and gets an empty settings folder, so nothing depends on
// the machine's date, locale or saved settings.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "CliSupport.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

using kelvane::cli_test::FixtureFile;
using kelvane::cli_test::kFixedFilter;
using kelvane::cli_test::ReadAll;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

class ReportCli : public ::testing::Test {
protected:
    void SetUp() override {
        static std::atomic<int> counter{0};
        dir_ = fs::temp_directory_path() /
               ("kelvane_cli_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "config");
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }

    // Runs kelvane-report with the arguments, its output and errors caught in files, its settings
    // in the test's own empty folder.
    Outcome Exec(const std::vector<std::string>& args) const {
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
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid_t pid = 0;
        Outcome run;
        const int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) {
            ADD_FAILURE() << "cannot start " << argv[0];
            return run;
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.out = ReadAll(outPath);
        run.err = ReadAll(errPath);
        return run;
    }

    // The command, the fixed filter, the options, then the logs.
    Outcome Report(const std::string& command, const std::vector<std::string>& options,
                   const std::vector<std::string>& logs = {FixtureFile("report_sites.log")}) const {
        std::vector<std::string> args{command};
        args.insert(args.end(), kFixedFilter.begin(), kFixedFilter.end());
        args.insert(args.end(), options.begin(), options.end());
        args.insert(args.end(), logs.begin(), logs.end());
        return Exec(args);
    }

    fs::path dir_;
};

struct GoldenCase {
    const char* command;
    std::vector<std::string> options;
    const char* expected;  // golden file under the fixtures
};

const GoldenCase kGolden[] = {
    {"site", {"--unit-lines", "--conn-stats", "--key"}, "report_site_full.expected"},
    {"site", {"--tab", "--site-alarms", "--inactive-sites"}, "report_site_tab.expected"},
    {"conn", {"--conn-stats"}, "report_conn_stats.expected"},
};

TEST_F(ReportCli, ReportsToStandardOutputMatchTheGoldenFiles) {
    for (const GoldenCase& c : kGolden) {
        const Outcome run = Report(c.command, c.options);
        EXPECT_EQ(run.status, 0) << c.expected;
        EXPECT_EQ(run.err, "") << c.expected;
        EXPECT_EQ(run.out, ReadAll(FixtureFile(c.expected))) << c.expected;
    }
}

TEST_F(ReportCli, ReportsToAFileMatchTheGoldenFiles) {
    const std::string output = PathOf("report.csv");
    for (const GoldenCase& c : kGolden) {
        std::ofstream(output, std::ios::binary)
            << "an older and longer report that must not show through\r\n";
        std::vector<std::string> options = c.options;
        options.insert(options.end(), {"-o", output});
        const Outcome run = Report(c.command, options);
        EXPECT_EQ(run.status, 0) << c.expected;
        EXPECT_EQ(run.err, "") << c.expected;
        EXPECT_EQ(run.out, "") << c.expected;
        EXPECT_EQ(ReadAll(output), ReadAll(FixtureFile(c.expected))) << c.expected;
    }
    // A device name is written through, not replaced.
    const Outcome run = Report("conn", {"--conn-stats", "--output", "/dev/stdout"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, ReadAll(FixtureFile("report_conn_stats.expected")));
}

TEST_F(ReportCli, NoCheckBoxGivesAnEmptyFile) {
    const std::string output = PathOf("empty.csv");
    for (const char* command : {"site", "conn"}) {
        std::ofstream(output, std::ios::binary) << "old\r\n";
        const Outcome run =
            Report(command, {"--no-filter-dates", "--no-headings", "--no-sites", "-o", output});
        EXPECT_EQ(run.status, 0) << command;
        EXPECT_TRUE(fs::exists(output)) << command;
        EXPECT_EQ(ReadAll(output), "") << command;
    }
}

TEST_F(ReportCli, AnOutputThatCannotBeWrittenExitsWithOne) {
    struct Case {
        std::string output;
        std::string message;
    };
    const Case cases[] = {
        {PathOf("missing/report.csv"), "Cannot create file " + PathOf("missing/report.csv") + "\n"},
        {"/dev/full", "Stream write error\n"},
    };
    for (const Case& c : cases) {
        for (const char* command : {"site", "conn"}) {
            const Outcome run = Report(command, {"-o", c.output});
            EXPECT_EQ(run.status, 1) << command << " " << c.output;
            EXPECT_EQ(run.err, c.message) << command << " " << c.output;
            EXPECT_EQ(run.out, "") << command << " " << c.output;
        }
    }
    EXPECT_FALSE(fs::exists(dir_ / "missing"));
}

TEST_F(ReportCli, TreeRowsAreLevelFiveTextsAndGrey) {
    const Outcome run = Report("tree", {});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, ReadAll(FixtureFile("report_tree.expected")));
}

TEST_F(ReportCli, FaultyLinesArePromptedOnStandardError) {
    const std::string noNumber =
        "BrelLogParser Error: Unit - no number\nLine 2: \"Unit x alarms: \"LOW TEMPERATURE\"\"\n";
    const std::string unknownAlarm =
        "BrelLogParser Error: Unit - unknown alarm\nLine 5: \"Unit 2 alarms: \"WARM BEER\"\"\n";
    struct Case {
        const char* onError;
        std::string tree;
        std::string prompts;
    };
    const Case cases[] = {
        {"continue", "0\tNorth\t2006-11-07\tnone\t2\t3.00\t\n", noNumber + unknownAlarm},
        // Stopping at the first prompt keeps only what came before it: an attempt without online time.
        {"stop", "0\tNorth\t1899-12-30 (2006-11-06)\tnone\t0\t0.00\tgrey\n", noNumber},
    };
    for (const Case& c : cases) {
        const Outcome run = Report("tree", {"--on-error", c.onError}, {FixtureFile("report_faulty.log")});
        EXPECT_EQ(run.status, 0) << c.onError;
        EXPECT_EQ(run.out, c.tree) << c.onError;
        EXPECT_EQ(run.err, c.prompts) << c.onError;
    }
}

TEST_F(ReportCli, ALogThatCannotBeOpenedExitsWithOneAndWritesNothing) {
    const std::string missing = PathOf("no-such.log");
    const std::string output = PathOf("report.csv");
    for (const char* command : {"tree", "site", "conn"}) {
        // Also when it comes after a log that could be read.
        const Outcome run = Report(command, {"-o", output}, {FixtureFile("report_sites.log"), missing});
        EXPECT_EQ(run.status, 1) << command;
        EXPECT_EQ(run.err, "Error opening file: " + missing + "\n") << command;
        EXPECT_EQ(run.out, "") << command;
        EXPECT_FALSE(fs::exists(output)) << command;
    }
}

TEST_F(ReportCli, UsageErrorsExitWithTwo) {
    const std::vector<std::string> cases[] = {
        {"bogus", FixtureFile("report_sites.log")},
        {"site", "--frobnicate", FixtureFile("report_sites.log")},
        {"conn", "--key", FixtureFile("report_sites.log")},
        {"site", "--today", "01/12/2006", FixtureFile("report_sites.log")},
        {"site", "--days", "-1", FixtureFile("report_sites.log")},
        {"site"},
        {},
    };
    for (const auto& args : cases) {
        std::string shown;
        for (const std::string& a : args) shown += a + " ";
        const Outcome run = Exec(args);
        EXPECT_EQ(run.status, 2) << shown;
        EXPECT_EQ(run.out, "") << shown;
        EXPECT_EQ(run.err.rfind("kelvane-report: ", 0), 0u) << shown << "\n" << run.err;
    }
}

}  // namespace
