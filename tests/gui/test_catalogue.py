#!/usr/bin/env python3
"""The real program with no TheTVDB host set: the embedded catalogue answers for it, with the
loopback test server standing in for TVmaze. A search typed into the page reaches TVmaze's show
search through the catalogue, the hit's artwork is fetched through the catalogue's /banners/, the
answers land in the cache folder, and "Exit" ends the program (and the catalogue) with code 0."""

import os
import time

import guitest as g

SOURCE = g.SOURCE
POSTER = "uploads/images/medium_portrait/81/202627.jpg"


def main():
    with g.Desktop("catalogue") as d:
        server = g.TestServer(d, "--pages", d.dir)
        base = server.base
        hits = server.hits
        with open(os.path.join(SOURCE, "tests", "fixtures", "tvmaze", "search_dome.json"), "rb") as f:
            server.put("/tvmaze/search/shows?q=dome", f.read(), "application/json")

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
            searched = g.wait_until(lambda: "/tvmaze/search/shows?q=dome" in hits(), 5)
            if searched:
                break
        g.require(bool(searched), "the typed search reached TVmaze's show search via the catalogue")
        print(f"     search reached upstream {time.monotonic() - started:.2f} s after the window")
        artwork = g.wait_until(lambda: f"/banners/{POSTER}" in hits(), 10)
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
        upstream = [hit for hit in hits() if hit.startswith("/tvmaze/")]
        g.check(upstream == ["/tvmaze/search/shows?q=dome"],
                f"one upstream call for one search: {upstream}")


if __name__ == "__main__":
    try:
        main()
    except g.Stop:
        pass
    raise SystemExit(g.finish())
