#pragma once
// Raises the calling thread above the process's other threads, so that it
// runs on time when the machine is loaded.

namespace compat {

// The highest priority the process may set: the top real-time (FIFO)
// priority where permitted, else the lowest nice value the process's limit
// allows. False, with the thread left as it was, when neither is permitted.
bool raiseToTimeCritical();

}  // namespace compat
