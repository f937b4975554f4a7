#include "sgt/SolverFailure.h"

#include <string>

namespace ovix {

std::runtime_error solverFailure(SourceCheck check, std::string_view text) {
    constexpr std::size_t kLongest = 1023;
    std::string message = check.source;
    message += ": ";
    message += std::to_string(check.number);
    message += ": ";
    message += text;
    if (message.size() > kLongest)
        message.resize(kLongest);
    return std::runtime_error(message);
}

}  // namespace ovix
