"""The launcher starts the setup engine from its extraction folder with the
documented command line, waits for it and its dialogs, passes its exit code
on and removes the temporary folder."""
import os
import re
import shutil
import subprocess
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


    def test_hide_starts_the_engine_hidden_and_shows_no_window(self):
        pkg = lumtest.make_package(self.work, manifest("/HoldDialog=3000"))
        seen = {}
        for stub_args in (["/hide"], []):
            proc = subprocess.Popen([lumtest.WINE, pkg] + stub_args, env=lumtest.ENV, stdin=subprocess.DEVNULL,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            code, found = lumtest.uidriver(["--wait=30", "window", "--title=Sample Setup"])
            self.assertEqual(code, 0, "the engine's dialog exists")
            _, stub_window = lumtest.uidriver(["window", "--class=" + lumtest.winpath(pkg)])
            seen[" ".join(stub_args)] = (found.get("visible"), stub_window.get("visible"))
            self.assertEqual(proc.wait(timeout=60), 0)
        self.assertEqual(seen["/hide"], (["0"], ["0"]), "hidden engine dialog, hidden launcher window")
        self.assertEqual(seen[""][0], ["1"], "without /hide the engine shows its dialog")

    def test_spanned_stub_runs_from_a_temporary_copy(self):
        # A disk set: lumpack writes the launcher setup.exe and the volume
        # setup.exe.001 for the first disk. The launcher started from the
        # disk copies itself to its temporary folder as Y_setup.exe, the copy
        # extracts setup.exe.001 and removes itself and its folder at the end.
        man = manifest(f"/RecordCmd={lumtest.winpath(self.record)}") + "[Options]\nCdSpanned = 1\n"
        stub = lumtest.make_package(self.work, man, name="setup.exe")
        volume = stub + ".001"
        self.assertTrue(os.path.exists(volume))
        self.assertLess(os.path.getsize(stub), os.path.getsize(volume), "the launcher carries no files")
        folder = "SETUP_%d" % dos_time_part(stub)
        with lumtest.tracecat(self.work) as viewer:
            self.assertEqual(lumtest.wine([stub, "/x"]).returncode, 0)
            self.assertTrue(lumtest.wait_for(lambda: os.path.exists(self.record), timeout=60), "engine ran")
            gone = lumtest.wait_for(lambda: folder not in lumtest.setup_temp_folders(), timeout=60, step=0.5)
            starts = [l for l in viewer.lines() if "STUB START" in l]
        self.assertTrue(gone, "the Y_ copy removed itself and its folder")
        self.assertEqual(len(starts), 2, starts)
        self.assertIn("\\" + folder + "\\Y_setup.exe /x /SpanCdLvl=2", starts[1])
        with open(self.record, "rb") as f:
            line = f.read().decode("latin-1").strip()
        self.assertNotIn("/SpanCdLvl", line)
        self.assertNotIn("/SpanDiskFName1", line)
        self.assertEqual(line.count("/OriginExe="), 1, line)
        self.assertIn('/OriginExe="' + lumtest.winpath(stub) + '" ', line, "the first instance's origin")

    def test_a_span_switch_does_not_make_a_setup_run_another_package(self):
        # Only the relaunched temporary copy of a disk set reads its volume
        # from /SpanDiskFName1=; a plain setup given one runs its own files.
        own = lumtest.make_package(self.work, manifest("/ExitCode=5"), name="own.exe")
        other = lumtest.make_package(self.work, manifest("/ExitCode=6"), name="other.exe")
        code = lumtest.wine([own, "/SpanDiskFName1=" + lumtest.winpath(other)]).returncode
        self.assertEqual(code, 5, "the launcher's own engine ran")

    def test_third_party_nsis_engine(self):
        for name, data in (("notes.txt", b"installed by NSIS\r\n"), ("table.bin", bytes(range(256)) * 64)):
            with open(os.path.join(self.work, name), "wb") as f:
                f.write(data)
        shutil.copy(os.path.join(os.path.dirname(__file__), "nsis", "engine.nsi"), self.work)
        # The 64-bit tree's Wine starts 64-bit programs only: there the engine
        # is NSIS's 64-bit flavour.
        target_arch = ["-XTarget amd64-unicode"] if lumtest.WIN64_TREE else []
        subprocess.run(["makensis", "-V1"] + target_arch + ["engine.nsi"], cwd=self.work, check=True,
                       stdout=subprocess.DEVNULL)
        target = os.path.join(self.work, "target")
        pkg = lumtest.make_package(self.work, f"""[Launch]
File = nsis-engine.exe
Arguments = /S /Target={lumtest.winpath(target)}
[Files]
nsis-engine.exe = nsis-engine.exe
""")
        self.assertEqual(lumtest.wine([pkg], timeout=120).returncode, 3, "the installer's exit code")
        for name in ("notes.txt", "table.bin"):
            with open(os.path.join(self.work, name), "rb") as a, open(os.path.join(target, name), "rb") as b:
                self.assertEqual(a.read(), b.read(), name)


if __name__ == "__main__":
    lumtest.main()
