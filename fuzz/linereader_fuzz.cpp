// The log line reader on arbitrary bytes, from memory and from a file read in small blocks.
//
// Input: byte 0 chooses the block size (256 plus the byte); byte 1 bit 0 asks for positioned
// reads from an offset with a limit, taken from bytes 2-3 and 4-5 (16 bits each; a limit of
// 0xFFFF is none); the rest is the log text.
//
// Checked: each way gives exactly the lines and physical line numbers that the plain rules give
// (ReferenceLines) for its bytes, however the lines and CR LF pairs fall across block boundaries,
// and reports every byte it was given as read at the end.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzEntry.h"
#include "FuzzSupport.h"
#include "ReferenceLines.h"
#include "log/LineReader.h"

namespace kelvane::fuzz {
namespace {

void CheckReader(LineReader& reader, const std::vector<NumberedLine>& expected, std::size_t size,
                 const char* how) {
    std::string_view line;
    std::size_t i = 0;
    while (reader.Next(line)) {
        KELVANE_FUZZ_CHECK_MSG(i < expected.size(), std::string(how) + ": extra line " + Hex(line));
        KELVANE_FUZZ_CHECK_MSG(line == expected[i].text,
                               std::string(how) + ": line " + std::to_string(reader.LineNo()) + " reads " +
                                   Hex(line) + ", expected " + Hex(expected[i].text));
        KELVANE_FUZZ_CHECK_MSG(reader.LineNo() == expected[i].lineNo,
                               std::string(how) + ": line numbered " + std::to_string(reader.LineNo()) +
                                   ", expected " + std::to_string(expected[i].lineNo));
        ++i;
    }
    KELVANE_FUZZ_CHECK_MSG(i == expected.size(), std::string(how) + ": " + std::to_string(i) +
                                                     " lines, expected " + std::to_string(expected.size()));
    KELVANE_FUZZ_CHECK(reader.BytesRead() == size);
    KELVANE_FUZZ_CHECK(!reader.Next(line));
}

}  // namespace
}  // namespace kelvane::fuzz

KELVANE_FUZZ_ENTRY(linereader) {
    using namespace kelvane;
    using namespace kelvane::fuzz;
    FuzzInput in(data, size);
    const std::size_t blockSize = 256 + in.Byte();
    const bool positioned = in.Byte() & 1u;
    const std::size_t offset = in.U16();
    const std::uint16_t limit = in.U16();
    const std::string_view text = in.Rest();

    LineReader fromMemory(text);
    CheckReader(fromMemory, ReferenceLines(text), text.size(), "memory");

    MemoryFile file(text);
    if (positioned) {
        // Positioned reads see only the bytes from the offset, at most the limit of them.
        const std::string_view part =
            text.substr(std::min(offset, text.size()), limit == 0xFFFF ? std::string_view::npos : limit);
        LineReader fromFile(file.fd(), offset, limit == 0xFFFF ? LineReader::kNoLimit : limit, blockSize);
        CheckReader(fromFile, ReferenceLines(part), part.size(), "positioned file");
    } else {
        LineReader fromFile(file.fd(), 0, LineReader::kNoLimit, blockSize);
        CheckReader(fromFile, ReferenceLines(text), text.size(), "file");
    }
    return 0;
}
