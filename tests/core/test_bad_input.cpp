// Bad input to the parser and the model: binary files, NUL bytes, endless lines, paths that are no
// log files, files that grow or shrink while they are read, files made only of faulty lines, numbers
// at the edges of their range and very many sites. Each must give a clear message or a consistent
// result, and never lose what a list already held.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "TestSupport.h"
#include "log/BrelLogParser.h"
#include "model/AlarmSite.h"
#include "model/SiteTree.h"
#include "reports/ConnReport.h"
#include "reports/SiteReport.h"

namespace kelvane {
namespace {

using namespace std::string_literals;
using test::At;
using test::ErrorPrompt;
using test::Prompt;
using test::PromptRecorder;
using test::TempLog;
using test::ThrowsMessage;

// A site header line of the default (day/month/year) locale.
std::string Header(const std::string& stamp, const std::string& site) {
    return "*** Polled " + stamp + " Site: D:\\Logs\\" + site + "\\";
}

const std::string kAlphaHeader = Header("17/11/2006 09:33:49", "Alpha");

std::string Dump(const TAlSiteList& sites) { return test::DumpModel(sites); }

// What every loaded list must satisfy, whatever the input: names unique and in order and found
// again, units unique and in order, events unique by time and in order, attempts in order, and the
// summaries taken from the attempts.
::testing::AssertionResult HoldsInvariants(const TAlSiteList& sites) {
    for (int i = 0; i < sites.Count(); ++i) {
        const TAlSite* site = sites.SiteAt(i);
        if (i > 0 && CompareSiteNames(sites.SiteAt(i - 1)->Name, site->Name) >= 0) {
            return ::testing::AssertionFailure() << "sites " << i - 1 << " and " << i << " out of order";
        }
        if (sites.FindSite(site->Name) != site)
            return ::testing::AssertionFailure() << "site " << i << " not found again";
        const auto& conns = site->Conns();
        for (std::size_t c = 1; c < conns.size(); ++c) {
            if (conns[c].Time < conns[c - 1].Time)
                return ::testing::AssertionFailure() << "attempts of site " << i << " out of order";
        }
        TDateTime first = 0, last = 0;
        for (const TAlConn& conn : conns) {
            if (!conn.IsSuccessful()) continue;
            if (first == 0) first = conn.Time;
            last = conn.Time;
        }
        const TDateTime lastAttempt = conns.empty() ? 0 : conns.back().Time;
        if (site->FirstConnect != first || site->LastConnect != last || site->LastAttempt != lastAttempt) {
            return ::testing::AssertionFailure() << "summaries of site " << i << " do not match its attempts";
        }
        for (int u = 0; u < site->UnitCount(); ++u) {
            const TAlUnit* unit = site->UnitAt(u);
            if (unit->Site != site)
                return ::testing::AssertionFailure() << "unit of site " << i << " points elsewhere";
            if (u > 0 && site->UnitAt(u - 1)->Number >= unit->Number) {
                return ::testing::AssertionFailure() << "units of site " << i << " out of order";
            }
            for (const EventList* events : {&unit->Alarms(), &unit->Trips()}) {
                const auto& items = events->Items();
                for (std::size_t e = 0; e < items.size(); ++e) {
                    if (items[e].Bits == 0) return ::testing::AssertionFailure() << "an event without bits";
                    if (e > 0 && !(items[e - 1].Time < items[e].Time)) {
                        return ::testing::AssertionFailure()
                               << "events of a unit of site " << i << " not unique and ascending";
                    }
                }
            }
        }
    }
    return ::testing::AssertionSuccess();
}

// Filters the list and builds every view of it: the tree rows and both reports with every option.
void BuildEveryView(TAlSiteList& sites) {
    sites.SetFilter(-1e6, 1e6, 0);
    EXPECT_GE(BuildTreeRows(sites, Locale::Default()).size(), static_cast<std::size_t>(sites.Count()));
    SiteReportOptions options;
    options.connStats = options.inactiveSites = options.siteAlarms = options.key = true;
    for (bool unitLines : {false, true}) {
        options.unitLines = unitLines;
        SiteReport(sites, options, Locale::Default(), At(2006, 12, 1)).Build();
    }
    ConnReport(sites, options, Locale::Default(), At(2006, 12, 1)).Build();
}

// The model and the prompts of one load.
struct Loaded {
    std::string model;
    std::vector<Prompt> prompts;
};

// Loads a file in one pass (threads 1) or in small parts on two threads, answering OK throughout.
Loaded LoadFile(const std::string& path, int threads) {
    PromptRecorder prompts;
    TBrelLogParser parser(Locale::Default(), prompts.Callback());
    parser.SetParallelism(threads, 1, 65536);
    TAlSiteList sites;
    parser.ParseFile(path, sites);
    EXPECT_TRUE(HoldsInvariants(sites));
    BuildEveryView(sites);
    return {Dump(sites), std::move(prompts.prompts)};
}

// Compares two long prompt lists, naming the first difference instead of printing both.
::testing::AssertionResult SamePrompts(const std::vector<Prompt>& actual,
                                       const std::vector<Prompt>& expected) {
    const std::size_t n = std::min(actual.size(), expected.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (!(actual[i] == expected[i])) {
            return ::testing::AssertionFailure()
                   << "prompt " << i << " is " << actual[i] << ", expected " << expected[i];
        }
    }
    if (actual.size() != expected.size()) {
        return ::testing::AssertionFailure() << actual.size() << " prompts, expected " << expected.size();
    }
    return ::testing::AssertionSuccess();
}

// ---------------------------------------------------------------------------------------------
// Binary files and NUL bytes

// Random bytes of every value, newlines and NULs included.
std::string RandomBytes(unsigned seed, std::size_t size) {
    std::mt19937 rng(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(rng() & 0xFF);
    return bytes;
}

// Random bytes mixed with pieces of log lines, so that the line kinds are reached with junk around them.
std::string RandomLogPieces(unsigned seed, std::size_t size) {
    static const char* const kPieces[] = {
        "\n*** Polled 17/11/2006 09:33:49 Site: D:\\Logs\\",
        "\n*** Polled 31/02/2006 ",
        "\nUnit ",
        " alarms: \"",
        "SENSOR FAILURE\"",
        "\"HIGH READING\",",
        " trips: ",
        "FFFFFFFF",
        "\nOnline: ",
        "\nPortix Error: TAPI: ",
        "\\",
        ",",
        "\"",
        "\r\n",
        "\n",
        "-2147483648",
        "2147483647",
        "\t  ",
        "***",
        " Site",
    };
    std::mt19937 rng(seed);
    std::string text;
    while (text.size() < size) {
        if (rng() % 3 == 0) {
            text += kPieces[rng() % std::size(kPieces)];
        } else {
            const std::size_t run = rng() % 40;
            for (std::size_t i = 0; i < run; ++i) text += static_cast<char>(rng() & 0xFF);
        }
    }
    return text;
}

TEST(BadInputBinary, RandomBytesLoadWithTheModelIntactAndTheSameInParts) {
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"random bytes", RandomBytes(7, 1u << 20)},
        {"random bytes and log pieces", RandomLogPieces(8, 1u << 20)},
        {"only NUL bytes", std::string(300000, '\0')},
        {"only carriage returns", std::string(300000, '\r')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TempLog log(c.bytes);
        const Loaded single = LoadFile(log.Path(), 1);
        const Loaded parts = LoadFile(log.Path(), 2);
        EXPECT_EQ(parts.model, single.model);
        EXPECT_TRUE(SamePrompts(parts.prompts, single.prompts));
        // Prompts name physical lines, so they never go backwards.
        int last = 0;
        for (const Prompt& p : single.prompts) {
            const int lineNo = std::stoi(p.text.substr(5));
            EXPECT_GE(lineNo, last) << p;
            last = lineNo;
        }
    }
}

TEST(BadInputBinary, NulBytesStayInTheModelAndInThePrompts) {
    const std::string text = Header("17/11/2006 09:33:49", "Al\0pha"s) + "\n" +  // 1: a NUL in the name
                             "Unit 3 alarms: \"SENSOR\0FAILURE\"\n"s +           // 2
                             "Unit\0x trips: 1\n"s +       // 3: NUL where nothing is examined
                             "Online: 6\0\n"s +            // 4: does not convert, passed over
                             "\0Unit 4 trips: 1\n"s +      // 5: of no kind
                             "Unit 4 trips: 2\0junk\n"s +  // 6: the number ends at the NUL
                             Header("17/11\0/2006 10:00:00"s, "Beta") + "\n" +  // 7: a NUL in the date
                             "Online: 60\n";                                    // 8
    const std::vector<Prompt> expected{
        ErrorPrompt("Unit - unknown alarm", 2, "Unit 3 alarms: \"SENSOR\0FAILURE\""s),
        ErrorPrompt("Unit - no number", 3, "Unit\0x trips: 1"s),
        ErrorPrompt("'17/11\0/2006 10:00:00' is not a valid date and time"s, 7,
                    Header("17/11\0/2006 10:00:00"s, "Beta")),
    };
    const TempLog log(text);
    for (int threads : {1, 2}) {
        SCOPED_TRACE(threads);
        PromptRecorder prompts;
        TBrelLogParser parser(Locale::Default(), prompts.Callback());
        parser.SetParallelism(threads, 1, 65536);
        TAlSiteList sites;
        parser.ParseFile(log.Path(), sites);

        EXPECT_EQ(prompts.prompts, expected);
        ASSERT_EQ(sites.Count(), 1);
        const TAlSite& site = *sites.SiteAt(0);
        EXPECT_EQ(site.Name, "Al\0pha"s);
        EXPECT_EQ(site.Path, "D:\\Logs\\Al\0pha\\"s);
        EXPECT_EQ(sites.FindSite("AL\0PHA"s), &site);
        EXPECT_EQ(sites.FindSite("Al"), nullptr);
        ASSERT_EQ(site.ConnCount(), 1);
        EXPECT_EQ(site.ConnAt(0).OnlineSecs, 60u);  // the failed header's lines stay with Alpha's attempt
        ASSERT_EQ(site.UnitCount(), 1);
        EXPECT_EQ(site.UnitAt(0)->Number, 4);
        ASSERT_EQ(site.UnitAt(0)->Trips().Count(), 1);
        EXPECT_EQ(site.UnitAt(0)->Trips().At(0).Bits, 2u);
    }
}

// ---------------------------------------------------------------------------------------------
// Over-long lines

TEST(BadInputLongLines, OnlyTheFirst119CharactersFormTheLineAndLineNumbersStayPhysical) {
    // Each long line is a faulty unit line followed by a short faulty line; the tails hide a site
    // header and a carriage return that must never be read as lines of their own.
    const std::size_t lengths[] = {118, 119, 120, 121, (1u << 20) - 1, (1u << 20) + 1, 5u << 20};
    const std::string tail = "\r*** Polled 18/11/2006 10:00:00 Site: D:\\Logs\\Ghost\\";
    std::string text = kAlphaHeader + "\n";
    std::vector<Prompt> expected;
    int lineNo = 1;
    for (std::size_t length : lengths) {
        std::string line = "Unit x alarms: \"";
        while (line.size() + tail.size() < length) line += static_cast<char>('a' + line.size() % 26);
        line += tail;
        line.resize(length, 'z');
        text += line + "\n";
        expected.push_back(ErrorPrompt("Unit - no number", ++lineNo, line.substr(0, 119)));
        text += "\n  \nUnit y trips: 1\n";
        lineNo += 2;
        expected.push_back(ErrorPrompt("Unit - no number", ++lineNo, "Unit y trips: 1"));
    }
    // A long site header: its first 119 characters name the site; the rest plays no part.
    text += Header("17/11/2006 10:00:00", "Beta") + std::string(3u << 20, 'q') + "\nOnline: 60\n";
    lineNo += 2;
    text += "Unit z trips: 1";  // the last line, without a newline
    expected.push_back(ErrorPrompt("Unit - no number", ++lineNo, "Unit z trips: 1"));

    const TempLog log(text);
    for (int threads : {1, 2}) {
        SCOPED_TRACE(threads);
        PromptRecorder prompts;
        TBrelLogParser parser(Locale::Default(), prompts.Callback());
        parser.SetParallelism(threads, 1, 65536);
        TAlSiteList sites;
        parser.ParseFile(log.Path(), sites);

        EXPECT_TRUE(SamePrompts(prompts.prompts, expected));
        ASSERT_EQ(sites.Count(), 2);
        EXPECT_EQ(sites.SiteAt(0)->Name, "Alpha");
        const TAlSite& beta = *sites.SiteAt(1);
        EXPECT_EQ(beta.Name, "Beta");
        const std::string header = Header("17/11/2006 10:00:00", "Beta");
        EXPECT_EQ(beta.Path, "D:\\Logs\\Beta\\" + std::string(119 - header.size(), 'q'));
        ASSERT_EQ(beta.ConnCount(), 1);
        EXPECT_EQ(beta.ConnAt(0).OnlineSecs, 60u);
        EXPECT_EQ(sites.FindSite("Ghost"), nullptr);
    }
}

// ---------------------------------------------------------------------------------------------
// Paths that are no log files

TEST(BadInputPaths, FoldersDevicesAndMissingFilesAreRefusedAndTheListKept) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("kelvane_bad_input_folder_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const TempLog regular(kAlphaHeader + "\n");
    const std::string paths[] = {
        folder.string(),
        folder.string() + "/",
        "/dev/zero",
        (folder / "no-such.log").string(),
        regular.Path() + "/",            // a file named as a folder
        regular.Path() + "/inside.log",  // a file inside a file
        "",
    };
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        TAlSiteList sites;
        TBrelLogParser first(Locale::Default());
        first.ParseText(Header("01/11/2006 08:00:00", "North") + "\nOnline: 60\nUnit 2 trips: 3\n" +
                            Header("02/11/2006 08:00:00", "South") + "\n",
                        sites);
        sites.SetFilter(At(2006, 11, 1), At(2006, 12, 1), 3);
        const std::string before = Dump(sites);

        PromptRecorder prompts;
        TBrelLogParser parser(Locale::Default(), prompts.Callback());
        EXPECT_TRUE(ThrowsMessage([&] { parser.ParseFile(path, sites); }, "Error opening file: " + path));
        EXPECT_THROW(TBrelLogParser(Locale::Default()).ParseFile(path, sites), FileOpenError);
        EXPECT_TRUE(ThrowsMessage([&] { TBrelLogParser(Locale::Default()).ParseFile(path); },
                                  "Error opening file: " + path));
        EXPECT_EQ(Dump(sites), before);
        EXPECT_EQ(sites.FilterDays, 3);
        EXPECT_TRUE(prompts.prompts.empty());
    }
    std::filesystem::remove_all(folder);
}

// ---------------------------------------------------------------------------------------------
// Files that change while they are read

// A log of attempts one minute apart, each at a site of its own number modulo 97 with 60 seconds
// online, written until it reaches the size; the last line has no newline.
std::string AttemptsLog(std::size_t size) {
    std::string text;
    char stamp[32];
    for (int i = 0; text.size() < size; ++i) {
        const int minutes = i % 60, hours = (i / 60) % 24, days = i / 1440;
        const int month = 1 + days / 28, day = 1 + days % 28;
        std::snprintf(stamp, sizeof stamp, "%02d/%02d/2006 %02d:%02d:00", day, month, hours, minutes);
        text += Header(stamp, "S" + std::to_string(i % 97)) + "\nOnline: 60\n";
    }
    text.pop_back();
    return text;
}

// A list that already holds a site of its own before the file is added to it.
void AddEarlierSite(TAlSiteList& sites) {
    TBrelLogParser(Locale::Default())
        .ParseText(Header("01/12/2005 08:00:00", "Earlier") + "\nOnline: 30\n", sites);
}

TEST(BadInputChangingFile, AGrowingFileIsReadUpToItsSizeAtOpening) {
    struct Case {
        const char* name;
        std::size_t size;  // of the log
        int threads;       // 1: one pass; 2: in parts of about 1 MiB, from 8 MiB on
    };
    const Case cases[] = {
        {"small", 4096, 1},
        {"several read blocks", 3u << 20, 1},
        {"in parts", 9u << 20, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // The last line reads "Online: 6"; the appended text would make it 60 and add a site.
        const std::string original = AttemptsLog(c.size) + "\nOnline: 6";
        const TempLog log(original);
        TAlSiteList expected;
        AddEarlierSite(expected);
        TBrelLogParser(Locale::Default()).ParseText(original, expected);

        TAlSiteList sites;
        AddEarlierSite(sites);
        PromptRecorder prompts;
        TBrelLogParser parser(Locale::Default(), prompts.Callback());
        parser.SetParallelism(c.threads, TBrelLogParser::kParallelMinBytes, 1u << 20);
        int reports = 0;
        parser.SetProgress([&](std::uint64_t, std::uint64_t) {
            // Every report appends, the first one before most of the file has been read.
            const int fd = ::open(log.Path().c_str(), O_WRONLY | O_APPEND);
            ASSERT_GE(fd, 0);
            const std::string more = "0\n" + Header("18/11/2006 10:00:00", "Appended") + "\nOnline: 99\n";
            EXPECT_EQ(::write(fd, more.data(), more.size()), static_cast<ssize_t>(more.size()));
            ::close(fd);
            ++reports;
        });
        parser.ParseFile(log.Path(), sites);

        EXPECT_GE(reports, 1);
        EXPECT_TRUE(prompts.prompts.empty());
        EXPECT_EQ(sites.FindSite("Appended"), nullptr);
        EXPECT_TRUE(Dump(sites) == Dump(expected)) << "the load differs from the file as it was at opening";
        EXPECT_TRUE(HoldsInvariants(sites));
    }
}

// Every attempt of a list as time and site name, in time order.
std::vector<std::pair<TDateTime, std::string>> AttemptsByTime(const TAlSiteList& sites) {
    std::vector<std::pair<TDateTime, std::string>> attempts;
    for (int i = 0; i < sites.Count(); ++i) {
        for (const TAlConn& conn : sites.SiteAt(i)->Conns())
            attempts.emplace_back(conn.Time, sites.SiteAt(i)->Name);
    }
    std::sort(attempts.begin(), attempts.end());
    return attempts;
}

// Loads a log into a list that already holds a site, cutting the file to a share of its size at the
// first progress report that counts at least cutOnceRead bytes read. Success when that site is kept
// as it was and what came from the file is its first attempts in file order, whether the load ends
// with an error or not; only the very last attempt may come from a line cut short.
::testing::AssertionResult LoadWhileShrinking(const std::string& original, int threads,
                                              std::uint64_t cutOnceRead, double keep,
                                              std::size_t& attemptsRead, std::size_t& attemptsInFile) {
    const TempLog log(original);
    TAlSiteList whole;
    TBrelLogParser(Locale::Default()).ParseText(original, whole);
    const auto all = AttemptsByTime(whole);  // file order: the times ascend through the file
    attemptsInFile = all.size();

    TAlSiteList sites;
    AddEarlierSite(sites);
    TBrelLogParser parser(Locale::Default(), [](const std::string&, const std::string&) { return true; });
    parser.SetParallelism(threads);
    bool cut = false;
    parser.SetProgress([&](std::uint64_t done, std::uint64_t) {
        if (cut || done < cutOnceRead) return;
        cut = true;
        const auto size = static_cast<off_t>(static_cast<double>(original.size()) * keep);
        if (::truncate(log.Path().c_str(), size) != 0) ADD_FAILURE() << "cannot cut the log";
    });
    std::string error;
    try {
        parser.ParseFile(log.Path(), sites);
    } catch (const Exception& e) {
        error = e.Message();
        if (error.empty()) return ::testing::AssertionFailure() << "an error without a message";
    }
    if (!cut) return ::testing::AssertionFailure() << "no progress was reported";

    const TAlSite* earlier = sites.FindSite("Earlier");
    if (!earlier || earlier->ConnCount() != 1 || earlier->ConnAt(0).OnlineSecs != 30u) {
        return ::testing::AssertionFailure() << "the site loaded before is gone or changed";
    }
    auto read = AttemptsByTime(sites);
    read.erase(read.begin());  // the earlier site's attempt comes first in time
    attemptsRead = read.size();
    if (read.size() > all.size()) return ::testing::AssertionFailure() << "more attempts than the file holds";
    std::size_t same = 0;
    while (same < read.size() && read[same] == all[same]) ++same;
    if (same + 1 < read.size()) {
        return ::testing::AssertionFailure()
               << "attempt " << same << " of the " << read.size() << " read (of " << all.size()
               << " in the file) is not the file's attempt " << same
               << " (not a prefix of the file): " << read[same].second << " at " << read[same].first
               << " instead of " << all[same].second << " at " << all[same].first << "; error: \"" << error
               << "\"";
    }
    return HoldsInvariants(sites);
}

TEST(BadInputChangingFile, AShrinkingFileKeepsWhatWasReadAsAConsistentPrefix) {
    struct Case {
        const char* name;
        std::size_t size;
        int threads;
        std::uint64_t cutOnceRead;
        int runs;
    };
    const Case cases[] = {
        {"small", 4096, 1, 0, 1},
        {"several read blocks", 3u << 20, 1, 0, 1},
        // Two parts read side by side, cut once both have begun. Which of them the cut reaches
        // first varies from run to run, so the load is repeated to meet the different orders.
        {"in parts", 24u << 20, 2, 2u << 20, 4},
    };
    for (const Case& c : cases) {
        const std::string original = AttemptsLog(c.size);
        for (const double keep : {0.0, 0.25}) {
            SCOPED_TRACE(std::string(c.name) + ", cut to " + std::to_string(keep));
            for (int run = 0; run < c.runs; ++run) {
                std::size_t attemptsRead = 0, attemptsInFile = 0;
                const ::testing::AssertionResult consistent = LoadWhileShrinking(
                    original, c.threads, c.cutOnceRead, keep, attemptsRead, attemptsInFile);
                if (!consistent) {
                    ADD_FAILURE() << "run " << run << ": " << consistent.message();
                    break;
                }
                if (c.size <= (1u << 20)) {
                    // Read whole before the first report: the cut comes too late to matter.
                    EXPECT_EQ(attemptsRead, attemptsInFile);
                }
            }
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Files of faulty lines only

TEST(BadInputFaultyLines, EveryFaultyLineIsPromptedInLineOrderWithItsPhysicalNumber) {
    struct Case {
        const char* name;
        int headerEvery;  // a good site header every so many lines, 0 for none
        int threads;
    };
    const Case cases[] = {
        {"no site at all, one pass", 0, 1},
        {"no site at all, in parts", 0, 2},
        {"sites between long runs of faulty lines, one pass", 23456, 1},
        {"sites between long runs of faulty lines, in parts", 23456, 2},
    };
    const std::string faulty = "Unit x trips: 1";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string text;
        std::vector<Prompt> expected;
        int lineNo = 0;
        for (int i = 0; i < 200000; ++i) {
            if (i % 1000 == 999) {
                text += "\n";  // an empty line counts all the same
                ++lineNo;
            }
            if (c.headerEvery > 0 && i % c.headerEvery == 0) {
                text += Header("17/11/2006 09:33:49", "Alpha") + "\n";
                ++lineNo;
            }
            text += faulty + "\n";
            expected.push_back(ErrorPrompt("Unit - no number", ++lineNo, faulty));
        }
        const TempLog log(text);
        PromptRecorder prompts;
        TBrelLogParser parser(Locale::Default(), prompts.Callback());
        parser.SetParallelism(c.threads, 1, 65536);
        TAlSiteList sites;
        parser.ParseFile(log.Path(), sites);

        EXPECT_TRUE(SamePrompts(prompts.prompts, expected));
        EXPECT_EQ(sites.Count(), c.headerEvery > 0 ? 1 : 0);
        EXPECT_TRUE(HoldsInvariants(sites));
    }
}

// ---------------------------------------------------------------------------------------------
// Numbers at the edges of their range

TEST(BadInputNumbers, UnitNumbersAtTheEdgesOfTheirRange) {
    struct Case {
        std::string line;
        std::optional<std::int32_t> unit;  // the unit recorded, or none
        std::string error;                 // the prompt's message when none
    };
    const Case cases[] = {
        {"Unit -2147483648 alarms: \"SENSOR FAILURE\"", INT32_MIN, ""},
        {"Unit -2147483648 trips: 1", INT32_MIN, ""},
        {"Unit 2147483647 alarms: \"SENSOR FAILURE\"", INT32_MAX, ""},
        {"Unit 2147483647 trips: 1", INT32_MAX, ""},
        {"Unit +2147483647 trips: 1", INT32_MAX, ""},
        {"Unit 000000000002147483647 trips: 1", INT32_MAX, ""},
        {"Unit 2147483648 alarms: \"SENSOR FAILURE\"", std::nullopt, "Unit - no number"},
        {"Unit 2147483648 trips: 1", std::nullopt, "Unit - no number"},
        {"Unit -2147483649 alarms: \"SENSOR FAILURE\"", std::nullopt, "Unit - no number"},
        {"Unit -2147483649 trips: 1", std::nullopt, "Unit - no number"},
        {"Unit 99999999999999999999999 trips: 1", std::nullopt, "Unit - no number"},
        {"Unit - trips: 1", std::nullopt, "Unit - no number"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        PromptRecorder prompts;
        TAlSiteList sites;
        TBrelLogParser(Locale::Default(), prompts.Callback())
            .ParseText(kAlphaHeader + "\n" + c.line + "\n", sites);
        ASSERT_EQ(sites.Count(), 1);
        const TAlSite& site = *sites.SiteAt(0);
        if (c.unit) {
            EXPECT_TRUE(prompts.prompts.empty());
            ASSERT_EQ(site.UnitCount(), 1);
            EXPECT_EQ(site.UnitAt(0)->Number, *c.unit);
            EXPECT_EQ(site.FindUnit(*c.unit), site.UnitAt(0));
        } else {
            EXPECT_EQ(prompts.prompts, (std::vector<Prompt>{ErrorPrompt(c.error, 2, c.line)}));
            EXPECT_EQ(site.UnitCount(), 0);
        }
    }

    // Both ends in one site: in numeric order, and shown whole in the tree.
    TAlSiteList sites;
    TBrelLogParser(Locale::Default())
        .ParseText(kAlphaHeader +
                       "\nOnline: 60\nUnit 2147483647 trips: 1\nUnit 0 trips: 1\nUnit -2147483648 trips: 1\n",
                   sites);
    sites.SetFilter(At(2006, 11, 1), At(2006, 12, 1), 0);
    std::vector<std::string> names;
    for (const TreeRow& row : BuildTreeRows(sites, Locale::Default())) {
        if (row.level == 1) names.push_back(row.texts[TreeRow::SiteUnit]);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Unit -2147483648", "Unit 0", "Unit 2147483647"}));
}

TEST(BadInputNumbers, TripBitsBeyondTheCodesAreStoredButNeverShown) {
    const std::string allCodes = "Hp,Lp1,Lp2,Et1,Et2,Dgt,Ops,Cmp,Hpt,Evt,Cdt,Ai1,Ao,Lpt,Ai2,Rmt";
    struct Case {
        std::string hex;
        std::optional<std::uint32_t> stored;  // the trip bits recorded, or none
        std::string error;
        std::string shown;     // the unit row's trip codes
        std::string siteCell;  // the site row's Alarms cell
    };
    const Case cases[] = {
        {"FFFFFFFF", 0xFFFFFFFFu, "", allCodes, "AL??"},
        {"ffffffff", 0xFFFFFFFFu, "", allCodes, "AL??"},
        {"0FFFFFFFF", 0xFFFFFFFFu, "", allCodes, "AL??"},
        {"000000001", 0x1u, "", "Hp", "AL??"},
        {"FFFF0000", 0xFFFF0000u, "", "", "none"},  // nothing among codes 0-15
        {"10000", 0x10000u, "", "", "none"},
        {"100000000", std::nullopt, "Unit trips - no trips", "", "none"},
        {"FFFFFFFFF", std::nullopt, "Unit trips - no trips", "", "none"},
        {"xyz", std::nullopt, "Unit trips - no trips", "", "none"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hex);
        const std::string line = "Unit 3 trips: " + c.hex;
        PromptRecorder prompts;
        TAlSiteList sites;
        TBrelLogParser(Locale::Default(), prompts.Callback())
            .ParseText(kAlphaHeader + "\nOnline: 60\n" + line + "\n", sites);
        sites.SetFilter(At(2006, 11, 1), At(2006, 12, 1), 0);
        ASSERT_EQ(sites.Count(), 1);
        const TAlSite& site = *sites.SiteAt(0);
        if (c.stored) {
            EXPECT_TRUE(prompts.prompts.empty());
            ASSERT_EQ(site.UnitCount(), 1);
            ASSERT_EQ(site.UnitAt(0)->Trips().Count(), 1);
            EXPECT_EQ(site.UnitAt(0)->Trips().At(0).Bits, *c.stored);
            EXPECT_EQ(site.UnitAt(0)->TripBitsInFilter(), *c.stored & 0xFFFFu);
        } else {
            EXPECT_EQ(prompts.prompts, (std::vector<Prompt>{ErrorPrompt(c.error, 3, line)}));
            EXPECT_EQ(site.UnitCount(), 0);
        }

        const std::vector<TreeRow> rows = BuildTreeRows(sites, Locale::Default());
        ASSERT_EQ(rows.size(), c.stored ? 2u : 1u);
        EXPECT_EQ(rows[0].texts[TreeRow::Alarms], c.siteCell);
        if (c.stored) {
            EXPECT_EQ(rows[1].texts[TreeRow::DateTime], c.shown);
        }

        // The site report's unit line and summary (a line followed by an empty one) show the same
        // codes, and nothing beyond them.
        SiteReportOptions options;
        options.separator = FieldSeparator::Tab;
        options.filterDates = options.columnHeadings = false;
        options.unitLines = true;
        const ReportLines unitLines = SiteReport(sites, options, Locale::Default(), At(2006, 12, 1)).Build();
        options.unitLines = false;
        options.siteAlarms = true;
        const ReportLines summary = SiteReport(sites, options, Locale::Default(), At(2006, 12, 1)).Build();
        if (c.shown.empty()) {
            EXPECT_EQ(unitLines, (ReportLines{"Alpha\t17/11/2006\t17/11/2006"}));
            EXPECT_EQ(summary, (ReportLines{"Alpha\t17/11/2006\t17/11/2006\t\t", ""}));
        } else {
            EXPECT_EQ(unitLines, (ReportLines{"Alpha\t17/11/2006\t17/11/2006", " \tUnit3\t\t" + c.shown}));
            EXPECT_EQ(summary, (ReportLines{"Alpha\t17/11/2006\t17/11/2006\t\tU3:" + c.shown + " ", ""}));
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Very many sites

TEST(BadInputManySites, AHundredThousandSitesAreAllThereInOrderAndFoundInAnyCase) {
    constexpr int kSites = 100000;
    std::mt19937 rng(42);
    std::vector<std::string> names;
    names.reserve(kSites);
    for (int i = 0; i < kSites; ++i) {
        std::string name = "plant" + std::to_string(i * 7919 % 1000003);
        if (i % 1000 == 0) name += "\xC4rhus";  // a byte above 127 compares as it is
        for (char& ch : name) {
            if (rng() % 2) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        }
        names.push_back(name);
    }
    std::vector<std::size_t> order(names.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::shuffle(order.begin(), order.end(), rng);
    std::string text;
    for (std::size_t i : order) text += Header("17/11/2006 09:33:49", names[i]) + "\nOnline: 60\n";
    // The same sites again in another letter case add attempts, not sites.
    for (std::size_t i = 0; i < names.size(); i += 10) {
        std::string upper = names[i];
        for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        text += Header("18/11/2006 09:33:49", upper) + "\n";
    }

    PromptRecorder prompts;
    TAlSiteList sites;
    TBrelLogParser(Locale::Default(), prompts.Callback()).ParseText(text, sites);

    EXPECT_TRUE(prompts.prompts.empty());
    ASSERT_EQ(sites.Count(), kSites);
    EXPECT_TRUE(HoldsInvariants(sites));
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::string lower = names[i];
        for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        const TAlSite* site = sites.FindSite(lower);
        ASSERT_NE(site, nullptr) << names[i];
        ASSERT_EQ(site->Name, names[i]);
        ASSERT_EQ(site->ConnCount(), i % 10 == 0 ? 2 : 1) << names[i];
    }
    sites.SetFilter(At(2006, 11, 1), At(2006, 12, 1), 1);
    EXPECT_EQ(BuildTreeRows(sites, Locale::Default()).size(), static_cast<std::size_t>(kSites));
}

}  // namespace
}  // namespace kelvane
