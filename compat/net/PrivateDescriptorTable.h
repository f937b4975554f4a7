#pragma once
// Threads that share one descriptor table with each other and with no other
// thread of the process. A descriptor opened on one of them never enters the
// process's own table, so a child that any other thread starts, at any
// moment, never inherits it, whatever its flags; and the process's own
// descriptors are never seen there, so nothing done there can touch them. The
// table starts with the process's standard streams only.
//
// Made once per process by a starter thread that leaves the process's table
// (close_range with CLOSE_RANGE_UNSHARE, Linux 5.9) and then starts every
// thread asked of it, so that they share its table. Any thread may call it,
// from several threads at once.

#include <functional>

namespace compat {

// Runs `work`, which must not throw, on a new thread of the private table and
// waits for it to end. False, with nothing run, when no such thread can be
// had (a kernel without CLOSE_RANGE_UNSHARE, no thread left, a child forked
// after the table was made).
bool runInPrivateDescriptorTable(const std::function<void()>& work);

}  // namespace compat
