#pragma once
// Runs work that recurses as deep as its input on a thread of its own whose
// stack has the size the caller asks for, and waits for it. The stack is
// reserved address space: pages the work never reaches cost no memory.
// Safe to call from any thread.

#include <cstddef>
#include <functional>

namespace ovix {

// Runs `work` on a new thread with a stack of at least `stackBytes` and
// returns when it has finished; an exception that `work` throws is thrown
// again here. Throws std::bad_alloc when no such thread can be made.
void runOnOwnStack(std::size_t stackBytes, const std::function<void()>& work);

}  // namespace ovix
