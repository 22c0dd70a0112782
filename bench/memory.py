#!/usr/bin/env python3
"""What going on with fewer compiles costs when a build runs out of memory.
A first install of the stand-in game whose build compiles six generated units
of about 480 MB each with the real CMake, Ninja and clang++, under a 1200 MB
memory cap (a cgroup v1 of its own: run as root) that holds two compiles at
once but not four. Median wall time over the rounds, interleaved:

  (a) Setup started at 4 at once (CMAKE_BUILD_PARALLEL_LEVEL=4): it runs out
      of memory and goes on with fewer, so only the continuing acts
  (b) Setup at 2 at once, the best count that fits, set by hand
  (h) by hand: the build script alone at 2 at once in a fresh clone
  (c) Setup as it ships: the count it starts with from the memory

    bench/memory.py [ROUNDS]   (default 3; after the Linux build)
"""

import os
import statistics
import subprocess
import sys
import time
import unittest

from world import e2e, serve

UNITS, CAP = "6x480", 1200 << 20
TEST = "test_a_build_out_of_memory_goes_on_with_fewer_compiles"


def run(kind):
    """One first install (or, for "h", one build by hand): its seconds and
    what setup.log says of the count."""
    t = e2e.Install(TEST)
    t.setUp()
    try:
        enter = e2e.memory_cap(t, CAP)
        env = t.env(PATH=t.bin + ":/usr/bin:/bin", CORVANE_BUILD_UNITS=UNITS)
        if kind in "abh":
            env["CMAKE_BUILD_PARALLEL_LEVEL"] = "4" if kind == "a" else "2"
        if kind == "h":
            clone = os.path.join(t.dir, "clone")
            e2e.git("clone", "-q", os.path.join(t.mirror, "tallowfen", "corvane-recomp.git"), clone)
            command, cwd = ["python3", "-u", "tools/build.py", "--iso", t.image], clone
        else:
            command, cwd = t.command(), None
        start = time.time()
        result = subprocess.run(command, env=env, cwd=cwd, stdin=subprocess.DEVNULL,
                                capture_output=True, preexec_fn=enter, timeout=900)
        took = time.time() - start
        if result.returncode != 0:
            return took, "failed: " + (result.stdout + result.stderr).decode()[-300:]
        notes = [l for l in t.block() if l.startswith(("Compiles at once", "== The build ran",
                                                        "The largest"))] if kind != "h" else []
        return took, " | ".join(notes)
    finally:
        t.doCleanups()


def rounds(count):
    times = {kind: [] for kind in "abhc"}
    for i in range(count):
        for kind in "abhc":
            took, notes = run(kind)
            times[kind].append(took)
            print("round %d (%s) %6.1f s  %s" % (i + 1, kind, took, notes), flush=True)
    median = {kind: statistics.median(t) for kind, t in times.items()}
    print("median of %d rounds:" % count)
    for kind, name in (("a", "Setup from 4 at once, going on with fewer"),
                       ("b", "Setup at 2 at once, set by hand"),
                       ("h", "the build script alone at 2 at once"),
                       ("c", "Setup as it ships")):
        print("  (%s) %-45s %6.1f s" % (kind, name, median[kind]))
    print("ratio a / b: %.2f   a / h: %.2f   c / b: %.2f" % (
        median["a"] / median["b"], median["a"] / median["h"], median["c"] / median["b"]))


if __name__ == "__main__":
    try:
        serve("memory", lambda: rounds(int(sys.argv[1]) if len(sys.argv) > 1 else 3))
    except unittest.SkipTest as e:
        print("skipped: %s" % e)
