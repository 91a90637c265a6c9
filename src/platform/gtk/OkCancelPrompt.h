#pragma once

#include <string>

namespace quorvel {

// A modal question with OK and Cancel, OK the default, the caption as the window title and no
// icon. Runs its own loop until answered; true for OK. Closing it counts as Cancel.
bool AskOkCancel(const std::string& caption, const std::string& text);

// Answers an open question with Cancel (the program is being ended from outside).
void CancelOpenPrompt();

}  // namespace quorvel
