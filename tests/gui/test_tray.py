#!/usr/bin/env python3
"""The tray agent on a desktop with a tray host (trayer) and a notification service (dunst):
the grey icon appears, the hello notification is sent, the menu holds "My Shows" and "Exit",
"My Shows" twice gives one main window, "Exit" with the window open waits for the window,
and "Exit" ends the program with code 0 and takes the icon away."""

import os
import time

import guitest as g


def main():
    with g.Desktop("tray") as d:
        notifications = os.path.join(d.dir, "notifications.log")
        d.start("dbus-monitor", "--session",
                "type='method_call',interface='org.freedesktop.Notifications',member='Notify'",
                log=notifications)
        d.start_trayer()
        time.sleep(0.3)
        started = time.monotonic()
        program = d.start_program()

        icon = g.require(g.wait_until(g.tray_icon, 15), "the tray icon appears")
        print(f"     icon after {time.monotonic() - started:.2f} s")
        icon = g.require(g.settled_tray_icon(), "the icon settles in the tray")
        print(f"     at {icon['x']},{icon['y']} {icon['width']}x{icon['height']}")
        shot = g.screenshot(os.path.join(d.dir, "tray.png"))
        colours = g.clapperboard_pixels(shot, icon)
        g.check(colours["grey"] >= 25 and colours["red"] == 0,
                f"the dark grey clapperboard is drawn in the tray {colours}")

        sent = g.wait_until(lambda: "Right click to get started" in open(notifications).read(), 10)
        text = open(notifications).read()
        g.check(bool(sent), "the hello notification was sent")
        g.check('string "Quorvel"' in text and 'string "dialog-information"' in text
                and "int32 10000" in text, "summary \"Quorvel\", information icon, 10 s")

        # The tooltip's text cannot be read back here; its box drawn above the icon can.
        g.run("xdotool", "mousemove", str(icon["x"] + 8), str(icon["y"] + 8))
        tip = g.wait_until(lambda: g.coloured_pixels(
            g.screenshot(os.path.join(d.dir, "tip.png")), icon["x"] - 160, icon["y"] - 60, 184,
            58, 150) > 50, 5)
        g.check(bool(tip), "hovering over the icon shows its tooltip")

        items = d.open_tray_menu()
        labels = [name for name, _ in items]
        if items:
            g.check(labels == ["My Shows", "Exit"], f"the menu holds My Shows and Exit: {labels}")
        else:
            g.note("no accessibility bus: the menu's labels are not read")
        g.run("xdotool", "key", "Escape")
        time.sleep(0.3)

        print(f"     tray-only peak memory: {g.peak_memory_kb(program.pid)} kB, "
              f"children {g.children(program.pid)}")
        g.require(d.choose("My Shows"), "My Shows chosen")
        g.require(g.wait_until(lambda: len(g.main_windows()) == 1, 15), "My Shows opens the main window")
        d.choose("My Shows")
        time.sleep(1.5)
        g.check(len(g.main_windows()) == 1, "My Shows again gives no second main window")

        d.choose("Exit")
        g.check(bool(g.wait_until(lambda: g.tray_icon() is None, 5)),
                "Exit with the window open takes the icon away at once")
        time.sleep(0.5)
        g.check(program.poll() is None and len(g.main_windows()) == 1,
                "the program and its window stay until the window is closed")
        window = g.main_windows()[0]
        g.key(window, "Escape")
        g.check(bool(g.wait_until(lambda: not g.main_windows(), 5)), "Escape closes the window")
        g.check(d.wait_exit(program) == 0, "closing the window then ends the program with code 0")

        # A plain start and "Exit".
        program = d.start_program()
        g.require(g.wait_until(g.tray_icon, 15), "the icon appears again after a new start")
        d.choose("Exit")
        g.check(d.wait_exit(program) == 0, "Exit ends the program with code 0")
        g.check(bool(g.wait_until(lambda: g.tray_icon() is None, 5)), "the icon is gone")
        noise = [line for line in d.program_stderr().splitlines()
                 if "CRITICAL" in line or "WARNING" in line]
        g.check(not noise, f"no warnings on stderr on a complete desktop {noise}")


if __name__ == "__main__":
    try:
        main()
    except g.Stop:
        pass
    raise SystemExit(g.finish())
