#!/usr/bin/env python3
"""The calendar file with the real program: written at start for the followed series, and
"Add to calendar" (a test page's button calling window.external.OpenCalendar, then the bundled
page's own button on its Next view) writes it again when it is missing and hands exactly that file
to the desktop's default application for text/calendar, never to the browser."""

import json
import os
import sys
import time

import guitest as g
from pageserver import PageServer

sys.path.insert(0, os.path.join(g.SOURCE, "tools"))
from seriesdoc import series_document  # noqa: E402

FAKE_CALENDAR = """#!/usr/bin/env python3
import json, os, sys
with open(os.environ["QUORVEL_TEST_CALENDAR_LOG"], "a") as log:
    log.write(json.dumps(sys.argv[1:]) + "\\n")
"""


def local_date(offset):
    today = time.localtime()
    return time.strftime("%Y-%m-%d", time.localtime(time.mktime(
        (today.tm_year, today.tm_mon, today.tm_mday + offset, 12, 0, 0, 0, 0, -1))))


def install_fake_calendar(d):
    """The desktop's default application for text/calendar: records the files it is given."""
    log = os.path.join(d.dir, "calendar-files.log")
    recorder = os.path.join(d.dir, "fake-calendar")
    with open(recorder, "w") as f:
        f.write(FAKE_CALENDAR.replace("/usr/bin/env python3", sys.executable, 1))
    os.chmod(recorder, 0o755)
    apps = os.path.join(d.env["XDG_DATA_HOME"], "applications")
    with open(os.path.join(apps, "quorvel-test-calendar.desktop"), "w") as f:
        f.write("[Desktop Entry]\nType=Application\nName=Test calendar\n"
                f"Exec={recorder} %f\nNoDisplay=true\nMimeType=text/calendar;\n")
    with open(os.path.join(d.env["XDG_CONFIG_HOME"], "mimeapps.list"), "a") as f:
        f.write("text/calendar=quorvel-test-calendar.desktop\n")
    d.env["QUORVEL_TEST_CALENDAR_LOG"] = log

    def opened():
        try:
            with open(log) as lines:
                return [json.loads(line) for line in lines if line.strip()]
        except OSError:
            return []
    return opened


def follow(d):
    """Two followed series, added today so that nothing is downloaded."""
    folder = os.path.join(d.env["XDG_DATA_HOME"], "Quorvel")
    os.makedirs(folder, exist_ok=True)
    entries = []
    for sid, name, offset in (("80901", "Harbour Lights", 1), ("80902", "Night; Shift, Two", 3)):
        path = os.path.join(folder, sid + ".xml")
        with open(path, "w") as f:
            f.write(series_document({"id": sid, "SeriesName": name}, [
                {"id": sid + "1", "SeasonNumber": "2", "EpisodeNumber": "10",
                 "EpisodeName": "Coming", "FirstAired": local_date(offset)}]))
        entries.append(f"<Series><DateAdded>{local_date(0)}</DateAdded>\r\n"
                       f"<PathToDetails>{path}</PathToDetails>\r\n<seriesid>{sid}</seriesid>\r\n"
                       "</Series>\r\n")
    with open(os.path.join(folder, "favorites.xml"), "w", newline="") as f:
        f.write('<?xml version="1.0" encoding="utf-8"?>\r\n<Data>\r\n' + "".join(entries)
                + "</Data>\r\n")
    return os.path.join(folder, "quorvel.ics")


def events(path):
    try:
        with open(path, "rb") as f:
            text = f.read().decode().replace("\r\n ", "")
    except OSError:
        return []
    return [line for line in text.split("\r\n") if line.startswith(("UID:", "DTSTART", "SUMMARY"))]


def bundled_page(d, calendar, opened):
    """The bundled page: Alt+2 opens the Next view, Tab reaches "Add to calendar", Enter."""
    d.env.pop("QUORVEL_PAGE_HOST", None)
    program = d.start_program()
    g.require(g.wait_until(g.tray_icon, 15), "the tray icon appears again")
    os.remove(calendar)
    before = len(opened())
    d.choose("My Shows")
    window = g.require(g.wait_until(g.main_windows, 10), "the bundled page's window")[0]
    time.sleep(3)  # the page loads and finds its program
    g.key(window, "alt+2")
    time.sleep(1)
    g.key(window, "Tab")
    time.sleep(0.3)
    g.key(window, "Return")
    files = g.wait_until(lambda: opened()[before:], 10)
    g.check(files == [[calendar]],
            f"the bundled page's Add to calendar hands over the calendar file: {files}")
    g.check(len(events(calendar)) == 6, "written again, as it was missing")
    g.key(window, "Escape")
    g.check(bool(g.wait_until(lambda: not g.main_windows(), 5)), "Escape closes the window")
    d.choose("Exit")
    g.check(d.wait_exit(program) == 0, "Exit ends the program with code 0")


def main():
    with PageServer(os.path.join(g.HERE, "pages", "calendar.html")) as server, \
            g.Desktop("calendar") as d:
        d.env.update({"QUORVEL_PAGE_HOST": server.host})
        calendar = follow(d)
        opened = install_fake_calendar(d)
        d.start_trayer()
        program = d.start_program()
        g.require(g.wait_until(g.tray_icon, 15), "the tray icon appears")
        written = g.wait_until(lambda: events(calendar), 10)
        first, second = (local_date(n).replace("-", "") for n in (1, 3))
        g.check(written == ["UID:809011-80901@quorvel", f"DTSTART;VALUE=DATE:{first}",
                            "SUMMARY:Harbour Lights S02E10 \u00b7 Coming",
                            "UID:809021-80902@quorvel", f"DTSTART;VALUE=DATE:{second}",
                            "SUMMARY:Night\\; Shift\\, Two S02E10 \u00b7 Coming"],
                f"the start writes the calendar of the followed episodes: {written}")

        os.remove(calendar)
        d.choose("My Shows")
        loaded = server.wait_for(lambda r: r["kind"] == "loaded", 15)
        g.require(loaded is not None, "My Shows loads the page")
        g.check(loaded["data"]["offered"], "the page finds window.external.OpenCalendar")
        window = g.require(g.wait_until(g.main_windows, 5), "one main window")[0]
        time.sleep(0.5)
        geometry = g.window_geometry(window)
        g.click(geometry["X"] + geometry["WIDTH"] // 2, geometry["Y"] + geometry["HEIGHT"] // 2)
        g.check(server.wait_for(lambda r: r["kind"] == "clicked", 10) is not None,
                "\"Add to calendar\" is clicked")
        files = g.wait_until(opened, 10)
        g.check(files == [[calendar]],
                f"exactly the calendar file reaches the text/calendar handler: {files}")
        g.check(len(events(calendar)) == 6, "the missing file was written again before")
        time.sleep(0.5)
        g.check(d.opened_uris() == [], f"nothing went to the browser: {d.opened_uris()}")

        g.key(window, "Escape")
        g.check(bool(g.wait_until(lambda: not g.main_windows(), 5)), "Escape closes the window")
        d.choose("Exit")
        g.check(d.wait_exit(program) == 0, "Exit ends the program with code 0")
        bundled_page(d, calendar, opened)


if __name__ == "__main__":
    try:
        main()
    except g.Stop:
        pass
    raise SystemExit(g.finish())
