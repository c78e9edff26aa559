"""The message box as a user meets it: showbox (test kit) opens boxes of each
kind, uidriver reads what they show and answers them by button or key, and
a screenshot of each is saved under BUILD_DIR/screenshots/."""
import os
import subprocess
import time
import unittest

import lumtest


class ShownBox:
    """showbox running in the background; .answer() is what it printed."""

    def __init__(self, work, name, args, extra_env=None):
        self.out = os.path.join(work, name + ".out")
        env = dict(lumtest.ENV)
        env.update(extra_env or {})
        self.started = time.monotonic()
        with open(self.out, "wb") as out:
            self.proc = subprocess.Popen([lumtest.WINE, lumtest.build_file("showbox.exe")] + list(args), env=env,
                                         stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.DEVNULL)

    def answer(self, timeout=30):
        self.proc.wait(timeout=timeout)
        with open(self.out, "rb") as f:
            lines = f.read().decode("latin-1").replace("\r\n", "\n").split("\n")
        return dict(line.split("=", 1) for line in lines if "=" in line)

    def stop(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()


def width(rect):
    left, top, right, bottom = (int(v) for v in rect.split(","))
    return right - left


class MessageBoxes(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        lumtest.draw_window_frames()
        cls.work = lumtest.work_dir("msgbox")

    def show(self, name, *args, extra_env=None):
        box = ShownBox(self.work, name, args, extra_env)
        self.addCleanup(box.stop)
        return box

    def read_box(self, *args, extra_env=None):
        rc, seen = lumtest.uidriver(["box"] + list(args), extra_env=extra_env)
        self.assertEqual(rc, 0, seen)
        return seen

    def test_error_box_with_header_answered_by_its_button(self):
        box = self.show("error", "error", "--owner=0", "--window",
                        "--text=The file <b>setup.cab</b> could not be read.<P>Disk full.")
        seen = self.read_box()
        self.assertEqual(seen["title"], ["Error"])
        self.assertEqual(seen["text"], ["ERROR\r\n\r\nThe file setup.cab could not be read.\r\nDisk full.\r\n"])
        self.assertEqual(seen["button"], ["&OK"])
        self.assertEqual(seen["focus"], ["&OK"])
        lumtest.screenshot("msgbox_error")
        rc, done = lumtest.uidriver(["box", "--press=OK", "--wait-closed"])
        self.assertEqual(rc, 0, done)
        answer = box.answer()
        self.assertEqual(answer["result"], "1")
        self.assertEqual(answer["owner-enabled"], "1", "the owner must be usable again")

    def test_attention_box_answered_by_enter(self):
        box = self.show("attention", "attention", "--owner=1",
                        "--text=Limited Free Space on your Temp Drive! (C:)<P>"
                        "Estimated space required on your Temp drive is: <T>  12 MB<P>"
                        "Free space available on your Temp drive is: <T>  3 MB<P>")
        seen = self.read_box()
        self.assertEqual(seen["title"], ["Attention"])
        self.assertEqual(seen["text"][0].split("\r\n")[1],
                         "Estimated space required on your Temp drive is: \t  12 MB")
        self.assertEqual(seen["button"], ["&OK"])
        lumtest.screenshot("msgbox_attention")
        rc, _ = lumtest.uidriver(["box", "--key=Enter", "--wait-closed"])
        self.assertEqual(rc, 0)
        self.assertEqual(box.answer()["result"], "1")

    def test_confirm_with_bold_passage_answered_by_letter_and_arrows(self):
        text = ("<b>INTERNET DOWNLOAD</b><p><p>Lumidor will download the Setup File from the Internet...<p>"
                "Continue with Setup?<p><P>Size: <b>12.5 MB</b><P>")
        box = self.show("confirm", "confirm", "--owner=1", "--text=" + text)
        seen = self.read_box()
        self.assertEqual(seen["title"], ["Confirm"])
        self.assertTrue(seen["text"][0].startswith("INTERNET DOWNLOAD\r\n\r\nLumidor will download"), seen["text"])
        self.assertIn("Size: 12.5 MB\r\n", seen["text"][0])
        self.assertEqual(seen["button"], ["&Yes", "&No"])
        lumtest.screenshot("msgbox_confirm_bold")
        rc, _ = lumtest.uidriver(["box", "--key=N", "--wait-closed"])
        self.assertEqual(rc, 0)
        self.assertEqual(box.answer()["result"], "0", "No is a refusal")

        # Right moves the focus from Yes to No, Left back; Enter takes Yes.
        box = self.show("confirm2", "confirm", "--owner=1", "--text=" + text)
        rc, seen = lumtest.uidriver(["box", "--key=Right"])
        self.assertEqual(rc, 0)
        rc, seen = lumtest.uidriver(["box"])
        self.assertEqual(seen["focus"], ["&No"])
        rc, _ = lumtest.uidriver(["box", "--key=Left", "--key=Enter", "--wait-closed"])
        self.assertEqual(rc, 0)
        self.assertEqual(box.answer()["result"], "1")

    def test_right_to_left_box_of_charset_177(self):
        # With a Hebrew C library locale Wine's code page is 1255 and the text
        # shows in Hebrew letters; without one the same layout shows Latin.
        locale = lumtest.glibc_locale("he_IL.UTF-8")
        if locale:
            text = "התקנה הושלמה <b>בהצלחה</b>.<P>Lumidor 2.0".encode("cp1255")
        else:
            text = b"Setup <b>completed</b>.<P>Lumidor 2.0"
        box = self.show("rtl", "attention", "--owner=1", "--charset=177", "--font=Tahoma,8,177",
                        "--text-hex=" + text.hex(), extra_env=locale)
        seen = self.read_box(extra_env=locale)
        self.assertEqual(seen["button"], ["&OK"])
        shown = seen["text"][0].encode("latin-1")
        self.assertEqual(shown, text.replace(b"<b>", b"").replace(b"</b>", b"").replace(b"<P>", b"\r\n"))
        # (The alignment and reading order are checked from inside, by the
        # Windows tests; here the screenshot shows them.)
        rc, win = lumtest.uidriver(["window", "--class=LMsgBox", "--children"])
        self.assertEqual(rc, 0)
        kinds = sorted(c.split("|")[0].upper() for c in win["child"])
        self.assertEqual(kinds, ["BUTTON", "RICHEDIT"])
        lumtest.screenshot("msgbox_rtl")
        rc, _ = lumtest.uidriver(["box", "--key=Escape", "--wait-closed"])
        self.assertEqual(rc, 0)
        self.assertEqual(box.answer()["result"], "0", "Escape closes without a button")

    def test_timed_confirm_answers_yes_by_itself(self):
        box = self.show("timed", "confirm", "--owner=1", "--timeout=2500", "--text=Restart now?")
        seen = self.read_box()
        self.assertEqual(seen["button"], ["&Yes", "&No"])
        answer = box.answer()
        self.assertEqual(answer["result"], "1")
        self.assertGreaterEqual(time.monotonic() - box.started, 2.5)

    def test_long_line_makes_the_text_610_pixels_wide(self):
        box = self.show("long", "box", "--owner=1", "--style=0x21",
                        "--text=" + "A very long line of text that wraps inside the box. " * 12)
        seen = self.read_box()
        self.assertEqual(width(seen["textrect"][0]), 610)
        self.assertEqual(seen["button"], ["&OK", "&Cancel"])
        rc, _ = lumtest.uidriver(["box", "--press=&Cancel", "--wait-closed"])
        self.assertEqual(rc, 0)
        self.assertEqual(box.answer()["result"], "2")

    def test_window_mode_reports_place_visibility_and_text(self):
        box = self.show("window", "box", "--owner=1", "--style=0x2", "--caption=Disk error", "--text=Read error")
        self.read_box()
        rc, win = lumtest.uidriver(["window", "--title=Disk error", "--children"])
        self.assertEqual(rc, 0, win)
        self.assertEqual(win["class"], ["LMsgBox"])
        self.assertEqual(win["visible"], ["1"])
        cw, ch = (int(v) for v in win["client"][0].split(","))
        buttons = [c.split("|") for c in win["child"] if c.upper().startswith("BUTTON|")]
        self.assertEqual(sorted(b[3] for b in buttons), ["&Abort", "&Ignore", "&Retry"])
        places = sorted(tuple(int(v) for v in b[2].split(",")) for b in buttons)
        self.assertEqual(places, [(cw - 220, ch - 29, 70, 23), (cw - 150, ch - 29, 70, 23), (cw - 80, ch - 29, 70, 23)])
        rc, missing = lumtest.uidriver(["window", "--class=NoSuchClass"])
        self.assertEqual(rc, 1, missing)
        rc, _ = lumtest.uidriver(["box", "--press=Retry", "--wait-closed"])
        self.assertEqual(rc, 0)
        self.assertEqual(box.answer()["result"], "4")


if __name__ == "__main__":
    lumtest.main()
