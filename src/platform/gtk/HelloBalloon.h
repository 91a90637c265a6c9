#pragma once

namespace quorvel {

// The hello notification: summary "Quorvel", body "Right click to get started", the information
// icon, 10 s. Without a session bus or a notification service nothing happens and nothing is
// printed; the wait for a service that is being started is bounded by a few seconds.
void ShowHelloBalloon();

// Starts the notification service if the bus can activate it, so that libnotify's own blocking
// call meets a running service. False when there is none or it does not come up in time.
bool NotificationServiceRunning();

}  // namespace quorvel
