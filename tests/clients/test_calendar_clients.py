#!/usr/bin/python3
"""Real calendar clients read the calendar file: Debian's python3-icalendar parses it and its
events equal what the series files say (dates, summaries, uids, descriptions), and khal imports it
into a throwaway configuration and lists the episodes on their days, under two time zones.

Usage: test_calendar_clients.py CALENDAR_WRITER   (the tests/programs helper)
Debian's own python3 runs it (the shebang), as the packages are Debian's."""

import datetime
import os
import re
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools"))

import icalendar  # noqa: E402
from seriesdoc import series_document  # noqa: E402

ZONES = ("Europe/Berlin", "America/Los_Angeles")
# Noon UTC: the same local date in both zones, the day before Europe's clocks move forward.
NOW = int(datetime.datetime(2026, 3, 28, 12, 0, tzinfo=datetime.timezone.utc).timestamp())
TODAY = datetime.date(2026, 3, 28)
BIG_OVERVIEW = ("A long, long; story \\ with \u2014 dashes\n" * 3000)[:100 * 1024]
LONG_NAME = ("\u00dcn\u00efc\u00f8d\u00e9 \u6771\u4eac \U0001f3ac " * 40)[:300]

failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok:
        failures.append(what)
    return ok


def day(offset):
    return (TODAY + datetime.timedelta(days=offset)).isoformat()


def episode(eid, offset, name, season="1", number="1", **more):
    return dict(id=eid, FirstAired=day(offset) if offset is not None else "", EpisodeName=name,
                SeasonNumber=season, EpisodeNumber=number, **more)


# Three followed series with ordinary and hostile texts, and two whose files cannot be read.
SERIES = [
    ({"id": "80010", "SeriesName": "Harbour Lights", "Network": "Harbour Nine",
      "Airs_DayOfWeek": "Friday", "Airs_Time": "11:00 PM", "IMDB_ID": "tt0944947"},
     [episode("501", -31, "Too old"),
      episode("502", -30, "Thirty days ago", "2", "10", Overview="Back then."),
      episode("503", 0, "Today"),
      episode("504", 1, "Clocks go forward", "2", "12", IMDB_ID="tt7654321"),
      episode("505", 10, "Semi;colon, comma\\ back\nslash", "10", "100"),
      episode("506", 218, "US clocks go back", "3", "1"),
      episode("", 3, "No id"),
      episode("507", None, "No date")]),
    ({"id": "80020", "SeriesName": LONG_NAME, "Network": "\u6771\u4eac TV"},
     [episode("601", 2, LONG_NAME, "0", "3"),
      episode("602", 5, "", "1", "2")]),
    ({"id": "80030", "SeriesName": "Odd\nName\x7f\u0085 ; , \\", "Airs_Time": "9:00 PM"},
     [episode("701", 4, "Half", "1.5", "2", Overview=BIG_OVERVIEW),
      episode("702", 6, "Tab\there", "x", "y")]),
]


def write_data(folder):
    os.makedirs(folder)
    entries = []
    for series, episodes in SERIES:
        path = os.path.join(folder, series["id"] + ".xml")
        with open(path, "w", encoding="utf-8") as f:
            f.write(series_document(series, episodes))
        entries.append((series["id"], path))
    broken = os.path.join(folder, "80040.xml")
    with open(broken, "w") as f:
        f.write("<Data><Series><id>80040</id></Seri")
    bad_bytes = os.path.join(folder, "80050.xml")
    with open(bad_bytes, "wb") as f:
        f.write(series_document({"id": "80050", "SeriesName": "@@"},
                                [episode("901", 1, "@@")]).encode().replace(b"@@", b"\xff\xfe"))
    entries += [("80040", broken), ("80050", bad_bytes)]
    with open(os.path.join(folder, "favorites.xml"), "w") as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?>\n<Data>')
        for sid, path in entries:
            f.write(f"<Series><DateAdded>{day(0)}</DateAdded>\r\n"
                    f"<PathToDetails>{path}</PathToDetails>\r\n<seriesid>{sid}</seriesid>\r\n"
                    "</Series>")
        f.write("</Data>\n")


def one_line(text):
    text = re.sub(r"\r\n|\r|\n", " ", text)
    text = "".join(c for c in text if c == "\t" or not (ord(c) < 0x20 or 0x7f <= ord(c) <= 0x9f))
    return text.strip()


def whole(text):
    text = text.strip()
    return int(text) if re.fullmatch(r"[0-9]{1,9}", text) else None


def expected_events(folder):
    """What the readable series files say: uid -> (date, summary, description)."""
    expected = {}
    with open(os.path.join(folder, "favorites.xml")) as f:
        paths = re.findall(r"<PathToDetails>(.*?)</PathToDetails>", f.read())
    for path in paths:
        try:
            root = ElementTree.parse(path).getroot()
        except ElementTree.ParseError:
            continue
        series = {child.tag: child.text or "" for child in root.find("Series")}
        for node in root.findall("Episode"):
            ep = {child.tag: child.text or "" for child in node}
            if not ep["id"].isdigit() or not ep["FirstAired"]:
                continue
            date = datetime.date.fromisoformat(ep["FirstAired"])
            if date < TODAY - datetime.timedelta(days=30):
                continue
            summary = one_line(series["SeriesName"])
            season, number = whole(ep["SeasonNumber"]), whole(ep["EpisodeNumber"])
            if season is not None and number is not None:
                summary = " ".join(filter(None, [summary, f"S{season:02d}E{number:02d}"]))
            name = one_line(ep["EpisodeName"])
            if name:
                summary = f"{summary} \u00b7 {name}" if summary else name
            airs = " ".join(filter(None, [series["Airs_DayOfWeek"].strip(),
                                          series["Airs_Time"].strip()]))
            airs = ", ".join(filter(None, [series["Network"].strip(), airs]))
            description = "\n\n".join(filter(None, [ep["Overview"].strip(), airs]))
            expected[f"{ep['id']}-{series['id']}@quorvel"] = (date, summary, description)
    return expected


