#!/usr/bin/env python3
"""The project's local update server: answers the updater's request the way the real update
server does, or breaks the exchange on purpose. Python 3 standard library only.

It listens on 127.0.0.1 only, answers every connection the same way (one request, one reply,
then it closes the connection), and ends by itself after --lifetime seconds, so a test that
dies cannot leave it behind. Stop it earlier by its process id (kill <pid>).

Usage:
  update_server.py [--port N] [--port-file F] [--mode M] [--file F | --size N]
                   [--updater-send] [--no-length] [--content-type T]
                   [--fail-type T] [--fail-reason R] [--location L] [--no-fail-headers]
                   [--status N] [--cut-at N] [--stall-at N] [--delay S] [--log F] [--lifetime S]

  --port N          port to listen on; 0 (the default) takes a free one
  --port-file F     once listening, writes "<pid> <port>" to F (written whole, then renamed)
  --log F           appends the raw bytes of every request received to F
  --lifetime S      ends after S seconds (default 600)
  --delay S         waits S seconds after each request before it answers (default 0)

  --mode M, one of:
    file            the update file: 200, application/octet-stream (or --content-type), with
                    Content-Length unless --no-length; "QVU-UpdaterSend: 1" with --updater-send
    uptodate        an answer page of type 2 ("QVU-FailType: 2"), reason "Your product is up to date.";
                    every answer page announces its length
    type1           an answer page of type 1 with a download location
    page            an answer page (text/html) made of --fail-type, --fail-reason, --location as
                    given; each header is left out when its option is not given, all of them
                    with --no-fail-headers
    status          the status line "HTTP/1.0 <--status> ..." with a short text body
    cut             the file's headers with its whole length, then only --cut-at bytes, then a close
    chunked         the file as a chunked body (Transfer-Encoding: chunked), then a close
    badchunk        a chunked body whose second size line has no hexadecimal digits
    reset           the file's headers and --cut-at bytes of it, then a reset (RST)
    close           reads the request and closes the connection before any reply
    hang            reads the request and never answers (until the lifetime ends)
    stall           the file's headers and --stall-at bytes, then nothing more (until the lifetime);
                    with --stall-at at or above the size, the whole file on a connection held open

  --file F          the update file's bytes; --size N instead serves N bytes of a fixed pattern
                    (byte at position p: ((p * 7) ^ (p >> 8)) & 0xFF, repeating every 65521)
  --updater-send    adds "QVU-UpdaterSend: 1" to every reply
  --fail-type T     the raw value of "QVU-FailType" (for example " 2\\r\\n" is written as given
                    after escapes \\r, \\n, \\t are turned into their characters)

Examples:
  update_server.py --port-file ready.txt --mode file --file update.qvu --updater-send
  update_server.py --port 8080 --mode type1 --location http://127.0.0.1:8080/update.qvu
"""
import argparse
import os
import socket
import struct
import sys
import threading
import time

PERIOD = 65521
PIECE = 64 * 1024
PAGE = b"<html><body>update server</body></html>"


def pattern_block():
    block = bytearray(PERIOD)
    for p in range(PERIOD):
        block[p] = ((p * 7) ^ (p >> 8)) & 0xFF
    return bytes(block)


class Body:
    """The update file: a file on disk, or n bytes of the pattern, read in pieces."""

    def __init__(self, path, size):
        self.path = path
        self.block = None
        if path:
            self.size = os.path.getsize(path)
        else:
            self.size = size
            self.block = pattern_block()

    def pieces(self, limit=None):
        end = self.size if limit is None else min(limit, self.size)
        if self.path:
            with open(self.path, "rb") as f:
                sent = 0
                while sent < end:
                    data = f.read(min(PIECE, end - sent))
                    if not data:
                        return
                    sent += len(data)
                    yield data
            return
        position = 0
        while position < end:
            offset = position % PERIOD
            n = min(PERIOD - offset, end - position)
            yield self.block[offset:offset + n]
            position += n


def unescape(text):
    return text.replace("\\r", "\r").replace("\\n", "\n").replace("\\t", "\t")


def read_request(conn, log_path, lock):
    conn.settimeout(30)
    data = b""
    while b"\r\n\r\n" not in data and len(data) < 65536:
        try:
            chunk = conn.recv(4096)
        except OSError:
            break
        if not chunk:
            break
        data += chunk
    if log_path:
        with lock:
            with open(log_path, "ab") as f:
                f.write(data)
    return data


def header_block(status, headers):
    lines = ["HTTP/1.0 %s" % status] + ["%s: %s" % pair for pair in headers]
    return ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1")


