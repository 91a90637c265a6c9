#pragma once

#include <string>

namespace quorvel {

// Replaces path with bytes so that a reader sees either the old file or the whole new one, also
// after a crash or power loss: a temporary file in the same folder is written fully, flushed to
// disk, renamed over path, and the folder is flushed. On any failure the temporary file is removed,
// the old file is untouched, and false is returned.
bool ReplaceFileAtomically(const std::string& path, const std::string& bytes);

}  // namespace quorvel
