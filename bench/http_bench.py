#!/usr/bin/env python3
"""Download throughput on loopback, in one run: HTTP_DownloadFile under Wine
(with and without a progress bar), its warm-up request alone, a bare WinINet
loop with 8192-byte reads under Wine, and curl. Prints MB/s and the ratios;
not a pass/fail test.

Under Wine, closing the warm-up's request drains the unread body while data
keeps arriving, which on loopback can be the whole file, so the whole call
swings with the warm-up. The figure compared with the raw loop is therefore
the transfer phase of the call with a bar: from the bar's start (after the
warm-up and the headers) to the end, the same phase the raw loop times.

usage: bench/http_bench.py [--size-mb 100] [--runs 3] [--build build/win]
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(HERE)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--size-mb", type=int, default=100)
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--build", default=os.path.join(SOURCE, "build", "win"))
    args = ap.parse_args()
    build = os.path.abspath(args.build)

    subprocess.run(["bash", os.path.join(SOURCE, "tests", "kit", "wineenv.sh"), "prepare", build], check=True,
                   stdout=subprocess.DEVNULL)
    os.environ["LUM_BUILD_DIR"] = build
    sys.path.insert(0, os.path.join(SOURCE, "tests", "e2e"))
    import lumtest  # noqa: E402  (needs the prepared prefix)

    size = args.size_mb * 1048576
    work = os.path.join(build, "bench-work", "http")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    port_file = os.path.join(work, "port")
    server = subprocess.Popen([sys.executable, os.path.join(SOURCE, "tests", "kit", "httpserver.py"),
                               "--port-file", port_file], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
    try:
        if not lumtest.wait_for(lambda: os.path.exists(port_file), timeout=15):
            raise SystemExit("test server did not start")
        with open(port_file) as f:
            port = int(f.read())
        url = f"http://127.0.0.1:{port}/file/bench.bin?size={size}"
        target = os.path.join(work, "bench.bin")
        httpget = lumtest.build_file("httpget.exe")

        def wine_s(*cmd, check_message=True, key="elapsed_ms"):
            code, out = lumtest.wine_output([httpget] + list(cmd), timeout=600)
            values = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
            if code != 0 or (check_message and values.get("message", "")):
                raise SystemExit(f"httpget failed: {out}")
            if key == "transfer_ms":
                transfer.append(int(values[key]) / 1000.0)
            return int(values["elapsed_ms"]) / 1000.0

        transfer = []
        def curl_s():
            out = subprocess.run(["curl", "-s", "--noproxy", "*", "-o", target, "-w", "%{time_total}", url],
                                 check=True, capture_output=True, text=True).stdout
            return float(out)

        runners = {
            "HTTP_DownloadFile + bar": lambda: wine_s("get", url, lumtest.winpath(target), "--bar",
                                                      key="transfer_ms"),
            "HTTP_DownloadFile": lambda: wine_s("get", url, lumtest.winpath(target)),
            "HTTP_WarmUp alone": lambda: wine_s("warmup", url, check_message=False),
            "raw WinINet, 8192-byte reads": lambda: wine_s("raw", url, lumtest.winpath(target)),
        }
        if shutil.which("curl"):
            runners["curl"] = curl_s
        times = {name: [] for name in runners}
        for _ in range(args.runs):
            for name, run in runners.items():
                seconds = run()
                if name != "HTTP_WarmUp alone":
                    if os.path.getsize(target) != size:
                        raise SystemExit(f"{name}: got {os.path.getsize(target)} of {size} bytes")
                    os.remove(target)
                times[name].append(seconds)
    finally:
        server.terminate()
        server.wait(timeout=10)
        shutil.rmtree(work, ignore_errors=True)

    mb = args.size_mb
    times["HTTP_DownloadFile + bar, transfer phase"] = transfer
    t = {name: statistics.median(values) for name, values in times.items()}
    print(f"{mb} MB from the loopback test server, median of {args.runs} runs (MB/s; seconds per run)")
    for name, seconds in t.items():
        runs = ", ".join(f"{v:.2f}" for v in times[name])
        print(f"  {name:40s} {mb / seconds:8.1f} MB/s   ({runs} s)")
    rate = {name: mb / seconds for name, seconds in t.items()}
    raw = rate["raw WinINet, 8192-byte reads"]
    print(f"  transfer phase / raw WinINet:        {rate['HTTP_DownloadFile + bar, transfer phase'] / raw:.2f}")
    print(f"  whole call + bar / raw WinINet:      {rate['HTTP_DownloadFile + bar'] / raw:.2f}")
    print(f"  whole call, no bar / raw WinINet:    {rate['HTTP_DownloadFile'] / raw:.2f}")
    if "curl" in rate:
        print(f"  transfer phase / curl:               {rate['HTTP_DownloadFile + bar, transfer phase'] / rate['curl']:.2f}")
        print(f"  raw WinINet / curl:                  {raw / rate['curl']:.2f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
