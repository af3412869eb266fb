#!/usr/bin/env python3
"""Serves a folder on 127.0.0.1 (port printed first) for the host tests,
with a few hostile responses: stall/<n>, short, nolength, tight, line-feeds,
and via (says whether a proxy passed the request on); slow/<file> sends a
file in small pieces with pauses between, half/<file> only its first half."""
import http.server
import os
import socketserver
import sys
import time


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
        elif path == "/short":
            self.raw(b"HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n" + b"x" * 10)
        elif path == "/nolength":
            self.raw(b"HTTP/1.0 200 OK\r\n\r\nno length here")
        elif path == "/tight":
            self.raw(b"HTTP/1.0 200 OK\r\nContent-Length:123\r\n\r\n" + b"\n\n" + b"t" * 121)
        elif path == "/line-feeds":
            self.raw(b"HTTP/1.0 200 OK\nContent-Length: 6\n\n\n\nbody")
        elif path == "/via":
            body = b"proxy" if self.headers.get("Via") else b"direct"
            self.raw(b"HTTP/1.0 200 OK\r\nContent-Length: %d\r\n\r\n" % len(body) + body)
        else:
            self.path = path
            super().do_GET()


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


def main():
    os.chdir(sys.argv[1])
    server = Server(("127.0.0.1", 0), Handler)
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
