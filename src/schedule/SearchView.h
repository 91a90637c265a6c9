#pragma once

#include <string>

namespace quorvel {

class PageCalls;

// WM_USER+3: searches for the pending text and answers the page; the text is emptied.
void SearchSeries(PageCalls& page, std::string& pendingSearchText);

}  // namespace quorvel
