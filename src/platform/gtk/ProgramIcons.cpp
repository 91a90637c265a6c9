#include "platform/gtk/ProgramIcons.h"

#include <gtk/gtk.h>

#include "BuildConfig.h"
#include "app/ResourcePaths.h"

namespace quorvel {
namespace {

constexpr const char* kThemeFolder = "resources/icons";

}  // namespace

const char* ProgramIconName(int resource) {
  return resource == kIconRed ? "quorvel-today" : "quorvel";
}

std::string ProgramIconFolder() {
  const std::string index = FindDataFile(std::string(kThemeFolder) + "/hicolor");
  if (index.empty()) return {};
  return index.substr(0, index.rfind('/'));
}

void RegisterProgramIcons() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  const std::string folder = ProgramIconFolder();
  if (!folder.empty())
    gtk_icon_theme_append_search_path(gtk_icon_theme_get_default(), folder.c_str());
}

std::string ProgramIconFile(int resource, int size) {
  const std::string name = ProgramIconName(resource);
  std::string relative;
  if (size == 16 || size == 32 || size == 48) {
    const std::string edge = std::to_string(size);
    relative = "/hicolor/" + edge + "x" + edge + "/apps/" + name + ".png";
  } else {
    relative = "/hicolor/scalable/apps/" + name + ".svg";
  }
  if (std::string path = FindDataFile(kThemeFolder + relative); !path.empty()) return path;
  const std::string installed = std::string(QUORVEL_INSTALL_DATADIR) + "/icons" + relative;
  return g_file_test(installed.c_str(), G_FILE_TEST_EXISTS) ? installed : std::string();
}

}  // namespace quorvel
