"""Shared helpers of the end-to-end scenarios: the Wine environment of the
build, running Windows programs, and the debug viewer tracecat."""
import contextlib
import os
import subprocess
import time
import unittest

SOURCE_DIR = os.environ.get("LUM_SOURCE_DIR") or os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
BUILD_DIR = os.environ.get("LUM_BUILD_DIR") or os.path.join(SOURCE_DIR, "build", "win")
NATIVE_BUILD_DIR = os.environ.get("LUM_NATIVE_BUILD_DIR") or os.path.join(SOURCE_DIR, "build", "native")
WINEENV = os.path.join(SOURCE_DIR, "tests", "kit", "wineenv.sh")


def _wine_environment():
    # Prepared on demand (display, prefix, warm server), so a scenario also
    # runs on its own, outside ctest and its fixtures.
    out = subprocess.run(["bash", "-c", f'. "{WINEENV}"; lum_prepare "{BUILD_DIR}" >/dev/null 2>&1; env -0'],
                         check=True, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                         stdin=subprocess.DEVNULL).stdout
    env = {}
    for item in out.split(b"\0"):
        if b"=" in item:
            k, v = item.split(b"=", 1)
            env[k.decode()] = v.decode(errors="replace")
    return env


ENV = _wine_environment()
# The launcher of this tree's Wine: "wine" for the 32-bit tree, the 64-bit
# loader for the 64-bit one (see tests/kit/wineenv.sh).
WINE = ENV.get("LUM_WINE", "wine")
# True in the 64-bit tree (build/win64), whose programs are 64-bit ones run in
# a 64-bit prefix: only for skipping what is true of 32-bit programs alone.
WIN64_TREE = ENV.get("WINEARCH") == "win64"


def build_file(name):
    return os.path.join(BUILD_DIR, name)


def work_dir(test_name):
    """A fresh folder under the build folder for one scenario's files."""
    d = os.path.join(BUILD_DIR, "e2e-work", test_name)
    subprocess.run(["rm", "-rf", d], check=True)
    os.makedirs(d)
    return d


