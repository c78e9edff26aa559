"""The pieces of the update-cycle scenarios: an update server (the kit's
HTTP server over a folder), the new setup built by lumpack with the sample
engine inside, the INFO file, the agent package in a product folder with
its original file, and the product (the kit's targetapp)."""
import os
import shutil
import subprocess
import unittest

import agentkit
import lumtest
from test_http import start_server, stop_server

TOKEN = "Tool-5A1C-2026"
ENGINE = lumtest.build_file("sample-engine.exe")
TARGETAPP = lumtest.build_file("targetapp.exe")
LISTENER_MSG = 0x8123


def read(path):
    with open(path, "rb") as f:
        return f.read().decode("latin-1")


def ini_value(path, section, key):
    current = None
    for line in read(path).splitlines():
        line = line.strip()
        if line.startswith("["):
            current = line[1:-1]
        elif current == section and line.split("=", 1)[0].strip() == key:
            return line.split("=", 1)[1].strip()
    return None


class AgentCycleCase(unittest.TestCase):
    SERVER = "agent_update_server"

    @classmethod
    def setUpClass(cls):
        cls.root = lumtest.work_dir(cls.SERVER)
        cls.server, cls.port = start_server(cls.root, "--root", cls.root)
        cls.base = f"http://127.0.0.1:{cls.port}/data"

    @classmethod
    def tearDownClass(cls):
        stop_server(cls.server)

    def setUp(self):
        # Agents of earlier scenarios (a copy restarted after its update
        # comes back ten seconds later) share the copy's window class: one
        # still running would take this scenario's requests.
        lumtest.kill_image("X_agent.exe", "agent.exe")
        name = self.id().split(".")[-1]
        self.work = lumtest.work_dir(name)
        self.srv = os.path.join(self.root, name)
        shutil.rmtree(self.srv, ignore_errors=True)
        os.makedirs(self.srv)
        self.location = self.base + "/" + name
        self.installed = os.path.join(self.work, "installed")
        self.product = None

    def tearDown(self):
        if self.product:
            lumtest.kill_image("product.exe")
            if self.product.poll() is None:
                self.product.kill()

    # ---- the pieces of a scenario ------------------------------------------

    def new_setup(self, token=TOKEN, name="newsetup.exe", arguments=""):
        """The new setup on the server: the sample engine installs into
        work/installed (ARGUMENTS go to it as well). Returns its size."""
        folder = os.path.join(self.srv, "build")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "newfile.txt"), "w") as f:
            f.write("version 2\n")
        path = lumtest.make_package(folder, f"""[Launch]
File = Engine.exe
Arguments = /Target={lumtest.winpath(self.installed)}{arguments}
[Files]
Engine.exe = {ENGINE}
newfile.txt = newfile.txt
[Settings]
IdentityToken = {token}
""", name=name)
        shutil.move(path, os.path.join(self.srv, name))
        return os.path.getsize(os.path.join(self.srv, name))

    def info(self, **keys):
        """info.ini on the server: [NewSetup] keys (overridable) plus any
        "Section.Key" entries."""
        new = {"DownloadURL_UPDATE": self.location, "NameOfUpdateFile": "newsetup.exe", "VersionNew": "2",
               "Stamp": "5", "ProgramName": "Tool", "ShutDownMethod": "Using WM_CLOSE", "RestartProcess": "1",
               "RunningProcess": lumtest.winpath(os.path.join(self.work, "product.exe"))}
        other = {}
        for k, v in keys.items():
            if "." in k:
                s, key = k.split(".", 1)
                other.setdefault(s, {})[key] = v
            else:
                new[k] = v
        text = "[NewSetup]\r\n" + "".join(f"{k}={v}\r\n" for k, v in new.items())
        for s, kv in other.items():
            text += f"[{s}]\r\n" + "".join(f"{k}={v}\r\n" for k, v in kv.items())
        with open(os.path.join(self.srv, "info.ini"), "w", newline="") as f:
            f.write(text)

    def agent(self, version=1, interval=0, directories=None, update_key=None, **original):
        """The agent package and its original file (DIRECTORIES: the keys of
        its [Directories] section; UPDATE_KEY: the public key it pins)."""
        keys = {"VersionOriginal": str(version), "ProbeSecondsInterval": str(interval), "ProbeSecondsLast": "0",
                "Stamp": "1", "ProgramName": "Tool"}
        keys.update(original)
        folders = "".join(f"{k}={v}\r\n" for k, v in (directories or {}).items())
        with open(os.path.join(self.work, "info.original"), "w", newline="") as f:
            f.write("[OriginalSetup]\r\n" + "".join(f"{k}={v}\r\n" for k, v in keys.items()) +
                    "[Directories]\r\n" + folders +
                    "[AutoUpdate]\r\ns11=Download PROG_NAME now?\r\ns12=<p>(no install question)\r\n"
                    "s15=Please close PROG_NAME to continue.\r\ns16=PROG_NAME is up to date.\r\ns17= Start it again?\r\ns21=No update available.\r\n")
        with open(os.path.join(self.work, "data.txt"), "w") as f:
            f.write("agent payload\n")
        manifest = f"""[Options]
AutoUpdateAgent = 1
AgentLog = 1
[Settings]
UpdateLocation = {self.location}
UpdateInfo = {self.location}/info.ini
AgentFileName = agent.exe
IdentityToken = {TOKEN}
[Files]
data.txt = data.txt
"""
        if update_key:
            manifest += f"[Agent]\nUpdateKey = {update_key}\n"
        lumtest.make_package(self.work, manifest, name="agent.exe")
        a = agentkit.Agent.__new__(agentkit.Agent)
        a.folder, a.name = self.work, "agent.exe"
        a.path = os.path.join(self.work, "agent.exe")
        a.copy_path = os.path.join(self.work, "X_agent.exe")
        a.copy_class = ".AutoUpdate.X_agent"
        self.addCleanup(a.stop)
        return a

    def start_product(self):
        exe = os.path.join(self.work, "product.exe")
        shutil.copy(TARGETAPP, exe)
        if os.path.exists(exe + ".starts"):
            os.remove(exe + ".starts")
        self.pidfile = os.path.join(self.work, "product.pid")
        if os.path.exists(self.pidfile):
            os.remove(self.pidfile)
        self.product = subprocess.Popen([lumtest.WINE, exe, "--pidfile=" + lumtest.winpath(self.pidfile), "--life=120000"],
                                        env=lumtest.ENV, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        self.assertTrue(lumtest.wait_for(lambda: os.path.exists(self.pidfile) and read(self.pidfile).strip(),
                                         timeout=30))
        return read(self.pidfile).strip()

    def requests(self, name):
        """This scenario's requests for NAME (the server and its log are
        shared by the scenarios of a file; each has a folder of its own)."""
        log = os.path.join(self.root, "requests.log")
        path = "/data/" + os.path.basename(self.srv) + "/" + name
        return [l for l in read(log).splitlines() if l.split("\t")[1].split("?")[0] == path] \
            if os.path.exists(log) else []

    def downloads(self, name):
        """Requests with the download's User-Agent (a size query has another)."""
        return [r for r in self.requests(name) if r.split("\t")[2] == "HTTP_Connect_3"]

    def runlog(self):
        path = os.path.join(self.work, "X_agent.log")
        return read(path).splitlines() if os.path.exists(path) else []

    def wait_trace(self, viewer, text, timeout=60):
        return lumtest.wait_for(lambda: text in viewer.text(), timeout=timeout, step=0.2)

    def refused(self, viewer, code_text):
        """Waits for the ladder's run-log line and the end of the probe."""
        self.assertTrue(lumtest.wait_for(lambda: any(code_text in l for l in self.runlog()), timeout=60, step=0.3),
                        viewer.text() + "\n".join(self.runlog()))
