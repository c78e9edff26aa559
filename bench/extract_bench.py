#!/usr/bin/env python3
"""Extraction throughput under Wine, in one run on the same generated
payloads: the stub's extraction (its "UnCompressTime" trace line: from the
first volume's opening to the last file written; with "/hide", and again
with its window shown), the limit (bench/
inflate_limit.cpp: one read per entry, inflate into a 1 MiB buffer written as
it fills), and an NSIS installer of the same payload (SetCompressor zlib, run
silently). Also the stub's size and its peak memory. Prints figures and
ratios; not a pass/fail test.

Payloads: "mixed" (random, text, zero-filled files and 1,000 small files),
"small" (many files of 1 to 4 KB), "large" (one file of half random, half
zeros: peak memory while extracting it).

With --before STUB, every payload is also packed on that stub (an older
build, say) and each run measures it too, hidden and shown, back to back with
the limit and this build's stub: the ratios of before and after come from one
run.

usage: bench/extract_bench.py [--mixed-mb 200] [--small-files 5000]
                              [--large-mb 500] [--runs 3] [--no-nsis] [--only KIND] [--verbose]
                              [--before STUB] [--build build/win] [--native build/native]
"""
import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(HERE)
MB = 1024 * 1024


def log(text):
    print(text, flush=True)


# ---- Payloads -------------------------------------------------------------------

