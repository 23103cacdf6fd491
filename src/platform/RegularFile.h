#pragma once

#include <cstddef>
#include <string>

namespace platform {

// Opens a file for reading only when it is a regular file. A FIFO, a device or
// a directory in its place is refused at once: the open never waits for a
// writer, and the descriptor is blocking again before anyone reads from it.
// Returns the descriptor (close-on-exec), or -1 with errno set; a path that
// names something other than a regular file gives NotRegularFile.
int openRegularFile(const char* path);

// errno of openRegularFile for a path that is not a regular file.
constexpr int NotRegularFile = 0x4E52; // outside the system's own numbers

// What went wrong, in words, for an errno set by openRegularFile.
std::string openProblem(int error);

// Reads a whole regular file of at most maxBytes into content. False with
// the reason in problem when it is missing, not a regular file, unreadable
// or larger.
bool readRegularFile(const char* path, std::size_t maxBytes, std::string& content,
                     std::string& problem);

} // namespace platform
