#include "platform/gtk/OkCancelPrompt.h"

#include <gtk/gtk.h>

namespace quorvel {
namespace {

GtkDialog* g_openPrompt = nullptr;

}  // namespace

bool AskOkCancel(const std::string& caption, const std::string& text) {
  GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER,
                                             GTK_BUTTONS_OK_CANCEL, "%s", text.c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), caption.c_str());
  gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
  if (GtkWidget* ok = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK)) {
    gtk_widget_grab_focus(ok);
  }
  GtkDialog* previous = g_openPrompt;
  g_openPrompt = GTK_DIALOG(dialog);
  const int response = gtk_dialog_run(GTK_DIALOG(dialog));
  g_openPrompt = previous;
  gtk_widget_destroy(dialog);
  return response == GTK_RESPONSE_OK;
}

void CancelOpenPrompt() {
  if (g_openPrompt) gtk_dialog_response(g_openPrompt, GTK_RESPONSE_CANCEL);
}

}  // namespace quorvel
