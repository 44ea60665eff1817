"""A local HTTP server for the network benchmark and its curl reference.

Listens on 127.0.0.1 on a free port and writes "<pid> <port>" to the file named by its
first argument once it is ready, and ends by itself after LIFETIME seconds: a benchmark
that crashes cannot stop it, and it is started through Wine detached from that program.
Serves:
  /bytes/<n>    n bytes of the shared test pattern, with Content-Length
  anything else 404
"""
import os
import sys
import threading
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

PERIOD = 65521
# Longer than any benchmark run.
LIFETIME = 900


def pattern_block():
    block = bytearray(PERIOD)
    for p in range(PERIOD):
        block[p] = ((p * 7) ^ (p >> 8)) & 0xFF
    return bytes(block)


BLOCK = pattern_block()


class Handler(BaseHTTPRequestHandler):
    def log_message(self, fmt, *args):
        pass

    def do_GET(self):
        if self.path.startswith("/bytes/"):
            try:
                n = int(self.path[len("/bytes/"):])
            except ValueError:
                n = -1
            if n < 0:
                self.send_error(400)
                return
            self.send_response(200)
            self.send_header("Content-Type", "application/octet-stream")
            self.send_header("Content-Length", str(n))
            self.end_headers()
            sent = 0
            while sent < n:
                piece = BLOCK[: min(PERIOD, n - sent)]
                self.wfile.write(piece)
                sent += len(piece)
            return
        self.send_error(404)


def main():
    deadline = threading.Timer(LIFETIME, os._exit, args=(0,))
    deadline.daemon = True
    deadline.start()
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    ready = sys.argv[1]
    with open(ready + ".tmp", "w") as f:
        f.write("%d %d\n" % (os.getpid(), server.server_address[1]))
    os.replace(ready + ".tmp", ready)
    server.serve_forever()


if __name__ == "__main__":
    main()
