// A stand-in for the chat client's adapter library, driven by tests through
// StandInControl.h. Requests raise their events on the adapter's own event
// thread, one after the other in the order they were raised, unless the test
// asks for synchronous events. The record arrays it hands over end where its
// readable memory ends, so a reader that trusts a count beyond them faults.

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "platform/chat/CAdapter.h"
#include "testing/chat/StandInControl.h"

namespace {

constexpr int kRealCount = -1000;

struct Group {
    int id;
    std::string name;
    bool withMembers;
    std::vector<std::string> members;
};

struct Settings {
    bool refuseCreate = false;
    int attachResult = 0;
    int caps = ADAPTER_CAPS_STRING1 | ADAPTER_CAPS_STRING2 | ADAPTER_CAPS_WINDOW | ADAPTER_CAPS_MODULE;
    int connectResult = 0;
    int disconnectResult = 0;
    int groupsResult = 0;
    int usersResult = 0;
    bool synchronous = false;
    std::optional<std::string> login = "me";
    std::string fullName = "Me Myself";
    std::string info[3];
    std::vector<std::pair<std::string, std::string>> contacts;
    std::vector<Group> groups;
    int countOverride = kRealCount;
    bool nullArray = false;
    int memberCountOverride = kRealCount;
    int loginThrow = 0;
    std::string loginThrowText;
};

struct Sent {
    bool chat;
    std::string to;
    std::string text;
};

struct Record {
    int attach = 0, start = 0, stop = 0, ping = 0, setOption = 0;
    int lastOption = -1;
    std::vector<Sent> sent;
};

// Runs posted events one at a time, in order, on a thread of its own.
class EventThread {
public:
    EventThread() : m_thread([this] { run(); }) {}
    ~EventThread() {
        {
            const std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }

    void post(std::function<void()> event) {
        {
            const std::lock_guard lock(m_mutex);
            m_events.push_back(std::move(event));
        }
        m_changed.notify_all();
    }

    // Waits until every event posted so far, and those they posted, has run.
    void settle() {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_events.empty() && !m_busy; });
    }

private:
    void run() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] { return m_stopping || !m_events.empty(); });
            if (m_events.empty())
                return;
            auto event = std::move(m_events.front());
            m_events.pop_front();
            m_busy = true;
            lock.unlock();
            event();
            lock.lock();
            m_busy = false;
            m_changed.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::function<void()>> m_events;
    bool m_busy = false;
    bool m_stopping = false;
    std::thread m_thread;
};

// `count` zeroed records at the end of a mapping of their own, right before
// a page that cannot be read.
template <class Record>
class RecordsAtTheEdge {
public:
    explicit RecordsAtTheEdge(std::size_t count) : m_count(count) {
        const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        const std::size_t bytes = count * sizeof(Record);
        m_length = (bytes + page - 1) / page * page + page;
        m_mapping = mmap(nullptr, m_length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (m_mapping == MAP_FAILED)
            throw std::bad_alloc();
        char* edge = static_cast<char*>(m_mapping) + m_length - page;
        mprotect(edge, page, PROT_NONE);
        m_records = reinterpret_cast<Record*>(edge - bytes);
    }
    ~RecordsAtTheEdge() { munmap(m_mapping, m_length); }
    RecordsAtTheEdge(const RecordsAtTheEdge&) = delete;
    RecordsAtTheEdge& operator=(const RecordsAtTheEdge&) = delete;

    std::size_t size() const { return m_count; }
    Record* data() { return m_records; }
    Record& operator[](std::size_t index) { return m_records[index]; }

private:
    std::size_t m_count;
    std::size_t m_length;
    void* m_mapping;
    Record* m_records;
};

class StandInAdapter;

std::mutex g_mutex;
Settings g_settings;
Record g_record;
StandInAdapter* g_live = nullptr;
int g_alive = 0;
std::string g_handed;

template <std::size_t N>
void fill(char (&field)[N], std::string_view text) {
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), std::min(N, text.size()));
}

std::string textOf(const char* text) {
    return text ? text : "";
}

class StandInAdapter final : public CAdapter {
public:
    StandInAdapter() : m_login(g_settings.login), m_fullName(g_settings.fullName) {}

    ~StandInAdapter() override {
        Settle();
        const std::lock_guard lock(g_mutex);
        if (g_live == this)
            g_live = nullptr;
        --g_alive;
    }

