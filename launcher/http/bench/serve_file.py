#!/usr/bin/env python3
"""Serves one file over HTTP on 127.0.0.1 for the download benchmark.

Prints "ready <port>" once listening, then serves GET requests for any path
with the file's bytes (sendfile, so the server is not the bottleneck) until
its stdin closes.
"""
import http.server
import os
import socketserver
import sys
import threading


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    path_to_serve = ""

    def log_message(self, fmt, *args):
        pass

    def do_GET(self):
        size = os.path.getsize(Handler.path_to_serve)
        self.send_response(200)
        self.send_header("Content-Type", "application/zip")
        self.send_header("Content-Length", str(size))
        self.end_headers()
        self.wfile.flush()
        with open(Handler.path_to_serve, "rb") as source:
            self.connection.sendfile(source)


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


def main():
    if len(sys.argv) != 2 or sys.argv[1] in ("-h", "--help"):
        print("usage: serve_file.py FILE", file=sys.stderr)
        sys.exit(0 if len(sys.argv) == 2 else 2)
    Handler.path_to_serve = sys.argv[1]
    server = Server(("127.0.0.1", 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    print("ready %d" % server.server_address[1], flush=True)
    sys.stdin.read()


if __name__ == "__main__":
    main()
