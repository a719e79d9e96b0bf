// Rendering of the numbers of a list-directed record.
//
// A double takes 24 characters in the general form with 15 significant digits and a
// three-digit exponent: fixed point when the value, rounded to 15 significant digits, lies
// in [0.1, 1e15) (right-justified in 19 characters, then 5 blanks), exponent form with 16
// significant digits otherwise (zero included). An integer takes 12 characters,
// right-justified. Neither function allocates or throws.
#pragma once

#include <cstdint>
#include <string>

namespace korvane {

inline constexpr int real_width = 24;
inline constexpr int integer_width = 12;

// Writes exactly 24 characters to out. Negative zero keeps its sign; an infinity or NaN is
// written right-justified as "Infinity", "-Infinity" or "NaN".
void format_real(double value, char* out);

// Writes exactly 12 characters to out.
void format_integer(std::int32_t value, char* out);

// A double in printf's %g form with `digits` significant digits (1 to 17): the short form
// the companions' reports and labels show.
std::string general_number(double value, int digits);

// A double with 17 significant digits (%.17g), which reads back as the same double: what
// the companions' data files (CSV, axis profiles) hold.
std::string exact_number(double value);

}  // namespace korvane
