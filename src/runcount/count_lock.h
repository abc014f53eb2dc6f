// Serializing the counts of program copies that end at the same moment.
//
// open_locked opens the file at `path` for reading and takes an exclusive
// advisory lock (flock) on it, so that reading the count and renaming the
// counted copy over the file happen for one process at a time. A count
// replaces the file by a new one, so a lock won on a file that `path` no
// longer names is given up and taken again on the new file. It never blocks:
// while another process holds the lock it tries again every few milliseconds
// for at most `patience_ms`, then gives up. Result: the locked descriptor
// (closing it releases the lock), or -1.
#pragma once

int open_locked(const char* path, int patience_ms);
