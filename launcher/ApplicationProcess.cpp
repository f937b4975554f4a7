#include "launcher/ApplicationProcess.h"

namespace ovix {

std::shared_ptr<compat::Process> ApplicationProcess::startChild(
    const std::function<std::optional<compat::Process>()>& spawn) {
    std::lock_guard lock(m_lock);
    auto child = spawn();
    if (!child)
        return nullptr;
    m_process = std::make_shared<compat::Process>(std::move(*child));
    m_ids.threadId = static_cast<std::uint32_t>(m_process->pid());
    m_ids.processId = 0;
    m_ids.pendingProcessLow = 0;
    m_endedAfterReporting = false;
    return m_process;
}

void ApplicationProcess::forgetChild() {
    std::lock_guard lock(m_lock);
    m_endedAfterReporting = m_ids.processId != 0;
    m_process.reset();
    m_ids.processId = 0;
    m_ids.pendingProcessLow = 0;
}

void ApplicationProcess::expectOwnerOf(compat::ThreadId thread) {
    std::lock_guard lock(m_lock);
    m_comThread = thread;
}

bool ApplicationProcess::isSender(std::uint32_t sender) {
    std::lock_guard lock(m_lock);
    if (m_process)
        return static_cast<std::uint32_t>(m_process->pid()) == sender;
    if (m_comThread == 0)
        return false;
    const auto pid = static_cast<pid_t>(sender);
    if (!compat::processRunsThread(pid, m_comThread))
        return false;
    auto process = compat::Process::open(pid);
    // Still running that thread once opened: the handle is of that process.
    if (!process || !compat::processRunsThread(pid, m_comThread))
        return false;
    m_process = std::make_shared<compat::Process>(std::move(*process));
    return true;
}

bool ApplicationProcess::endedAfterReporting() const {
    std::lock_guard lock(m_lock);
    return m_endedAfterReporting;
}

std::shared_ptr<compat::Process> ApplicationProcess::handle() const {
    std::lock_guard lock(m_lock);
    return m_process;
}

}  // namespace ovix
