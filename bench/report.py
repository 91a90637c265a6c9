#!/usr/bin/env python3
"""Prints the figures bench/run collected as Markdown tables: the machine, the figures with a
target and their verdict, then the other figures. Usage: report.py OUTPUT_FOLDER"""

import json
import os
import re
import subprocess
import sys


def load_json(folder, name):
    try:
        with open(os.path.join(folder, name)) as f:
            return json.load(f)
    except (OSError, ValueError):
        return {}


def last_json_line(folder, name):
    try:
        with open(os.path.join(folder, name)) as f:
            lines = [line for line in f if line.startswith("{")]
        return json.loads(lines[-1]) if lines else {}
    except (OSError, ValueError):
        return {}


def medians(results):
    """{benchmark name without the aggregate suffix: its median entry}."""
    found = {}
    for entry in results.get("benchmarks", []):
        if entry.get("aggregate_name", "median") != "median":
            continue
        name = re.sub(r"(/real_time|/manual_time)?(_median)?$", "", entry["name"])
        found[name] = entry
    return found


def machine(folder):
    def first(command):
        try:
            return subprocess.run(command, capture_output=True, text=True, shell=True,
                                  timeout=10).stdout.strip()
        except (OSError, subprocess.TimeoutExpired):
            return "?"

    cpu = first("lscpu | sed -n 's/^Model name: *//p' | head -1")
    memory = first("awk '/MemTotal/ {printf \"%.1f GiB\", $2 / 1048576}' /proc/meminfo")
    try:
        with open(os.path.join(folder, "load")) as f:
            load = "; ".join(line.strip() for line in f if line.strip())
    except OSError:
        load = "?"
    versions = first("dpkg-query -W -f='${Package} ${Version}, ' libwebkit2gtk-4.1-0 libxml2 "
                     "libgtk-3-0 libayatana-appindicator3-1 2>/dev/null").rstrip(", ")
    return [f"- CPU: {first('nproc')} × {cpu}; memory {memory}",
            f"- Load (1, 5, 15 min): {load}",
            f"- {first('. /etc/os-release; echo $PRETTY_NAME')}; {versions}",
            f"- Run at {first('date -u +%Y-%m-%dT%H:%MZ')}"]


def fmt(value, unit, digits=0):
    if value is None:
        return "—"
    return f"{value:.{digits}f} {unit}"


def verdict(value, target):
    if value is None:
        return "not measured"
    return "met" if value <= target else "**not met**"


def parts_text(agent):
    # /proc cuts process names at 15 characters.
    full = {"WebKitNetworkPr": "WebKitNetworkProcess", "WebKitWebProces": "WebKitWebProcess"}
    return ", ".join(f"{full.get(name, name)} {kb / 1024:.0f}" for name, kb in
                     agent.get("window_parts_kb", {}).items())


def window_rows(window):
    """The main window's rows of the target table, from window_bench.py."""
    if not window:
        return "| Main window figures | — | | not measured |"
    idle = window["idle_rss_kb"]
    rows = []
    for key, label in (("after_1_kb", "after 1 opening"),
                       ("after_n_kb", f"after {window['openings']} openings")):
        grown = (window[key] - idle) / 1024
        rows.append(f"| Agent's resident size once the window closed, {label} | "
                    f"{window[key] / 1024:.1f} MB, idle before the first opening "
                    f"{idle / 1024:.1f} MB: **{grown:+.1f} MB** | within 10 MB of idle | "
                    f"{verdict(abs(grown), 10)} |")
    low, high = window["window_pss_ratio_range"]
    pss = (f"proportional sum (Pss) {window['window_pss_kb'] / 1024:.0f} MB, the bare window's "
           f"{window['window_floor_pss_kb'] / 1024:.0f} MB: {window['window_pss_ratio']:.3f} × "
           f"(runs {low:.3f} to {high:.3f})")
    if "window_held_ratio" in window:
        hlow, hhigh = window["window_held_ratio_range"]
        rows.append(f"| Main window open, 200 rows: memory its processes hold together, each page "
                    f"counted once | {window['window_held_kb'] / 1024:.0f} MB, the bare window "
                    f"{window['window_floor_held_kb'] / 1024:.0f} MB: "
                    f"**{window['window_held_ratio']:.3f} ×** (runs {hlow:.3f} to {hhigh:.3f}); "
                    f"{pss} | ≤ 1.1 × the bare window | "
                    f"{verdict(window['window_held_ratio'], 1.1)} |")
    else:
        rows.append(f"| Main window open, 200 rows: {pss} (page frames unreadable: not root) | — "
                    f"| ≤ 1.1 × the bare window | {verdict(window['window_pss_ratio'], 1.1)} |")
    low, high = window["first_row_ratio_range"]
    rows.append(f"| My Shows (a second start) to the first of 200 rows painted | "
                f"{window['first_row_ms']:.0f} ms, the bare window with the rows inlined "
                f"{window['first_row_floor_ms']:.0f} ms: **{window['first_row_ratio']:.2f} ×** "
                f"(runs {low:.2f} to {high:.2f}) | ≤ 1.2 × the bare window | "
                f"{verdict(window['first_row_ratio'], 1.2)} |")
    return "\n".join(rows)


