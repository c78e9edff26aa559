"""Helpers of the agent scenarios: an update-agent package in a work folder,
its resident X_ copy, and the kit's outside listener."""
import contextlib
import os
import re
import subprocess

import lumtest


def agent_manifest(agent_file_name, log=True, update_info=None):
    info = f"UpdateInfo = {update_info}\n" if update_info else ""
    return f"""[Options]
AutoUpdateAgent = 1
AgentLog = {1 if log else 0}
[Settings]
AgentFileName = {agent_file_name}
{info}[Files]
data.txt = data.txt
"""


class Agent:
    """An agent package written as FOLDER/NAME whose AgentFileName is its own
    name (unless told otherwise), so that it starts as the plain agent."""

    def __init__(self, folder, name="agent.exe", log=True, agent_file_name=None, update_info=None):
        self.folder = folder
        self.name = name
        with open(os.path.join(folder, "data.txt"), "w") as f:
            f.write("agent payload\n")
        self.path = lumtest.make_package(folder, agent_manifest(agent_file_name or name, log, update_info),
                                      name=name)
        self.copy_path = os.path.join(folder, "X_" + name)
        self.copy_class = ".AutoUpdate.X_" + os.path.splitext(agent_file_name or name)[0]

    def run(self, *args):
        """Starts the file under its own name and waits for it to end."""
        return lumtest.wine([self.path] + list(args), timeout=60).returncode

    def copy_window(self, wait=0):
        """uidriver's report of the copy's window, or None."""
        rc, seen = lumtest.uidriver([f"--wait={wait}", "window", "--class=" + self.copy_class])
        return seen if rc == 0 else None

    def wait_copy(self):
        seen = self.copy_window(wait=20)
        if seen is None:
            raise AssertionError("the resident copy's window did not appear")
        return seen

    def wait_copy_gone(self, timeout=15):
        return lumtest.wait_for(lambda: self.copy_window() is None, timeout=timeout, step=0.2)

    def stop(self):
        """Ends a copy that still runs (clean-up): /STOP=0, as a user would;
        a copy that does not end by then (busy in a probe, a question on
        screen) is killed, so that it cannot answer for the next scenario."""
        if self.copy_window() is not None:
            self.run("/STOP=0")
            self.wait_copy_gone()
        if self.copy_window() is not None or os.path.exists(self.copy_path):
            lumtest.kill_image(os.path.basename(self.copy_path))
            self.wait_copy_gone()
        lumtest.wait_for(lambda: not os.path.exists(self.copy_path), timeout=15, step=0.2)


def pid_of_start(lines, exe_name):
    """The process id of the first stub whose start line names EXE_NAME (the
    file name right before the end of the path)."""
    pattern = re.compile(r"^(\d+) ==== STUB START ====> \"?[A-Za-z]:\\.*\\" + re.escape(exe_name) + r"\b")
    for line in lines:
        m = pattern.match(line)
        if m:
            return m.group(1)
    return None


def timer_counts(lines, pid):
    """The AutoUpdateTimerCount values the process PID traced, in order, with
    their line numbers."""
    out = []
    for i, line in enumerate(lines):
        if line.startswith(pid + " AutoUpdateTimerCount="):
            out.append((i, int(line.split("=", 1)[1])))
    return out


class Listener:
    def __init__(self, path):
        self.path = path

    def _lines(self):
        with open(self.path) as f:
            return [l.strip() for l in f if l.strip()]

    @property
    def hwnd(self):
        return int(self._lines()[0].split("=", 1)[1])

    def messages(self):
        """(message, wParam, lParam) of every recorded message."""
        out = []
        for line in self._lines()[1:]:
            parts = dict(p.split("=", 1) for p in line.split())
            out.append((int(parts["msg"]), int(parts["wparam"]), int(parts["lparam"])))
        return out


@contextlib.contextmanager
def listener(folder):
    """The kit's listener window running in the background."""
    path = os.path.join(folder, "listener.txt")
    if os.path.exists(path):
        os.remove(path)
    proc = subprocess.Popen([lumtest.WINE, lumtest.build_file("listener.exe"), lumtest.winpath(path), "--timeout=120"],
                            env=lumtest.ENV, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    try:
        if not lumtest.wait_for(lambda: os.path.exists(path) and Listener(path)._lines(), timeout=30):
            raise RuntimeError("listener did not start")
        yield Listener(path)
    finally:
        lumtest.wine([lumtest.build_file("listener.exe"), "--stop"])
        try:
            proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            proc.kill()