    int Attach(IMInfo* info) override {
        const std::lock_guard lock(g_mutex);
        ++g_record.attach;
        fill(info->first, g_settings.info[0]);
        fill(info->second, g_settings.info[1]);
        fill(info->third, g_settings.info[2]);
        return g_settings.attachResult;
    }
    int GetCaps() override {
        const std::lock_guard lock(g_mutex);
        return g_settings.caps;
    }
    const char* GetLoginName() override {
        throwIfAsked();
        return m_login ? m_login->c_str() : nullptr;
    }
    void Start() override { count(g_record.start); }
    void Stop() override { count(g_record.stop); }
    int Connect() override {
        return request(g_settings.connectResult, [this] { OnConnect.Raise(this); });
    }
    int Disconnect() override {
        return request(g_settings.disconnectResult, [this] { OnDisconnect.Raise(this, nullptr); });
    }
    int EnumerateGroups() override {
        return request(g_settings.groupsResult, [this, settings = snapshot()] { raiseGroups(settings); });
    }
    int EnumerateUsers() override {
        return request(g_settings.usersResult, [this, settings = snapshot()] { raiseUsers(settings); });
    }
    int SendMsgReliable(const char* to, const char* msg) override { return send(false, to, msg); }
    int SendMsgReliableChat(const char* to, const char* msg) override { return send(true, to, msg); }
    void Ping() override { count(g_record.ping); }
    void SetOption(int option) override {
        const std::lock_guard lock(g_mutex);
        ++g_record.setOption;
        g_record.lastOption = option;
    }
    const char* GetSignedInFullName() override { return m_fullName.c_str(); }

    // Runs the event at once or on the event thread.
    void raise(std::function<void()> event) {
        bool synchronous;
        {
            const std::lock_guard lock(g_mutex);
            synchronous = g_settings.synchronous;
        }
        if (synchronous)
            event();
        else
            m_events.post(std::move(event));
    }

    void Settle() { m_events.settle(); }

private:
    static void throwIfAsked() {
        int kind;
        std::string text;
        {
            const std::lock_guard lock(g_mutex);
            kind = std::exchange(g_settings.loginThrow, 0);
            text = g_settings.loginThrowText;
        }
        if (kind == 1)
            throw std::bad_alloc();
        if (kind == 2)
            throw std::runtime_error(text);
        if (kind == 3)
            throw kind;
    }
    static void count(int& calls) {
        const std::lock_guard lock(g_mutex);
        ++calls;
    }
    static Settings snapshot() {
        const std::lock_guard lock(g_mutex);
        return g_settings;
    }

    int request(const int& setting, std::function<void()> event) {
        int result;
        {
            const std::lock_guard lock(g_mutex);
            result = setting;
        }
        if (result == 0)
            raise(std::move(event));
        return result;
    }

    int send(bool chat, const char* to, const char* msg) {
        int number;
        {
            const std::lock_guard lock(g_mutex);
            g_record.sent.push_back({chat, textOf(to), textOf(msg)});
            number = static_cast<int>(g_record.sent.size());
        }
        raise([this, chat, number] {
            if (chat)
                OnSendMsgReliableChat.Raise(this, number);
            else
                OnSendMsgReliable.Raise(this, number);
        });
        return 0;
    }

    template <class Array>
    static void applyOverride(const Settings& settings, Array& array) {
        if (settings.countOverride > kRealCount)
            array.count = settings.countOverride;
        if (settings.nullArray)
            array.items = nullptr;
    }

    void raiseUsers(const Settings& settings) {
        RecordsAtTheEdge<_SBaseUser> users(settings.contacts.size());
        for (std::size_t i = 0; i < users.size(); ++i) {
            fill(users[i].handle, settings.contacts[i].first);
            fill(users[i].displayName, settings.contacts[i].second);
            users[i].adapterData = static_cast<std::int32_t>(i);
        }
        SBaseUserArray array{static_cast<std::int32_t>(users.size()), users.data()};
        applyOverride(settings, array);
        OnEnumerateUsers.Raise(this, &array);
    }

    void raiseGroups(const Settings& settings) {
        std::vector<std::unique_ptr<RecordsAtTheEdge<_SBaseUser>>> members;
        RecordsAtTheEdge<_SBaseGroup> groups(settings.groups.size());
        for (std::size_t i = 0; i < groups.size(); ++i) {
            const Group& group = settings.groups[i];
            // A member array even when it is empty, so that its pointer is set.
            auto& array = *members.emplace_back(std::make_unique<RecordsAtTheEdge<_SBaseUser>>(group.members.size()));
            for (std::size_t m = 0; m < array.size(); ++m)
                fill(array[m].handle, group.members[m]);
            groups[i].id = group.id;
            fill(groups[i].name, group.name);
            groups[i].memberCount = settings.memberCountOverride > kRealCount
                                        ? settings.memberCountOverride
                                        : static_cast<std::int32_t>(array.size());
            groups[i].members = group.withMembers ? array.data() : nullptr;
        }
        SBaseGroupArray array{static_cast<std::int32_t>(groups.size()), groups.data()};
        applyOverride(settings, array);
        OnEnumerateGroups.Raise(this, &array);
    }