class Server:
    def __init__(self, args):
        self.args = args
        self.body = Body(args.file, args.size)
        self.log_lock = threading.Lock()

    def common_headers(self):
        headers = [("Server", "QVU test server"), ("Connection", "close")]
        if self.args.updater_send:
            headers.append(("QVU-UpdaterSend", "1"))
        return headers

    def file_headers(self, length=True):
        headers = self.common_headers()
        headers.append(("Content-Type", self.args.content_type or "application/octet-stream"))
        if length and not self.args.no_length:
            headers.append(("Content-Length", str(self.body.size)))
        return headers

    def page(self, conn, fail_type, reason, location):
        headers = self.common_headers()
        headers.append(("Content-Type", self.args.content_type or "text/html"))
        # Its length is announced, as real servers announce it.
        headers.append(("Content-Length", str(len(PAGE))))
        if not self.args.no_fail_headers:
            if reason is not None:
                headers.append(("QVU-FailReason", reason))
            if location is not None:
                headers.append(("QVU-DownloadLocation", location))
            # Last, so that a value ending in a line end cuts no other header off.
            if fail_type is not None:
                headers.append(("QVU-FailType", unescape(fail_type)))
        conn.sendall(header_block("200 OK", headers) + PAGE)

    def send_file(self, conn, limit=None):
        for piece in self.body.pieces(limit):
            conn.sendall(piece)

    def answer(self, conn):
        args = self.args
        mode = args.mode
        read_request(conn, args.log, self.log_lock)
        if args.delay > 0:
            time.sleep(args.delay)
        if mode == "close":
            return
        if mode == "hang":
            time.sleep(args.lifetime)
            return
        if mode == "file":
            conn.sendall(header_block("200 OK", self.file_headers()))
            self.send_file(conn)
        elif mode == "uptodate":
            self.page(conn, "2", args.fail_reason or "Your product is up to date.", None)
        elif mode == "type1":
            self.page(conn, "1", args.fail_reason or "A newer version must be downloaded by hand.",
                      args.location or "http://127.0.0.1/download.html")
        elif mode == "page":
            self.page(conn, args.fail_type, args.fail_reason, args.location)
        elif mode == "status":
            headers = self.common_headers() + [("Content-Type", "text/html")]
            conn.sendall(header_block("%d Not Here" % args.status, headers) + b"not here")
        elif mode == "cut":
            conn.sendall(header_block("200 OK", self.file_headers()))
            self.send_file(conn, args.cut_at)
        elif mode == "chunked":
            headers = self.file_headers(length=False) + [("Transfer-Encoding", "chunked")]
            conn.sendall(header_block("200 OK", headers))
            for piece in self.body.pieces():
                conn.sendall(b"%x\r\n" % len(piece) + piece + b"\r\n")
            conn.sendall(b"0\r\n\r\n")
        elif mode == "badchunk":
            headers = self.file_headers(length=False) + [("Transfer-Encoding", "chunked")]
            conn.sendall(header_block("200 OK", headers))
            # The body comes apart from the headers, so the reply is accepted first.
            time.sleep(0.3)
            conn.sendall(b"5\r\nabcde\r\nzz\r\nmore\r\n")
            time.sleep(0.5)
        elif mode == "reset":
            conn.sendall(header_block("200 OK", self.file_headers()))
            self.send_file(conn, args.cut_at)
            time.sleep(0.3)
            conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        elif mode == "stall":
            conn.sendall(header_block("200 OK", self.file_headers()))
            self.send_file(conn, args.stall_at)
            time.sleep(args.lifetime)

    def handle(self, conn):
        try:
            self.answer(conn)
        except OSError:
            pass
        finally:
            try:
                if self.args.mode != "reset":
                    conn.shutdown(socket.SHUT_WR)
            except OSError:
                pass
            conn.close()

    def serve(self, listener):
        while True:
            conn, _ = listener.accept()
            threading.Thread(target=self.handle, args=(conn,), daemon=True).start()


def main():
    parser = argparse.ArgumentParser(description="Local update server (127.0.0.1 only).")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--port-file")
    parser.add_argument("--mode", default="file",
                        choices=["file", "uptodate", "type1", "page", "status", "cut", "chunked",
                                 "badchunk", "reset", "close", "hang", "stall"])
    parser.add_argument("--file")
    parser.add_argument("--size", type=int, default=1000)
    parser.add_argument("--updater-send", action="store_true")
    parser.add_argument("--no-length", action="store_true")
    parser.add_argument("--content-type")
    parser.add_argument("--fail-type")
    parser.add_argument("--fail-reason")
    parser.add_argument("--location")
    parser.add_argument("--no-fail-headers", action="store_true")
    parser.add_argument("--status", type=int, default=404)
    parser.add_argument("--cut-at", type=int, default=100)
    parser.add_argument("--stall-at", type=int, default=100)
    parser.add_argument("--delay", type=float, default=0)
    parser.add_argument("--log")
    parser.add_argument("--lifetime", type=float, default=600)
    args = parser.parse_args()

    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", args.port))
    listener.listen(16)
    port = listener.getsockname()[1]

    server = Server(args)
    threading.Thread(target=server.serve, args=(listener,), daemon=True).start()
    if args.port_file:
        temp = args.port_file + ".part"
        with open(temp, "w") as f:
            f.write("%d %d\n" % (os.getpid(), port))
        os.replace(temp, args.port_file)
    else:
        print("%d %d" % (os.getpid(), port), flush=True)
    time.sleep(args.lifetime)
    os._exit(0)


if __name__ == "__main__":
    main()
