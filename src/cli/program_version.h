// The version hwmc states (--version, the results page), set by the build.
#pragma once

const char* program_version();
