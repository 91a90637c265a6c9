"""Helpers for GUI tests of the real program under Xvfb (see run-under-xvfb).

A Desktop is a sandboxed user (HOME and XDG folders of its own, a fake default browser that
records the addresses it is asked to open) with the processes a test starts: the tray host
(trayer), the program, and any X client. Windows are found with xwininfo and xdotool, the tray
menu through the accessibility bus, pixels through ImageMagick.
"""

import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import urllib.parse
import urllib.request

BIN = os.environ.get("QUORVEL_BIN", "quorvel")
HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.environ.get("QUORVEL_SOURCE_DIR", os.path.normpath(os.path.join(HERE, "..", "..")))
SCREEN = (1024, 768)
MAIN_TITLE = "Quorvel.Net"
TRAY_TITLE = "Quorvel Startup"
# Remote hosts nobody listens on: a test never reaches the internet.
DEAD_HOST = "127.0.0.1:9"

_failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok:
        _failures.append(what)
    return ok


class Stop(Exception):
    """A check failed that the rest of the test depends on."""


def require(ok, what):
    if not check(ok, what):
        raise Stop(what)
    return ok


def note(text):
    print("note " + text, flush=True)


def finish():
    print(f"{'FAILED' if _failures else 'PASSED'}: {len(_failures)} failure(s)", flush=True)
    return 1 if _failures else 0


def wait_until(predicate, timeout=10.0, interval=0.1):
    """The first truthy value of predicate(), or None when the time is up."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(interval)


def run(*args, timeout=10):
    """A command's output; empty when it does not finish in time."""
    try:
        return subprocess.run(args, capture_output=True, text=True, timeout=timeout).stdout
    except subprocess.TimeoutExpired:
        note(f"{args[0]} did not finish in {timeout} s")
        return ""


# --- X windows -----------------------------------------------------------------------------

_WINDOW_LINE = re.compile(
    r'^\s*(0x[0-9a-f]+) (?:"([^"]*)"|\(has no name\)):.*?\s(\d+)x(\d+)[+-]-?\d+[+-]-?\d+\s+'
    r'([+-]-?\d+)([+-]-?\d+)\s*$')


def x_windows():
    """Every window on the display: dicts with id, name, width, height, x and y on screen."""
    windows = []
    for line in run("xwininfo", "-root", "-tree").splitlines():
        m = _WINDOW_LINE.match(line)
        if m:
            windows.append({"id": m.group(1), "name": m.group(2) or "",
                            "width": int(m.group(3)), "height": int(m.group(4)),
                            "x": int(m.group(5).lstrip("+")), "y": int(m.group(6).lstrip("+"))})
    return windows


def viewable(window_id):
    return "IsViewable" in run("xwininfo", "-id", window_id)


def tray_icon():
    """The tray icon's window when it is shown on screen, else None."""
    for w in x_windows():
        if (w["name"] == TRAY_TITLE and w["width"] > 1 and 0 <= w["x"] < SCREEN[0]
                and 0 <= w["y"] < SCREEN[1] and viewable(w["id"])):
            return w
    return None


def windows_named(pattern):
    """The visible windows whose name matches a regular expression."""
    out = run("xdotool", "search", "--onlyvisible", "--name", pattern)
    return [line for line in out.split() if line]


def main_windows():
    return windows_named("^Quorvel\\.Net$")


def top_window(*windows):
    """Which of these toplevel windows is highest in the stacking order, or None."""
    wanted = {int(w, 0) for w in windows}
    # With no window manager the toplevels are the root's children; xwininfo lists the top first.
    stack = [int(m, 16) for m in re.findall(r"^\s+(0x[0-9a-f]+)",
                                             run("xwininfo", "-root", "-children"), re.M)]
    found = [w for w in stack if w in wanted]
    return found[0] if found else None


def window_geometry(window):
    out = run("xdotool", "getwindowgeometry", "--shell", str(window))
    values = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
    return {k: int(values[k]) for k in ("X", "Y", "WIDTH", "HEIGHT") if k in values}


def screenshot(path):
    subprocess.run(["import", "-window", "root", path], check=True, timeout=20)
    return path


