#!/usr/bin/env python3
"""The main window lives in a process of its own (quorvel-browser) that ends with it, so the
agent's memory goes back to its idle size: with 50 followed series on the bundled page, after 20
openings and closings (started again, Escape) the agent's resident size, summed over every
process it has left, is within 10 MB of its idle size before the first opening. A window process
killed with SIGKILL takes the window with it; the agent stays in the tray and the next My Shows
opens a fresh window."""

import os
import signal
import subprocess
import time

import guitest as g

OPENINGS = 20
MARGIN_KB = 10 * 1024


def window_process(program):
    found = [c for c in g.children(program.pid) if c[1] == "quorvel-browser"]
    return found[0][0] if found else None


def open_window(d, program):
    """Starts the program again and waits for the window and its page's process."""
    subprocess.run([g.BIN], env=d.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   timeout=10)
    window = g.wait_until(lambda: (g.main_windows() or [None])[0], 15)
    helper = window_process(program)
    loaded = helper and g.wait_until(lambda: g.web_processes(helper), 10)
    return window if loaded else None


def closed(program):
    return not g.main_windows() and not g.descendants(program.pid)


def main():
    with g.Desktop("window-process") as d:
        g.follow_series(d, 50, 20)
        d.start_trayer()
        program = d.start_program()
        g.require(g.wait_until(g.tray_icon, 15), "the tray icon appears")
        time.sleep(3)
        idle = g.tree_resident_kb(program.pid)
        print(f"     idle agent: {idle} kB resident", flush=True)

        window = g.require(open_window(d, program), "a second start opens the main window")
        helper = window_process(program)
        page_processes = [pid for pid, _ in g.descendants(helper)]
        time.sleep(1)
        os.kill(helper, signal.SIGKILL)
        g.check(bool(g.wait_until(lambda: not g.main_windows(), 10)),
                "a killed window process takes the window with it")
        g.check(bool(g.wait_until(lambda: not any(g.alive(p) for p in page_processes), 10)),
                "and WebKit's processes end with it")
        g.check(program.poll() is None and g.tray_icon() is not None,
                "the agent stays in the tray")
        window = g.require(open_window(d, program), "the next opening starts a fresh window")
        g.check(window_process(program) not in (None, helper), "in a new window process")
        g.key(window, "Escape")
        g.check(bool(g.wait_until(lambda: closed(program), 10)), "Escape closes it")

        figures = []
        for n in range(OPENINGS):
            window = g.require(open_window(d, program), f"opening {n + 1}")
            time.sleep(0.5)
            g.key(window, "Escape")
            g.require(g.wait_until(lambda: closed(program), 10), f"closing {n + 1}")
            figures.append(g.tree_resident_kb(program.pid))
        time.sleep(2)
        after = g.tree_resident_kb(program.pid)
        print(f"     resident after each closing (kB): {figures}; 2 s after the last: {after}",
              flush=True)
        g.check(after - idle <= MARGIN_KB,
                f"after {OPENINGS} closings the agent holds {after} kB, within 10 MB of its "
                f"idle {idle} kB")

        d.choose("Exit")
        g.check(d.wait_exit(program) == 0, "Exit ends the program with code 0")


if __name__ == "__main__":
    try:
        main()
    except g.Stop:
        pass
    raise SystemExit(g.finish())
