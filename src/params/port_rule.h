// How a PORT value becomes a number.
//
// A PORT value is read as the number it begins with: blanks are skipped
// wherever they stand, an optional sign and the digits (and, for the check,
// one decimal point) that follow count, anything else ends the number; a
// value that does not begin with a number gives 0. Port 0 means the default
// port, 22. Pure functions, thread-safe, never fail.
#pragma once

#include <string>
#include <string_view>

namespace comvorlix {

inline constexpr int kDefaultSshPort = 22;
inline constexpr int kMaxTcpPort = 65535;

// "the port P is not a TCP port (1-65535)", P being `value` without the
// blanks around it.
std::string PortOutsideRange(std::string_view value);

// The number a PORT value begins with, fractions included (the check rounds
// it and range-checks it itself).
double LeadingNumber(std::string_view value);

// The same number as the form shows it: a plain decimal whole number
// without leading zeros ("0" when there is none, "-5" for a negative one).
std::string PortNumberShown(std::string_view value);

}  // namespace comvorlix
