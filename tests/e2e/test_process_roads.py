"""Process inspection by each road of its Windows generation: under
winecfg -v win7 the PSAPI road, under win10 the tasklist road.

Wine's own tasklist.exe prints nothing, so the prefix gets the test kit's
tasklist.exe (the real CSV of the running processes) in its system folder,
loaded native-first. A tasklist.exe planted beside the program under test
must never run: the command is started from the system folder by its full
path.

Everything runs in a private copy of the build's prefix (the version switch
and the system folder's tasklist.exe stay there); dropping the copy at the
end is the restore."""
import os
import shutil
import subprocess
import tempfile
import time
import unittest

import lumtest

ROADS = {"win7": "psapi", "win10": "tasklist"}


class ProcessRoads(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = lumtest.work_dir("process_roads")
        overrides = lumtest.ENV.get("WINEDLLOVERRIDES", "") + ";tasklist.exe=n"
        cls.env = lumtest.private_prefix(cls.work, WINEDLLOVERRIDES=overrides)
        cls.prefix = cls.env["WINEPREFIX"]
        shutil.copy(lumtest.build_file("tasklist.exe"),
                    os.path.join(cls.prefix, "drive_c", "windows", "system32", "tasklist.exe"))
        # The program under test, the target, a namesake of the target in
        # another folder, and the planted command beside the program.
        cls.bin = os.path.join(cls.work, "bin")
        cls.other = os.path.join(cls.work, "other")
        os.makedirs(cls.bin)
        os.makedirs(cls.other)
        for name in ("procprobe.exe", "targetapp.exe"):
            shutil.copy(lumtest.build_file(name), os.path.join(cls.bin, name))
        shutil.copy(lumtest.build_file("targetapp.exe"), os.path.join(cls.other, "targetapp.exe"))
        shutil.copy(lumtest.build_file("planted.exe"), os.path.join(cls.bin, "tasklist.exe"))
        cls.planted_mark = os.path.join(cls.bin, "tasklist.exe.ran")
        cls.target = lumtest.winpath(os.path.join(cls.bin, "targetapp.exe"))
        cls.namesake = lumtest.winpath(os.path.join(cls.other, "targetapp.exe"))

    @classmethod
    def tearDownClass(cls):
        lumtest.stop_prefix(cls.env)
        shutil.rmtree(cls.work, ignore_errors=True)

    def wine(self, args, **kw):
        return lumtest.wine(args, env=self.env, **kw)

    def probe(self, *args):
        with tempfile.TemporaryFile() as out:
            p = self.wine([os.path.join(self.bin, "procprobe.exe")] + list(args), stdout=out)
            self.assertEqual(p.returncode, 0, args)
            out.seek(0)
            return out.read().decode("latin-1").strip()

    def start_target(self, *args):
        pidfile = os.path.join(self.work, "target.pid")
        log = os.path.join(self.work, "target.log")
        for f in (pidfile, log):
            if os.path.exists(f):
                os.remove(f)
        proc = subprocess.Popen([lumtest.WINE, os.path.join(self.bin, "targetapp.exe"), "--pidfile=" + lumtest.winpath(pidfile),
                                 "--log=" + lumtest.winpath(log), "--title=Road Main"] + list(args),
                                env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        self.addCleanup(lambda: proc.poll() is None and proc.kill())
        self.assertTrue(lumtest.wait_for(lambda: os.path.exists(pidfile) and os.path.getsize(pidfile) > 0, 30))
        time.sleep(0.2)
        with open(pidfile) as f:
            pid = f.read().strip()
        return proc, pid, log

    def read(self, path):
        with open(path) as f:
            return f.read()

    def check_road(self, setting):
        self.assertEqual(self.wine(["winecfg", "-v", setting]).returncode, 0)
        self.assertEqual(self.probe("road"), ROADS[setting])

        proc, pid, log = self.start_target()
        self.assertEqual(self.probe("find", self.target, "1"), pid)
        self.assertEqual(self.probe("find", "targetapp.exe", "0"), pid)
        self.assertEqual(self.probe("find", '"%s"' % self.target, "0"), pid)
        self.assertEqual(self.probe("find", "nothing-like-it.exe", "0"), "0")
        if ROADS[setting] == "psapi":
            # Full-path mode tells a namesake from the program; the tasklist
            # road knows image names only.
            self.assertEqual(self.probe("find", self.namesake, "1"), "0")
        self.assertEqual(self.probe("mainwnd", self.target, "1"), "TargetAppMain|Road Main")
        self.assertEqual(self.probe("running", self.target), "1")

        gone, took = self.probe("wait", self.target, "0").split()
        self.assertEqual(gone, "0")
        self.assertTrue(900 <= int(took) < 3000, took)

        # WM_CLOSE with 15 and 255 ends it; CloseProgram waits for the end.
        # (Under Wine in Xvfb each visible window takes some 2 s to go.)
        self.assertEqual(self.probe("close", self.target, "1", "15000"), "1")
        self.assertIn("WM_CLOSE 15 255", self.read(log))
        self.assertEqual(proc.wait(timeout=5), 0)
        self.assertEqual(self.probe("running", self.target), "0")
        gone, took = self.probe("wait", self.target, "5000").split()
        self.assertEqual(gone, "1")
        self.assertLess(int(took), 1000)
        self.assertEqual(self.probe("close", self.target, "1", "0"), "0", "nothing left to close")

        # WM_QUIT with 15 and 255 ends its message loop.
        proc, pid, log = self.start_target("--ignore-close")
        self.assertEqual(self.probe("quit", self.target, "1"), "1")
        self.assertEqual(proc.wait(timeout=30), 15)
        self.assertIn("WM_QUIT 15 255", self.read(log))

        # A program that ignores WM_CLOSE is terminated.
        proc, pid, log = self.start_target("--ignore-close")
        self.assertEqual(self.probe("close", self.target, "1", "500"), "1")
        self.assertIn("WM_CLOSE 15 255", self.read(log))
        self.assertIsNone(proc.poll())
        self.assertEqual(self.probe("terminate", self.target, "1"), "1")
        self.assertEqual(proc.wait(timeout=10), 0)
        self.assertEqual(self.probe("terminate", self.target, "1"), "0")

    def test_psapi_road_under_win7(self):
        self.check_road("win7")

    def test_tasklist_road_under_win10(self):
        self.check_road("win10")
        self.assertFalse(os.path.exists(self.planted_mark), "the planted tasklist.exe ran")
        # The fixture works: started by its bare name, the command would be
        # taken from beside the program.
        self.assertTrue(self.probe("run", "tasklist.exe", "/FO", "csv").startswith("exit=0"))
        self.assertTrue(os.path.exists(self.planted_mark), "a bare name should have found the planted file")
        os.remove(self.planted_mark)

    def test_console_output_through_run_captured(self):
        out = self.probe("run", "cmd.exe", "/c", "echo road output& exit 6")
        self.assertEqual(out.replace("\r\n", "\n").split("\n"), ["exit=6", "road output"])


if __name__ == "__main__":
    lumtest.main()
