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
import struct
import subprocess
import sys
import time

PAGE = os.sysconf("SC_PAGE_SIZE")
FRAME_MASK = (1 << 55) - 1

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


def rollup(pid):
    """Summed Pss and Anonymous kB of a process and everything below it, from smaps_rollup."""
    totals = {"Pss": 0, "Anonymous": 0}
    for p in [pid] + descendants(pid):
        try:
            with open(f"/proc/{p}/smaps_rollup") as f:
                for line in f:
                    name, _, value = line.partition(":")
                    if name in totals:
                        totals[name] += int(value.split()[0])
        except OSError:
            pass
    return totals


def held_kb(pid):
    """The memory a process and everything below it hold together, each physical page counted
    once however many of them map it (frame numbers from /proc/PID/pagemap, which needs root);
    None when the frames cannot be read."""
    frames = set()
    for p in [pid] + descendants(pid):
        try:
            resident = []
            with open(f"/proc/{p}/smaps") as f:
                span = None
                for line in f:
                    fields = line.split()
                    if "-" in fields[0] and ":" not in fields[0]:
                        span = [int(x, 16) for x in fields[0].split("-")]
                    elif fields[0] == "Rss:" and int(fields[1]) > 0:
                        resident.append(span)
            with open(f"/proc/{p}/pagemap", "rb") as pagemap:
                for start, end in resident:
                    pagemap.seek(start // PAGE * 8)
                    for (entry,) in struct.iter_unpack("<Q", pagemap.read((end - start) // PAGE * 8)):
                        if entry >> 63:
                            frames.add(entry & FRAME_MASK)
        except OSError:
            pass
    if frames == {0} or not frames:
        return None
    return len(frames) * PAGE // 1024


def largest_mappings(pid, count=4):
    """The files (or anonymous memory) with the most resident kB in one process."""
    sizes, name = {}, "[anonymous]"
    try:
        with open(f"/proc/{pid}/smaps") as f:
            for line in f:
                fields = line.split()
                if "-" in fields[0] and len(fields) >= 5 and ":" not in fields[0]:
                    name = os.path.basename(fields[5]) if len(fields) > 5 else "[anonymous]"
                elif fields[0] == "Rss:":
                    sizes[name] = sizes.get(name, 0) + int(fields[1])
    except OSError:
        pass
    return sorted(sizes.items(), key=lambda item: -item[1])[:count]


def current_kb(pid):
    total = 0
    for p in [pid] + descendants(pid):
        value = g._status(p).get("VmRSS", "0 kB").split()[0]
        total += int(value) if value.isdigit() else 0
    return total


def cpu_ms(pid):
    """CPU time so far of a process, threads that have ended included (user and system time from
    /proc/PID/stat, in clock ticks: a resolution of 10 ms)."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) * 1000 / os.sysconf("SC_CLK_TCK")
    except (OSError, ValueError, IndexError):
        return 0.0


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
    parser.add_argument("--floor", help="tray_floor: the bare icon, for the floor of the start")
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

        icons = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                             "resources", "icons")

        def bare_icon_ms():
            """One start of the bare icon (the floor), in ms."""
            started = time.monotonic()
            bare = d.start(os.path.abspath(args.floor), icons)
            if not g.wait_until(icon_shown, 20, 0.002):
                raise SystemExit("the bare icon did not appear")
            took = (time.monotonic() - started) * 1000
            floor_cpu.append(cpu_ms(bare.pid))
            stop(d, bare)
            return took

        floors, floor_cpu, start_cpu = [], [], []
        if args.floor:
            bare_icon_ms()  # warms the same caches the program's first start below warms

        # The first GTK program on a fresh X server works out the GL visuals (loading Mesa) and
        # leaves them on the root window for every later one; a desktop session has done that long
        # before the agent starts. That first start is reported apart.
        started = time.monotonic()
        program = d.start_program()
        if not g.wait_until(icon_shown, 20, 0.002):
            print("the tray icon did not appear", file=sys.stderr)
            return 1
        figures["first_start_ms"] = (time.monotonic() - started) * 1000
        time.sleep(3)
        figures["first_start_idle_kb"] = memory(program.pid)[0]
        print(f"first start on this display: tray icon after {figures['first_start_ms']:.0f} ms, "
              f"idle {figures['first_start_idle_kb']} kB", flush=True)
        stop(d, program)

        starts, idle, idle_catalogue, window, shares = [], [], [], [], []
        for run in range(args.runs):
            # The floor right before each start, so that both see the same load.
            if args.floor:
                floors.append(bare_icon_ms())
            started = time.monotonic()
            program = d.start_program()
            if not g.wait_until(icon_shown, 20, 0.002):
                print("the tray icon did not appear", file=sys.stderr)
                return 1
            starts.append((time.monotonic() - started) * 1000)
            start_cpu.append(cpu_ms(program.pid))
            # Idle: the start-up is over and nothing happens until the user asks.
            time.sleep(3)
            idle.append(memory(program.pid))
            # The main window, opened as a second start does, with the series in My Shows.
            again = subprocess.run([g.BIN], env=d.env, timeout=10)
            # The window lives in a program of its own; WebKit's processes are below it.
            opened = g.wait_until(lambda: g.main_windows() and any(
                g._status(p).get("Name", "").startswith("WebKitWebProces")
                for p in descendants(program.pid)), 20)
            settled = opened and settle(program.pid)
            window.append(memory(program.pid))
            shares.append(rollup(program.pid))
            if run == args.runs - 1:
                for p in [program.pid] + descendants(program.pid):
                    print(f"  largest in {g._status(p).get('Name', '?')}: "
                          f"{largest_mappings(p)}", flush=True)
            floor_text = (f" (bare icon {floors[-1]:.0f} ms); CPU {start_cpu[-1]:.0f} ms (bare icon "
                          f"{floor_cpu[-1]:.0f} ms)" if floors else "")
            print(f"run {run + 1}: tray icon after {starts[-1]:.0f} ms{floor_text}; idle {idle[-1][0]} kB; "
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
            if not g.wait_until(icon_shown, 20, 0.002):
                print("the tray icon did not appear (catalogue on)", file=sys.stderr)
                return 1
            time.sleep(3)
            idle_catalogue.append(memory(program.pid))
            print(f"run {run + 1}: idle with the embedded catalogue {idle_catalogue[-1][0]} kB",
                  flush=True)
            stop(d, program)

    figures["tray_icon_ms"] = statistics.median(starts)
    figures["tray_icon_min_ms"] = min(starts)
    if floors:
        ratios = [s / f for s, f in zip(starts, floors)]
        figures["tray_floor_ms"] = statistics.median(floors)
        figures["tray_icon_ratio"] = statistics.median(ratios)
        figures["tray_icon_ratio_range"] = [min(ratios), max(ratios)]
        cpu_ratios = [s / f for s, f in zip(start_cpu, floor_cpu[1:])]
        figures["tray_icon_cpu_ms"] = statistics.median(start_cpu)
        figures["tray_floor_cpu_ms"] = statistics.median(floor_cpu[1:])
        figures["tray_icon_cpu_ratio"] = statistics.median(cpu_ratios)
    figures["idle_kb"] = statistics.median(m[0] for m in idle)
    figures["idle_catalogue_kb"] = statistics.median(m[0] for m in idle_catalogue)
    figures["window_kb"] = statistics.median(m[0] for m in window)
    figures["window_pss_kb"] = statistics.median(m["Pss"] for m in shares)
    figures["window_anon_kb"] = statistics.median(m["Anonymous"] for m in shares)
    parts = sorted(window, key=lambda m: m[0])[len(window) // 2][1]
    figures["window_parts_kb"] = parts
    print(json.dumps(figures), flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
