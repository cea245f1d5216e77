// "-" as a log's path: the program's standard output, so a capture can feed
// a pipe. It is written as a FIFO log is (non-blocking, a bounded wait for a
// slow reader) and never rotates.
#pragma once

#include <string_view>

namespace tarnwick {

inline constexpr std::string_view kStandardOutputPath = "-";

inline bool IsStandardOutputPath(std::string_view path) { return path == kStandardOutputPath; }

// A descriptor of its own that writes to standard output, or -1 with errno
// set (EBADF when standard output is closed). A pipe, FIFO or terminal is
// opened afresh, so making the log's writes non-blocking leaves the open
// file that a shell or a terminal shares with us as it was; a regular file
// is shared, so the log's bytes land where the program's output would.
int OpenStandardOutput();

}  // namespace tarnwick
