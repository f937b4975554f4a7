"""The host platform rows: Pyth2Platform's defaults, CPyth2Win's thread
messages with the launcher, and the interpreter lock while GetACmd waits."""

import os
import pathlib
import subprocess
import threading
import time

import pytest

import _ovix
import ovix
from conftest import eventually

THREADMSG = pathlib.Path(_ovix.__file__).resolve().parent.parent / "compat" / "threadmsg"
PERC_TEXT = "cpu perc must be between 0 and 100, inclusive"


def on_own_thread(work):
    """Runs work() on a new thread, which gets a message queue of its own, and
    returns its result or raises what it raised."""
    outcome = {}

    def run():
        try:
            outcome["result"] = work()
        except BaseException as error:  # handed to the calling thread
            outcome["error"] = error

    thread = threading.Thread(target=run)
    thread.start()
    thread.join()
    if "error" in outcome:
        raise outcome["error"]
    return outcome["result"]


def post(thread_id, wparam, lparam=0, message=None):
    command = [str(THREADMSG), "post", str(thread_id), hex(wparam), str(lparam)]
    if message is not None:
        command += ["--message", str(message)]
    subprocess.run(command, check=True)


@pytest.fixture
def no_parent(monkeypatch):
    monkeypatch.delenv("ParentThreadId", raising=False)


class TestPlainPlatform:
    def test_every_query_gives_its_neutral_default(self):
        p = ovix.Pyth2Platform()
        assert p.GetParentThreadId() == 0
        assert (p.SendStatusMsg(2), p.SendThreadMsg(0x12345), p.SendSelfQuitMsg()) == (0, 0, 0)
        assert p.GetACmd() == _ovix.Pyth2Platform_NOMSG
        assert p.GetLastInputTime() == 31536000
        assert p.GetPowerStatus() == _ovix.PYTH_2_PLATFORM_POWER_STATUS_ERR
        assert p.GetMemStats() is None
        assert p.GetMemoryUsage() == (0, 0)
        assert p.GetCurThreadId() == 0
        assert p.GetCurThreadPriority() == _ovix.PYTH_2_PLATFORM_THREAD_PRIORITY_NORMAL
        assert p.SetCurThreadPriority(_ovix.PYTH_2_PLATFORM_THREAD_PRIORITY_HIGH) == 0
        assert p.GetAppDataDir() == ""
        assert p.GetVersionStr() == "0.8.4.trunk.r4395"
        for call in (lambda: p.ThreadThrottleRegister(0), lambda: p.ThreadThrottleDeregister(7),
                     p.ThreadThrottleStart, p.ThreadThrottleStop):
            assert call() is None

    def test_cpu_percentage_takes_zero_to_hundred_only(self):
        p = ovix.Pyth2Platform()
        assert p.ThreadThrottleCpuPerc(0) is None
        assert p.ThreadThrottleCpuPerc(100) is None
        for refused in (-1, 101):
            with pytest.raises(RuntimeError, match=rf"^{PERC_TEXT}$"):
                _ovix.Pyth2Platform_ThreadThrottleCpuPerc(p, refused)
        p.ThreadThrottleCpuPerc(50)

    def test_arguments_are_checked_by_their_declared_types(self):
        p = ovix.Pyth2Platform()
        with pytest.raises(TypeError):
            _ovix.new_Pyth2Platform(1)
        with pytest.raises(OverflowError,
                           match=r"^in method 'Pyth2Platform_SendThreadMsg', argument 2 of type 'unsigned long'$"):
            _ovix.Pyth2Platform_SendThreadMsg(p, -1)
        with pytest.raises(TypeError, match=r"^in method 'Pyth2Platform_ThreadThrottleRegister', argument 2 of "
                                            r"type 'unsigned long'$"):
            _ovix.Pyth2Platform_ThreadThrottleRegister(p, 2**32)
        with pytest.raises(TypeError, match=r"^in method 'Pyth2Platform_SendStatusMsg', argument 2 of type 'int'$"):
            _ovix.Pyth2Platform_SendStatusMsg(p, 2.5)
        with pytest.raises(TypeError, match=r"^in method 'Pyth2Platform_SetCurThreadPriority', argument 2 of type "
                                            r"'Pyth2PlatformThreadPriority'$"):
            _ovix.Pyth2Platform_SetCurThreadPriority(p, "high")
        with pytest.raises(TypeError, match=r"^in method 'Pyth2Platform_GetACmd', argument 1 of type "
                                            r"'Pyth2Platform \*'$"):
            _ovix.Pyth2Platform_GetACmd(ovix.Fid("a"))
        with pytest.raises(TypeError, match=r"^in method 'CPyth2Win_GetACmd', argument 1 of type 'CPyth2Win \*'$"):
            _ovix.CPyth2Win_GetACmd(p)


