// How hwmc names itself: the name it was started by, for its messages (the
// last part of argv[0], or of any path; "hwmc" when there is none), and the
// version it states (--version, the results page), set by the build.
#pragma once

const char* program_name_of(const char* arg0);

const char* program_version();
