"""The update cycle of the resident agent against a real update server: the
INFO file offers a new setup (a lumpack package with the sample engine),
the agent downloads it, checks it, stops the running product, runs the
setup, records the new version, starts the product again and replaces
itself; and the offers it must refuse, hostile INFO files among them."""
import os

import agentkit
import lumtest
from updatekit import AgentCycleCase, LISTENER_MSG, ini_value, read


class AgentUpdate(AgentCycleCase):
    def test_a_whole_update(self):
        record = os.path.join(self.work, "engine_cmd.txt")
        size = self.new_setup(arguments=" /RecordCmd=" + lumtest.winpath(record))
        # Under Wine in Xvfb a visible window takes seconds to be destroyed,
        # longer than the one-second wait after a close message; the product
        # is therefore stopped by termination here (the close is shown in
        # test_shut_down_methods). The product's path is the usual one: its
        # folder from the original file's [Directories].
        self.info(SizeOfUpdateFile=str(size), RequestConfirmationBeforeDownload="1",
                  ShutDownMethod="Using Terminate Process", RunningProcess="<InstallDir>product.exe")
        agent = self.agent(directories={"TargetDir": lumtest.winpath(self.work)})
        self.start_product()
        with lumtest.tracecat(self.work) as viewer, agentkit.listener(self.work) as listener:
            # The probe comes at the sixth tick: time to register the listener.
            self.assertEqual(agent.run("/DELAY=5"), 0)
            agent.wait_copy()
            self.assertEqual(agent.run(f"/WM_MSG={listener.hwnd}:{LISTENER_MSG}"), 0)
            code, box = lumtest.uidriver(["--wait=60", "box", "--press=Yes"])
            self.assertEqual(code, 0, viewer.text())
            self.assertEqual(box["title"], ["Confirm"])
            # An INI value loses its leading blanks, so the second half
            # starts a paragraph of its own.
            self.assertIn("Download Tool now?\r\n(no install question)", box["text"][0])
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
        # The product was started again shown (show state 5), and the new
        # engine learnt where the INFO file lies.
        starts = read(os.path.join(self.work, "product.exe.starts")).split()
        self.assertEqual(starts[1:], ["show=5"], starts)
        self.assertIn('/OriginalInfoFile="' + lumtest.winpath(os.path.join(self.work, "info.ini")) + '"',
                      read(record))
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
                # A body refused for its size is never stored; bytes of any
                # kind that arrived whole are, and decide nothing.
                stored = os.path.join(self.work, "info.ini")
                if name == "huge":
                    self.assertFalse(os.path.exists(stored))
                else:
                    self.assertEqual(os.path.getsize(stored), len(body))


if __name__ == "__main__":
    lumtest.main()
