#!/usr/bin/env python3
"""Properties of the shipped stub.exe that the build must keep: its size
budget and the protections in its PE header.

Run by CTest with LUM_BUILD_DIR (the Windows tree) and LUM_STUB_BUDGET
(bytes) in the environment; a single case can be named on the command line
(StubImage.test_size_budget).
"""
import os
import struct
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tools"))
from pe_header_at_256 import pe_checksum  # noqa: E402

IMAGE_FILE_RELOCS_STRIPPED = 0x0001
DYNAMIC_BASE = 0x0040
NX_COMPAT = 0x0100
TERMINAL_SERVER_AWARE = 0x8000
DIR_RESOURCE = 2
DIR_BASERELOC = 5


class StubImage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.path = os.path.join(os.environ.get("LUM_BUILD_DIR", "build/win"), "stub.exe")
        with open(cls.path, "rb") as f:
            cls.data = f.read()
        d = cls.data
        cls.lfanew = struct.unpack_from("<I", d, 0x3C)[0]
        cls.opt = cls.lfanew + 24
        cls.characteristics = struct.unpack_from("<H", d, cls.lfanew + 22)[0]
        cls.magic = struct.unpack_from("<H", d, cls.opt)[0]
        cls.dll_characteristics = struct.unpack_from("<H", d, cls.opt + 70)[0]
        count = struct.unpack_from("<I", d, cls.opt + 92)[0]
        cls.directories = [struct.unpack_from("<II", d, cls.opt + 96 + 8 * i) for i in range(count)]
        sections = struct.unpack_from("<H", d, cls.lfanew + 6)[0]
        table = cls.opt + struct.unpack_from("<H", d, cls.lfanew + 20)[0]
        cls.sections = {d[table + 40 * i:table + 40 * i + 8].rstrip(b"\0").decode(): struct.unpack_from(
            "<IIII", d, table + 40 * i + 8) for i in range(sections)}

    def test_size_budget(self):
        budget = int(os.environ["LUM_STUB_BUDGET"])
        self.assertLessEqual(len(self.data), budget,
                             "stub.exe has grown past its budget: see bench/stub_size.py for what it is made of")

    def test_protections(self):
        self.assertEqual(self.data[self.lfanew:self.lfanew + 4], b"PE\0\0")
        self.assertEqual(self.magic, 0x10B, "a 32-bit image")
        flags = self.dll_characteristics
        self.assertTrue(flags & DYNAMIC_BASE, "ASLR: dynamic base")
        self.assertTrue(flags & NX_COMPAT, "DEP: NX compatible")
        self.assertTrue(flags & TERMINAL_SERVER_AWARE, "terminal-server aware")
        # A dynamic base is worth nothing without the relocations to move the image.
        self.assertFalse(self.characteristics & IMAGE_FILE_RELOCS_STRIPPED, "relocations stripped")
        rva, size = self.directories[DIR_BASERELOC]
        self.assertGreater(size, 0, "no base relocation directory")
        self.assertIn(".reloc", self.sections)
        # The manifest and icon ride in the resources.
        self.assertGreater(self.directories[DIR_RESOURCE][1], 0, "no resources")
        self.assertIn(b"requestedExecutionLevel", self.data)

    def test_header_place_and_checksum(self):
        self.assertEqual(self.lfanew, 0x100, "the PE header sits at 256")
        self.assertEqual(self.data[248:256], bytes(8), "bytes 248 to 255 are free for the package-end mark")
        at = self.opt + 64
        stored = struct.unpack_from("<I", self.data, at)[0]
        self.assertEqual(stored, pe_checksum(self.data, at))


if __name__ == "__main__":
    unittest.main()
