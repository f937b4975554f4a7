#include "platform/chat/CPyth2Skype.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <climits>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "compat/ipc/MessageQueue.h"
#include "compat/ipc/MessageWindow.h"
#include "compat/store/RegistryKey.h"
#include "launcher/protocol/ThreadProtocol.h"
#include "platform/host/CPyth2Win.h"
#include "testing/ScratchFolder.h"
#include "testing/chat/StandInControl.h"

namespace ovix {

namespace {

using namespace std::chrono_literals;
using ovix::testing::eventually;

// The oldest queued message, copied out, and popped.
struct Popped {
    CPyth2Skype::FirstMsg::Kind kind;
    std::uint32_t code;
    std::string from, to, msg;
    // Groups as (id, name, member handles...) and contacts as handle, name, ...
    std::vector<std::vector<std::string>> groups;
    std::vector<std::string> contacts;
};

Popped pop(CPyth2Skype& bridge) {
    Popped popped{};
    bridge.Get1stMsg([&](const CPyth2Skype::FirstMsg& first) {
        popped = {first.kind, first.code, std::string(first.from), std::string(first.to), std::string(first.msg), {}, {}};
        if (first.groups)
            for (std::size_t i = 0; i < first.groups->GetCount(); ++i) {
                const _SBaseGroup* group = first.groups->GetAt(i);
                std::vector<std::string> item{std::to_string(group->id), std::string(fieldText(group->name))};
                if (group->members)
                    for (int m = 0; m < group->memberCount; ++m)
                        item.emplace_back(fieldText(group->members[m].handle));
                popped.groups.push_back(item);
            }
        if (first.contacts)
            for (std::size_t i = 0; i < first.contacts->GetCount(); ++i) {
                popped.contacts.emplace_back(fieldText(first.contacts->GetAt(i)->handle));
                popped.contacts.emplace_back(fieldText(first.contacts->GetAt(i)->displayName));
            }
        return true;
    });
    return popped;
}

// The thread messages that reach the calling thread within `limit`; window
// messages are dispatched on the way.
std::vector<compat::Message> threadMessages(std::chrono::milliseconds limit = 50ms) {
    std::vector<compat::Message> messages;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    compat::Message message;
    for (;;) {
        if (!compat::PeekMessage(message, true)) {
            if (std::chrono::steady_clock::now() >= deadline)
                break;
            std::this_thread::sleep_for(2ms);
            continue;
        }
        if (message.window != 0)
            compat::DispatchMessage(message);
        else
            messages.push_back(message);
    }
    return messages;
}

bool isNotice(const compat::Message& message) {
    return message.message == compat::WM_USER && message.wParam == PLATFORM_TMSG_IMMSG && message.lParam == 1;
}

class CPyth2SkypeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(compat::ensureMessageQueue());
        setenv(CPyth2Skype::kLibraryVariable, STANDIN_ADAPTER, 1);
        compat::setRegistryRoot(m_scratch / "registry");
        StandIn_Reset();
        threadMessages(0ms);
    }
    void TearDown() override {
        unsetenv(CPyth2Skype::kLibraryVariable);
        compat::setRegistryRoot({});
        threadMessages(0ms);
    }

    std::unique_ptr<CPyth2Skype> makeBridge(int chatCode = CPyth2Skype::CHATSEND) {
        return std::make_unique<CPyth2Skype>("first", "second", compat::currentThreadId(), chatCode);
    }
    // Makes an attached bridge and connects it; its queue is left empty.
    std::unique_ptr<CPyth2Skype> connected(int chatCode = CPyth2Skype::CHATSEND) {
        auto bridge = makeBridge(chatCode);
        EXPECT_EQ(bridge->Connect(), 1);
        StandIn_Settle();
        EXPECT_EQ(pop(*bridge).msg, "connected");
        threadMessages(0ms);
        return bridge;
    }

    ovix::testing::ScratchFolder m_scratch;
};

