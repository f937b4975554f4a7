#pragma once
// A failed check of the spectral graph engine, the classifier or the
// clustering: the source that holds the check, the check's fixed number in
// that source and the offending value.
//
// Each source lists its checks in an enum of its own whose values are the
// checks' numbers, and names itself once, in a `checkSource` function for that
// enum declared beside it:
//
//     enum class LaPlacianCheck { getWithoutRows = 98, ... };
//     constexpr const char* checkSource(LaPlacianCheck) { return "sgt/LaPlacian.h"; }
//
// so that code names a check and the check brings its source and number with
// it; the number appears only in the texts below, and stays the same whatever
// the source's layout.
//
// A failure that a caller's input can reach is thrown as a CheckFailure, whose
// text is "SOURCE CHECK VALUE\n". A broken invariant prints the report
// "SOURCE:CHECK: VALUE\n" and aborts (sgt/Invariant.h). VALUE is printed as a
// 32-bit int; wider values are clamped.
//
// These are immutable values: any thread may use them.

#include <algorithm>
#include <climits>
#include <concepts>
#include <stdexcept>
#include <string>
#include <type_traits>

namespace ovix {

// An enum of one source's checks.
template <class Enum>
concept CheckEnum = std::is_enum_v<Enum> && requires(Enum check) {
    { checkSource(check) } -> std::convertible_to<const char*>;
};

// One check: the source that holds it and its number there.
struct SourceCheck {
    template <CheckEnum Enum>
    constexpr SourceCheck(Enum check) : source(checkSource(check)), number(static_cast<int>(check)) {}

    const char* source;
    int number;
};

class CheckFailure : public std::runtime_error {
public:
    CheckFailure(SourceCheck check, long long value)
        : std::runtime_error(text(check, clamped(value), " ", " ")), m_check(check), m_value(clamped(value)) {}

    // "SOURCE:CHECK: VALUE\n", the report of a broken invariant.
    std::string report() const { return text(m_check, m_value, ":", ": "); }

private:
    static int clamped(long long value) { return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX)); }
    static std::string text(SourceCheck check, int value, const char* afterSource, const char* afterCheck) {
        return check.source + (afterSource + std::to_string(check.number)) + afterCheck + std::to_string(value) + '\n';
    }

    SourceCheck m_check;
    int m_value;
};

}  // namespace ovix
