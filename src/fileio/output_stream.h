// Writing a program's output stream (rows on standard output) when the
// reader may stop reading, go away, or the user may interrupt the wait.
//
// write_stream writes every byte to fd. It tells apart a reader that went
// away (EPIPE: the caller ignores SIGPIPE and ends with kReaderGoneStatus,
// quietly, as a program killed by SIGPIPE would), an interrupt (a signal cut
// the write short and set `stop`: the process is on its way out, so the
// write is not taken up again and nothing is to be said about it), and a
// real write error.
#pragma once

#include <csignal>
#include <string_view>

enum class StreamWrite { kDone, kReaderGone, kInterrupted, kFailed };

StreamWrite write_stream(int fd, std::string_view bytes, const volatile std::sig_atomic_t& stop);

// The shell's status of a process ended by SIGPIPE (128 + 13).
constexpr int kReaderGoneStatus = 141;
