#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvel {

// What reading a local file found: its bytes (Read), nothing at the path (Missing), or something
// whose bytes could not be read whole (no permission, no descriptor free, not a regular file,
// larger than the limit).
enum class LocalFileRead { Read, Missing, Failed };

// A regular file of at most maxBytes, read whole into bytes; anything else leaves bytes empty.
// FIFOs and devices are refused before a read could block or run forever. The writing side is
// ReplaceFileAtomically (core/AtomicFile.h).
LocalFileRead ReadLocalFileBytes(const std::string& path, std::size_t maxBytes, std::string& bytes);

// ReadLocalFileBytes for a reader that treats every failure as nothing.
std::string ReadLocalFile(const std::string& path, std::size_t maxBytes);

// Writes every byte to fd, going on after interruptions; false on any error.
bool WriteAll(int fd, std::string_view bytes);

}  // namespace quorvel
