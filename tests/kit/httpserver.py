#!/usr/bin/env python3
"""HTTP test server of the test kit (standard library only).

Binds 127.0.0.1 on a free port (or --port), prints "PORT <n>" and writes the
number to --port-file. With --tls CERT KEY it speaks HTTPS.

Routes (every <name> is free; bodies are content(name, size) unless a folder
is served):
  /file/<name>?size=N       Content-Length and Last-Modified
  /data/<path>              a file of --root, with Content-Length and Last-Modified;
                            a file <path>.serve beside it changes how, one word:
                              status=C     with status C (the file is the body)
                              cut=M        only the first M bytes, then a hard close
                              nolength     without Content-Length
                              slow=C,MS    C bytes every MS milliseconds
  /nolength/<name>?size=N   no Content-Length: the body ends when the connection closes
  /empty/<name>             Content-Length: 0
  /notfound/<name>          status 404 and an HTML error page whose title holds 404
  /page/<name>              status 200 and a plain HTML page with head and title
  /status/<name>?code=C     status C with a plain-text body and its Content-Length
  /slow/<name>?size=N&chunk=C&delay=MS   C bytes every MS milliseconds
  /cut/<name>?size=N&send=M Content-Length N, then only M bytes and the connection closes
  /auth/<name>?size=N[&user=U&password=P]   Basic authentication (--user /
                            --password, or U and P of the query), then as /file

Every request is logged to --log as one line: method, path, User-Agent,
Cache-Control and Authorization ("-" when absent), separated by tabs.
"""
import argparse
import email.utils
import os
import socket
import ssl
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

LAST_MODIFIED = "Wed, 21 Oct 2015 07:28:00 GMT"
_PERIOD = 251  # prime: a piece that lands in the wrong place never looks right


def _pattern(name):
    seed = sum(name.encode()) % _PERIOD
    return bytes((i * 7 + seed) % _PERIOD for i in range(_PERIOD))


def content(name, size, offset=0):
    """The body served for <name>: a repeating pattern of prime length."""
    pat = _pattern(name)
    start = offset % _PERIOD
    reps = (start + size) // _PERIOD + 1
    return (pat * reps)[start:start + size]


