#!/usr/bin/env python3
"""A page that calls every external method with hostile arguments (wrong types, a 10 MB string,
NaN, +-Infinity, numbers beyond 32 bits, objects, functions, cyclic and throwing objects, symbols,
big integers): the program neither crashes nor misbehaves. Either nothing happens or the method's
own command runs; afterwards the page still gets answers, nothing was followed, only web
addresses made of the page's own texts reached the browser, and Exit ends the program with 0."""

import os
import time

import guitest as g
from pageserver import PageServer

SENTINEL = "sentinel-after-storm"


def main():
    with PageServer(os.path.join(g.HERE, "pages", "hostile.html")) as server, \
            g.Desktop("hostile-page") as d:
        d.env.update({"QUORVEL_PAGE_HOST": server.host, "QUORVEL_TVDB_HOST": server.host})
        d.start_trayer()
        program = d.start_program()
        g.require(g.wait_until(g.tray_icon, 15), "the tray icon appears")
        d.choose("My Shows")
        g.require(server.wait_for(lambda r: r["kind"] == "loaded", 15) is not None,
                  "My Shows loads the hostile page")

        started = time.monotonic()
        server.send({"op": "storm"})
        stormed = server.wait_for(lambda r: r["kind"] == "stormed", 60)
        g.require(stormed is not None, "the page made its calls")
        print(f"     {stormed['data']['calls']} calls in {time.monotonic() - started:.1f} s, "
              f"{stormed['data']['thrown']} refused by the page's script engine", flush=True)

        # Commands run in order: once the sentinel search comes back, every earlier one has run.
        server.send({"op": "call", "method": "SearchCallback", "args": [SENTINEL]})
        answered = server.wait_for(
            lambda r: r["kind"] == "answer" and r["data"]["fn"] == "PopulateSearchTable"
            and r["data"]["args"][:1] == [SENTINEL], 120)
        g.require(answered is not None, "after the storm a search still answers the page")
        print(f"     storm handled in {time.monotonic() - started:.1f} s; program peak memory "
              f"{g.peak_memory_kb(program.pid)} kB", flush=True)

        g.check(program.poll() is None, "the program is still running")
        g.check(len(g.main_windows()) == 1, "one main window, still open")
        favorites = os.path.join(d.env["XDG_DATA_HOME"], "Quorvel", "favorites.xml")
        stored = open(favorites).read() if os.path.exists(favorites) else ""
        g.check("<Series>" not in stored, "no series was followed")
        allowed = {"http://" + text.strip() for text in stormed["data"]["strings"]}
        allowed |= {"http://" + text for text in stormed["data"]["strings"]}
        opened = d.opened_uris()
        g.check(all(uri in allowed for uri in opened),
                f"only the page's own texts, as web addresses, reached the browser: {opened}")

        server.send({"op": "call", "method": "OnClose", "args": []})
        g.check(bool(g.wait_until(lambda: not g.main_windows(), 10)), "OnClose still closes")
        d.choose("Exit")
        g.check(d.wait_exit(program, 30) == 0, "Exit ends the program with code 0")


if __name__ == "__main__":
    try:
        main()
    except g.Stop:
        pass
    raise SystemExit(g.finish())
