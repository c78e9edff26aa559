"""The update cycle's other roads: the shut-down methods, the interactive
check, test mode with a folder location, and inform notices in their
window."""
import os
import shutil
import subprocess
import time
import urllib.error
import urllib.request

import lumtest
from updatekit import ENGINE, TOKEN, AgentCycleCase, ini_value, read


class AgentCycle(AgentCycleCase):
    SERVER = "agent_cycle_server"

    # ---- shut-down methods, interactive checks, test mode ----------------------

    def update_with_method(self, method):
        """An update that stops the product by METHOD (no restart); returns
        the trace and whether the product still runs afterwards."""
        size = self.new_setup()
        self.info(SizeOfUpdateFile=str(size), ShutDownMethod=method, RestartProcess="0")
        agent = self.agent()
        self.start_product()
        with lumtest.tracecat(self.work) as viewer:
            self.assertEqual(agent.run(), 0)
            if method == "Issue a Message Box":
                # Closed while the product runs, the box comes back.
                for _ in range(2):
                    code, box = lumtest.uidriver(["--wait=60", "box", "--press=OK", "--wait-closed"])
                    self.assertEqual((code, box["title"]), (0, ["Attention"]), viewer.text())
                    self.assertIn("Please close product.exe", box["text"][0])
                lumtest.kill_image("product.exe")
                self.assertTrue(lumtest.wait_for(lambda: self.product.poll() is not None, timeout=30))
                lumtest.uidriver(["--wait=5", "box", "--press=OK"])
            self.assertTrue(self.wait_trace(viewer, "PerformAutoUpdate-13", timeout=120), viewer.text())
            running = self.product.poll() is None
            text = viewer.text()
        self.assertTrue(os.path.exists(os.path.join(self.installed, "newfile.txt")), "the setup ran")
        return text, running

    def test_shut_down_methods(self):
        for method, stops in (("Using WM_QUIT", True), ("Using Terminate Process", True),
                              ("using wm_close", False), ("Issue a Message Box", True)):
            with self.subTest(method):
                shutil.rmtree(self.installed, ignore_errors=True)
                for f in ("X_agent.log", "info.ini"):
                    if os.path.exists(os.path.join(self.work, f)):
                        os.remove(os.path.join(self.work, f))
                text, running = self.update_with_method(method)
                if stops:
                    self.assertTrue(lumtest.wait_for(lambda: self.product.poll() is not None, timeout=15), method)
                else:
                    self.assertTrue(running, "a method in other letters stops nothing")
                self.assertIn("Method: " + method, "\n".join(self.runlog()))
                self.assertIn("FALSE TRUE >", text, "no restart without RestartProcess")
                lumtest.kill_image("product.exe")
                self.product.wait(timeout=30)

    def test_interactive_check(self):
        """Same stamp: refused (2) on the timer, passes when a user asks; and
        nothing new shows the s21 box."""
        # No update file: the size check then measures what the server
        # answers for the location itself (its error page).
        try:
            urllib.request.urlopen(urllib.request.Request(self.location + "/", method="HEAD"), timeout=10)
            page = 0
        except urllib.error.HTTPError as e:
            page = int(e.headers.get("Content-Length", "0"))
        self.info(NameOfUpdateFile="", Stamp="1", SizeOfUpdateFile=str(page))
        agent = self.agent(interval=-1)
        with lumtest.tracecat(self.work) as viewer:
            # The copy runs first: /TEST= to a fresh copy would also end it.
            self.assertEqual(agent.run(), 0)
            agent.wait_copy()
            self.assertEqual(agent.run("/TEST=1"), 0)
            self.refused(viewer, "GetOkToPerformAU = 2")
            # A user's check asks first.
            self.assertEqual(agent.run("/TEST=2"), 0)
            self.assertEqual(lumtest.uidriver(["--wait=60", "box", "--press=Yes"])[0], 0, viewer.text())
            self.refused(viewer, "GetOkToPerformAU = 6")
            self.info(NameOfUpdateFile="", VersionNew="1", Stamp="9", SizeOfUpdateFile=str(page))
            self.assertEqual(agent.run("/TEST=2"), 0)
            self.assertEqual(lumtest.uidriver(["--wait=60", "box", "--press=Yes", "--wait-closed"])[0], 0,
                             viewer.text())
            code, box = lumtest.uidriver(["--wait=60", "box", "--press=OK"])
            self.assertEqual(code, 0, viewer.text())
            self.assertEqual(box["title"], ["Attention"])
            self.assertIn("No update available.", box["text"][0])
        self.assertIn("GetOkToPerformAU = 3", "\n".join(self.runlog()))

    def test_test_mode(self):
        folder = os.path.join(self.work, "testurl")
        os.makedirs(folder)
        self.info(NameOfUpdateFile="", VersionNew="1")
        shutil.copy(os.path.join(self.srv, "info.ini"), os.path.join(folder, "info.ini"))
        os.remove(os.path.join(self.srv, "info.ini"))
        key = r"HKCU\Software\Corvane\Lumidor\AutoUpdate"
        today = time.strftime("%d-%b-%Y").upper()
        for name, value in (("TestMode", "1"), ("TestModeDate", today), ("TestModeURL", lumtest.winpath(folder))):
            lumtest.wine(["reg", "add", key, "/v", name, "/t", "REG_SZ", "/d", value, "/f"])
        self.addCleanup(lambda: lumtest.wine(["reg", "delete", key, "/f"]))
        now = int((time.time() - time.mktime((1899, 12, 30, 0, 0, 0, 0, 0, -1))))
        agent = self.agent(interval=86400, ProbeSecondsLast=str(now))
        with open(os.path.join(self.work, "info.original"), "a", newline="") as f:
            f.write("s22=Check for PROG_NAME now?\r\ns23= Over the Internet.\r\n")
        with lumtest.tracecat(self.work) as viewer:
            self.assertEqual(agent.run(), 0)
            # A day's interval, but in test mode a probe every 5 seconds.
            self.assertTrue(lumtest.wait_for(lambda: viewer.text().count(" Fire  ") >= 2, timeout=40),
                            viewer.text())
            self.assertEqual(agent.run("/TEST=2"), 0)
            code, box = lumtest.uidriver(["--wait=30", "box", "--press=No"])
            self.assertEqual(code, 0, viewer.text())
            self.assertIn("Check for Tool now?", box["text"][0])
            self.assertNotIn("Over the Internet", box["text"][0], "a folder location")
            self.assertIn("You are now running in Test Mode!", box["text"][0])
        self.assertEqual(self.requests("info.ini"), [], "the server saw no request")
        self.assertIn("Download START: " + lumtest.winpath(folder) + "\\info.ini", "\n".join(self.runlog()))

    # ---- inform mode -----------------------------------------------------------

    def url_handler(self):
        """The prefix's http handler becomes a copy of the sample engine that
        records its command line; returns the record's path."""
        # Short paths: Wine's shell reads the handler's command into a
        # buffer of 256 characters and finds no handler when it is longer.
        folder = os.path.join(lumtest.PREFIX_C, "urlopen")
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        self.addCleanup(shutil.rmtree, folder, True)
        exe = os.path.join(folder, "opener.exe")
        shutil.copy(ENGINE, exe)
        record = os.path.join(folder, "opened.txt")
        # The prefix's own handler is replaced and put back afterwards.
        key = r"HKCR\http\shell\open\command"
        _, listing = lumtest.wine_output(["reg", "query", key, "/ve"])
        previous = next((l.split("REG_SZ", 1)[1].strip() for l in listing.splitlines() if "REG_SZ" in l), None)
        command = (r'"C:\urlopen\opener.exe" /RecordCmd=C:\urlopen\opened.txt /RecordStart=C:\urlopen\start.txt'
                   r' /Target=C:\urlopen\junk "%1"')
        lumtest.wine(["reg", "add", key, "/ve", "/t", "REG_SZ", "/d", command, "/f"])
        if previous is not None:
            self.addCleanup(lambda: lumtest.wine(["reg", "add", key, "/ve", "/t", "REG_SZ", "/d", previous, "/f"]))
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
        self.assertIn("show=5", read(os.path.join(os.path.dirname(record), "start.txt")), "opened shown")
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
        self.assertIn("show=5", read(os.path.join(os.path.dirname(record), "start.txt")), "opened shown")
        self.assertEqual(ini_value(os.path.join(self.work, "info.original"), "OriginalSetup", "VersionOriginal"), "3")


if __name__ == "__main__":
    lumtest.main()