def pixel(path, x, y):
    """The (r, g, b) of one pixel of an image."""
    out = run("convert", path, "-crop", f"1x1+{x}+{y}", "-depth", "8", "txt:-")
    m = re.search(r"\((\d+),(\d+),(\d+)", out)
    return tuple(int(v) for v in m.groups()) if m else None


def region_pixels(path, x, y, width, height):
    """The (r, g, b) of every pixel of a region."""
    out = run("convert", path, "-crop", f"{width}x{height}+{x}+{y}", "-depth", "8", "txt:-",
              timeout=30)
    return [tuple(int(v) for v in m.groups())
            for m in re.finditer(r"^\d+,\d+: \((\d+),(\d+),(\d+)", out, re.MULTILINE)]


def settled_tray_icon(timeout=15):
    """The tray icon once the tray host has stopped resizing it."""
    def settled():
        first = tray_icon()
        time.sleep(0.4)
        second = tray_icon()
        return second if first and first == second else None
    return wait_until(settled, timeout)


def coloured_pixels(path, x, y, width, height, threshold=40):
    """How many pixels of a region are brighter than threshold in some channel."""
    return sum(1 for p in region_pixels(path, x, y, width, height) if max(p) > threshold)


def distinct_colours(path, geometry):
    """How many colours a window's area of a screenshot holds: a blank window has one or two."""
    crop = f"{geometry['WIDTH']}x{geometry['HEIGHT']}+{geometry['X']}+{geometry['Y']}"
    out = run("convert", path, "-crop", crop, "+repage", "-format", "%k", "info:", timeout=30)
    return int(out) if out.strip().isdigit() else 0


def clapperboard_pixels(path, icon):
    """How many of the tray icon's pixels have the colour of the grey clapperboard's body
    (#3c3c3c; the panel behind it is #303030) and how many that of the red one."""
    pixels = region_pixels(path, icon["x"], icon["y"], icon["width"], icon["height"])
    return {"grey": sum(1 for p in pixels if 56 <= p[0] <= 68 and max(p) - min(p) < 6),
            "red": sum(1 for p in pixels if p[0] > 150 and p[1] < 90 and p[2] < 90)}


def click(x, y, button=1):
    run("xdotool", "mousemove", str(x), str(y))
    time.sleep(0.1)
    run("xdotool", "click", str(button))


def key(window, name):
    run("xdotool", "windowfocus", "--sync", str(window))
    run("xdotool", "key", "--clearmodifiers", name)


# --- processes -----------------------------------------------------------------------------

def _status(pid):
    fields = {}
    try:
        with open(f"/proc/{pid}/status") as status:
            for line in status:
                name, _, value = line.partition(":")
                fields[name] = value.strip()
    except OSError:
        pass
    return fields


def children(pid):
    """(pid, name) of the living children of a process."""
    found = []
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            fields = _status(entry)
            if fields.get("PPid") == str(pid) and fields.get("State", "").find("zombie") < 0:
                found.append((int(entry), fields.get("Name", "")))
    return found


def alive(pid):
    state = _status(pid).get("State", "")
    return bool(state) and "zombie" not in state


def web_processes(pid):
    """The web processes below a process (the program's are below its window program)."""
    return [c for c in descendants(pid) if c[1].startswith("WebKitWebProces")]


def descendants(pid):
    """Every living process below pid, as (pid, name)."""
    found, todo = [], [pid]
    while todo:
        for child in children(todo.pop()):
            found.append(child)
            todo.append(child[0])
    return found


def resident_kb(pid):
    """Resident memory (VmRSS) of a process, 0 when it is gone."""
    value = _status(pid).get("VmRSS", "0 kB").split()[0]
    return int(value) if value.isdigit() else 0


def tree_resident_kb(pid):
    """Resident memory of a process and every process below it, summed."""
    return resident_kb(pid) + sum(resident_kb(child) for child, _ in descendants(pid))


