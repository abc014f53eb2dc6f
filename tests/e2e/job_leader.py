"""Runs a program as a shell with job control runs a foreground job: in a
process group of its own that owns the terminal, below a parent in the same
session. Only such a program can be stopped (a stop sent to an orphaned
process group is discarded). Leaves the terminal's modes alone, writes the
program's process id to the file named first and ends with the program's
exit code (128 + n for a signal n).

    job_leader.py PID_FILE PROGRAM [ARG...]
"""

import os
import sys


def main():
    pid_file, argv = sys.argv[1], sys.argv[2:]
    go_r, go_w = os.pipe()
    pid = os.fork()
    if pid == 0:
        os.close(go_w)
        os.setpgid(0, 0)
        os.read(go_r, 1)  # end of file once the terminal is ours
        os.execv(argv[0], argv)
    os.close(go_r)
    try:
        os.setpgid(pid, pid)
    except OSError:
        pass
    os.tcsetpgrp(0, pid)
    with open(pid_file + ".part", "w") as f:
        f.write(str(pid))
    os.rename(pid_file + ".part", pid_file)
    os.close(go_w)
    while True:
        _, status = os.waitpid(pid, 0)
        if os.WIFEXITED(status):
            sys.exit(os.WEXITSTATUS(status))
        if os.WIFSIGNALED(status):
            sys.exit(128 + os.WTERMSIG(status))


if __name__ == "__main__":
    main()
