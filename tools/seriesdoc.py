"""Series documents in TheTVDB's legacy element order, for fixtures and for tests that build their
own answers. Dates may be "{{today+N}}" tokens, which the test server fills in when it serves them.

    from seriesdoc import series_document
    xml = series_document({"id": "80010", "SeriesName": "X"}, [{"id": "1", "FirstAired": "{{today}}"}])
"""

from xml.sax.saxutils import escape

SERIES_ORDER = (
    "id", "Actors", "Airs_DayOfWeek", "Airs_Time", "ContentRating", "FirstAired", "Genre",
    "IMDB_ID", "Language", "Network", "NetworkID", "Overview", "Rating", "RatingCount", "Runtime",
    "SeriesID", "SeriesName", "Status", "added", "addedBy", "banner", "fanart", "lastupdated",
    "poster", "zap2it_id",
)

EPISODE_ORDER = (
    "id", "Combined_episodenumber", "Combined_season", "DVD_chapter", "DVD_discid",
    "DVD_episodenumber", "DVD_season", "Director", "EpImgFlag", "EpisodeName", "EpisodeNumber",
    "FirstAired", "GuestStars", "IMDB_ID", "Language", "Overview", "ProductionCode", "Rating",
    "RatingCount", "SeasonNumber", "Writer", "absolute_number", "airsafter_season",
    "airsbefore_episode", "airsbefore_season", "filename", "lastupdated", "seasonid", "seriesid",
)


def _element(name, fields):
    value = fields.get(name, "")
    return "  <%s>%s</%s>" % (name, escape(str(value)), name)


def series_document(series, episodes):
    """The text of a whole series document; missing fields are written empty."""
    lines = ['<?xml version="1.0" encoding="UTF-8" ?>', "<Data>", "<Series>"]
    lines += [_element(name, series) for name in SERIES_ORDER]
    lines.append("</Series>")
    for episode in episodes:
        fields = dict(episode)
        fields.setdefault("seriesid", series.get("id", ""))
        lines.append("<Episode>")
        lines += [_element(name, fields) for name in EPISODE_ORDER]
        lines.append("</Episode>")
    lines.append("</Data>")
    return "\n".join(lines) + "\n"
