#!/usr/bin/env python3
"""Figures of the main window against the floor of a bare WebKitGTK window (window_floor), taken
in the same run on a private X server with a tray host (run it under xvfb-run and
dbus-run-session, as bench/run does):

- "My Shows" to the first row painted: from just before a second start of the program to the
  page's first row of My Shows on screen (two animation frames after it entered the document),
  with generated followed series; the floor is the bare window started on the same page with
  the rows inlined (the real page's own document after it showed them, scripts removed), timed
  the same way from just before its exec;
- memory of the open window with those rows: what the program and every process below it hold
  together, each physical page counted once however many of them map it (frame numbers from
  /proc/PID/pagemap, so it runs as root), with the proportional share (Pss) summed over them
  beside it, against the same figures of the floor (the bare window showing the same static
  page), all once the resident size has not grown for 2 s;
- the agent's resident size (VmRSS, summed over its processes) idle before the first opening and
  after the window closed, after 1 and after OPENINGS openings.

The bundled page is served from a loopback server (QUORVEL_PAGE_HOST) with one script added that
reports the painted row; its content security policy lets that script post to the server.

Usage: window_bench.py QUORVEL BENCH_DATA WINDOW_FLOOR [--runs N] [--series N] [--openings N]
Prints one line per run and a JSON line of medians last.
"""

import argparse
import json
import os
import re
import statistics
import subprocess
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "gui"))
import guitest as g  # noqa: E402
from agent_bench import descendants, held_kb, icon_shown, rollup, settle, current_kb, stop  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PAGE = os.path.join(ROOT, "page")

PROBE = r"""
(function () {
  'use strict';
  var floor = location.pathname.indexOf('/floor') === 0;
  var sent = false;
  function post(path, body) {
    fetch(path, {method: 'POST', body: body}).catch(function () {});
  }
  function rows() {
    return document.querySelectorAll('#view-myshows [data-role="list"] > li').length;
  }
  function snapshotWhenSettled(last, since) {
    var now = rows();
    if (now !== last) { setTimeout(function () { snapshotWhenSettled(now, Date.now()); }, 200); return; }
    if (Date.now() - since < 1000) { setTimeout(function () { snapshotWhenSettled(now, since); }, 200); return; }
    post('/snapshot', document.documentElement.outerHTML);
  }
  function check() {
    if (sent || rows() === 0) return;
    sent = true;
    requestAnimationFrame(function () {
      requestAnimationFrame(function () {
        post('/report', JSON.stringify({t: performance.timeOrigin + performance.now(), rows: rows(),
                                        floor: floor}));
        if (!floor) snapshotWhenSettled(rows(), Date.now());
      });
    });
  }
  new MutationObserver(check).observe(document, {childList: true, subtree: true});
  document.addEventListener('DOMContentLoaded', check);
})();
"""


