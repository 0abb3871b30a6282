#pragma once

#include <string>

// Outputs that are not plain files: a device (a terminal, /dev/null, a printer port) or a
// FIFO is written where it stands, never replaced by a new file, and never waited on in
// silence. POSIX only; on Windows every output is a plain file.

// Whether the path (its links followed) names a device or a FIFO.
bool IsDeviceOrFifo(const std::string& path);

#ifndef _WIN32
// open(2) for writing with `flags` and `mode`, except that a FIFO no process reads is refused
// at once ("it is a FIFO with no reader") rather than blocking until one comes; once open, writes block
// as they would on any file. -1 with the reason ("No such file or directory") on failure.
int OpenForWriting(const std::string& path, int flags, unsigned mode, std::string& reason);

// fsync(2) where it means something: a device or FIFO has no disk to reach, so there it is
// done at once.
bool SyncWritten(int fd);
#endif