TEST_F(CPyth2SkypeTest, MissingLibraryQueuesOneFailureAndOneNotice) {
    setenv(CPyth2Skype::kLibraryVariable, (m_scratch / "absent.dll").c_str(), 1);
    CPyth2Skype bridge("first", "second", compat::currentThreadId());
    EXPECT_EQ(bridge.IsConstructed(), 0);
    EXPECT_EQ(bridge.GetAdapter(), nullptr);
    const auto notices = threadMessages();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_TRUE(isNotice(notices[0]));
    EXPECT_EQ(bridge.QueuedMsgs(), 1u);
    EXPECT_EQ(bridge.GetLastErr(), CPyth2Skype::ERR_NODLL);

    // The requests do nothing without adapter.
    EXPECT_EQ(bridge.Connect(), 0);
    EXPECT_EQ(bridge.EnumUsers(), 0);
    bridge.SendChatMsg("a", "b");
    EXPECT_EQ(bridge.GetLogin(), (std::pair<std::string, std::string>{"", ""}));
    EXPECT_EQ(bridge.QueuedMsgs(), 1u);

    const Popped failure = pop(bridge);
    EXPECT_EQ(failure.code, 1u);
    EXPECT_EQ(failure.msg, "Can not find Skype DLL");
    EXPECT_EQ(failure.to, "first");
    EXPECT_EQ(failure.from, "");
    EXPECT_EQ(pop(bridge).kind, CPyth2Skype::FirstMsg::Kind::empty);
}

TEST_F(CPyth2SkypeTest, NoAdapterFromTheLibraryIsAFailureNotACrash) {
    StandIn_RefuseCreate(1);
    CPyth2Skype refused(nullptr, nullptr, compat::currentThreadId());
    EXPECT_EQ(refused.IsConstructed(), 0);
    const Popped failure = pop(refused);
    EXPECT_EQ(failure.code, CPyth2Skype::ERR_NOADAPTER);
    EXPECT_EQ(failure.msg, "Can not create Skype adapter");
    EXPECT_EQ(failure.to, "");

    // A shared library that is no adapter library at all.
    setenv(CPyth2Skype::kLibraryVariable, "libm.so.6", 1);
    CPyth2Skype foreign("first", "", compat::currentThreadId());
    EXPECT_EQ(foreign.IsConstructed(), 0);
    EXPECT_EQ(pop(foreign).msg, "Can not create Skype adapter");
}

TEST_F(CPyth2SkypeTest, RefusedAttachTellsWhetherTheClientIsMissingOrTheWrongVersion) {
    StandIn_SetAttachResult(-9);
    {
        CPyth2Skype bridge("first", "", compat::currentThreadId());
        EXPECT_EQ(bridge.IsConstructed(), 1);
        const Popped failure = pop(bridge);
        EXPECT_EQ(failure.code, static_cast<std::uint32_t>(-9));
        EXPECT_EQ(failure.msg, "Skype not installed");
        EXPECT_EQ(failure.to, "first");
    }
    StandIn_SetAttachResult(3);
    {
        CPyth2Skype bridge("first", "", compat::currentThreadId());
        EXPECT_EQ(pop(bridge).msg, "Incorrect Skype version");
    }
    // Neither adapter was started; both were stopped and deleted.
    EXPECT_EQ(StandIn_Calls("Start"), 0);
    EXPECT_EQ(StandIn_Calls("Stop"), 2);
    EXPECT_EQ(StandIn_Alive(), 0);
}

TEST_F(CPyth2SkypeTest, StartHandsOverWhatTheAdapterAsksForAndStartsIt) {
    {
        auto bridge = makeBridge();
        EXPECT_EQ(bridge->IsConstructed(), 1);
        EXPECT_STREQ(StandIn_HandedString(1), "first");
        EXPECT_STREQ(StandIn_HandedString(2), "second");
        EXPECT_NE(StandIn_HandedWindow(), 0u);
        EXPECT_EQ(StandIn_HandedModule(), 1);
        EXPECT_EQ(StandIn_Calls("Start"), 1);
        EXPECT_EQ(StandIn_LastOption(), 0);
        EXPECT_EQ(bridge->QueuedMsgs(), 0u);
    }
    StandIn_SetCaps(ADAPTER_CAPS_STRING2);
    auto bridge = makeBridge();
    EXPECT_EQ(StandIn_HandedString(1), nullptr);
    EXPECT_STREQ(StandIn_HandedString(2), "second");
    EXPECT_EQ(StandIn_HandedWindow(), 0u);
    EXPECT_EQ(StandIn_HandedModule(), 0);
}

