// The bridge's message queue and its contact and group lists.

#include "compat/ipc/MessageQueue.h"
#include "launcher/protocol/ThreadProtocol.h"
#include "platform/chat/CPyth2Skype.h"

namespace ovix {

namespace {

constexpr std::string_view kGroupsMarker = "__groups__";
constexpr std::string_view kContactsMarker = "__contacts__";

}  // namespace

void CPyth2Skype::QueueLocked(std::unique_ptr<CSkype2PythMsg> message) {
    m_msgs.Add(message.get());
    message.release();
}

// Posted after the lock is released, so that the woken thread does not wait
// for it. A notice thread that has no queue misses the notice; the message
// stays queued.
void CPyth2Skype::Notify() {
    compat::PostThreadMessage(m_noticeThread, compat::WM_USER, PLATFORM_TMSG_IMMSG, 1);
}

void CPyth2Skype::PostMsg(const char* to, std::uint32_t code, const char* text) {
    {
        const auto lock = Lock();
        QueueLocked(std::make_unique<CSkype2PythMsg>(code, "", to, text));
    }
    Notify();
}

void CPyth2Skype::Get1stMsg(const std::function<bool(const FirstMsg&)>& take) {
    const auto lock = Lock();
    FirstMsg first;
    if (m_msgs.IsEmpty()) {
        take(first);
        return;
    }
    const CSkype2PythMsg* message = m_msgs.GetAt(0);
    first.code = message->GetMsgCode();
    first.from = message->GetFrom();
    first.to = message->GetTo();
    first.msg = message->GetMsg();
    // A received message is text whatever it says.
    if (!first.from.empty())
        first.kind = FirstMsg::Kind::text;
    else if (first.msg == kGroupsMarker)
        first.kind = FirstMsg::Kind::groups, first.groups = &m_groups;
    else if (first.msg == kContactsMarker)
        first.kind = FirstMsg::Kind::contacts, first.contacts = &m_users;
    else
        first.kind = FirstMsg::Kind::text;
    if (take(first))
        delete m_msgs.PopFront();
}

std::uint32_t CPyth2Skype::GetLastErr() {
    const auto lock = Lock();
    for (std::size_t i = 0; i < m_msgs.GetCount(); ++i)
        if (const std::uint32_t code = m_msgs.GetAt(i)->GetMsgCode(); code != NOERR)
            return code;
    return NOERR;
}

std::size_t CPyth2Skype::QueuedMsgs() {
    const auto lock = Lock();
    return m_msgs.GetCount();
}

std::size_t CPyth2Skype::Contacts() {
    const auto lock = Lock();
    return m_users.GetCount();
}

std::size_t CPyth2Skype::Groups() {
    const auto lock = Lock();
    return m_groups.GetCount();
}

// The clear operations run with the lock held.
void CPyth2Skype::ClearUsers() {
    for (std::size_t i = 0; i < m_users.GetCount(); ++i)
        delete m_users.GetAt(i);
    m_users.RemoveAll();
}

void CPyth2Skype::ClearGroups() {
    for (std::size_t i = 0; i < m_groups.GetCount(); ++i) {
        const _SBaseGroup* group = m_groups.GetAt(i);
        delete[] group->members;
        delete group;
    }
    m_groups.RemoveAll();
}

void CPyth2Skype::ClearMsgs() {
    for (std::size_t i = 0; i < m_msgs.GetCount(); ++i)
        delete m_msgs.GetAt(i);
    m_msgs.RemoveAll();
}

}  // namespace ovix
