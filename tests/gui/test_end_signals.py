#!/usr/bin/env python3
"""SIGTERM and SIGINT (a logout, kill, Ctrl-C) end the program as "Exit" does: the icon goes,
an open main window closes with its web processes, and the exit code is 0."""

import signal

import guitest as g


def end_by_signal(d, number, with_window):
    program = d.start_program()
    g.require(g.wait_until(g.tray_icon, 15), "the tray icon appears")
    web = []
    if with_window:
        d.choose("My Shows")
        g.require(g.wait_until(g.main_windows, 10), "the main window is open")
        web = g.wait_until(lambda: g.web_processes(program.pid), 10) or []
        g.check(bool(web), "the window has its web process")
    name = signal.Signals(number).name
    program.send_signal(number)
    code = d.wait_exit(program, 10)
    g.check(code == 0, f"{name}{' with the window open' if with_window else ''} ends the program "
                       f"with code 0 (got {code})")
    g.check(not g.main_windows(), "no main window is left")
    g.check(bool(g.wait_until(lambda: g.tray_icon() is None, 5)), "the icon is gone")
    if web:
        g.check(bool(g.wait_until(lambda: not any(g.alive(pid) for pid, _ in web), 10)),
                "its web process is gone too")


def main():
    with g.Desktop("end-signals") as d:
        d.start_trayer()
        end_by_signal(d, signal.SIGTERM, with_window=False)
        end_by_signal(d, signal.SIGINT, with_window=False)
        end_by_signal(d, signal.SIGTERM, with_window=True)
        end_by_signal(d, signal.SIGINT, with_window=True)


if __name__ == "__main__":
    try:
        main()
    except g.Stop:
        pass
    raise SystemExit(g.finish())
