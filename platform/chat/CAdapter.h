#pragma once
// The contract between the chat bridge (CPyth2Skype) and the adapter library
// "Skype297.dll" that it loads at run time. The library exports
// "CreateAdapter", which makes one adapter; the bridge then drives it through
// the virtual operations below, fills the members it is asked for (GetCaps)
// and subscribes to its events. The adapter raises the events on its own
// threads, the adapter object itself first.

#include <cstdint>
#include <cstring>
#include <memory>

#include "compat/ipc/MessageQueue.h"
#include "platform/chat/CAdapterEvent.h"
#include "platform/chat/SkypeRecords.h"

// What GetCaps asks the bridge to hand over.
enum CAdapterCaps : int {
    ADAPTER_CAPS_STRING1 = 1,
    ADAPTER_CAPS_STRING2 = 2,
    ADAPTER_CAPS_WINDOW = 4,
    ADAPTER_CAPS_MODULE = 8,
};

// Attach's result when the client is not installed; any other non-zero
// result means a client version the adapter cannot talk to.
inline constexpr int ADAPTER_ATTACH_NOT_INSTALLED = -9;

class CAdapter {
public:
    virtual ~CAdapter() = default;
    // Fills `info` and reaches the client: 0, ADAPTER_ATTACH_NOT_INSTALLED or
    // another non-zero code.
    virtual int Attach(IMInfo* info) = 0;
    virtual int GetCaps() = 0;
    // The signed-in user, or null; valid until the adapter's next call.
    virtual const char* GetLoginName() = 0;
    virtual void Start() = 0;
    virtual void Stop() = 0;
    // The requests: 0 once accepted; the outcome arrives as an event.
    virtual int Connect() = 0;
    virtual int Disconnect() = 0;
    virtual int EnumerateGroups() = 0;
    virtual int EnumerateUsers() = 0;
    virtual int SendMsgReliable(const char* to, const char* msg) = 0;
    virtual int SendMsgReliableChat(const char* to, const char* msg) = 0;
    virtual void Ping() = 0;
    virtual void SetOption(int option) = 0;
    virtual const char* GetSignedInFullName() = 0;

    // Replace the string members with copies of `text` (null: none).
    void SetString1(const char* text) { m_string1 = copyOf(text); }
    void SetString2(const char* text) { m_string2 = copyOf(text); }
    const char* String1() const { return m_string1.get(); }
    const char* String2() const { return m_string2.get(); }

    compat::WindowHandle m_window = 0;
    void* m_module = nullptr;  // the library's handle, as dlopen gave it

    CAdapterEvent<int, const char*> OnError;  // code, text
    CAdapterEvent<> OnConnect;
    CAdapterEvent<const void*> OnDisconnect;  // the adapter's reason, opaque
    CAdapterEvent<const SBaseGroupArray*> OnEnumerateGroups;
    CAdapterEvent<const SBaseUserArray*> OnEnumerateUsers;
    CAdapterEvent<int> OnSendMsgReliable;  // the adapter's message number
    CAdapterEvent<int> OnSendMsgReliableChat;
    CAdapterEvent<const char*, const char*> OnReceiveMsgReliable;  // from, text
    CAdapterEvent<const char*, const char*> OnReceiveMsgReliableChat;
    CAdapterEvent<const char*> OnAddUser;  // the contact's handle
    CAdapterEvent<const char*> OnDeleteUser;
    CAdapterEvent<const char*, int> OnBlockUser;  // the contact's handle, blocked

private:
    static std::unique_ptr<char[]> copyOf(const char* text) {
        if (!text)
            return nullptr;
        const std::size_t size = std::strlen(text) + 1;
        auto copy = std::make_unique<char[]>(size);
        std::memcpy(copy.get(), text, size);
        return copy;
    }

    std::unique_ptr<char[]> m_string1;
    std::unique_ptr<char[]> m_string2;
};

// The library's export "CreateAdapter": a new adapter, or null.
using CreateAdapterFunction = CAdapter* (*)();
