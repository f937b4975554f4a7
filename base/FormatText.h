#pragma once
// printf-style text that does not depend on the process locale, for the
// engine's log lines: the format keeps the line readable as it is written,
// the numbers come out as in the C locale whatever LC_NUMERIC says.
//
// Conversions: %d (with the length modifiers l and ll), %f, %s and %%, each
// with an optional width and, for %f, a precision ("%5d", "%6.2f", "%.0f").
// Each conversion takes the next argument, which must be of its kind: an
// integer for %d, a floating-point number for %f, a text for %s. A format
// that does not fit its arguments throws std::logic_error.

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

namespace ovix {

class FormatArg {
public:
    enum class Kind { integer, real, text };

    template <class I>
    requires std::is_integral_v<I> FormatArg(I value)
        : m_kind(Kind::integer), m_integer(static_cast<long long>(value)) {}
    FormatArg(double value) : m_kind(Kind::real), m_real(value) {}
    FormatArg(const char* value) : m_kind(Kind::text), m_text(value) {}
    FormatArg(std::string_view value) : m_kind(Kind::text), m_text(value) {}
    FormatArg(const std::string& value) : m_kind(Kind::text), m_text(value) {}

    Kind kind() const { return m_kind; }
    long long integer() const { return m_integer; }
    double real() const { return m_real; }
    std::string_view text() const { return m_text; }

private:
    Kind m_kind;
    long long m_integer = 0;
    double m_real = 0;
    std::string_view m_text;
};

std::string formatText(std::string_view format, std::initializer_list<FormatArg> args);

template <class... Args>
std::string formatText(std::string_view format, const Args&... args) {
    return formatText(format, {FormatArg(args)...});
}

}  // namespace ovix
