#!/usr/bin/env python3
"""Local HTTP and HTTPS test server for the launcher's transfer tests.

Binds 127.0.0.1 only. Prints "ready <http-port> <https-port>" once both
listeners accept connections, then serves until it is terminated. The HTTPS
listener uses a throw-away self-signed certificate made with openssl at start.

Routes (GET unless noted):
  /ok                    200 with a short text (HEAD too)
  /echo                  200, body describes the request (method, headers, body)
  /redirect              302 to /ok
  /redirect-file/<n>     302 to /file/<n>
  /redirect-secure       302 to /ok on the HTTPS listener
  /status/<code>         that status with a short body (none for 204/304)
  /gzip                  gzip-encoded text when the client offers gzip
  /hang                  reads the request, never answers
  /stall-body            200 promising 1000 bytes, sends 10, then waits
  /endless               200 without length, bytes until the client gives up
  /file/<n>              n pattern bytes with Content-Length
  /nolength/<n>          n pattern bytes, length only known at close
  /trickle/<b>/<ticks>   b bytes every 0.1 s, ticks times, with Content-Length
                         (?nolength: length only known at close)
  /requests              how many requests came before this one
  --version-path P       serves --version-body at P (the gateway query)
"""
import argparse
import gzip
import http.server
import os
import shutil
import socketserver
import ssl
import subprocess
import sys
import tempfile
import threading
import time

PATTERN = bytes(range(256)) * 256  # 64 KiB; byte i of a file is i % 256

request_count = 0
count_lock = threading.Lock()


def pattern_bytes(n):
    chunks, left = [], n
    while left > 0:
        take = min(left, len(PATTERN))
        chunks.append(PATTERN[:take])
        left -= take
    return chunks


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "LocalTest/1"
    options = None
    https_port = -1

    def log_message(self, fmt, *args):  # keep test output quiet
        pass

    def reply(self, code, body=b"", headers=None):
        self.send_response(code)
        for key, value in (headers or {}).items():
            self.send_header(key, value)
        if code not in (204, 304):
            self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command != "HEAD" and code not in (204, 304):
            self.wfile.write(body)

    def count(self):
        global request_count
        with count_lock:
            seen = request_count
            if self.path != "/requests":
                request_count += 1
        return seen

    def do_HEAD(self):
        self.count()
        self.reply(200 if self.path == "/ok" else 404, b"hello from ok")

    def do_POST(self):
        self.do_GET()

    def do_PUT(self):
        self.do_GET()

    def handle_one_request(self):
        # Any method word reaches do_GET, so custom methods can be echoed.
        try:
            self.raw_requestline = self.rfile.readline(65537)
            if not self.raw_requestline:
                self.close_connection = True
                return
            if not self.parse_request():
                return
            getattr(self, "do_" + self.command, self.do_GET)()
            self.wfile.flush()
        except (ConnectionError, TimeoutError, ssl.SSLError):
            self.close_connection = True

    def do_GET(self):
        seen = self.count()
        parts = self.path.split("?")[0].strip("/").split("/")
        opts = Handler.options
        if opts.version_path and self.path.split("?")[0] == opts.version_path:
            return self.reply(200, opts.version_body.encode())
        route = getattr(self, "route_" + parts[0].replace("-", "_"), None)
        if route is None:
            return self.reply(404, b"no such route")
        return route(parts[1:], seen)

    def route_ok(self, args, seen):
        self.reply(200, b"hello from ok")

    def route_requests(self, args, seen):
        self.reply(200, str(seen).encode())

    def route_echo(self, args, seen):
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length) if length else b""
        text = "method=%s\nua=%s\nconnection=%s\nbody=%s\n" % (
            self.command, self.headers.get("User-Agent", ""),
            self.headers.get("Connection", ""), body.decode("latin-1"))
        self.reply(200, text.encode("latin-1"))

    def route_redirect(self, args, seen):
        self.reply(302, b"moved", {"Location": "/ok"})

    def route_redirect_secure(self, args, seen):
        target = "https://127.0.0.1:%d/ok" % Handler.https_port
        self.reply(302, b"moved", {"Location": target})

    def route_redirect_file(self, args, seen):
        self.reply(302, b"moved", {"Location": "/file/" + args[0]})

    def route_status(self, args, seen):
        code = int(args[0])
        self.reply(code, ("status body %d" % code).encode())

    def route_gzip(self, args, seen):
        text = b"decoded gzip text " * 100
        if "gzip" in self.headers.get("Accept-Encoding", ""):
            self.reply(200, gzip.compress(text), {"Content-Encoding": "gzip"})
        else:
            self.reply(200, b"client offered no gzip")

    def route_hang(self, args, seen):
        time.sleep(Handler.options.hang_seconds)
        self.close_connection = True

    def route_stall_body(self, args, seen):
        self.send_response(200)
        self.send_header("Content-Length", "1000")
        self.end_headers()
        self.wfile.write(b"x" * 10)
        self.wfile.flush()
        time.sleep(Handler.options.hang_seconds)
        self.close_connection = True

    def route_endless(self, args, seen):
        self.send_response(200)
        self.send_header("Connection", "close")
        self.end_headers()
        self.close_connection = True
        block = b"e" * 65536
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline:
            self.wfile.write(block)

    def route_file(self, args, seen):
        n = int(args[0])
        self.send_response(200)
        self.send_header("Content-Length", str(n))
        self.end_headers()
        for chunk in pattern_bytes(n):
            self.wfile.write(chunk)

    def route_nolength(self, args, seen):
        self.send_response(200)
        self.send_header("Connection", "close")
        self.end_headers()
        self.close_connection = True
        for chunk in pattern_bytes(int(args[0])):
            self.wfile.write(chunk)

    def route_trickle(self, args, seen):
        per_tick, ticks = int(args[0]), int(args[1])
        self.send_response(200)
        if self.path.endswith("?nolength"):
            self.send_header("Connection", "close")
            self.close_connection = True
        else:
            self.send_header("Content-Length", str(per_tick * ticks))
        self.end_headers()
        for _ in range(ticks):
            self.wfile.write(b"t" * per_tick)
            self.wfile.flush()
            time.sleep(0.1)


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def make_certificate(folder):
    key, cert = os.path.join(folder, "key.pem"), os.path.join(folder, "cert.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                    "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", key,
                    "-out", cert, "-days", "2", "-subj", "/CN=127.0.0.1"],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return key, cert


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--http-port", type=int, default=0, help="-1 = no HTTP listener")
    parser.add_argument("--https-port", type=int, default=0, help="-1 = no HTTPS listener")
    parser.add_argument("--version-path", default="")
    parser.add_argument("--version-body", default="")
    parser.add_argument("--hang-seconds", type=float, default=12.0)
    Handler.options = parser.parse_args()
    opts = Handler.options

    servers, ports = [], []
    folder = tempfile.mkdtemp(prefix="launcher-test-cert-")
    try:
        for port, secure in ((opts.http_port, False), (opts.https_port, True)):
            if port < 0:
                ports.append(-1)
                continue
            server = Server(("127.0.0.1", port), Handler)
            if secure:
                context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
                context.load_cert_chain(*reversed(make_certificate(folder)))
                server.socket = context.wrap_socket(server.socket, server_side=True)
            servers.append(server)
            ports.append(server.server_address[1])
            threading.Thread(target=server.serve_forever, daemon=True).start()
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    Handler.https_port = ports[1]
    print("ready %d %d" % tuple(ports), flush=True)
    try:
        # Lives until the test kills it or closes our stdin.
        sys.stdin.read()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
