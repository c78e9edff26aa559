#!/usr/bin/env python3
"""The resident agent's cost on a machine where it runs all day, under Wine.

Idle: the agent's X_ copy (probing switched off) and the baseline (the kit's
idletimer: an empty GUI program with a one-second timer) run side by side
for --idle seconds; printed are the CPU seconds each used (from /proc of
their Linux processes) and their working set and private bytes (as Windows
reports them, through the kit's resprobe), with the differences.

Probes: the agent then probes the loopback update server once a second
(the offer is refused at the stamp test, so nothing but the INFO file is
fetched) --probes times; printed are the time of one probe beyond the
fixed waits of the INFO download (2 x 500 ms), from the trace lines "Fire"
and "GetOkToPerformAU=" as they arrive, and handles, GDI and USER objects
and memory after the first 10 and after all probes. Figures, not a test.

usage: bench/agent_idle.py [--idle 180] [--probes 100] [--build build/win] [--native build/native]
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(HERE)


def linux_pid(name):
    """The Linux process whose command line names the Windows program."""
    out = subprocess.run(["pgrep", "-f", name], capture_output=True, text=True).stdout.split()
    for pid in out:
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                if name.encode() in f.read():
                    return int(pid)
        except OSError:
            pass
    return None


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def rss_by_mapping(pid):
    """kB resident per mapped file (anonymous memory as "[anon]"), from smaps."""
    sizes, name = {}, None
    with open(f"/proc/{pid}/smaps") as f:
        for line in f:
            head = line.split()
            if head and "-" in head[0] and len(head) >= 5:
                name = os.path.basename(head[5]) if len(head) > 5 else "[anon]"
            elif line.startswith("Rss:"):
                sizes[name] = sizes.get(name, 0) + int(head[1])
    return sizes


def print_rss_difference(apid, bpid, top=12):
    """Where the agent's resident memory exceeds the baseline's, by mapping."""
    agent, base = rss_by_mapping(apid), rss_by_mapping(bpid)
    diff = sorted(((agent.get(k, 0) - base.get(k, 0), k) for k in set(agent) | set(base)), reverse=True)
    print("Linux RSS above the baseline, by mapping (kB): " +
          ", ".join(f"{k} {d:+d}" for d, k in diff[:top] if d))


def windows_pid(lumtest, trace_lines, exe_name):
    import agentkit
    pid = agentkit.pid_of_start(trace_lines, exe_name)
    if pid is None:
        # The copy's own start line is not always traced; its timer lines are.
        pid = next((l.split(" ", 1)[0] for l in trace_lines if " AutoUpdateTimerCount=" in l), None)
    return pid


def resources(lumtest, pid):
    rc, text = lumtest.wine_output([lumtest.build_file("resprobe.exe"), str(pid)])
    return dict(l.split("=", 1) for l in text.split("\n") if "=" in l) if rc == 0 else {}


def write_original(path, interval):
    with open(path, "w", newline="") as f:
        f.write(f"[OriginalSetup]\r\nVersionOriginal=1\r\nProbeSecondsInterval={interval}\r\n"
                "ProbeSecondsLast=0\r\nStamp=5\r\n")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--idle", type=int, default=180)
    ap.add_argument("--probes", type=int, default=100)
    ap.add_argument("--build", default=os.path.join(SOURCE, "build", "win"))
    ap.add_argument("--native", default=os.path.join(SOURCE, "build", "native"))
    a = ap.parse_args()
    os.environ["LUM_BUILD_DIR"] = os.path.abspath(a.build)
    os.environ["LUM_NATIVE_BUILD_DIR"] = os.path.abspath(a.native)
    sys.path.insert(0, os.path.join(SOURCE, "tests", "e2e"))
    import lumtest
    from test_http import start_server, stop_server

    work = os.path.join(a.build, "bench_agent")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(os.path.join(work, "srv"))
    server, port = start_server(os.path.join(work, "srv"), "--root", os.path.join(work, "srv"))
    location = f"http://127.0.0.1:{port}/data"
    with open(os.path.join(work, "srv", "info.ini"), "w", newline="") as f:
        f.write(f"[NewSetup]\r\nDownloadURL_UPDATE={location}\r\nNameOfUpdateFile=new.exe\r\nVersionNew=2\r\n"
                "Stamp=5\r\n")
    with open(os.path.join(work, "data.txt"), "w") as f:
        f.write("x\n")
    write_original(os.path.join(work, "info.original"), -1)
    agent = lumtest.make_package(work, f"""[Options]
