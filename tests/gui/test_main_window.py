#!/usr/bin/env python3
"""The main window and the page contract, with the real program and a test page served from a
loopback server (QUORVEL_PAGE_HOST): the window's place and size, the address, window.external's
thirteen methods and OpenCalendar after them, the order of the answers, the argument rules, hostile texts travelling both
ways byte for byte, the body colour and scroll bars, new-window requests, dragging, "My Shows"
bringing the open window forward, a reload, Escape and OnClose closing the window, and no web
process left once it is closed."""

import os
import re
import subprocess
import time

import guitest as g
from pageserver import PageServer

METHODS = ["OnClick", "OnClose", "DragWindow", "CheckCurrentPlaying", "SearchCallback",
           "GetDetails", "ShowSeason", "AddToFavs", "ShowNextShows", "ShowRecentShows",
           "ShowMyShows", "RemoveShow", "OpenURL", "OpenCalendar"]
HOSTILE = ['"); window.external.OnClose(); ("', "</script><b>x"]
PAGE_COLOUR = (0x20, 0x40, 0x60)
BODY = {"$": "body"}


class Page:
    """The test page in the main window, driven through the page server."""

    def __init__(self, server):
        self.server = server

    def command(self, op, kind, **fields):
        """Sends a command and waits for the page's report of the given kind after it."""
        before = len(self.server.reports())
        self.server.send(dict(op=op, **fields))
        return self.server.wait_for(
            lambda r: r["kind"] == kind and self.server.reports().index(r) >= before, 10)

    def call(self, method, *args):
        return self.command("call", "called", method=method, args=list(args))

    def answers(self, *calls, settle=0.5):
        """Makes the calls in order and returns the page functions' answers (fn, args) that
        follow, up to the first "initFinish" and whatever else arrives shortly after it."""
        start = len(self.server.reports())
        for method, *args in calls:
            g.require(self.call(method, *args), f"{method} called")

        def finished(report):
            return (report["kind"] == "answer" and report["data"]["fn"] == "initFinish"
                    and self.server.reports().index(report) >= start)

        self.server.wait_for(finished, 10)
        time.sleep(settle)
        return [(r["data"]["fn"], r["data"]["args"]) for r in self.server.reports()[start:]
                if r["kind"] == "answer"]

    def style(self):
        report = self.command("style", "style")
        return report["data"] if report else {}


def names(answers):
    return [fn for fn, _ in answers]


