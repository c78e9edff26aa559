"""GetOsVersion names the Windows version that Wine is set to pretend:
"XP", "7" and "10" under winecfg -v winxp, win7 and win10.

The version is switched in a private copy of the build's prefix, so tests
running at the same time in the shared prefix never see another version;
dropping the copy at the end is the restore."""
import shutil
import tempfile
import unittest

import lumtest

# winecfg setting -> (version text, name, OS code, IsWindowsXP,
# IsWindows8OrLater) that sysprobe must print.
EXPECTED = {
    "winxp": ("5.1", "XP", 0x20, "1", "0"),
    "win7": ("6.1", "7", 0x400, "0", "0"),
    "win10": ("10.0", "10", 0x200000, "0", "1"),
}


class OsVersionNaming(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = lumtest.work_dir("osversion")
        cls.env = lumtest.private_prefix(cls.work)

    @classmethod
    def tearDownClass(cls):
        lumtest.stop_prefix(cls.env)
        shutil.rmtree(cls.work, ignore_errors=True)

    def wine(self, args, **kw):
        return lumtest.wine(args, env=self.env, **kw)

    def probe(self):
        with tempfile.TemporaryFile() as out:
            p = self.wine([lumtest.build_file("sysprobe.exe"), "osversion"], stdout=out)
            self.assertEqual(p.returncode, 0)
            out.seek(0)
            line = out.read().decode("latin-1").strip()
        fields = line.split("|")
        self.assertEqual(len(fields), 9, line)
        return fields

    def test_names_under_each_setting(self):
        for setting, (version, name, code, xp, eight) in EXPECTED.items():
            with self.subTest(setting=setting):
                if setting == "winxp" and lumtest.WIN64_TREE:
                    self.skipTest("64-bit tree: a 64-bit prefix has no 32-bit Windows XP "
                                  "(winecfg -v winxp fails there; its XP is the 64-bit 5.2)")
                self.assertEqual(self.wine(["winecfg", "-v", setting]).returncode, 0)
                got_version, got_name, _sp, build, got_code, is64, got_xp, got_eight, nt = self.probe()
                self.assertEqual((got_version, got_name, int(got_code, 16)), (version, name, code))
                self.assertEqual((got_xp, got_eight, nt), (xp, eight, "1"))
                self.assertGreater(int(build), 0)
                self.assertEqual(is64, "0", "IsWindows64 needs a WOW64 process: a 64-bit one is none"
                                 if lumtest.WIN64_TREE else "a 32-bit prefix is not 64-bit Windows")


if __name__ == "__main__":
    lumtest.main()
