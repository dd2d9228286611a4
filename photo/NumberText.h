#pragma once

#include <cstdint>
#include <string>

// Every number the program shows or writes (texts, tool tip, panel, CSV file, chart labels) is
// formatted here, with std::to_chars, which never consults the C library's locale: Qt sets that
// locale from the environment at start-up, and "%.1f" would then print "11,0" under de_DE.

// printf's "%.<decimals>f" in the C locale: rounded from the exact binary value, an exact tie to
// the even digit, as glibc does; "-0.0" for negative zero and for a negative value that rounds to
// zero; "nan", "inf", "-inf" for values that are not finite. decimals 0 to 17.
std::string FormatFixed(double value, int decimals);

// printf's "%lld": no grouping, "-" for a negative value.
std::string FormatInteger(int64_t value);
