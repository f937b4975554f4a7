"""The chat bridge's rows: a whole exchange with the stand-in adapter library
beside the module, the bridge's failures, and the message record."""

import ctypes
import gc
import pathlib
import threading

import pytest

import _ovix
import ovix
from conftest import run_isolated

# The module finds the library beside itself: in the folder it was imported
# from, which may hold a link to the module file rather than the file.
LIBRARY = pathlib.Path(_ovix.__file__).parent / "Skype297.dll"
EMPTY = (0, "", "", "")
NOTICE_COMMAND = 65540  # CPyth2Win's command for the bridge's notice


def load_standin():
    """The stand-in library, shared with the bridge that loads the same file."""
    library = ctypes.CDLL(str(LIBRARY))
    for name in ("StandIn_HandedString", "StandIn_SentTo", "StandIn_SentText"):
        getattr(library, name).restype = ctypes.c_char_p
    return library


STANDIN = load_standin()


@pytest.fixture
def standin(monkeypatch, tmp_path):
    monkeypatch.delenv("OVIX_SKYPE_ADAPTER", raising=False)
    monkeypatch.setenv("XDG_CONFIG_HOME", str(tmp_path))  # the registry's root
    STANDIN.StandIn_Reset()
    yield STANDIN
    gc.collect()
    STANDIN.StandIn_Reset()


def bridge(*args):
    return ovix.CPyth2Skype("first", "second", threading.get_native_id(), *args)


def test_a_whole_exchange_through_the_rows(standin):
    standin.StandIn_AddGroup(7, b"friends", 1)
    standin.StandIn_AddMember(b"ann")
    standin.StandIn_AddMember(b"bob")
    standin.StandIn_AddGroup(8, b"nobody", 0)
    standin.StandIn_AddContact(b"ann", b"Ann A")
    standin.StandIn_AddContact(b"bob", "Bob B\u00e9".encode())
    standin.StandIn_SetInfo(b"client", b"middle", b"6.0")
    platform = ovix.CPyth2Win()
    b = bridge()
    assert b.IsConstructed() == 1
    assert b.GetLogin() == ("me", "second")
    assert b.GetSignedInFullName() == "Me Myself"
    assert b.GetIMInfo() == ("client", "middle", "6.0")
    assert b.GetChatCode() == _ovix.CPyth2Skype_CHATSEND
    assert b.Get1stMsg() == EMPTY

    assert b.Connect() == 1
    standin.StandIn_Settle()
    assert platform.GetACmd() == NOTICE_COMMAND
    assert b.IsConnected() == 1
    assert b.Get1stMsg() == (0, "", "me", "connected")

    assert b.EnumGroups() == 1
    standin.StandIn_Settle()  # events run on adapter threads: one at a time keeps their order
    assert b.EnumUsers() == 1
    standin.StandIn_Settle()
    assert [platform.GetACmd(), platform.GetACmd()] == [NOTICE_COMMAND] * 2
    assert (b.HaveContactIds(), b.HaveContactDetails()) == (1, 1)
    assert b.Get1stMsg() == (0, "", "me", ((7, "friends", "ann", "bob"), (8, "nobody")))
    assert b.Get1stMsg() == (0, "", "me", ("ann", "Ann A", "bob", "Bob B\u00e9"))

    b.SendChatMsg("ann", "hello")
    standin.StandIn_Settle()
    assert b.IsMsgSent() == 1
    assert (standin.StandIn_SentTo(0), standin.StandIn_SentText(0), standin.StandIn_SentChat(0)) == (b"ann", b"hello", 1)
    b.ResetMsgSent()
    assert b.IsMsgSent() == 0

    standin.StandIn_RaiseReceive(0, b"ann", b"hi there")
    standin.StandIn_Settle()
    assert platform.GetACmd() == NOTICE_COMMAND
    assert b.Get1stMsg() == (0, "ann", "me", "hi there")

    standin.StandIn_RaiseError(42, b"client said no")
    standin.StandIn_SetResult(b"Connect", 4)
    standin.StandIn_Settle()
    assert b.Connect() == 0
    assert b.GetLastErr() == 42
    assert b.Get1stMsg() == (42, "", "me", "client said no")
    assert b.Get1stMsg() == (_ovix.CPyth2Skype_ERR_NOCONNECT, "", "me", "Can not connect!")

    assert b.Disconnect() == 1
    standin.StandIn_Settle()
    assert b.Get1stMsg() == (0, "", "me", "disconnected")
    assert (b.IsConnected(), b.HaveContactIds(), b.HaveContactDetails()) == (0, 0, 0)
    assert b.Get1stMsg() == EMPTY
    del b
    gc.collect()
    assert standin.StandIn_Alive() == 0


def test_without_the_library_the_failure_is_queued_and_there_is_no_adapter(standin, monkeypatch, tmp_path):
    # The notice thread has a queue, as the main application's has: a bridge
    # that starts gives it one with its window, and posts nothing.
    bridge()
    monkeypatch.setenv("OVIX_SKYPE_ADAPTER", str(tmp_path / "missing.dll"))
    b = bridge()
    assert b.IsConstructed() == 0
    assert b.GetAdapter() is None
    assert b.GetLastErr() == _ovix.CPyth2Skype_ERR_NODLL
    assert b.Connect() == 0
    assert b.GetACmd() == 65538  # the notice of the failure, on the bridge's own poll
    assert b.Get1stMsg() == (1, "", "first", "Can not find Skype DLL")
    assert b.Get1stMsg() == EMPTY


