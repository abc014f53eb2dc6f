// The closing step of every orderly exit: count the run in the program's own
// file and show the closing lines.
#pragma once

void exit_banner();
