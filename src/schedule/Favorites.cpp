#include "schedule/Favorites.h"

#include <dirent.h>
#include <libxml/tree.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>

#include "core/AirDate.h"
#include "core/Clock.h"
#include "core/NumericText.h"
#include "core/XmlDocument.h"
#include "schedule/CalendarFile.h"
#include "schedule/DataFiles.h"
#include "schedule/PageCalls.h"

namespace quorvel {
namespace {

// A favourites document the reader can make sense of: well-formed, with the root Data.
bool IsFavoritesDocument(const XmlDocument& document) {
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

constexpr const char* kKeptAsideInfix = ".unreadable-";

// Moves a file that is not a favourites document out of the way under a name of its own, so that
// replacing it never loses what the user had. The new name, or empty when it could not be moved.
std::string KeepAside(const std::string& path) {
  const std::string base = path + kKeptAsideInfix + LocalTimestamp(Now());
  std::string target = base;
  for (int n = 1; FileExists(target); ++n) target = base + "-" + IntToText(n);
  return std::rename(path.c_str(), target.c_str()) == 0 ? target : std::string();
}

}  // namespace

FavoritesFile LoadFavorites(FavoriteList& list, const std::string& path) {
  list.clear();
  XmlDocument document;
  switch (XmlDocument::LoadLocalDocument(path, document)) {
    case LocalFileRead::Missing:
      return FavoritesFile::Missing;
    case LocalFileRead::Failed:
      return FavoritesFile::Unreadable;
    case LocalFileRead::Read:
      break;
  }
  if (!IsFavoritesDocument(document)) return FavoritesFile::NotAList;
  for (XmlNode node : document.SelectNodes("Data/Series")) list.emplace_back().ReadFrom(node);
  return FavoritesFile::List;
}

std::string KeptAsideFavoritesPath() {
  const std::string folder = GetDataFolder();
  if (folder.empty()) return {};
  FavoriteList list;
  LoadFavorites(list, GetFavoritesPath());
  if (!list.empty()) return {};
  const std::string prefix = std::string("favorites.xml") + kKeptAsideInfix;
  std::string newest;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
  if (!dir) return {};
  while (const dirent* entry = readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name.starts_with(prefix) && name > newest) newest = name;
  }
  return newest.empty() ? std::string() : folder + newest;
}

bool ReadFavorites(FavoriteList& list, const std::string& path) {
  return LoadFavorites(list, path) == FavoritesFile::List && !list.empty();
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
  FavoriteList current;
  switch (LoadFavorites(current, path)) {
    case FavoritesFile::Unreadable:
      return false;  // it may be a good list: only bytes that were read can be judged
    case FavoritesFile::NotAList: {
      const std::string keptAside = KeepAside(path);
      if (keptAside.empty()) return false;
      if (document->Save(path)) return true;
      // Nothing replaced it: the user's file goes back where it was.
      std::rename(keptAside.c_str(), path.c_str());
      return false;
    }
    case FavoritesFile::Missing:
    case FavoritesFile::List:
      break;
  }
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
  // A list that could not be read stays as it is, and so does everything else.
  FavoriteList list;
  if (IsSeriesId(detailsRecord.id) &&
      LoadFavorites(list, GetFavoritesPath()) != FavoritesFile::Unreadable) {
    detailsRecord.WriteSeriesFile(GetDataFolder());
    AddFavorite(list, detailsRecord.id);
    WriteCalendarFile(GetDataFolder(), Now());
  }
  page.initFinish();
}

void RemoveShowCommand(PageCalls& page, int32_t id) {
  FavoriteList list;
  if (LoadFavorites(list, GetFavoritesPath()) != FavoritesFile::Unreadable) {
    RemoveFavorite(list, IntToText(id));
    WriteCalendarFile(GetDataFolder(), Now());
  }
  page.initFinish();
}

}  // namespace quorvel
