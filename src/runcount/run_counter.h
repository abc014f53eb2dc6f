// Counting a run in a program file (see run_marker.h for the stored form).
//
// A program file that is missing, not writable for the caller, or has no
// write permission bit at all (read-only, even for root) is not counted. The
// running program's file cannot be opened for writing, so the counted file is
// written as a complete copy beside it and renamed over it, keeping its
// permission bits, owner and extended attributes (ACLs and file capabilities
// among them); any failure, an attribute that cannot be carried over
// included, removes the copy and leaves the file as it was. Signals that end
// or stop the process wait while the copy exists, so none leaves it behind.
// Copies of the program ending together take turns through a lock on the
// file; one that cannot have it within a moment does not count.
#pragma once

#include <cstdint>
#include <string>

// Counts a run in the file at `path`. `counted` tells whether the file now
// holds the new count; the result is that count when counted, otherwise 0
// when the file could not be used and 1 when no usable marker was found.
int32_t count_run_in(const char* path, bool& counted);

// The full path of the running program's file; empty when unknown.
std::string program_file_path();
