#!/usr/bin/env python3
"""The soak in small (see window_soak.py): twenty openings and closings of the main window with the
embedded catalogue under a descriptor limit of 256; descriptors stay flat (within 2) and the
program keeps running."""

import os

import guitest as g
import window_soak

if __name__ == "__main__":
    try:
        window_soak.soak(20, os.path.join(g.SOURCE, "tests", "artifacts", "gui", "soak-20.csv"))
    except g.Stop:
        pass
    raise SystemExit(g.finish())
