#pragma once

#include <functional>
#include <string>
#include <vector>

namespace quorvel {

// The air-day notification: summary "Today", one body line each, and a default action (a click
// on it) that runs onOpen. False, and nothing shown or printed, without a notification service.
bool ShowTodayNotification(const std::vector<std::string>& lines, std::function<void()> onOpen);

}  // namespace quorvel
