#!/usr/bin/env python3
"""The stub's size and what it is made of, from the linker map.

    python3 bench/stub_size.py [build/win] [--top N] [--budget BYTES]

Prints the size of stub.exe as shipped, the file bytes of each output
section, the bytes by origin (libstdc++, the unwinder, zlib, our portable and
Win32 code, ...) and the largest input pieces and functions. With --budget
it exits 1 when the stub is larger than BYTES: the size test of the suite
runs it that way. With link-time optimisation our own code reaches the map
as the compiler's partition files; the function list still names it.
"""
import argparse
import collections
import os
import re
import struct
import sys

FILE_SECTIONS = {".text", ".data", ".rdata", ".eh_frame", ".pdata", ".xdata", ".idata", ".CRT", ".tls",
                 ".rsrc", ".reloc", ".gcc_except_table"}


def origin(path):
    name = os.path.basename(path)
    if "libstdc++" in path or "libsupc++" in path:
        return "libstdc++"
    if "libgcc_eh" in path or "unwind" in name:
        return "unwinder (libgcc_eh)"
    if "libgcc" in path:
        return "libgcc"
    if "libwinpthread" in path:
        return "winpthreads"
    if "libz.a" in path or "liblum_inflate" in path:
        return "zlib"
    layer = re.search(r"liblum_(\w+)\.a", path)
    if layer:
        return "ours: " + layer.group(1)
    if "ltrans" in name or ".obj" in name and "stub.dir" in path:
        return "ours and zlib's inflate: stub (LTO partitions, entry)"
    if "libmingwex" in path or "libmsvcrt" in path or "crt" in name or "libmingw32" in path:
        return "MinGW runtime"
    if re.search(r"lib(kernel32|user32|gdi32|advapi32|shell32|comctl32|psapi)\.a", path):
        return "import stubs"
    return "other"


def parse_map(path):
    """Yields (output section, input section, size, file, [(symbol, address)], address)."""
    pieces = []
    out = None
    pending = None
    started = False
    with open(path, errors="replace") as f:
        for line in f:
            line = line.rstrip("\n")
            if line.startswith("Linker script and memory map"):
                started = True
                continue
            if not started:
                continue
            m = re.match(r"^(\.\S+)\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s*$", line)
            if m:
                out = m.group(1)
                continue
            m = re.match(r"^(\.\S+)\s*$", line)
            if m and not line.startswith(" "):
                out = m.group(1)
                continue
            m = re.match(r"^ (\S+)\s*$", line)
            if m:
                pending = m.group(1)
                continue
            m = re.match(r"^ (\S+)?\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$", line)
            if m:
                section = m.group(1) or pending
                pending = None
                pieces.append([out, section, int(m.group(3), 16), m.group(4), [], int(m.group(2), 16)])
                continue
            m = re.match(r"^\s+0x([0-9a-f]+)\s+(\S+)\s*$", line)
            if m and pieces:
                pieces[-1][4].append((m.group(2), int(m.group(1), 16)))
    return pieces


def symbol_sizes(pieces):
    """Functions and data by name, each sized up to the next symbol or the end of its piece."""
    sizes = collections.Counter()
    for out, _, size, fname, syms, start in pieces:
        if out not in FILE_SECTIONS or not syms:
            continue
        syms = sorted(syms, key=lambda s: s[1])
        ends = [s[1] for s in syms[1:]] + [start + size]
        for (name, addr), end in zip(syms, ends):
            if end > addr:
                sizes[(name, origin(fname))] += end - addr
    return sizes


def section_file_sizes(exe):
    data = open(exe, "rb").read()
    lfanew = struct.unpack_from("<I", data, 0x3C)[0]
    count = struct.unpack_from("<H", data, lfanew + 6)[0]
    opt_size = struct.unpack_from("<H", data, lfanew + 20)[0]
    table = lfanew + 24 + opt_size
    result = []
    for i in range(count):
        name = data[table + 40 * i:table + 40 * i + 8].rstrip(b"\0").decode(errors="replace")
        raw = struct.unpack_from("<I", data, table + 40 * i + 16)[0]
        result.append((name, raw))
    return len(data), result


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("build", nargs="?", default=os.path.join(os.path.dirname(__file__), "..", "build", "win"))
    ap.add_argument("--top", type=int, default=15)
    ap.add_argument("--budget", type=int)
    args = ap.parse_args()
    exe = os.path.join(args.build, "stub.exe")
    total, sections = section_file_sizes(exe)
    print(f"stub.exe: {total} bytes ({total / 1024:.1f} KB)")
    print("  sections (file bytes): " + ", ".join(f"{n} {s}" for n, s in sections))
    mapfile = os.path.join(args.build, "stub.map")
    if os.path.exists(mapfile):
        pieces = [p for p in parse_map(mapfile) if p[0] in FILE_SECTIONS and p[2] > 0]
        by_origin = collections.Counter()
        by_piece = collections.Counter()
        for out, _, size, fname, _, _ in pieces:
            if out == ".rsrc":
                continue
            by_origin[origin(fname)] += size
            by_piece[(os.path.basename(fname), out)] += size
        print("  by origin (code and data, from the map):")
        for name, size in by_origin.most_common():
            print(f"    {size:8d}  {name}")
        print(f"  largest input pieces:")
        for (name, out), size in by_piece.most_common(args.top):
            print(f"    {size:8d}  {out:10s} {name}")
        print(f"  largest functions and data:")
        for (name, where), size in symbol_sizes(pieces).most_common(args.top):
            print(f"    {size:8d}  {name}  ({where})")
    else:
        print(f"  no linker map at {mapfile}")
    if args.budget is not None:
        if total > args.budget:
            print(f"FAIL: {total} bytes is above the budget of {args.budget} bytes")
            return 1
        print(f"within the budget of {args.budget} bytes ({args.budget - total} to spare)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
