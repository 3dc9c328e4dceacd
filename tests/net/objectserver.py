#!/usr/bin/env python3
"""A web server of one folder for the download tests, on 127.0.0.1 only.

Usage: objectserver.py FOLDER LOG < PIPE

Ends when its standard input ends (the test that started it has ended).

Listens on a port the system chooses and writes it as the first line of standard output. Every
request is appended to LOG as one line of tab-separated fields, written before the answer:
    path as sent <TAB> If-None-Match <TAB> If-Modified-Since <TAB> requests being answered

What a path gets depends on how it starts:
    /redirect/N/REST   302 to /redirect/N-1/REST; /redirect/0/REST is REST
    /to/SCHEME/REST    302 to SCHEME://127.0.0.1:PORT/REST
    /slow/MS/REST      REST after MS milliseconds
    /trickle/MS/REST   REST one byte every MS milliseconds
    /stall/REST        the headers and half of REST, then nothing more
    /hold/REST         nothing at all
    /drop/REST         the connection closed without an answer
    /plain/REST        REST without ETag and Last-Modified
    /nolength/REST     REST without Content-Length, the connection closed after it
    anything else      the file, with ETag and Last-Modified, 304 when the request's validators
                       match, 404 when there is no such file
A file NAME.status beside a file changes its answer: "drop" closes the connection, "hold" sends
nothing, a number is the status answered.
"""

import email.utils
import hashlib
import os
import re
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

ROOT = os.path.realpath(sys.argv[1])
LOG = open(sys.argv[2], "a", buffering=1, encoding="utf-8")
LOCK = threading.Lock()
ACTIVE = [0]


def wait_forever():
    while True:
        time.sleep(1)


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def do_GET(self):
        with LOCK:
            ACTIVE[0] += 1
            LOG.write("\t".join([self.path, self.headers.get("If-None-Match", ""),
                                 self.headers.get("If-Modified-Since", ""), str(ACTIVE[0])]) + "\n")
        try:
            self.answer(self.path)
        finally:
            with LOCK:
                ACTIVE[0] -= 1

    def answer(self, path):
        m = re.match(r"^/redirect/(\d+)(/.*)$", path)
        if m:
            left = int(m.group(1))
            if left == 0:
                return self.answer(m.group(2))
            return self.redirect("/redirect/%d%s" % (left - 1, m.group(2)))
        m = re.match(r"^/to/([a-z]+)(/.*)$", path)
        if m:
            scheme = m.group(1)
            where = "file://" if scheme == "file" else "%s://127.0.0.1:%d" % (scheme, self.server.server_port)
            return self.redirect(where + m.group(2))
        m = re.match(r"^/slow/(\d+)(/.*)$", path)
        if m:
            time.sleep(int(m.group(1)) / 1000)
            return self.answer(m.group(2))
        m = re.match(r"^/trickle/(\d+)(/.*)$", path)
        if m:
            return self.serve(m.group(2), trickle=int(m.group(1)) / 1000)
        if path.startswith("/stall/"):
            return self.serve(path[len("/stall"):], stall=True)
        if path.startswith("/hold/"):
            wait_forever()
        if path.startswith("/drop/"):
            return self.drop()
        if path.startswith("/plain/"):
            return self.serve(path[len("/plain"):], validators=False)
        if path.startswith("/nolength/"):
            return self.serve(path[len("/nolength"):], length=False)
        return self.serve(path)

    def redirect(self, location):
        self.send_response(302)
        self.send_header("Location", location)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def drop(self):
        self.close_connection = True
        self.connection.shutdown(2)

    def status(self, code):
        body = b"status %d\n" % code
        self.send_response(code)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def serve(self, path, validators=True, trickle=0.0, stall=False, length=True):
        relative = urllib.parse.unquote(path.split("?")[0]).lstrip("/")
        file = os.path.realpath(os.path.join(ROOT, relative))
        if not file.startswith(ROOT + os.sep) or not os.path.isfile(file):
            return self.status(404)
        if os.path.isfile(file + ".status"):
            with open(file + ".status") as f:
                how = f.read().strip()
            if how == "drop":
                return self.drop()
            if how == "hold":
                wait_forever()
            return self.status(int(how))
        with open(file, "rb") as f:
            data = f.read()
        etag = '"%s"' % hashlib.sha1(data).hexdigest()[:16]
        modified = int(os.stat(file).st_mtime)
        if validators:
            inm = self.headers.get("If-None-Match")
            ims = self.headers.get("If-Modified-Since")
            unchanged = False
            if inm is not None:
                unchanged = inm == etag
            elif ims is not None:
                try:
                    unchanged = modified <= email.utils.parsedate_to_datetime(ims).timestamp()
                except (TypeError, ValueError):
                    unchanged = False
            if unchanged:
                self.send_response(304)
                self.send_header("ETag", etag)
                self.end_headers()
                return
        self.send_response(200)
        if length:
            self.send_header("Content-Length", str(len(data)))
        else:
            self.close_connection = True
            self.send_header("Connection", "close")
        if validators:
            self.send_header("ETag", etag)
            self.send_header("Last-Modified", email.utils.formatdate(modified, usegmt=True))
        self.end_headers()
        if stall:
            self.wfile.write(data[: len(data) // 2])
            self.wfile.flush()
            wait_forever()
        if trickle > 0:
            for i in range(len(data)):
                self.wfile.write(data[i:i + 1])
                self.wfile.flush()
                time.sleep(trickle)
            return
        self.wfile.write(data)


class Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def handle_error(self, request, client_address):
        pass  # clients that hang up early are what several tests do


def end_with_parent():
    # The test holds the other end of standard input: when it ends, however it ends, so does
    # the server.
    sys.stdin.buffer.read()
    os._exit(0)


def main():
    server = Server(("127.0.0.1", 0), Handler)
    threading.Thread(target=end_with_parent, daemon=True).start()
    print(server.server_port, flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
