"""A package built by lumpack from the real stub.exe and then signed
(Authenticode, osslsigncode, a throw-away self-signed certificate) reads
under Wine: win_tests' SignedPackage test opens it with TGFileInfo and walks
its entries, which end before the certificate table."""
import os
import shutil
import subprocess
import unittest

import lumtest

LUMPACK = os.path.join(lumtest.NATIVE_BUILD_DIR, "tools", "lumpack", "lumpack")
TOKEN = "Signed-Product-Token-9"


class SignedPackage(unittest.TestCase):
    def setUp(self):
        for tool in ("openssl", "osslsigncode"):
            if not shutil.which(tool):
                self.skipTest(f"{tool} is not installed")
        if not os.access(LUMPACK, os.X_OK):
            self.skipTest(f"no native lumpack at {LUMPACK}")

    def test_signed_package_reads_under_wine(self):
        work = lumtest.work_dir("signed_package")
        with open(os.path.join(work, "Engine.exe"), "wb") as f:
            f.write(b"MZ" + os.urandom(30000))
        with open(os.path.join(work, "notes.txt"), "w") as f:
            f.write("signed\n" * 2000)
        with open(os.path.join(work, "pkg.ini"), "w") as f:
            f.write(f"""[Package]
Stub = {lumtest.build_file("stub.exe")}
[Options]
ShowActivityBar = 1
[Settings]
AgentFileName = SignedAgent.exe
IdentityToken = {TOKEN}
[Launch]
File = Engine.exe
Arguments = /signed
[Files]
Engine.exe = Engine.exe
notes.txt = notes.txt
""")
        run = lambda *a: subprocess.run(list(a), cwd=work, capture_output=True, text=True)
        r = run(LUMPACK, "create", "pkg.ini", "-o", "pkg.exe")
        self.assertEqual(r.returncode, 0, r.stderr)
        r = run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "key.pem", "-out", "cert.pem",
                "-days", "2", "-subj", "/CN=Lumidor Test Signer")
        self.assertEqual(r.returncode, 0, r.stderr)
        r = run("osslsigncode", "sign", "-certs", "cert.pem", "-key", "key.pem", "-in", "pkg.exe", "-out", "signed.exe")
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        signed = os.path.join(work, "signed.exe")
        self.assertGreater(os.path.getsize(signed), os.path.getsize(os.path.join(work, "pkg.exe")))

        env = dict(lumtest.ENV, LUM_SIGNED_PACKAGE=lumtest.winpath(signed), LUM_SIGNED_TOKEN=TOKEN)
        out_path = os.path.join(work, "gtest.txt")
        with open(out_path, "wb") as out:
            p = subprocess.run([lumtest.WINE, lumtest.build_file("win_tests.exe"), "--gtest_filter=SignedPackage.*"],
                               env=env, stdout=out, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, timeout=180)
        with open(out_path, "rb") as f:
            text = f.read().decode("latin-1")
        self.assertEqual(p.returncode, 0, text)
        self.assertIn("[       OK ] SignedPackage.ReadsThroughTheMark", text)
        self.assertNotIn("SKIPPED", text)


if __name__ == "__main__":
    unittest.main()
