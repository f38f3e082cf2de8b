"""One way to start a private X server (Xvfb) for the tests and the scripts.

The server picks a free display number itself (-displayfd), which no check
of /tmp/.X11-unix can do safely while other servers are starting.

As a module: start(popen) -> (process, ":N"), popen being subprocess.Popen
or a caller's own way of starting (and keeping track of) a process.
As a program: xvfb.py COMMAND [ARGUMENT...] runs the command with DISPLAY
set to a private Xvfb of 1024x768 and stops the server afterwards; it exits
with the command's status.
"""

import os
import select
import subprocess
import sys
import time

SCREEN = "1024x768x24"


def start(popen=subprocess.Popen, screen=SCREEN, timeout=15, **kwargs):
    """A running Xvfb and its display name; RuntimeError if it does not come up."""
    read_end, write_end = os.pipe()
    try:
        process = popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", screen, "-nolisten", "tcp"],
                        pass_fds=(write_end,), **kwargs)
    finally:
        os.close(write_end)
    number = b""
    deadline = time.monotonic() + timeout
    with os.fdopen(read_end, "rb") as pipe:
        while not number.endswith(b"\n") and time.monotonic() < deadline:
            ready, _, _ = select.select([pipe], [], [], 0.2)
            if ready:
                chunk = os.read(pipe.fileno(), 16)
                if not chunk:
                    break
                number += chunk
            if process.poll() is not None:
                break
    if not number.strip().isdigit():
        process.kill()
        process.wait()
        raise RuntimeError("Xvfb did not start (exit status %r)" % process.poll())
    return process, ":" + number.strip().decode()


def main(argv):
    if not argv:
        sys.exit(__doc__)
    server, display = start(stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        return subprocess.run(argv, env=dict(os.environ, DISPLAY=display)).returncode
    finally:
        server.terminate()
        server.wait()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
