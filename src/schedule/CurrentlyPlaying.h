#pragma once

#include <cstdint>

namespace quorvel {

class PageCalls;

// WM_USER+1: episodes of followed series aired in the last three days, then the release feed's
// items last to first, "initFinish", and "NoResults" when no episode row was sent.
void ShowCurrentlyPlaying(PageCalls& page, int32_t& currentRowIndex);

}  // namespace quorvel
