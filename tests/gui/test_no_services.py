#!/usr/bin/env python3
"""Missing desktop services never stop the program: without a tray host it keeps running
quietly and shows the icon once a host appears; without a notification service, and without a
session bus at all, it starts just as fast, shows its icon, starts no bus of its own and ends
with code 0."""

import os
import signal
import subprocess
import time

import guitest as g

# A session bus that can start no service: no notification daemon, no accessibility bus.
BARE_BUS = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
"""


def descendants(pid):
    found = []
    for child, name in g.children(pid):
        found.append((child, name))
        found.extend(descendants(child))
    return found


def quorvel_under(pid):
    for child, name in descendants(pid):
        if name == "quorvel":
            return child
    return None


def no_tray_host(d):
    program = d.start_program()
    time.sleep(2.5)
    g.check(program.poll() is None and g.tray_icon() is None,
            "without a tray host the program keeps running quietly")
    trayer = d.start_trayer()
    g.check(bool(g.wait_until(g.tray_icon, 15)), "a tray host that appears later shows the icon")
    program.send_signal(signal.SIGTERM)
    g.check(d.wait_exit(program) == 0, "and SIGTERM ends it with code 0")
    return trayer


def no_notification_service(d):
    config = os.path.join(d.dir, "bare-bus.conf")
    with open(config, "w") as f:
        f.write(BARE_BUS)
    started = time.monotonic()
    session = subprocess.Popen(["dbus-run-session", f"--config-file={config}", "--", g.BIN],
                               env=d.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    icon = g.wait_until(g.tray_icon, 15)
    g.check(bool(icon), "without a notification service the icon appears")
    g.check(time.monotonic() - started < 6,
            f"and start-up is not held up ({time.monotonic() - started:.1f} s)")
    program = g.wait_until(lambda: quorvel_under(session.pid), 5)
    g.require(program, "the program runs on the bare bus")
    time.sleep(1)
    g.check(session.poll() is None, "the program keeps running")
    os.kill(program, signal.SIGTERM)
    try:
        code = session.wait(timeout=10)
    except subprocess.TimeoutExpired:
        session.kill()
        code = None
    g.check(code == 0, f"SIGTERM ends it with code 0 (got {code})")


def no_session_bus(d):
    env = dict(d.env)
    env.pop("DBUS_SESSION_BUS_ADDRESS", None)
    env.pop("XDG_RUNTIME_DIR", None)
    started = time.monotonic()
    program = d.start_program(env=env)
    g.check(bool(g.wait_until(g.tray_icon, 15)), "without a session bus the icon still appears")
    g.check(time.monotonic() - started < 6,
            f"and start-up is not held up ({time.monotonic() - started:.1f} s)")
    time.sleep(1)
    g.check(program.poll() is None, "the program keeps running")
    buses = [name for _, name in descendants(program.pid) if name.startswith("dbus")]
    g.check(not buses, f"it starts no session bus of its own {buses}")
    program.send_signal(signal.SIGTERM)
    g.check(d.wait_exit(program) == 0, "SIGTERM ends it with code 0")


def main():
    with g.Desktop("no-services") as d:
        no_tray_host(d)
        no_notification_service(d)
        no_session_bus(d)
        errors = [line for line in d.program_stderr().splitlines() if "CRITICAL" in line]
        g.check(not errors, f"no critical messages on stderr {errors}")


if __name__ == "__main__":
    try:
        main()
    except g.Stop:
        pass
    raise SystemExit(g.finish())
