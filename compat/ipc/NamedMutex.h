#pragma once
// A mutex known by name to every process of the user: an exclusive flock on
// a file in the runtime folder (XdgFolders.h). The kernel frees it when its
// holder ends, however it ends. Not shared between threads of one process:
// each object is one holder.

#include <string>
#include <string_view>

#include "base/UniqueFd.h"
#include "compat/ipc/IpcExport.h"

namespace compat {

class COMPAT_IPC_EXPORT NamedMutex {
public:
    enum class State {
        Owned,          // this object holds it
        HeldElsewhere,  // another holder has it
        Failed,         // the lock file could not be used (errno kept)
    };

    // Tries once, without waiting, to take the mutex called `name`.
    explicit NamedMutex(std::string_view name);
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;

    State state() const { return m_state; }
    // Gives the mutex back early; the destructor does it otherwise.
    void release();

    // Whether some process holds the mutex now, without taking it.
    static bool isHeld(std::string_view name);

private:
    ovix::UniqueFd m_fd;
    State m_state = State::Failed;
};

}  // namespace compat
