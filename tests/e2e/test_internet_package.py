"""The Internet package under Wine against the test kit's HTTP server: the
launcher downloads its setup file into the system's temporary folder, checks
that it belongs to the same product, runs it through the sample engine and
cleans up; the question before the download, the error boxes, a close
request during the transfer, a setup file lying beside the launcher, and the
agent copy it leaves for the engine."""
import glob
import os
import shutil
import socket
import struct
import subprocess
import time
import unittest

import lumtest
from test_http import start_server, stop_server

ENGINE = lumtest.build_file("sample-engine.exe")
CLOSEWINDOW = lumtest.build_file("closewindow.exe")
TOKEN = "Lumidor-Net-Test-42"
NAME = "Full.exe"
TEMP = os.path.join(lumtest.PREFIX_C, "users", os.environ.get("USER", "root"), "Temp")
DOWNLOAD = os.path.join(TEMP, NAME)  # where the launcher downloads to
AGENT = "LumAgent.exe"


def read(path):
    with open(path, "rb") as f:
        return f.read()


def remove_downloads():
    for path in glob.glob(DOWNLOAD) + glob.glob(DOWNLOAD + ".*"):
        os.remove(path)


def sign(path):
    """Signs the file in place with a throw-away certificate, so a
    certificate table follows the package. False when the tools are missing."""
    if not (shutil.which("openssl") and shutil.which("osslsigncode")):
        return False
    folder = os.path.dirname(path)
    key, cert, out = (os.path.join(folder, n) for n in ("key.pem", "cert.pem", "signed.exe"))
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                    "-days", "2", "-subj", "/CN=Lumidor Net Test"], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["osslsigncode", "sign", "-certs", cert, "-key", key, "-in", path, "-out", out], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.replace(out, path)
    return True