def tls_libraries(pid):
    """The HTTP and TLS libraries a process has mapped (its downloads run in a helper)."""
    try:
        with open(f"/proc/{pid}/maps") as maps:
            paths = {line.split()[-1] for line in maps if "/" in line}
    except OSError:
        return []
    names = ("libcurl", "libssl.so", "libcrypto.so", "libgnutls", "libssh2")
    return sorted(p for p in paths if any(n in os.path.basename(p) for n in names))


def peak_memory_kb(pid):
    """Peak resident memory (VmHWM) of a process, 0 when it is gone."""
    value = _status(pid).get("VmHWM", "0 kB").split()[0]
    return int(value) if value.isdigit() else 0


# --- followed series ----------------------------------------------------------------------

def follow_series(desktop, count, episodes):
    """Writes `count` followed series of `episodes` weekly episodes each, added today so that
    nothing is downloaded at start."""
    sys.path.insert(0, os.path.join(SOURCE, "tools"))
    from seriesdoc import series_document
    folder = os.path.join(desktop.env["XDG_DATA_HOME"], "Quorvel")
    os.makedirs(folder, exist_ok=True)
    today = time.localtime()
    entries = []
    for n in range(count):
        series_id = str(81000 + n)
        first = time.mktime((today.tm_year, today.tm_mon, today.tm_mday - 7 * episodes // 2 + n % 7,
                             12, 0, 0, 0, 0, -1))
        rows = [{"id": str(900000 + n * 1000 + i), "SeasonNumber": "1",
                 "EpisodeNumber": str(i + 1), "EpisodeName": f"Episode {i + 1}",
                 "FirstAired": time.strftime("%Y-%m-%d", time.localtime(first + i * 7 * 86400))}
                for i in range(episodes)]
        path = os.path.join(folder, f"{series_id}.xml")
        with open(path, "w") as f:
            f.write(series_document({"id": series_id, "SeriesName": f"Series {n}"}, rows))
        entries.append(f'<Series><DateAdded>{time.strftime("%Y-%m-%d", today)}</DateAdded>\r\n'
                       f"<PathToDetails>{path}</PathToDetails>\r\n<seriesid>{series_id}"
                       "</seriesid>\r\n</Series>\r\n")
    with open(os.path.join(folder, "favorites.xml"), "w", newline="") as f:
        f.write('<?xml version="1.0" encoding="utf-8"?>\r\n<Data xmlns:xsi="http://www.w3.org/'
                '2001/XMLSchema-instance" xmlns:xsd="http://www.w3.org/2001/XMLSchema">\r\n'
                + "".join(entries) + "</Data>\r\n")


# --- the accessibility bus: the tray menu's items ------------------------------------------

def _gdbus(*args):
    return run("gdbus", "call", *args)


def _a11y_address():
    out = _gdbus("--session", "--dest", "org.a11y.Bus", "--object-path", "/org/a11y/bus",
                 "--method", "org.a11y.Bus.GetAddress")
    m = re.match(r"\('(.*)',\)", out.strip())
    return m.group(1) if m else None