TEST_F(CPyth2SkypeTest, ChatCodeChoosesTheChatEventsAndCleanupUnsubscribesAll) {
    const char* events[] = {"OnConnect", "OnDisconnect", "OnEnumerateGroups", "OnEnumerateUsers",
                            "OnSendMsgReliable", "OnReceiveMsgReliable", "OnError", "OnAddUser",
                            "OnDeleteUser", "OnBlockUser"};
    for (const int chatCode : {0, 1, 2, 3}) {
        SCOPED_TRACE(chatCode);
        auto bridge = makeBridge(chatCode);
        for (const char* event : events)
            EXPECT_EQ(StandIn_Subscriptions(event), 1) << event;
        EXPECT_EQ(StandIn_Subscriptions("OnSendMsgReliableChat"), chatCode & 1);
        EXPECT_EQ(StandIn_Subscriptions("OnReceiveMsgReliableChat"), (chatCode >> 1) & 1);
        CAdapter* adapter = bridge->GetAdapter();
        ASSERT_NE(adapter, nullptr);
        bridge->Reset();
        // The new adapter has the same subscriptions; the old one is gone.
        EXPECT_NE(bridge->GetAdapter(), nullptr);
        EXPECT_EQ(StandIn_Alive(), 1);
        EXPECT_EQ(StandIn_Subscriptions("OnReceiveMsgReliableChat"), (chatCode >> 1) & 1);
    }
    EXPECT_EQ(StandIn_Alive(), 0);
}

TEST_F(CPyth2SkypeTest, ResetKeepsTheNoticeThreadAndTheChatCodeAndEmptiesTheStrings) {
    auto bridge = makeBridge(CPyth2Skype::CHATALL);
    bridge->PostNoOp();
    bridge->Reset();
    EXPECT_EQ(bridge->GetThreadId(), compat::currentThreadId());
    EXPECT_EQ(bridge->GetChatCode(), CPyth2Skype::CHATALL);
    EXPECT_EQ(bridge->QueuedMsgs(), 0u);
    EXPECT_STREQ(StandIn_HandedString(1), "");
    EXPECT_STREQ(StandIn_HandedString(2), "");
}

TEST_F(CPyth2SkypeTest, ConnectQueuesConnectedAndPingsOnTheWindowThread) {
    auto bridge = makeBridge();
    EXPECT_EQ(bridge->Connect(), 1);
    StandIn_Settle();
    EXPECT_EQ(bridge->IsConnected(), 1);
    const Popped connected = pop(*bridge);
    EXPECT_EQ(connected.msg, "connected");
    EXPECT_EQ(connected.to, "me");
    EXPECT_EQ(connected.code, 0u);
    EXPECT_EQ(bridge->GetPingTmr(), CPyth2Skype::kPingTimerId);

    // The notice, and window messages (the timer's start, its ticks), which
    // give 0.
    std::vector<std::uint32_t> commands;
    while (StandIn_Calls("Ping") == 0)
        commands.push_back(bridge->GetACmd());
    std::erase(commands, CPyth2Skype::NOMSG);
    EXPECT_EQ(commands, std::vector<std::uint32_t>{65538});

    // Disconnected, the timer is stopped: no more pings.
    StandIn_RaiseDisconnect();
    StandIn_Settle();
    threadMessages(100ms);
    const int pings = StandIn_Calls("Ping");
    threadMessages(1300ms);
    EXPECT_EQ(StandIn_Calls("Ping"), pings);
}

