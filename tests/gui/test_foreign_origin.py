#!/usr/bin/env python3
"""window.external belongs to the page's own origin: a top-level navigation from the page to
another origin (directly, or through a redirect of the page's own server) never shows that
document in the main window; a web address goes to the desktop's browser and the window stays
on the page, which keeps its methods and its answers. A file address goes nowhere. A navigation
within the page's origin still loads and gets window.external."""

import os
import time

import guitest as g
from pageserver import PageServer

CONTRACT = os.path.join(g.HERE, "pages", "contract.html")


def main():
    with PageServer(CONTRACT) as home, PageServer(CONTRACT) as foreign, \
            g.Desktop("foreign-origin") as d:
        d.env.update({"QUORVEL_PAGE_HOST": home.host, "QUORVEL_TVDB_HOST": home.host})
        d.start_trayer()
        program = d.start_program()
        g.require(g.wait_until(g.tray_icon, 15), "the tray icon appears")
        d.choose("My Shows")
        g.require(home.wait_for(lambda r: r["kind"] == "loaded", 15) is not None,
                  "My Shows loads the page")

        def still_on_page(what):
            before = len(home.reports())
            home.send({"op": "probe"})
            probe = home.wait_for(
                lambda r: r["kind"] == "probe" and home.reports().index(r) >= before, 10)
            g.check(probe is not None and len(probe["data"]["keys"]) == 14 and home.loads() == 1,
                    f"{what}: the window stays on the page, with window.external")

        away = f"http://{foreign.host}/main.html?from=page"
        home.send({"op": "navigate", "href": away})
        opened = g.wait_until(lambda: away in d.opened_uris(), 10)
        g.check(bool(opened), f"a navigation to another origin goes to the desktop's browser: "
                f"{d.opened_uris()}")
        time.sleep(1.0)
        g.check(foreign.loads() == 0, "the other origin's document never ran in the window")
        still_on_page("after a navigation to another origin")

        redirected = f"http://{foreign.host}/main.html?from=redirect"
        home.send({"op": "navigate", "href": f"http://{home.host}/go?to={redirected}"})
        g.check(bool(g.wait_until(lambda: redirected in d.opened_uris(), 10)),
                "a redirect to another origin goes to the desktop's browser")
        time.sleep(1.0)
        g.check(foreign.loads() == 0, "and its document never ran in the window")
        still_on_page("after a redirect to another origin")

        before = len(d.opened_uris())
        home.send({"op": "navigate", "href": "file:///etc/hostname"})
        time.sleep(1.5)
        g.check(len(d.opened_uris()) == before, "a file address goes to no browser")
        still_on_page("after a navigation to a file")

        home.send({"op": "navigate", "href": f"http://{home.host}/main.html?again=1"})
        again = home.wait_for(lambda r: r["kind"] == "loaded" and home.loads() == 2, 10)
        g.check(again is not None and again["data"]["external"] == "object",
                "a navigation within the page's origin loads, with window.external")

        home.send({"op": "call", "method": "OnClose", "args": []})
        g.check(bool(g.wait_until(lambda: not g.main_windows(), 10)), "OnClose closes")
        d.choose("Exit")
        g.check(d.wait_exit(program, 30) == 0, "Exit ends the program with code 0")


if __name__ == "__main__":
    try:
        main()
    except g.Stop:
        pass
    raise SystemExit(g.finish())
