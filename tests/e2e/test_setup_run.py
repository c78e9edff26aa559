"""The setup run of the real stub under Wine, as a user meets it: a package
of nested folders, empty files and a file of several entries extracts
byte-identical with its stored times and one progress step per new file or
folder; the temporary-drive question and "/hide"; damaged packages end with
"s7"; hostile entry names write nothing outside the extraction folder; and no
run leaves a temporary folder behind. The program to start is the test kit's
extractprobe, which reports the extraction folder before the stub deletes it."""
import os
import random
import struct
import subprocess
import sys
import time
import unittest
import zlib

import lumtest
import setupkit

S7 = "Bad CRC!\r\nThis indicates that your setup file might be corrupted..."


class SetupRun(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = lumtest.work_dir("setup_run")
        rnd = random.Random(5)
        p = os.path.join(cls.work, "payload")
        t1 = time.mktime((2019, 3, 1, 8, 0, 0, 0, 0, -1))
        t2 = time.mktime((2021, 6, 15, 10, 20, 31, 0, 0, -1))  # odd second: stored as :30
        cls.files = {
            "app\\docs\\readme.txt": (b"Read me.\r\n" * 300, t1),
            "app\\docs\\empty.txt": (b"", t2),
            "app\\lib\\deep\\er\\noise.bin": (bytes(rnd.getrandbits(8) for _ in range(200000)), t2),
            # Zeros and a counter: three entries of up to 4 MiB that inflate 100:1 and more.
            "app\\lib\\big.bin": (bytes(9 * 1024 * 1024) + b"".join(b"%08d" % i for i in range(2000)), t1),
            "app\\top.dat": (bytes(rnd.getrandbits(8) for _ in range(3000)), t1),
            "bin\\tool.txt": (b"tool\r\n", t2),
        }
        cls.sources = {}
        for rel, (data, when) in cls.files.items():
            rel_src = rel[len("app\\"):] if rel.startswith("app\\") else rel
            src = os.path.join(p if rel.startswith("app\\") else cls.work, *rel_src.split("\\"))
            setupkit.write_file(src, data, when)
            cls.sources[rel] = src
        os.makedirs(os.path.join(p, "empty_dir"), exist_ok=True)
        cls.dirs = {"app", "app\\docs", "app\\lib", "app\\lib\\deep", "app\\lib\\deep\\er", "app\\empty_dir", "bin"}

    def setUp(self):
        setupkit.clean_work_copy(self.work)
        self.assertEqual(setupkit.leftovers(), [], "a temporary folder from an earlier run")

    def tearDown(self):
        left = setupkit.leftovers() if not lumtest.wait_for(lambda: setupkit.leftovers() == [], timeout=10) else []
        setupkit.remove_leftovers()
        self.assertEqual(left, [], "temporary folders left behind")

    def package(self, name, options="", launch_args=None):
        text = setupkit.manifest(files="bin/tool.txt = bin/tool.txt", folders="app = payload", options=options,
                                 launch_args=launch_args, work=self.work)
        return lumtest.make_package(self.work, text, name)

    def run_stub(self, package, *args):
        run = setupkit.StubRun(package, args)
        self.addCleanup(run.stop)
        return run

    def test_nested_package_extracts_identical_with_times_and_one_step_per_file(self):
        package = self.package("many.exe")
        entries, files_count = setupkit.stored_entries(package)
        self.assertEqual(len([e for e in entries if e["name"] == "app\\lib\\big.bin"]), 3)
        folder_entries = [e["name"] for e in entries if e["name"].endswith("\\")]
        self.assertEqual(set(n[:-1] for n in folder_entries), self.dirs)

        run = self.run_stub(package)
        self.assertEqual(run.finish(watch=True), 0)
        report = setupkit.read_report(self.work)
        setupkit.compare_tree(self, report, self.work, self.sources, self.dirs, entries)
        self.assertTrue(report["folder"].upper().startswith("C:\\USERS\\"), report["folder"])
        # One step per file and per folder that the extraction brought into being.
        self.assertEqual(files_count, len(self.files) + 1 + len(self.dirs))
        self.assertEqual(setupkit.main_bar(report), (1, files_count, files_count), report["bars"])
        # The activity bar (range 0 to 5) took every step too: 1 to 5, then 0 again.
        self.assertEqual([b[1] for b in report["bars"] if b[2] == 5], [files_count % 6], report["bars"])
        self.assertTrue(run.seen_window, "the start-up window was never shown")

    def test_temp_drive_question(self):
        # ConfirmTempDrive asks "s2" to "s6"; No ends the run before anything
        # is extracted; "/hide" asks nothing and shows no window.
        package = self.package("confirm.exe", options="ConfirmTempDrive = 1")
        entries, _ = setupkit.stored_entries(package)
        run = self.run_stub(package)
        seen = run.box()
        self.assertIsNotNone(seen, "no question")
        self.assertEqual(seen["title"], ["Confirm"])
        self.assertEqual(seen["button"], ["&Yes", "&No"])
        lines = seen["text"][0].split("\r\n")
        self.assertEqual(lines[:2], ["CONFIRM", ""])
        lines = lines[2:]
        self.assertEqual(lines[0], "Lumidor will extract files to your Temp Drive (C:)")
        self.assertRegex(lines[2], r"^Estimated space required on your Temp drive is: \t  \d+\.\d+ MB$")
        self.assertRegex(lines[3], r"^Free space available on your Temp drive is: \t  \d+\.\d+ MB$")
        self.assertEqual(lines[5], "Continue with Setup?")
        required = float(lines[2].split()[-2])
        payload = sum(len(d) for d, _ in self.files.values()) + os.path.getsize(setupkit.PROBE)
        self.assertAlmostEqual(required, payload / 1048576, delta=0.15)
        st = os.statvfs(lumtest.PREFIX_C)
        self.assertAlmostEqual(float(lines[3].split()[-2]), st.f_bavail * st.f_frsize / 1048576, delta=200)
        temp = lumtest.setup_temp_folders()
        self.assertEqual(len(temp), 1)
        self.assertEqual(os.listdir(os.path.join(setupkit.TEMP, temp[0])), [], "extracted before the answer")
        self.assertTrue(run.press("No"))
        self.assertEqual(run.finish(), 0)
        self.assertIsNone(setupkit.read_report(self.work), "the program was started after No")

        run = self.run_stub(package, "/hide")
        self.assertEqual(run.finish(watch=True), 0)
        self.assertFalse(run.seen_window, "the window was shown with /hide")
        setupkit.compare_tree(self, setupkit.read_report(self.work), self.work, self.sources, self.dirs, entries)

    def small_package(self, name, volume_tail=0, extra_files=()):
        """A small package (the probe, a text, 60 KB of noise in a folder);
        with volume_tail, its last volume_tail bytes or so go to a second,
        small volume, which therefore carries a real checksum."""
        rnd = random.Random(9)
        src = os.path.join(self.work, "small")
        setupkit.write_file(os.path.join(src, "a.txt"), b"a" * 500, 0x5F000000)
        setupkit.write_file(os.path.join(src, "sub", "noise.bin"), bytes(rnd.getrandbits(8) for _ in range(60000)), 0x5F000000)
        files = "a.txt = small/a.txt\nsub/noise.bin = small/sub/noise.bin\n" + "".join(extra_files)
        text = setupkit.manifest(files=files, work=self.work)
        package = lumtest.make_package(self.work, text, name)
        if volume_tail:
            size = os.path.getsize(package)
            os.remove(package)
            text = setupkit.manifest(files=files, work=self.work, volume_size=str(size - volume_tail))
            package = lumtest.make_package(self.work, text, name)
        return package

    def test_damaged_package_shows_s7_and_cleans_up(self):
        def bad_checksum(package):
            second = package + ".002"
            self.assertLess(os.path.getsize(second), 51200, "volume 2 must be small enough to be summed")
            patch(second, 200, b"\x55")

        def bad_stream(package):
            entries, _ = setupkit.stored_entries(package)
            entry = [e for e in entries if e["kind"] == "zlib" and e["name"] == "a.txt"][0]
            patch(package, entry["offset"] + 4 + 2, b"\xff\xff\xff\xff")

        def bomb(package):
            # A stream that inflates past what a 32-bit process can hold
            # (64 MiB of zeros, 32 times over), in the place of a stored entry.
            entries, _ = setupkit.stored_entries(package)
            entry = [e for e in entries if e["name"] == "bomb.bin"][0]
            c = zlib.compressobj(9)
            stream = c.compress(b"|bomb.bin|0|\0") + c.flush(zlib.Z_FULL_FLUSH)
            zeros = bytes(64 << 20)
            c.compress(zeros), c.flush(zlib.Z_FULL_FLUSH)
            stream += (c.compress(zeros) + c.flush(zlib.Z_FULL_FLUSH)) * 32  # blocks alike after a full flush
            n = entry["stored"]
            self.assertLessEqual(len(stream), n)
            patch(package, entry["offset"], struct.pack("<i", n) + stream + bytes(n - len(stream)))

        rnd = random.Random(4)
        setupkit.write_file(os.path.join(self.work, "small", "bomb.bin"), rnd.randbytes(2200000), 0x5F000000)
        cases = [("bad checksum in volume 2", 30000, bad_checksum, (), ()),
                 ("corrupt zlib stream", 0, bad_stream, (), ()),
                 ("corrupt zlib stream, /hide", 0, bad_stream, ("/hide",), ()),
                 ("stream inflating past memory", 0, bomb, (), ("bomb.bin = small/bomb.bin\n",))]
        for what, tail, damage, args, extra in cases:
            with self.subTest(what):
                setupkit.clean_work_copy(self.work)
                package = self.small_package("damaged.exe", volume_tail=tail, extra_files=extra)
                damage(package)
                run = self.run_stub(package, *args)
                seen = run.box()
                self.assertIsNotNone(seen, "no error box")
                self.assertEqual(seen["title"], ["Error"])
                self.assertIn(S7, seen["text"][0])
                self.assertTrue(run.press("OK"))
                self.assertEqual(run.finish(), 0)
                self.assertIsNone(setupkit.read_report(self.work), "a damaged package started its program")
                self.assertTrue(lumtest.wait_for(lambda: setupkit.leftovers() == [], timeout=10), setupkit.leftovers())
                if damage is bomb:
                    # The builder's reader refuses it too, and within bounded memory.
                    probe = ("import resource, subprocess, sys\n"
                             "r = subprocess.run(sys.argv[1:], capture_output=True)\n"
                             "print(r.returncode, resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)\n"
                             "sys.stdout.write(r.stdout.decode('latin-1') + r.stderr.decode('latin-1'))\n")
                    out = subprocess.run([sys.executable, "-c", probe, lumtest.LUMPACK, "verify", package],
                                         capture_output=True, timeout=120).stdout.decode()
                    code, peak_kb = (int(x) for x in out.split("\n", 1)[0].split())
                    self.assertNotEqual(code, 0, out)
                    self.assertIn("inflates past the limit", out)
                    self.assertLess(peak_kb, 300 * 1024, "lumpack verify held %d KB" % peak_kb)
                for f in os.listdir(self.work):
                    if f.startswith("damaged.exe"):
                        os.remove(os.path.join(self.work, f))

    def test_hostile_names_write_nothing_outside(self):
        # Stored entries whose names are patched in place: each would land
        # outside the extraction folder (C:\users\<user>\Temp\SETUP_n) if
        # followed. The last one also carries the launch mark: a skipped entry
        # must not become the program to start.
        work_win = lumtest.winpath(self.work)
        hostile = ["..\\..\\..\\..\\hostile1.txt", "C:\\hostile2.txt", "\\hostile3.txt",
                   work_win + "\\hostile4.txt", "\\\\?\\" + work_win + "\\hostile5.txt", "C:hostile6.txt",
                   "sub\\..\\..\\..\\..\\..\\hostile7.txt",
                   "..\\..\\..\\..\\windows\\system32\\hostname.exe*"]
        rnd = random.Random(3)
        extra, placeholders = [], []
        for i, name in enumerate(hostile):
            ph = "".join(rnd.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(len(name) - 4)) + ".txt"
            setupkit.write_file(os.path.join(self.work, "ph", ph), bytes(rnd.getrandbits(8) for _ in range(64)), 0x5F000000)
            extra.append("%s = ph/%s\n" % (ph, ph))
            placeholders.append(ph)
        package = self.small_package("names.exe", extra_files=extra)
        with open(package, "rb") as f:
            data = f.read()
        for ph, name in zip(placeholders, hostile):
            at = data.find(("|%s|" % ph).encode())
            self.assertGreater(at, 0, "%s is not stored plainly" % ph)
            data = data[:at + 1] + name.encode() + data[at + 1 + len(name):]
        with open(package, "wb") as f:
            f.write(data)

        run = self.run_stub(package)
        seen = run.box()
        self.assertIsNotNone(seen, "the first skipped entry is reported as a save error")
        self.assertIn("hostile1.txt\r\n\r\nUnable to save Extracted File!", seen["text"][0])
        self.assertTrue(run.press("OK"))
        self.assertEqual(run.finish(), 0)
        report = setupkit.read_report(self.work)
        self.assertIsNotNone(report, "the package's own program was not started")
        self.assertEqual(set(report["files"]), {"probe.exe", "a.txt", "sub\\noise.bin"})
        found = []
        for top in (lumtest.PREFIX_C, self.work):
            for folder, _, names in os.walk(top):
                found += [os.path.join(folder, n) for n in names if n.startswith("hostile")]
        self.assertEqual(found, [])

    def test_short_temp_drive(self):
        # The temporary folder on a drive without free space (F: is /proc to
        # Wine, 0 bytes free): the extraction moves to C:\TEMP_<n> when C:
        # has room, and asks "s3" when no drive has (the probe of C: fails
        # where C:\TEMP is a file).
        devices = os.path.join(lumtest.ENV["WINEPREFIX"], "dosdevices")
        f_drive, c_temp = os.path.join(devices, "f:"), os.path.join(lumtest.PREFIX_C, "TEMP")
        if os.path.lexists(f_drive) or os.path.lexists(c_temp):
            self.skipTest("the prefix has its own F: or C:\\TEMP")
        os.symlink("/proc", f_drive)
        self.addCleanup(os.remove, f_drive)
        package = self.small_package("short.exe")
        batch = os.path.join(self.work, "short.bat")
        with open(batch, "w") as f:
            f.write('set TEMP=F:\\\r\nset TMP=F:\\\r\nstart "" /wait "%s"\r\n' % lumtest.winpath(package))

        run = setupkit.StubRun(package, command=[lumtest.WINE, "cmd", "/c", lumtest.winpath(batch)])
        self.addCleanup(run.stop)
        self.assertEqual(run.finish(), 0)
        report = setupkit.read_report(self.work)
        self.assertIsNotNone(report, "nothing was started")
        self.assertRegex(report["folder"], r"^C:\\TEMP_\d{5,6}$")
        self.assertEqual(set(report["files"]), {"probe.exe", "a.txt", "sub\\noise.bin"})
        self.assertFalse(os.path.lexists(c_temp), "the probe of C: left C:\\TEMP")

        setupkit.clean_work_copy(self.work)
        with open(c_temp, "w") as f:
            f.write("not a folder")
        self.addCleanup(os.remove, c_temp)
        run = setupkit.StubRun(package, command=[lumtest.WINE, "cmd", "/c", lumtest.winpath(batch)])
        self.addCleanup(run.stop)
        seen = run.box()
        self.assertIsNotNone(seen, "no question")
        lines = seen["text"][0].split("\r\n")
        self.assertEqual(lines[2], "Limited Free Space on your Temp Drive! (F:)")
        self.assertRegex(lines[4], r"^Estimated space required on your Temp drive is: \t  0\.\d\d\d MB$")
        self.assertEqual(lines[5], "Free space available on your Temp drive is: \t  0.000 MB")
        self.assertTrue(run.press("No"))
        self.assertEqual(run.finish(), 0)
        self.assertIsNone(setupkit.read_report(self.work), "the program was started after No")


def patch(path, offset, data):
    with open(path, "r+b") as f:
        f.seek(offset)
        f.write(data)


if __name__ == "__main__":
    lumtest.main()
