#pragma once

namespace quorvel {

// Initialises GTK for the agent; false when there is no display. GDK is kept from loading an
// OpenGL driver, which nothing here draws with (the web view draws without it) and which would
// cost the tray agent some 50 MB; and no session bus is launched when none is configured.
// Neither setting reaches the programs the agent starts.
bool InitGtk();

}  // namespace quorvel
