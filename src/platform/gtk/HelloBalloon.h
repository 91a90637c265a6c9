#pragma once

namespace quorvel {

// The hello notification: summary "Quorvel", body "Right click to get started", the information
// icon, 10 s. Without a session bus or a notification service nothing happens and nothing is
// printed; the wait for a service that is being started is bounded by a few seconds.
void ShowHelloBalloon();

}  // namespace quorvel
