#!/usr/bin/env python3
"""Serves a folder on 127.0.0.1 (port printed first) for the host tests,
with hostile responses: stall/<n>, short, nolength, tight, line-feeds,
bad-status, negative-length, huge-length, endless-headers, drip/<n>,
big (10 MB), via (says whether a proxy passed the request on)
and host (sends back the Host line); any path with "?to=<location>"
redirects there, with the status "&code=<n>" names (302 otherwise), loop
redirects to itself and hops/<n>/<file> takes n redirects to <file>;
slow/<file> sends a file in small pieces with pauses between, half/<file>
only its first half; undeclared/<file> sends it in pieces without a
Content-Length and closes, undeclared-reset/<file> sends half of it that way
and then resets the connection; undeclared-stall/<n> sends n bytes without a
Content-Length and stalls."""
import http.server
import os
import socket
import socketserver
import struct
import sys
import time
import urllib.parse


BIG_BLOCK = bytes(range(256)) * 256
BIG_SIZE = 10 * 1024 * 1024


class Handler(http.server.SimpleHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, *args):
        pass

    def raw(self, data):
        self.wfile.write(data)
        self.wfile.flush()

    def redirect(self, code, location):
        self.raw(b"HTTP/1.0 %d Moved\r\nLocation: %s\r\nContent-Length: 5\r\n\r\nmoved" % (code, location.encode()))

    def do_GET(self):
        path = self.path
        if path.startswith("http://"):
            path = "/" + path.split("/", 3)[3]
        query = urllib.parse.parse_qs(urllib.parse.urlsplit(path).query)
        if "to" in query:
            self.redirect(int(query.get("code", ["302"])[0]), query["to"][0])
        elif path == "/loop":
            self.redirect(302, "/loop")
        elif path.startswith("/hops/"):
            _, _, count, name = path.split("/", 3)
            if int(count) > 0:
                self.redirect(302, "/hops/%d/%s" % (int(count) - 1, name))
            else:
                self.path = "/" + name
                super().do_GET()
        elif path == "/host":
            body = self.headers.get("Host", "").encode()
            self.raw(b"HTTP/1.0 200 OK\r\nContent-Length: %d\r\n\r\n" % len(body) + body)
        elif path.startswith("/stall/"):
            size = int(path.split("/")[2])
            self.raw(b"HTTP/1.0 200 OK\r\nContent-Length: %d\r\n\r\n" % size + b"s" * (size // 2))
            time.sleep(60)
        elif path.startswith("/undeclared-stall/"):
            size = int(path.split("/")[2])
            self.raw(b"HTTP/1.0 200 OK\r\n\r\n" + b"u" * size)
            time.sleep(60)
        elif path.startswith("/slow/") or path.startswith("/half/"):
            with open(os.path.basename(path), "rb") as source:
                body = source.read()
            self.raw(b"HTTP/1.0 200 OK\r\nContent-Length: %d\r\n\r\n" % len(body))
            if path.startswith("/half/"):
                self.raw(body[: len(body) // 2])
                time.sleep(60)
                return
            for start in range(0, len(body), 2048):
                self.raw(body[start : start + 2048])
                time.sleep(0.02)
        elif path.startswith("/undeclared/") or path.startswith("/undeclared-reset/"):
            with open(os.path.basename(path), "rb") as source:
                body = source.read()
            self.raw(b"HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n")
            reset = path.startswith("/undeclared-reset/")
            if reset:
                body = body[: len(body) // 2]
            for start in range(0, len(body), 2048):
                self.raw(body[start : start + 2048])
                time.sleep(0.005)
            if reset:
                # Time for the client to read what came, then a reset, not a close.
                time.sleep(0.3)
                self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                self.rfile.close()
                self.connection.close()
        elif path == "/short":
            self.raw(b"HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n" + b"x" * 10)
        elif path == "/nolength":
            self.raw(b"HTTP/1.0 200 OK\r\n\r\nno length here")
        elif path == "/tight":
            self.raw(b"HTTP/1.0 200 OK\r\nContent-Length:123\r\n\r\n" + b"\n\n" + b"t" * 121)
        elif path == "/line-feeds":
            self.raw(b"HTTP/1.0 200 OK\nContent-Length: 6\n\n\n\nbody")
        elif path == "/bad-status":
            self.raw(b"HTTP/1.0 OK\r\nContent-Length: 4\r\n\r\nbody")
        elif path == "/negative-length":
            self.raw(b"HTTP/1.0 200 OK\r\nContent-Length: -5\r\n\r\nbody")
        elif path == "/huge-length":
            self.raw(b"HTTP/1.0 200 OK\r\nContent-Length: 999999999\r\n\r\n" + b"h" * 65536)
        elif path == "/endless-headers":
            self.raw(b"HTTP/1.0 200 OK\r\n")
            deadline = time.time() + 60
            while time.time() < deadline:
                self.raw(b"X-Filler: " + b"f" * 1000 + b"\r\n")
        elif path.startswith("/drip/"):
            size = int(path.split("/")[2])
            self.raw(b"HTTP/1.0 200 OK\r\nContent-Length: %d\r\n\r\n" % size)
            for _ in range(size):
                self.raw(b"d")
                time.sleep(0.1)
        elif path == "/big":
            self.raw(b"HTTP/1.0 200 OK\r\nContent-Length: %d\r\n\r\n" % BIG_SIZE)
            for _ in range(BIG_SIZE // len(BIG_BLOCK)):
                self.raw(BIG_BLOCK)
        elif path == "/via":
            body = b"proxy" if self.headers.get("Via") else b"direct"
            self.raw(b"HTTP/1.0 200 OK\r\nContent-Length: %d\r\n\r\n" % len(body) + body)
        else:
            self.path = path
            super().do_GET()


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        pass  # a client that hangs up early is what several tests do


def main():
    os.chdir(sys.argv[1])
    server = Server(("127.0.0.1", 0), Handler)
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
