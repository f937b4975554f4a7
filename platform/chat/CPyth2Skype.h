#pragma once
// The bridge between the main application and the chat client's adapter
// library. It loads the library, makes and attaches its adapter and turns the
// adapter's events, raised on the adapter's threads, into queued messages;
// each queued message wakes the notice thread with the thread message
// WM_USER / PLATFORM_TMSG_IMMSG / 1. The application's thread pops them
// (Get1stMsg) and sends its requests through the bridge.
//
// Nothing here throws for a failure of the library or the client: each
// failure becomes a queued message with its code and text.
//
// One recursive lock guards the queue, the contact and group lists, the flags
// and the adapter's requests, so a handler raised synchronously from inside a
// request runs at once. A thread that holds the host's interpreter lock
// releases it while it waits for ours. The constructing thread owns the
// bridge's message window: the adapter is pinged once a second on that
// thread while it pumps its messages (GetACmd or CPyth2Win::GetACmd).

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

#include "compat/ipc/MessageQueue.h"
#include "platform/chat/CAdapter.h"
#include "platform/chat/CListEx.h"
#include "platform/chat/CSkype2PythMsg.h"

namespace ovix {

class CPyth2Skype {
public:
    // Error codes of the queued failures; the requests queue the adapter's
    // own codes. ERR_EVENT, the bridge's own, is not among the module's
    // constants: an event that could not be handled for another reason than
    // memory, its text telling why.
    enum Error : std::uint32_t {
        NOERR = 0,
        ERR_NODLL = 1,
        ERR_NOADAPTER = 2,
        ERR_NOMEM = 3,
        ERR_NOCONNECT = 4,
        ERR_NODISCONNECT = 5,
        ERR_NOENUMGROUPS = 6,
        ERR_NOENUMUSERS = 7,
        ERR_SKYPETIMEOUT_ENABLED = 8,
        ERR_EVENT = 9,
    };
    // Bits of the chat code: which chat events the bridge subscribes.
    enum ChatCode : int { NOCHAT = 0, CHATSEND = 1, CHATRECV = 2, CHATALL = 3 };
    // Results of GetACmd.
    enum Command : std::uint32_t { NOMSG = 0, QUITMSG = 1, IMMSGINQUEUE = 2 };

    static constexpr unsigned kPingTimerId = 297;
    // Where the library is looked for when this variable names no file: beside
    // the program or module that holds this code.
    static constexpr const char* kLibraryVariable = "OVIX_SKYPE_ADAPTER";
    static constexpr const char* kLibraryName = "Skype297.dll";

    // The oldest queued message as Get1stMsg shows it. For the "__groups__"
    // and "__contacts__" markers the lists stand as they are now.
    struct FirstMsg {
        enum class Kind { empty, text, groups, contacts };
        Kind kind = Kind::empty;
        std::uint32_t code = 0;
        std::string_view from, to, msg;
        const CListEx<_SBaseGroup*>* groups = nullptr;
        const CListEx<_SBaseUser*>* contacts = nullptr;
    };

    // Never fails: see the class comment. A null s1 or s2 is the empty text.
    CPyth2Skype(const char* s1, const char* s2, std::uint32_t noticeThread, int chatCode = CHATSEND);
    ~CPyth2Skype();
    CPyth2Skype(const CPyth2Skype&) = delete;
    CPyth2Skype& operator=(const CPyth2Skype&) = delete;

    // Unloads everything and starts again with empty strings, the same notice
    // thread and the same chat code.
    void Reset();

    // 1 when the library and the adapter are there.
    int IsConstructed() const { return m_library && m_adapter ? 1 : 0; }
    int IsConnected();
    int HaveContactIds();
    int HaveContactDetails();
    int IsMsgSent();
    void ResetMsgSent();

    std::uint32_t GetThreadId() const { return m_noticeThread; }
    // The calling thread receives the notices from now on; it gets a message
    // queue when it has none.
    void SetThreadId();
    int GetChatCode() const { return m_chatCode; }

    // The requests: 1 when the adapter took it; 0 without adapter, or with the
    // adapter's code queued as a failure.
    int Connect();
    int Disconnect();
    int EnumUsers();
    int EnumGroups();
    // Confirmations arrive as IsMsgSent. Nothing happens without adapter.
    void SendChatMsg(const char* to, const char* msg);
    void SendAppMsg(const char* to, const char* msg);

    // (login, the adapter's second string); empty texts without adapter.
    std::pair<std::string, std::string> GetLogin();
    std::array<std::string, 3> GetIMInfo() const;
    std::string GetSignedInFullName();
    // (private memory now, peak) in bytes, as CPyth2Win gives them.
    std::pair<unsigned long, unsigned long> GetMemoryUsage();
    void SetPingTmr(std::uintptr_t id) { m_pingTimerId = id; }
    std::uintptr_t GetPingTmr() const { return m_pingTimerId; }
    // Still the bridge's; null when there is none.
    CAdapter* GetAdapter() const { return m_adapter.get(); }

