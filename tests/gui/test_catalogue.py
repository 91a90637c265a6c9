#!/usr/bin/env python3
"""The real program with no TheTVDB host set: the embedded catalogue answers for it, with the
loopback test server standing in for TVmaze. A search typed into the page reaches TVmaze's show
search through the catalogue, the hit's artwork is fetched through the catalogue's /banners/, the
answers land in the cache folder, and "Exit" ends the program (and the catalogue) with code 0."""

import json
import os
import sys
import time
import urllib.parse
import urllib.request

import guitest as g

SOURCE = os.environ.get("QUORVEL_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
POSTER = "uploads/images/medium_portrait/81/202627.jpg"


def hits(base):
    with urllib.request.urlopen(base + "/_hits", timeout=5) as answer:
        return json.load(answer)


def put(base, path, body, content_type):
    query = urllib.parse.urlencode({"path": path, "type": content_type})
    request = urllib.request.Request(f"{base}/_put?{query}", data=body, method="POST")
    with urllib.request.urlopen(request, timeout=5) as answer:
        answer.read()


def main():
    with g.Desktop("catalogue") as d:
        port_file = os.path.join(d.dir, "server.out")
        d.start(sys.executable, os.path.join(SOURCE, "tools", "testserver.py"), "--port", "0",
                "--pages", d.dir, log=port_file)
        port = g.require(g.wait_until(lambda: open(port_file).readline().strip(), 10),
                         "the test server tells its port")
        base = f"http://127.0.0.1:{port}"
        with open(os.path.join(SOURCE, "tests", "fixtures", "tvmaze", "search_dome.json"), "rb") as f:
            put(base, "/tvmaze/search/shows?q=dome", f.read(), "application/json")

        env = dict(d.env)
        env.pop("QUORVEL_TVDB_HOST", None)
        env["QUORVEL_TVMAZE_URL"] = base + "/tvmaze"
        env["QUORVEL_TVMAZE_IMAGES_URL"] = base + "/banners"  # the server draws any path there

        d.start_trayer()
        program = d.start_program(env)
        g.require(g.wait_until(g.tray_icon, 15), "the tray icon appears")
        g.require(d.choose("My Shows"), "My Shows chosen")
        window = g.require(g.wait_until(lambda: (g.main_windows() or [None])[0], 15),
                           "the main window opens")

        searched = None
        started = time.monotonic()
        for _ in range(3):  # the page may still be loading at the first try
            time.sleep(1.5)
            g.key(window, "slash")
            time.sleep(0.3)
            g.run("xdotool", "type", "--delay", "40", "dome")
            g.key(window, "Return")
            searched = g.wait_until(lambda: "/tvmaze/search/shows?q=dome" in hits(base), 5)
            if searched:
                break
        g.require(bool(searched), "the typed search reached TVmaze's show search via the catalogue")
        print(f"     search reached upstream {time.monotonic() - started:.2f} s after the window")
        artwork = g.wait_until(lambda: f"/banners/{POSTER}" in hits(base), 10)
        g.check(bool(artwork), "the hit's artwork came from the image host through the catalogue")
        time.sleep(0.5)
        artifacts = os.path.join(SOURCE, "tests", "artifacts", "gui")
        os.makedirs(artifacts, exist_ok=True)
        g.screenshot(os.path.join(artifacts, "catalogue-search.png"))

        cache = os.path.join(env["XDG_CACHE_HOME"], "quorvel")
        stored = [name for _, _, files in os.walk(cache) for name in files]
        g.check(any(name.endswith(".json") for name in stored) and len(stored) >= 2,
                f"the search and the artwork are in the cache folder {stored}")

        g.key(window, "Escape")
        g.check(bool(g.wait_until(lambda: not g.main_windows(), 5)), "Escape closes the window")
        d.choose("Exit")
        g.check(d.wait_exit(program) == 0, "Exit ends the program with code 0")
        upstream = [hit for hit in hits(base) if hit.startswith("/tvmaze/")]
        g.check(upstream == ["/tvmaze/search/shows?q=dome"],
                f"one upstream call for one search: {upstream}")


if __name__ == "__main__":
    try:
        main()
    except g.Stop:
        pass
    raise SystemExit(g.finish())
