#pragma once

namespace quorvel {

// Drops two library messages that the program's own choices cause and that say nothing wrong:
// GDK's assertion when Ayatana's XEmbed fallback names its icon after embedding it, and
// WebKit's note that it draws without OpenGL (kept from GDK on purpose, see InitGtk). Every
// other message goes to GLib's default handler as before.
void QuietKnownLibraryMessages();

}  // namespace quorvel
