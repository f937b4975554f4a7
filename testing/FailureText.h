#pragma once
// The text of the failure that a call throws, for tests that compare it.

#include <functional>
#include <stdexcept>
#include <string>

namespace ovix::testing {

// What `call` throws as std::runtime_error, or "(no failure)".
inline std::string failureOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const std::runtime_error& failure) {
        return failure.what();
    }
    return "(no failure)";
}

}  // namespace ovix::testing
