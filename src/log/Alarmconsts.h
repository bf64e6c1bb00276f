#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/CommaText.h"

namespace kelvane {

// Number of alarm codes, trip codes and link-error codes.
inline constexpr int kAlarmCodeCount = 16;
inline constexpr int kTripCodeCount = 16;
inline constexpr int kLinkErrCodeCount = 10;

// The text of alarm code index in a width: abbreviation (<=2), short name (3-8) or long name (>8).
std::string AppAlarmStr(int index, int width);

// The text of trip code index in a width: abbreviation (<=3), short name (4-8) or long name (>8).
std::string AppTripStr(int index, int width);

// One text per set alarm bit in ascending bit order; an empty list for no bits.
StringList AppAlarmStrList(std::uint32_t bits, int width);

// One text per set trip bit in ascending bit order; an empty list for no bits.
StringList AppTripStrList(std::uint32_t bits, int width);

// The 16 alarm key lines: abbreviation, short and long name of each code as comma text.
StringList AppAlarmKeyList();

// The 16 trip key lines: abbreviation, short and long name of each code as comma text.
StringList AppTripKeyList();

// The bit of the first alarm name that begins with name; 0x0080 for an empty name; 0 when none matches.
int AppAlarmCode(std::string_view name);

// The first link-error code 1-9 whose text occurs in the line, else 0.
int AppLinkErrCode(std::string_view text);

// The texts of a link-error bit set in column 0 (long), 1 (short) or 2 (code); empty for none.
StringList AppLinkErrStrList(std::uint32_t bits, int column);

}  // namespace kelvane
