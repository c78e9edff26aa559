"""What a server hands the resident agent is acted on only when it arrived
whole: INFO files answered with an error status or cut short, a new setup
without a length, a server that sends too slowly to wait for, and file
names that are the agent's own. And the two ends of a shut-down that only a
user or a stop request can end."""
import os
import shutil

import lumtest
from updatekit import AgentCycleCase, ini_value, read


class AgentTrust(AgentCycleCase):
    SERVER = "agent_trust_server"

    def serve(self, name, how):
        """How the server answers for NAME (see the kit server's /data)."""
        with open(os.path.join(self.srv, name + ".serve"), "w") as f:
            f.write(how)

    def log_text(self):
        return "\n".join(self.runlog())

    def original(self, key):
        return ini_value(os.path.join(self.work, "info.original"), "OriginalSetup", key)

    def test_an_info_file_that_did_not_arrive_whole_is_never_decided_on(self):
        """A valid offer, served with status 500 or cut to half its length:
        no update, the INFO file of the last probe stays, the run log says
        why, and a user's check shows the download's error."""
        size = self.new_setup()
        self.info(SizeOfUpdateFile=str(size), ShutDownMethod="Using Terminate Process")
        whole = os.path.getsize(os.path.join(self.srv, "info.ini"))
        self.start_product()
        for how, error in (("status=500", "info.ini --- HTTP status 500"),
                           (f"cut={whole // 2}", f"info.ini --- Download incomplete ({whole // 2} of {whole} bytes)")):
            with self.subTest(how):
                self.serve("info.ini", how)
                agent = self.agent(interval=-1)
                last = "[NewSetup]\r\nVersionNew=1\r\n"
                with open(os.path.join(self.work, "info.ini"), "w", newline="") as f:
                    f.write(last)
                if os.path.exists(os.path.join(self.work, "X_agent.log")):
                    os.remove(os.path.join(self.work, "X_agent.log"))
                with lumtest.tracecat(self.work) as viewer:
                    # The copy runs first: /TEST= to a fresh copy would also end it.
                    self.assertEqual(agent.run(), 0)
                    agent.wait_copy()
                    self.assertEqual(agent.run("/TEST=1"), 0)
                    self.refused(viewer, "GetOkToPerformAU = ")
                    self.assertIn("GetOkToPerformAU = 0 - Error downloading .INFO file", self.log_text())
                    self.assertTrue(any(l.startswith("ERROR: ") and l.endswith(error)
                                        for l in (x[x.index(" X ") + 3:] for x in self.runlog() if " X " in x)),
                                    self.log_text())
                    # The user's check: the download's error, not "no update".
                    if how.startswith("status"):
                        self.assertEqual(agent.run("/TEST=2"), 0)
                        self.assertEqual(lumtest.uidriver(["--wait=60", "box", "--press=Yes", "--wait-closed"])[0],
                                         0, viewer.text())
                        code, box = lumtest.uidriver(["--wait=60", "box", "--press=OK"])
                        self.assertEqual(code, 0, viewer.text())
                        self.assertEqual(box["title"], ["Error"])
                        self.assertIn("HTTP status 500", box["text"][0])
                    agent.stop()
                self.assertEqual(read(os.path.join(self.work, "info.ini")), last)
                self.assertEqual(self.downloads("newsetup.exe"), [], "nothing decided")
                self.assertIsNone(self.product.poll(), "the product still runs")
                self.assertEqual(self.original("VersionOriginal"), "1")
                self.assertEqual(self.original("Stamp"), "1")

    def test_only_a_setup_this_download_wrote_whole_is_run(self):
        """A genuine package of the same name lies beside the agent; the
        server sends the new setup without a Content-Length. Nothing runs,
        the file beside the agent is not touched, and a confirmed download
        tells the user it failed."""
        size = self.new_setup()
        stale = os.path.join(self.work, "newsetup.exe")
        shutil.copy(os.path.join(self.srv, "newsetup.exe"), stale)
        self.serve("newsetup.exe", "nolength")
        self.info(SizeOfUpdateFile="0", RequestConfirmationBeforeDownload="1")
        agent = self.agent()
        with lumtest.tracecat(self.work) as viewer:
            self.assertEqual(agent.run(), 0)
            code, box = lumtest.uidriver(["--wait=60", "box", "--press=Yes", "--wait-closed"])
            self.assertEqual(code, 0, viewer.text())
            code, box = lumtest.uidriver(["--wait=90", "box", "--press=OK"])
            self.assertEqual(code, 0, viewer.text())
            self.assertEqual(box["title"], ["Attention"])
            self.assertIn("Unable to Download File!", box["text"][0])
            self.assertTrue(self.wait_trace(viewer, "PerformAutoUpdate-13"), viewer.text())
        self.assertIn("newsetup.exe --- Download refused (no length)", self.log_text())
        self.assertNotIn("Bad Secret Token!", self.log_text())
        self.assertFalse(os.path.exists(self.installed), "nothing ran")
        self.assertTrue(os.path.exists(stale))
        self.assertEqual(os.path.getsize(stale), size)
        self.assertEqual(self.original("VersionOriginal"), "1")

    def test_a_slow_server_cannot_keep_the_agent_from_stopping(self):
        size = self.new_setup()
        self.serve("newsetup.exe", "slow=1024,500")  # minutes for the whole file
        self.info(SizeOfUpdateFile=str(size))
        agent = self.agent()
        with lumtest.tracecat(self.work) as viewer:
            self.assertEqual(agent.run(), 0)
            self.assertTrue(lumtest.wait_for(lambda: self.downloads("newsetup.exe"), timeout=60, step=0.3),
                            viewer.text())
            self.assertEqual(agent.run("/STOP=0"), 0)
            self.assertTrue(agent.wait_copy_gone(timeout=20), "the copy still runs:\n" + viewer.text())
        self.assertIn("Download Aborted", self.log_text())
        self.assertFalse(os.path.exists(self.installed), "nothing ran")

    def test_the_server_cannot_name_the_agents_own_files(self):
        """A genuine package published under the original file's name, the
        INFO file's or the agent's own: refused before any download, and
        the agent's files stay as they were."""
        size = self.new_setup()
        for name in ("info.original", "X_agent.exe", "AGENT.EXE"):
            with self.subTest(name):
                shutil.copy(os.path.join(self.srv, "newsetup.exe"), os.path.join(self.srv, name))
                self.info(NameOfUpdateFile=name, SizeOfUpdateFile=str(size))
                agent = self.agent()
                if os.path.exists(os.path.join(self.work, "X_agent.log")):
                    os.remove(os.path.join(self.work, "X_agent.log"))
                with lumtest.tracecat(self.work) as viewer:
                    self.assertEqual(agent.run(), 0)
                    self.assertTrue(self.wait_trace(viewer, "PerformAutoUpdate-13"), viewer.text())
                    agent.stop()
                self.assertIn(f"\\{name} --- refused: one of the agent's own files",
                              self.log_text())
                self.assertTrue(read(os.path.join(self.work, "info.original")).startswith("[OriginalSetup]"),
                                "the original file is still the original file")
                self.assertEqual(self.original("VersionOriginal"), "1")
                self.assertFalse(os.path.exists(self.installed), "nothing ran")
                self.assertEqual(self.downloads(name), [])
                self.assertTrue(os.path.exists(agent.path))

    def test_a_stop_request_ends_the_message_box_shut_down(self):
        size = self.new_setup()
        self.info(SizeOfUpdateFile=str(size), ShutDownMethod="Issue a Message Box")
        agent = self.agent()
        self.start_product()
        with lumtest.tracecat(self.work) as viewer:
            self.assertEqual(agent.run(), 0)
            code, box = lumtest.uidriver(["--wait=90", "box"])
            self.assertEqual(code, 0, viewer.text())
            self.assertIn("Please close product.exe", box["text"][0])
            self.assertEqual(agent.run("/STOP=0"), 0)
            self.assertTrue(agent.wait_copy_gone(timeout=20), "the copy still runs:\n" + viewer.text())
            self.assertNotEqual(lumtest.uidriver(["--wait=1", "box"])[0], 0, "no box is left")
        self.assertIn("stop asked; the product runs; no update", self.log_text())
        self.assertIsNone(self.product.poll(), "the product still runs")
        self.assertFalse(os.path.exists(self.installed), "nothing ran")


if __name__ == "__main__":
    lumtest.main()
