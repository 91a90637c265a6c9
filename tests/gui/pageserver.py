"""A loopback page server for GUI tests of the main window.

It serves a test page as /main.html and records every request. The page reports what happens to
it by POST /report ({load, seq, kind, data}; seq orders the reports of one page load, since
concurrent POSTs may arrive out of order) and takes commands from GET /cmd (long-polled; only
the newest page load receives them). It also answers TheTVDB's search with one series named
after the search text, so a text travels page -> program -> server -> program -> page.
"""

import collections
import json
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from xml.sax.saxutils import escape

SEARCH_ANSWER = """<?xml version="1.0" encoding="UTF-8" ?>
<Data>
<Series>
  <seriesid>73</seriesid>
  <language>en</language>
  <SeriesName>{name}</SeriesName>
  <banner></banner>
  <Overview>Found by the test server.</Overview>
  <FirstAired>2001-02-03</FirstAired>
  <Network>Loopback</Network>
  <id>73</id>
</Series>
</Data>
"""


class _QuietServer(ThreadingHTTPServer):
    """A page that goes away (reload, close) drops its connections; that is no error here."""

    daemon_threads = True

    def handle_error(self, request, client_address):
        pass


class PageServer:
    def __init__(self, page_path):
        with open(page_path, "rb") as f:
            self.page = f.read()
        self.requests = []       # (method, path) in arrival order
        self.page_queries = []   # the query of each /main.html request
        self.searches = []       # decoded search texts
        self._reports = []       # (load index, seq, report)
        self._loads = []         # load ids in the order they reported "loaded"
        self._commands = collections.deque()
        self._lock = threading.Condition()
        server = self

        class Handler(BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def log_message(self, *args):
                pass

            def _send(self, status, body, content_type="text/plain; charset=utf-8"):
                """False when the page went away before the answer was written."""
                try:
                    self.send_response(status)
                    self.send_header("Content-Type", content_type)
                    self.send_header("Content-Length", str(len(body)))
                    self.send_header("Cache-Control", "no-store")
                    self.end_headers()
                    self.wfile.write(body)
                    return True
                except OSError:
                    return False

            def do_GET(self):
                server._record("GET", self.path)
                url = urllib.parse.urlsplit(self.path)
                query = urllib.parse.parse_qs(url.query, keep_blank_values=True)
                if url.path == "/main.html":
                    with server._lock:
                        server.page_queries.append(query)
                    self._send(200, server.page, "text/html; charset=utf-8")
                elif url.path == "/cmd":
                    command = server._next_command(query.get("load", [""])[0])
                    if not self._send(200, json.dumps(command).encode(), "application/json"):
                        server._give_back(command)
                elif url.path == "/go":
                    # A redirect to wherever "to" says.
                    try:
                        self.send_response(302)
                        self.send_header("Location", query.get("to", ["/"])[0])
                        self.send_header("Content-Length", "0")
                        self.end_headers()
                    except OSError:
                        pass
                elif url.path == "/api/GetSeries.php":
                    text = query.get("seriesname", [""])[0]
                    with server._lock:
                        server.searches.append(text)
                    body = SEARCH_ANSWER.format(name=escape(text)).encode()
                    self._send(200, body, "text/xml; charset=utf-8")
                else:
                    self._send(404, b"not here")

            def do_POST(self):
                length = int(self.headers.get("Content-Length", "0"))
                body = self.rfile.read(length)
                server._record("POST", self.path)
                if self.path == "/report":
                    server._add_report(json.loads(body))
                self._send(204, b"")

        self._server = _QuietServer(("127.0.0.1", 0), Handler)
        self.host = f"127.0.0.1:{self._server.server_address[1]}"
        self._thread = threading.Thread(target=self._server.serve_forever, daemon=True)

    def __enter__(self):
        self._thread.start()
        return self

    def __exit__(self, *exc):
        self._server.shutdown()
        self._server.server_close()

    def _record(self, method, path):
        with self._lock:
            self.requests.append((method, path))

    def _add_report(self, report):
        with self._lock:
            if report.get("kind") == "loaded":
                self._loads.append(report.get("load"))
            load = report.get("load")
            index = self._loads.index(load) if load in self._loads else len(self._loads)
            self._reports.append((index, report.get("seq", 0), report))
            self._lock.notify_all()

    def _next_command(self, load):
        """The oldest command for the newest page load, waiting up to a second for one."""
        end = time.monotonic() + 1.0
        with self._lock:
            while True:
                newest = self._loads[-1] if self._loads else None
                if load != newest:
                    return {}
                if self._commands:
                    return self._commands.popleft()
                remaining = end - time.monotonic()
                if remaining <= 0:
                    return {}
                self._lock.wait(remaining)

    def _give_back(self, command):
        if command:
            with self._lock:
                self._commands.appendleft(command)
                self._lock.notify_all()

    def send(self, command):
        with self._lock:
            self._commands.append(command)
            self._lock.notify_all()

    def reports(self):
        """Every report so far, in page order."""
        with self._lock:
            return [r for _, _, r in sorted(self._reports, key=lambda t: (t[0], t[1]))]

    def loads(self):
        with self._lock:
            return len(self._loads)

    def wait_for(self, predicate, timeout=10.0):
        """The first report (in page order) that satisfies predicate, waiting for it."""
        with self._lock:
            end = time.monotonic() + timeout
            while True:
                ordered = [r for _, _, r in sorted(self._reports, key=lambda t: (t[0], t[1]))]
                for report in ordered:
                    if predicate(report):
                        return report
                remaining = end - time.monotonic()
                if remaining <= 0:
                    return None
                self._lock.wait(remaining)