def main():
    folder = sys.argv[1]
    views = medians(load_json(folder, "views.json"))
    data = medians(load_json(folder, "data.json"))
    refresh = medians(load_json(folder, "refresh.json"))
    page = last_json_line(folder, "page.txt")
    agent = last_json_line(folder, "agent.txt")
    window = last_json_line(folder, "window.txt")

    print("## Machine\n")
    print("\n".join(machine(folder)))

    print("\n## Figures with a target (medians)\n")
    print("| Figure | Measured | Target | Verdict |")
    print("|---|---|---|---|")
    names = {"MyShows": "My Shows", "NextShows": "Next", "RecentShows": "Recent",
             "CurrentlyPlaying": "Currently playing (no feed)"}
    for key, label in names.items():
        v = views.get(f"{key}/200/500")
        if not v:
            print(f"| {label}, N=200 E=500 | — | ≤ 1.5 × xmllint | not measured |")
            continue
        c = v.get("cpu_ratio")
        print(f"| {label}, N=200 E=500 | CPU {v['cpu_ms']:.0f} ms, floor {v['floor_cpu_ms']:.0f}"
              f" ms: **{c:.2f} ×**; wall {v['real_time']:.0f} ms, floor {v['floor_ms']:.0f} ms: "
              f"{v['ratio']:.2f} × | ≤ 1.5 × xmllint | {verdict(c, 1.5)} |")
    for rows, target in ((500, 50), (5000, 250)):
        value = page.get(f"rows_{rows}_ms")
        value = value if value is not None and value >= 0 else None
        print(f"| Page delivery, {rows} rows end to end | {fmt(value, 'ms', 1)} | ≤ {target} ms "
              f"| {verdict(value, target)} |")
    idle = agent.get("idle_kb")
    idle_mb = idle / 1024 if idle else None
    print(f"| Idle agent in the tray, peak RSS | {fmt(idle_mb, 'MB', 1)} | ≤ 45 MB | "
          f"{verdict(idle_mb, 45)} |")
    start = agent.get("tray_icon_ms")
    floor = agent.get("tray_floor_ms")
    ratio = agent.get("tray_icon_ratio")
    low, high = agent.get("tray_icon_ratio_range", [0, 0])
    print(f"| Start to tray icon, 200 series none due, network down | {fmt(start, 'ms')}, the bare "
          f"icon started right before each {fmt(floor, 'ms')}: **{fmt(ratio, '×', 2)}** (runs "
          f"{low:.2f} to {high:.2f}) | ≤ 1.2 × the bare icon | {verdict(ratio, 1.2)} |")
    print(window_rows(window))
    print("\n## Views over all data sets\n")
    print("Medians over the repetitions; each ratio is taken per repetition against xmllint run "
          "right after it, so a ratio's median need not equal the quotient of the medians.\n")
    print("| View | N × E | wall ms | CPU ms | xmllint CPU ms | CPU ratio | wall ratio |")
    print("|---|---|---|---|---|---|---|")
    for size in ("50/100", "50/500", "200/100", "200/500", "500/100", "500/500"):
        for key, label in names.items():
            v = views.get(f"{key}/{size}")
            if v:
                print(f"| {label} | {size.replace('/', ' × ')} | {v['real_time']:.1f} | "
                      f"{v['cpu_ms']:.1f} | {v['floor_cpu_ms']:.1f} | {v['cpu_ratio']:.2f} | "
                      f"{v['ratio']:.2f} |")

    print("\n## Other figures (medians)\n")
    print("| Figure | Measured |")
    print("|---|---|")
    large = data.get("ReadLargeSeriesDocument")
    if large:
        print(f"| Read a {large['bytes'] / 1e6:.1f} MB series document (details without the "
              f"network) | {large['real_time']:.1f} ms wall, {large['cpu_ms']:.1f} ms CPU = "
              f"{large['cpu_ratio']:.2f} × xmllint ({large['floor_cpu_ms']:.1f} ms) |")
    for key, label in (("ReadFavorites500", "Read a 500-entry favourites file"),
                       ("FollowAndUnfollowIn500", "Follow and unfollow in a 500-entry list "
                                                  "(two durable saves each)")):
        entry = data.get(key)
        if entry:
            print(f"| {label} | {entry['real_time']:.2f} ms wall, {entry['cpu_time']:.2f} ms CPU |")
    for series in (50, 200):
        entry = refresh.get(f"StartupRefresh/series:{series}/latency_ms:20")
        if entry:
            print(f"| Start-up refresh, {series} due series, 20 ms latency each | "
                  f"{entry['real_time']:.0f} ms in all; the single downloads add up to "
                  f"{entry['downloads_ms']:.0f} ms ({entry['downloads']:.0f} × "
                  f"{entry['kB_each']:.0f} kB) |")
    for episodes in (100, 500):
        entry = refresh.get(f"StartupRefreshNothingDue/series:200/episodes:{episodes}")
        if entry:
            print(f"| Start-up refresh, 200 series × {episodes} episodes, none due "
                  f"(reading only) | {entry['real_time']:.1f} ms wall, {entry['cpu_ms']:.1f} ms "
                  f"CPU |")
    if window:
        print(f"| Main window open, 200 rows: resident size summed over every process | "
              f"{window['window_rss_kb'] / 1024:.0f} MB (the bare window: "
              f"{window['window_floor_rss_kb'] / 1024:.0f} MB) |")
    if agent:
        print(f"| Main window open, 200 rows: peak RSS summed over every process | "
              f"{agent.get('window_kb', 0) / 1024:.0f} MB ({parts_text(agent)}) |")
        print(f"| Idle agent with the embedded catalogue running | "
              f"{agent.get('idle_catalogue_kb', 0) / 1024:.1f} MB peak RSS |")
        print(f"| Main window open: anonymous memory over all processes | "
              f"{agent.get('window_anon_kb', 0) / 1024:.0f} MB |")
        print(f"| First start on a fresh display | {fmt(agent.get('first_start_ms'), 'ms')}, "
              f"idle {agent.get('first_start_idle_kb', 0) / 1024:.1f} MB |")
        print(f"| Fastest start to tray icon | {fmt(agent.get('tray_icon_min_ms'), 'ms')} |")


if __name__ == "__main__":
    main()
