#!/usr/bin/env python3
"""Demo gateway: the version service and package servers the launcher talks to,
on loopback over HTTPS with a self-signed certificate (made at start, or the
one in --cert-dir, which launchers built with pins expect).

It listens on two ports, one per compiled-in gateway base (primary and
fallback). Both ports answer the version query and serve packages. Each base
and each package route can be told to misbehave, so the tests and the demo can
walk every road of the update worker.

Routes
  GET /public/versions/shell/teacher?tm=..[&id=..]  version reply (JSON)
  GET /pkg/<route>/<version>.zip                    the package, per route
  GET /redirect/<route>/<version>.zip               302 to /pkg/<route>/...

Package URLs in the reply point at a third, plain-HTTP port by default:
the launcher's downloads keep libcurl's certificate verification, which a
self-signed loopback certificate cannot pass (--package-scheme https shows
exactly that failure).

The reply carries the package's "signature" when one is given (--signature,
or PACKAGE.sig as build_package.py --sign leaves it).

Once all ports listen, the ports are written as JSON to --ready-file (and
printed). Every request is appended as one JSON line to --request-log.
"""
import argparse
import hashlib
import http.server
import json
import os
import socketserver
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

QUERY_PATH = "/public/versions/shell/teacher"
VERSION_MODES = ("ok", "refuse", "timeout", "invalid-json", "empty-version", "not-object", "http-500")


def parse_args(argv):
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--host", default="127.0.0.1")
    p.add_argument("--primary-port", type=int, default=0, help="0 picks a free port")
    p.add_argument("--fallback-port", type=int, default=0, help="0 picks a free port")
    p.add_argument("--version", default="1.0.0", help="version text of the reply")
    p.add_argument("--package", help="package zip served by every route")
    p.add_argument("--md5", help="md5 member of the reply (default: the package's real MD5; '' for none)")
    p.add_argument("--signature", help="base64 text of the reply's signature member "
                                       "(default: PACKAGE.sig as build_package.py --sign writes it, else no member)")
    p.add_argument("--routes", default="a",
                   help="comma list of package routes put in the reply: first as 'url', the rest as 'urls'. "
                        "A name 'redirect:X' lists the redirecting URL of route X")
    p.add_argument("--package-port", type=int, default=0, help="plain-HTTP package port; 0 picks a free one")
    p.add_argument("--package-scheme", choices=("http", "https"), default="http",
                   help="scheme of the package URLs put in the reply")
    p.add_argument("--primary-mode", choices=VERSION_MODES, default="ok")
    p.add_argument("--fallback-mode", choices=VERSION_MODES, default="ok")
    p.add_argument("--bad-md5-route", action="append", default=[], help="route that serves damaged bytes")
    p.add_argument("--missing-route", action="append", default=[], help="route that answers 404")
    p.add_argument("--slow-route", action="append", default=[], help="route that trickles the package")
    p.add_argument("--slow-rate", type=int, default=64 * 1024, help="bytes per second of slow routes")
    p.add_argument("--slow-hold", help="slow routes stop after each third of the package until the file "
                                       "PATH.1 (then PATH.2) exists, so a test reads progress at its own pace")
    p.add_argument("--no-length", action="store_true", help="send packages without Content-Length")
    p.add_argument("--hang-seconds", type=float, default=60.0, help="how long 'timeout' keeps a request")
    p.add_argument("--ready-file", help="write {\"primary\":port,\"fallback\":port} here once listening")
    p.add_argument("--request-log", help="append one JSON line per request here")
    p.add_argument("--cert-dir", help="where gateway.crt and gateway.key are, or are made when missing "
                                      "(default: a new self-signed pair in a temp folder)")
    return p.parse_args(argv)


def make_certificate(folder):
    cert, key = os.path.join(folder, "gateway.crt"), os.path.join(folder, "gateway.key")
    if not (os.path.exists(cert) and os.path.exists(key)):
        subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                        "-nodes", "-days", "2",
                        "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost",
                        "-keyout", key, "-out", cert], check=True, capture_output=True)
    return cert, key


class Gateway:
    def __init__(self, args):
        self.args = args
        self.package = b""
        if args.package:
            with open(args.package, "rb") as f:
                self.package = f.read()
        self.md5 = hashlib.md5(self.package).hexdigest() if args.md5 is None else args.md5
        self.signature = args.signature
        if self.signature is None and args.package and os.path.exists(args.package + ".sig"):
            with open(args.package + ".sig") as f:
                self.signature = f.read().strip()
        self.ports = {}
        self.log_lock = threading.Lock()

    def log_request(self, base, method, path):
        if not self.args.request_log:
            return
        line = json.dumps({"base": base, "method": method, "path": path, "time": time.time()})
        with self.log_lock, open(self.args.request_log, "a") as f:
            f.write(line + "\n")

    def package_url(self, route):
        scheme = self.args.package_scheme
        port = self.ports["package"] if scheme == "http" else self.ports["primary"]
        if route.startswith("redirect:"):
            return "%s://127.0.0.1:%d/redirect/%s/%s.zip" % (scheme, port, route[9:], self.args.version)
        return "%s://127.0.0.1:%d/pkg/%s/%s.zip" % (scheme, port, route, self.args.version)

    def version_reply(self, mode):
        if mode == "invalid-json":
            return b'{"version": "1.0.0", '
        if mode == "not-object":
            return b'["1.0.0"]'
        urls = [self.package_url(r) for r in self.args.routes.split(",") if r]
        reply = {"version": "" if mode == "empty-version" else self.args.version, "md5": self.md5}
        if self.signature is not None:
            reply["signature"] = self.signature
        if urls:
            reply["url"] = urls[0]
            reply["urls"] = urls[1:]
        return json.dumps(reply).encode()


