// A large log read in parts on several threads must give exactly what one pass gives: the same
// sites, attempts, units and events, the same prompts in the same order, and after a Cancel the
// same partial result.
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "TestSupport.h"
#include "log/BrelLogParser.h"
#include "model/AlarmSite.h"

namespace kelvane {
namespace {

using test::PromptRecorder;
using test::TempLog;

std::string Dump(const TAlSiteList& sites) { return test::DumpModel(sites); }

// A log of many attempts with every kind of line, faulty lines among them, and traps at the places
// where a part may begin: failed headers whose following lines belong to the attempt before, the
// same site and time in several parts, indented and blank lines, CR LF and over-long lines.
std::string MakeLog(unsigned seed, int attempts) {
    std::mt19937 rng(seed);
    const char* const sites[] = {"Ashford", "ashford", "Bury", "Crewe", "Dover Port", "Ely"};
    const char* const alarms[] = {"\"SENSOR FAILURE\"", "\"LOW TEMPERATURE\"", "\"HIGH READING\"", "\"SYSTEM\"",
                                  "\"\"", "\"BOGUS\""};
    std::string log;
    auto eol = [&] { log += (rng() % 5 == 0) ? "\r\n" : "\n"; };
    for (int a = 0; a < attempts; ++a) {
        const int day = 1 + static_cast<int>(rng() % 28);
        const int hour = static_cast<int>(rng() % 24);
        char stamp[32];
        std::snprintf(stamp, sizeof stamp, "%02d/11/2006 %02d:%02d:00", day, hour, static_cast<int>(rng() % 3) * 20);
        const int kind = static_cast<int>(rng() % 20);
        if (kind == 0) {
            log += "*** [0001] 31/02/2006 10:00:00 Site: D:\\Logs\\Bad\\";  // faulty date: lines below stay with the attempt before
        } else if (kind == 1) {
            log += "*** [0001] ";
            log += stamp;
            log += " Site: nobackslash";
        } else {
            if (rng() % 7 == 0) log += "  \t";
            log += "*** [0001] ";
            log += stamp;
            log += " Site: D:\\Logs\\";
            log += sites[rng() % 6];
            log += "\\";
        }
        eol();
        const int lines = static_cast<int>(rng() % 6);
        for (int l = 0; l < lines; ++l) {
            switch (rng() % 9) {
                case 0: log += "Portix Error: TAPI: Couldn't connect call"; break;
                case 1: log += "Portix Error: Corvane link: Read/write op failure"; break;
                case 2: log += "Online: " + std::to_string(rng() % 500); break;
                case 3: log += "Online: 12 words"; break;
                case 4:
                    log += "Unit " + std::to_string(rng() % 4) + " alarms: " + alarms[rng() % 6] + "," + alarms[rng() % 6];
                    break;
                case 5: log += "Unit " + std::to_string(rng() % 4) + " trips: " + std::to_string(rng() % 20); break;
                case 6: log += "Unit x trips: 5"; break;
                case 7: log += std::string(150 + rng() % 200, 'z'); break;
                default: log += "Dialling 01632 960123"; break;
            }
            eol();
        }
        if (rng() % 4 == 0) eol();
    }
    return log;
}

struct Result {
    std::string model;
    std::vector<test::Prompt> prompts;
};

Result Load(const std::string& path, int threads, std::uint64_t chunkBytes, int cancelAt) {
    PromptRecorder recorder(cancelAt);
    TBrelLogParser parser(Locale::Default(), recorder.Callback());
    parser.SetParallelism(threads, 1, chunkBytes);
    TAlSiteList sites;
    parser.ParseFile(path, sites);
    return Result{Dump(sites), recorder.prompts};
}

TEST(ParallelParse, GivesWhatOnePassGives) {
    for (unsigned seed : {1u, 2u, 3u}) {
        const TempLog log(MakeLog(seed, 3000));
        const Result single = Load(log.Path(), 1, 0, 0);
        ASSERT_FALSE(single.prompts.empty());
        for (int threads : {2, 3}) {
            for (std::uint64_t chunk : {std::uint64_t{4096}, std::uint64_t{20000}, std::uint64_t{1} << 20}) {
                const Result parallel = Load(log.Path(), threads, chunk, 0);
                EXPECT_EQ(parallel.model, single.model) << "seed " << seed << " threads " << threads << " chunk " << chunk;
                EXPECT_EQ(parallel.prompts, single.prompts) << "seed " << seed << " threads " << threads << " chunk " << chunk;
            }
        }
    }
}

TEST(ParallelParse, CancelKeepsWhatOnePassKeeps) {
    const TempLog log(MakeLog(7, 3000));
    const std::size_t errors = Load(log.Path(), 1, 0, 0).prompts.size();
    ASSERT_GT(errors, 40u);
    for (int cancelAt : {1, 2, static_cast<int>(errors / 3), static_cast<int>(errors / 2), static_cast<int>(errors)}) {
        const Result single = Load(log.Path(), 1, 0, cancelAt);
        const Result parallel = Load(log.Path(), 2, 4096, cancelAt);
        EXPECT_EQ(parallel.model, single.model) << "cancel at prompt " << cancelAt;
        EXPECT_EQ(parallel.prompts, single.prompts) << "cancel at prompt " << cancelAt;
    }
}

// A part with more faulty lines than are worth holding back is read again with prompts as it goes.
TEST(ParallelParse, PartsFullOfFaultyLinesPromptInOrder) {
    std::string text;
    for (int block = 0; block < 6; ++block) {
        text += "*** [0001] 0" + std::to_string(block + 1) + "/11/2006 10:00:00 Site: D:\\Logs\\North\\\n";
        text += "Online: 30\n";
        for (int i = 0; i < 6000; ++i) text += "Unit " + std::to_string(i % 3) + " trips: none\n";
        text += "Unit 2 trips: 0005\n";
    }
    const TempLog log(text);
    for (int cancelAt : {0, 2, 9000, 20000}) {
        const Result single = Load(log.Path(), 1, 0, cancelAt);
        const Result parallel = Load(log.Path(), 2, 4096, cancelAt);
        EXPECT_EQ(parallel.model, single.model) << "cancel at prompt " << cancelAt;
        EXPECT_EQ(parallel.prompts, single.prompts) << "cancel at prompt " << cancelAt;
    }
}

TEST(ParallelParse, AddsToAListThatAlreadyHoldsSites) {
    const TempLog first(MakeLog(11, 500));
    const TempLog second(MakeLog(12, 2000));
    auto loadBoth = [&](int threads) {
        TBrelLogParser a(Locale::Default());
        a.SetParallelism(threads, 1, 4096);
        TAlSiteList sites;
        a.ParseFile(first.Path(), sites);
        TBrelLogParser b(Locale::Default());
        b.SetParallelism(threads, 1, 4096);
        b.ParseFile(second.Path(), sites);
        return Dump(sites);
    };
    EXPECT_EQ(loadBoth(2), loadBoth(1));
}

TEST(ParallelParse, ReportsProgressUpToTheFileSize) {
    const TempLog log(MakeLog(5, 2000));
    TBrelLogParser parser(Locale::Default());
    parser.SetParallelism(2, 1, 4096);
    std::uint64_t last = 0;
    std::uint64_t total = 0;
    bool ascending = true;
    parser.SetProgress([&](std::uint64_t done, std::uint64_t size) {
        ascending = ascending && done >= last;
        last = done;
        total = size;
    });
    TAlSiteList sites;
    parser.ParseFile(log.Path(), sites);
    EXPECT_TRUE(ascending);
    EXPECT_GT(total, 0u);
    EXPECT_EQ(last, total);
}

}  // namespace
}  // namespace kelvane
