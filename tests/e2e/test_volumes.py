"""A package over two volumes, run through the real stub under Wine: with
both volumes present it extracts without a prompt, a file split across the
volumes joined byte-identical; a missing volume 2 is asked for with "Please
insert DISK #2..." until it is there, or the run ends without a launch on
Cancel; ForcePrompt "1" asks even for a present volume."""
import os
import random
import unittest

import lumtest
import setupkit

PROMPT = "Please insert DISK #2 and press OK to continue"
SPAN_KEY = r"HKCU\Software\Corvane\Lumidor\SpanDisk"


def reg(*args):
    return lumtest.wine(["reg"] + list(args)).returncode


class Volumes(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = lumtest.work_dir("volumes")
        rnd = random.Random(11)
        src = os.path.join(cls.work, "src")
        cls.sources = {}
        for rel, data in [("a.txt", b"first volume\r\n" * 100), ("sub\\b.txt", b""),
                          ("sub\\split.bin", bytes(rnd.getrandbits(8) for _ in range(300000)))]:
            path = os.path.join(src, *rel.split("\\"))
            setupkit.write_file(path, data, 0x60000000)
            cls.sources[rel] = path
        os.makedirs(os.path.join(src, "empty"), exist_ok=True)
        cls.dirs = {"sub", "empty"}

        def build(volume_size):
            text = setupkit.manifest(folders="src", work=cls.work, volume_size=volume_size)
            return lumtest.make_package(cls.work, text, "vols.exe")

        whole = os.path.getsize(build("0"))
        os.remove(os.path.join(cls.work, "vols.exe"))
        # Volume 2 takes the last 150 KB: the middle of split.bin.
        cls.package = build(str(whole - 150000))
        cls.second = cls.package + ".002"
        cls.entries, cls.files_count = setupkit.stored_entries(cls.package)

    def setUp(self):
        setupkit.clean_work_copy(self.work)
        self.assertEqual(setupkit.leftovers(), [], "a temporary folder from an earlier run")
        self.assertTrue(os.path.exists(self.second))

    def tearDown(self):
        if not os.path.exists(self.second):
            os.rename(self.second + ".away", self.second)
        left = setupkit.leftovers() if not lumtest.wait_for(lambda: setupkit.leftovers() == [], timeout=10) else []
        setupkit.remove_leftovers()
        self.assertEqual(left, [], "temporary folders left behind")

    def run_stub(self):
        run = setupkit.StubRun(self.package)
        self.addCleanup(run.stop)
        return run

    def assert_prompt(self, run):
        seen = run.box()
        self.assertIsNotNone(seen, "no prompt for volume 2")
        self.assertEqual(seen["title"], ["Attention"])
        self.assertEqual(seen["text"], ["ATTENTION\r\n\r\n" + PROMPT + "\r\n"])
        self.assertEqual(seen["button"], ["&OK", "&Cancel"])

    def assert_complete(self, run):
        self.assertEqual(run.finish(), 0)
        report = setupkit.read_report(self.work)
        setupkit.compare_tree(self, report, self.work, self.sources, self.dirs, self.entries)
        # A step per file, per folder and per change of volume.
        self.assertEqual(self.files_count, len(self.sources) + 1 + len(self.dirs) + 1)
        self.assertEqual(setupkit.main_bar(report), (1, self.files_count, self.files_count), report["bars"])

    def volume1_files_in_temp(self):
        temp = lumtest.setup_temp_folders()
        self.assertEqual(len(temp), 1)
        folder = os.path.join(setupkit.TEMP, temp[0])
        return sorted(os.listdir(folder))

    def test_split_file_joins_without_prompt(self):
        volumes = {e["volume"] for e in self.entries if e["name"] == "sub\\split.bin"}
        self.assertEqual(volumes, {1, 2}, "split.bin must lie in both volumes")
        self.assertLess(os.path.getsize(self.second), 200000)
        self.assert_complete(self.run_stub())

    def test_missing_volume_is_asked_for_until_present(self):
        os.rename(self.second, self.second + ".away")
        run = self.run_stub()
        self.assert_prompt(run)
        self.assertTrue(run.press("OK"))  # still missing: asked again
        self.assert_prompt(run)
        os.rename(self.second + ".away", self.second)
        self.assertTrue(run.press("OK"))
        self.assert_complete(run)

    def test_cancel_keeps_volume_1_files_and_starts_nothing(self):
        os.rename(self.second, self.second + ".away")
        run = self.run_stub()
        self.assert_prompt(run)
        self.assertEqual(self.volume1_files_in_temp(), ["a.txt", "empty", "probe.exe", "sub"])
        self.assertTrue(run.press("Cancel"))
        self.assertEqual(run.finish(), 0)
        self.assertIsNone(setupkit.read_report(self.work), "the program was started after Cancel")

    def test_force_prompt_asks_for_a_present_volume(self):
        had_key = reg("query", r"HKCU\Software\Corvane") == 0
        self.assertEqual(reg("add", SPAN_KEY, "/v", "ForcePrompt", "/t", "REG_SZ", "/d", "1", "/f"), 0)
        try:
            run = self.run_stub()
            self.assert_prompt(run)
            self.assertTrue(run.press("OK"))
            self.assert_complete(run)
        finally:
            if had_key:
                reg("delete", SPAN_KEY, "/v", "ForcePrompt", "/f")
            else:
                reg("delete", r"HKCU\Software\Corvane", "/f")


if __name__ == "__main__":
    lumtest.main()