AutoUpdateAgent = 1
[Settings]
UpdateLocation = {location}
UpdateInfo = {location}/info.ini
AgentFileName = agent.exe
[Files]
data.txt = data.txt
""", name="agent.exe")
    baseline = subprocess.Popen([lumtest.WINE, lumtest.build_file("idletimer.exe"), str(a.idle + a.probes * 3 + 120)],
                                env=lumtest.ENV, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
    try:
        with lumtest.tracecat(work) as viewer:
            lumtest.wine([agent])
            lumtest.wait_for(lambda: "X_agent.exe" in viewer.text() and linux_pid("X_agent.exe"), timeout=30)
            time.sleep(5)
            apid, bpid = linux_pid("X_agent.exe"), linux_pid("idletimer.exe")
            wapid = windows_pid(lumtest, viewer.lines(), "X_agent.exe")
            res = lambda: resources(lumtest, wapid)
            a0, b0 = cpu_seconds(apid), cpu_seconds(bpid)
            r0 = res()
            time.sleep(a.idle)
            a1, b1 = cpu_seconds(apid), cpu_seconds(bpid)
            r1 = res()
            print(f"idle {a.idle} s: agent CPU {a1 - a0:.2f} s, baseline CPU {b1 - b0:.2f} s, "
                  f"difference {(a1 - a0) - (b1 - b0):+.2f} s")
            with open(f"/proc/{apid}/status") as f:
                arss = next(l for l in f if l.startswith("VmRSS")).split()[1]
            with open(f"/proc/{bpid}/status") as f:
                brss = next(l for l in f if l.startswith("VmRSS")).split()[1]
            print(f"Linux RSS: agent {arss} kB, baseline {brss} kB, difference {int(arss) - int(brss):+d} kB")
            print_rss_difference(apid, bpid)
            print(f"agent (Windows view) at idle start: {r0}")
            print(f"agent (Windows view) at idle end:   {r1}")

            write_original(os.path.join(work, "info.original"), 1)
            seen, times, after10 = 0, [], None
            fire_at = None
            deadline = time.monotonic() + a.probes * 5 + 60
            while seen < a.probes and time.monotonic() < deadline:
                lines = viewer.lines()
                fires = sum(1 for l in lines if " Fire  " in l)
                dones = sum(1 for l in lines if " GetOkToPerformAU=" in l)
                if fires > dones and fire_at is None:
                    fire_at = time.monotonic()
                if dones > seen:
                    if fire_at is not None:
                        times.append(time.monotonic() - fire_at - 1.0)
                    fire_at = None
                    seen = dones
                    if seen == 10:
                        after10 = res()
                time.sleep(0.005)
            r2 = res()
            print(f"{seen} probes; time of one probe beyond the fixed 1 s of waits: median "
                  f"{statistics.median(times) * 1000:.0f} ms, min {min(times) * 1000:.0f} ms, "
                  f"max {max(times) * 1000:.0f} ms" if times else f"{seen} probes, no timings")
            print(f"after 10 probes: {after10}")
            print(f"after {seen} probes: {r2}")
            print_rss_difference(apid, bpid)
            lumtest.wine([agent, "/STOP=0"])
    finally:
        baseline.kill()
        stop_server(server)


if __name__ == "__main__":
    main()
