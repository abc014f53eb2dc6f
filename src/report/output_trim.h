// Removes the trailing run of bytes 26 (Ctrl-Z end-of-file marks) from an
// existing output file, so that the reports appended next follow its last
// other byte. A missing, empty or not read-write file, a file that is not a
// regular file, and a file made of nothing but bytes 26 are left as they are;
// no other byte is ever rewritten. Never reports an error.
#pragma once

void trim_output_tail(const char* path);