TEST_F(CPyth2SkypeTest, FailedRequestsQueueTheAdapterCodeWithTheirText) {
    auto bridge = makeBridge();
    StandIn_SetResult("Connect", 4);
    StandIn_SetResult("Disconnect", 5);
    StandIn_SetResult("EnumerateUsers", 7);
    StandIn_SetResult("EnumerateGroups", 6);
    bridge->PostNoOp();
    EXPECT_EQ(bridge->Connect(), 0);
    EXPECT_EQ(bridge->Disconnect(), 0);
    EXPECT_EQ(bridge->EnumUsers(), 0);
    EXPECT_EQ(bridge->EnumGroups(), 0);
    // The oldest failure, with nothing removed.
    EXPECT_EQ(bridge->GetLastErr(), 4u);
    EXPECT_EQ(bridge->GetLastErr(), 4u);
    EXPECT_EQ(bridge->QueuedMsgs(), 5u);
    EXPECT_EQ(threadMessages().size(), 5u);

    EXPECT_EQ(pop(*bridge).msg, "");
    const char* texts[] = {"Can not connect!", "Can not disconnect!", "Can not enumerate users/contacts!",
                           "Can not enumerate groups!"};
    const std::uint32_t codes[] = {4, 5, 7, 6};
    for (int i = 0; i < 4; ++i) {
        const Popped failure = pop(*bridge);
        EXPECT_EQ(failure.msg, texts[i]);
        EXPECT_EQ(failure.code, codes[i]);
        EXPECT_EQ(failure.to, "me");
    }
    EXPECT_EQ(bridge->GetLastErr(), 0u);
}

TEST_F(CPyth2SkypeTest, GroupsAndContactsArriveAsCopiesAndShowAsTheyStandWhenPopped) {
    StandIn_AddGroup(7, "friends", 1);
    StandIn_AddMember("ann");
    StandIn_AddMember("bob");
    StandIn_AddGroup(8, "nobody", 0);
    StandIn_AddContact("ann", "Ann A");
    StandIn_AddContact("bob", "Bob B");
    auto bridge = connected();
    // Each event on its own adapter thread: settled in turn to keep their order.
    EXPECT_EQ(bridge->EnumGroups(), 1);
    StandIn_Settle();
    EXPECT_EQ(bridge->EnumUsers(), 1);
    StandIn_Settle();
    EXPECT_EQ(bridge->HaveContactIds(), 1);
    EXPECT_EQ(bridge->HaveContactDetails(), 1);

    const Popped groups = pop(*bridge);
    EXPECT_EQ(groups.kind, CPyth2Skype::FirstMsg::Kind::groups);
    EXPECT_EQ(groups.groups, (std::vector<std::vector<std::string>>{{"7", "friends", "ann", "bob"}, {"8", "nobody"}}));
    const Popped contacts = pop(*bridge);
    EXPECT_EQ(contacts.kind, CPyth2Skype::FirstMsg::Kind::contacts);
    EXPECT_EQ(contacts.contacts, (std::vector<std::string>{"ann", "Ann A", "bob", "Bob B"}));

    // A marker popped after the lists were emptied shows them empty.
    EXPECT_EQ(bridge->EnumGroups(), 1);
    StandIn_Settle();
    bridge->SendAppMsg("ann", "hi");
    StandIn_Settle();
    StandIn_RaiseDisconnect();
    StandIn_Settle();
    EXPECT_EQ(bridge->IsConnected(), 0);
    EXPECT_EQ(bridge->HaveContactIds(), 0);
    EXPECT_EQ(bridge->HaveContactDetails(), 0);
    EXPECT_EQ(bridge->IsMsgSent(), 1);
    EXPECT_EQ(bridge->Groups(), 0u);
    EXPECT_EQ(bridge->Contacts(), 0u);
    const Popped stale = pop(*bridge);
    EXPECT_EQ(stale.kind, CPyth2Skype::FirstMsg::Kind::groups);
    EXPECT_TRUE(stale.groups.empty());
    EXPECT_EQ(pop(*bridge).msg, "disconnected");
}

