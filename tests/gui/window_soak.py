#!/usr/bin/env python3
"""Weeks in the tray, compressed: the real program with the embedded catalogue (TVmaze stood in
for by the loopback test server) and 50 followed series whose artwork the page loads through the
catalogue, its main window opened (by starting the program again) and closed (Escape) many times
under a descriptor limit of 256. After each closing, once the catalogue's idle connections had
their few seconds, the program's open descriptors and resident memory are recorded. The program
must never end, and its descriptors must stay flat.

Usage: window_soak.py [openings] [csv file]   (default 200; the CSV goes to tests/artifacts/gui)"""

import os
import subprocess
import sys
import time

import guitest as g

SERIES = 50
LIMIT = 256
FLAT = 2  # descriptors the count may move by, after the first openings
# The first openings load the browser module, and the web engine opens its memory monitor's files
# (/proc/meminfo, the cgroup's limits) once, at the third: the floor is taken after them.
WARM_UP = 3


def follow(data, count):
    folder = os.path.join(data, "Quorvel")
    os.makedirs(folder, exist_ok=True)
    today = time.strftime("%Y-%m-%d")
    entries = []
    for n in range(1, count + 1):
        sid = str(1000 + n)
        path = os.path.join(folder, sid + ".xml")
        with open(path, "w") as f:
            f.write(f'<?xml version="1.0" encoding="UTF-8"?>\n<Data><Series><id>{sid}</id>'
                    f"<SeriesName>Series {n}</SeriesName><Network>Net</Network>"
                    f"<poster>posters/{sid}.jpg</poster></Series>"
                    f"<Episode><id>{sid}1</id><SeasonNumber>1</SeasonNumber>"
                    f"<EpisodeNumber>1</EpisodeNumber><FirstAired>{today}</FirstAired>"
                    f"<EpisodeName>Pilot</EpisodeName></Episode></Data>\n")
        entries.append(f"<Series><DateAdded>{today}</DateAdded>\r\n<PathToDetails>{path}"
                       f"</PathToDetails>\r\n<seriesid>{sid}</seriesid>\r\n</Series>")
    with open(os.path.join(folder, "favorites.xml"), "w") as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?>\n<Data>' + "".join(entries) + "</Data>\n")


def descriptors(pid):
    try:
        return len(os.listdir(f"/proc/{pid}/fd"))
    except OSError:
        return None


def rss_kb(pid):
    try:
        with open(f"/proc/{pid}/status") as status:
            for line in status:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return None


def descriptor_kinds(pid):
    """What the descriptors are: counts of their link targets' kinds (socket, pipe, file...)."""
    kinds = {}
    try:
        for fd in os.listdir(f"/proc/{pid}/fd"):
            try:
                target = os.readlink(f"/proc/{pid}/fd/{fd}")
            except OSError:
                continue
            kind = target.split(":")[0] if ":" in target and not target.startswith("/") else target
            kinds[kind] = kinds.get(kind, 0) + 1
    except OSError:
        pass
    return kinds


def settled_descriptors(pid, floor, timeout=9.0):
    """The count once it is back near the floor, or after the timeout."""
    value = g.wait_until(lambda: (lambda n: n if n is not None and n <= floor + FLAT else 0)(
        descriptors(pid)), timeout, 0.25)
    return value or descriptors(pid)


def soak(openings, csv_path=None):
    """Returns the records [(opening, descriptors, rss_kb)]; checks as it goes."""
    records = []
    with g.Desktop("soak") as d:
        server = g.TestServer(d, "--pages", d.dir)
        env = dict(d.env)
        env.pop("QUORVEL_TVDB_HOST", None)
        env["QUORVEL_TVMAZE_URL"] = server.base + "/tvmaze"
        env["QUORVEL_TVMAZE_IMAGES_URL"] = server.base + "/banners"  # it draws any path there
        follow(env["XDG_DATA_HOME"], SERIES)

        stderr = open(d.stderr_path, "ab")
        program = subprocess.Popen(["prlimit", f"--nofile={LIMIT}", g.BIN], env=env,
                                   stdout=subprocess.DEVNULL, stderr=stderr)
        stderr.close()
        d._processes.append(program)
        pid = program.pid
        g.require(g.wait_until(lambda: descriptors(pid), 15), "the program runs")
        time.sleep(2)
        floor = None
        started = time.monotonic()
        for opening in range(1, openings + 1):
            again = subprocess.run([g.BIN], env=env, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL, timeout=20)
            if not g.check(again.returncode == 0, f"start {opening} exits 0 at once"):
                break
            window = g.wait_until(lambda: (g.main_windows() or [None])[0], 20)
            if not g.check(bool(window), f"opening {opening}: the main window opens"):
                break
            # The page fills My Shows and loads the artwork through the catalogue.
            time.sleep(2.0)
            g.key(window, "Escape")
            if not g.check(bool(g.wait_until(lambda: not g.main_windows(), 10)),
                           f"opening {opening}: Escape closes the window"):
                break
            if program.poll() is not None:
                break
            count = settled_descriptors(pid, floor if floor is not None else 10**6)
            memory = rss_kb(pid)
            if floor is not None and count is not None and abs(count - floor) > FLAT:
                g.note(f"descriptors now {descriptor_kinds(pid)}")
            records.append((opening, count, memory))
            print(f"     opening {opening:3d}: {count} descriptors, {memory} kB resident",
                  flush=True)
            if opening == WARM_UP:
                floor = count
        took = time.monotonic() - started
        g.check(program.poll() is None,
                f"the program is still running (exit {program.poll()}) after {len(records)} openings")
        if program.poll() is None:
            program.terminate()
            g.check(d.wait_exit(program) == 0, "SIGTERM then ends it with code 0")
        g.check(len(records) == openings, f"{len(records)} of {openings} openings recorded")
        later = [n for _, n, _ in records[WARM_UP:] if n is not None]
        if floor is not None and later:
            g.check(max(later) <= floor + FLAT and min(later) >= floor - FLAT,
                    f"descriptors stay flat: {floor} after opening {WARM_UP}, "
                    f"{min(later)}..{max(later)} after openings {WARM_UP + 1}..{len(records)}")
        memories = [m for _, _, m in records if m]
        if memories:
            g.note(f"resident memory {memories[0]} kB after opening 1, {memories[-1]} kB after "
                   f"opening {len(records)} (peak {max(memories)} kB); {took:.0f} s in all")
        g.check("read_null" not in d.program_stderr(), "no GLib assertion on stderr")

    if csv_path:
        os.makedirs(os.path.dirname(csv_path), exist_ok=True)
        with open(csv_path, "w") as f:
            f.write("opening,descriptors,rss_kb\n")
            for opening, count, memory in records:
                f.write(f"{opening},{count},{memory}\n")
    return records


def main():
    openings = int(sys.argv[1]) if len(sys.argv) > 1 else 200
    default = os.path.join(g.SOURCE, "tests", "artifacts", "gui", f"soak-{openings}.csv")
    try:
        soak(openings, sys.argv[2] if len(sys.argv) > 2 else default)
    except g.Stop:
        pass
    raise SystemExit(g.finish())


if __name__ == "__main__":
    main()