class BenchServer:
    """Serves the bundled page with the probe, the floor's static copy, and takes reports."""

    def __init__(self):
        self.reports = []
        self.snapshot = None
        self.lock = threading.Condition()
        server = self

        class Handler(BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def log_message(self, *args):
                pass

            def _send(self, status, body, content_type="text/plain"):
                try:
                    self.send_response(status)
                    self.send_header("Content-Type", content_type)
                    self.send_header("Content-Length", str(len(body)))
                    self.send_header("Cache-Control", "no-store")
                    self.end_headers()
                    self.wfile.write(body)
                except OSError:
                    pass

            def do_GET(self):
                path = self.path.split("?")[0]
                if path == "/main.html":
                    self._send(200, server.page(), "text/html; charset=utf-8")
                elif path == "/floor.html":
                    with server.lock:
                        body = (server.snapshot or "").encode()
                    self._send(200 if body else 404, body, "text/html; charset=utf-8")
                elif path == "/probe.js":
                    self._send(200, PROBE.encode(), "text/javascript")
                else:
                    name = os.path.normpath(path.lstrip("/"))
                    file = os.path.join(PAGE, name)
                    if name.startswith("..") or not os.path.isfile(file):
                        self._send(404, b"")
                        return
                    types = {".js": "text/javascript", ".css": "text/css",
                             ".svg": "image/svg+xml", ".png": "image/png"}
                    with open(file, "rb") as f:
                        self._send(200, f.read(), types.get(os.path.splitext(name)[1],
                                                            "application/octet-stream"))

            def do_POST(self):
                body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
                if self.path == "/report":
                    server.add_report(json.loads(body))
                elif self.path == "/snapshot":
                    server.take_snapshot(body.decode())
                self._send(204, b"")

        class Quiet(ThreadingHTTPServer):
            daemon_threads = True

            def handle_error(self, *args):
                pass

        self.httpd = Quiet(("127.0.0.1", 0), Handler)
        self.host = f"127.0.0.1:{self.httpd.server_address[1]}"
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()

    @staticmethod
    def page():
        with open(os.path.join(PAGE, "main.html")) as f:
            html = f.read()
        html = html.replace("connect-src 'none'", "connect-src 'self'")
        return html.replace("</head>", '<script src="/probe.js"></script>\n</head>', 1).encode()

    def take_snapshot(self, html):
        static = re.sub(r"<script\b[^>]*>.*?</script>", "", html, flags=re.S | re.I)
        static = static.replace("</head>", '<script src="/probe.js"></script>\n</head>', 1)
        with self.lock:
            if self.snapshot is None:
                self.snapshot = "<!DOCTYPE html>\n" + static
            self.lock.notify_all()

    def add_report(self, report):
        with self.lock:
            self.reports.append(report)
            self.lock.notify_all()

    def wait_report(self, count, timeout=30):
        end = time.monotonic() + timeout
        with self.lock:
            while len(self.reports) < count and time.monotonic() < end:
                self.lock.wait(0.1)
            return self.reports[count - 1] if len(self.reports) >= count else None

    def wait_snapshot(self, timeout=20):
        end = time.monotonic() + timeout
        with self.lock:
            while self.snapshot is None and time.monotonic() < end:
                self.lock.wait(0.1)
            return self.snapshot is not None


def tree(pid):
    return [pid] + descendants(pid)


def closed(program):
    return not g.main_windows() and not descendants(program.pid)


def close_window():
    windows = g.main_windows()
    if windows:
        g.key(windows[0], "Escape")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("quorvel")
    parser.add_argument("bench_data")
    parser.add_argument("window_floor")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--series", type=int, default=200)
    parser.add_argument("--episodes", type=int, default=100)
    parser.add_argument("--openings", type=int, default=50)
    args = parser.parse_args()
    g.BIN = os.path.abspath(args.quorvel)
    os.environ.setdefault("QUORVEL_INSTANCE_NAME", f"quorvel-bench-{os.getpid()}")
    server = BenchServer()

    with g.Desktop("window-bench") as d:
        out = subprocess.run([args.bench_data, d.env["XDG_DATA_HOME"], str(args.series),
                              str(args.episodes)], capture_output=True, text=True)
        if out.returncode != 0:
            print(out.stderr, file=sys.stderr)
            return 1
        d.env["QUORVEL_PAGE_HOST"] = server.host
        d.start_trayer()
        program = d.start_program()
        if not g.wait_until(icon_shown, 20, 0.01):
            print("the tray icon did not appear", file=sys.stderr)
            return 1
        time.sleep(3)
        idle = current_kb(program.pid)
        print(f"idle agent: {idle} kB resident", flush=True)

        openings = 0

        def open_window():
            """Opens My Shows as a second start does; (ms to the first row painted, rows)."""
            nonlocal openings
            count = len(server.reports) + 1
            started = time.time() * 1000
            subprocess.run([g.BIN], env=d.env, timeout=10)
            report = server.wait_report(count)
            openings += 1
            if not report:
                return None, 0
            return report["t"] - started, report["rows"]

        def close_and_measure():
            close_window()
            if not g.wait_until(lambda: closed(program), 15):
                print("the window did not close", file=sys.stderr)
            time.sleep(1)
            return current_kb(program.pid)

        first_ms, rows = open_window()
        if first_ms is None or not server.wait_snapshot():
            print("the page reported no rows", file=sys.stderr)
            return 1
        print(f"first opening: {rows} rows painted after {first_ms:.0f} ms", flush=True)
        after = {1: close_and_measure()}
        print(f"after 1 opening: {after[1]} kB resident", flush=True)

        times, floors, pss, floor_pss, rss, floor_rss = [], [], [], [], [], []
        held, floor_held = [], []
        for run in range(args.runs):
            count = len(server.reports) + 1
            started = time.time() * 1000
            bare = d.start(os.path.abspath(args.window_floor), f"http://{server.host}/floor.html")
            report = server.wait_report(count)
            if not report:
                print("the floor reported no rows", file=sys.stderr)
                return 1
            floors.append(report["t"] - started)
            settle(bare.pid)
            floor_pss.append(rollup(bare.pid)["Pss"])
            floor_held.append(held_kb(bare.pid))
            floor_parts = {g._status(p).get("Name", "?"): rollup_one(p) for p in tree(bare.pid)}
            floor_rss.append(current_kb(bare.pid))
            bare.kill()
            bare.wait()
            g.wait_until(lambda: not g.windows_named("^Window floor$"), 5)
            time.sleep(1)

            ms, rows = open_window()
            if ms is None:
                print("the window reported no rows", file=sys.stderr)
                return 1
            times.append(ms)
            settle(program.pid)
            pss.append(rollup(program.pid)["Pss"])
            held.append(held_kb(program.pid))
            rss.append(current_kb(program.pid))
            parts = {g._status(p).get("Name", "?"): rollup_one(p) for p in tree(program.pid)}
            print(f"run {run + 1}: first row painted after {ms:.0f} ms (floor {floors[-1]:.0f} ms, "
                  f"{ms / floors[-1]:.2f} x); open window held {held[-1]} kB (floor {floor_held[-1]} kB, "
                  f"{held[-1] / floor_held[-1]:.3f} x), Pss {pss[-1]} kB (floor "
                  f"{floor_pss[-1]} kB, {pss[-1] / floor_pss[-1]:.3f} x) {parts}, floor {floor_parts}; "
                  f"rows {rows}",
                  flush=True)
            close_and_measure()

        while openings < args.openings:
            ms, _ = open_window()
            if ms is None:
                print(f"opening {openings} reported no rows", file=sys.stderr)
                return 1
            if openings < args.openings:
                close_window()
                g.wait_until(lambda: closed(program), 15)
        after[openings] = close_and_measure()
        print(f"after {openings} openings: {after[openings]} kB resident", flush=True)
        stop(d, program)

    ratios = [t / f for t, f in zip(times, floors)]
    pss_ratios = [p / f for p, f in zip(pss, floor_pss)]
    measured = [(h, f) for h, f in zip(held, floor_held) if h and f]
    held_ratios = [h / f for h, f in measured]
    figures = {
        "idle_rss_kb": idle, "after_1_kb": after[1], "after_n_kb": after[openings],
        "openings": openings,
        "first_row_ms": statistics.median(times), "first_row_floor_ms": statistics.median(floors),
        "first_row_ratio": statistics.median(ratios),
        "first_row_ratio_range": [min(ratios), max(ratios)],
        "window_pss_kb": statistics.median(pss), "window_floor_pss_kb": statistics.median(floor_pss),
        "window_pss_ratio": statistics.median(pss_ratios),
        "window_pss_ratio_range": [min(pss_ratios), max(pss_ratios)],
        "window_rss_kb": statistics.median(rss), "window_floor_rss_kb": statistics.median(floor_rss),
    }
    if held_ratios:
        figures.update({
            "window_held_kb": statistics.median(h for h, _ in measured),
            "window_floor_held_kb": statistics.median(f for _, f in measured),
            "window_held_ratio": statistics.median(held_ratios),
            "window_held_ratio_range": [min(held_ratios), max(held_ratios)],
        })
    print(json.dumps(figures), flush=True)
    return 0


def rollup_one(pid):
    """Pss and anonymous kB of one process."""
    found = {}
    try:
        with open(f"/proc/{pid}/smaps_rollup") as f:
            for line in f:
                name, _, value = line.partition(":")
                if name in ("Pss", "Anonymous"):
                    found[name] = int(value.split()[0])
    except OSError:
        pass
    return (found.get("Pss", 0), found.get("Anonymous", 0))


if __name__ == "__main__":
    sys.exit(main())
