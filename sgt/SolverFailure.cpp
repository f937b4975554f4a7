#include "sgt/SolverFailure.h"

#include <string>

namespace ovix {

std::runtime_error solverFailure(const char* header, int check, std::string_view text) {
    constexpr std::size_t kLongest = 1023;
    std::string message = header;
    message += ": ";
    message += std::to_string(check);
    message += ": ";
    message += text;
    if (message.size() > kLongest)
        message.resize(kLongest);
    return std::runtime_error(message);
}

}  // namespace ovix