def window_pixel(desktop, window, name):
    geometry = g.window_geometry(window)
    shot = g.screenshot(os.path.join(desktop.dir, name))
    return g.pixel(shot, geometry["X"] + geometry["WIDTH"] // 2,
                   geometry["Y"] + geometry["HEIGHT"] // 2)


def check_window(window):
    geometry = g.window_geometry(window)
    g.check(geometry.get("WIDTH") == 780 and geometry.get("HEIGHT") == 552,
            f"the window is 780 x 552 ({geometry})")
    g.check(abs(geometry.get("X", 0) - (g.SCREEN[0] - 780) // 2) <= 1
            and abs(geometry.get("Y", 0) - (g.SCREEN[1] - 552) // 2) <= 1,
            "the window is centred in the work area")
    g.check(g.run("xdotool", "getwindowname", window).strip() == g.MAIN_TITLE,
            "the window's title is Quorvel.Net")


def check_contract(page, server, desktop):
    probe = page.command("probe", "probe")
    g.require(probe is not None, "the page answered the probe")
    g.check(probe["data"]["keys"] == METHODS,
            f"window.external has the thirteen methods, then OpenCalendar, in order: {probe['data']['keys']}")
    g.check(probe["data"]["lower"] == "undefined", "names are case-sensitive")
    g.check(page.command("read", "read") is not None and len(g.main_windows()) == 1,
            "reading window.external.OnClose runs nothing")

    g.check(names(page.answers(("ShowMyShows",))) == ["initFinish"],
            "ShowMyShows with no followed series answers initFinish alone")

    ignored = [("SearchCallback",), ("SearchCallback", "a", "b"), ("GetDetails",),
               ("GetDetails", 1, 2), ("ShowSeason",), ("ShowSeason", 1, 2), ("RemoveShow",),
               ("RemoveShow", 1, 2), ("OpenURL",), ("OpenURL", "http://a/", "b"),
               ("OnClick", BODY), ("OnClick", BODY, "red", "x"),
               ("GetDetails", 1.5), ("GetDetails", {"$": "NaN"}), ("GetDetails", "x"),
               ("GetDetails", {"$": "null"}), ("GetDetails", {"$": "object"}),
               ("ShowSeason", 2 ** 31), ("RemoveShow", "12abc"), ("SearchCallback", 5),
               ("SearchCallback", {"$": "object"}), ("OpenURL", {"$": "function"}),
               ("SearchCallback", "")]
    answers = page.answers(*ignored, ("AddToFavs",))
    g.check(names(answers) == ["initFinish"],
            f"wrong argument counts and types do nothing: {names(answers)}")
    g.check(not server.searches, "an empty search text makes no request")

    for text in HOSTILE:
        answers = page.answers(("SearchCallback", text))
        g.check(server.searches[-1:] == [text], f"{text!r} reaches the search server unchanged")
        g.check(names(answers) == ["ShowResults", "PopulateSearchTable", "initFinish"]
                and answers[1][1][0] == text,
                f"{text!r} comes back to the page as text, byte for byte: {answers}")
    g.check(len(g.main_windows()) == 1, "nothing in those texts ran as script")

    base = f"http://{server.host}"
    for text in HOSTILE:
        page.call("OpenURL", f"{base}/open?q={text}")
    page.call("OpenURL", "file:///etc/passwd")
    page.call("OpenURL", f"{base}/sentinel")
    expected = [f"{base}/open?q={t}" for t in HOSTILE] + [f"{base}/sentinel"]
    # The browser is started once per address, so the log's order is theirs, not the calls'.
    opened = g.wait_until(lambda: len(desktop.opened_uris()) >= 3 and desktop.opened_uris(), 10)
    g.check(sorted(opened or []) == sorted(expected),
            f"OpenURL hands web addresses over unchanged and file:// never: {opened}")

    page.call("OnClick", BODY, "rgb(10, 20, 30)")
    g.check(g.wait_until(lambda: page.style().get("bg") == "rgb(10, 20, 30)", 5),
            "OnClick with the body sets its background")
    page.call("OnClick", "not the body", "red")
    time.sleep(0.3)
    style = page.style()
    g.check(style.get("bg") == "rgb(10, 20, 30)", "OnClick with anything else does nothing")
    g.check(style.get("overflow") == "hidden", "the body shows no scroll bars")
    page.call("OnClick", BODY, "")


def check_new_window(page, server, desktop, window):
    before = len(desktop.opened_uris())
    geometry = g.window_geometry(window)
    g.click(geometry["X"] + 150, geometry["Y"] + 150)
    opened = g.wait_until(lambda: desktop.opened_uris()[before:], 10)
    g.check(opened == [f"http://{server.host}/newwin?from=link"],
            f"a link to a new window goes to the desktop's browser: {opened}")
    time.sleep(0.5)
    g.check(len(g.main_windows()) == 1 and not any(
        w["name"] == "Contract page" for w in g.x_windows()), "no second window opens inside")


def check_drag(window):
    start = g.window_geometry(window)
    x, y = start["X"] + 390, start["Y"] + 30
    g.run("xdotool", "mousemove", str(x), str(y))
    time.sleep(0.2)
    g.run("xdotool", "mousedown", "1")
    time.sleep(0.4)
    for step in range(1, 11):
        g.run("xdotool", "mousemove", str(x + 6 * step), str(y + 4 * step))
        time.sleep(0.03)
    time.sleep(0.2)
    g.run("xdotool", "mouseup", "1")
    time.sleep(0.3)
    end = g.window_geometry(window)
    moved = (end["X"] - start["X"], end["Y"] - start["Y"])
    g.check(abs(moved[0] - 60) <= 8 and abs(moved[1] - 40) <= 8,
            f"DragWindow lets the pointer move the window (moved by {moved})")


def check_bring_forward(page, server, desktop, window):
    geometry = g.window_geometry(window)
    # Exactly over the window, so that the tray icon stays uncovered.
    cover = desktop.start("xmessage", "-geometry",
                          f"{geometry['WIDTH']}x{geometry['HEIGHT']}+{geometry['X']}+{geometry['Y']}",
                          "cover")
    g.check(bool(g.wait_until(
        lambda: window_pixel(desktop, window, "covered.png") != PAGE_COLOUR, 5)),
        "another window covers the main window")
    loads = server.loads()
    desktop.choose("My Shows")
    raised = g.wait_until(lambda: window_pixel(desktop, window, "raised.png") == PAGE_COLOUR, 5)
    g.check(bool(raised), "My Shows while open brings the window to the front")
    g.check(len(g.main_windows()) == 1 and server.loads() == loads,
            "and opens no second window or page")
    cover.kill()


def main():
    with PageServer(os.path.join(g.HERE, "pages", "contract.html")) as server, \
            g.Desktop("main-window") as d:
        d.env.update({"QUORVEL_PAGE_HOST": server.host, "QUORVEL_TVDB_HOST": server.host})
        d.start_trayer()
        program = d.start_program()
        g.require(g.wait_until(g.tray_icon, 15), "the tray icon appears")
        started = time.monotonic()
        d.choose("My Shows")
        loaded = server.wait_for(lambda r: r["kind"] == "loaded", 15)
        g.require(loaded is not None, "My Shows loads the page from the page server")
        print(f"     page loaded {time.monotonic() - started:.2f} s after the menu click")
        g.check(loaded["data"]["external"] == "object", "window.external exists as the page runs")
        windows = g.require(g.wait_until(g.main_windows, 5), "one main window")
        window = windows[0]
        check_window(window)
        query = server.page_queries[0]
        g.check(re.fullmatch(r"[0-9A-F-]{36}", query["v"][0]) is not None
                and re.fullmatch(r"\{[0-9A-F-]{36}\}", query["t"][0]) is not None,
                f"the address carries v and t: {query}")

        page = Page(server)
        check_contract(page, server, d)
        check_new_window(page, server, d, window)
        check_drag(window)
        check_bring_forward(page, server, d, window)

        kids = g.children(program.pid)
        memory = {name: g.peak_memory_kb(pid) for pid, name in kids}
        print(f"     peak memory: program {g.peak_memory_kb(program.pid)} kB, {memory}")

        page.command("reload", "loaded")
        g.check(server.wait_for(lambda r: r["kind"] == "loaded" and server.loads() == 2, 10)
                is not None, "the page reloads")
        g.check(server.reports()[-1]["data"] is not None, "the reloaded page reports")
        g.check(names(Page(server).answers(("ShowMyShows",))) == ["initFinish"],
                "a reloaded page gets window.external again and its answers")

        g.key(window, "Escape")
        g.check(bool(g.wait_until(lambda: not g.main_windows(), 5)), "Escape closes the window")
        g.check(bool(g.wait_until(lambda: not g.children(program.pid), 10)),
                "no web or network process is left once the window is closed")
        g.check(program.poll() is None and g.tray_icon() is not None,
                "the program stays in the tray")

        d.choose("My Shows")
        g.require(server.wait_for(lambda r: r["kind"] == "loaded" and server.loads() == 3, 15),
                  "My Shows opens the window again")
        first, again = server.page_queries[0], server.page_queries[-1]
        g.check(first["v"] == again["v"] and first["t"] != again["t"],
                "a new opening has the same v and a new t")
        Page(server).call("OnClose")
        g.check(bool(g.wait_until(lambda: not g.main_windows(), 5)),
                "OnClose closes the window")
        g.check(bool(g.wait_until(lambda: not g.children(program.pid), 10)),
                "and leaves no WebKit process")

        d.choose("Exit")
        g.check(d.wait_exit(program) == 0, "Exit ends the program with code 0")


if __name__ == "__main__":
    try:
        main()
    except g.Stop:
        pass
    raise SystemExit(g.finish())
