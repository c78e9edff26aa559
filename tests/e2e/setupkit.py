"""Helpers of the setup-run scenarios: packages whose program to start is the
test kit's extractprobe (it reports, and copies, what the extraction left in
the temporary folder before the launcher deletes it), runs of the real stub
with its message boxes answered through uidriver, and the checks that every
run leaves no temporary folder behind."""
import os
import re
import shutil
import subprocess
import time

import lumtest


def write_file(path, data, when):
    """Writes a payload file (with its folders) and gives it the time WHEN."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    os.utime(path, (when, when))

PROBE = lumtest.build_file("extractprobe.exe")
TEMP = os.path.join(lumtest.PREFIX_C, "users", os.environ.get("USER", "root"), "Temp")
# The launcher's window caption in every package of these scenarios, so that
# xdotool can tell whether the window was ever shown.
CAPTION = "Lumidor e2e setup"


def probe_args(work):
    return "/Report=%s /Copy=%s" % (lumtest.winpath(os.path.join(work, "report.txt")),
                                    lumtest.winpath(os.path.join(work, "copy")))


def manifest(files="", folders="", options="", extra="", volume_size="0", launch_args=None, work=None):
    """A manifest whose program to start is the probe (packed as probe.exe)."""
    args = launch_args if launch_args is not None else probe_args(work)
    return ("[Package]\nVolumeSize = %s\n[Options]\n%s\n[Files]\nprobe.exe = %s\n%s\n[Folders]\n%s\n"
            "[Launch]\nFile = probe.exe\nArguments = %s\n[Language.English]\ns0 = %s\n%s\n"
            % (volume_size, options, PROBE, files, folders, args, CAPTION, extra))


def stored_entries(package):
    """(volume number, name, stored time text) of every entry, from lumpack list."""
    out = subprocess.run([lumtest.LUMPACK, "list", package], check=True, capture_output=True).stdout.decode("latin-1")
    entries, volume = [], 0
    for line in out.split("\n"):
        m = re.match(r"Volume (\d+): ", line)
        if m:
            volume = int(m.group(1))
            continue
        m = re.match(r"  (\d+)\s+(zlib|stored|empty)\s+(\d+)\s+(\d+)  (\(no time\)|\S+ \S+)  (.*?)(   \[start: .*\])?$",
                     line)
        if m:
            entries.append({"volume": volume, "offset": int(m.group(1)), "kind": m.group(2), "stored": int(m.group(3)),
                            "time": m.group(5), "name": m.group(6)})
    files_count = int(re.search(r"FilesCount\s+(\d+)", out).group(1))
    return entries, files_count


def dos_time_text(value):
    """An MS-DOS date-time as lumpack list prints it."""
    date, time_ = value >> 16, value & 0xFFFF
    return "%04d-%02d-%02d %02d:%02d:%02d" % (1980 + (date >> 9), (date >> 5) & 15, date & 31, time_ >> 11,
                                              (time_ >> 5) & 63, (time_ & 31) * 2)


def read_report(work):
    """The probe's report: {"folder", "cmdline", "dirs": set, "files": {rel: (size, dostime)}, "bars": [(vis, pos,
    max)], "peak"}; None when the probe never ran."""
    path = os.path.join(work, "report.txt")
    if not os.path.exists(path):
        return None
    r = {"dirs": set(), "files": {}, "bars": []}
    with open(path, "rb") as f:
        for line in f.read().decode("latin-1").split("\n"):
            if line.startswith("D|"):
                r["dirs"].add(line[2:])
            elif line.startswith("F|"):
                _, rel, size, dos = line.split("|")
                r["files"][rel] = (int(size), int(dos))
            elif line.startswith("bar="):
                r["bars"].append(tuple(int(v) for v in line[4:].split(",")))
            elif "=" in line:
                k, v = line.split("=", 1)
                r[k] = v
    return r


def main_bar(report):
    """The start-up window's main bar: the one that is always visible."""
    bars = [b for b in report["bars"] if b[0] == 1]
    return bars[0] if len(bars) == 1 else None


def leftovers():
    """Temporary folders of the launcher still on disk: SETUP_* in the
    temporary folder and alternate work folders C:\\TEMP_*."""
    names = lumtest.setup_temp_folders()
    names += [n for n in os.listdir(lumtest.PREFIX_C) if n.upper().startswith("TEMP_")]
    return names


def remove_leftovers():
    """After a failed run: the next scenario starts clean."""
    for name in lumtest.setup_temp_folders():
        shutil.rmtree(os.path.join(TEMP, name), ignore_errors=True)
    for name in os.listdir(lumtest.PREFIX_C):
        if name.upper().startswith("TEMP_"):
            shutil.rmtree(os.path.join(lumtest.PREFIX_C, name), ignore_errors=True)


def visible_windows(title):
    """X windows that show this title (Wine maps only shown windows)."""
    p = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^%s$" % re.escape(title)], env=lumtest.ENV,
                       stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=30)
    return p.stdout.split()


class StubRun:
    """The stub running in the background. .box() reads the message box it
    shows; .press() answers it; .finish() waits for the end and returns the exit
    code. .seen_window tells whether the start-up window was ever visible."""

    def __init__(self, package, args=(), env=None, command=None):
        self.proc = subprocess.Popen(command or ([lumtest.WINE, package] + list(args)), env=env or lumtest.ENV,
                                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.seen_window = False

    def watch_window(self):
        if not self.seen_window and visible_windows(CAPTION):
            self.seen_window = True

    def box(self, wait=40):
        rc, seen = lumtest.uidriver(["--wait=%d" % wait, "box"])
        return seen if rc == 0 else None

    def press(self, caption):
        rc, seen = lumtest.uidriver(["--wait=20", "box", "--press=" + caption, "--wait-closed"])
        return rc == 0

    def finish(self, timeout=90, watch=False):
        end = time.monotonic() + timeout
        while self.proc.poll() is None and time.monotonic() < end:
            if watch:
                self.watch_window()
            time.sleep(0.1)
        if self.proc.poll() is None:
            self.stop()
            raise AssertionError("the stub did not end within %d s" % timeout)
        return self.proc.returncode

    def stop(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()


def compare_tree(test, report, work, expected_files, expected_dirs, entries):
    """The probe's listing against the payload: the same folders and files,
    byte-identical copies, and each file's time as stored in the package."""
    test.assertIsNotNone(report, "the program to start never ran")
    test.assertEqual(report["dirs"], set(expected_dirs))
    test.assertEqual(set(report["files"]), set(expected_files) | {"probe.exe"})
    stored = {}
    for e in entries:
        if not e["name"].endswith("\\"):
            stored.setdefault(e["name"], e["time"])
    for rel, source in expected_files.items():
        copy = os.path.join(work, "copy", *rel.split("\\"))
        with open(source, "rb") as a, open(copy, "rb") as b:
            test.assertTrue(a.read() == b.read(), "%s differs from its source" % rel)
        test.assertEqual(dos_time_text(report["files"][rel][1]), stored[rel], rel)


def clean_work_copy(work):
    shutil.rmtree(os.path.join(work, "copy"), ignore_errors=True)
    for name in ("report.txt", "report.txt.part"):
        if os.path.exists(os.path.join(work, name)):
            os.remove(os.path.join(work, name))
