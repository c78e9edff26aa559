"""The built stub is a valid PE (i386; x86-64 in the 64-bit test tree) with
its header at 256, starts under Wine, exits 0 and writes its start and end
lines to the debug channel."""
import struct
import unittest

import lumtest


class StubStart(unittest.TestCase):
    def test_pe_layout(self):
        with open(lumtest.build_file("stub.exe"), "rb") as f:
            head = f.read(4096)
        self.assertEqual(head[:2], b"MZ")
        self.assertEqual(struct.unpack_from("<I", head, 0x3C)[0], 256)
        self.assertEqual(head[256:260], b"PE\0\0")
        self.assertEqual(head[248:256], bytes(8), "the package-end mark's bytes must be free")
        machine, = struct.unpack_from("<H", head, 260)
        if lumtest.WIN64_TREE:
            self.assertEqual(machine, 0x8664, "x86-64 image (64-bit tree)")
        else:
            self.assertEqual(machine, 0x14C, "i386 image")
        subsystem, = struct.unpack_from("<H", head, 256 + 24 + 68)
        self.assertEqual(subsystem, 2, "GUI subsystem")

    def test_starts_and_traces(self):
        work = lumtest.work_dir("stub_start")
        with lumtest.tracecat(work) as viewer:
            p = lumtest.wine([lumtest.build_file("stub.exe"), "/hello=1"])
            self.assertEqual(p.returncode, 0)
            self.assertTrue(lumtest.wait_for(lambda: "STUB END" in viewer.text()))
            lines = viewer.lines()
        start = [l for l in lines if " ==== STUB START ====> " in l]
        end = [l for l in lines if " ==== STUB END ====> " in l]
        self.assertEqual(len(start), 1, lines)
        self.assertEqual(len(end), 1, lines)
        pid = start[0].split(" ", 1)[0]
        self.assertTrue(pid.isdigit(), start[0])
        self.assertTrue(start[0].endswith("/hello=1<"), start[0])
        self.assertTrue(end[0].startswith(pid + " "))


if __name__ == "__main__":
    lumtest.main()