TEST_F(CPyth2SkypeTest, ReceivedMessagesAreTextWhateverTheySayAndChatOnesNeedTheirBit) {
    auto bridge = connected(CPyth2Skype::CHATSEND);
    StandIn_RaiseReceive(1, "ann", "not subscribed");
    StandIn_RaiseReceive(0, "ann", "__groups__");
    StandIn_Settle();
    ASSERT_EQ(bridge->QueuedMsgs(), 1u);
    const Popped received = pop(*bridge);
    EXPECT_EQ(received.kind, CPyth2Skype::FirstMsg::Kind::text);
    EXPECT_EQ(received.msg, "__groups__");
    EXPECT_EQ(received.from, "ann");
    EXPECT_EQ(received.to, "me");
    EXPECT_EQ(received.code, 0u);

    auto chat = makeBridge(CPyth2Skype::CHATRECV);
    StandIn_RaiseReceive(1, "bob", "hello");
    StandIn_Settle();
    const Popped fromChat = pop(*chat);
    EXPECT_EQ(fromChat.msg, "hello");
    EXPECT_EQ(fromChat.from, "bob");
}

TEST_F(CPyth2SkypeTest, SendsReachTheAdapterAndTheirConfirmationSetsTheFlagWithoutANotice) {
    auto bridge = connected(CPyth2Skype::NOCHAT);
    bridge->SendChatMsg("ann", "chat text");
    StandIn_Settle();
    EXPECT_EQ(bridge->IsMsgSent(), 0);  // chat confirmations not subscribed
    bridge->SendAppMsg("bob", "app text");
    StandIn_Settle();
    EXPECT_EQ(bridge->IsMsgSent(), 1);
    bridge->ResetMsgSent();
    EXPECT_EQ(bridge->IsMsgSent(), 0);
    ASSERT_EQ(StandIn_SentCount(), 2);
    EXPECT_STREQ(StandIn_SentTo(0), "ann");
    EXPECT_STREQ(StandIn_SentText(0), "chat text");
    EXPECT_EQ(StandIn_SentChat(0), 1);
    EXPECT_STREQ(StandIn_SentTo(1), "bob");
    EXPECT_EQ(StandIn_SentChat(1), 0);
    EXPECT_EQ(bridge->QueuedMsgs(), 0u);
    EXPECT_TRUE(threadMessages().empty());
}

TEST_F(CPyth2SkypeTest, ErrorsAndContactChangesAreQueuedWithTheLogin) {
    StandIn_SetLogin(nullptr);
    auto bridge = makeBridge();
    StandIn_RaiseError(42, "client said no");
    StandIn_Settle();
    for (int change = 0; change < 3; ++change) {
        StandIn_RaiseContactChange(change);
        StandIn_Settle();
    }
    const Popped error = pop(*bridge);
    EXPECT_EQ(error.code, 42u);
    EXPECT_EQ(error.msg, "client said no");
    EXPECT_EQ(error.to, "");
    for (int change = 0; change < 3; ++change)
        EXPECT_EQ(pop(*bridge).msg, "contactlistchanged");
    EXPECT_EQ(threadMessages().size(), 4u);
}

// The adapter may raise an event on the requesting thread, inside the request
// that holds the bridge's lock.
TEST_F(CPyth2SkypeTest, EventsRaisedInsideARequestDoNotDeadlock) {
    StandIn_SetSynchronous(1);
    StandIn_AddContact("ann", "Ann A");
    auto bridge = makeBridge();
    EXPECT_EQ(bridge->Connect(), 1);
    EXPECT_EQ(bridge->EnumUsers(), 1);
    EXPECT_EQ(pop(*bridge).msg, "connected");
    EXPECT_EQ(pop(*bridge).contacts, (std::vector<std::string>{"ann", "Ann A"}));
}

