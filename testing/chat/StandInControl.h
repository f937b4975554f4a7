#pragma once
// How tests drive the stand-in adapter library: what its next adapter is
// like, which events the live adapter raises, and what the bridge did with
// it. Plain C functions, so that Python tests reach them through ctypes; the
// library and the bridge share them when both load the same file.
//
// Texts are put into the records' fixed fields the way a careless adapter
// would: a text as long as its field or longer fills it with no terminating
// NUL. Every record array ends right before memory that cannot be read.

#include <cstdint>

// Exported, like CreateAdapter, from a build that hides symbols by default.
#pragma GCC visibility push(default)
extern "C" {

// Defaults for everything below, records emptied. The live adapter stays.
void StandIn_Reset();

// --- The next adapter and the live one -----------------------------------------
void StandIn_RefuseCreate(int refuse);      // CreateAdapter gives null
void StandIn_SetAttachResult(int result);   // 0 by default
void StandIn_SetCaps(int caps);             // 15 by default
// "Connect", "Disconnect", "EnumerateGroups" or "EnumerateUsers": the
// request's result (0 by default); 0 also raises its event. False for
// another name.
int StandIn_SetResult(const char* request, int result);
// Taken when an adapter is made; a null login makes GetLoginName give null.
void StandIn_SetLogin(const char* login);   // "me" by default
void StandIn_SetFullName(const char* name); // "Me Myself" by default
void StandIn_SetInfo(const char* first, const char* second, const char* third);
void StandIn_AddContact(const char* handle, const char* displayName);
// A group, with a member array (empty so far) when `withMembers` is set.
void StandIn_AddGroup(int id, const char* name, int withMembers);
void StandIn_AddMember(const char* handle);  // to the last group
// Enumerations report `count` records and, when `nullArray` is set, no
// array; a negative count of -1000 or below goes back to the real count.
void StandIn_OverrideListCount(int count, int nullArray);
// Groups with a member array report `count` members; -1000 or below goes
// back to the real count.
void StandIn_OverrideMemberCount(int count);
// Events are raised on the calling thread, inside the request, instead of
// on a thread of the adapter.
void StandIn_SetSynchronous(int synchronous);
// The next GetLoginName of any adapter throws, once: 1 std::bad_alloc, 2
// std::runtime_error with `text`, 3 something that is no std::exception; 0
// nothing.
void StandIn_ThrowAtNextLogin(int kind, const char* text);

// --- Events of the live adapter: 0, or -1 when there is none -------------------
int StandIn_RaiseReceive(int chat, const char* from, const char* text);
int StandIn_RaiseError(int code, const char* text);
int StandIn_RaiseDisconnect();
// 0 added, 1 deleted, 2 blocked.
int StandIn_RaiseContactChange(int change);
// Waits until the events raised so far have been handled.
void StandIn_Settle();

// --- What happened ---------------------------------------------------------------
int StandIn_Alive();  // adapters made and not yet deleted
// Subscriptions to the live adapter's event of that name ("OnConnect", ...);
// -1 for another name or without live adapter.
int StandIn_Subscriptions(const char* event);
// Calls of "Attach", "Start", "Stop", "Ping" or "SetOption" on all adapters.
int StandIn_Calls(const char* operation);
int StandIn_LastOption();
// What the bridge handed to the live adapter: its string 1 or 2 (null when
// none), its window, 1 when it has the library module.
const char* StandIn_HandedString(int which);
std::uintptr_t StandIn_HandedWindow();
int StandIn_HandedModule();
// The messages sent, oldest first.
int StandIn_SentCount();
const char* StandIn_SentTo(int index);
const char* StandIn_SentText(int index);
int StandIn_SentChat(int index);
}
#pragma GCC visibility pop
