// Rows of the chat bridge: CSkype2PythMsg and CPyth2Skype. Every row runs
// with the interpreter lock held; the bridge lets it go only while it waits
// for its own lock or, in GetACmd, for a message.

%{
#include "platform/chat/CPyth2Skype.h"
#include "python/Results.h"

// The thread id and timer id boxes of the rows.
typedef std::uint32_t DWORD;
typedef std::uintptr_t UINT_PTR;

namespace ovix::py {

void deleteDword(void* box) {
    delete static_cast<DWORD*>(box);
}

// (id, name, the handle of each member) when the group has a member array,
// else (id, name).
PyObject* newGroupTuple(const _SBaseGroup& group) {
    const std::size_t members = group.members ? static_cast<std::size_t>(group.memberCount) : 0;
    return newTuple(2 + members, [&](std::size_t i) -> PyObject* {
        if (i == 0)
            return PyLong_FromLong(group.id);
        if (i == 1)
            return newText(fieldText(group.name));
        return newText(fieldText(group.members[i - 2].handle));
    });
}

// The handle and the display name of every contact, in one flat tuple.
PyObject* newContactsTuple(const CListEx<_SBaseUser*>& contacts) {
    return newTuple(2 * contacts.GetCount(), [&](std::size_t i) {
        const _SBaseUser& contact = *contacts.GetAt(i / 2);
        return newText(i % 2 == 0 ? fieldText(contact.handle) : fieldText(contact.displayName));
    });
}

// (code, from, to, text), the text being the group or contact tuple for
// their markers; (0, "", "", "") when nothing is queued.
PyObject* newFirstMsgTuple(const CPyth2Skype::FirstMsg& first) {
    using Kind = CPyth2Skype::FirstMsg::Kind;
    return newTuple(4, [&](std::size_t i) -> PyObject* {
        switch (i) {
        case 0:
            return PyLong_FromUnsignedLong(first.code);
        case 1:
            return newText(first.from);
        case 2:
            return newText(first.to);
        default:
            if (first.kind == Kind::groups)
                return newTuple(first.groups->GetCount(),
                                [&](std::size_t g) { return newGroupTuple(*first.groups->GetAt(g)); });
            if (first.kind == Kind::contacts)
                return newContactsTuple(*first.contacts);
            return newText(first.msg);
        }
    });
}

}  // namespace ovix::py
%}

%ovix_owned_handle(DWORD *, DWORD *, ovix::py::deleteDword)

class CSkype2PythMsg {
public:
    CSkype2PythMsg(unsigned long code, char const *from, char const *to, char const *msg);
    ~CSkype2PythMsg();
    %extend {
        PyObject *GetMsg() {
            return ovix::py::newText($self->GetMsg());
        }
        PyObject *GetFrom() {
            return ovix::py::newText($self->GetFrom());
        }
        PyObject *GetTo() {
            return ovix::py::newText($self->GetTo());
        }
    }
    unsigned long GetMsgCode();
};

class CPyth2Skype {
public:
    CPyth2Skype(char *s1, char *s2, unsigned long noticeThread, int chatCode);
    CPyth2Skype(char *s1, char *s2, unsigned long noticeThread);
    ~CPyth2Skype();
    int IsConstructed();
    int IsConnected();
    int HaveContactIds();
    int HaveContactDetails();
    unsigned long GetLastErr();
    unsigned long GetACmd();
    %extend {
        DWORD *GetThreadId() {
            return new DWORD($self->GetThreadId());
        }
    }
    int GetChatCode();
    void SetThreadId();
    int IsMsgSent();
    void ResetMsgSent();
    %extend {
        // Pops the message only once its tuple is made.
        PyObject *Get1stMsg() {
            PyObject* result = nullptr;
            $self->Get1stMsg([&](const CPyth2Skype::FirstMsg& first) {
                result = ovix::py::newFirstMsgTuple(first);
                return true;
            });
            return result;
        }
        PyObject *GetLogin() {
            const auto [login, second] = $self->GetLogin();
            return ovix::py::newTuple(2, [&](std::size_t i) { return ovix::py::newText(i == 0 ? login : second); });
        }
        PyObject *GetIMInfo() {
            const auto info = $self->GetIMInfo();
            return ovix::py::newTuple(3, [&](std::size_t i) { return ovix::py::newText(info[i]); });
        }
        // (private memory now, peak) in bytes.
        PyObject *GetMemoryUsage() {
            const auto [now, peak] = $self->GetMemoryUsage();
            PyObject* usage = Py_BuildValue("kk", now, peak);
            if (!usage)
                throw ovix::py::PythonError();
            return usage;
        }
        PyObject *GetSignedInFullName() {
            return ovix::py::newText($self->GetSignedInFullName());
        }
    }
    void Reset();
    int Connect();
    int Disconnect();
    int EnumUsers();
    int EnumGroups();
    void PostNoOp();
    void SetPingTmr(UINT_PTR id);
    CAdapter *GetAdapter();
    void SendChatMsg(char const *to, char const *msg);
    void SendAppMsg(char const *to, char const *msg);
};
