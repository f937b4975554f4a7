#pragma once
// Number text that does not depend on the process locale: the output of
// printf's "%*d" and "%*.*f" in the C locale, whatever LC_NUMERIC says.

#include <string>

namespace ovix {

// As "%*d" with `width`.
void appendInt(std::string& out, long long value, int width = 0);

// As "%*.*f" with `width` and `precision` (0 to 100): fixed notation, rounded to the
// nearest, "inf", "-inf", "nan" or "-nan" for the special values.
void appendFixed(std::string& out, double value, int precision, int width = 0);

}  // namespace ovix
