// The name a program was started by, for its messages: the last part of
// argv[0] (or of any path), "hwmc" when there is none.
#pragma once

const char* program_name_of(const char* arg0);
