"""HTTP download under Wine against the test kit's server: the real WinINet
code of InetHTTP, driven by the kit program httpget."""
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import unittest

import lumtest

sys.path.insert(0, os.path.join(lumtest.SOURCE_DIR, "tests", "kit"))
import httpserver  # noqa: E402

HTTPGET = lumtest.build_file("httpget.exe")
SERVER = os.path.join(lumtest.SOURCE_DIR, "tests", "kit", "httpserver.py")


def start_server(folder, *extra):
    """The test server as a child process; returns (process, port)."""
    port_file = os.path.join(folder, "port")
    if os.path.exists(port_file):
        os.remove(port_file)
    proc = subprocess.Popen([sys.executable, SERVER, "--port-file", port_file,
                             "--log", os.path.join(folder, "requests.log")] + list(extra),
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if not lumtest.wait_for(lambda: os.path.exists(port_file), timeout=15):
        proc.kill()
        raise RuntimeError("test server did not start")
    with open(port_file) as f:
        return proc, int(f.read())


def stop_server(proc):
    proc.terminate()
    try:
        proc.wait(timeout=10)
    except subprocess.TimeoutExpired:
        proc.kill()


def httpget(*args, env=None, timeout=120):
    """Runs httpget and returns its key=value lines as a dict."""
    with tempfile.TemporaryFile() as out:
        p = subprocess.run([lumtest.WINE, HTTPGET] + list(args), env=env or lumtest.ENV, timeout=timeout,
                           stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.DEVNULL)
        out.seek(0)
        text = out.read().decode("latin-1").replace("\r\n", "\n")
    result = {}
    for line in text.splitlines():
        if "=" in line:
            k, v = line.split("=", 1)
            result[k] = v
    if "message" not in result and "size" not in result and "trusted" not in result:
        raise AssertionError(f"httpget printed no result (exit code {p.returncode}): " + text)
    return result


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


class HttpDownload(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = lumtest.work_dir("http")
        cls.server, cls.port = start_server(cls.work)
        cls.base = f"http://127.0.0.1:{cls.port}"

    @classmethod
    def tearDownClass(cls):
        stop_server(cls.server)

    def setUp(self):
        self.dir = os.path.join(self.work, self._testMethodName)
        os.makedirs(self.dir)

    def path(self, name):
        return os.path.join(self.dir, name)

    def requests(self, fragment):
        with open(os.path.join(self.work, "requests.log")) as f:
            return [line.rstrip("\n").split("\t") for line in f if fragment in line]

    def test_download_replaces_the_target_and_clears_old_attempts(self):
        target = self.path("setup.bin")
        write(target, b"OLD")
        write(self.path("setup.bin.123"), b"left over by an earlier attempt")
        write(self.path("setup.bin.bak"), b"not ours")
        url = f"{self.base}/file/setup.bin?size=250000"
        r = httpget("get", url, lumtest.winpath(target), "--bar", "--window")
        self.assertEqual(r["message"], "")
        self.assertEqual(read(target), httpserver.content("setup.bin", 250000))
        self.assertEqual(sorted(os.listdir(self.dir)), ["setup.bin", "setup.bin.bak"])
        # 8192-byte pieces: 31 steps of a bar that runs to 32; KB figures.
        self.assertEqual((r["steps"], r["max"]), ("31", "32"))
        self.assertTrue(r["last"].startswith("244.1/244.1 KB"), r["last"])
        self.assertEqual(r["visible"], "1", "the caller's window is shown once the transfer starts")
        self.assertEqual(r["page"], "-")
        agents = [row[2] for row in self.requests("/file/setup.bin")]
        self.assertEqual(agents, ["HTTP_Connect_2", "HTTP_Connect_3"], "warm-up, then the download")

    def test_small_file_into_memory_without_scheme(self):
        out = self.path("memory.bin")
        url = f"127.0.0.1:{self.port}/file/five.bin?size=5"
        r = httpget("get", url, "-", "--bar", "--memory-out", lumtest.winpath(out))
        self.assertEqual(r["message"], "")
        self.assertEqual(read(out), httpserver.content("five.bin", 5))
        self.assertEqual((r["memory"], r["steps"], r["max"]), ("5", "5", "6"))  # pieces of one byte
        # The fifth piece may already carry a rate when the pieces took time.
        self.assertEqual(r["last"].split("   -   ")[0], "5/5 BytesArr")

    def test_incomplete_bodies_never_replace_the_target(self):
        cases = [
            # Without Content-Length the size is unknown (4294967295): MB
            # figures, and no length to hold the body against: no message.
            ("nolength", "/nolength/part.bin?size=50000", "0.0/4,096.0 MB", ""),
            # Cut short before its Content-Length: a failure.
            ("cut_short", "/cut/part.bin?size=100000&send=30000", "30000/100000 BytesArr",
             # The message names the URL's last part as every download message does.
             "part.bin?size=100000&send=30000 --- Download incomplete (30000 of 100000 bytes)"),
        ]
        for label, route, last, message in cases:
            with self.subTest(label):
                folder = self.path(label)
                os.makedirs(folder)
                target = os.path.join(folder, "part.bin")
                write(target, b"OLD")
                r = httpget("get", self.base + route, lumtest.winpath(target), "--bar")
                self.assertEqual((r["message"], r["complete"]), (message, "0"))
                self.assertEqual(read(target), b"OLD")
                self.assertTrue(r["last"].startswith(last), r["last"])
                self.assertEqual(os.listdir(folder), ["part.bin"], "the partial file is removed")

    def test_an_error_status_never_replaces_the_target(self):
        # The page's message as for a page found in the file's place; a page
        # that is no HTML gives the status.
        cases = [
            ("/notfound/Setup.exe", None),
            ("/status/Setup.exe?code=500", " --- HTTP status 500"),
        ]
        for route, suffix in cases:
            with self.subTest(route):
                url = self.base + route
                target = self.path("Setup.exe")
                write(target, b"OLD")
                r = httpget("get", url, lumtest.winpath(target))
                if suffix is None:
                    self.assertTrue(r["message"].startswith("<B>404 File Not Found...</B><P><P>URL:  " + url + "."),
                                    r["message"])
                else:
                    self.assertEqual(r["message"], url + suffix)
                self.assertEqual(r["complete"], "0")
                self.assertEqual(read(target), b"OLD")
                self.assertEqual(os.listdir(self.dir), ["Setup.exe"], "the page is not kept")

    def test_content_length_zero_is_file_not_found(self):
        target = self.path("empty.bin")
        write(target, b"OLD")
        url = f"{self.base}/empty/empty.bin"
        r = httpget("get", url, lumtest.winpath(target), "--bar")
        self.assertEqual(r["message"], url + " --- File Not Found !")
        self.assertEqual(r["steps"], "0")
        self.assertEqual(os.listdir(self.dir), ["empty.bin"])
        self.assertEqual(read(target), b"OLD")

    def test_html_pages_are_recognised(self):
        for route, is_page in (("/page/Setup.exe", True), ("/file/Setup.exe?size=3000", False)):
            with self.subTest(route):
                url = self.base + route
                target = self.path("Setup.exe")
                r = httpget("get", url, lumtest.winpath(target))
                self.assertEqual(r["message"], "")
                if is_page:
                    self.assertTrue(r["page"].startswith("<B>404 File Not Found...</B><P><P>URL:  " + url + "."),
                                    r["page"])
                else:
                    self.assertEqual(r["page"], "-")

    def test_close_request_aborts_a_slow_download(self):
        target = self.path("slow.bin")
        write(target, b"OLD")
        # About five seconds of body; the window is closed after 800 ms. No
        # bar: the loop's own serving of the queue must deliver the close.
        url = f"{self.base}/slow/slow.bin?size=400000&chunk=4000&delay=50"
        r = httpget("get", url, lumtest.winpath(target), "--close-after", "800")
        self.assertEqual(r["message"], "Download Aborted")
        self.assertEqual(read(target), b"OLD")
        self.assertEqual(r["visible"], "1", "the transfer had started")
        self.assertLess(int(r["elapsed_ms"]), 3500, "the loop saw the flag after the current piece")

    def test_no_server_listening_and_the_trace_lines(self):
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            free_port = s.getsockname()[1]
        target = self.path("none.bin")
        url = f"http://127.0.0.1:{free_port}/file/none.bin"
        size_url = f"{self.base}/file/q.bin?size=4321"
        with lumtest.tracecat(self.dir) as viewer:
            r = httpget("get", url, lumtest.winpath(target))
            self.assertEqual(httpget("size", size_url)["size"], "4321")
            self.assertTrue(lumtest.wait_for(lambda: "HTTP_GetFileSize=" in viewer.text()))
            lines = viewer.lines()
        self.assertEqual(r["message"], "Unable to open Internet Connection: " + url)
        self.assertFalse(os.path.exists(target))
        failures = [l for l in lines if " HTTP_DownloadFile_Incremental: " in l]
        self.assertEqual(len(failures), 1, lines)
        pid, text = failures[0].split(" ", 1)
        self.assertTrue(pid.isdigit(), failures[0])
        self.assertEqual(text, "HTTP_DownloadFile_Incremental: Unable to open Internet Connection: " + url)
        self.assertIn("HTTP_GetFileSize=4321  " + size_url, lines)

    def test_credentials_go_to_the_port_of_the_url(self):
        target = self.path("auth.bin")
        url = f"{self.base}/auth/auth.bin?size=20000"
        r = httpget("get", url, lumtest.winpath(target), "--user", "lum", "--password", "secret")
        self.assertEqual(r["message"], "")
        self.assertEqual(read(target), httpserver.content("auth.bin", 20000))
        self.assertIn("Basic bHVtOnNlY3JldA==", [row[4] for row in self.requests("/auth/auth.bin")])

        # A user name with an empty password (WinINet gets "" rather than null).
        target = self.path("nopass.bin")
        url = f"{self.base}/auth/nopass.bin?size=3000&user=solo&password="
        r = httpget("get", url, lumtest.winpath(target), "--user", "solo")
        self.assertEqual(r["message"], "")
        self.assertEqual(read(target), httpserver.content("nopass.bin", 3000))

    def test_size_query(self):
        self.assertEqual(httpget("size", f"{self.base}/file/q.bin?size=12345")["size"], "12345")
        self.assertEqual(httpget("size", f"{self.base}/nolength/q.bin?size=12345")["size"], "-1")
        self.assertEqual({row[2] for row in self.requests("/q.bin")}, {"HTTP_Connect_2"})


class HttpsDownload(unittest.TestCase):
    """An https:// URL against the loopback server with a test certificate
    that the test makes trusted in a copy of the Wine prefix."""

    def setUp(self):
        if not shutil.which("openssl"):
            self.skipTest("openssl is not installed (tools/bootstrap.sh)")
        self.work = lumtest.work_dir("https")
        cert, key = os.path.join(self.work, "cert.pem"), os.path.join(self.work, "key.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                        "-days", "2", "-subj", "/CN=localhost", "-addext", "subjectAltName=DNS:localhost",
                        "-addext", "basicConstraints=critical,CA:TRUE"],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.der = os.path.join(self.work, "cert.der")
        subprocess.run(["openssl", "x509", "-in", cert, "-outform", "DER", "-out", self.der], check=True)
        self.server, self.port = start_server(self.work, "--tls", cert, key)
        # The certificate goes into a copy of the prefix, never the shared one.
        self.env = lumtest.private_prefix(self.work)

    def tearDown(self):
        stop_server(self.server)
        lumtest.stop_prefix(self.env)

    def test_https_download_with_a_trusted_test_certificate(self):
        # Wine checks the name against the certificate's DNS names, so the
        # URL names localhost rather than 127.0.0.1.
        url = f"https://localhost:{self.port}/file/secure.bin?size=70000"
        target = os.path.join(self.work, "secure.bin")
        r = httpget("get", url, lumtest.winpath(target), env=self.env)
        self.assertEqual(r["message"], "Unable to open Internet Connection: " + url, "not trusted yet")

        self.assertEqual(httpget("trust", lumtest.winpath(self.der), env=self.env)["trusted"], "1")
        r = httpget("get", url, lumtest.winpath(target), "--bar", env=self.env)
        self.assertEqual(r["message"], "")
        self.assertEqual(read(target), httpserver.content("secure.bin", 70000))

        # With credentials the scheme and the port come from the URL too.
        url = f"https://localhost:{self.port}/auth/secure2.bin?size=9000"
        target = os.path.join(self.work, "secure2.bin")
        r = httpget("get", url, lumtest.winpath(target), "--user", "lum", "--password", "secret", env=self.env)
        self.assertEqual(r["message"], "")
        self.assertEqual(read(target), httpserver.content("secure2.bin", 9000))


if __name__ == "__main__":
    lumtest.main()