TEST_F(CPyth2SkypeTest, GetACmdTellsQuitNoticeAndEverythingElse) {
    CPyth2Skype bridge("first", "", compat::currentThreadId());
    const auto self = compat::currentThreadId();
    compat::PostThreadMessage(self, compat::WM_USER, PLATFORM_TMSG_IMMSG, 1);
    EXPECT_EQ(bridge.GetACmd(), 65538u);
    compat::PostThreadMessage(self, compat::WM_USER, PLATFORM_TMSG_IMMSG, 3);
    EXPECT_EQ(bridge.GetACmd(), 0x30002u);
    compat::PostThreadMessage(self, compat::WM_USER, PLATFORM_TMSG_QUIT, 0);
    EXPECT_EQ(bridge.GetACmd(), CPyth2Skype::QUITMSG);
    compat::PostThreadMessage(self, compat::WM_USER, PLATFORM_TMSG_PAUSE, 0);
    EXPECT_EQ(bridge.GetACmd(), CPyth2Skype::NOMSG);
    compat::PostThreadMessage(self, compat::WM_APP, PLATFORM_TMSG_QUIT, 0);
    EXPECT_EQ(bridge.GetACmd(), CPyth2Skype::NOMSG);
    compat::PostQuitMessage(0);
    EXPECT_EQ(bridge.GetACmd(), CPyth2Skype::QUITMSG);
}

TEST_F(CPyth2SkypeTest, TheNoticeReachesCPyth2WinAsAnImMessageCommand) {
    CPyth2Win platform;
    auto bridge = makeBridge();
    bridge->PostNoOp();
    EXPECT_EQ(platform.GetACmd(), 65540u);
    // SetThreadId moves the notices to another thread.
    std::uint32_t command = 0;
    // A thread with no message queue yet: SetThreadId gives it one.
    std::thread other([&] {
        bridge->SetThreadId();
        bridge->PostNoOp();
        command = bridge->GetACmd();
    });
    other.join();
    EXPECT_EQ(command, 65538u);
    for (const auto& message : threadMessages())
        EXPECT_FALSE(isNotice(message));
}

TEST_F(CPyth2SkypeTest, ClientTimeoutIsSwitchedOffWhereTheClientKeepsItsSettings) {
    ASSERT_TRUE(compat::RegistryKey::create(compat::RegistryHive::CurrentUser, "Software\\Skype\\Phone\\UI"));
    auto bridge = makeBridge();
    const auto key = compat::RegistryKey::open(compat::RegistryHive::CurrentUser, "Software\\Skype\\Phone\\UI");
    ASSERT_TRUE(key);
    EXPECT_EQ(key->queryDword("APITimeoutDisabled"), 1u);
    EXPECT_EQ(bridge->QueuedMsgs(), 0u);
}

// A settings store that cannot be written is reported, and the bridge still
// finishes starting: its ping timer reaches it.
TEST_F(CPyth2SkypeTest, UnwritableClientSettingsAreReportedAndPingingStillWorks) {
    const auto key = compat::RegistryKey::create(compat::RegistryHive::CurrentUser, "Software\\Skype\\Phone\\UI");
    ASSERT_TRUE(key && key->setDword("Other", 2));
    // A folder in place of the hive's lock file: no writer may change it.
    const auto lock = compat::registryRoot() / "HKEY_CURRENT_USER.lock";
    ASSERT_TRUE(std::filesystem::remove(lock));
    ASSERT_TRUE(std::filesystem::create_directory(lock));
    auto bridge = makeBridge();
    const Popped failure = pop(*bridge);
    EXPECT_EQ(failure.code, CPyth2Skype::ERR_SKYPETIMEOUT_ENABLED);
    EXPECT_EQ(failure.msg, "Failed to disable skype 1sec timeout");
    EXPECT_EQ(failure.to, "first");

    EXPECT_EQ(bridge->Connect(), 1);
    StandIn_Settle();
    EXPECT_TRUE(eventually([] {
        threadMessages(20ms);
        return StandIn_Calls("Ping") > 0;
    }, 5s));
}

