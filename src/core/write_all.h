// Writing a whole buffer to a descriptor: write() may take less than it is
// given (a pipe, a signal), and a file or disk that is full takes nothing.
#pragma once

#include <QtGlobal>

namespace core {

// Writes all `size` bytes of `data` to `fd`, going on after partial writes
// and interruptions. False on failure with errno set (ENOSPC when the
// descriptor took nothing).
bool writeAll(int fd, const char *data, qsizetype size);

} // namespace core