class Accessibility:
    """The program's accessible objects, read with gdbus (no extra Python packages needed)."""

    def __init__(self):
        self.address = _a11y_address()

    def available(self):
        return bool(self.address)

    def _call(self, dest, path, method, *args):
        return _gdbus("--address", self.address, "--dest", dest, "--object-path", path,
                      "--method", method, *args)

    def _children(self, dest, path):
        out = self._call(dest, path, "org.a11y.atspi.Accessible.GetChildren")
        return re.findall(r"\('([^']*)', (?:objectpath )?'([^']*)'\)", out)

    def _text(self, dest, path, method, *args):
        out = self._call(dest, path, method, *args).strip()
        m = re.match(r"\(<?'(.*)'>?,\)$", out)
        return m.group(1) if m else ""

    def _extents(self, dest, path):
        out = self._call(dest, path, "org.a11y.atspi.Component.GetExtents", "0")
        m = re.search(r"\((-?\d+), (-?\d+), (\d+), (\d+)\)", out)
        return tuple(int(v) for v in m.groups()) if m else None

    def _name(self, node):
        return self._text(*node, "org.freedesktop.DBus.Properties.Get",
                          "org.a11y.atspi.Accessible", "Name")

    def _role(self, node):
        return self._text(*node, "org.a11y.atspi.Accessible.GetRoleName")

    def window_parts(self, title):
        """(role, name, extents) of the labels and buttons of the program's window with this
        title, e.g. a message dialog."""
        if not self.address:
            return []
        registry = ("org.a11y.atspi.Registry", "/org/a11y/atspi/accessible/root")
        for app in self._children(*registry):
            if self._name(app) != "quorvel":
                continue
            for window in self._children(*app):
                if self._name(window) == title:
                    return self._parts(window, 8)
        return []

    def _parts(self, node, depth):
        found = []
        for child in self._children(*node):
            role = self._role(child)
            if role in ("label", "push button"):
                found.append((role, self._name(child), self._extents(*child)))
            elif depth > 0:
                found += self._parts(child, depth - 1)
        return found

    def menu_items(self):
        """(label, (x, y, width, height)) of the items of the program's open popup menus."""
        if not self.address:
            return []
        items = []
        registry = ("org.a11y.atspi.Registry", "/org/a11y/atspi/accessible/root")
        for app in self._children(*registry):
            if self._name(app) != "quorvel":
                continue
            # A popup menu is a toplevel "window" holding a "menu"; the main window (a "frame"
            # with the page's whole tree) is not walked.
            for window in self._children(*app):
                if self._role(window) != "window":
                    continue
                for menu in self._children(*window):
                    if self._role(menu) != "menu":
                        continue
                    for item in self._children(*menu):
                        if self._role(item) != "menu item":
                            continue
                        extents = self._extents(*item)
                        if extents and extents[2] > 0 and extents[3] > 0:
                            items.append((self._name(item), extents))
        return items


# --- the loopback test server --------------------------------------------------------------

class TestServer:
    """tools/testserver.py on 127.0.0.1 as one of a Desktop's processes (see tests/README.md)."""

    def __init__(self, desktop, *args):
        port_file = os.path.join(desktop.dir, f"server-{len(desktop._processes)}.out")
        desktop.start(sys.executable, os.path.join(SOURCE, "tools", "testserver.py"), "--port",
                      "0", *args, log=port_file)
        port = require(wait_until(lambda: open(port_file).readline().strip(), 10),
                       "the test server tells its port")
        self.host = f"127.0.0.1:{port}"
        self.base = "http://" + self.host

    def hits(self):
        with urllib.request.urlopen(self.base + "/_hits", timeout=5) as answer:
            return json.load(answer)

    def put(self, path, body, content_type="text/xml; charset=utf-8"):
        query = urllib.parse.urlencode({"path": path, "type": content_type})
        request = urllib.request.Request(f"{self.base}/_put?{query}", data=body, method="POST")
        with urllib.request.urlopen(request, timeout=5) as answer:
            answer.read()


# --- the sandboxed desktop -----------------------------------------------------------------

FAKE_BROWSER = """#!/usr/bin/env python3
import json, os, sys
with open(os.environ["QUORVEL_TEST_URI_LOG"], "a") as log:
    log.write(json.dumps(sys.argv[1:]) + "\\n")
"""


