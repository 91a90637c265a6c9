#!/usr/bin/env python3
"""What happens before the tray icon appears: a followed series with an episode dated today turns
the icon red (grey when its episodes are tomorrow or two days ago); a newer version on the update
server is announced by a dialog before the icon; Cancel goes on to the icon and opens nothing;
OK, the default that Enter presses, opens the set-up address in the browser."""

import os
import sys
import time

import guitest as g

sys.path.insert(0, os.path.join(g.SOURCE, "tools"))
from seriesdoc import series_document  # noqa: E402

PROMPT = "A new version is available. Would you like to download now?"


def follow(d, offsets):
    """Writes a followed series, dated today so that nothing is downloaded, with episodes
    aired `offsets` days from today."""
    folder = os.path.join(d.env["XDG_DATA_HOME"], "Quorvel")
    os.makedirs(folder, exist_ok=True)
    today = time.localtime()
    dates = [time.strftime("%Y-%m-%d", time.localtime(time.mktime(
        (today.tm_year, today.tm_mon, today.tm_mday + n, 12, 0, 0, 0, 0, -1)))) for n in offsets]
    episodes = [{"id": str(900 + i), "SeasonNumber": "1", "EpisodeNumber": str(i + 1),
                 "EpisodeName": f"Episode {i + 1}", "FirstAired": date}
                for i, date in enumerate(dates)]
    path = os.path.join(folder, "80900.xml")
    with open(path, "w") as f:
        f.write(series_document({"id": "80900", "SeriesName": "Today's Test"}, episodes))
    with open(os.path.join(folder, "favorites.xml"), "w", newline="") as f:
        f.write('<?xml version="1.0" encoding="utf-8"?>\r\n<Data xmlns:xsi="http://www.w3.org/'
                '2001/XMLSchema-instance" xmlns:xsd="http://www.w3.org/2001/XMLSchema">\r\n'
                f'<Series><DateAdded>{time.strftime("%Y-%m-%d", today)}</DateAdded>\r\n'
                f"<PathToDetails>{path}</PathToDetails>\r\n<seriesid>80900</seriesid>\r\n"
                "</Series>\r\n</Data>\r\n")


def icon_colour(d, name):
    icon = g.require(g.wait_until(g.tray_icon, 15), "the tray icon appears")
    return g.icon_body(g.screenshot(os.path.join(d.dir, name)), icon)


def exit_program(d, program):
    d.choose("Exit")
    g.check(d.wait_exit(program) == 0, "Exit ends the program with code 0")


def wait_for_prompt(program):
    dialog = g.require(g.wait_until(lambda: (g.windows_named("^Quorvel$") or [None])[0], 15),
                       "a dialog titled \"Quorvel\" appears")
    g.check(g.tray_icon() is None and program.poll() is None, "before the tray icon")
    parts = g.wait_until(lambda: g.Accessibility().window_parts("Quorvel"), 5) or []
    texts = [name for role, name, _ in parts]
    if parts:
        g.check(PROMPT in texts, f"it asks \"{PROMPT}\" {texts}")
        g.check([n for r, n, _ in parts if r == "push button"] == ["Cancel", "OK"],
                f"with the buttons Cancel and OK {texts}")
    else:
        g.note("no accessibility bus: the dialog's texts are not read")
    return dialog, parts


def main():
    with g.Desktop("startup") as d:
        d.start_trayer()
        follow(d, [0])
        program = d.start_program()
        body = icon_colour(d, "today.png")
        g.check(g.is_red_body(body), f"an episode dated today makes the icon red (body {body})")
        exit_program(d, program)

        server = g.TestServer(d)
        with open(os.path.join(g.SOURCE, "tests", "fixtures", "update", "update-newer.xml"),
                  "rb") as f:
            server.put("/update.xml", f.read())
        d.env["QUORVEL_UPDATE_HOST"] = server.host
        follow(d, [1, -2])

        program = d.start_program()
        dialog, parts = wait_for_prompt(program)
        cancel = [extents for role, name, extents in parts if name == "Cancel"]
        if cancel:
            x, y, w, h = cancel[0]
            g.click(x + w // 2, y + h // 2)
        else:
            g.key(dialog, "Escape")
        g.check(bool(g.wait_until(lambda: not g.windows_named("^Quorvel$"), 5)),
                "Cancel closes the dialog")
        body = icon_colour(d, "cancel.png")
        g.check(g.is_grey_body(body), f"then the icon appears, grey: episodes tomorrow and two "
                                      f"days ago count nothing (body {body})")
        time.sleep(0.5)
        g.check(d.opened_uris() == [], f"Cancel opens nothing {d.opened_uris()}")
        exit_program(d, program)

        program = d.start_program()
        dialog, _ = wait_for_prompt(program)
        g.key(dialog, "Return")
        setup = f"http://{server.host}/QuorvelSetup.exe"
        g.check(bool(g.wait_until(lambda: d.opened_uris() == [setup], 10)),
                f"Enter presses OK, which opens {setup} {d.opened_uris()}")
        g.check(bool(g.wait_until(g.tray_icon, 15)), "then the tray icon appears")
        g.check(server.hits().count("/update.xml") == 2, "the update server was asked at each start")
        exit_program(d, program)


if __name__ == "__main__":
    try:
        main()
    except g.Stop:
        pass
    raise SystemExit(g.finish())