def check_icalendar(raw, expected, zone):
    lines = raw.split(b"\r\n")
    check(raw.endswith(b"\r\n") and b"\n" not in raw.replace(b"\r\n", b""),
          f"{zone}: CRLF line ends only")
    check(all(len(line) <= 75 for line in lines), f"{zone}: every line within 75 octets")
    try:
        for line in lines:
            line.decode("utf-8")
        utf8 = True
    except UnicodeDecodeError:
        utf8 = False
    check(utf8, f"{zone}: no line is cut inside a UTF-8 sequence")

    calendar = icalendar.Calendar.from_ical(raw)
    check(str(calendar["VERSION"]) == "2.0" and str(calendar["X-WR-CALNAME"]) == "Quorvel"
          and str(calendar["CALSCALE"]) == "GREGORIAN", f"{zone}: calendar properties")
    events = calendar.walk("VEVENT")
    got = {}
    for event in events:
        description = str(event.get("DESCRIPTION", ""))
        got[str(event["UID"])] = (event["DTSTART"].dt, str(event["SUMMARY"]), description)
        start, end = event["DTSTART"].dt, event["DTEND"].dt
        check(type(start) is datetime.date and end == start + datetime.timedelta(days=1)
              and str(event["TRANSP"]) == "TRANSPARENT",
              f"{zone}: {event['UID']} is a transparent all-day event")
    check(len(events) == len(got), f"{zone}: every uid once")
    check(sorted(got) == sorted(expected), f"{zone}: the uids of the series files: {sorted(got)}")
    for uid in sorted(expected):
        check(got.get(uid) == expected[uid],
              f"{zone}: {uid} has the series file's date, summary and description"
              + ("" if got.get(uid) == expected[uid] else f": {got.get(uid)!r:.300}"))
    usual = got.get("502-80010@quorvel", (0, ""))[1]
    check(usual == "Harbour Lights S02E10 \u00b7 Thirty days ago", f"{zone}: the usual summary")
    urls = {str(e["UID"]): str(e.get("URL", "")) for e in events}
    check(urls.get("504-80010@quorvel") == "https://www.imdb.com/title/tt7654321/"
          and urls.get("503-80010@quorvel") == "https://www.imdb.com/title/tt0944947/"
          and urls.get("601-80020@quorvel") == "", f"{zone}: IMDb pages")


def check_khal(path, expected, zone, work):
    config = os.path.join(work, f"khal-{zone.replace('/', '-')}")
    os.makedirs(os.path.join(config, "calendar"))
    with open(os.path.join(config, "config"), "w") as f:
        f.write(f"""[calendars]
[[quorvel]]
path = {config}/calendar
type = calendar
[locale]
timeformat = %H:%M
dateformat = %Y-%m-%d
longdateformat = %Y-%m-%d
datetimeformat = %Y-%m-%d %H:%M
longdatetimeformat = %Y-%m-%d %H:%M
local_timezone = {zone}
default_timezone = {zone}
[sqlite]
path = {config}/khal.db
""")
    env = dict(os.environ, TZ=zone, HOME=work, XDG_CONFIG_HOME=config, XDG_DATA_HOME=config)
    khal = ["khal", "-c", os.path.join(config, "config")]
    imported = subprocess.run(khal + ["import", "--batch", "-a", "quorvel", path], env=env,
                              capture_output=True, text=True, timeout=120)
    check(imported.returncode == 0, f"{zone}: khal imports the file {imported.stderr[-500:]}")
    listed = subprocess.run(
        khal + ["list", "--format", "{start-date}|{title}|{end-date}", "--day-format", "",
                (TODAY - datetime.timedelta(days=40)).isoformat(),
                (TODAY + datetime.timedelta(days=400)).isoformat()],
        env=env, capture_output=True, text=True, timeout=120)
    rows = [line for line in listed.stdout.splitlines() if line.strip()]
    wanted = sorted(f"{date.isoformat()}|{summary}|{date.isoformat()}"
                    for date, summary, _ in expected.values())
    check(listed.returncode == 0 and sorted(rows) == wanted,
          f"{zone}: khal list shows each episode once, on its day"
          + ("" if sorted(rows) == wanted else f": {rows} != {wanted}"))


def main():
    writer = sys.argv[1]
    with tempfile.TemporaryDirectory(prefix="quorvel-calendar-") as work:
        data = os.path.join(work, "data")
        write_data(os.path.join(data, "Quorvel"))
        expected = expected_events(os.path.join(data, "Quorvel"))
        check(len(expected) == 9, f"the fixtures hold nine events in the window ({len(expected)})")
        for zone in ZONES:
            env = dict(os.environ, TZ=zone, XDG_DATA_HOME=data, HOME=work)
            written = subprocess.run([writer, str(NOW)], env=env, capture_output=True, text=True,
                                     timeout=60)
            path = written.stdout.strip()
            if not check(written.returncode == 0 and os.path.isfile(path),
                         f"{zone}: the calendar file is written"):
                continue
            with open(path, "rb") as f:
                raw = f.read()
            check_icalendar(raw, expected, zone)
            check_khal(path, expected, zone, work)
    print(f"{'FAILED' if failures else 'PASSED'}: {len(failures)} failure(s)", flush=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
