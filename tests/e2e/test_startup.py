"""The plain stub's start: one run per file at a time, the start-up window
with its title, label and bars (right to left for Arabic and Hebrew
character sets), the language chosen by the locale, and screenshots of the
window under BUILD_DIR/screenshots/."""
import os
import shutil
import subprocess
import time
import unittest

import lumtest

X11_KEY = r"HKCU\Software\Wine\X11 Driver"
DEFAULT_TITLE = "Lumidor Installation Suite"
BAR = "msctls_progress32"


def manifest(languages=(), confirm=True, activity=False, files="data.txt = data.txt", options=""):
    text = (f"[Options]\nConfirmTempDrive = {int(confirm)}\nShowActivityBar = {int(activity)}\n{options}"
            f"[Files]\n{files}\n")
    for name, keys in languages:
        text += f"[Language.{name}]\n" + "".join(f"{k} = {v}\n" for k, v in keys.items())
    return text


def children(win):
    """(class, visible, (x, y, width, height), text) of each child window."""
    out = []
    for row in win.get("child", []):
        cls, visible, rect, text = row.split("|", 3)
        out.append((cls, visible == "1", tuple(int(v) for v in rect.split(",")), text))
    return out


def screen_size():
    out = subprocess.run(["xdotool", "getdisplaygeometry"], env=lumtest.ENV, capture_output=True, text=True,
                         timeout=30).stdout.split()
    return int(out[0]), int(out[1])


def window_visible(title):
    return subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{title}$"], env=lumtest.ENV,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30).returncode == 0


