#pragma once

#include <cstddef>
#include <string>

namespace quorvel {

// A regular file of at most maxBytes, read whole; anything else (missing, larger, a FIFO, a
// device, a folder) reads as nothing. FIFOs and devices are refused before a read could block or
// run forever. The writing side is ReplaceFileAtomically (core/AtomicFile.h).
std::string ReadLocalFile(const std::string& path, std::size_t maxBytes);

}  // namespace quorvel
