#include "app/UpdateCheck.h"

#include <array>

#include "BuildConfig.h"
#include "core/NumericText.h"
#include "core/Places.h"
#include "core/UriLauncher.h"
#include "core/XmlDocument.h"

namespace quorvel {

std::string GetUpdateUrl() {
  return "http://" + UpdateHost() + "/update.xml";
}

bool ReadUpdateVersion(UpdateVersion& version) {
  const XmlDocument document = XmlDocument::LoadDocument(GetUpdateUrl());
  const XmlNode data = document.SelectSingleNode("Data");
  version.major = ReadChildText(data, "major");
  version.minor = ReadChildText(data, "minor");
  version.build = ReadChildText(data, "build");
  version.revision = ReadChildText(data, "revision");
  return true;
}

bool IsNewerVersion(const UpdateVersion& version) {
  const std::array<int32_t, 4> offered = {TextToInt(version.major), TextToInt(version.minor),
                                          TextToInt(version.build), TextToInt(version.revision)};
  const std::array<int32_t, 4> own = {QUORVEL_VERSION_MAJOR, QUORVEL_VERSION_MINOR,
                                      QUORVEL_VERSION_PATCH, QUORVEL_VERSION_TWEAK};
  return offered > own;
}

bool CheckForUpdate(
    const std::function<bool(const std::string& caption, const std::string& text)>& askOkCancel) {
  UpdateVersion version;
  ReadUpdateVersion(version);
  if (!IsNewerVersion(version)) return true;
  const bool ok =
      askOkCancel &&
      askOkCancel("Quorvel", "A new version is available. Would you like to download now?");
  if (ok) OpenInBrowser("http://" + UpdateHost() + "/QuorvelSetup.exe");
  return true;
}

}  // namespace quorvel
