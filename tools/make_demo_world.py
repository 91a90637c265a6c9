#!/usr/bin/env python3
"""Writes tools/demo-world/: an invented catalogue for the try-out world, in TheTVDB's legacy
shapes, with air dates as {{today+N}} tokens that the test server fills in when it serves them."""

import os
import sys
from xml.sax.saxutils import escape

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from seriesdoc import series_document  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
WORLD = os.path.join(HERE, "demo-world")

# (id, name, network, genre, overview, day, time, offset of the latest episode from today)
SERIES = [
    ("70001", "The Quiet Orchard", "Meadow One", "|Drama|Family|",
     "Three generations keep an apple orchard alive through dry summers and family secrets.",
     "Sunday", "9:00 PM", 0),
    ("70002", "Signal & Noise", "Wavelength", "|Thriller|Science-Fiction|",
     "A radio astronomer hears a pattern nobody else can, and it is getting closer.",
     "Tuesday", "10:00 PM", -1),
    ("70003", "Copper Kettle Kitchen", "Hearth TV", "|Reality|Food|",
     "Home cooks from small towns face one kettle, one hour and one grumpy judge.",
     "Daily", "7:30 PM", -2),
    ("70004", "Night Ferry", "Harbour Nine", "|Crime|Mystery|",
     "Every crossing of the last ferry of the night carries one passenger who should not be there.",
     "Friday", "11:00 PM", 3),
    ("70005", "Paper Planets", "Orbit Kids", "|Animation|Children|",
     "Two siblings fold paper into planets and fly them to places no map has drawn.",
     "Saturday", "8:00 AM", -9),
    ("70006", "Lighthouse Radio", "Coastline", "|Comedy|",
     "The smallest radio station on the coast broadcasts from a lighthouse with one working lamp.",
     "Wednesday", "8:30 PM", 6),
]
FOLLOWED = ["70001", "70002", "70003", "70004", "70006"]
TITLES = ["Arrival", "First Light", "The Long Road", "Static", "Undertow", "Glass House",
          "Second Chances", "Low Tide", "The Visitor", "Crossing", "Echoes", "Homecoming"]


def episodes_for(series_id, latest_offset):
    episodes = []
    count = 24
    for n in range(count):
        season = 1 + n // 12
        number = 1 + n % 12
        offset = latest_offset + (n - (count - 3)) * 7  # two more weekly episodes after "latest"
        episodes.append({
            "id": "%s%03d" % (series_id, n + 1),
            "Combined_episodenumber": "%d.0" % number,
            "Combined_season": str(season),
            "SeasonNumber": str(season),
            "EpisodeNumber": str(number),
            "EpisodeName": TITLES[n % len(TITLES)] + ("" if n < 12 else " (Part %d)" % season),
            "FirstAired": "{{today%+d}}" % offset if offset else "{{today}}",
            "Overview": "Episode %d of season %d." % (number, season),
            "filename": "episodes/%s/%d.jpg" % (series_id, n + 1),
            "IMDB_ID": "tt7%s%02d" % (series_id[-3:], n),
        })
    episodes.append({"id": "%s900" % series_id, "Combined_season": "0", "SeasonNumber": "0",
                     "EpisodeNumber": "1", "EpisodeName": "Behind the Scenes", "FirstAired": ""})
    return episodes


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8") as out:
        out.write(text)


def main():
    search = ['<?xml version="1.0" encoding="UTF-8" ?>', "<Data>"]
    for (sid, name, network, genre, overview, day, time, latest) in SERIES:
        info = {"id": sid, "SeriesName": name, "Network": network, "Genre": genre,
                "Overview": overview, "Airs_DayOfWeek": day, "Airs_Time": time,
                "Status": "Continuing", "Actors": "|Ada Brook|Tomas Reyes|Mina Holt|",
                "IMDB_ID": "tt9%s" % sid, "banner": "graphical/%s-g.jpg" % sid,
                "fanart": "fanart/original/%s-1.jpg" % sid, "poster": "posters/%s-1.jpg" % sid,
                "FirstAired": "2019-03-0%d" % (int(sid[-1]) + 1), "Language": "en"}
        write(os.path.join(WORLD, "tvdb", "series", sid + ".xml"),
              series_document(info, episodes_for(sid, latest)))
        search += ["<Series>"] + ["  <%s>%s</%s>" % (k, escape(info[k]), k) for k in (
            "id", "SeriesName", "banner", "Overview", "FirstAired", "Network", "IMDB_ID")]
        search += ["  <seriesid>%s</seriesid>" % sid, "</Series>"]
    search.append("</Data>")
    write(os.path.join(WORLD, "tvdb", "search", "catalogue.xml"), "\n".join(search) + "\n")

    items = []
    for n, (sid, name, *_rest) in enumerate(SERIES[:5]):
        items.append(
            "<item><title>%s S02E%02d 720p</title><link>http://127.0.0.1/releases/%s/%d</link>"
            "<guid>demo-%s-%d</guid><pubDate>Wed, 09 Dec 2026 1%d:00:00 +0000</pubDate>"
            "<description>New release</description><showrss:showid>%s</showrss:showid>"
            "<showrss:showname>%s</showrss:showname><showrss:episode>%d</showrss:episode>"
            "<showrss:infohash>%040d</showrss:infohash><showrss:rawtitle>%s</showrss:rawtitle>"
            "<enclosure url=\"http://127.0.0.1/releases/%s/%d.torrent\" length=\"0\" "
            "type=\"application/x-bittorrent\"/></item>"
            % (escape(name), 10 + n, sid, n, sid, n, n, sid, escape(name), n, n, escape(name), sid, n))
    feed = ('<?xml version="1.0" encoding="UTF-8"?>\n<rss version="2.0" '
            'xmlns:showrss="http://showrss.info/"><channel><title>showRSS: new releases</title>'
            "<link>http://showrss.info/</link><ttl>30</ttl><description>Demo feed</description>\n"
            + "\n".join(items) + "\n</channel></rss>\n")
    write(os.path.join(WORLD, "feed", "shows.rss"), feed)
    write(os.path.join(WORLD, "update", "update.xml"),
          '<?xml version="1.0" encoding="UTF-8"?>\n<Data><major>2</major><minor>0</minor>'
          "<build>0</build><revision>1</revision></Data>\n")
    write(os.path.join(WORLD, "followed.txt"), "\n".join(FOLLOWED) + "\n")


if __name__ == "__main__":
    main()