@pytest.mark.usefixtures("no_parent")
class TestHostPlatform:
    def test_launcher_commands_come_back_through_the_base_rows(self):
        def work():
            p = ovix.CPyth2Win()
            me = p.GetCurThreadId()
            assert me == threading.get_native_id()
            for code, lparam in ((0xFD00, 0), (0xFD01, 0), (0xFD02, 0), (0xFD03, 1), (0xFF05, 0x34), (0xFF06, 0x12)):
                post(me, code, lparam)
            post(me, 0, message=18)  # WM_QUIT
            return [_ovix.Pyth2Platform_GetACmd(p) for _ in range(7)]

        assert on_own_thread(work) == [1, 3, 2, 65540, 0, 0, 1]

    def test_reports_reach_the_parent_thread(self, monkeypatch):
        listener = subprocess.Popen([str(THREADMSG), "listen", "--count", "5", "--seconds", "5"],
                                    stdout=subprocess.PIPE, text=True)
        try:
            parent = int(listener.stdout.readline().split()[1])
            monkeypatch.setenv("ParentThreadId", str(parent))
            p = ovix.CPyth2Win()
            assert p.GetParentThreadId() == parent
            assert p.SendStatusMsg(2) == 1
            assert _ovix.Pyth2Platform_SendThreadMsg(p, 0x12345) == 1
            lines = listener.stdout.read().splitlines()
        finally:
            listener.wait(timeout=10)
        pid = os.getpid()
        assert lines == [f"message=0x400 wparam={code:#x} lparam={lparam}" for code, lparam in
                         ((202, 0), (0xFF03, 0x2345), (0xFF04, 1), (0xFF07, pid & 0xFFFF), (0xFF08, pid >> 16))]

    def test_idle_wait_ends_with_no_command_and_lets_other_threads_run(self):
        counted = [0]
        counting, stop = threading.Event(), threading.Event()

        def count():
            counting.set()
            while not stop.is_set():
                counted[0] += 1

        def work():
            p = ovix.CPyth2Win()
            counter = threading.Thread(target=count)
            counter.start()
            try:
                counting.wait()
                before = counted[0]
                start = time.monotonic()
                command = p.GetACmd()
                elapsed = time.monotonic() - start
                during = counted[0] - before
            finally:
                stop.set()
                counter.join()
            return command, elapsed, during

        command, elapsed, during = on_own_thread(work)
        assert command == _ovix.Pyth2Platform_NOMSG
        assert elapsed < 3
        assert during > 1000

    def test_priority_is_the_calling_threads(self):
        def work():
            p = ovix.CPyth2Win()
            assert p.SetCurThreadPriority(_ovix.PYTH_2_PLATFORM_THREAD_PRIORITY_VERY_LOW) == 1
            return p.GetCurThreadPriority()

        assert on_own_thread(work) == _ovix.PYTH_2_PLATFORM_THREAD_PRIORITY_LOW
        assert ovix.CPyth2Win().GetCurThreadPriority() == _ovix.PYTH_2_PLATFORM_THREAD_PRIORITY_NORMAL

    def test_figures_come_as_python_objects(self, monkeypatch, tmp_path):
        p = ovix.CPyth2Win()
        now, peak = p.GetMemoryUsage()
        assert 0 < now <= peak
        assert _ovix.Pyth2Platform_GetMemStats(p) is None
        assert p.GetVersionStr() == "0.8.4.trunk.r4395"
        folder = tmp_path / "conf\udcff"
        monkeypatch.setenv("XDG_CONFIG_HOME", str(folder))
        assert p.GetAppDataDir() == str(folder)
        assert p.GetPowerStatus() in (0, 1, 2, 3)
        assert p.GetLastInputTime() >= 0

    def test_throttled_worker_runs_a_share_of_the_time_and_is_left_running(self):
        counted, counting, stop = [0], threading.Event(), threading.Event()
        native_id = []

        def count():
            native_id.append(threading.get_native_id())
            counting.set()
            while not stop.is_set():
                counted[0] += 1

        def cpu_seconds(tid):
            fields = pathlib.Path(f"/proc/self/task/{tid}/stat").read_text().rpartition(")")[2].split()
            return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

        def cpu_share_over(seconds):
            """The worker's processor time over a wall-clock window: load on
            the machine can only lower it."""
            before, start = cpu_seconds(native_id[0]), time.monotonic()
            time.sleep(seconds)  # the window measured
            return (cpu_seconds(native_id[0]) - before) / (time.monotonic() - start)

        p = ovix.CPyth2Win()
        with pytest.raises(RuntimeError, match=r"^OpenThread failed$"):
            p.ThreadThrottleRegister(0x7FFFFFFF)
        worker = threading.Thread(target=count)
        worker.start()
        try:
            counting.wait()
            _ovix.Pyth2Platform_ThreadThrottleCpuPerc(p, 30)
            _ovix.Pyth2Platform_ThreadThrottleRegister(p, native_id[0])
            _ovix.Pyth2Platform_ThreadThrottleStart(p)
            held = cpu_share_over(0.5)  # five of the throttle's cycles
            p.ThreadThrottleStop()
            before = counted[0]
            runs_on = eventually(lambda: counted[0] > before)
            p.ThreadThrottleDeregister(native_id[0])
        finally:
            stop.set()
            worker.join(timeout=10)
        assert held < 0.5, "the worker ran more than its share"
        assert runs_on, "the worker was left suspended"
        assert not worker.is_alive()
