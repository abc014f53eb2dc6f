// Removes the trailing run of bytes 26 (Ctrl-Z end-of-file marks) from an
// existing output file, so that the reports appended next follow its last
// other byte. A missing, empty or not read-write file, a file that is not a
// regular file, and a file made of nothing but bytes 26 are left as they are;
// no other byte is ever rewritten. Never reports an error.
//
// The scan and the cut happen under the file's append lock (fileio/fd_io.h),
// the one every report is appended under: a report that another run appends
// meanwhile is never cut off.
#pragma once

void trim_output_tail(const char* path);

// The same on a regular file open for reading and writing, whose lock the
// caller holds.
void trim_locked_output_tail(int fd);
