#pragma once

namespace quorvel {

// True when the environment names a session bus (DBUS_SESSION_BUS_ADDRESS, or the user's bus
// socket in $XDG_RUNTIME_DIR). Without one, GLib would launch a bus of its own through
// dbus-launch, whose daemons outlive the program.
bool SessionBusConfigured();

// Makes every D-Bus user in the process (tray, notifications, accessibility) fail quietly
// instead of launching such a bus, when none is configured. Call before GTK is initialised.
void AvoidSessionBusAutolaunch();

}  // namespace quorvel
