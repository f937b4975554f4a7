"""The launcher and a main application written on the module, as separate
processes: the application reports through CPyth2Win, the launcher shows it
online and relays its commands, and a second launcher's /quit ends both."""

import os
import shutil
import signal
import subprocess
import sys

import pytest

from conftest import eventually

LAUNCHER = os.environ.get("OVIX_LAUNCHER_EXE")

APPLICATION = """#!{python}
import os, ovix
record = open(os.environ["OVIX_ROAD_RECORD"], "a", buffering=1)
platform = ovix.CPyth2Win()
sent = platform.SendThreadMsg(platform.GetCurThreadId()) and platform.SendStatusMsg(0)
record.write(f"reported={{sent}} parent={{platform.GetParentThreadId()}} pid={{os.getpid()}}\\n")
names = {{1: "quit", 2: "pause", 3: "resume"}}
while True:
    command = platform.GetACmd()
    if command in names:
        record.write(names[command] + "\\n")
    if command == 1:
        break
"""


def lines(path):
    return path.read_text().splitlines() if path.exists() else []


def end_stray_application(record):
    """Ends the application when a failed run left it behind its launcher."""
    for line in lines(record)[:1]:
        try:
            os.kill(int(line.rpartition("pid=")[2]), signal.SIGKILL)
        except (ValueError, ProcessLookupError):
            pass


@pytest.mark.skipif(not LAUNCHER, reason="OVIX_LAUNCHER_EXE names no launcher")
def test_the_launcher_runs_a_main_application_on_the_module(tmp_path, monkeypatch):
    for folder in ("run", "config", "app", "tmp", "bin"):
        (tmp_path / folder).mkdir()
    (tmp_path / "run").chmod(0o700)
    journal, record, opened = tmp_path / "journal", tmp_path / "record", tmp_path / "opened"
    monkeypatch.setenv("XDG_RUNTIME_DIR", str(tmp_path / "run"))
    monkeypatch.setenv("XDG_CONFIG_HOME", str(tmp_path / "config"))
    monkeypatch.setenv("TMPDIR", str(tmp_path / "tmp"))
    monkeypatch.setenv("OVIX_DESKTOP_JOURNAL", str(journal))
    monkeypatch.setenv("OVIX_ROAD_RECORD", str(record))
    monkeypatch.setenv("PATH", f"{tmp_path / 'bin'}:{os.environ['PATH']}")
    monkeypatch.setenv("PYTHONPATH", os.pathsep.join(sys.path))
    opener = tmp_path / "bin" / "xdg-open"
    opener.write_text(f"#!/bin/sh\necho \"$1\" >> '{opened}'\n")
    opener.chmod(0o700)
    launcher = tmp_path / "app" / "MorvaneLaunch.exe"
    shutil.copy(LAUNCHER, launcher)
    application = tmp_path / "app" / "Morvane.exe"
    application.write_text(APPLICATION.format(python=sys.executable))
    application.chmod(0o700)

    first = subprocess.Popen([str(launcher), "http://localhost:10101/sites"])
    try:
        assert eventually(lambda: any(l.startswith("reported=") for l in lines(record))), lines(record)
        application_pid = int(lines(record)[0].rpartition("pid=")[2])
        assert lines(record)[0] == f"reported=1 parent={first.pid} pid={application_pid}"
        assert eventually(lambda: any('tip="Morvane is online"' in l for l in lines(journal)))
        assert eventually(lambda: lines(opened) == ["http://localhost:10101/sites"])
        assert subprocess.run([str(launcher), "/quit"], timeout=30).returncode == 0
        assert first.wait(timeout=30) == 0
    finally:
        if first.poll() is None:
            first.kill()
            first.wait()
        end_stray_application(record)
    assert lines(record)[-1] == "quit"
