#!/usr/bin/env python3
"""A plain local release server, to try a whole install on your own machine
before the real servers have the release.

usage: serve.py <published-folder> [--bind 127.0.0.1] [--port 8080] [--port-file FILE]

Serves the folder publish.py wrote:
  POST or GET /release       the release reply (release.json), as the
                             program's release query asks for it
  GET /version.ini           the version file
  GET or HEAD /<any file>    files of the folder (the installer under
                             /files/), with single byte ranges: 206 with
                             Content-Range, 416 for a range past the end,
                             the whole file (200) for several ranges
  POST /report               the run report: answered 200, its body printed
Every request is printed on standard output. Only files inside the folder
are served (no "..", no links leading out). Ends with Ctrl+C.
"""

import argparse
import http.server
import os
import re
import shutil
import sys
import urllib.parse

RELEASE_PATH = "/release"
REPORT_PATH = "/report"
MAX_REQUEST_BODY = 64 * 1024
CHUNK = 256 * 1024


def parse_range(header, size):
    """(first, last) of a single byte range, "unsatisfiable", or None when
    the header is absent, malformed or asks for several ranges (the whole
    file is sent then, as HTTP allows)."""
    if not header:
        return None
    m = re.fullmatch(r"\s*bytes\s*=\s*(\d*)\s*-\s*(\d*)\s*", header)
    if not m or (not m.group(1) and not m.group(2)):
        return None
    if m.group(1):
        first = int(m.group(1))
        last = int(m.group(2)) if m.group(2) else size - 1
        if m.group(2) and last < first:
            return None  # malformed: ignored
        if first >= size:
            return "unsatisfiable"
        return first, min(last, size - 1)
    suffix = int(m.group(2))
    if suffix == 0 or size == 0:
        return "unsatisfiable"
    return max(0, size - suffix), size - 1


class ReleaseHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "release-serve/1"
    root = "."

    def log_message(self, format, *args):  # noqa: A002 - the base class's name
        sys.stdout.write("%s %s\n" % (self.address_string(), format % args))
        sys.stdout.flush()

    def path_only(self):
        return urllib.parse.unquote(urllib.parse.urlsplit(self.path).path)

    def read_body(self):
        length = self.headers.get("Content-Length", "0")
        if not length.isdigit() or int(length) > MAX_REQUEST_BODY:
            self.send_plain(413, "request body too large\n")
            return None
        return self.rfile.read(int(length))

    def send_plain(self, status, text, content_type="text/plain; charset=utf-8", head=False):
        body = text.encode("utf-8") if isinstance(text, str) else text
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if not head:
            self.wfile.write(body)

    def local_file(self, path):
        """The file under the root that `path` names, or None."""
        if "\0" in path or any(part == ".." for part in path.split("/")):
            return None
        root = os.path.realpath(self.root)
        target = os.path.realpath(os.path.join(root, path.lstrip("/")))
        if os.path.commonpath([root, target]) != root or not os.path.isfile(target):
            return None
        return target

    def send_release(self, head=False):
        target = self.local_file("/release.json")
        if target is None:
            self.send_plain(404, "no release.json in the served folder\n", head=head)
            return
        with open(target, "rb") as f:
            self.send_plain(200, f.read(), "application/json", head=head)

    def do_POST(self):  # noqa: N802 - the base class's name
        body = self.read_body()
        if body is None:
            return
        path = self.path_only()
        if path == RELEASE_PATH:
            self.log_message("release query: %s", body.decode("utf-8", "replace"))
            self.send_release()
        elif path == REPORT_PATH:
            self.log_message("run report: %s", body.decode("utf-8", "replace"))
            self.send_plain(200, "")
        else:
            self.send_plain(404, "not found\n")

    def do_GET(self):  # noqa: N802
        self.send_file(head=False)

    def do_HEAD(self):  # noqa: N802
        self.send_file(head=True)

    def send_file(self, head):
        path = self.path_only()
        if path == RELEASE_PATH:
            self.send_release(head=head)
            return
        target = self.local_file(path)
        if target is None:
            self.send_plain(404, "not found\n", head=head)
            return
        with open(target, "rb") as f:
            size = os.fstat(f.fileno()).st_size
            wanted = parse_range(self.headers.get("Range"), size)
            if wanted == "unsatisfiable":
                self.send_response(416)
                self.send_header("Content-Range", "bytes */%d" % size)
                self.send_header("Content-Length", "0")
                self.end_headers()
                return
            first, last = wanted if wanted else (0, size - 1)
            length = last - first + 1 if size else 0
            self.send_response(206 if wanted else 200)
            self.send_header("Content-Type", "application/octet-stream")
            self.send_header("Accept-Ranges", "bytes")
            self.send_header("Content-Length", str(length))
            if wanted:
                self.send_header("Content-Range", "bytes %d-%d/%d" % (first, last, size))
            self.send_header("Last-Modified", self.date_time_string(int(os.fstat(f.fileno()).st_mtime)))
            self.end_headers()
            if head:
                return
            f.seek(first)
            left = length
            try:
                while left > 0:
                    chunk = f.read(min(CHUNK, left))
                    if not chunk:
                        break  # the file shrank meanwhile: the client sees a short body
                    self.wfile.write(chunk)
                    left -= len(chunk)
            except (BrokenPipeError, ConnectionResetError):
                self.close_connection = True  # the client left; nothing more to send


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True


def main(argv=None):
    parser = argparse.ArgumentParser(description="Serves a folder written by publish.py as a release server.")
    parser.add_argument("folder", help="the folder publish.py wrote")
    parser.add_argument("--bind", default="127.0.0.1", help="address to listen on (default 127.0.0.1)")
    parser.add_argument("--port", type=int, default=8080, help="port (default 8080; 0 picks a free one)")
    parser.add_argument("--port-file", help="write the port chosen into this file once listening")
    args = parser.parse_args(argv)
    if not os.path.isdir(args.folder):
        sys.stderr.write("serve: %s is not a folder\n" % args.folder)
        return 2
    handler = type("Handler", (ReleaseHandler,), {"root": os.path.abspath(args.folder)})
    try:
        server = Server((args.bind, args.port), handler)
    except OSError as e:
        sys.stderr.write("serve: cannot listen on %s:%d: %s\n" % (args.bind, args.port, e))
        return 2
    port = server.server_address[1]
    if args.port_file:
        with open(args.port_file + ".tmp", "w") as f:
            f.write("%d\n" % port)
        shutil.move(args.port_file + ".tmp", args.port_file)
    print("serving %s on http://%s:%d/ (release query at %s, report at %s)"
          % (args.folder, args.bind, port, RELEASE_PATH, REPORT_PATH), flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
