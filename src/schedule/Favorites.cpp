#include "schedule/Favorites.h"

#include <libxml/tree.h>

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "core/AirDate.h"
#include "core/Clock.h"
#include "core/NumericText.h"
#include "core/XmlDocument.h"
#include "schedule/CalendarFile.h"
#include "schedule/DataFiles.h"
#include "schedule/PageCalls.h"

namespace quorvel {
namespace {

// A favourites file the reader can make sense of: well-formed, with the root Data.
bool IsReadableFavoritesFile(const std::string& path) {
  const XmlDocument document = XmlDocument::LoadDocument(path);
  const XmlNode root = document.Root();
  return root != nullptr && xmlStrcmp(root->name, BAD_CAST "Data") == 0;
}

std::string LocalTimestamp(int64_t now) {
  const std::time_t value = static_cast<std::time_t>(now);
  std::tm tm{};
  char text[32] = "";
  if (localtime_r(&value, &tm) != nullptr) std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &tm);
  return text;
}

// Moves an unreadable favourites file out of the way under a name of its own, so that replacing
// it never loses what the user had. False when it could not be moved.
bool KeepAsideIfUnreadable(const std::string& path) {
  if (!FileExists(path) || IsReadableFavoritesFile(path)) return true;
  const std::string base = path + ".unreadable-" + LocalTimestamp(Now());
  std::string target = base;
  for (int n = 1; FileExists(target); ++n) target = base + "-" + IntToText(n);
  return std::rename(path.c_str(), target.c_str()) == 0;
}

}  // namespace

bool ReadFavorites(FavoriteList& list, const std::string& path) {
  list.clear();
  const XmlDocument document = XmlDocument::LoadDocument(path);
  const std::vector<XmlNode> nodes = document.SelectNodes("Data/Series");
  if (nodes.empty()) return false;
  for (XmlNode node : nodes) list.emplace_back().ReadFrom(node);
  return true;
}

bool WriteFavorites(const FavoriteList& list) {
  // Without a data folder the path would be relative to wherever the program runs.
  if (GetDataFolder().empty()) return false;
  std::optional<XmlDocument> document = XmlDocument::NewDataDocument();
  if (!document) return false;
  for (const FavoriteShow& favorite : list) {
    const XmlNode series = document->AppendElement(document->Root(), "Series");
    document->AppendFieldElements(series, favorite.fieldMap());
  }
  const std::string path = GetFavoritesPath();
  if (!KeepAsideIfUnreadable(path)) return false;
  return document->Save(path);
}

bool AddFavorite(FavoriteList& list, const std::string& seriesid) {
  // The id names a file in the data folder; anything but plain digits could name another.
  if (!IsSeriesId(seriesid)) return false;
  FavoriteShow added;
  added.seriesid = seriesid;
  added.DateAdded = FormatLocalDate(Now());
  added.PathToDetails = GetDataFolder() + seriesid + ".xml";
  bool followed = false;
  for (FavoriteShow& favorite : list) {
    if (favorite.seriesid != seriesid) continue;
    favorite.DateAdded = added.DateAdded;
    followed = true;
  }
  if (!followed) list.push_back(added);
  return WriteFavorites(list);
}

bool RemoveFavorite(FavoriteList& list, const std::string& seriesid) {
  for (const FavoriteShow& favorite : list) {
    if (favorite.seriesid != seriesid) continue;
    // A file already gone counts as removed; one that cannot be deleted keeps the entry.
    if (DeleteSeriesFile(favorite.PathToDetails) == DeleteOutcome::Failed) return false;
  }
  std::erase_if(list, [&](const FavoriteShow& favorite) { return favorite.seriesid == seriesid; });
  return WriteFavorites(list);
}

void AddToFavsCommand(PageCalls& page, const SeriesRecord& detailsRecord) {
  // Nothing read by the details view, or a record without a plain id: nothing to follow.
  if (IsSeriesId(detailsRecord.id)) {
    detailsRecord.WriteSeriesFile(GetDataFolder());
    FavoriteList list;
    ReadFavorites(list, GetFavoritesPath());
    AddFavorite(list, detailsRecord.id);
    WriteCalendarFile(GetDataFolder(), Now());
  }
  page.initFinish();
}

void RemoveShowCommand(PageCalls& page, int32_t id) {
  FavoriteList list;
  ReadFavorites(list, GetFavoritesPath());
  RemoveFavorite(list, IntToText(id));
  WriteCalendarFile(GetDataFolder(), Now());
  page.initFinish();
}

}  // namespace quorvel