    // Waits for one message of the calling thread: QUITMSG for a quit,
    // (argument << 16) | IMMSGINQUEUE for the bridge's notice, NOMSG for
    // anything else. A window message (the ping timer's tick) is dispatched
    // and gives NOMSG. The host's interpreter lock is released while it waits.
    std::uint32_t GetACmd();

    // Queues an empty message, which wakes the notice thread.
    void PostNoOp();

    // The message queue.
    // Appends {to, text, empty sender, code} and wakes the notice thread.
    void PostMsg(const char* to, std::uint32_t code, const char* text);
    // Shows the oldest message to `take` under the lock (an empty FirstMsg
    // when there is none) and pops it when `take` returns true; a message
    // that `take` could not deliver stays first.
    void Get1stMsg(const std::function<bool(const FirstMsg&)>& take);
    // The code of the oldest message with a non-zero code, or 0; nothing is
    // removed.
    std::uint32_t GetLastErr();

    // Sizes of the lists, for tests and diagnostics.
    std::size_t QueuedMsgs();
    std::size_t Contacts();
    std::size_t Groups();

private:
    // What the message window's procedure reaches: the bridge while it is
    // attached, null once it is cleaned up. Shared with the window, which
    // may outlive the bridge until its thread pumps the close.
    struct WindowLink {
        std::mutex mutex;
        CPyth2Skype* bridge = nullptr;
    };

    void Initialize(const char* s1, const char* s2, std::uint32_t noticeThread, int chatCode);
    void Cleanup();
    void Subscribe();
    void Unsubscribe();
    // Asks the client not to drop the adapter after one second of silence.
    void DisableClientTimeout(const std::string& to);
    compat::WindowHandle MakeWindow();

    std::unique_lock<std::recursive_mutex> Lock();
    // The adapter's login, with the lock held; empty when it gives none.
    std::string LoginLocked();
    void QueueLocked(std::unique_ptr<CSkype2PythMsg> message);
    void Notify();
    // Queues {login, text, from, code} and wakes the notice thread.
    void QueueEvent(std::uint32_t code, const char* text, const char* from = "");
    // Run a handler's work on the adapter's thread, where nothing may escape.
    // A failure is queued as {login, text, "", code} instead: with the
    // handler's own code and text when it gives them (an enumeration), else
    // by its cause: ERR_NOMEM "Out of memory" for an allocation that failed,
    // ERR_EVENT with the exception's own text for anything else.
    template <class Work>
    void Guarded(Work work) noexcept;
    template <class Work>
    void Guarded(std::uint32_t failureCode, const char* failure, Work work) noexcept;
    // Lost when not even the failure can be queued.
    void QueueFailure(std::uint32_t code, const char* text) noexcept;
    int Request(int (CAdapter::*operation)(), const char* failure);

    // The ping timer lives on the window's thread; from another thread the
    // window is asked to start or stop it.
    std::uintptr_t StartPingTimer();
    void StopPingTimer(std::uintptr_t id);
    void PingTimerProc(std::uintptr_t id);

    void ClearUsers();
    void ClearGroups();
    void ClearMsgs();

    // Event handlers, on the adapter's threads.
    void OnConnect(CAdapter* adapter);
    void OnDisconnect(CAdapter* adapter, const void* reason);
    void OnEnumerateGroups(CAdapter* adapter, const SBaseGroupArray* groups);
    void OnEnumerateUsers(CAdapter* adapter, const SBaseUserArray* users);
    void OnSendMsgReliable(CAdapter* adapter, int messageNumber);
    void OnReceiveMsgReliable(CAdapter* adapter, const char* from, const char* text);
    void OnError(CAdapter* adapter, int code, const char* text);
    void OnContactListChanged(CAdapter* adapter, const char* handle);
    void OnBlockUser(CAdapter* adapter, const char* handle, int blocked);

    void* m_library = nullptr;
    compat::WindowHandle m_window = 0;
    std::shared_ptr<WindowLink> m_windowLink;
    CListEx<_SBaseUser*> m_users{CListEx<_SBaseUser*>::kFirstCapacity};
    std::recursive_mutex m_lock;
    CListEx<_SBaseGroup*> m_groups{CListEx<_SBaseGroup*>::kFirstCapacity};
    IMInfo m_info{};
    std::atomic<std::uintptr_t> m_pingTimerId{0};
    int m_chatCode = CHATSEND;
    std::unique_ptr<CAdapter> m_adapter;
    CListEx<CSkype2PythMsg*> m_msgs{CListEx<CSkype2PythMsg*>::kFirstCapacity};
    std::atomic<std::uint32_t> m_noticeThread{0};
    int m_msgSent = 0;
    int m_connected = 0;
    int m_haveContactIds = 0;
    int m_haveContactDetails = 0;
};

}  // namespace ovix
