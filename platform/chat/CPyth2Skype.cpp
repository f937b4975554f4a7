#include "platform/chat/CPyth2Skype.h"

#include <dlfcn.h>

#include <chrono>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <new>
#include <stdexcept>
#include <thread>
#include <vector>

#include "base/BlockingWait.h"
#include "compat/ipc/MessageWindow.h"
#include "compat/store/RegistryKey.h"
#include "compat/system/ModulePath.h"
#include "compat/system/PrivateMemory.h"
#include "compat/system/ReadableMemory.h"
#include "launcher/protocol/ThreadProtocol.h"

namespace ovix {

namespace {

constexpr unsigned kPingPeriodMs = 1000;
// Asks the window's thread to start the ping timer, or to stop the timer
// whose id is the word parameter.
constexpr std::uint32_t kStartPingMessage = compat::WM_USER + 1;
constexpr std::uint32_t kStopPingMessage = compat::WM_USER + 2;

// The text of a failure to handle an event for want of memory.
constexpr const char* kOutOfMemory = "Out of memory";

constexpr const char* kClientKey = "Software\\Skype\\Phone\\UI";
constexpr const char* kTimeoutValue = "APITimeoutDisabled";

std::string libraryPath() {
    if (const char* path = std::getenv(CPyth2Skype::kLibraryVariable); path && *path)
        return path;
    const auto here = compat::modulePath(reinterpret_cast<const void*>(&libraryPath));
    return (here.parent_path() / CPyth2Skype::kLibraryName).string();
}

bool ownsWindow(compat::WindowHandle window) {
    return compat::windowThread(window) == compat::currentThreadId();
}

// The most records that one enumeration may bring, members included: far
// beyond any real contact list, it bounds what a wrong count can cost.
constexpr std::size_t kMaxRecords = 1 << 16;

// How many records an array of the adapter holds, taken from `budget`: none
// for a missing array or a negative count. Throws when the count exceeds the
// budget.
template <class Record>
std::size_t recordCount(const Record* items, std::int32_t count, std::size_t& budget) {
    if (!items || count <= 0)
        return 0;
    const auto records = static_cast<std::size_t>(count);
    if (records > budget)
        throw std::length_error("the adapter's count exceeds what an enumeration may bring");
    budget -= records;
    return records;
}

// Copies `count` records of the adapter; throws when its array is shorter,
// as far as the end of its readable memory tells.
template <class Record>
void copyRecords(Record* into, const Record* items, std::size_t count) {
    const std::size_t bytes = count * sizeof(Record);
    if (count != 0 && compat::copyReadable(into, items, bytes) != bytes)
        throw std::length_error("the adapter's count exceeds its array");
}

}  // namespace

CPyth2Skype::CPyth2Skype(const char* s1, const char* s2, std::uint32_t noticeThread, int chatCode) {
    Initialize(s1, s2, noticeThread, chatCode);
}

CPyth2Skype::~CPyth2Skype() {
    Cleanup();
}

void CPyth2Skype::Reset() {
    Cleanup();
    Initialize("", "", m_noticeThread, m_chatCode);
}

// A failing step queues its failure and ends the start-up, leaving the bridge
// as far as it got.
void CPyth2Skype::Initialize(const char* s1, const char* s2, std::uint32_t noticeThread, int chatCode) {
    const std::string to = s1 ? s1 : "";
    m_noticeThread = noticeThread;
    m_chatCode = chatCode;
    m_pingTimerId = 0;
    m_info = IMInfo{};
    {
        const auto lock = Lock();
        m_msgSent = m_connected = m_haveContactIds = m_haveContactDetails = 0;
    }

    m_library = dlopen(libraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m_library) {
        PostMsg(to.c_str(), ERR_NODLL, "Can not find Skype DLL");
        return;
    }
    // A library without the export is no adapter library.
    const auto create = reinterpret_cast<CreateAdapterFunction>(dlsym(m_library, "CreateAdapter"));
    m_adapter.reset(create ? create() : nullptr);
    if (!m_adapter) {
        PostMsg(to.c_str(), ERR_NOADAPTER, "Can not create Skype adapter");
        return;
    }
    m_window = MakeWindow();
    if (!m_window)
        return;

    const int caps = m_adapter->GetCaps();
    if (caps & ADAPTER_CAPS_MODULE)
        m_adapter->m_module = m_library;
    if (caps & ADAPTER_CAPS_WINDOW)
        m_adapter->m_window = m_window;
    if (caps & ADAPTER_CAPS_STRING1)
        m_adapter->SetString1(s1 ? s1 : "");
    if (caps & ADAPTER_CAPS_STRING2)
        m_adapter->SetString2(s2 ? s2 : "");
    Subscribe();

    const int attached = m_adapter->Attach(&m_info);
    if (attached != 0) {
        PostMsg(to.c_str(), static_cast<std::uint32_t>(attached),
                attached == ADAPTER_ATTACH_NOT_INSTALLED ? "Skype not installed" : "Incorrect Skype version");
        return;
    }
    m_adapter->SetOption(0);
    m_adapter->Start();
    DisableClientTimeout(to);

    const std::lock_guard link(m_windowLink->mutex);
    m_windowLink->bridge = this;
}

compat::WindowHandle CPyth2Skype::MakeWindow() {
    m_windowLink = std::make_shared<WindowLink>();
    return compat::CreateMessageWindow(
        [link = m_windowLink](compat::WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                              std::intptr_t lParam) -> std::intptr_t {
            switch (message) {
            case compat::WM_TIMER: {
                const std::lock_guard lock(link->mutex);
                if (link->bridge)
                    link->bridge->PingTimerProc(wParam);
                return 0;
            }
            case kStartPingMessage:
                compat::SetTimer(window, kPingTimerId, kPingPeriodMs);
                return 0;
            case kStopPingMessage:
                compat::KillTimer(window, static_cast<unsigned>(wParam));
                return 0;
            default:
                return compat::DefWindowProc(window, message, wParam, lParam);
            }
        });
}

// A failure to write the value does not end the start-up: the ping timer
// keeps the connection alive without it.
void CPyth2Skype::DisableClientTimeout(const std::string& to) {
    const auto key = compat::RegistryKey::open(compat::RegistryHive::CurrentUser, kClientKey);
    if (key && !key->setDword(kTimeoutValue, 1))
        PostMsg(to.c_str(), ERR_SKYPETIMEOUT_ENABLED, "Failed to disable skype 1sec timeout");
}

void CPyth2Skype::Subscribe() {
    CAdapter& a = *m_adapter;
    a.OnConnect.AddHandler(this, &CPyth2Skype::OnConnect);
    a.OnDisconnect.AddHandler(this, &CPyth2Skype::OnDisconnect);
    a.OnEnumerateGroups.AddHandler(this, &CPyth2Skype::OnEnumerateGroups);
    a.OnEnumerateUsers.AddHandler(this, &CPyth2Skype::OnEnumerateUsers);
    if (m_chatCode & CHATSEND)
        a.OnSendMsgReliableChat.AddHandler(this, &CPyth2Skype::OnSendMsgReliable);
    a.OnSendMsgReliable.AddHandler(this, &CPyth2Skype::OnSendMsgReliable);
    if (m_chatCode & CHATRECV)
        a.OnReceiveMsgReliableChat.AddHandler(this, &CPyth2Skype::OnReceiveMsgReliable);
    a.OnReceiveMsgReliable.AddHandler(this, &CPyth2Skype::OnReceiveMsgReliable);
    a.OnError.AddHandler(this, &CPyth2Skype::OnError);
    a.OnAddUser.AddHandler(this, &CPyth2Skype::OnContactListChanged);
    a.OnDeleteUser.AddHandler(this, &CPyth2Skype::OnContactListChanged);
    a.OnBlockUser.AddHandler(this, &CPyth2Skype::OnBlockUser);
}

// Once this returns no handler of the bridge runs or will run.
void CPyth2Skype::Unsubscribe() {
    CAdapter& a = *m_adapter;
    a.OnConnect.RemoveHandler(this, &CPyth2Skype::OnConnect);
    a.OnDisconnect.RemoveHandler(this, &CPyth2Skype::OnDisconnect);
    a.OnEnumerateGroups.RemoveHandler(this, &CPyth2Skype::OnEnumerateGroups);
    a.OnEnumerateUsers.RemoveHandler(this, &CPyth2Skype::OnEnumerateUsers);
    if (m_chatCode & CHATSEND)
        a.OnSendMsgReliableChat.RemoveHandler(this, &CPyth2Skype::OnSendMsgReliable);
    a.OnSendMsgReliable.RemoveHandler(this, &CPyth2Skype::OnSendMsgReliable);
    if (m_chatCode & CHATRECV)
        a.OnReceiveMsgReliableChat.RemoveHandler(this, &CPyth2Skype::OnReceiveMsgReliable);
    a.OnReceiveMsgReliable.RemoveHandler(this, &CPyth2Skype::OnReceiveMsgReliable);
    a.OnError.RemoveHandler(this, &CPyth2Skype::OnError);
    a.OnAddUser.RemoveHandler(this, &CPyth2Skype::OnContactListChanged);
    a.OnDeleteUser.RemoveHandler(this, &CPyth2Skype::OnContactListChanged);
    a.OnBlockUser.RemoveHandler(this, &CPyth2Skype::OnBlockUser);
}

void CPyth2Skype::Cleanup() {
    // From here the window no longer reaches the bridge, and no ping is
    // running.
    if (m_windowLink) {
        const std::lock_guard link(m_windowLink->mutex);
        m_windowLink->bridge = nullptr;
    }
    if (m_adapter) {
        Unsubscribe();
        if (const std::uintptr_t id = m_pingTimerId.exchange(0); id != 0 && m_window && ownsWindow(m_window))
            compat::KillTimer(m_window, static_cast<unsigned>(id));
        m_adapter->Stop();
        m_adapter.reset();
    }
    if (m_window) {
        // Only its own thread may destroy a window: any other thread asks it
        // to close, which also ends its timers.
        if (ownsWindow(m_window))
            compat::DestroyWindow(m_window);
        else
            compat::PostMessage(m_window, compat::WM_CLOSE, 0, 0);
        m_window = 0;
    }
    m_windowLink.reset();
    {
        const auto lock = Lock();
        ClearUsers();
        ClearGroups();
        ClearMsgs();
        m_msgSent = m_connected = m_haveContactIds = m_haveContactDetails = 0;
    }
    if (m_library) {
        dlclose(m_library);
        m_library = nullptr;
    }
    m_pingTimerId = 0;
}

std::unique_lock<std::recursive_mutex> CPyth2Skype::Lock() {
    lockOutsideHost(m_lock);
    return std::unique_lock(m_lock, std::adopt_lock);
}

int CPyth2Skype::IsConnected() {
    const auto lock = Lock();
    return m_connected;
}

int CPyth2Skype::HaveContactIds() {
    const auto lock = Lock();
    return m_haveContactIds;
}

int CPyth2Skype::HaveContactDetails() {
    const auto lock = Lock();
    return m_haveContactDetails;
}

int CPyth2Skype::IsMsgSent() {
    const auto lock = Lock();
    return m_msgSent;
}

void CPyth2Skype::ResetMsgSent() {
    const auto lock = Lock();
    m_msgSent = 0;
}

// The thread gets its queue now: without one every notice would be lost.
void CPyth2Skype::SetThreadId() {
    compat::ensureMessageQueue();
    m_noticeThread = compat::currentThreadId();
}

int CPyth2Skype::Request(int (CAdapter::*operation)(), const char* failure) {
    if (!m_adapter)
        return 0;
    const auto lock = Lock();
    const int result = (*m_adapter.*operation)();
    if (result == 0)
        return 1;
    PostMsg(LoginLocked().c_str(), static_cast<std::uint32_t>(result), failure);
    return 0;
}

int CPyth2Skype::Connect() {
    return Request(&CAdapter::Connect, "Can not connect!");
}

int CPyth2Skype::Disconnect() {
    return Request(&CAdapter::Disconnect, "Can not disconnect!");
}

int CPyth2Skype::EnumUsers() {
    return Request(&CAdapter::EnumerateUsers, "Can not enumerate users/contacts!");
}

int CPyth2Skype::EnumGroups() {
    return Request(&CAdapter::EnumerateGroups, "Can not enumerate groups!");
}

void CPyth2Skype::SendChatMsg(const char* to, const char* msg) {
    if (!m_adapter)
        return;
    const auto lock = Lock();
    m_adapter->SendMsgReliableChat(to, msg);
}

void CPyth2Skype::SendAppMsg(const char* to, const char* msg) {
    if (!m_adapter)
        return;
    const auto lock = Lock();
    m_adapter->SendMsgReliable(to, msg);
}

std::pair<std::string, std::string> CPyth2Skype::GetLogin() {
    if (!m_adapter)
        return {};
    const char* login = m_adapter->GetLoginName();
    const char* second = m_adapter->String2();
    return {login ? login : "", second ? second : ""};
}

std::array<std::string, 3> CPyth2Skype::GetIMInfo() const {
    return {std::string(fieldText(m_info.first)), std::string(fieldText(m_info.second)),
            std::string(fieldText(m_info.third))};
}

std::string CPyth2Skype::GetSignedInFullName() {
    if (!m_adapter)
        return {};
    const char* name = m_adapter->GetSignedInFullName();
    return name ? name : "";
}

std::pair<unsigned long, unsigned long> CPyth2Skype::GetMemoryUsage() {
    const auto memory = compat::ownPrivateMemory();
    if (!memory)
        return {0, 0};
    return {memory->nowBytes, memory->peakBytes};
}

void CPyth2Skype::PostNoOp() {
    std::string login;
    {
        const auto lock = Lock();
        login = LoginLocked();
    }
    PostMsg(login.c_str(), NOERR, "");
}

// The host's other threads run while this one waits: the message that ends
// the wait may have to come from one of them.
std::uint32_t CPyth2Skype::GetACmd() {
    compat::Message message;
    int got;
    {
        const BlockingWait unlocked;
        got = compat::GetMessage(message);
    }
    if (got < 0) {
        // The thread cannot have a queue: wait a ping period, so that the
        // caller's loop does not spin.
        const BlockingWait unlocked;
        std::this_thread::sleep_for(std::chrono::milliseconds(kPingPeriodMs));
        return NOMSG;
    }
    if (message.message == compat::WM_QUIT)
        return QUITMSG;
    if (message.window != 0) {
        compat::DispatchMessage(message);
        return NOMSG;
    }
    if (message.message != compat::WM_USER)
        return NOMSG;
    if (message.wParam == PLATFORM_TMSG_QUIT)
        return QUITMSG;
    if (message.wParam == PLATFORM_TMSG_IMMSG)
        return (static_cast<std::uint32_t>(message.lParam) << 16) | IMMSGINQUEUE;
    return NOMSG;
}

std::uintptr_t CPyth2Skype::StartPingTimer() {
    if (!m_window)
        return 0;
    if (ownsWindow(m_window))
        return compat::SetTimer(m_window, kPingTimerId, kPingPeriodMs) != 0 ? kPingTimerId : 0;
    return compat::PostMessage(m_window, kStartPingMessage, 0, 0) ? kPingTimerId : 0;
}

void CPyth2Skype::StopPingTimer(std::uintptr_t id) {
    if (!m_window || id == 0)
        return;
    if (ownsWindow(m_window))
        compat::KillTimer(m_window, static_cast<unsigned>(id));
    else
        compat::PostMessage(m_window, kStopPingMessage, id, 0);
}

// On the window's thread, with the window link held.
void CPyth2Skype::PingTimerProc(std::uintptr_t id) {
    bool connected;
    {
        const auto lock = Lock();
        connected = m_connected != 0;
    }
    if (!connected)
        return;
    m_adapter->Ping();
    m_pingTimerId = id;
}

// --- Event handlers ----------------------------------------------------------

std::string CPyth2Skype::LoginLocked() {
    const char* login = m_adapter ? m_adapter->GetLoginName() : nullptr;
    return login ? login : "";
}

void CPyth2Skype::QueueEvent(std::uint32_t code, const char* text, const char* from) {
    {
        const auto lock = Lock();
        QueueLocked(std::make_unique<CSkype2PythMsg>(code, from, LoginLocked().c_str(), text));
    }
    Notify();
}

void CPyth2Skype::QueueFailure(std::uint32_t code, const char* text) noexcept {
    try {
        QueueEvent(code, text);
    } catch (...) {
        // The handler's event and its failure are both lost.
    }
}

template <class Work>
void CPyth2Skype::Guarded(Work work) noexcept {
    try {
        work();
    } catch (const std::bad_alloc&) {
        QueueFailure(ERR_NOMEM, kOutOfMemory);
    } catch (const std::exception& failure) {
        QueueFailure(ERR_EVENT, failure.what());
    } catch (...) {
        QueueFailure(ERR_EVENT, "unknown C++ exception");
    }
}

template <class Work>
void CPyth2Skype::Guarded(std::uint32_t failureCode, const char* failure, Work work) noexcept {
    try {
        work();
    } catch (...) {
        QueueFailure(failureCode, failure);
    }
}

void CPyth2Skype::OnConnect(CAdapter*) {
    Guarded([&] {
        {
            const auto lock = Lock();
            m_connected = 1;
            m_pingTimerId = StartPingTimer();
            QueueLocked(std::make_unique<CSkype2PythMsg>(NOERR, "", LoginLocked().c_str(), "connected"));
        }
        Notify();
    });
}

void CPyth2Skype::OnDisconnect(CAdapter*, const void*) {
    Guarded([&] {
        {
            const auto lock = Lock();
            StopPingTimer(m_pingTimerId);
            m_connected = m_haveContactIds = m_haveContactDetails = 0;
            ClearUsers();
            ClearGroups();
            QueueLocked(std::make_unique<CSkype2PythMsg>(NOERR, "", LoginLocked().c_str(), "disconnected"));
        }
        Notify();
    });
}

// A group's member array is the bridge's own copy. A missing array or a
// negative count is taken as no records. The records are copied before the
// lock is taken, and replace the list only once all of them are in.
void CPyth2Skype::OnEnumerateGroups(CAdapter*, const SBaseGroupArray* groups) {
    Guarded(ERR_NOENUMGROUPS, "Can not enumerate groups!", [&] {
        std::size_t budget = kMaxRecords;
        const std::size_t count = groups ? recordCount(groups->items, groups->count, budget) : 0;
        std::vector<_SBaseGroup> copied(count);
        copyRecords(copied.data(), groups ? groups->items : nullptr, count);
        std::vector<std::unique_ptr<_SBaseUser[]>> members(count);
        for (std::size_t i = 0; i < count; ++i) {
            _SBaseGroup& group = copied[i];
            if (!group.members)
                continue;
            const std::size_t memberCount = recordCount(group.members, group.memberCount, budget);
            members[i] = std::make_unique<_SBaseUser[]>(memberCount);
            copyRecords(members[i].get(), group.members, memberCount);
            group.memberCount = static_cast<std::int32_t>(memberCount);
        }
        {
            const auto lock = Lock();
            ClearGroups();
            for (std::size_t i = 0; i < count; ++i) {
                auto group = std::make_unique<_SBaseGroup>(copied[i]);
                group->members = members[i].get();
                m_groups.Add(group.get());
                group.release();
                members[i].release();
            }
            QueueLocked(std::make_unique<CSkype2PythMsg>(NOERR, "", LoginLocked().c_str(), "__groups__"));
            m_haveContactIds = 1;
        }
        Notify();
    });
}

void CPyth2Skype::OnEnumerateUsers(CAdapter*, const SBaseUserArray* users) {
    Guarded(ERR_NOENUMUSERS, "Can not enumerate users/contacts!", [&] {
        std::size_t budget = kMaxRecords;
        const std::size_t count = users ? recordCount(users->items, users->count, budget) : 0;
        std::vector<_SBaseUser> copied(count);
        copyRecords(copied.data(), users ? users->items : nullptr, count);
        {
            const auto lock = Lock();
            ClearUsers();
            for (const _SBaseUser& user : copied) {
                auto record = std::make_unique<_SBaseUser>(user);
                m_users.Add(record.get());
                record.release();
            }
            QueueLocked(std::make_unique<CSkype2PythMsg>(NOERR, "", LoginLocked().c_str(), "__contacts__"));
            m_haveContactDetails = 1;
        }
        Notify();
    });
}

void CPyth2Skype::OnSendMsgReliable(CAdapter*, int) {
    const auto lock = Lock();
    m_msgSent = 1;
}

void CPyth2Skype::OnReceiveMsgReliable(CAdapter*, const char* from, const char* text) {
    Guarded([&] { QueueEvent(NOERR, text, from); });
}

void CPyth2Skype::OnError(CAdapter*, int code, const char* text) {
    Guarded([&] { QueueEvent(static_cast<std::uint32_t>(code), text); });
}

void CPyth2Skype::OnContactListChanged(CAdapter*, const char*) {
    Guarded([&] { QueueEvent(NOERR, "contactlistchanged"); });
}

void CPyth2Skype::OnBlockUser(CAdapter*, const char*, int) {
    Guarded([&] { QueueEvent(NOERR, "contactlistchanged"); });
}

}  // namespace ovix
