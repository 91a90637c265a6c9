#!/usr/bin/env python3
"""Started again while it runs (from the menu, the launcher or a terminal) on a desktop with no
tray: the running agent opens its main window, once; a third start while the window is open
brings it to the front and opens no other; each extra process exits 0 at once."""

import os
import subprocess
import time

import guitest as g


def lock_listening():
    """The lock's socket: a file in a private runtime folder, else an abstract name with the uid."""
    name = os.environ.get("QUORVEL_INSTANCE_NAME", "quorvel")
    names = {f"@{name}.{os.getuid()}"}
    runtime = os.environ.get("XDG_RUNTIME_DIR")
    if runtime:
        names.add(os.path.join(runtime, f"{name}.socket"))
    with open("/proc/net/unix") as sockets:
        return any(line.split()[-1] in names for line in sockets if len(line.split()) >= 8)


def start_again(d, what):
    started = time.monotonic()
    try:
        code = subprocess.run([g.BIN], env=d.env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, timeout=10).returncode
    except subprocess.TimeoutExpired:
        code = None
    took = time.monotonic() - started
    g.check(code == 0 and took < 3, f"{what} exits 0 at once (code {code} after {took:.2f} s)")


def main():
    with g.Desktop("started-again") as d:
        program = d.start_program()
        g.require(g.wait_until(lock_listening, 15), "the running agent holds the instance lock")
        time.sleep(0.5)
        g.check(not g.main_windows(), "no main window before it is started again")

        start_again(d, "the second start")
        window = g.require(g.wait_until(lambda: (g.main_windows() or [None])[0], 15),
                           "the running agent opens the main window")
        time.sleep(1.5)
        g.check(len(g.main_windows()) == 1, f"exactly one main window {g.main_windows()}")

        geometry = g.window_geometry(window)
        d.start("xmessage", "-geometry",
                f"{geometry['WIDTH']}x{geometry['HEIGHT']}+{geometry['X']}+{geometry['Y']}", "cover")
        cover = g.require(g.wait_until(lambda: (g.windows_named("^xmessage$") or [None])[0], 5),
                          "another window is opened")
        g.require(g.wait_until(lambda: g.top_window(window, cover) == int(cover), 5),
                  "the other window lies over the main window")
        start_again(d, "the third start")
        g.check(bool(g.wait_until(lambda: g.top_window(window, cover) == int(window), 5)),
                "the main window is brought to the front")
        time.sleep(1)
        g.check(g.main_windows() == [window], f"still one main window {g.main_windows()}")
        g.check(program.poll() is None, "the first instance keeps running")

        program.terminate()
        g.check(d.wait_exit(program) == 0, "SIGTERM then ends the agent with code 0")


if __name__ == "__main__":
    try:
        main()
    except g.Stop:
        pass
    raise SystemExit(g.finish())