def _blocks(name, size, block=1 << 20):
    """content(name, size) in blocks, without holding it all in memory."""
    pat = _pattern(name)
    unit = pat * (block // _PERIOD + 2)
    done = 0
    while done < size:
        n = min(block, size - done)
        start = done % _PERIOD
        yield unit[start:start + n]
        done += n


ERROR_PAGE = (b"<html><head><title>404 Not Found</title></head>"
              b"<body><h1>Not Found</h1><p>The requested URL was not found on this server.</p></body></html>")
PLAIN_PAGE = b"<HTML><HEAD><TITLE>Welcome</TITLE></HEAD><BODY>Hello from the test server.</BODY></HTML>"


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "LumTestHTTP/1.0"

    def log_message(self, fmt, *args):  # quiet on stderr
        pass

    def _log(self):
        if not self.server.log_path:
            return
        fields = [self.command, self.path] + [self.headers.get(h) or "-" for h in
                                              ("User-Agent", "Cache-Control", "Authorization")]
        with self.server.log_lock, open(self.server.log_path, "a") as f:
            f.write("\t".join(fields) + "\n")

    def _head(self, code, length=None, ctype="application/octet-stream", last_modified=LAST_MODIFIED, extra=()):
        self.send_response(code)
        self.send_header("Content-Type", ctype)
        if length is not None:
            self.send_header("Content-Length", str(length))
        if last_modified:
            self.send_header("Last-Modified", last_modified)
        for k, v in extra:
            self.send_header(k, v)
        if length is None:
            self.send_header("Connection", "close")
            self.close_connection = True
        self.end_headers()

    def _send_generated(self, name, size):
        for block in _blocks(name, size):
            self.wfile.write(block)

    def do_GET(self):
        self._log()
        url = urllib.parse.urlsplit(self.path)
        query = dict(urllib.parse.parse_qsl(url.query, keep_blank_values=True))
        parts = url.path.lstrip("/").split("/", 1)
        route, name = parts[0], (parts[1] if len(parts) > 1 else "")
        size = int(query.get("size", "1000"))
        try:
            handler = getattr(self, "route_" + route, None)
            if handler is None:
                self.send_error(404)
                return
            handler(name, size, query)
        except (BrokenPipeError, ConnectionResetError, ssl.SSLError, socket.timeout):
            self.close_connection = True

    def route_file(self, name, size, query):
        self._head(200, size)
        self._send_generated(name, size)

    def route_data(self, name, size, query):
        root = self.server.root
        path = os.path.realpath(os.path.join(root or "/nonexistent", urllib.parse.unquote(name)))
        if not root or not path.startswith(os.path.realpath(root) + os.sep) or not os.path.isfile(path):
            self.send_error(404)
            return
        st = os.stat(path)
        how = ""
        if os.path.isfile(path + ".serve"):
            with open(path + ".serve") as f:
                how = f.read().strip()
        word, _, arg = how.partition("=")
        with open(path, "rb") as f:
            body = f.read()
        modified = email.utils.formatdate(st.st_mtime, usegmt=True)
        if word == "status":
            self._head(int(arg), len(body), last_modified=modified)
            self.wfile.write(body)
        elif word == "cut":
            self._head(200, len(body), last_modified=modified)
            self._send_and_hang_up(body[:int(arg)])
        elif word == "nolength":
            self._head(200, None, last_modified=modified)
            self.wfile.write(body)
        elif word == "slow":
            chunk, delay = (int(v) for v in arg.split(","))
            self._head(200, len(body), last_modified=modified)
            for i in range(0, len(body), chunk):
                self.wfile.write(body[i:i + chunk])
                self.wfile.flush()
                time.sleep(delay / 1000.0)
        else:
            self._head(200, len(body), last_modified=modified)
            self.wfile.write(body)

    def route_nolength(self, name, size, query):
        self._head(200, None)
        self._send_generated(name, size)

    def route_empty(self, name, size, query):
        self._head(200, 0)

    def route_notfound(self, name, size, query):
        self._head(404, len(ERROR_PAGE), ctype="text/html", last_modified=None)
        self.wfile.write(ERROR_PAGE)

    def route_status(self, name, size, query):
        body = b"Internal trouble, nothing to see.\n"
        self._head(int(query.get("code", "500")), len(body), ctype="text/plain", last_modified=None)
        self.wfile.write(body)

    def route_page(self, name, size, query):
        self._head(200, len(PLAIN_PAGE), ctype="text/html", last_modified=None)
        self.wfile.write(PLAIN_PAGE)

    def route_slow(self, name, size, query):
        chunk = int(query.get("chunk", "1024"))
        delay = int(query.get("delay", "100")) / 1000.0
        body = content(name, size)
        self._head(200, size)
        for i in range(0, size, chunk):
            self.wfile.write(body[i:i + chunk])
            self.wfile.flush()
            time.sleep(delay)

    def _send_and_hang_up(self, data):
        self.wfile.write(data)
        self.wfile.flush()
        self.close_connection = True
        # A hard close, so the client sees the connection end mid-body.
        try:
            self.connection.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass

    def route_cut(self, name, size, query):
        send = int(query.get("send", str(size // 2)))
        self._head(200, size)
        self._send_and_hang_up(content(name, send))

    def route_auth(self, name, size, query):
        import base64
        user = query.get("user", self.server.user)
        password = query.get("password", self.server.password)
        expected = "Basic " + base64.b64encode(f"{user}:{password}".encode()).decode()
        if self.headers.get("Authorization") != expected:
            page = b"<html><head><title>401 Unauthorized</title></head><body>401</body></html>"
            self._head(401, len(page), ctype="text/html", last_modified=None,
                       extra=[("WWW-Authenticate", 'Basic realm="lumidor"')])
            self.wfile.write(page)
            return
        self.route_file(name, size, query)


class Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def handle_error(self, request, client_address):  # clients that hang up are normal here
        pass


def make_server(port=0, tls=None, root=None, log=None, user="lum", password="secret"):
    server = Server(("127.0.0.1", port), Handler)
    server.root = root
    server.log_path = log
    server.log_lock = threading.Lock()
    server.user = user
    server.password = password
    if tls:
        ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        ctx.load_cert_chain(tls[0], tls[1])
        server.socket = ctx.wrap_socket(server.socket, server_side=True)
    return server


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--port", type=int, default=0)
    ap.add_argument("--port-file")
    ap.add_argument("--tls", nargs=2, metavar=("CERT", "KEY"))
    ap.add_argument("--root")
    ap.add_argument("--log")
    ap.add_argument("--user", default="lum")
    ap.add_argument("--password", default="secret")
    args = ap.parse_args(argv)
    server = make_server(args.port, args.tls, args.root, args.log, args.user, args.password)
    port = server.server_address[1]
    if args.port_file:
        tmp = args.port_file + ".tmp"
        with open(tmp, "w") as f:
            f.write(f"{port}\n")
        os.replace(tmp, args.port_file)
    print(f"PORT {port}", flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
