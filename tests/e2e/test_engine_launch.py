"""The launcher starts the setup engine from its extraction folder with the
documented command line, waits for it and its dialogs, passes its exit code
on and removes the temporary folder."""
import os
import re
import time
import unittest

import lumtest

ENGINE = lumtest.build_file("sample-engine.exe")


def dos_time_part(path):
    t = time.localtime(os.path.getmtime(path))
    return (t.tm_hour << 11) | (t.tm_min << 5) | (t.tm_sec // 2)


def manifest(arguments):
    return f"""[Launch]
File = Engine.exe
Arguments = {arguments}
[Files]
Engine.exe = {ENGINE}
data.txt = data.txt
"""


class EngineLaunch(unittest.TestCase):
    def setUp(self):
        self.work = lumtest.work_dir(self.id().split(".")[-1])
        with open(os.path.join(self.work, "data.txt"), "w") as f:
            f.write("payload\n")
        self.record = os.path.join(self.work, "cmd.txt")

    def run_package(self, engine_args, stub_args=()):
        pkg = lumtest.make_package(self.work, manifest(engine_args))
        before = set(lumtest.setup_temp_folders())
        started = time.monotonic()
        p = lumtest.wine([pkg] + list(stub_args), timeout=120)
        return pkg, p.returncode, time.monotonic() - started, before

    def test_command_line_exit_code_and_clean_up(self):
        target = os.path.join(self.work, "target")
        args = f"/silent /RecordCmd={lumtest.winpath(self.record)} /Target={lumtest.winpath(target)} /ExitCode=3"
        pkg, code, _, before = self.run_package(args, ["/x"])
        self.assertEqual(code, 3, "the engine's exit code is the launcher's")
        with open(self.record, "rb") as f:
            line = f.read().decode("latin-1").strip()
        folder = r"C:\\users\\[^\\]+\\Temp\\SETUP_%d" % dos_time_part(pkg)
        want = (folder + r"\\Engine\.exe /x /silent /RecordCmd=\S+ /Target=\S+ /ExitCode=3 /TH_ID=_(\d+) "
                r'/OriginExe="' + re.escape(lumtest.winpath(pkg)) + '"$')
        self.assertRegex(line, want)
        self.assertTrue(os.path.exists(os.path.join(target, "data.txt")), "the engine installed the payload")
        self.assertEqual(set(lumtest.setup_temp_folders()), before, "the temporary folder is removed")

    def test_failed_engine_leaves_the_atom_and_ends_with_its_code(self):
        with lumtest.tracecat(self.work) as viewer:
            _, code, _, before = self.run_package("/Fail")
            lumtest.wait_for(lambda: "STUB END" in viewer.text())
            text = viewer.text()
        self.assertEqual(code, 1)
        self.assertIn("no success", text)
        self.assertEqual(set(lumtest.setup_temp_folders()), before)

    def test_waits_for_a_dialog_the_engine_leaves_behind(self):
        # The engine ends at once but a window of its dialog class stays for
        # 8 s: the launcher must not end before it goes. Compared with the
        # same package without the dialog, the run is at least that much
        # longer, less the launcher's own one-second waits around the engine.
        _, _, plain, _ = self.run_package("")
        _, code, held, _ = self.run_package("/LeaveDialog=8000")
        self.assertEqual(code, 0)
        self.assertGreaterEqual(held - plain, 6.0, f"{held:.1f} s with the dialog, {plain:.1f} s without")


if __name__ == "__main__":
    lumtest.main()
