#!/usr/bin/env python3
"""The demo: builds the demo package with lumpack, runs it under Wine, and
shows where the sample engine installed the files, the engine's exit code,
the launcher's trace and the screenshots of the run."""
import os
import subprocess
import sys
import time

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(TOP, "tests", "e2e"))
os.environ.setdefault("LUM_BUILD_DIR", os.path.join(TOP, "build", "win"))
import lumtest  # noqa: E402

WIN = lumtest.BUILD_DIR
DEMO = os.path.join(WIN, "demo")
LUMPACK = os.path.join(TOP, "build", "native", "tools", "lumpack", "lumpack")


def main():
    os.makedirs(DEMO, exist_ok=True)
    package = os.path.join(DEMO, "DemoSetup.exe")
    subprocess.run([LUMPACK, "create", os.path.join(TOP, "examples", "demo", "demo.ini"), "-o", package,
                    "--stub", lumtest.build_file("stub.exe")], check=True, stdout=subprocess.DEVNULL)
    target = os.path.join(DEMO, "installed")
    subprocess.run(["rm", "-rf", target], check=True)
    lumtest.draw_window_frames()

    with lumtest.tracecat(DEMO) as viewer:
        stub = subprocess.Popen([lumtest.WINE, package, "/Target=" + lumtest.winpath(target)], env=lumtest.ENV,
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        started = time.monotonic()
        shots = []
        # The progress window is made hidden and shown once the run starts.
        def progress_visible():
            code, found = lumtest.uidriver(["window", "--title=Lumidor Demo Setup"])
            return code == 0 and found.get("visible") == ["1"]
        if lumtest.wait_for(progress_visible, timeout=20, step=0.1):
            # The run shows the window a second before it extracts; the files
            # are out (and the bar full) a moment after that.
            time.sleep(1.4)
            shots.append(lumtest.screenshot("demo-progress"))
        code, found = lumtest.uidriver(["--wait=20", "window", "--title=Sample Setup"])
        if code == 0:
            time.sleep(0.5)
            shots.append(lumtest.screenshot("demo-engine"))
        exit_code = stub.wait(timeout=120)
        took = time.monotonic() - started
        lumtest.wait_for(lambda: "STUB END" in viewer.text(), timeout=5)
        trace = [l for l in viewer.lines() if l.strip()]

    print(f"Package:        {package} ({os.path.getsize(package)} bytes)")
    print(f"Run took:       {took:.1f} s")
    print(f"Engine's exit code, passed on by the launcher: {exit_code}")
    print(f"Installed into: {target}")
    for root, _, files in os.walk(target):
        for name in sorted(files):
            path = os.path.join(root, name)
            print(f"    {os.path.relpath(path, target)} ({os.path.getsize(path)} bytes)")
    for shot in shots:
        print(f"Screenshot:     {shot}")
    print("Launcher trace:")
    for line in trace:
        print("    " + line)
    ok = exit_code == 0 and os.path.exists(os.path.join(target, "readme.txt"))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
