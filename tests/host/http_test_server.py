#!/usr/bin/env python3
"""Serves a folder on 127.0.0.1 (port printed first) for the host tests,
with hostile responses: stall/<n>, short, nolength, tight, line-feeds,
bad-status, negative-length, huge-length, endless-headers, drip/<n>,
redirect, big (10 MB), and via (says whether a proxy passed the request on)."""
import http.server
import os
import socketserver
import sys
import time


BIG_BLOCK = bytes(range(256)) * 256
BIG_SIZE = 10 * 1024 * 1024


class Handler(http.server.SimpleHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, *args):
        pass

    def raw(self, data):
        self.wfile.write(data)
        self.wfile.flush()

    def do_GET(self):
        path = self.path
        if path.startswith("http://"):
            path = "/" + path.split("/", 3)[3]
        if path.startswith("/stall/"):
            size = int(path.split("/")[2])
            self.raw(b"HTTP/1.0 200 OK\r\nContent-Length: %d\r\n\r\n" % size + b"s" * (size // 2))
            time.sleep(60)
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
        elif path == "/redirect":
            self.raw(b"HTTP/1.0 302 Found\r\nLocation: http://%s/a.txt\r\nContent-Length: 5\r\n\r\nmoved"
                     % self.headers.get("Host", "").encode())
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
