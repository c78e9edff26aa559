"""The update cycle of the resident agent against a real update server: the
INFO file offers a new setup (a lumpack package with the sample engine),
the agent downloads it, checks it, stops the running product, runs the
setup, records the new version, starts the product again and replaces
itself; and the offers it must refuse."""
import os
import shutil
import subprocess
import time
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


class AgentUpdate(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = lumtest.work_dir("agent_update_server")
        cls.server, cls.port = start_server(cls.root, "--root", cls.root)
        cls.base = f"http://127.0.0.1:{cls.port}/data"

    @classmethod
    def tearDownClass(cls):
        stop_server(cls.server)

    def setUp(self):
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
            lumtest.wine(["taskkill", "/f", "/im", "product.exe"], stdout=subprocess.DEVNULL,
                         stderr=subprocess.DEVNULL)
            if self.product.poll() is None:
                self.product.kill()

    # ---- the pieces of a scenario ------------------------------------------

    def new_setup(self, token=TOKEN, name="newsetup.exe"):
        """The new setup on the server: the sample engine installs into
        work/installed. Returns its size."""
        folder = os.path.join(self.srv, "build")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "newfile.txt"), "w") as f:
            f.write("version 2\n")
        path = lumtest.make_package(folder, f"""[Launch]
File = Engine.exe
Arguments = /Target={lumtest.winpath(self.installed)}
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

    def agent(self, version=1, interval=0, **original):
        keys = {"VersionOriginal": str(version), "ProbeSecondsInterval": str(interval), "ProbeSecondsLast": "0",
                "Stamp": "1", "ProgramName": "Tool"}
        keys.update(original)
        with open(os.path.join(self.work, "info.original"), "w", newline="") as f:
            f.write("[OriginalSetup]\r\n" + "".join(f"{k}={v}\r\n" for k, v in keys.items()) +
                    "[AutoUpdate]\r\ns11=Download PROG_NAME now?\r\ns12= (no install question)\r\n"
                    "s16=PROG_NAME is up to date.\r\ns17= Start it again?\r\ns21=No update available.\r\n")
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
        self.pidfile = os.path.join(self.work, "product.pid")
        if os.path.exists(self.pidfile):
            os.remove(self.pidfile)
        self.product = subprocess.Popen(["wine", exe, "--pidfile=" + lumtest.winpath(self.pidfile), "--life=120000"],
                                        env=lumtest.ENV, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        self.assertTrue(lumtest.wait_for(lambda: os.path.exists(self.pidfile) and read(self.pidfile).strip(),
                                         timeout=30))
        return read(self.pidfile).strip()

    def requests(self, name):
        log = os.path.join(self.root, "requests.log")
        return [l for l in read(log).splitlines() if l.split("\t")[1].endswith("/" + name)] \
            if os.path.exists(log) else []

    def downloads(self, name):
        """Requests with the download's User-Agent (a size query has another)."""
        return [r for r in self.requests(name) if r.split("\t")[2] == "HTTP_Connect_3"]

    def runlog(self):
        path = os.path.join(self.work, "X_agent.log")
        return read(path).splitlines() if os.path.exists(path) else []

    def wait_trace(self, viewer, text, timeout=60):
        return lumtest.wait_for(lambda: text in viewer.text(), timeout=timeout, step=0.2)

    # ---- scenarios -----------------------------------------------------------

    def test_a_whole_update(self):
        size = self.new_setup()
        # Under Wine in Xvfb a visible window takes seconds to be destroyed,
        # longer than the one-second wait after a close message; the product
        # is therefore stopped by termination here (the close is shown in
        # test_shut_down_methods).
        self.info(SizeOfUpdateFile=str(size), RequestConfirmationBeforeDownload="1",
                  ShutDownMethod="Using Terminate Process")
        agent = self.agent()
        self.start_product()
        with lumtest.tracecat(self.work) as viewer, agentkit.listener(self.work) as listener:
            # The probe comes at the sixth tick: time to register the listener.
            self.assertEqual(agent.run("/DELAY=5"), 0)
            agent.wait_copy()
            self.assertEqual(agent.run(f"/WM_MSG={listener.hwnd}:{LISTENER_MSG}"), 0)
            code, box = lumtest.uidriver(["--wait=60", "box", "--press=Yes"])
            self.assertEqual(code, 0, viewer.text())
            self.assertEqual(box["title"], ["Confirm"])
            self.assertIn("Download Tool now? (no install question)", box["text"][0])
            self.assertTrue(lumtest.wait_for(lambda: os.path.exists(os.path.join(self.installed, "newfile.txt")),
                                             timeout=90, step=0.5), viewer.text())
            self.assertTrue(self.wait_trace(viewer, "PostMessage(WM_DESTROY)") or
                            lumtest.wait_for(lambda: any("PostMessage(WM_DESTROY)" in l for l in self.runlog()),
                                             timeout=30), viewer.text())
            # The product was stopped and started again.
            self.assertTrue(lumtest.wait_for(lambda: self.product.poll() is not None, timeout=30))
            self.assertIn("TRUE TRUE >" + lumtest.winpath(os.path.join(self.work, "product.exe")) + "<",
                          viewer.text())
            code, _ = lumtest.uidriver(["--wait=30", "window", "--class=TargetAppMain"])
            self.assertEqual(code, 0, "the product runs again")
            # The fresh agent: a second X_ copy with the overrides handed over.
            self.assertTrue(lumtest.wait_for(
                lambda: viewer.text().count("X_agent.exe /TRANSIENTx=|255|255|255|255|255|255|255|255|") >= 1,
                timeout=60, step=0.5), viewer.text())
            lines = viewer.lines()
            messages = listener.messages()
        self.assertEqual(ini_value(os.path.join(self.work, "info.original"), "OriginalSetup", "VersionOriginal"), "2")
        self.assertEqual(ini_value(os.path.join(self.work, "info.original"), "OriginalSetup", "Stamp"), "5")
        self.assertFalse(os.path.exists(os.path.join(self.work, "newsetup.exe")), "the setup file is deleted")
        self.assertEqual(len(self.downloads("newsetup.exe")), 1)
        codes = [(w, l) for m, w, l in messages if m == LISTENER_MSG and w in (40, 41, 42)]
        self.assertEqual(codes[:6], [(40, 1), (40, 2), (41, 1), (41, 2), (42, 1), (42, 2)], messages)
        markers = [l.split(" ==== ")[1] for l in lines if " ==== PerformAutoUpdate-" in l]
        self.assertEqual(markers, [f"PerformAutoUpdate-{n} ====" for n in range(4, 14)], lines)
        log = [l[l.index(" X ") + 3:] for l in self.runlog() if " X " in l]
        expected = ["GetOkToPerformAU = 6 - OK", "PerformAutoUpdate() - START", "Download START: " +
                    self.location + "\\newsetup.exe", "Shut Down Process() - START  (" +
                    lumtest.winpath(os.path.join(self.work, "product.exe")) + ")  Method: Using Terminate Process",
                    "Shut Down Process() - END", "PerformAutoUpdate() - END    Result=TRUE",
                    ".. ReStartAutoUpdateExe() - Start", ".. PostMessage(WM_DESTROY)", ".. ReStartAutoUpdateExe() - End"]
        positions = [next((i for i, l in enumerate(log) if l == e), -1) for e in expected]
        self.assertNotIn(-1, positions, "\n".join(log))
        self.assertEqual(positions, sorted(positions), "\n".join(log))
        restart = [l for l in log if l.startswith(".. WinExec - ")]
        self.assertEqual(restart, [".. WinExec - " + lumtest.winpath(os.path.join(self.work, "agent.exe")) +
                                   " /_ZZ=99 /WAIT=10 /TRANSIENT=|255|255|255|255|255|255|255|255|"])

    def refused(self, viewer, code_text):
        """Waits for the ladder's run-log line and the end of the probe."""
        self.assertTrue(lumtest.wait_for(lambda: any(code_text in l for l in self.runlog()), timeout=60, step=0.3),
                        viewer.text() + "\n".join(self.runlog()))

    def test_another_token_is_refused_and_deleted(self):
        size = self.new_setup(token="Other-Product")
        self.info(SizeOfUpdateFile=str(size))
        agent = self.agent()
        with lumtest.tracecat(self.work) as viewer:
            self.assertEqual(agent.run(), 0)
            code, box = lumtest.uidriver(["--wait=60", "box", "--press=OK"])
            self.assertEqual(code, 0, viewer.text())
            self.assertEqual(box["title"], ["Error"])
            self.assertIn("Bad Secret Token!", box["text"][0])
            self.assertTrue(self.wait_trace(viewer, "PerformAutoUpdate-13"))
        self.assertFalse(os.path.exists(os.path.join(self.work, "newsetup.exe")))
        self.assertFalse(os.path.exists(self.installed), "nothing ran")
        self.assertIn("ERROR: Bad Secret Token!", "\n".join(self.runlog()))
        self.assertEqual(ini_value(os.path.join(self.work, "info.original"), "OriginalSetup", "VersionOriginal"), "1")

    def test_sha256_mismatch_is_refused(self):
        size = self.new_setup()
        self.info(SizeOfUpdateFile=str(size), SHA256OfUpdateFile="00" * 32)
        agent = self.agent()
        with lumtest.tracecat(self.work) as viewer:
            self.assertEqual(agent.run(), 0)
            code, box = lumtest.uidriver(["--wait=60", "box", "--press=OK"])
            self.assertEqual(code, 0, viewer.text())
            self.assertEqual(box["title"], ["Error"])
            self.assertIn("SHA-256", box["text"][0])
            self.assertTrue(self.wait_trace(viewer, "PerformAutoUpdate-13"))
        self.assertFalse(os.path.exists(os.path.join(self.work, "newsetup.exe")))
        self.assertFalse(os.path.exists(self.installed), "nothing ran")

    def test_refusals_of_the_ladder(self):
        """One agent per offer: ValidVersions, size, same stamp."""
        size = self.new_setup()
        cases = [
            ({"ValidVersions": "100,101", "VersionNew": "102"}, {"VersionOriginal": "10"}, "GetOkToPerformAU = 4"),
            ({"SizeOfUpdateFile": str(size + 100)}, {}, "GetOkToPerformAU = 5"),
            ({"SizeOfUpdateFile": str(size), "Stamp": "1"}, {}, "GetOkToPerformAU = 2"),
        ]
        for info, original, expected in cases:
            with self.subTest(expected=expected):
                self.info(**info)
                agent = self.agent(**{k: v for k, v in original.items()})
                for f in ("X_agent.log",):
                    if os.path.exists(os.path.join(self.work, f)):
                        os.remove(os.path.join(self.work, f))
                with lumtest.tracecat(self.work) as viewer:
                    self.assertEqual(agent.run(), 0)
                    self.refused(viewer, expected)
                    agent.stop()
                self.assertEqual(self.downloads("newsetup.exe"), [], "no download")

    def test_declined_download_question(self):
        size = self.new_setup()
        self.info(SizeOfUpdateFile=str(size), RequestConfirmationBeforeDownload="1")
        agent = self.agent()
        with lumtest.tracecat(self.work) as viewer:
            self.assertEqual(agent.run(), 0)
            code, box = lumtest.uidriver(["--wait=60", "box", "--press=No"])
            self.assertEqual(code, 0, viewer.text())
            self.assertTrue(self.wait_trace(viewer, "PerformAutoUpdate-13"))
        self.assertIn("PerformAutoUpdate() - END    Result=FALSE", "\n".join(self.runlog()))
        self.assertEqual(self.downloads("newsetup.exe"), [], "no download")

    def test_hostile_info_files_leave_the_agent_ticking(self):
        agent = self.agent(interval=1)
        for name, body in (("huge", b"[NewSetup]\r\n" + b"x" * (50 * 1048576)), ("random", os.urandom(200000))):
            with self.subTest(name):
                with open(os.path.join(self.srv, "info.ini"), "wb") as f:
                    f.write(body)
                with lumtest.tracecat(self.work) as viewer:
                    self.assertEqual(agent.run(), 0)
                    self.refused(viewer, "GetOkToPerformAU = ")
                    copy = agentkit.pid_of_start(viewer.lines(), "X_agent.exe")
                    mark = len(agentkit.timer_counts(viewer.lines(), copy))
                    self.assertTrue(lumtest.wait_for(
                        lambda: len(agentkit.timer_counts(viewer.lines(), copy)) >= mark + 3, timeout=20),
                        "the agent still ticks")
                    agent.stop()
                os.remove(os.path.join(self.work, "X_agent.log"))
                self.assertLessEqual(os.path.getsize(os.path.join(self.work, "info.ini")), 1048576)


    # ---- inform mode -----------------------------------------------------------

    def url_handler(self):
        """The prefix's http handler becomes a copy of the sample engine that
        records its command line; returns the record's path."""
        folder = os.path.join(self.work, "handler")
        os.makedirs(folder, exist_ok=True)
        exe = os.path.join(folder, "opener.exe")
        shutil.copy(ENGINE, exe)
        record = os.path.join(self.work, "opened.txt")
        key = r"HKCU\Software\Classes\http\shell\open\command"
        command = (f'"{lumtest.winpath(exe)}" /RecordCmd={lumtest.winpath(record)} '
                   f'/Target={lumtest.winpath(os.path.join(self.work, "junk"))} "%1"')
        lumtest.wine(["reg", "add", key, "/ve", "/t", "REG_SZ", "/d", command, "/f"])
        self.addCleanup(lambda: lumtest.wine(["reg", "delete", r"HKCU\Software\Classes\http", "/f"]))
        return record

    def inform(self, body, address="http://example.test/new"):
        token = subprocess.run([lumtest.LUMPACK, "token", TOKEN], capture_output=True, text=True,
                               check=True).stdout.strip()
        notice = os.path.join(self.srv, "notice.txt")
        with open(notice, "w", newline="") as f:
            f.write(f"|{token}|x|y|{body}")
        self.info(VersionNew="3", **{"General.AutoInform": "1", "AutoInform.NameOfInformFile": "notice.txt",
                                     "AutoInform.SizeOfInformFile": str(os.path.getsize(notice)),
                                     "AutoInform.DownloadURL_INFORM": address})

    def assert_layout(self, seen):
        cw, ch = (int(v) for v in seen["client"][0].split(","))
        children = {c.split("|")[0].upper(): c.split("|") for c in seen["child"]}
        self.assertEqual(children["RICHEDIT"][2], f"3,0,{cw - 3},{ch - 43}", seen)
        self.assertEqual(children["BUTTON"][2], f"{(cw - 160) // 2},{ch - 33},160,25", seen)
        self.assertEqual(children["BUTTON"][3], "Download")
        return cw, ch

    def test_inform_notice(self):
        record = self.url_handler()
        self.inform("Version 3 of Tool is out.")
        agent = self.agent()
        lumtest.draw_window_frames()
        with lumtest.tracecat(self.work) as viewer:
            self.assertEqual(agent.run(), 0)
            code, seen = lumtest.uidriver(["--wait=60", "window", "--class=LRichEditBox", "--children"])
            self.assertEqual(code, 0, viewer.text())
            self.assertEqual(seen["title"], ["New Version"])
            left, top, right, bottom = (int(v) for v in seen["rect"][0].split(","))
            self.assertEqual((right - left, bottom - top), (360, 360), "the default size")
            self.assertEqual((left, top), ((1024 - 360) // 2, (768 - 360) // 2), "centred")
            self.assert_layout(seen)
            self.assertIn("Version 3 of Tool is out.", [c.split("|", 3)[3] for c in seen["child"]])
            lumtest.screenshot("agent_inform_notice")
            code, seen = lumtest.uidriver(["window", "--class=LRichEditBox", "--children", "--resize=520,430"])
            self.assertEqual(code, 0)
            cw, ch = self.assert_layout(seen)
            self.assertGreater(cw, 400)
            code, _ = lumtest.uidriver(["window", "--class=LRichEditBox", "--click=Download"])
            self.assertEqual(code, 0)
            self.assertTrue(lumtest.wait_for(lambda: os.path.exists(record), timeout=30), viewer.text())
            self.assertTrue(self.wait_trace(viewer, "PerformAutoInform-4"))
        self.assertIn("http://example.test/new", read(record))
        self.assertEqual(ini_value(os.path.join(self.work, "info.original"), "OriginalSetup", "VersionOriginal"), "3")
        self.assertIn("PerformAutoInform() - END TRUE", "\n".join(self.runlog()))

    def test_inform_without_body_opens_the_address(self):
        record = self.url_handler()
        self.inform("")
        agent = self.agent()
        with lumtest.tracecat(self.work) as viewer:
            self.assertEqual(agent.run(), 0)
            self.assertTrue(lumtest.wait_for(lambda: os.path.exists(record), timeout=60), viewer.text())
            self.assertTrue(self.wait_trace(viewer, "PerformAutoInform-4"))
            code, _ = lumtest.uidriver(["window", "--class=LRichEditBox"])
            self.assertEqual(code, 1, "no window")
        self.assertIn("http://example.test/new", read(record))
        self.assertEqual(ini_value(os.path.join(self.work, "info.original"), "OriginalSetup", "VersionOriginal"), "3")


if __name__ == "__main__":
    lumtest.main()