class InternetPackage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = lumtest.work_dir("internet_package")
        cls.server, cls.port = start_server(cls.root, "--root", cls.root)
        cls.base = f"http://127.0.0.1:{cls.port}"

    @classmethod
    def tearDownClass(cls):
        stop_server(cls.server)

    def setUp(self):
        self.dir = os.path.join(self.root, self._testMethodName)
        os.makedirs(self.dir)
        self.record = os.path.join(self.dir, "cmd.txt")
        self.target = os.path.join(self.dir, "target")
        remove_downloads()
        self.folders_before = set(lumtest.setup_temp_folders())

    def tearDown(self):
        remove_downloads()

    # ---- building blocks --------------------------------------------------------

    def setup_file(self, folder, exit_code, token=TOKEN):
        """A normal package named Full.exe in FOLDER (under the server's root)
        whose engine records its command line, installs into the target and
        ends with EXIT_CODE. Returns its location on the server."""
        os.makedirs(folder, exist_ok=True)
        lumtest.make_package(folder, f"""[Launch]
File = Engine.exe
Arguments = /RecordCmd={lumtest.winpath(self.record)} /Target={lumtest.winpath(self.target)} /ExitCode={exit_code}
[Files]
Engine.exe = {ENGINE}
[Internet]
IdentityToken = {token}
""", name=NAME)
        return self.base + "/data/" + os.path.relpath(folder, self.root)

    def internet_package(self, folder, location, confirm=0, always=0, agent=0, setup_file=None):
        os.makedirs(folder, exist_ok=True)
        check = f"SetupFile = {setup_file}\n" if setup_file else ""
        return lumtest.make_package(folder, f"""[Options]
InternetPackage = 1
ConfirmDownload = {confirm}
InstallAgentCopy = {agent}
[Settings]
AgentFileName = {AGENT}
[Internet]
DownloadLocation = {location}
SetupFileName = {NAME}
AlwaysDownload = {always}
IdentityToken = {TOKEN}
SetupFileSize = {50 * 1048576}
{check}""")

    def start(self, stub, args=()):
        return subprocess.Popen([lumtest.WINE, stub] + list(args), env=lumtest.ENV, stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def finish(self, proc, timeout=90):
        """The launcher's exit code (low byte). A launcher that does not end
        (waiting in a box nobody expected) is ended, and the test fails."""
        try:
            return proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            proc.kill()  # the Windows process itself: wine runs it in this process
            proc.wait(timeout=30)
            self.fail("the launcher did not end")

    def downloads(self, location):
        """User-Agents of the requests for the setup file at LOCATION."""
        path = location[len(self.base):] + "/" + NAME
        log = os.path.join(self.root, "requests.log")
        if not os.path.exists(log):  # no request yet
            return []
        with open(log) as f:
            return [row.split("\t")[2] for row in f if row.split("\t")[1].split("?")[0] == path]

    def assert_cleaned_up(self):
        self.assertEqual(glob.glob(DOWNLOAD + "*"), [], "the download is deleted")
        self.assertEqual(set(lumtest.setup_temp_folders()), self.folders_before, "the temporary folder is removed")

    # ---- scenarios --------------------------------------------------------------

    def test_download_runs_the_setup_and_leaves_an_agent_copy(self):
        location = self.setup_file(os.path.join(self.dir, "served"), exit_code=7)
        stub = self.internet_package(os.path.join(self.dir, "pkg"), location, confirm=1, agent=1)
        signed = sign(stub)
        proc = self.start(stub)
        code, box = lumtest.uidriver(["--wait=30", "box", "--press=Yes"])
        self.assertEqual(code, 0, box)
        self.assertEqual(box["title"], ["Confirm"])
        self.assertIn("INTERNET DOWNLOAD", box["text"][0])
        self.assertIn("Size: 50.0 MB", box["text"][0], "SetupFileSize 52428800 in MB")
        self.assertEqual(self.finish(proc), 7, "the engine's exit code is the launcher's")

        self.assertTrue(read(self.record).decode("latin-1").startswith("C:\\"), "the engine ran from Temp")
        self.assertEqual(self.downloads(location), ["HTTP_Connect_2", "HTTP_Connect_3"], "warm-up and download")
        self.assert_cleaned_up()

        # The engine copied its folder, the agent copy with it: the running
        # launcher up to its package end (before any signature), the trailer's
        # agent byte (69 of 74) set.
        image = read(stub)
        high, low = struct.unpack_from("<II", image, 248)
        end = high << 32 | low
        self.assertTrue(0 < end <= len(image))
        if signed:
            self.assertLess(end, len(image), "a certificate table follows the package")
        agent = read(os.path.join(self.target, AGENT))
        self.assertEqual(len(agent), end)
        self.assertEqual(agent[end - 5], 1)
        self.assertEqual(image[end - 5], 0)
        self.assertEqual(agent[:end - 5] + agent[end - 4:], image[:end - 5] + image[end - 4:end])

    def test_no_to_the_question_ends_quietly(self):
        location = self.setup_file(os.path.join(self.dir, "served"), exit_code=7)
        stub = self.internet_package(self.dir, location, confirm=1)
        proc = self.start(stub)
        code, box = lumtest.uidriver(["--wait=30", "box", "--press=No", "--wait-closed"])
        self.assertEqual((code, box["title"]), (0, ["Confirm"]), box)
        # Another box would keep the launcher waiting until finish() fails.
        self.finish(proc, timeout=30)
        self.assertEqual(self.downloads(location), [])
        self.assertFalse(os.path.exists(self.record), "no engine ran")
        self.assert_cleaned_up()

    def test_failures_end_in_an_error_box(self):
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            free_port = s.getsockname()[1]
        other = self.setup_file(os.path.join(self.dir, "other"), exit_code=7, token=TOKEN + "-other")
        page = self.base + "/notfound"
        closed = f"http://127.0.0.1:{free_port}/data"
        cases = [
            # label, location, launcher arguments, the box text
            ("another product", other, [], "Bad Secret Token!"),
            # /hide with ConfirmDownload: no question, but the error box.
            ("html error page", page, ["/hide"],
             f"404 File Not Found...\r\n\r\nURL:  {page}/{NAME}.\r\n\r\n"
             "Please make sure the file is available and access is allowed to this file."),
            ("no server", closed, [], f"Unable to open Internet Connection: {closed}/{NAME}"),
        ]
        for label, location, args, text in cases:
            with self.subTest(label):
                confirm = 1 if args else 0
                stub = self.internet_package(os.path.join(self.dir, label.replace(" ", "_")), location, confirm)
                proc = self.start(stub, args)
                code, box = lumtest.uidriver(["--wait=60", "box", "--press=OK"])
                self.finish(proc)
                self.assertEqual(code, 0, box)
                self.assertEqual(box["title"], ["Error"])
                self.assertEqual(box["text"][0].strip(), "ERROR\r\n\r\n" + text)  # the caption heads the text
                self.assertFalse(os.path.exists(self.record), "no engine ran")
                self.assert_cleaned_up()

    def test_closing_the_window_aborts_a_slow_download(self):
        # The location's query gives the slow route its pace (about 25 s of
        # body); the launcher appends "/Full.exe" to it.
        location = f"{self.base}/slow/{NAME}?size=2000000&chunk=4000&delay=50&n="
        stub = self.internet_package(self.dir, location)
        with open(DOWNLOAD, "wb") as f:
            f.write(b"OLD")
        proc = self.start(stub)
        started = time.monotonic()
        # The start-up window (its class is the launcher's path) is shown once
        # the transfer starts.
        closer = lumtest.wine([CLOSEWINDOW, "--class=" + lumtest.winpath(stub), "--wait=60", "--delay=500"])
        code, box = lumtest.uidriver(["--wait=30", "box", "--press=OK"])
        elapsed = time.monotonic() - started
        self.finish(proc)
        self.assertEqual(closer.returncode, 0, "the window was shown and asked to close")
        self.assertEqual((code, box["title"], box["text"][0].strip()), (0, ["Error"], "ERROR\r\n\r\nDownload Aborted"),
                         box)
        self.assertLess(elapsed, 20, "the transfer ended long before the body")
        self.assertEqual(read(DOWNLOAD), b"OLD", "the target is not replaced")
        self.assertEqual(set(lumtest.setup_temp_folders()), self.folders_before)

    def test_a_download_cut_short_never_runs_the_file_left_at_the_target(self):
        # A setup file of the same product already lies where the download
        # goes (ending with 9); the server sends 50000 of 200000 bytes.
        stale = os.path.join(self.dir, "stale")
        self.setup_file(stale, exit_code=9)
        shutil.copyfile(os.path.join(stale, NAME), DOWNLOAD)
        before = read(DOWNLOAD)
        location = f"{self.base}/cut/{NAME}?size=200000&send=50000&n="
        stub = self.internet_package(self.dir, location)
        proc = self.start(stub)
        code, box = lumtest.uidriver(["--wait=60", "box", "--press=OK"])
        self.assertNotEqual(self.finish(proc), 9, "the stale file ran")
        self.assertEqual(code, 0, box)
        self.assertEqual((box["title"], box["text"][0].strip()),
                         (["Error"], f"ERROR\r\n\r\n{NAME} --- Download incomplete (50000 of 200000 bytes)"))
        self.assertFalse(os.path.exists(self.record), "no engine ran")
        self.assertEqual(read(DOWNLOAD), before, "the file at the target is not replaced")
        self.assertEqual(glob.glob(DOWNLOAD + ".*"), [], "the partial file is removed")
        self.assertEqual(set(lumtest.setup_temp_folders()), self.folders_before)

    def test_a_recorded_setup_file_runs_and_any_other_is_refused(self):
        # The launcher was built with the served setup file (ending with 7)
        # and knows its size and SHA-256. A file of the same product but
        # other bytes (ending with 8) is refused, served or beside it.
        served = os.path.join(self.dir, "served")
        location = self.setup_file(served, exit_code=7)
        recorded = os.path.join(self.dir, "recorded.exe")
        shutil.copyfile(os.path.join(served, NAME), recorded)
        stub = self.internet_package(os.path.join(self.dir, "pkg"), location, setup_file=recorded)
        self.assertEqual(self.finish(self.start(stub)), 7)
        self.assert_cleaned_up()
        os.remove(self.record)

        self.setup_file(served, exit_code=8)
        beside = os.path.join(self.dir, "beside")
        self.setup_file(beside, exit_code=8)
        local_stub = self.internet_package(beside, location, setup_file=recorded)
        for label, launcher in (("downloaded", stub), ("beside the launcher", local_stub)):
            with self.subTest(label):
                proc = self.start(launcher)
                code, box = lumtest.uidriver(["--wait=60", "box", "--press=OK"])
                self.finish(proc)
                self.assertEqual(code, 0, box)
                self.assertEqual((box["title"], box["text"][0].strip()),
                                 (["Error"], "ERROR\r\n\r\nBad Setup File!\r\n\r\n"
                                  "The Setup File is not the one this package was made for."))
                self.assertFalse(os.path.exists(self.record), "no engine ran")
                self.assert_cleaned_up()

    def test_a_setup_file_beside_the_launcher(self):
        # The served file ends with 6, the one beside the launcher with 5.
        cases = [
            # AlwaysDownload, ConfirmDownload, exit code, requests for the served file
            ("0", 1, 5, []),
            ("1", 0, 6, ["HTTP_Connect_2", "HTTP_Connect_3"]),
        ]
        for always, confirm, want, served_requests in cases:
            with self.subTest(AlwaysDownload=always):
                case = os.path.join(self.dir, "always" + always)
                location = self.setup_file(os.path.join(case, "served"), exit_code=6)
                stub = self.internet_package(case, location, confirm=confirm, always=always)
                beside = os.path.join(case, NAME)
                self.setup_file(case, exit_code=5)
                before = read(beside)
                # With AlwaysDownload 0 the question is not asked although
                # ConfirmDownload is set: nobody answers, the run must end.
                self.assertEqual(self.finish(self.start(stub)), want)
                self.assertEqual(read(beside), before, "the file beside the launcher stays")
                self.assertEqual(self.downloads(location), served_requests)
                self.assert_cleaned_up()
                os.remove(self.record)


if __name__ == "__main__":
    lumtest.main()
