#!/usr/bin/env python3
"""The try-out world: tools/demo starts its catalogue server and the program with a throwaway
data folder; the series files come from the demo server, the icon is red, the main window opens
by itself; SIGTERM ends the program with code 0, the demo removes its folder and server, and the
user's own folders are never touched. A demo that is itself ended takes its program along."""

import os
import re
import signal
import socket

import guitest as g


def snapshot(d):
    """Every file of the user's home and XDG folders but the test's own, with size and time."""
    found = {}
    for top, _, files in os.walk(d.dir):
        for name in files:
            path = os.path.join(top, name)
            if os.path.isfile(path) and not name.endswith((".out", ".png", ".stderr")):
                info = os.stat(path)
                found[path] = (info.st_size, info.st_mtime_ns)
    return found


def demo_announcement(log):
    with open(log) as f:
        m = re.search(r"http://127\.0\.0\.1:(\d+), data in (\S+) \(", f.read())
    return m and (int(m.group(1)), m.group(2))


def port_open(port):
    with socket.socket() as s:
        return s.connect_ex(("127.0.0.1", port)) == 0


def start_demo(d, log_name):
    log = os.path.join(d.dir, log_name)
    demo = d.start(os.path.join(g.SOURCE, "tools", "demo"), g.BIN, log=log)
    port, world = g.require(g.wait_until(lambda: demo_announcement(log), 15),
                            "the demo tells its server and its folder")
    return demo, port, world


def demo_programs(demo):
    return [pid for pid, name in g.children(demo.pid) if name == "quorvel"]


def end_the_demo_itself(d):
    demo, port, world = start_demo(d, "demo-2.out")
    g.require(g.wait_until(g.main_windows, 25), "the demo's window opens again")
    programs = demo_programs(demo)
    demo.terminate()
    g.check(d.wait_exit(demo, 20) is not None, "SIGTERM to the demo ends it")
    g.check(programs and not any(g.alive(pid) for pid in programs), "its program ended with it")
    g.check(not os.path.exists(world), "its folder is gone")
    g.check(bool(g.wait_until(lambda: not port_open(port), 5)), "its server is gone")


def main():
    with g.Desktop("demo") as d:
        d.start_trayer()
        before = snapshot(d)
        demo, port, world = start_demo(d, "demo.out")
        g.check(world.startswith("/tmp/") and not world.startswith(d.dir),
                f"its folder is a throwaway one ({world})")

        window = g.wait_until(lambda: (g.main_windows() or [None])[0], 25)
        g.require(window, "the main window opens by itself")
        folder = os.path.join(world, "data", "Quorvel")
        series = sorted(name for name in os.listdir(folder) if re.match(r"\d+\.xml$", name))
        g.check(len(series) == 5, f"the five followed series were downloaded {series}")
        with open(os.path.join(folder, series[0])) as f:
            g.check("<SeriesName>" in f.read(), "a series file holds the demo server's record")
        icon = g.require(g.settled_tray_icon(), "the tray icon is on screen")
        colours = g.clapperboard_pixels(g.screenshot(os.path.join(d.dir, "demo.png")), icon)
        g.check(colours["red"] >= 25, f"the icon is the red clapperboard {colours}")

        programs = demo_programs(demo)
        g.require(len(programs) == 1, f"one program runs under the demo {programs}")
        os.kill(programs[0], signal.SIGTERM)
        code = d.wait_exit(demo, 20)
        g.check(code == 0, f"SIGTERM ends the program with code 0 and the demo with it ({code})")
        g.check(not os.path.exists(world), "the demo removed its folder")
        g.check(bool(g.wait_until(lambda: not port_open(port), 5)), "the demo's server is gone")
        after = snapshot(d)
        changed = sorted(set(before.items()) ^ set(after.items()))
        g.check(not changed, f"the user's own folders are untouched {changed[:4]}")
        end_the_demo_itself(d)


if __name__ == "__main__":
    try:
        main()
    except g.Stop:
        pass
    raise SystemExit(g.finish())