class StartupWindow(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        # Frames for the screenshots; the prefix gets its old setting back.
        rc, out = lumtest.wine_output(["reg", "query", X11_KEY, "/v", "Managed"])
        cls.had_managed = rc == 0 and "Managed" in out
        lumtest.draw_window_frames()
        cls.temp_before = set(lumtest.setup_temp_folders())

    @classmethod
    def tearDownClass(cls):
        if not cls.had_managed:
            lumtest.wine(["reg", "delete", X11_KEY, "/v", "Managed", "/f"])

    def setUp(self):
        self.work = lumtest.work_dir(self.id().split(".")[-1])
        with open(os.path.join(self.work, "data.txt"), "w") as f:
            f.write("payload\n")

    def tearDown(self):
        self.assertEqual(set(lumtest.setup_temp_folders()), self.temp_before, "temporary folders are removed")

    def start(self, path, extra_env=None):
        env = dict(lumtest.ENV)
        env.update(extra_env or {})
        proc = subprocess.Popen([lumtest.WINE, path], env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)

        def stop():
            if proc.poll() is None:
                lumtest.uidriver(["--wait=1", "box", "--press=No", "--wait-closed"])
            try:
                proc.wait(timeout=20)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
        self.addCleanup(stop)
        return proc

    def answer_no(self, proc, extra_env=None):
        rc, seen = lumtest.uidriver(["box", "--press=No", "--wait-closed"], extra_env=extra_env)
        self.assertEqual(rc, 0, seen)
        self.assertEqual(proc.wait(timeout=30), 0)

    def held_at_question(self, name, languages, extra_env=None):
        """Starts a package that asks the temporary-drive question; while it
        waits for the answer, reads its (hidden) window and the question box;
        then answers No. Returns (window, box)."""
        pkg = lumtest.make_package(self.work, manifest(languages), name=name + ".exe")
        proc = self.start(pkg, extra_env)
        rc, box = lumtest.uidriver(["box"], extra_env=extra_env)
        self.assertEqual(rc, 0, box)
        rc, win = lumtest.uidriver(["window", "--class=" + lumtest.winpath(pkg), "--children"], extra_env=extra_env)
        self.assertEqual(rc, 0, win)
        self.answer_no(proc, extra_env)
        return win, box

    def assert_layout(self, win, rtl, visible):
        kids = children(win)
        self.assertEqual([k[0] for k in kids], ["Static", BAR, BAR], kids)
        (_, _, label, _), (_, main_shown, main, _), (_, _, activity, _) = kids
        self.assertEqual(label, (122 if rtl else 70, 20, 340, 18))
        self.assertEqual(main, (70, 38, 392, 13))
        self.assertEqual(activity, (70 if rtl else 416, 20, 46, 13))
        self.assertEqual(main_shown, visible)
        left, top, right, bottom = (int(v) for v in win["rect"][0].split(","))
        self.assertEqual((right - left, bottom - top), (492, 110))
        width, height = screen_size()
        self.assertEqual((left, top), ((width - 492) // 2, (height - 110) // 2), "centred on the screen")

    def test_second_start_of_the_same_file_ends_without_window(self):
        pkg = lumtest.make_package(self.work, manifest([("English", {"s0": "Second Start"})]))
        with lumtest.tracecat(self.work) as viewer:
            first = self.start(pkg)
            rc, box = lumtest.uidriver(["box"])
            self.assertEqual(box["title"], ["Confirm"])

            started = time.monotonic()
            self.assertEqual(lumtest.wine([pkg], timeout=60).returncode, 0)
            self.assertLess(time.monotonic() - started, 15)
            starts = [l.split(" ", 1)[0] for l in viewer.lines() if " ==== STUB START ====> " in l]
            self.assertEqual(len(starts), 2, viewer.text())
            second = starts[1]
            self.assertTrue(lumtest.wait_for(lambda: f"{second} ==== STUB END" in viewer.text()))
            own = [l for l in viewer.lines() if l.startswith(second + " ")]
            self.assertEqual(len(own), 4, own)
            self.assertEqual(own[1], f"{second} ==== ThisIs_AutoUpdateProg=FALSE")
            self.assertIn("already running", own[2])
            self.assertEqual(viewer.text().count("ForegroundOp="), 1, "the second start ran no setup")

            # The same package elsewhere is another file: it runs.
            other = os.path.join(self.work, "elsewhere", "setup.exe")
            os.makedirs(os.path.dirname(other))
            shutil.copyfile(pkg, other)
            copy = self.start(other)
            self.assertTrue(lumtest.wait_for(lambda: viewer.text().count("ForegroundOp=") == 2, timeout=30),
                            viewer.text())
            rc, win = lumtest.uidriver(["--wait=10", "window", "--class=" + lumtest.winpath(other)])
            self.assertEqual(rc, 0, win)
            self.assertEqual(win["title"], ["Second Start"])
            rc, _ = lumtest.uidriver(["box", "--press=No", "--wait-closed"])
            rc, _ = lumtest.uidriver(["box", "--press=No", "--wait-closed"])
            self.assertEqual(first.wait(timeout=30), 0)
            self.assertEqual(copy.wait(timeout=30), 0)

    def test_title_label_and_bars(self):
        cases = [
            ("default_title", [("English", {"s1": "Unpacking..."})], DEFAULT_TITLE, "Unpacking...", False),
            ("own_title", [("English", {"s0": "Product Setup"})], "Product Setup", "Extracting Files...", False),
            ("charset_178", [("Arabic", {"Charset": "178", "s0": "RTL Setup"})], "RTL Setup",
             "Extracting Files...", True),
        ]
        for name, languages, title, label, rtl in cases:
            with self.subTest(name):
                win, box = self.held_at_question(name, languages)
                self.assertEqual(win["title"], [title])
                self.assertEqual(win["visible"], ["0"], "hidden while the question waits")
                self.assertEqual(children(win)[0][3], label)
                self.assert_layout(win, rtl, visible=False)

    def test_language_follows_the_locale(self):
        both = [("English", {"s0": "English Setup", "Confirm": "Confirm"}),
                ("French", {"s0": "Installation", "Confirm": "Confirmer"})]
        deutsch = [("Deutsch", {"s0": "Deutsch Setup", "Confirm": "Bestaetigen"})]
        cases = [("fr_FR.UTF-8", deutsch, "Deutsch Setup", "Bestaetigen"),
                 ("ja_JP.UTF-8", deutsch, "Deutsch Setup", "Bestaetigen"),
                 ("fr_FR.UTF-8", both, "Installation", "Confirmer"),
                 ("ja_JP.UTF-8", both, "English Setup", "Confirm")]
        for i, (locale, languages, title, caption) in enumerate(cases):
            with self.subTest(locale=locale, title=title):
                env = lumtest.glibc_locale(locale)
                if env is None:
                    self.skipTest(locale + " cannot be compiled here")
                win, box = self.held_at_question(f"lang{i}", languages, extra_env=env)
                self.assertEqual(win["title"], [title])
                self.assertEqual(box["title"], [caption])

    def test_spanned_package_runs_from_a_temporary_copy(self):
        # A disk set: the launcher setup.exe and the volumes setup.exe.001,
        # .002, ... beside it; the launcher is the first volume under the
        # name the user starts.
        with open(os.path.join(self.work, "mid.bin"), "wb") as f:
            f.write(os.urandom(1 << 20))
        target = os.path.join(self.work, "target")
        first = lumtest.make_package(self.work, "[Package]\nVolumeSize = 800K\n" + manifest(
            confirm=False, options="CdSpanned = 1\n", files=f"mid.bin = mid.bin\nEngine.exe = {lumtest.build_file('sample-engine.exe')}") +
            f"[Launch]\nFile = Engine.exe\nArguments = /Target={lumtest.winpath(target)}\n", name="setup.exe.001")
        self.assertTrue(os.path.exists(first[:-4] + ".002"), "more than one volume")
        launcher = first[:-4]
        shutil.copyfile(first, launcher)
        with lumtest.tracecat(self.work) as viewer:
            self.assertEqual(lumtest.wine([launcher, "/x=1"], timeout=60).returncode, 0)
            self.assertTrue(lumtest.wait_for(lambda: viewer.text().count("STUB END") == 2, timeout=60), viewer.text())
            lines = viewer.lines()
        starts = [l for l in lines if " ==== STUB START ====> " in l]
        self.assertEqual(len(starts), 2, lines)
        copy = starts[1].split(" ==== STUB START ====> ", 1)[1]
        self.assertRegex(copy, r"^C:\\users\\[^\\]+\\Temp\\SETUP_\d+\\Y_setup\.exe /x=1 /SpanCdLvl=2 ")
        self.assertTrue(copy.endswith(f' /SpanDiskFName1="{lumtest.winpath(first)}" '
                                      f'/OriginExe="{lumtest.winpath(launcher)}"<'), copy)
        with open(os.path.join(target, "mid.bin"), "rb") as f:
            self.assertEqual(len(f.read()), 1 << 20, "the engine installed what the volumes carried")
        # The copy removes itself and its folder (checked by tearDown).
        self.assertTrue(lumtest.wait_for(lambda: set(lumtest.setup_temp_folders()) == self.temp_before, timeout=15))

    def test_screenshots_while_extracting(self):
        with open(os.path.join(self.work, "big.bin"), "wb") as f:
            f.write(os.urandom(6 << 20))
        cases = [("startup_window", [("English", {"s0": "Lumidor Demo Setup"})], "Lumidor Demo Setup", False),
                 ("startup_window_rtl", [("Arabic", {"Charset": "178", "s0": "Lumidor RTL Setup"})],
                  "Lumidor RTL Setup", True)]
        for name, languages, title, rtl in cases:
            with self.subTest(name):
                pkg = lumtest.make_package(self.work, manifest(languages, confirm=False, activity=True,
                                                               files="big.bin = big.bin"), name=name + ".exe")
                proc = self.start(pkg)
                self.assertTrue(lumtest.wait_for(lambda: window_visible(title), timeout=30, step=0.05))
                lumtest.screenshot(name)
                rc, win = lumtest.uidriver(["window", "--class=" + lumtest.winpath(pkg), "--children"])
                self.assertEqual(rc, 0, win)
                time.sleep(1.2)
                if window_visible(title):
                    lumtest.screenshot(name + "_later")
                self.assertEqual(win["title"], [title])
                self.assertEqual(win["visible"], ["1"])
                self.assertEqual(children(win)[0][3], "Extracting Files...")
                self.assert_layout(win, rtl, visible=True)
                self.assertTrue(children(win)[2][1], "ShowActivityBar shows the activity bar")
                self.assertEqual(proc.wait(timeout=60), 0)


if __name__ == "__main__":
    lumtest.main()