def winpath(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def wine(args, timeout=120, env=None, **kw):
    """Runs a Windows program (in ENV's prefix, or in a private one's env);
    its output goes to files, never to a pipe that a freshly started
    wineserver could hold open."""
    kw.setdefault("stdout", subprocess.DEVNULL)
    kw.setdefault("stderr", subprocess.DEVNULL)
    return subprocess.run([WINE] + list(args), env=env or ENV, timeout=timeout, stdin=subprocess.DEVNULL, **kw)


def kill_image(*names):
    """Ends every process of the prefix running one of the program NAMES."""
    for name in names:
        wine(["taskkill", "/f", "/im", name], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def wine_output(args, timeout=120):
    """Runs a console program and returns (exit code, stdout text)."""
    import tempfile
    with tempfile.TemporaryFile() as out:
        p = wine(args, timeout=timeout, stdout=out)
        out.seek(0)
        return p.returncode, out.read().decode("latin-1").replace("\r\n", "\n")


def wait_for(predicate, timeout=10.0, step=0.05):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        if predicate():
            return True
        time.sleep(step)
    return predicate()


class TraceViewer:
    """tracecat running in the background; .text() is everything it received,
    .pieces() the received texts one by one."""

    def __init__(self, path):
        self.path = path

    def text(self):
        with open(self.path, "rb") as f:
            return f.read().decode("latin-1")

    def lines(self):
        return self.text().replace("\r\n", "\n").split("\n")

    def pieces(self):
        with open(self.path + ".pieces", "rb") as f:
            rows = f.read().decode("latin-1").split("\n")
        out = []
        for row in rows:
            if not row:
                continue
            n, text = row.split(":", 1)
            out.append(text.replace("\\r", "\r").replace("\\n", "\n"))
        return out


@contextlib.contextmanager
def tracecat(folder):
    path = os.path.join(folder, "trace.txt")
    for p in (path, path + ".pieces"):
        if os.path.exists(p):
            os.remove(p)
    proc = subprocess.Popen([WINE, build_file("tracecat.exe"), winpath(path), "--timeout=300"], env=ENV,
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        if not wait_for(lambda: os.path.exists(path + ".pieces"), timeout=30):
            raise RuntimeError("tracecat did not start")
        yield TraceViewer(path)
    finally:
        wine([build_file("tracecat.exe"), "--stop"])
        try:
            proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            proc.kill()


def main():
    unittest.main(verbosity=2)


# ---- Seeing and answering windows: uidriver, screenshots, locales -------------

def draw_window_frames():
    """Xvfb runs no window manager, so Wine's windows show no title bar or
    frame; with this setting of the prefix Wine draws them itself (for the
    programs started afterwards), and screenshots look like Windows."""
    wine(["reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed", "/t", "REG_SZ", "/d", "N", "/f"])


def screenshot(name):
    """Saves the whole screen as BUILD_DIR/screenshots/NAME.png; returns the path."""
    folder = os.path.join(BUILD_DIR, "screenshots")
    os.makedirs(folder, exist_ok=True)
    path = os.path.join(folder, name + ".png")
    subprocess.run(["import", "-window", "root", path], env=ENV, check=True, timeout=60,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return path


def ui_unescape(text):
    """Undoes uidriver's escapes (\\\\, \\r, \\n, \\t)."""
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            out.append({"\\": "\\", "r": "\r", "n": "\n", "t": "\t"}.get(text[i + 1], text[i + 1]))
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


def uidriver(args, timeout=60, extra_env=None):
    """Runs the test kit's uidriver with ARGS (see the top of uidriver.cpp).
    Returns (exit code, {key: [values in order]}), the texts unescaped. Texts
    come in uidriver's code page: give it the locale of the program it reads
    (extra_env, as from glibc_locale) when that is not the default one."""
    import tempfile
    fd, path = tempfile.mkstemp(prefix="uidriver-", suffix=".txt", dir=BUILD_DIR)
    os.close(fd)
    env = dict(ENV)
    env.update(extra_env or {})
    try:
        p = subprocess.run([WINE, build_file("uidriver.exe"), "--out=" + winpath(path)] + list(args), env=env,
                           timeout=timeout, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
        with open(path, "rb") as f:
            lines = f.read().decode("latin-1").split("\n")
    finally:
        os.remove(path)
    values = {}
    for line in lines:
        if "=" in line:
            key, value = line.split("=", 1)
            values.setdefault(key, []).append(ui_unescape(value))
    return p.returncode, values


def glibc_locale(name):
    """Wine takes a process's locale and ANSI code page from the C library's
    locale (LANG), which must be compiled for that. Compiles NAME (such as
    "he_IL.UTF-8" or "fr_FR.UTF-8") once into the build folder and returns the
    variables to add to ENV for a program that should run in it, or None when
    the locale sources are missing."""
    folder = os.path.join(BUILD_DIR, "locales")
    target = os.path.join(folder, name)
    if not os.path.isdir(target):
        os.makedirs(folder, exist_ok=True)
        lang, _, charmap = name.partition(".")
        p = subprocess.run(["localedef", "-i", lang, "-f", charmap or "UTF-8", target],
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if p.returncode not in (0, 1) or not os.path.isdir(target):
            return None
    return {"LOCPATH": folder, "LANG": name, "LC_ALL": name}


LUMPACK = os.path.join(NATIVE_BUILD_DIR, "tools", "lumpack", "lumpack")
PREFIX_C = os.path.join(ENV["WINEPREFIX"], "drive_c")


def make_package(folder, manifest, name="setup.exe"):
    """Writes MANIFEST (INI text; relative paths are taken from FOLDER) and
    builds it with the native lumpack on this build's stub.exe (or on the
    stub named by LUM_STUB_UNDER_TEST, to run a scenario against another
    build of the stub, an older one say). Returns the package's path."""
    ini = os.path.join(folder, os.path.splitext(name)[0] + ".ini")
    with open(ini, "w") as f:
        f.write(manifest)
    out = os.path.join(folder, name)
    subprocess.run([LUMPACK, "create", ini, "-o", out, "--stub",
                    os.environ.get("LUM_STUB_UNDER_TEST") or build_file("stub.exe")], check=True,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
    return out


def setup_temp_folders():
    """The launcher's SETUP_* folders in the prefix's temporary folder."""
    temp = os.path.join(PREFIX_C, "users", os.environ.get("USER", "root"), "Temp")
    if not os.path.isdir(temp):
        return []
    return sorted(n for n in os.listdir(temp) if n.startswith("SETUP_"))


def private_prefix(folder, **extra_env):
    """A copy of the build's prefix in FOLDER/prefix with its own wineserver,
    for tests that change the prefix (Windows version, trusted certificates,
    system32) and must not disturb the shared one. Returns its environment;
    end it with stop_prefix(env)."""
    prefix = os.path.join(folder, "prefix")
    subprocess.run(["rm", "-rf", prefix], check=True)
    subprocess.run(["cp", "-a", ENV["WINEPREFIX"], prefix], check=True)
    env = dict(ENV, WINEPREFIX=prefix, **extra_env)
    # The first call starts this prefix's own wineserver: not on a pipe.
    subprocess.run([WINE, "cmd", "/c", "exit"], env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=120)
    return env


def stop_prefix(env):
    """Stops a private prefix's wineserver and waits for it."""
    for flag in ("-k", "-w"):
        subprocess.run(["wineserver", flag], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
