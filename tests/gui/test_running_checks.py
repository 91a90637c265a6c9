#!/usr/bin/env python3
"""The agent left running: the day turns and the week runs out without a restart.

The program runs under libfaketime, started at 23:59:30 of a day D (the monotonic clock is left
real, so its timers run as they would). At midnight: the icon turns from grey to red (an episode
dated D+1 is now today), the "Today" notification is sent once, and the two series added on D-6
are downloaded once each, slowly, while "My Shows" opens the main window again within a second. Then
a wake from suspend on a private bus standing in for the system bus (a stand-in logind) starts a
check: a deleted series file comes back, nothing else is downloaded again, nothing is announced
again. Last, "Exit" during a hanging download ends the program within 2 s with its files whole."""

import glob
import os
import subprocess
import sys
import time
import urllib.request
import xml.etree.ElementTree as ET

import guitest as g

sys.path.insert(0, os.path.join(g.SOURCE, "tools"))
from seriesdoc import series_document  # noqa: E402

SERIES = "/api/9F41B2D07E6A3C15/series/{}/all/en.xml"
LATENCY_MS = 2500


def day(offset, base):
    t = time.mktime((base.tm_year, base.tm_mon, base.tm_mday + offset, 12, 0, 0, 0, 0, -1))
    return time.strftime("%Y-%m-%d", time.localtime(t))


def night_ferry(first_aired):
    return series_document({"id": "80900", "SeriesName": "Night Ferry"}, [
        {"id": "901", "SeasonNumber": "2", "EpisodeNumber": "10",
         "EpisodeName": "Crossing (Part 2)", "FirstAired": first_aired}])


def follow(d, base):
    """Night Ferry added on D with an episode on D+1; two series added on D-6."""
    folder = os.path.join(d.env["XDG_DATA_HOME"], "Quorvel")
    os.makedirs(folder, exist_ok=True)
    entries = []
    for sid, added, doc in (
            ("80900", day(0, base), night_ferry(day(1, base))),
            ("80001", day(-6, base), series_document({"id": "80001", "SeriesName": "Stale"}, [])),
            ("80002", day(-6, base), series_document({"id": "80002", "SeriesName": "Stale"}, []))):
        path = os.path.join(folder, sid + ".xml")
        with open(path, "w") as f:
            f.write(doc)
        entries.append(f"<Series><DateAdded>{added}</DateAdded>\r\n<PathToDetails>{path}"
                       f"</PathToDetails>\r\n<seriesid>{sid}</seriesid>\r\n</Series>\r\n")
    with open(os.path.join(folder, "favorites.xml"), "w", newline="") as f:
        f.write('<?xml version="1.0" encoding="utf-8"?>\r\n<Data xmlns:xsi="http://www.w3.org/'
                '2001/XMLSchema-instance" xmlns:xsd="http://www.w3.org/2001/XMLSchema">\r\n'
                + "".join(entries) + "</Data>\r\n")
    return folder


def faketime_library():
    found = sorted(glob.glob("/usr/lib/*/faketime/libfaketime.so.1"))
    return found[0] if found else None