// Adapters copy their records byte for byte: a text may fill its field with
// no NUL, and a count may be negative or come without an array.
TEST_F(CPyth2SkypeTest, MalformedRecordsAreReadWithinTheirFields) {
    const std::string longHandle(60, 'h');
    const std::string longName(70, 'n');
    StandIn_SetInfo(std::string(80, 'a').c_str(), "middle", "version-text-too-long");
    StandIn_AddContact(longHandle.c_str(), longName.c_str());
    StandIn_AddGroup(1, longName.c_str(), 1);
    StandIn_AddMember(longHandle.c_str());
    auto bridge = connected();
    const auto info = bridge->GetIMInfo();
    EXPECT_EQ(info[0], std::string(50, 'a'));
    EXPECT_EQ(info[1], "middle");
    EXPECT_EQ(info[2], "version-text");
    bridge->EnumUsers();
    StandIn_Settle();
    bridge->EnumGroups();
    StandIn_Settle();
    EXPECT_EQ(pop(*bridge).contacts, (std::vector<std::string>{std::string(50, 'h'), std::string(50, 'n')}));
    EXPECT_EQ(pop(*bridge).groups,
              (std::vector<std::vector<std::string>>{{"1", std::string(52, 'n'), std::string(50, 'h')}}));

    StandIn_OverrideListCount(-5, 0);
    bridge->EnumGroups();
    StandIn_Settle();
    StandIn_OverrideListCount(3, 1);
    bridge->EnumUsers();
    StandIn_Settle();
    EXPECT_TRUE(pop(*bridge).groups.empty());
    EXPECT_TRUE(pop(*bridge).contacts.empty());
    EXPECT_EQ(bridge->HaveContactDetails(), 1);
}

// A count beyond the adapter's array (which the stand-in ends at unreadable
// memory) or near INT_MAX queues the enumeration's failure and leaves the
// lists as they were.
TEST_F(CPyth2SkypeTest, CountsBeyondTheAdaptersArraysAreRefused) {
    constexpr int real = -1000;
    StandIn_AddContact("ann", "Ann A");
    StandIn_AddGroup(7, "friends", 1);
    StandIn_AddMember("ann");
    auto bridge = connected();
    bridge->EnumUsers();
    bridge->EnumGroups();
    StandIn_Settle();
    pop(*bridge);
    pop(*bridge);
    struct Case {
        const char* what;
        bool groups;
        int count;
        int memberCount;
    };
    for (const Case& c : {Case{"contacts past their array", false, 40, real},
                          Case{"contacts near INT_MAX", false, INT_MAX, real},
                          Case{"groups past their array", true, 40, real},
                          Case{"groups near INT_MAX", true, INT_MAX - 1, real},
                          Case{"members past their array", true, real, 40},
                          Case{"members near INT_MAX", true, real, INT_MAX}}) {
        StandIn_OverrideListCount(c.count, 0);
        StandIn_OverrideMemberCount(c.memberCount);
        EXPECT_EQ(c.groups ? bridge->EnumGroups() : bridge->EnumUsers(), 1) << c.what;
        StandIn_Settle();
        const Popped failure = pop(*bridge);
        EXPECT_EQ(failure.code, c.groups ? CPyth2Skype::ERR_NOENUMGROUPS : CPyth2Skype::ERR_NOENUMUSERS) << c.what;
        EXPECT_EQ(failure.msg, c.groups ? "Can not enumerate groups!" : "Can not enumerate users/contacts!") << c.what;
        EXPECT_EQ(failure.to, "me") << c.what;
        EXPECT_EQ(bridge->QueuedMsgs(), 0u) << c.what;
        EXPECT_EQ(bridge->Contacts(), 1u) << c.what;
        EXPECT_EQ(bridge->Groups(), 1u) << c.what;
    }
}

