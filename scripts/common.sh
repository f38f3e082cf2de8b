# What the scripts share, sourced by them: the interpreter for the Python
# scripts and tests (Debian's, which has the modules they import: Pillow,
# python-xlib, pyatspi) and a build job per core the script may use.
python=/usr/bin/python3
jobs=$(nproc)
