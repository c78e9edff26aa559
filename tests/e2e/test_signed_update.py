"""An update published with lumpack alone (keygen, an agent package that
pins the key, release with the key), served by the test HTTP server, and a
resident agent that takes it; and the feeds such an agent refuses, each
with its run-log line and nothing run or stopped."""
import os
import shutil
import subprocess

import lumtest
from updatekit import AgentCycleCase, ini_value, read


class SignedUpdate(AgentCycleCase):
    SERVER = "signed_update_server"

    def lumpack(self, *args):
        r = subprocess.run([lumtest.LUMPACK] + list(args), capture_output=True, text=True)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        return r.stdout

    def sign(self, private):
        """A signature as any publisher's tool makes it (here OpenSSL's)."""
        info = os.path.join(self.srv, "info.ini")
        subprocess.run(["openssl", "dgst", "-sha256", "-sign", private, "-out", info + ".sig", info], check=True)

    def edit_info(self, change):
        path = os.path.join(self.srv, "info.ini")
        with open(path, "rb") as f:
            text = f.read().decode("latin-1")
        with open(path, "wb") as f:
            f.write(change(text).encode("latin-1"))

    def probe(self, agent, viewer, expected):
        """One probe on the running copy; waits for EXPECTED in a run-log
        line that this probe wrote."""
        mark = len(self.runlog())
        self.assertEqual(agent.run("/TEST=1"), 0)
        self.assertTrue(lumtest.wait_for(lambda: any(expected in l for l in self.runlog()[mark:]), timeout=60,
                                         step=0.3), "\n".join(self.runlog()[mark:]) + "\n" + viewer.text())

    def test_publish_with_lumpack_and_update(self):
        keys = os.path.join(self.work, "keys")
        os.makedirs(keys)
        self.lumpack("keygen", os.path.join(keys, "update"))
        self.lumpack("keygen", os.path.join(keys, "other"))
        private = os.path.join(keys, "update.private.pem")
        self.assertEqual(os.stat(private).st_mode & 0o777, 0o600)

        size = self.new_setup()
        # The author writes how the update runs; release adds what it can
        # compute and signs the result.
        self.info(VersionNew="1", Stamp="1", ShutDownMethod="Using Terminate Process", RestartProcess="0")
        agent = self.agent(interval=-1, update_key=os.path.join(keys, "update.public.pem"))
        info = os.path.join(self.srv, "info.ini")
        self.lumpack("release", info, os.path.join(self.srv, "newsetup.exe"), "2", "--key", private,
                     "--agent", agent.path)
        self.assertEqual(ini_value(info, "NewSetup", "SizeOfUpdateFile"), str(size))
        self.lumpack("check", info, "--agent", agent.path)
        with open(info, "rb") as f:
            signed = f.read()
        with open(info + ".sig", "rb") as f:
            signature = f.read()
        self.start_product()

        def restore():
            with open(info, "wb") as f:
                f.write(signed)
            with open(info + ".sig", "wb") as f:
                f.write(signature)

        not_signed = "--- refused: not signed by the update key"
        cases = [
            ("changed after signing", lambda: self.edit_info(lambda t: t.replace("RestartProcess=0",
                                                                                 "RestartProcess=1")),
             not_signed),
            ("no signature", lambda: os.remove(info + ".sig"), not_signed),
            ("another key", lambda: self.sign(os.path.join(keys, "other.private.pem")), not_signed),
            ("expired", lambda: (self.edit_info(lambda t: t.replace("[NewSetup]\r\n",
                                                                      "[NewSetup]\r\nExpires=2001-01-01\r\n")),
                                 self.sign(private)), "info.ini --- refused: expired"),
            # An offer of its own Stamp: it passes the ladder, and the
            # released offer's Stamp stays new for the cases after it.
            ("no SHA-256 of the setup", lambda: (self.edit_info(
                lambda t: "".join("Stamp=7\r\n" if l.startswith("Stamp=") else l for l in t.splitlines(True)
                                  if not l.startswith("SHA256OfUpdateFile"))),
                self.sign(private)), "refused: a signed offer without its SHA-256"),
        ]
        with lumtest.tracecat(self.work) as viewer:
            self.assertEqual(agent.run(), 0)
            agent.wait_copy()
            for what, arrange, expected in cases:
                with self.subTest(what):
                    restore()
                    arrange()
                    self.probe(agent, viewer, expected)
                    self.assertTrue(any(l.split(" X ", 1)[-1].startswith("ERROR: ") and expected in l
                                        for l in self.runlog()), what)
            # A setup of the same product and size whose digest differs.
            restore()
            shutil.move(os.path.join(self.srv, "newsetup.exe"), os.path.join(self.work, "good.exe"))
            self.new_setup(arguments=" /Other=1")
            self.probe(agent, viewer, "PerformAutoUpdate() - START")
            code, box = lumtest.uidriver(["--wait=60", "box", "--press=OK"])
            self.assertEqual(code, 0, viewer.text())
            self.assertIn("SHA-256", box["text"][0])
            self.assertTrue(self.wait_trace(viewer, "PerformAutoUpdate-13"), viewer.text())
            self.assertFalse(os.path.exists(self.installed), "nothing ran")
            self.assertIsNone(self.product.poll(), "nothing stopped")
            self.assertEqual(ini_value(os.path.join(self.work, "info.original"), "OriginalSetup", "VersionOriginal"),
                             "1")

            # The real one, released again as version 3 (a new Stamp).
            shutil.move(os.path.join(self.work, "good.exe"), os.path.join(self.srv, "newsetup.exe"))
            self.lumpack("release", info, os.path.join(self.srv, "newsetup.exe"), "3", "--key", private,
                         "--agent", agent.path)
            self.probe(agent, viewer, "PerformAutoUpdate() - END    Result=TRUE")
        self.assertTrue(os.path.exists(os.path.join(self.installed, "newfile.txt")))
        self.assertEqual(ini_value(os.path.join(self.work, "info.original"), "OriginalSetup", "VersionOriginal"), "3")
        self.assertEqual(read(os.path.join(self.work, "info.ini")), read(info), "the INFO file as signed")


if __name__ == "__main__":
    lumtest.main()
