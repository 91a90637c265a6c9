#!/usr/bin/env python3
"""Figures of the whole program on a private X server with a tray host (run it under xvfb-run and
dbus-run-session, as bench/run does):

- start to tray icon: from just before exec to the icon's window appearing under trayer (found by
  polling xwininfo), with generated followed series, none due, and every remote host on a closed
  local port;
- peak resident memory (VmHWM) of the idle agent, and of the agent with its main window open on
  the generated series, summed over the program and every process below it (WebKit's web and
  network processes included).

Usage: agent_bench.py QUORVEL BENCH_DATA [--runs N] [--series N] [--episodes N]
Prints one line per run and a JSON line of medians last.
"""

import argparse
import json
import os
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "gui"))
import guitest as g  # noqa: E402


def descendants(pid):
    """Every living process below pid."""
    parents = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            fields = g._status(entry)
            if fields and "zombie" not in fields.get("State", ""):
                parents.setdefault(fields.get("PPid"), []).append(int(entry))
    found, todo = [], [pid]
    while todo:
        for child in parents.get(str(todo.pop()), []):
            found.append(child)
            todo.append(child)
    return found


def memory(pid):
    """(total peak kB, {name: peak kB}) of a process and everything below it."""
    parts = {}
    for p in [pid] + descendants(pid):
        name = g._status(p).get("Name", "?")
        parts[name] = parts.get(name, 0) + g.peak_memory_kb(p)
    return sum(parts.values()), parts


def current_kb(pid):
    total = 0
    for p in [pid] + descendants(pid):
        value = g._status(p).get("VmRSS", "0 kB").split()[0]
        total += int(value) if value.isdigit() else 0
    return total


def icon_shown():
    for w in g.x_windows():
        if w["name"] == g.TRAY_TITLE and w["width"] > 1:
            return w
    return None


def stop(desktop, program):
    program.terminate()  # SIGTERM ends the agent as "Exit" does
    if desktop.wait_exit(program, 15) is None:
        program.kill()
        program.wait()
    g.wait_until(lambda: icon_shown() is None, 5, 0.05)


def settle(pid, quiet_seconds=2.0, limit=30.0):
    """Waits until the resident memory of the process tree stops growing."""
    deadline = time.monotonic() + limit
    last, since = -1, time.monotonic()
    while time.monotonic() < deadline:
        now = current_kb(pid)
        if now > last * 1.01 or last < 0:
            last, since = now, time.monotonic()
        elif time.monotonic() - since >= quiet_seconds:
            return True
        time.sleep(0.2)
    return False


def poll_cost():
    start = time.monotonic()
    for _ in range(5):
        g.x_windows()
    return (time.monotonic() - start) / 5 * 1000


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("quorvel")
    parser.add_argument("bench_data")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--series", type=int, default=200)
    parser.add_argument("--episodes", type=int, default=100)
    args = parser.parse_args()
    g.BIN = os.path.abspath(args.quorvel)
    os.environ.setdefault("QUORVEL_INSTANCE_NAME", f"quorvel-bench-{os.getpid()}")

    figures = {}
    with g.Desktop("bench") as d:
        out = subprocess.run([args.bench_data, d.env["XDG_DATA_HOME"], str(args.series),
                              str(args.episodes)], capture_output=True, text=True)
        if out.returncode != 0:
            print(out.stderr, file=sys.stderr)
            return 1
        d.start_trayer()
        time.sleep(0.5)
        print(f"polling xwininfo costs {poll_cost():.1f} ms a look", flush=True)

        starts, idle, idle_catalogue, window = [], [], [], []
        for run in range(args.runs):
            started = time.monotonic()
            program = d.start_program()
            if not g.wait_until(icon_shown, 20, 0.0):
                print("the tray icon did not appear", file=sys.stderr)
                return 1
            starts.append((time.monotonic() - started) * 1000)
            # Idle: the start-up is over and nothing happens until the user asks.
            time.sleep(3)
            idle.append(memory(program.pid))
            # The main window, opened as a second start does, with the series in My Shows.
            again = subprocess.run([g.BIN], env=d.env, timeout=10)
            opened = g.wait_until(lambda: g.main_windows() and g.web_processes(program.pid), 20)
            settled = opened and settle(program.pid)
            window.append(memory(program.pid))
            print(f"run {run + 1}: tray icon after {starts[-1]:.0f} ms; idle {idle[-1][0]} kB; "
                  f"window open {window[-1][0]} kB {window[-1][1]}"
                  f"{'' if settled else ' (window not settled)'}; second start {again.returncode}",
                  flush=True)
            stop(d, program)

        # The default set-up: the embedded catalogue answers TheTVDB's addresses (its upstream,
        # TVmaze, unreachable here).
        env = dict(d.env)
        env.pop("QUORVEL_TVDB_HOST", None)
        env["QUORVEL_TVMAZE_URL"] = "http://" + g.DEAD_HOST
        for run in range(args.runs):
            program = d.start_program(env)
            if not g.wait_until(icon_shown, 20, 0.0):
                print("the tray icon did not appear (catalogue on)", file=sys.stderr)
                return 1
            time.sleep(3)
            idle_catalogue.append(memory(program.pid))
            print(f"run {run + 1}: idle with the embedded catalogue {idle_catalogue[-1][0]} kB",
                  flush=True)
            stop(d, program)

    figures["tray_icon_ms"] = statistics.median(starts)
    figures["tray_icon_min_ms"] = min(starts)
    figures["idle_kb"] = statistics.median(m[0] for m in idle)
    figures["idle_catalogue_kb"] = statistics.median(m[0] for m in idle_catalogue)
    figures["window_kb"] = statistics.median(m[0] for m in window)
    parts = sorted(window, key=lambda m: m[0])[len(window) // 2][1]
    figures["window_parts_kb"] = parts
    print(json.dumps(figures), flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
