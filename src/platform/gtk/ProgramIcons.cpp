#include "platform/gtk/ProgramIcons.h"

#include <gtk/gtk.h>

#include "platform/ResourcePaths.h"

namespace quorvel {
namespace {

constexpr const char* kThemeFolder = "resources/icons";

}  // namespace

const char* ProgramIconName(int resource) {
  return resource == kIconRed ? "quorvel-today" : "quorvel";
}

std::string ProgramIconFolder() {
  const std::string hicolor = FindDataFile(std::string(kThemeFolder) + "/hicolor");
  if (hicolor.empty()) return {};
  return hicolor.substr(0, hicolor.rfind('/'));
}

void RegisterProgramIcons() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  const std::string folder = ProgramIconFolder();
  if (!folder.empty())
    gtk_icon_theme_append_search_path(gtk_icon_theme_get_default(), folder.c_str());
}

}  // namespace quorvel
