"""The launcher runs elevated: nothing outside it may steer it. A damaged
trailer never makes a resident agent; the engine gets the show state of the
run; the temporary folder is one this run made (a name someone took, or a link
planted there, is passed over and left alone); programs are started by their
full path, so a blank in the temporary folder's path cannot start another
program; the program to start is marked in an entry's name, nowhere else in
its header; only shortcut files are removed as old shortcuts; a second close
during the extraction is refused; and an unexpected end still cleans up."""
import os
import random
import shutil
import subprocess
import time
import unittest

import agentkit
import lumtest
import setupkit

ENGINE = lumtest.build_file("sample-engine.exe")
TRAILER = 74


def dos_time_part(path):
    t = time.localtime(os.path.getmtime(path))
    return (t.tm_hour << 11) | (t.tm_min << 5) | (t.tm_sec // 2)


def read_start(path):
    """The sample engine's /RecordStart file: {"show": int, "exe": path}."""
    with open(path, "rb") as f:
        pairs = [l.split("=", 1) for l in f.read().decode("latin-1").splitlines() if "=" in l]
    r = dict(pairs)
    r["show"] = int(r["show"])
    return r


class Hardening(unittest.TestCase):
    def setUp(self):
        self.work = lumtest.work_dir(self.id().split(".")[-1])
        with open(os.path.join(self.work, "data.txt"), "w") as f:
            f.write("payload\n")
        self.start = os.path.join(self.work, "start.txt")
        self.target = os.path.join(self.work, "target")

    def manifest(self, extra_args="", extra=""):
        return (f"[Launch]\nFile = Engine.exe\nArguments = /RecordStart={lumtest.winpath(self.start)} "
                f"/Target={lumtest.winpath(self.target)} {extra_args}\n"
                f"[Files]\nEngine.exe = {ENGINE}\ndata.txt = data.txt\n{extra}")

    def test_damaged_trailer_makes_no_resident_agent(self):
        # The agent byte and the agent-log flag set in a trailer whose magic is
        # wrong, and a size word of 9999 that leads the reader into the middle
        # of the entries: either way the file carries no package. The launcher
        # ends on its own, starts nothing and writes no run log.
        pkg = lumtest.make_package(self.work, self.manifest())
        with open(pkg, "rb") as f:
            good = bytearray(f.read())
        t = len(good) - TRAILER
        good[t + 65] |= 0x10  # agent log
        good[t + 69] = 1      # auto-update agent
        wrong_magic = bytearray(good)
        wrong_magic[t + 12] ^= 0xFF
        size_word = bytearray(good)
        size_word[-4:] = (9999).to_bytes(4, "little")
        for what, data in (("wrong magic", wrong_magic), ("size word 9999", size_word)):
            folder = os.path.join(self.work, what.replace(" ", "_"))
            os.makedirs(folder)
            damaged = os.path.join(folder, "setup.exe")
            with open(damaged, "wb") as f:
                f.write(data)
            before = set(lumtest.setup_temp_folders())
            run = setupkit.StubRun(damaged)
            try:
                run.finish(timeout=45)
            except AssertionError:
                self.fail(what + ": the launcher stayed running")
            finally:
                run.stop()
            self.assertEqual(sorted(os.listdir(folder)), ["setup.exe"], what + ": no run log, no agent copy")
            self.assertFalse(os.path.exists(self.start), what + ": nothing was started")
            self.assertEqual(set(lumtest.setup_temp_folders()), before, what)

    def test_engine_show_state(self):
        pkg = lumtest.make_package(self.work, self.manifest())
        shown = {}
        for args in ([], ["/hide"]):
            if os.path.exists(self.start):
                os.remove(self.start)
            self.assertEqual(lumtest.wine([pkg] + args).returncode, 0)
            shown[" ".join(args)] = read_start(self.start)["show"]
        self.assertEqual(shown, {"": 5, "/hide": 0})

    def test_taken_setup_folder_is_passed_over_and_left_alone(self):
        # SETUP_<n> exists with a program in it (planted to be started), and
        # SETUP_<n+1> is a link to a folder of someone else's files (planted
        # to be deleted through). The run makes SETUP_<n+2>, starts the engine
        # from there, removes only that, and leaves both alone.
        pkg = lumtest.make_package(self.work, self.manifest())
        n = dos_time_part(pkg)
        planted = os.path.join(setupkit.TEMP, "SETUP_%d" % n)
        link = os.path.join(setupkit.TEMP, "SETUP_%d" % (n + 1))
        victim = os.path.join(self.work, "victim")
        os.makedirs(victim)
        with open(os.path.join(victim, "precious.txt"), "w") as f:
            f.write("keep me\n")
        try:
            os.makedirs(planted)
            shutil.copy(lumtest.build_file("planted.exe"), os.path.join(planted, "Engine.exe"))
            os.symlink(victim, link)
            self.assertEqual(lumtest.wine([pkg]).returncode, 0)
            exe = read_start(self.start)["exe"]
            self.assertTrue(exe.upper().endswith("\\SETUP_%d\\ENGINE.EXE" % (n + 2)), exe)
            self.assertFalse(os.path.exists(os.path.join(planted, "Engine.exe.ran")), "the planted program never ran")
            self.assertTrue(os.path.exists(os.path.join(planted, "Engine.exe")), "the planted folder is untouched")
            self.assertTrue(os.path.exists(os.path.join(victim, "precious.txt")), "nothing deleted through the link")
            self.assertTrue(os.path.islink(link))
            self.assertFalse(os.path.exists(os.path.join(setupkit.TEMP, "SETUP_%d" % (n + 2))), "own folder removed")
        finally:
            if os.path.islink(link):
                os.remove(link)
            shutil.rmtree(planted, ignore_errors=True)

    def test_blank_in_the_temporary_folder_starts_no_other_program(self):
        # With TEMP at "C:\tmp dir", an unquoted "C:\tmp dir\SETUP_n\..." is
        # read by the system as the program C:\tmp.exe: a planted one must
        # never run, neither for the engine nor for the disk set's copy.
        tmp_dir = os.path.join(lumtest.PREFIX_C, "tmp dir")
        planted = os.path.join(lumtest.PREFIX_C, "tmp.exe")
        ran = planted + ".ran"
        try:
            os.makedirs(tmp_dir, exist_ok=True)
            shutil.copy(lumtest.build_file("planted.exe"), planted)
            for name, extra in (("setup.exe", ""), ("disks.exe", "[Options]\nCdSpanned = 1\n")):
                if os.path.exists(self.start):
                    os.remove(self.start)
                pkg = lumtest.make_package(self.work, self.manifest(extra=extra), name=name)
                bat = os.path.join(self.work, "run-" + name + ".bat")
                with open(bat, "w", newline="\r\n") as f:
                    f.write('@echo off\nset TEMP=C:\\tmp dir\nset TMP=C:\\tmp dir\nstart "" /wait "%s"\n'
                            % lumtest.winpath(pkg))
                lumtest.wine(["cmd", "/c", lumtest.winpath(bat)], timeout=120)
                self.assertTrue(lumtest.wait_for(lambda: os.path.exists(self.start), timeout=60), name + ": engine ran")
                exe = read_start(self.start)["exe"]
                self.assertTrue(exe.upper().startswith("C:\\TMP DIR\\SETUP_"), name + ": " + exe)
                self.assertFalse(os.path.exists(ran), name + ": C:\\tmp.exe was started")
                lumtest.wait_for(lambda: not [d for d in os.listdir(tmp_dir) if d.startswith("SETUP_")], timeout=60)
                self.assertEqual([d for d in os.listdir(tmp_dir) if d.startswith("SETUP_")], [], name)
        finally:
            shutil.rmtree(tmp_dir, ignore_errors=True)
            for p in (planted, ran):
                if os.path.exists(p):
                    os.remove(p)

    def test_blank_in_the_agents_folder_starts_no_other_program(self):
        # The plain agent in "C:\ag dir" starts its resident copy
        # "C:\ag dir\X_agent.exe": never C:\ag.exe.
        folder = os.path.join(lumtest.PREFIX_C, "ag dir")
        planted = os.path.join(lumtest.PREFIX_C, "ag.exe")
        ran = planted + ".ran"
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        agent = agentkit.Agent(folder, log=False)
        try:
            shutil.copy(lumtest.build_file("planted.exe"), planted)
            self.assertEqual(agent.run(), 0)
            agent.wait_copy()
            self.assertFalse(os.path.exists(ran), "C:\\ag.exe was started")
        finally:
            agent.stop()
            shutil.rmtree(folder, ignore_errors=True)
            for p in (planted, ran):
                if os.path.exists(p):
                    os.remove(p)

    def test_only_shortcut_files_are_removed_after_success(self):
        # The original info file beside the package names the shortcuts to
        # remove after a successful setup: one names a plain file, which stays.
        pkg = lumtest.make_package(self.work, self.manifest(
            extra="[Settings]\nUpdateInfo = http://127.0.0.1/upd/info.ini\n"))
        victim = os.path.join(self.work, "victim.txt")
        shortcut = os.path.join(self.work, "Check for updates.lnk")
        for p in (victim, shortcut):
            with open(p, "w") as f:
                f.write("x\n")
        with open(os.path.join(self.work, "info.original"), "w", newline="\r\n") as f:
            f.write("[UnInstall]\nStartUpLink=%s\nCheckforNewUpdateLink=%s\n"
                    % (lumtest.winpath(victim), lumtest.winpath(shortcut)))
        with open(os.path.join(self.work, "info.ini"), "w", newline="\r\n") as f:
            f.write("[NewSetup]\nRemoveStartUpShortcut=1\nRemoveCheckForNewUpdateShortcut=1\n")
        self.assertEqual(lumtest.wine([pkg]).returncode, 0)
        self.assertTrue(os.path.exists(self.start), "the engine ran")
        self.assertFalse(os.path.exists(shortcut), "the shortcut is removed")
        self.assertTrue(os.path.exists(victim), "a file that is no shortcut is never deleted")

    def test_launch_mark_comes_only_from_the_name_item(self):
        # An entry header written with "\" as its list separator carries a
        # program outside the extraction folder behind a mark in a later item.
        # The mark counts only in the name item: the package's own engine runs
        # and the program outside is never started.
        outside = os.path.join(setupkit.TEMP, "outside")
        os.makedirs(outside, exist_ok=True)
        self.addCleanup(shutil.rmtree, outside, True)
        shutil.copy(setupkit.PROBE, os.path.join(outside, "evil.exe"))
        evil_report = os.path.join(self.work, "evil.txt")
        hostile = "\\ok.exe\\0\\..\\..\\..\\outside\\evil.exe* /Report=" + lumtest.winpath(evil_report)
        # A stored entry (random name and bytes: nothing to compress) whose
        # header is patched in place: its name is long enough for the hostile
        # header to fit, blanks pad the rest.
        rnd = random.Random(11)
        ph = "".join(rnd.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(len(hostile))) + ".txt"
        setupkit.write_file(os.path.join(self.work, ph), bytes(rnd.getrandbits(8) for _ in range(64)), 0x5F000000)
        pkg = lumtest.make_package(self.work, self.manifest(extra="%s = %s\n" % (ph, ph)))
        with open(pkg, "rb") as f:
            data = f.read()
        at = data.find(("|%s|" % ph).encode())
        self.assertGreater(at, 0, "the entry header is not stored plainly")
        end = data.index(b"|", at + len(ph) + 2) + 1
        header = hostile.ljust(end - at).encode()
        with open(pkg, "wb") as f:
            f.write(data[:at] + header + data[end:])

        self.assertEqual(lumtest.wine([pkg]).returncode, 0)
        self.assertFalse(os.path.exists(evil_report), "a program outside the extraction folder was started")
        self.assertTrue(os.path.exists(self.start), "the package's own engine ran")

    def test_second_close_during_extraction_is_refused(self):
        # Enough small files that the extraction takes seconds. Two closes
        # arrive while it runs: the first would stop a download, the second
        # used to destroy the window, whose clean-up deleted the folder under
        # the running extraction. Now the run goes on to its normal end.
        payload = os.path.join(self.work, "payload")
        os.makedirs(payload)
        count = 1500
        for i in range(count):
            with open(os.path.join(payload, "f%04d.bin" % i), "wb") as f:
                f.write(os.urandom(8192))
        pkg = lumtest.make_package(self.work, self.manifest(extra="[Folders]\npayload = payload\n"))
        before = set(lumtest.setup_temp_folders())
        with lumtest.tracecat(self.work) as viewer:
            run = setupkit.StubRun(pkg)
            try:
                for delay in (1300, 100):
                    rc = lumtest.wine([lumtest.build_file("closewindow.exe"), "--class=" + lumtest.winpath(pkg),
                                       "--wait=60", "--delay=%d" % delay]).returncode
                    self.assertEqual(rc, 0, "the window was there to be closed")
                code = run.finish(timeout=180)
            finally:
                run.stop()
            lumtest.wait_for(lambda: "STUB END" in viewer.text(), timeout=20)
            text = viewer.text()
        self.assertEqual(code, 0)
        self.assertIn("close refused while the setup runs", text)
        self.assertNotIn("Unable to save", text)
        installed = os.listdir(os.path.join(self.target, "payload"))
        self.assertEqual(len(installed), count, "the engine found every file")
        self.assertEqual(set(lumtest.setup_temp_folders()), before)

    def fault_package(self):
        ini = os.path.join(self.work, "fault.ini")
        with open(ini, "w") as f:
            f.write(self.manifest())
        out = os.path.join(self.work, "fault.exe")
        subprocess.run([lumtest.LUMPACK, "create", ini, "-o", out, "--stub", lumtest.build_file("stubfault.exe")],
                       check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
        return out

    def test_unexpected_end_cleans_up_and_says_so(self):
        pkg = self.fault_package()
        before = set(lumtest.setup_temp_folders())
        with lumtest.tracecat(self.work) as viewer:
            # Out of memory in the middle of the run, in the foreground: a box
            # tells the user, the folder is gone.
            run = setupkit.StubRun(pkg, env=dict(lumtest.ENV, LUM_FAULT="oom", LUM_FAULT_FILE="Engine.exe"))
            try:
                rc, box = lumtest.uidriver(["--wait=90", "window", "--class=#32770", "--children"])
                self.assertEqual(rc, 0, "a message box is shown")
                message = " ".join(box.get("child", []))
                self.assertIn("ended unexpectedly (out of memory)", message)
                self.assertEqual(set(lumtest.setup_temp_folders()), before, "removed before the box is shown")
                lumtest.wine([lumtest.build_file("closewindow.exe"), "--class=#32770", "--wait=10"])
                self.assertEqual(run.finish(timeout=60), 255)
            finally:
                run.stop()
            # A stray exception in a hidden run: no box, the same clean-up.
            hidden = setupkit.StubRun(pkg, args=["/hide"],
                                      env=dict(lumtest.ENV, LUM_FAULT="throw", LUM_FAULT_FILE="Engine.exe"))
            try:
                self.assertEqual(hidden.finish(timeout=90), 255)
            finally:
                hidden.stop()
            lumtest.wait_for(lambda: viewer.text().count("STUB END (unexpected)") == 2, timeout=20)
            text = viewer.text()
        self.assertIn("STUB ENDED UNEXPECTEDLY: out of memory", text)
        self.assertIn("STUB ENDED UNEXPECTEDLY: unhandled exception", text)
        self.assertFalse(os.path.exists(self.start), "the engine never ran")
        self.assertEqual(set(lumtest.setup_temp_folders()), before)


if __name__ == "__main__":
    lumtest.main()
