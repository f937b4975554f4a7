#pragma once
// The largest single block asked of operator new while a LargestAllocation
// lives, on any thread: a test's bound on what reading a file may allocate.
// Linking LargestAllocation.cpp replaces the global operator new and delete.

#include <cstddef>

namespace ovix::testing {

class LargestAllocation {
public:
    LargestAllocation();
    ~LargestAllocation();
    LargestAllocation(const LargestAllocation&) = delete;
    LargestAllocation& operator=(const LargestAllocation&) = delete;

    std::size_t bytes() const;
};

}  // namespace ovix::testing
