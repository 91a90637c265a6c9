#!/usr/bin/env python3
"""The tray icon's colour at start: red when a followed series has an episode dated today, grey
when its episodes are tomorrow and two days ago. (The update prompt before the icon is
test_prompt.py's.)"""

import os
import sys
import time

import guitest as g

sys.path.insert(0, os.path.join(g.SOURCE, "tools"))
from seriesdoc import series_document  # noqa: E402


def follow(d, offsets):
    """Writes one followed series, added today so that nothing is downloaded, with episodes
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


def icon_colours(d, offsets, name):
    follow(d, offsets)
    program = d.start_program()
    icon = g.require(g.settled_tray_icon(), "the tray icon appears")
    colours = g.clapperboard_pixels(g.screenshot(os.path.join(d.dir, name)), icon)
    d.choose("Exit")
    g.check(d.wait_exit(program) == 0, "Exit ends the program with code 0")
    return colours


def main():
    with g.Desktop("today-icon") as d:
        d.start_trayer()
        today = icon_colours(d, [0], "today.png")
        g.check(today["red"] >= 25 and today["grey"] == 0,
                f"an episode dated today makes the icon red {today}")
        other = icon_colours(d, [1, -2], "other-days.png")
        g.check(other["grey"] >= 25 and other["red"] == 0,
                f"episodes tomorrow and two days ago leave it grey {other}")


if __name__ == "__main__":
    try:
        main()
    except g.Stop:
        pass
    raise SystemExit(g.finish())
