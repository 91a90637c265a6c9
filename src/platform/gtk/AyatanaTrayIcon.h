#pragma once

#include <gtk/gtk.h>
#include <libayatana-appindicator/app-indicator.h>

#include "core/Handles.h"
#include "platform/Desktop.h"

namespace quorvel {

// The notification-area icon as a StatusNotifierItem (Ayatana), which falls back to an XEmbed
// icon where the desktop has no StatusNotifierItem host. Its menu posts WM_COMMAND to the owner.
class AyatanaTrayIcon final : public TrayIcon {
 public:
  explicit AyatanaTrayIcon(MessageWindow& owner);
  ~AyatanaTrayIcon() override;
  AyatanaTrayIcon(const AyatanaTrayIcon&) = delete;
  AyatanaTrayIcon& operator=(const AyatanaTrayIcon&) = delete;

  void Add(bool red) override;
  void Remove() override;
  void SetRed(bool red) override;

 private:
  void BuildMenu();
  static void OnMyShows(GtkMenuItem*, gpointer self);
  static void OnExit(GtkMenuItem*, gpointer self);

  MessageWindow& owner_;
  GObjectPtr<GtkWidget> menu_;
  GObjectPtr<AppIndicator> indicator_;
};

}  // namespace quorvel
