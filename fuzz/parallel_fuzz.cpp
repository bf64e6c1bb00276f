// A log read from a file in parts on several threads against the same log read in one pass.
//
// Input: byte 0 picks the locale (see PickLocale); byte 1 the prompt at which Cancel is answered
// (0: OK to every prompt); byte 2 the threads (bits 0-1: 2 to 5, or one per processor when bit 2
// is set); bytes 3-4 about how many bytes a part holds (16 bits; 0 keeps the default); the rest is
// the log, which is always read in parts.
//
// Checked: the parts give the same prompts in the same order, with the same captions, line numbers
// and texts, and after the same Cancel the same list, item for item, as one pass over the text;
// progress never runs backwards or past the file's size.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzEntry.h"
#include "FuzzSupport.h"
#include "ModelChecks.h"
#include "log/BrelLogParser.h"
#include "model/AlarmSite.h"

namespace kelvane::fuzz {
namespace {

// Answers OK until the chosen prompt, which is answered Cancel; records every prompt.
class Prompter {
public:
    explicit Prompter(unsigned cancelAt) : cancelAt_(cancelAt) {}
    ParsePrompt Callback() {
        return [this](const std::string& caption, const std::string& text) {
            prompts.push_back(caption + "\n" + text);
            return prompts.size() != cancelAt_;
        };
    }
    std::vector<std::string> prompts;

private:
    unsigned cancelAt_;
};

}  // namespace
}  // namespace kelvane::fuzz

KELVANE_FUZZ_ENTRY(parallel) {
    using namespace kelvane;
    using namespace kelvane::fuzz;
    FuzzInput in(data, size);
    const Locale locale = PickLocale(in.Byte());
    const unsigned cancelAt = in.Byte();
    const unsigned threadBits = in.Byte();
    const int threads = (threadBits & 4u) ? 0 : 2 + static_cast<int>(threadBits & 3u);
    const std::uint64_t chunkBytes = in.U16();
    const std::string_view log = in.Rest();

    Prompter onePass(cancelAt);
    TAlSiteList expected;
    TBrelLogParser(locale, onePass.Callback()).ParseText(log, expected);

    MemoryFile file(log);
    Prompter inParts(cancelAt);
    TAlSiteList got;
    TBrelLogParser parser(locale, inParts.Callback());
    parser.SetParallelism(threads, 0, chunkBytes);
    std::uint64_t lastDone = 0;
    parser.SetProgress([&](std::uint64_t done, std::uint64_t total) {
        KELVANE_FUZZ_CHECK(total == log.size());
        KELVANE_FUZZ_CHECK(lastDone <= done && done <= total);
        lastDone = done;
    });
    parser.ParseFile(file.Path(), got);

    KELVANE_FUZZ_CHECK_MSG(inParts.prompts == onePass.prompts,
                           std::to_string(inParts.prompts.size()) + " prompts in parts, " +
                               std::to_string(onePass.prompts.size()) + " in one pass");
    const std::vector<std::string> want = DumpList(expected);
    const std::vector<std::string> have = DumpList(got);
    KELVANE_FUZZ_CHECK_MSG(have == want, "in parts | one pass: " + FirstDifference(have, want));
    CheckSortedList(got);
    return 0;
}
