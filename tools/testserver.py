#!/usr/bin/env python3
"""Loopback test world for Quorvel: a TheTVDB-shaped API, the showRSS feed, the update file and a
page folder, served from fixture files on 127.0.0.1, with a record of every hit and faults on demand.

Start:   tools/testserver.py [--port 0] [--fixtures DIR] [--pages DIR] [--latency-ms N]
The first line on stdout is the port. The server runs until SIGTERM/SIGINT, or, with
--exit-on-stdin-eof, until stdin closes.
See tests/README.md for the endpoints and the faults.
"""

import argparse
import datetime
import gzip
import html
import json
import os
import re
import signal
import sys
import threading
import time
import urllib.parse
import zlib
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

ACCESS_KEY = "9F41B2D07E6A3C15"
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

FAULT_KINDS = (
    "404", "500", "slow-headers", "stall-body", "trickle", "redirect-loop", "redirect-file",
    "oversized", "gzip-bomb", "doctype-file", "doctype-http", "doctype-dtd", "billion-laughs",
    "quadratic-blowup", "truncated", "not-xml", "empty",
)

TODAY_TOKEN = re.compile(r"\{\{today([+-]\d+)?\}\}")


class World:
    """Everything the handlers share; guarded by one lock."""

    def __init__(self, fixtures, pages, latency_ms):
        self.fixtures = fixtures
        self.pages = pages
        self.latency_ms = latency_ms
        self.lock = threading.Lock()
        self.stopping = threading.Event()
        self.hits = []
        self.faults = {}  # path → (kind, params)
        self.puts = {}  # path (with or without query) → (content type, bytes)
        self.today = None  # a datetime.date pinned by /_today, else the local date
        self._bomb = None

    def reset(self):
        with self.lock:
            self.hits.clear()
            self.faults.clear()
            self.puts.clear()
            self.today = None
            self.latency_ms = self.initial_latency_ms

    def current_today(self):
        with self.lock:
            return self.today or datetime.date.today()

    def gzip_bomb(self):
        # About 100 KB on the wire, 120 MB once inflated; built once.
        with self.lock:
            if self._bomb is None:
                compressor = zlib.compressobj(9, zlib.DEFLATED, 31)
                chunk = b"\0" * (1 << 20)
                parts = [compressor.compress(b"<Data>")]
                parts += [compressor.compress(chunk) for _ in range(120)]
                parts.append(compressor.flush())
                self._bomb = b"".join(parts)
            return self._bomb


def expand_today(text, today):
    """Replaces {{today}}, {{today+N}} and {{today-N}} with dates as YYYY-MM-DD."""

    def replace(match):
        offset = int(match.group(1) or 0)
        return (today + datetime.timedelta(days=offset)).isoformat()

    return TODAY_TOKEN.sub(replace, text)


def placeholder_png(seed):
    """A small solid PNG whose colour follows the path, so every artwork path has an image."""
    digest = zlib.crc32(seed.encode())
    colour = bytes([(digest >> 16) & 0xFF, (digest >> 8) & 0xFF, digest & 0xFF])
    width, height = 34, 50
    raw = b"".join(b"\0" + colour * width for _ in range(height))

    def chunk(kind, data):
        body = kind + data
        return len(data).to_bytes(4, "big") + body + zlib.crc32(body).to_bytes(4, "big")

    header = width.to_bytes(4, "big") + height.to_bytes(4, "big") + bytes([8, 2, 0, 0, 0])
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw))
            + chunk(b"IEND", b""))