def text_bytes(rng, n):
    words = [w.encode() for w in ("install setup file folder version update launcher package entry volume data "
                                  "the of and to a in is for with on registry window progress").split()]
    block = bytearray()
    while len(block) < 256 * 1024:
        block += b" ".join(rng.choice(words) for _ in range(rng.randint(6, 14))) + b"\r\n"
    out = bytearray()
    while len(out) < n:  # blocks with a varying start, so that files differ
        s = rng.randrange(len(block) // 2)
        out += block[s:]
    return bytes(out[:n])


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def make_payload(kind, folder, args):
    """Writes the payload once (a marker names its parameters); returns its size in bytes."""
    params = "%s %d %d %d" % (kind, args.mixed_mb, args.small_files, args.large_mb)
    marker = folder + ".made"
    if os.path.exists(marker) and open(marker).read() == params:
        return sum(os.path.getsize(os.path.join(d, f)) for d, _, fs in os.walk(folder) for f in fs)
    shutil.rmtree(folder, ignore_errors=True)
    rng = random.Random(7)
    if kind == "mixed":
        tenth = args.mixed_mb * MB // 10
        for i in range(7):  # 35 %: random (stored)
            write(os.path.join(folder, "bin", "blob%d.dat" % i), rng.randbytes(tenth // 2))
        for i in range(7):  # 35 %: text (about 3:1)
            write(os.path.join(folder, "doc", "text%d.txt" % i), text_bytes(rng, tenth // 2))
        for i in range(4):  # 20 %: zeros (1000:1)
            write(os.path.join(folder, "zero", "zero%d.bin" % i), bytes(tenth // 2))
        for i in range(1000):  # 10 %: small files of text and random
            n = tenth // 1000
            data = text_bytes(rng, n) if i % 2 else rng.randbytes(n)
            write(os.path.join(folder, "small", "d%02d" % (i // 100), "f%04d.dat" % i), data)
    elif kind == "small":
        for i in range(args.small_files):
            n = rng.randint(1024, 4096)
            data = text_bytes(rng, n) if i % 2 else rng.randbytes(n)
            write(os.path.join(folder, "d%02d" % (i // 250), "f%05d.dat" % i), data)
    else:
        os.makedirs(folder)
        with open(os.path.join(folder, "large.bin"), "wb") as f:
            for i in range(args.large_mb):
                f.write(rng.randbytes(MB) if i % 2 else bytes(MB))
    with open(marker, "w") as f:
        f.write(params)
    return sum(os.path.getsize(os.path.join(d, f)) for d, _, fs in os.walk(folder) for f in fs)


# ---- Runs -----------------------------------------------------------------------

class PeakWatcher(threading.Thread):
    """Polls VmHWM of every process whose command line names `needle`."""

    def __init__(self, needle):
        super().__init__(daemon=True)
        self.needle = needle.encode()
        self.peak_kb = 0
        self.stop = False

    def run(self):
        while not self.stop:
            for pid in os.listdir("/proc"):
                if not pid.isdigit() or int(pid) == os.getpid():
                    continue
                try:
                    with open("/proc/%s/cmdline" % pid, "rb") as f:
                        if self.needle not in f.read():
                            continue
                    with open("/proc/%s/status" % pid) as f:
                        m = re.search(r"VmHWM:\s+(\d+) kB", f.read())
                    if m:
                        self.peak_kb = max(self.peak_kb, int(m.group(1)))
                except OSError:
                    pass
            time.sleep(0.05)


def warm(path):
    # The runs before left files to write back and deleted folders to free:
    # done now, that work does not land in the next run's time.
    os.sync()
    with open(path, "rb") as f:
        while f.read(8 * MB):
            pass


def run_stub(lumtest, package, hide=True):
    """Extraction ms (trace), wall ms, peak bytes (/proc VmHWM) and the
    probe's report of the stub's peak working set."""
    work = os.path.dirname(package)
    report = os.path.join(work, "report.txt")
    if os.path.exists(report):
        os.remove(report)
    warm(package)
    watcher = PeakWatcher(os.path.basename(package))
    with lumtest.tracecat(work) as viewer:
        watcher.start()
        t0 = time.monotonic()
        lumtest.wine([package] + (["/hide"] if hide else []), timeout=1800)
        wall = (time.monotonic() - t0) * 1000
        watcher.stop = True
        lumtest.wait_for(lambda: "STUB END" in viewer.text(), timeout=10)
        text = viewer.text()
    m = re.search(r"UnCompressTime: (\d+) MS", text)
    probe_peak = 0
    if os.path.exists(report):
        m2 = re.search(r"peak=(\d+),", open(report).read())
        probe_peak = int(m2.group(1)) if m2 else 0
    return (int(m.group(1)) if m else None), wall, watcher.peak_kb * 1024, probe_peak


def run_limit(lumtest, exe, package, out_dir, out_win):
    shutil.rmtree(out_dir, ignore_errors=True)
    warm(package)
    t0 = time.monotonic()
    rc, text = lumtest.wine_output([exe, lumtest.winpath(package), out_win], timeout=1800)
    wall = (time.monotonic() - t0) * 1000
    shutil.rmtree(out_dir, ignore_errors=True)
    m = re.search(r"elapsed_ms=(\d+) bytes=(\d+)", text)
    if rc != 0 or not m:
        raise RuntimeError("inflate_limit failed: %s" % text)
    return int(m.group(1)), wall, int(m.group(2))


def run_nsis(lumtest, installer, out_dir, out_win):
    shutil.rmtree(out_dir, ignore_errors=True)
    warm(installer)
    t0 = time.monotonic()
    lumtest.wine([installer, "/S", "/D=" + out_win], timeout=1800)
    wall = (time.monotonic() - t0) * 1000
    size = sum(os.path.getsize(os.path.join(d, f)) for d, _, fs in os.walk(out_dir) for f in fs)
    shutil.rmtree(out_dir, ignore_errors=True)
    return wall, size


def run_by_run(pairs):
    """The ratios of limit to stub of each run and their median, when there is more than one run."""
    ratios = sorted(l / st for l, st in pairs if l and st)
    if len(ratios) < 2:
        return ""
    return "; run by run %s, median %.2f" % (" ".join("%.2f" % r for r in ratios), ratios[len(ratios) // 2])


def tree_is_64_bit(build):
    """The 64-bit tree (build/win64) runs its programs under a 64-bit Wine."""
    with open(os.path.join(build, "wine-arch")) as f:
        return f.read().strip() == "win64"


def build_limit(build, work):
    exe = os.path.join(work, "inflate_limit.exe")
    src = os.path.join(HERE, "inflate_limit.cpp")
    triple = "x86_64-w64-mingw32" if tree_is_64_bit(build) else "i686-w64-mingw32"
    if not os.path.exists(exe) or os.path.getmtime(exe) < os.path.getmtime(src):
        subprocess.run([triple + "-g++-posix", "-std=c++20", "-O2", "-static", "-s", "-o", exe, src,
                        "/usr/%s/lib/libz.a" % triple], check=True)
    return exe


def build_nsis(payload, installer, win64):
    if os.path.exists(installer) and os.path.getmtime(installer) > os.path.getmtime(payload + ".made"):
        return True
    if not shutil.which("makensis"):
        return False
    nsi = installer[:-4] + ".nsi"
    with open(nsi, "w") as f:
        f.write('Unicode %s\nSetCompressor zlib\nOutFile "%s"\nInstallDir "$TEMP\\nsis_bench"\n'
                'RequestExecutionLevel user\nSilentInstall silent\nSection\nSetOutPath "$INSTDIR"\n'
                'File /r "%s/*"\nSectionEnd\n' % ("true" if win64 else "false", installer, payload))
    # A 64-bit Wine starts 64-bit programs only: there NSIS's 64-bit flavour.
    target = ["-XTarget amd64-unicode"] if win64 else []
    subprocess.run(["makensis", "-V1"] + target + [nsi], check=True, stdout=subprocess.DEVNULL)
    return True


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--mixed-mb", type=int, default=200)
    ap.add_argument("--small-files", type=int, default=5000)
    ap.add_argument("--large-mb", type=int, default=500)
    ap.add_argument("--runs", type=int, default=3,
                    help="runs of each program; the best time of each is taken")
    ap.add_argument("--no-nsis", action="store_true")
    ap.add_argument("--verbose", action="store_true", help="print the times of every run")
    ap.add_argument("--only", choices=["mixed", "small", "large"], action="append",
                    help="run only this payload (may be given more than once)")
    ap.add_argument("--build", default=os.path.join(SOURCE, "build", "win"))
    ap.add_argument("--native", default=os.path.join(SOURCE, "build", "native"))
    ap.add_argument("--before", help="another stub.exe, measured in the same runs")
    args = ap.parse_args()
    build, native = os.path.abspath(args.build), os.path.abspath(args.native)

    had_xvfb = os.path.exists(os.path.join(build, "xvfb.pid"))
    subprocess.run(["bash", os.path.join(SOURCE, "tests", "kit", "wineenv.sh"), "prepare", build], check=True,
                   stdout=subprocess.DEVNULL)
    os.environ["LUM_BUILD_DIR"] = build
    os.environ["LUM_NATIVE_BUILD_DIR"] = native
    sys.path.insert(0, os.path.join(SOURCE, "tests", "e2e"))
    import lumtest  # noqa: E402  (needs the prepared prefix)

    work = os.path.join(build, "bench-extract")
    os.makedirs(work, exist_ok=True)
    limit = build_limit(build, work)
    probe = lumtest.build_file("extractprobe.exe")
    # The limit and NSIS write where the stub does: the prefix's temporary folder.
    user = os.environ.get("USER", "root")
    temp_out = os.path.join(lumtest.PREFIX_C, "users", user, "Temp")
    temp_win = "C:\\users\\%s\\Temp\\" % user
    stub_size = os.path.getsize(lumtest.build_file("stub.exe"))

    def package(name, folders, stub=None):
        ini = ("[Files]\nprobe.exe = %s\n[Folders]\n%s\n[Launch]\nFile = probe.exe\nArguments = /Report=%s\n"
               % (probe, folders, lumtest.winpath(os.path.join(work, "report.txt"))))
        out = os.path.join(work, name + ".exe")
        t0 = time.monotonic()
        if stub:
            os.environ["LUM_STUB_UNDER_TEST"] = os.path.abspath(stub)
        try:
            lumtest.make_package(work, ini, name + ".exe")
        finally:
            os.environ.pop("LUM_STUB_UNDER_TEST", None)
        return out, time.monotonic() - t0

    # The baseline: a package of the probe alone, for the stub's fixed waits and memory.
    base_pkg, _ = package("baseline", "")
    base = run_stub(lumtest, base_pkg)
    log("stub.exe: %d bytes" % stub_size)
    log("baseline run (probe only): wall %.0f ms (the run's fixed waits), peak %.1f MB (/proc VmHWM), "
        "%.1f MB (PeakWorkingSetSize)" % (base[1], base[2] / MB, base[3] / MB))
    log("")
    for kind in args.only or ("mixed", "small", "large"):
        folder = os.path.join(work, "payload-" + kind)
        size = make_payload(kind, folder, args)
        pkg, pack_s = package(kind, folder)
        before_pkg = package(kind + "-before", folder, args.before)[0] if args.before else None
        installer = os.path.join(work, "nsis-%s.exe" % kind)
        have_nsis = not args.no_nsis and build_nsis(folder, installer, tree_is_64_bit(build))
        log("%s: %.1f MB in %d files, package %.1f MB (lumpack %.1f s)"
            % (kind, size / MB, sum(len(fs) for _, _, fs in os.walk(folder)), os.path.getsize(pkg) / MB, pack_s))
        best = {}
        pairs = []  # (limit, stub) of each run, measured back to back
        before_pairs = []  # (limit, the --before stub) of each run
        shown_pairs = []  # (limit, this build's stub with its window shown) of each run
        before_shown_pairs = []  # (limit, the --before stub shown) of each run
        for run in range(args.runs):
            # The order alternates, so that neither side always runs while
            # the system still writes back the files of the one before.
            if run % 2:
                stub_ms, stub_wall, peak, probe_peak = run_stub(lumtest, pkg)
            lim_ms, lim_wall, lim_bytes = run_limit(lumtest, limit, pkg, os.path.join(temp_out, "limit_out"),
                                                  temp_win + "limit_out")
            if not run % 2:
                stub_ms, stub_wall, peak, probe_peak = run_stub(lumtest, pkg)
            if before_pkg:
                before_ms = run_stub(lumtest, before_pkg)[0]
                best["before"] = min(best.get("before", before_ms), before_ms)
                before_pairs.append((lim_ms, before_ms))
            pairs.append((lim_ms, stub_ms))
            if args.verbose:
                log("    run %d (%s first): limit %d ms, stub %d ms" % (run + 1, "stub" if run % 2 else "limit",
                                                                     lim_ms, stub_ms))
            # Shown, this build and the --before stub take turns going first too.
            for shown_pkg in ((before_pkg, pkg) if run % 2 else (pkg, before_pkg)):
                if not shown_pkg:
                    continue
                ms = run_stub(lumtest, shown_pkg, hide=False)[0]
                if shown_pkg == pkg:
                    shown_ms = ms
                    shown_pairs.append((lim_ms, ms))
                else:
                    best["before_shown"] = min(best.get("before_shown", ms), ms)
                    before_shown_pairs.append((lim_ms, ms))
            nsis_wall, nsis_bytes = (run_nsis(lumtest, installer, os.path.join(temp_out, "nsis_out"),
                                              temp_win + "nsis_out") if have_nsis else (None, None))
            for k, v in (("lim", lim_ms), ("lim_wall", lim_wall), ("stub", stub_ms), ("stub_wall", stub_wall),
                         ("shown", shown_ms),
                         ("nsis", nsis_wall)):
                if v is not None:
                    best[k] = min(best.get(k, v), v)
            best["peak"] = max(best.get("peak", 0), peak)
            best["probe_peak"] = max(best.get("probe_peak", 0), probe_peak)
        # Process start and exit under Wine, as the limit's wall time shows it.
        start_cost = best["lim_wall"] - best["lim"]
        mbs = lambda ms: size / MB / (ms / 1000) if ms else float("nan")  # noqa: E731
        log("  limit        %7.0f ms  %7.1f MB/s   (wall %.0f ms; %.0f MB written)"
            % (best["lim"], mbs(best["lim"]), best["lim_wall"], lim_bytes / MB))
        log("  stub         %7.0f ms  %7.1f MB/s   %.2f of the limit   (wall %.0f ms, of which about %.0f ms fixed "
            "waits and clean-up)" % (best["stub"], mbs(best["stub"]), best["lim"] / best["stub"], best["stub_wall"],
                                     best["stub_wall"] - best["stub"]))
        if len(pairs) > 1:
            ratios = sorted(l / st for l, st in pairs if l and st)
            log("  stub against the limit run by run: %s (median %.2f)"
                % (" ".join("%.2f" % r for r in ratios), ratios[len(ratios) // 2]))
        if "before" in best:
            ratios = sorted(l / st for l, st in before_pairs if l and st)
            log("  before       %7.0f ms  %7.1f MB/s   %.2f of the limit   (%s; run by run %s)"
                % (best["before"], mbs(best["before"]), best["lim"] / best["before"], args.before,
                   " ".join("%.2f" % r for r in ratios)))
        log("  stub, window shown %7.0f ms  %7.1f MB/s   %.2f of the limit   (the progress bars repaint%s)"
            % (best["shown"], mbs(best["shown"]), best["lim"] / best["shown"], run_by_run(shown_pairs)))
        if "before_shown" in best:
            log("  before, window shown %7.0f ms  %7.1f MB/s   %.2f of the limit   (%s%s)"
                % (best["before_shown"], mbs(best["before_shown"]), best["lim"] / best["before_shown"],
                   args.before, run_by_run(before_shown_pairs)))
        if "nsis" in best:
            nsis_ms = best["nsis"] - start_cost
            log("  NSIS (zlib)  %7.0f ms  %7.1f MB/s   stub is %.2fx as fast   (wall %.0f ms less %.0f ms process "
                "start; %.0f MB written)" % (nsis_ms, mbs(nsis_ms), nsis_ms / best["stub"], best["nsis"], start_cost,
                                             nsis_bytes / MB))
        log("  stub peak memory: %.1f MB (/proc VmHWM), %.1f MB PeakWorkingSetSize; %.1f MB above the baseline"
            % (best["peak"] / MB, best["probe_peak"] / MB, (best["peak"] - base[2]) / MB))
    if not had_xvfb:
        subprocess.run(["bash", os.path.join(SOURCE, "tests", "kit", "wineenv.sh"), "cleanup", build],
                       stdout=subprocess.DEVNULL)


if __name__ == "__main__":
    main()