def make_handler(gateway, base, mode):
    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def log_message(self, fmt, *a):
            pass

        def send_body(self, code, body, content_type="application/json"):
            self.send_response(code)
            self.send_header("Content-Type", content_type)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            if self.command != "HEAD":
                self.wfile.write(body)

        def do_HEAD(self):
            self.do_GET()

        def do_GET(self):
            gateway.log_request(base, self.command, self.path)
            path = urllib.parse.urlparse(self.path).path
            if path == QUERY_PATH:
                return self.version()
            parts = path.split("/")
            if len(parts) == 4 and parts[1] == "redirect":
                self.send_response(302)
                self.send_header("Location", "/pkg/%s/%s" % (parts[2], parts[3]))
                self.send_header("Content-Length", "0")
                self.end_headers()
                return
            if len(parts) == 4 and parts[1] == "pkg":
                return self.package(parts[2])
            self.send_body(404, b"not found", "text/plain")

        def version(self):
            if mode == "timeout":
                time.sleep(gateway.args.hang_seconds)
                return
            if mode == "http-500":
                return self.send_body(500, b"server error", "text/plain")
            self.send_body(200, gateway.version_reply(mode))

        def package(self, route):
            args = gateway.args
            if route in args.missing_route:
                return self.send_body(404, b"no such package", "text/plain")
            body = gateway.package
            if route in args.bad_md5_route and body:
                body = bytearray(body)
                body[len(body) // 2] ^= 0xFF
                body = bytes(body)
            self.send_response(200)
            self.send_header("Content-Type", "application/zip")
            if args.no_length:
                self.send_header("Connection", "close")
                self.close_connection = True
            else:
                self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            if self.command == "HEAD":
                return
            try:
                if route in args.slow_route:
                    self.trickle(body, args.slow_rate)
                else:
                    self.wfile.write(body)
            except (BrokenPipeError, ConnectionResetError, ssl.SSLError):
                pass

        def trickle(self, body, rate):
            step = max(1, rate // 10)
            thirds = [len(body) // 3, 2 * len(body) // 3] if gateway.args.slow_hold else []
            for i in range(0, len(body), step):
                while thirds and i >= thirds[0]:
                    self.hold(len(thirds))
                    thirds.pop(0)
                self.wfile.write(body[i:i + step])
                self.wfile.flush()
                time.sleep(0.1)

        def hold(self, left):
            mark = "%s.%d" % (gateway.args.slow_hold, 3 - left)
            while not os.path.exists(mark):
                time.sleep(0.02)

    return Handler


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def handle_error(self, request, client_address):
        # Clients that hang up mid-request (killed launchers, aborted
        # downloads) are part of the tests, not server errors.
        if isinstance(sys.exc_info()[1], (ConnectionError, ssl.SSLError, TimeoutError)):
            return
        super().handle_error(request, client_address)


def serve(gateway, base, mode, port, context):
    if mode == "refuse":
        return None, 0
    server = Server((gateway.args.host, port), make_handler(gateway, base, mode))
    if context:
        server.socket = context.wrap_socket(server.socket, server_side=True)
    return server, server.server_address[1]


def main(argv):
    args = parse_args(argv)
    cert_dir = args.cert_dir or tempfile.mkdtemp(prefix="demo-gateway-")
    cert, key = make_certificate(cert_dir)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    gateway = Gateway(args)
    servers = []
    for base, mode, port, tls in (("primary", args.primary_mode, args.primary_port, context),
                                  ("fallback", args.fallback_mode, args.fallback_port, context),
                                  ("package", "ok", args.package_port, None)):
        server, bound = serve(gateway, base, mode, port, tls)
        gateway.ports[base] = bound or port
        if server:
            servers.append(server)
    ready = json.dumps({"primary": gateway.ports["primary"], "fallback": gateway.ports["fallback"],
                        "package": gateway.ports["package"], "md5": gateway.md5})
    for server in servers[1:]:  # the package server always exists
        threading.Thread(target=server.serve_forever, daemon=True).start()
    if args.ready_file:
        tmp = args.ready_file + ".tmp"
        with open(tmp, "w") as f:
            f.write(ready)
        os.replace(tmp, args.ready_file)
    print(ready, flush=True)
    try:
        servers[0].serve_forever()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