class Handler(BaseHTTPRequestHandler):
    server_version = "QuorvelTestServer/1"
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass  # quiet: tests read the hits instead

    @property
    def world(self):
        return self.server.world

    # ---- plumbing -------------------------------------------------------------------------

    def send_bytes(self, status, body, content_type="text/xml; charset=utf-8", headers=None):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        for name, value in (headers or {}).items():
            self.send_header(name, value)
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def send_text(self, status, text, content_type="text/plain; charset=utf-8"):
        self.send_bytes(status, text.encode("utf-8"), content_type)

    def read_body(self):
        length = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(length) if length > 0 else b""

    def split(self):
        parsed = urllib.parse.urlsplit(self.path)
        return parsed.path, urllib.parse.parse_qs(parsed.query, keep_blank_values=True)

    def do_GET(self):
        self.dispatch()

    def do_HEAD(self):
        self.dispatch()

    def do_POST(self):
        self.dispatch()

    def dispatch(self):
        try:
            path, query = self.split()
            if path.startswith("/_"):
                self.control(path, query)
                return
            with self.world.lock:
                self.world.hits.append(self.path)
                fault = self.world.faults.get(self.path) or self.world.faults.get(path)
                put = self.world.puts.get(self.path) or self.world.puts.get(path)
                latency = self.world.latency_ms
            if latency:
                self.world.stopping.wait(latency / 1000.0)
            if path.startswith("/fault/"):
                params = {name: values[0] for name, values in query.items()}
                fault = (path[len("/fault/"):].split("/")[0], params)
            if fault:
                self.serve_fault(path, fault[0], fault[1])
            elif put:
                self.send_bytes(200, self.expanded(put[1], put[0]), put[0])
            else:
                self.serve_world(path, query)
        except (BrokenPipeError, ConnectionResetError):
            pass

    # ---- control endpoints ----------------------------------------------------------------

    def control(self, path, query):
        first = lambda name, default="": (query.get(name) or [default])[0]
        world = self.world
        if path == "/_hits":
            with world.lock:
                hits = list(world.hits)
            if first("format") == "text":
                self.send_text(200, "".join(hit + "\n" for hit in hits))
            else:
                self.send_text(200, json.dumps(hits), "application/json")
        elif path == "/_reset":
            world.reset()
            self.send_text(200, "ok\n")
        elif path == "/_fault":
            target, kind = first("path"), first("kind")
            if not target.startswith("/") or (kind not in FAULT_KINDS and kind != "none"):
                self.send_text(400, "path must start with / and kind be one of: %s, none\n"
                               % ", ".join(FAULT_KINDS))
                return
            params = {name: values[0] for name, values in query.items()
                      if name not in ("path", "kind")}
            with world.lock:
                if kind == "none":
                    world.faults.pop(target, None)
                else:
                    world.faults[target] = (kind, params)
            self.send_text(200, "ok\n")
        elif path == "/_put":
            target = first("path")
            if not target.startswith("/"):
                self.send_text(400, "path must start with /\n")
                return
            content_type = first("type", "text/xml; charset=utf-8")
            body = self.read_body()
            with world.lock:
                world.puts[target] = (content_type, body)
            self.send_text(200, "ok\n")
        elif path == "/_latency":
            with world.lock:
                world.latency_ms = int(first("ms", "0"))
            self.send_text(200, "ok\n")
        elif path == "/_today":
            date = first("date")
            with world.lock:
                world.today = datetime.date.fromisoformat(date) if date else None
            self.send_text(200, "ok\n")
        elif path == "/_entity-probe":
            # An external entity that reached the network would land here; it counts as a hit.
            with world.lock:
                world.hits.append(self.path)
            self.send_text(200, "ENTITY-PROBE-REACHED")
        else:
            self.send_text(404, "unknown control endpoint\n")

    # ---- the world ------------------------------------------------------------------------

    def expanded(self, body, content_type):
        if "xml" in content_type or "html" in content_type or "rss" in content_type:
            text = body.decode("utf-8", errors="surrogateescape")
            if "{{today" in text:
                return expand_today(text, self.world.current_today()).encode(
                    "utf-8", errors="surrogateescape")
        return body

    def fixture(self, *parts):
        path = os.path.join(self.world.fixtures, *parts)
        real = os.path.realpath(path)
        if not real.startswith(os.path.realpath(self.world.fixtures) + os.sep):
            return None
        if not os.path.isfile(real):
            return None
        with open(real, "rb") as handle:
            return handle.read()

    def serve_fixture(self, parts, content_type="text/xml; charset=utf-8"):
        body = self.fixture(*parts)
        if body is None:
            self.send_text(404, "not found\n")
        else:
            self.send_bytes(200, self.expanded(body, content_type), content_type)

    def serve_world(self, path, query):
        series = re.fullmatch(r"/api/([^/]+)/series/([^/]+)/all/en\.xml", path)
        if path == "/api/GetSeries.php":
            self.serve_search((query.get("seriesname") or [""])[0])
        elif series:
            if series.group(1) != ACCESS_KEY or not series.group(2).isdigit():
                self.send_text(404, "unknown series\n")
            else:
                self.serve_fixture(["tvdb", "series", series.group(2) + ".xml"])
        elif path.startswith("/banners/"):
            self.send_bytes(200, placeholder_png(path), "image/png")
        elif path == "/other/shows.rss":
            self.serve_fixture(["feed", "shows.rss"], "application/rss+xml; charset=utf-8")
        elif path == "/update.xml":
            self.serve_fixture(["update", "update.xml"])
        else:
            self.serve_page(path)

    def serve_search(self, text):
        """Series of the catalogue whose SeriesName holds the text, case-insensitively."""
        catalogue = self.fixture("tvdb", "search", "catalogue.xml")
        if catalogue is None:
            self.send_text(404, "no catalogue\n")
            return
        entries = re.findall(r"<Series>.*?</Series>", catalogue.decode("utf-8"), re.S)
        wanted = text.strip().lower()
        hits = []
        for entry in entries:
            name = re.search(r"<SeriesName>(.*?)</SeriesName>", entry, re.S)
            if wanted and name and wanted in html.unescape(name.group(1)).lower():
                hits.append(entry)
        body = '<?xml version="1.0" encoding="UTF-8" ?>\n<Data>\n' + "\n".join(hits) + "\n</Data>\n"
        self.send_bytes(200, body.encode("utf-8"))

    def serve_page(self, path):
        if not self.world.pages:
            self.send_text(404, "not found\n")
            return
        relative = urllib.parse.unquote(path.lstrip("/")) or "main.html"
        full = os.path.realpath(os.path.join(self.world.pages, relative))
        if not full.startswith(os.path.realpath(self.world.pages) + os.sep) or not os.path.isfile(full):
            self.send_text(404, "not found\n")
            return
        types = {".html": "text/html; charset=utf-8", ".js": "text/javascript; charset=utf-8",
                 ".css": "text/css; charset=utf-8", ".svg": "image/svg+xml", ".png": "image/png",
                 ".json": "application/json"}
        with open(full, "rb") as handle:
            body = handle.read()
        content_type = types.get(os.path.splitext(full)[1], "application/octet-stream")
        self.send_bytes(200, self.expanded(body, content_type), content_type)

    # ---- faults ---------------------------------------------------------------------------

    def serve_fault(self, path, kind, params):
        world = self.world
        port = self.server.server_address[1]
        if kind == "404":
            self.send_text(404, "not found\n")
        elif kind == "500":
            self.send_text(500, "<Data><Series><id>1</id></Series></Data>", "text/xml")
        elif kind == "slow-headers":
            world.stopping.wait(float(params.get("seconds", 120)))
        elif kind == "stall-body":
            self.send_response(200)
            self.send_header("Content-Type", "text/xml")
            self.send_header("Content-Length", "100000")
            self.end_headers()
            self.wfile.write(b"<Data><Series>")
            self.wfile.flush()
            world.stopping.wait(float(params.get("seconds", 120)))
        elif kind == "trickle":
            # A byte at a time, well under any sane speed limit, for as long as the client waits.
            self.send_response(200)
            self.send_header("Content-Type", "text/xml")
            self.send_header("Content-Length", "1000000000")
            self.end_headers()
            deadline = time.monotonic() + float(params.get("seconds", 120))
            interval = float(params.get("interval", 0.2))
            piece = b" " * int(params.get("bytes", 1))
            while time.monotonic() < deadline and not world.stopping.is_set():
                self.wfile.write(piece)
                self.wfile.flush()
                world.stopping.wait(interval)
        elif kind == "redirect-loop":
            step = int(params.get("step", "0")) + 1
            self.send_bytes(302, b"", "text/plain",
                            {"Location": "/fault/redirect-loop?step=%d" % step})
        elif kind == "redirect-file":
            self.send_bytes(302, b"", "text/plain",
                            {"Location": params.get("target", "file:///etc/passwd")})
        elif kind == "oversized":
            self.serve_oversized(int(params.get("megabytes", 40)))
        elif kind == "gzip-bomb":
            self.send_bytes(200, world.gzip_bomb(), "text/xml", {"Content-Encoding": "gzip"})
        elif kind in ("doctype-file", "doctype-http", "doctype-dtd", "billion-laughs",
                      "quadratic-blowup"):
            self.send_text(200, hostile_document(kind, params, port), "text/xml")
        elif kind == "truncated":
            body = self.fixture("tvdb", "series", "80001.xml") or b"<Data><Series><id>1</id>"
            self.send_bytes(200, body[: len(body) // 2], "text/xml")
        elif kind == "not-xml":
            self.send_text(200, "<html><body>Service unavailable</body></html>", "text/html")
        elif kind == "empty":
            self.send_bytes(200, b"", "text/xml")

    def serve_oversized(self, megabytes):
        self.send_response(200)
        self.send_header("Content-Type", "text/xml")
        self.send_header("Transfer-Encoding", "chunked")
        self.end_headers()
        line = b"<Series><id>1</id></Series>" * 38 + b"\n"  # about 1 KB
        block = line * 1024
        sent = 0
        self.write_chunk(b"<Data>")
        while sent < megabytes << 20 and not self.world.stopping.is_set():
            self.write_chunk(block)
            sent += len(block)
        self.write_chunk(b"</Data>")
        self.wfile.write(b"0\r\n\r\n")

    def write_chunk(self, data):
        self.wfile.write(b"%x\r\n%s\r\n" % (len(data), data))


def hostile_document(kind, params, port):
    if kind == "doctype-file":
        target = params.get("target", "/etc/passwd")
        return ('<?xml version="1.0"?>\n<!DOCTYPE Data [<!ENTITY leak SYSTEM "file://%s">]>\n'
                "<Data><Series><id>1</id><SeriesName>&leak;</SeriesName></Series>"
                "<Episode><id>2</id><Overview>&leak;</Overview></Episode></Data>\n" % target)
    if kind == "doctype-http":
        return ('<?xml version="1.0"?>\n<!DOCTYPE Data [<!ENTITY probe SYSTEM '
                '"http://127.0.0.1:%d/_entity-probe">]>\n'
                "<Data><Series><id>1</id><SeriesName>&probe;</SeriesName></Series>"
                "<Episode><id>2</id></Episode></Data>\n" % port)
    if kind == "doctype-dtd":
        return ('<?xml version="1.0"?>\n<!DOCTYPE Data SYSTEM "http://127.0.0.1:%d/_entity-probe">\n'
                "<Data><Series><id>1</id></Series><Episode><id>2</id></Episode></Data>\n" % port)
    if kind == "quadratic-blowup":
        # One flat entity, no nesting for a depth limit to catch: 100 KB × 20 000 references, 2 GB.
        size = int(params.get("kilobytes", 100)) << 10
        references = int(params.get("references", 20000))
        return ('<?xml version="1.0"?>\n<!DOCTYPE Data [<!ENTITY a "%s">]>\n'
                "<Data><Series><id>1</id><SeriesName>%s</SeriesName></Series>"
                "<Episode><id>2</id></Episode></Data>\n" % ("a" * size, "&a;" * references))
    # billion laughs: ten levels of ten, a billion "lol"s if expanded.
    lines = ['<?xml version="1.0"?>', "<!DOCTYPE Data [", '<!ENTITY lol0 "lol">']
    for level in range(1, 10):
        lines.append('<!ENTITY lol%d "%s">' % (level, ("&lol%d;" % (level - 1)) * 10))
    lines.append("]>")
    lines.append("<Data><Series><id>1</id><SeriesName>&lol9;</SeriesName></Series>"
                 "<Episode><id>2</id></Episode></Data>")
    return "\n".join(lines) + "\n"


class Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def handle_error(self, request, client_address):
        # Clients that give up early (the point of most faults) are not worth a traceback.
        if not isinstance(sys.exc_info()[1], (ConnectionError, TimeoutError)):
            super().handle_error(request, client_address)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, default=0, help="0 picks a free port (printed first)")
    parser.add_argument("--fixtures", default=os.path.join(ROOT, "tests", "fixtures"))
    parser.add_argument("--pages", default=os.path.join(ROOT, "page"),
                        help="folder served for every other path (main.html ...)")
    parser.add_argument("--latency-ms", type=int, default=0, help="delay before every answer")
    parser.add_argument("--today", help="pin {{today}} to this date (YYYY-MM-DD)")
    parser.add_argument("--exit-on-stdin-eof", action="store_true",
                        help="stop when stdin closes (how a parent process ties the server to itself)")
    args = parser.parse_args()

    pages = args.pages if args.pages and os.path.isdir(args.pages) else None
    world = World(os.path.abspath(args.fixtures), pages, args.latency_ms)
    world.initial_latency_ms = args.latency_ms
    if args.today:
        world.today = datetime.date.fromisoformat(args.today)
    server = Server(("127.0.0.1", args.port), Handler)
    server.world = world

    def stop(*_):
        world.stopping.set()
        threading.Thread(target=server.shutdown, daemon=True).start()

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)

    def watch_stdin():
        try:
            while sys.stdin.buffer.read(4096):
                pass
        except (OSError, ValueError):
            pass
        stop()

    if args.exit_on_stdin_eof:
        threading.Thread(target=watch_stdin, daemon=True).start()
    print(server.server_address[1], flush=True)
    server.serve_forever(poll_interval=0.1)
    server.server_close()


if __name__ == "__main__":
    main()
