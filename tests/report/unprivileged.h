// Runs a check where file permissions apply: in a child process under the
// unprivileged user id 65534 when the tests run as root, directly otherwise.
// The folders on the way must be open to that user.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <functional>

inline bool run_unprivileged(const std::function<bool()>& check) {
  if (::geteuid() != 0) return check();
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
    ::_exit(check() ? 0 : 1);
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
