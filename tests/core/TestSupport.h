#pragma once

// Small helpers shared by the core tests: date-time values, fixture paths, temporary logs,
// a recording parser prompt and an exception-message check.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "log/BrelLogParser.h"
#include "model/AlarmSite.h"
#include "platform/DateTime.h"
#include "platform/Exception.h"

namespace kelvane::test {

// A date-time value from its civil parts.
inline TDateTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
                    int millisecond = 0) {
    return EncodeDate(year, month, day) + EncodeTime(hour, minute, second, millisecond);
}

// Absolute path of a file under tests/fixtures.
inline std::string FixturePath(const std::string& name) {
    return std::string(KELVANE_FIXTURES) + "/" + name;
}

// One prompt the parser showed: its caption and its text.
struct Prompt {
    std::string caption;
    std::string text;
    friend bool operator==(const Prompt&, const Prompt&) = default;
    friend std::ostream& operator<<(std::ostream& os, const Prompt& p) {
        return os << "{" << p.caption << " | " << p.text << "}";
    }
};

// The prompt the parser shows for an error message on a physical line.
inline Prompt ErrorPrompt(const std::string& message, int lineNo, const std::string& lineText) {
    return {"BrelLogParser Error: " + message,
            "Line " + std::to_string(lineNo) + ": \"" + lineText + "\""};
}

// Records every prompt; answers OK, or Cancel at the cancelAt-th prompt (1-based, 0 = never).
class PromptRecorder {
public:
    explicit PromptRecorder(int cancelAt = 0) : cancelAt_(cancelAt) {}

    ParsePrompt Callback() {
        return [this](const std::string& caption, const std::string& text) {
            prompts.push_back({caption, text});
            return static_cast<int>(prompts.size()) != cancelAt_;
        };
    }

    std::vector<Prompt> prompts;

private:
    int cancelAt_;
};

// A log file written from text into the temporary directory, removed again at the end of the test.
class TempLog {
public:
    explicit TempLog(const std::string& content) {
        static std::atomic<int> counter{0};
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("kelvane_") + (info ? info->name() : "log") + "_" +
                           std::to_string(counter++) + ".log";
        for (char& c : name)
            if (c == '/') c = '_';
        path_ = (std::filesystem::temp_directory_path() / name).string();
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out << content;
    }
    ~TempLog() {
        std::error_code ec;
        std::filesystem::remove(path_, ec);
    }
    TempLog(const TempLog&) = delete;
    TempLog& operator=(const TempLog&) = delete;

    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// Success when f throws kelvane::Exception with exactly this message.
template <typename F>
::testing::AssertionResult ThrowsMessage(F&& f, const std::string& message) {
    try {
        f();
    } catch (const kelvane::Exception& e) {
        if (e.what() == message) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << "threw \"" << e.what() << "\", expected \"" << message << "\"";
    } catch (const std::exception& e) {
        return ::testing::AssertionFailure()
               << "threw another exception type (" << e.what() << "), expected \"" << message
               << "\"";
    }
    return ::testing::AssertionFailure() << "threw nothing, expected \"" << message << "\"";
}

// Everything a list holds, as text, so two lists can be compared whole.
inline std::string DumpModel(const TAlSiteList& sites) {
    std::ostringstream out;
    out.precision(17);
    for (int i = 0; i < sites.Count(); ++i) {
        const TAlSite& site = *sites.SiteAt(i);
        out << "site " << site.Name << " | " << site.Path << " | " << site.FirstConnect << ' '
            << site.LastConnect << ' ' << site.LastAttempt << '\n';
        for (const TAlConn& c : site.Conns())
            out << "  conn " << c.Time << ' ' << c.Status << ' ' << c.OnlineSecs << '\n';
        for (int u = 0; u < site.UnitCount(); ++u) {
            const TAlUnit& unit = *site.UnitAt(u);
            out << "  unit " << unit.Number << '\n';
            for (const TAlUnitAlarm& e : unit.Alarms().Items())
                out << "    alarm " << e.Time << ' ' << e.Bits << '\n';
            for (const TAlUnitAlarm& e : unit.Trips().Items())
                out << "    trip " << e.Time << ' ' << e.Bits << '\n';
        }
    }
    return out.str();
}

}  // namespace kelvane::test
