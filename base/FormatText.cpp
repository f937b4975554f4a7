#include "base/FormatText.h"

#include <stdexcept>

#include "base/FormatFixed.h"

namespace ovix {
namespace {

[[noreturn]] void misfit(std::string_view format, const char* what) {
    throw std::logic_error("format \"" + std::string(format) + "\": " + what);
}

// The digits at `at`, as a number; `at` moves past them.
int readNumber(std::string_view format, std::size_t& at) {
    int value = 0;
    while (at < format.size() && format[at] >= '0' && format[at] <= '9') {
        value = value * 10 + (format[at] - '0');
        if (value > 1000)
            misfit(format, "width or precision too large");
        ++at;
    }
    return value;
}

void appendPadded(std::string& out, std::string_view text, int width) {
    if (text.size() < static_cast<std::size_t>(width))
        out.append(static_cast<std::size_t>(width) - text.size(), ' ');
    out += text;
}

}  // namespace

std::string formatText(std::string_view format, std::initializer_list<FormatArg> args) {
    std::string out;
    auto next = args.begin();
    const auto take = [&](FormatArg::Kind kind) -> const FormatArg& {
        if (next == args.end())
            misfit(format, "too few arguments");
        if (next->kind() != kind)
            misfit(format, "an argument of the wrong kind");
        return *next++;
    };

    std::size_t at = 0;
    while (at < format.size()) {
        const std::size_t percent = format.find('%', at);
        out += format.substr(at, percent - at);
        if (percent == std::string_view::npos)
            break;
        at = percent + 1;
        if (at < format.size() && format[at] == '%') {
            out += '%';
            ++at;
            continue;
        }
        const int width = readNumber(format, at);
        int precision = -1;
        if (at < format.size() && format[at] == '.') {
            ++at;
            precision = readNumber(format, at);
        }
        int longs = 0;
        while (at < format.size() && format[at] == 'l' && longs < 2) {
            ++longs;
            ++at;
        }
        if (at == format.size())
            misfit(format, "a conversion without its letter");
        switch (format[at++]) {
            case 'd':
                if (precision >= 0)
                    misfit(format, "a precision for %d");
                appendInt(out, take(FormatArg::Kind::integer).integer(), width);
                break;
            case 'f':
                appendFixed(out, take(FormatArg::Kind::real).real(), precision < 0 ? 6 : precision, width);
                break;
            case 's':
                if (precision >= 0 || longs > 0)
                    misfit(format, "a precision or length for %s");
                appendPadded(out, take(FormatArg::Kind::text).text(), width);
                break;
            default:
                misfit(format, "an unknown conversion");
        }
    }
    if (next != args.end())
        misfit(format, "too many arguments");
    return out;
}

}  // namespace ovix
