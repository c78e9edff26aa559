"""A setup is usually started from a downloads folder full of other files:
a library planted there under a system library's name must never be loaded
by the stub in place of the system's one."""
import os
import shutil
import struct
import unittest

import lumtest

PLANTED = ["USP10.dll", "MSLS31.dll", "RICHED32.DLL"]
STUB_COPY = "lumplantedstub.exe"

# Libraries Windows always takes from its own folder (its known libraries,
# or side-by-side through the manifest for comctl32): a static import of any
# other would be looked for beside the program first, before any code of the
# stub could stop it.
SYSTEM_ONLY = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "msvcrt.dll",
               "comctl32.dll", "ole32.dll", "oleaut32.dll", "shlwapi.dll", "comdlg32.dll", "psapi.dll",
               "ws2_32.dll", "imm32.dll"}


def pe_imports(path):
    """Names of the libraries a PE file imports."""
    with open(path, "rb") as f:
        data = f.read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections = struct.unpack_from("<H", data, pe + 6)[0]
    opt_size = struct.unpack_from("<H", data, pe + 20)[0]
    opt = pe + 24
    # The data directories follow 96 bytes of a PE32 optional header, 112 of
    # a PE32+ one (the 64-bit tree); the import table is the second one.
    magic = struct.unpack_from("<H", data, opt)[0]
    directories = opt + {0x10B: 96, 0x20B: 112}[magic]
    import_rva = struct.unpack_from("<I", data, directories + 8)[0]
    table = opt + opt_size
    spans = [struct.unpack_from("<IIII", data, table + 40 * i + 8) for i in range(sections)]

    def offset(rva):
        for vsize, vaddr, rsize, raddr in spans:
            if vaddr <= rva < vaddr + max(vsize, rsize):
                return rva - vaddr + raddr
        raise ValueError("RVA outside the sections")

    names = []
    at = offset(import_rva)
    while True:
        name_rva = struct.unpack_from("<I", data, at + 12)[0]
        if name_rva == 0:
            break
        start = offset(name_rva)
        names.append(data[start:data.index(b"\0", start)].decode("ascii"))
        at += 20
    return names


class PlantedLibraries(unittest.TestCase):
    def test_stub_imports_only_libraries_windows_takes_from_its_folder(self):
        imports = [n.lower() for n in pe_imports(lumtest.build_file("stub.exe"))]
        self.assertIn("kernel32.dll", imports)
        self.assertEqual(sorted(set(imports) - SYSTEM_ONLY), [],
                         "import these at run time from the system folder instead (LoadSystemLibrary)")

    def test_stub_never_loads_a_planted_library(self):
        work = lumtest.work_dir("planted_dll")
        shutil.copy(lumtest.build_file("stub.exe"), os.path.join(work, STUB_COPY))
        for name in PLANTED:
            shutil.copy(lumtest.build_file("plantdll.dll"), os.path.join(work, name))
        # Wine prefers its builtin libraries to a file beside the program,
        # which would hide the fault; native-first for this program only makes
        # it search the way Windows does.
        key = "HKCU\\Software\\Wine\\AppDefaults\\" + STUB_COPY
        for dll in ("usp10", "msls31", "riched32"):
            lumtest.wine(["reg", "add", key + "\\DllOverrides", "/v", dll, "/d", "native,builtin", "/f"])
        try:
            p = lumtest.wine([os.path.join(work, STUB_COPY)], cwd=work)
        finally:
            lumtest.wine(["reg", "delete", key, "/f"])
        self.assertEqual(p.returncode, 0)
        markers = [f for f in os.listdir(work) if f.endswith(".loaded")]
        self.assertEqual(markers, [], "libraries taken from beside the stub")

        # The fixture itself is sound: a plain load in the same folder takes it.
        shutil.copy(lumtest.build_file("sysprobe.exe"), os.path.join(work, "sysprobe.exe"))
        self.assertEqual(lumtest.wine([os.path.join(work, "sysprobe.exe"), "load", "MSLS31.dll"], cwd=work).returncode, 0)
        self.assertTrue(os.path.exists(os.path.join(work, "MSLS31.dll.loaded")))


if __name__ == "__main__":
    lumtest.main()