// A handler whose work throws queues the cause: "Out of memory" only for an
// allocation that failed; any other failure keeps its own text.
TEST_F(CPyth2SkypeTest, AFailedHandlerQueuesItsCause) {
    auto bridge = connected();
    CAdapter* adapter = bridge->GetAdapter();
    const std::pair<const char*, std::function<void()>> events[] = {
        {"connect", [&] { adapter->OnConnect.Raise(adapter); }},
        {"disconnect", [&] { adapter->OnDisconnect.Raise(adapter, nullptr); }},
        {"receive", [&] { adapter->OnReceiveMsgReliable.Raise(adapter, "ann", "hello"); }},
        {"error", [&] { adapter->OnError.Raise(adapter, 12, "oops"); }},
        {"contact added", [&] { adapter->OnAddUser.Raise(adapter, "ann"); }},
        {"contact blocked", [&] { adapter->OnBlockUser.Raise(adapter, "ann", 1); }},
    };
    const struct {
        int kind;
        std::uint32_t code;
        const char* text;
    } failures[] = {
        {1, CPyth2Skype::ERR_NOMEM, "Out of memory"},
        {2, CPyth2Skype::ERR_EVENT, "the adapter gave up"},
        {3, CPyth2Skype::ERR_EVENT, "unknown C++ exception"},
    };
    for (const auto& [event, raise] : events) {
        for (const auto& f : failures) {
            StandIn_ThrowAtNextLogin(f.kind, "the adapter gave up");
            raise();
            const Popped failure = pop(*bridge);
            EXPECT_EQ(failure.code, f.code) << event << ": " << f.text;
            EXPECT_EQ(failure.msg, f.text) << event;
            EXPECT_EQ(failure.to, "me") << event << ": " << f.text;
            EXPECT_EQ(bridge->QueuedMsgs(), 0u) << event << ": " << f.text;
        }
    }
}

TEST_F(CPyth2SkypeTest, NegativeMemberCountGivesAGroupWithNoMembers) {
    auto bridge = makeBridge();
    _SBaseUser member{};
    _SBaseGroup group{3, "odd", -4, &member};
    SBaseGroupArray groups{1, &group};
    bridge->GetAdapter()->OnEnumerateGroups.Raise(bridge->GetAdapter(), &groups);
    EXPECT_EQ(pop(*bridge).groups, (std::vector<std::vector<std::string>>{{"3", "odd"}}));
}

TEST_F(CPyth2SkypeTest, AMessageThatCouldNotBeDeliveredStaysFirst) {
    auto bridge = makeBridge();
    bridge->PostMsg("to", 9, "keep me");
    bridge->PostMsg(nullptr, 0, "second");
    bridge->Get1stMsg([](const CPyth2Skype::FirstMsg& first) {
        EXPECT_EQ(first.msg, "keep me");
        return false;
    });
    const Popped kept = pop(*bridge);
    EXPECT_EQ(kept.msg, "keep me");
    EXPECT_EQ(kept.code, 9u);
    const Popped second = pop(*bridge);
    EXPECT_EQ(second.to, "");
    EXPECT_EQ(second.msg, "second");
}

TEST_F(CPyth2SkypeTest, QueueKeepsAppendOrderAcrossGrowth) {
    auto bridge = makeBridge();
    for (int i = 0; i < 25; ++i)
        bridge->PostMsg("", 0, std::to_string(i).c_str());
    EXPECT_EQ(threadMessages().size(), 25u);
    for (int i = 0; i < 25; ++i)
        EXPECT_EQ(pop(*bridge).msg, std::to_string(i));
    EXPECT_EQ(pop(*bridge).kind, CPyth2Skype::FirstMsg::Kind::empty);
}

// The bridge may be destroyed on another thread than the one that owns its
// window: the window is closed by its own thread and never reaches the
// destroyed bridge.
TEST_F(CPyth2SkypeTest, DestroyedOnAnotherThreadTheWindowOutlivesItSafely) {
    auto bridge = connected();
    const auto window = StandIn_HandedWindow();
    EXPECT_EQ(bridge->GetACmd(), CPyth2Skype::NOMSG);  // starts the ping timer
    std::thread([&] { bridge.reset(); }).join();
    EXPECT_TRUE(compat::IsWindow(window));
    threadMessages(1200ms);
    EXPECT_FALSE(compat::IsWindow(window));
    EXPECT_EQ(StandIn_Alive(), 0);
}

}  // namespace

}  // namespace ovix