def private_system_bus(d):
    """A message bus of its own standing in for the system bus, and logind on it."""
    bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                           stdout=subprocess.PIPE, text=True)
    d._processes.append(bus)
    address = bus.stdout.readline().strip()
    g.require(address.startswith("unix:"), f"the private system bus is up ({address})")
    env = dict(d.env, DBUS_SYSTEM_BUS_ADDRESS=address)
    logind = subprocess.Popen([os.path.join(os.environ["QUORVEL_BUILD_DIR"], "tests",
                                            "fake_logind")],
                              env=env, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    d._processes.append(logind)
    g.require(logind.stdout.readline().strip() == "ready", "the stand-in logind owns its name")
    return address, logind


def wake(logind):
    logind.stdin.write("wake\n")
    logind.stdin.flush()
    return logind.stdout.readline().strip() == "woke"


def colours(d, icon, name):
    return g.clapperboard_pixels(g.screenshot(os.path.join(d.dir, name)), icon)


def series_hits(server, sid):
    return sum(1 for h in server.hits() if h == SERIES.format(sid))


def main():
    library = faketime_library()
    g.require(library is not None, "libfaketime is installed")
    base = time.localtime()
    with g.Desktop("running-checks") as d:
        notifications = os.path.join(d.dir, "notifications.log")
        d.start("dbus-monitor", "--session",
                "type='method_call',interface='org.freedesktop.Notifications',member='Notify'",
                log=notifications)
        server = g.TestServer(d, "--today", day(1, base), "--latency-ms", str(LATENCY_MS))
        server.put(SERIES.format("80900"), night_ferry("{{today}}").encode())
        folder = follow(d, base)
        address, logind = private_system_bus(d)
        d.start_trayer()

        env = dict(d.env, QUORVEL_TVDB_HOST=server.host, DBUS_SYSTEM_BUS_ADDRESS=address,
                   LD_PRELOAD=library, FAKETIME="@" + day(0, base) + " 23:59:30",
                   FAKETIME_DONT_FAKE_MONOTONIC="1")
        program = d.start_program(env=env)
        started = time.monotonic()
        icon = g.require(g.settled_tray_icon(), "the tray icon appears")
        before = colours(d, icon, "before.png")
        g.check(before["grey"] >= 25 and before["red"] == 0, f"grey before midnight {before}")
        g.check(server.hits() == [], "nothing is due before midnight")
        # The first opening loads the browser; it is timed here, before midnight, for comparison.
        d.choose("My Shows")
        clicked = time.monotonic()
        window = g.require(g.wait_until(lambda: g.main_windows(), 15, 0.05), "My Shows opens")
        print(f"     first opening (loads the browser) {time.monotonic() - clicked:.2f} s")
        g.key(window[0], "Escape")
        g.require(bool(g.wait_until(lambda: not g.main_windows(), 5)), "Escape closes it")

        # Midnight comes 30 s after the start; the first download starts then.
        first = g.wait_until(lambda: series_hits(server, "80001") > 0, 45)
        g.require(bool(first), "the series added six days before are downloaded after midnight")
        print(f"     first download {time.monotonic() - started:.1f} s after the start")
        # Timed from the click on the item (the menu's opening is the tray host's and the
        # accessibility bus's time).
        d.choose("My Shows")
        clicked = time.monotonic()
        window = g.wait_until(lambda: g.main_windows(), 10, 0.05)
        opened = time.monotonic() - clicked
        g.require(bool(window), "My Shows opens the main window during the downloads")
        g.check(opened < 1.0, f"the window is there {opened:.2f} s after the click")
        g.check(ET.parse(os.path.join(folder, "80002.xml")).getroot().findtext(
            "Series/SeriesName") == "Stale", "the downloads were still going on then")

        red = g.wait_until(lambda: (lambda c: c if c["red"] >= 25 and c["grey"] == 0 else None)(
            colours(d, icon, "after.png")), 20, 0.5)
        g.check(bool(red), "after midnight's check the icon is red")
        g.check(series_hits(server, "80001") == 1 and series_hits(server, "80002") == 1,
                f"each due series was downloaded once: {server.hits()}")
        g.check(series_hits(server, "80900") == 0, "the series added yesterday is not due")
        text = g.wait_until(lambda: open(notifications).read().count('string "Today"') >= 1, 10)
        log = open(notifications).read()
        g.check(bool(text) and "Night Ferry S02E10 \u00b7 Crossing (Part 2)" in log,
                "the notification \"Today\" names the episode")
        stored = ET.parse(os.path.join(folder, "80001.xml")).getroot()
        g.check(stored.findtext("Series/SeriesName") != "Stale", "the downloaded file is stored")
        g.check(g.tls_libraries(program.pid) == [],
                f"the downloads ran in their helper: the agent maps {g.tls_libraries(program.pid)}")
        g.key(window[0], "Escape")
        g.check(bool(g.wait_until(lambda: not g.main_windows(), 5)), "the window closes")
        # The notification's default action (dunst's "action" on the newest one) opens My Shows.
        shown = [line for line in g.run("dunstctl", "history").splitlines() if "Today" in line]
        g.run("dunstctl", "action", "0")
        reopened = g.wait_until(lambda: g.main_windows(), 10)
        if reopened:
            g.check(True, "a click on the notification opens My Shows")
            g.key(reopened[0], "Escape")
            g.check(bool(g.wait_until(lambda: not g.main_windows(), 5)), "the window closes")
        else:
            g.check(not shown, "a click on the notification opens My Shows")
            g.note("the notification had expired before its action was tried")

        # A wake: the check it starts brings back a deleted series file, and only that.
        os.remove(os.path.join(folder, "80900.xml"))
        g.require(wake(logind), "the stand-in logind announced a wake")
        back = g.wait_until(lambda: os.path.exists(os.path.join(folder, "80900.xml")), 20)
        g.check(bool(back), "the wake's check downloads the missing series file")
        time.sleep(1.5)
        g.check(series_hits(server, "80900") == 1 and series_hits(server, "80001") == 1
                and series_hits(server, "80002") == 1, f"nothing else again: {server.hits()}")
        g.check(open(notifications).read().count('string "Today"') == 1,
                "the episode is announced once")

        # Exit while a download hangs.
        urllib.request.urlopen(server.base + "/_latency?ms=60000", timeout=5).read()
        os.remove(os.path.join(folder, "80900.xml"))
        g.require(wake(logind), "another wake")
        g.require(bool(g.wait_until(lambda: series_hits(server, "80900") == 2, 10)),
                  "its download is under way")
        d.choose("Exit")
        clicked = time.monotonic()
        code = d.wait_exit(program, 10)
        ended = time.monotonic() - clicked
        g.check(code == 0 and ended < 2.0, f"Exit during the check ends in {ended:.2f} s ({code})")
        entries = ET.parse(os.path.join(folder, "favorites.xml")).getroot().findall("Series")
        g.check([e.findtext("seriesid") for e in entries] == ["80900", "80001", "80002"],
                "favorites.xml is whole and keeps every series")
        g.check(not os.path.exists(os.path.join(folder, "80900.xml")),
                "the abandoned download wrote nothing")


if __name__ == "__main__":
    try:
        main()
    except g.Stop:
        pass
    raise SystemExit(g.finish())
