"""One Wine prefix setup for the scripts and the tests.

A prefix is a throw-away folder, booted once, used with the environment
Windows programs run in here: no debug output, no Mono or Gecko (nothing
needs them, and asking for them stalls wineboot) and a UTF-8 locale, without
which Wine gives a name such as "Grüße €" no Unix name.

As a module: WinePrefix(run) is the caller's WINEPREFIX when it names a
ready one, else a throw-away one; run is subprocess.run or a caller's own.
As a program: wine_prefix.py COMMAND [ARGUMENT...] runs the command in a
throw-away prefix and removes the prefix afterwards; it exits with the
command's status.
"""

import os
import shutil
import subprocess
import sys
import tempfile

ENVIRONMENT = {"WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree=;mshtml=", "WINEARCH": "win64",
               "LC_ALL": "C.UTF-8"}


class WinePrefix:
    def __init__(self, run=subprocess.run):
        self.run = run
        self.path = os.environ.get("WINEPREFIX")
        self.owned = not (self.path and os.path.isdir(self.path))
        if self.owned:
            self.path = tempfile.mkdtemp(prefix="tw-wine-")
            self.run(["wineboot", "-i"], env=self.env(headless=True), stdout=subprocess.DEVNULL,
                     stderr=subprocess.DEVNULL, timeout=300)
        self.wait_idle()

    def env(self, headless=False):
        """The variables Windows programs run with; headless, the whole
        environment without a display."""
        env = dict(ENVIRONMENT, WINEPREFIX=self.path)
        if headless:
            env = dict(os.environ, **env)
            env.pop("DISPLAY", None)
            env.pop("WAYLAND_DISPLAY", None)
        return env

    def version(self):
        result = self.run(["wine", "--version"], env=self.env(headless=True), capture_output=True, text=True,
                          timeout=60)
        return result.stdout.strip()

    def set_dpi(self, dpi):
        """The display scale Windows programs in this prefix start at."""
        self.run(["wine", "reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/t", "REG_DWORD",
                  "/d", str(dpi), "/f"], env=self.env(headless=True), stdout=subprocess.DEVNULL,
                 stderr=subprocess.DEVNULL, timeout=60, check=True)
        self.wait_idle()

    def wait_idle(self):
        # A session left from an earlier program holds its display: let it end.
        self.run(["wineserver", "-w"], env=dict(os.environ, **self.env()), timeout=60)

    def close(self):
        """Ends a throw-away prefix's Wine session and removes the prefix;
        the caller's stays as it is."""
        if self.owned:
            self.run(["wineserver", "-k"], env=dict(os.environ, **self.env()), timeout=60)
            shutil.rmtree(self.path, ignore_errors=True)


def main(argv):
    if not argv:
        sys.exit(__doc__)
    prefix = WinePrefix()
    try:
        env = dict(os.environ, **prefix.env())
        env.pop("WAYLAND_DISPLAY", None)
        return subprocess.run(argv, env=env).returncode
    finally:
        prefix.close()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
