#pragma once

namespace quorvel {

class PageCalls;

// WM_USER+10: one "PopulateMyShowsTable" per followed series, then "initFinish".
void ShowMyShowsCommand(PageCalls& page);
// WM_USER+8: the next episode of each followed series, then "initFinish".
void ShowNextShowsCommand(PageCalls& page);
// WM_USER+9: the latest aired episode of each followed series, then "initFinish".
void ShowRecentShowsCommand(PageCalls& page);

}  // namespace quorvel
