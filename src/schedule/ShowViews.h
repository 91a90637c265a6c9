#pragma once

namespace quorvel {

class WebPage;

// WM_USER+10: one "PopulateMyShowsTable" per followed series, then "initFinish".
void ShowMyShowsCommand(WebPage& page);
// WM_USER+8: the next episode of each followed series, then "initFinish".
void ShowNextShowsCommand(WebPage& page);
// WM_USER+9: the latest aired episode of each followed series, then "initFinish".
void ShowRecentShowsCommand(WebPage& page);

}  // namespace quorvel