class Desktop:
    """A sandboxed user with the processes a test starts; everything goes when it closes."""

    def __init__(self, name):
        self.dir = tempfile.mkdtemp(prefix=f"quorvel-{name}-")
        self.uri_log = os.path.join(self.dir, "opened-uris.log")
        self.stderr_path = os.path.join(self.dir, "program.stderr")
        self.env = dict(os.environ)
        self.env.update({
            "HOME": self.dir,
            "XDG_DATA_HOME": os.path.join(self.dir, "data"),
            "XDG_CONFIG_HOME": os.path.join(self.dir, "config"),
            "XDG_CACHE_HOME": os.path.join(self.dir, "cache"),
            "QUORVEL_TVDB_HOST": DEAD_HOST,
            "QUORVEL_FEED_HOST": DEAD_HOST,
            "QUORVEL_UPDATE_HOST": DEAD_HOST,
            "QUORVEL_TEST_URI_LOG": self.uri_log,
        })
        self.env.pop("QUORVEL_PAGE_HOST", None)
        self._processes = []
        self.program = None
        self._install_fake_browser()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def _install_fake_browser(self):
        apps = os.path.join(self.env["XDG_DATA_HOME"], "applications")
        os.makedirs(apps)
        os.makedirs(self.env["XDG_CONFIG_HOME"])
        recorder = os.path.join(self.dir, "fake-browser")
        with open(recorder, "w") as f:
            f.write(FAKE_BROWSER.replace("/usr/bin/env python3", sys.executable, 1))
        os.chmod(recorder, 0o755)
        with open(os.path.join(apps, "quorvel-test-browser.desktop"), "w") as f:
            f.write("[Desktop Entry]\nType=Application\nName=Test browser\n"
                    f"Exec={recorder} %u\nNoDisplay=true\n"
                    "MimeType=x-scheme-handler/http;x-scheme-handler/https;"
                    "x-scheme-handler/mailto;\n")
        with open(os.path.join(self.env["XDG_CONFIG_HOME"], "mimeapps.list"), "w") as f:
            f.write("[Default Applications]\n")
            for scheme in ("http", "https", "mailto"):
                f.write(f"x-scheme-handler/{scheme}=quorvel-test-browser.desktop\n")

    def opened_uris(self):
        """The addresses the program handed to the desktop's browser, in order."""
        try:
            with open(self.uri_log) as log:
                return [json.loads(line)[0] for line in log if line.strip()]
        except OSError:
            return []

    def start(self, *args, env=None, log=None):
        """Starts a helper process; its output goes to the file `log` or nowhere."""
        out = open(log, "wb") if log else subprocess.DEVNULL
        process = subprocess.Popen(args, env=env or self.env, stdout=out,
                                   stderr=subprocess.DEVNULL)
        if log:
            out.close()
        self._processes.append(process)
        return process

    def start_trayer(self):
        trayer = self.start("trayer", "--edge", "bottom", "--align", "right", "--widthtype",
                            "request", "--height", "24", "--transparent", "false", "--tint",
                            "0x303030")
        require(wait_until(lambda: any(w["name"] == "panel" for w in x_windows()), 10),
                "trayer is up")
        return trayer

    def start_program(self, env=None, program=None):
        stderr = open(self.stderr_path, "ab")
        self.program = subprocess.Popen([program or BIN], env=env or self.env,
                                        stdout=subprocess.DEVNULL, stderr=stderr)
        stderr.close()
        self._processes.append(self.program)
        return self.program

    def program_stderr(self):
        try:
            with open(self.stderr_path, errors="replace") as f:
                return f.read()
        except OSError:
            return ""

    def wait_exit(self, process=None, timeout=15):
        process = process or self.program
        try:
            return process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None

    # The tray menu: a right click on the icon, then a click on an item.
    def open_tray_menu(self):
        icon = require(wait_until(tray_icon, 15), "the tray icon is on screen")
        click(icon["x"] + icon["width"] // 2, icon["y"] + icon["height"] // 2, 3)
        items = wait_until(lambda: Accessibility().menu_items(), 5)
        return items or []

    def choose(self, label):
        """Opens the tray menu and clicks the item with this label."""
        items = self.open_tray_menu()
        for name, (x, y, w, h) in items:
            if name == label:
                click(x + w // 2, y + h // 2)
                return True
        if not items:
            # Without an accessibility bus the items are found by position: GTK's menus take
            # the keyboard, Down selects the first item and Up the last.
            note("no accessibility bus: choosing by keyboard")
            time.sleep(0.5)
            run("xdotool", "key", "Down" if label == "My Shows" else "Up", "Return")
            return True
        return False

    def close(self):
        for process in reversed(self._processes):
            if process.poll() is None:
                process.kill()
                try:
                    process.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    pass
        if _failures and self.program_stderr():
            print("---- program stderr ----\n" + self.program_stderr(), flush=True)
        if self.program:
            # The program's web processes die with their parent; do not leave any behind.
            wait_until(lambda: not web_processes(self.program.pid), 5)
        shutil.rmtree(self.dir, ignore_errors=True)
