#pragma once
// The main application's process as the launcher knows it: the runner's own
// child, or in COM mode the process that runs the thread the local server
// named. Only that process may report the application's ids, and only it is
// ever ended: through its process handle, never by a number that may since
// have passed to another process. Safe to use from every launcher thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "compat/ipc/MessageQueue.h"
#include "compat/system/Process.h"
#include "launcher/AppIds.h"

namespace ovix {

class ApplicationProcess {
public:
    explicit ApplicationProcess(AppIds& ids) : m_ids(ids) {}

    // Starts a child with `spawn` and makes it the application: its main
    // thread becomes the application thread, and its process id is unknown
    // until it reports it. Messages are judged only once it is known, so none
    // that it sends is lost. Null when `spawn` fails.
    std::shared_ptr<compat::Process> startChild(const std::function<std::optional<compat::Process>()>& spawn);
    // The child has ended: forgets it and its reported process id.
    void forgetChild();
    // Whether the last child had reported its process id before it ended.
    bool endedAfterReporting() const;

    // COM mode: the application is the process that runs `thread`, taken at
    // its first message.
    void expectOwnerOf(compat::ThreadId thread);

    // Whether a message from process `sender` comes from the application.
    bool isSender(std::uint32_t sender);

    // The application's process; null when there is none.
    std::shared_ptr<compat::Process> handle() const;

private:
    AppIds& m_ids;
    mutable std::mutex m_lock;
    std::shared_ptr<compat::Process> m_process;
    compat::ThreadId m_comThread = 0;
    bool m_endedAfterReporting = false;
};

}  // namespace ovix