def test_refused_attach_gives_the_code_as_an_unsigned_number(standin):
    standin.StandIn_SetAttachResult(-9)
    b = bridge()
    assert b.GetLastErr() == 2**32 - 9
    assert b.Get1stMsg() == (2**32 - 9, "", "first", "Skype not installed")
    assert repr(b.GetAdapter()).startswith("<Swig Object of type 'CAdapter *'")


def test_construction_overloads_and_argument_errors(standin):
    assert bridge().GetChatCode() == 1
    assert bridge(_ovix.CPyth2Skype_CHATALL).GetChatCode() == 3
    for args in (("a", "b"), ("a", "b", 0, 1, 2), (1, "b", 0), ("a", "b", -1)):
        with pytest.raises(NotImplementedError, match=r"^No matching function for overloaded 'new_CPyth2Skype'$"):
            _ovix.new_CPyth2Skype(*args)
    b = bridge()
    with pytest.raises(TypeError, match=r"^in method 'CPyth2Skype_SendChatMsg', argument 2 of type 'char const \*'$"):
        b.SendChatMsg(None, "text")
    with pytest.raises(ValueError, match=r"^invalid null reference in method 'CPyth2Skype_SetPingTmr', "
                                         r"argument 2 of type 'UINT_PTR'$"):
        b.SetPingTmr(None)
    with pytest.raises(TypeError, match=r"argument 2 of type 'UINT_PTR'"):
        b.SetPingTmr(b.GetThreadId())
    with pytest.raises(TypeError, match=r"^in method 'CPyth2Skype_IsConnected', argument 1 of type 'CPyth2Skype \*'$"):
        _ovix.CPyth2Skype_IsConnected(ovix.CSkype2PythMsg(0, "", "", ""))


def test_reset_keeps_the_notice_thread_and_chat_code(standin):
    b = bridge(_ovix.CPyth2Skype_CHATRECV)
    b.PostNoOp()
    b.Reset()
    assert b.GetChatCode() == 2
    assert b.Get1stMsg() == EMPTY
    assert standin.StandIn_HandedString(1) == b""
    b.PostNoOp()
    assert b.GetACmd() == 65538
    assert b.Get1stMsg() == (0, "", "me", "")
    assert "DWORD *" in repr(b.GetThreadId())
    usage = b.GetMemoryUsage()
    assert len(usage) == 2 and usage[0] > 0


def test_set_thread_id_moves_the_notices_to_the_calling_thread(standin):
    b = bridge()
    commands = []

    def other():
        b.SetThreadId()
        b.PostNoOp()
        commands.append(b.GetACmd())

    thread = threading.Thread(target=other)
    thread.start()
    thread.join()
    assert commands == [65538]


def test_get_acmd_lets_the_thread_that_wakes_it_run(standin):
    """The wake-up comes from another Python thread, in a child process: a
    wait that kept the interpreter lock would never end."""
    child = run_isolated("""
        import sys, threading
        import ovix
        # With a long switch interval a thread gives the interpreter lock up
        # only of its own accord: the waker can post only once GetACmd waits.
        sys.setswitchinterval(60)
        b = ovix.CPyth2Skype("first", "second", threading.get_native_id())
        go = threading.Event()
        threading.Thread(target=lambda: (go.wait(), b.PostNoOp())).start()
        go.set()
        print(b.GetACmd())
    """, timeout=30)
    assert (child.returncode, child.stdout) == (0, "65538\n"), child.stderr


class TestMessageRecord:
    def test_fields_and_codes_up_to_32_bits(self):
        m = ovix.CSkype2PythMsg(2**32 - 1, "from", "to", "text \u00e9")
        assert (m.GetMsgCode(), m.GetFrom(), m.GetTo(), m.GetMsg()) == (2**32 - 1, "from", "to", "text \u00e9")
        assert ovix.CSkype2PythMsg(0, b"f", b"t", b"m").GetMsg() == "m"

    def test_bad_arguments_are_refused(self):
        with pytest.raises(TypeError, match=r"^in method 'new_CSkype2PythMsg', argument 2 of type 'char const \*'$"):
            ovix.CSkype2PythMsg(0, None, "to", "msg")
        with pytest.raises(TypeError, match=r"argument 1 of type 'unsigned long'$"):
            ovix.CSkype2PythMsg(2**32, "f", "t", "m")
        with pytest.raises(OverflowError, match=r"argument 1 of type 'unsigned long'$"):
            ovix.CSkype2PythMsg(-1, "f", "t", "m")

    def test_deleting_frees_once(self):
        m = ovix.CSkype2PythMsg(1, "f", "t", "m")
        _ovix.delete_CSkype2PythMsg(m)
        with pytest.raises(TypeError):
            m.GetMsg()
        del m
        gc.collect()
