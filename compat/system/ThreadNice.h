#pragma once
// The scheduling nice value of the calling thread alone (Linux keeps one per
// thread): -20 most favoured, 0 normal, 19 least. Threads start with the
// value of the thread that made them.

#include <optional>

namespace compat {

// Empty, with errno set, when it cannot be read.
std::optional<int> currentThreadNice();

// False, with errno set, when the change is refused: a lower value than the
// current one needs privilege (CAP_SYS_NICE or RLIMIT_NICE).
bool setCurrentThreadNice(int nice);

}  // namespace compat
