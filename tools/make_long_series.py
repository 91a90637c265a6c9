#!/usr/bin/env python3
"""Writes tests/fixtures/tvdb/series/80003.xml: a long-running daily series of 760 episodes over
38 seasons (1987-2024), the same bytes at every run."""

import datetime
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from seriesdoc import series_document  # noqa: E402

SEASONS = 38
PER_SEASON = 20


def episodes():
    absolute = 0
    for season in range(1, SEASONS + 1):
        start = datetime.date(1986 + season, 9, 1)
        for number in range(1, PER_SEASON + 1):
            absolute += 1
            aired = start + datetime.timedelta(days=7 * (number - 1))
            yield {
                "id": str(4000000 + absolute),
                "Combined_episodenumber": "%d.0" % number,
                "Combined_season": str(season),
                "EpisodeName": "Chapter %d-%02d" % (season, number),
                "EpisodeNumber": str(number),
                "FirstAired": aired.isoformat(),
                "Language": "en",
                "Overview": "Episode %d of the chronicle." % absolute,
                "SeasonNumber": str(season),
                "absolute_number": str(absolute),
                "filename": "episodes/80003/%d.jpg" % (4000000 + absolute),
                "lastupdated": str(1200000000 + absolute),
                "seasonid": str(50000 + season),
            }


def main():
    series = {
        "id": "80003", "Actors": "|June Abbot|Roy Mercer|", "Airs_DayOfWeek": "Daily",
        "Airs_Time": "6:30 PM", "FirstAired": "1987-09-01", "Genre": "|Soap|",
        "IMDB_ID": "tt0080003", "Language": "en", "Network": "Channel Nine",
        "Overview": "Lives on one street, told every evening for decades.",
        "SeriesName": "Evening Chronicle", "Status": "Continuing", "banner": "graphical/80003-g.jpg",
        "fanart": "fanart/original/80003-1.jpg", "lastupdated": "1700000000",
        "poster": "posters/80003-1.jpg",
    }
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    target = os.path.join(root, "tests", "fixtures", "tvdb", "series", "80003.xml")
    with open(target, "w", encoding="utf-8", newline="\n") as handle:
        handle.write(series_document(series, list(episodes())))


if __name__ == "__main__":
    main()