    const std::optional<std::string> m_login;
    const std::string m_fullName;
    EventThread m_events;
};

// Runs `work` on the live adapter, or gives -1.
int withLive(const std::function<void(StandInAdapter&)>& work) {
    StandInAdapter* live;
    {
        const std::lock_guard lock(g_mutex);
        live = g_live;
    }
    if (!live)
        return -1;
    work(*live);
    return 0;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) CAdapter* CreateAdapter() {
    const std::lock_guard lock(g_mutex);
    if (g_settings.refuseCreate)
        return nullptr;
    auto* adapter = new StandInAdapter();
    g_live = adapter;
    ++g_alive;
    return adapter;
}

extern "C" {

void StandIn_Reset() {
    const std::lock_guard lock(g_mutex);
    g_settings = Settings{};
    g_record = Record{};
}

void StandIn_RefuseCreate(int refuse) {
    const std::lock_guard lock(g_mutex);
    g_settings.refuseCreate = refuse != 0;
}

void StandIn_SetAttachResult(int result) {
    const std::lock_guard lock(g_mutex);
    g_settings.attachResult = result;
}

void StandIn_SetCaps(int caps) {
    const std::lock_guard lock(g_mutex);
    g_settings.caps = caps;
}

int StandIn_SetResult(const char* request, int result) {
    const std::string_view name = request ? request : "";
    const std::lock_guard lock(g_mutex);
    int* setting = name == "Connect"           ? &g_settings.connectResult
                   : name == "Disconnect"      ? &g_settings.disconnectResult
                   : name == "EnumerateGroups" ? &g_settings.groupsResult
                   : name == "EnumerateUsers"  ? &g_settings.usersResult
                                               : nullptr;
    if (!setting)
        return 0;
    *setting = result;
    return 1;
}

void StandIn_SetLogin(const char* login) {
    const std::lock_guard lock(g_mutex);
    g_settings.login = login ? std::optional<std::string>(login) : std::nullopt;
}

void StandIn_SetFullName(const char* name) {
    const std::lock_guard lock(g_mutex);
    g_settings.fullName = textOf(name);
}

void StandIn_SetInfo(const char* first, const char* second, const char* third) {
    const std::lock_guard lock(g_mutex);
    g_settings.info[0] = textOf(first);
    g_settings.info[1] = textOf(second);
    g_settings.info[2] = textOf(third);
}

void StandIn_AddContact(const char* handle, const char* displayName) {
    const std::lock_guard lock(g_mutex);
    g_settings.contacts.emplace_back(textOf(handle), textOf(displayName));
}

void StandIn_AddGroup(int id, const char* name, int withMembers) {
    const std::lock_guard lock(g_mutex);
    g_settings.groups.push_back({id, textOf(name), withMembers != 0, {}});
}

void StandIn_AddMember(const char* handle) {
    const std::lock_guard lock(g_mutex);
    if (!g_settings.groups.empty())
        g_settings.groups.back().members.push_back(textOf(handle));
}

void StandIn_OverrideListCount(int count, int nullArray) {
    const std::lock_guard lock(g_mutex);
    g_settings.countOverride = count;
    g_settings.nullArray = nullArray != 0;
}

void StandIn_OverrideMemberCount(int count) {
    const std::lock_guard lock(g_mutex);
    g_settings.memberCountOverride = count;
}

void StandIn_SetSynchronous(int synchronous) {
    const std::lock_guard lock(g_mutex);
    g_settings.synchronous = synchronous != 0;
}

void StandIn_ThrowAtNextLogin(int kind, const char* text) {
    const std::lock_guard lock(g_mutex);
    g_settings.loginThrow = kind;
    g_settings.loginThrowText = textOf(text);
}

int StandIn_RaiseReceive(int chat, const char* from, const char* text) {
    return withLive([chat, from = textOf(from), text = textOf(text)](StandInAdapter& adapter) {
        adapter.raise([&adapter, chat, from, text] {
            if (chat)
                adapter.OnReceiveMsgReliableChat.Raise(&adapter, from.c_str(), text.c_str());
            else
                adapter.OnReceiveMsgReliable.Raise(&adapter, from.c_str(), text.c_str());
        });
    });
}

int StandIn_RaiseError(int code, const char* text) {
    return withLive([code, text = textOf(text)](StandInAdapter& adapter) {
        adapter.raise([&adapter, code, text] { adapter.OnError.Raise(&adapter, code, text.c_str()); });
    });
}

int StandIn_RaiseDisconnect() {
    return withLive([](StandInAdapter& adapter) {
        adapter.raise([&adapter] { adapter.OnDisconnect.Raise(&adapter, nullptr); });
    });
}

int StandIn_RaiseContactChange(int change) {
    return withLive([change](StandInAdapter& adapter) {
        adapter.raise([&adapter, change] {
            if (change == 0)
                adapter.OnAddUser.Raise(&adapter, "someone");
            else if (change == 1)
                adapter.OnDeleteUser.Raise(&adapter, "someone");
            else
                adapter.OnBlockUser.Raise(&adapter, "someone", 1);
        });
    });
}

void StandIn_Settle() {
    withLive([](StandInAdapter& adapter) { adapter.Settle(); });
}

int StandIn_Alive() {
    const std::lock_guard lock(g_mutex);
    return g_alive;
}

int StandIn_Subscriptions(const char* event) {
    const std::string_view name = event ? event : "";
    int count = -1;
    withLive([&](StandInAdapter& a) {
        count = name == "OnError"                    ? a.OnError.Subscriptions()
                : name == "OnConnect"                ? a.OnConnect.Subscriptions()
                : name == "OnDisconnect"             ? a.OnDisconnect.Subscriptions()
                : name == "OnEnumerateGroups"        ? a.OnEnumerateGroups.Subscriptions()
                : name == "OnEnumerateUsers"         ? a.OnEnumerateUsers.Subscriptions()
                : name == "OnSendMsgReliable"        ? a.OnSendMsgReliable.Subscriptions()
                : name == "OnSendMsgReliableChat"    ? a.OnSendMsgReliableChat.Subscriptions()
                : name == "OnReceiveMsgReliable"     ? a.OnReceiveMsgReliable.Subscriptions()
                : name == "OnReceiveMsgReliableChat" ? a.OnReceiveMsgReliableChat.Subscriptions()
                : name == "OnAddUser"                ? a.OnAddUser.Subscriptions()
                : name == "OnDeleteUser"             ? a.OnDeleteUser.Subscriptions()
                : name == "OnBlockUser"              ? a.OnBlockUser.Subscriptions()
                                                     : -1;
    });
    return count;
}

int StandIn_Calls(const char* operation) {
    const std::string_view name = operation ? operation : "";
    const std::lock_guard lock(g_mutex);
    return name == "Attach"      ? g_record.attach
           : name == "Start"     ? g_record.start
           : name == "Stop"      ? g_record.stop
           : name == "Ping"      ? g_record.ping
           : name == "SetOption" ? g_record.setOption
                                 : -1;
}

int StandIn_LastOption() {
    const std::lock_guard lock(g_mutex);
    return g_record.lastOption;
}

const char* StandIn_HandedString(int which) {
    const char* text = nullptr;
    withLive([&](StandInAdapter& adapter) { text = which == 1 ? adapter.String1() : adapter.String2(); });
    if (!text)
        return nullptr;
    g_handed = text;
    return g_handed.c_str();
}

std::uintptr_t StandIn_HandedWindow() {
    std::uintptr_t window = 0;
    withLive([&](StandInAdapter& adapter) { window = adapter.m_window; });
    return window;
}

int StandIn_HandedModule() {
    int handed = 0;
    withLive([&](StandInAdapter& adapter) { handed = adapter.m_module != nullptr; });
    return handed;
}

int StandIn_SentCount() {
    const std::lock_guard lock(g_mutex);
    return static_cast<int>(g_record.sent.size());
}

namespace {
const Sent* sentAt(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= g_record.sent.size())
        return nullptr;
    return &g_record.sent[static_cast<std::size_t>(index)];
}
}  // namespace

const char* StandIn_SentTo(int index) {
    const std::lock_guard lock(g_mutex);
    const Sent* sent = sentAt(index);
    return sent ? sent->to.c_str() : nullptr;
}

const char* StandIn_SentText(int index) {
    const std::lock_guard lock(g_mutex);
    const Sent* sent = sentAt(index);
    return sent ? sent->text.c_str() : nullptr;
}

int StandIn_SentChat(int index) {
    const std::lock_guard lock(g_mutex);
    const Sent* sent = sentAt(index);
    return sent ? sent->chat : -1;
}
}
