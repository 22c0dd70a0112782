#!/usr/bin/env python3
"""How near the count of compiles that memory allows a first install comes.
Three worlds, each a first install of the stand-in game whose build compiles
generated units with the real CMake, clang++ and Ninja 1.13.2 (from
build/tools, put there by scripts/packages.sh test) under a memory cap of its
own (a cgroup v1: run as root):

  tight   6 units of ~520 MB resident, 1150 MB cap: 2 at once fit, 3 die
  roomy   8 units of ~160 MB, 3000 MB cap: the build tool's default fits
  mixed   one unit of ~800 MB, then six of ~160 MB, 1100 MB cap: the large
          one fits beside one small one, not two

In each: the build script alone by hand at 1, 2 and the default count (the
fastest that finishes is the best count), Setup with that best count set by
hand (CMAKE_BUILD_PARALLEL_LEVEL), and Setup as it ships; in the tight world
also Setup as it ships with Debian's Ninja 1.11, which takes no part in a
jobserver. Each run's wall time and the out-of-memory kills inside its cap.

    bench/memory.py [ROUNDS [WORLD...]]   (default 1 round of every world)
"""

import os
import shutil
import statistics
import subprocess
import sys
import time
import unittest

from world import SOURCE, e2e, serve

NINJA = os.path.join(SOURCE, "build", "tools", "ninja-1.13.2")
WORLDS = {"tight": ("6x480", 1150), "roomy": ("8x160", 3000), "mixed": ("1x850+6x160", 1100)}
DEFAULT = (os.cpu_count() or 1) + 2 if (os.cpu_count() or 1) > 2 else (os.cpu_count() or 1) + 1
TEST = "test_the_jobserver_fits_the_compiles_to_the_memory"


def run(world, kind, count=None):
    """One first install ("setup", "debian") or one build by hand ("hand")
    at `count` (None: as it ships, or the default): its seconds, its kills
    and what setup.log says of the compiles."""
    units, cap = WORLDS[world]
    t = e2e.Install(TEST)
    t.setUp()
    try:
        enter = e2e.memory_cap(t, cap << 20)
        path = (NINJA + ":" if kind != "debian" else "") + t.bin + ":/usr/bin:/bin"
        env = t.env(PATH=path, CORVANE_BUILD_UNITS=units)
        env.pop("MAKEFLAGS", None)
        if count:
            env["CMAKE_BUILD_PARALLEL_LEVEL"] = str(count)
        if kind == "hand":
            clone = os.path.join(t.dir, "clone")
            e2e.git("clone", "-q", os.path.join(t.mirror, "tallowfen", "corvane-recomp.git"), clone)
            command, cwd = ["python3", "-u", "tools/build.py", "--iso", t.image], clone
        else:
            command, cwd = t.command(), None
        start = time.time()
        result = subprocess.run(command, env=env, cwd=cwd, stdin=subprocess.DEVNULL,
                                capture_output=True, preexec_fn=enter, timeout=1800)
        took = time.time() - start
        with open(os.path.join(e2e.MEMORY, os.path.basename(t.dir), "memory.oom_control")) as f:
            kills = int([l.split()[1] for l in f if l.startswith("oom_kill ")][0])
        notes = [l for l in t.block() if l.startswith(("Compiles at once", "Compiles ran",
                                                        "== The build ran"))] \
            if kind != "hand" and os.path.exists(t.log) else []
        ok = result.returncode == 0
        return took, kills, ok, " | ".join(notes)
    finally:
        t.doCleanups()


def world(name, rounds):
    """The rounds interleaved: the machine's load falls on every kind alike."""
    times = {}

    def go(runs):
        for i in range(rounds):
            for label, args in runs:
                took, kills, ok, notes = run(name, *args)
                times.setdefault(label, []).append(took if ok else None)
                print("%s %-26s %6.1f s  kills %d %s %s" % (
                    name, label, took, kills, "" if ok else "FAILED", notes), flush=True)

    def median(label):
        return statistics.median(times[label]) if None not in times[label] else None

    hand = {count: "by hand at %s" % (count or "default") for count in (1, 2, None)}
    go([(hand[count], ("hand", count)) for count in hand])
    fine = {count: median(label) for count, label in hand.items() if median(label)}
    best = min(fine, key=lambda c: fine[c])
    # The default set by hand: left unset, Setup would serve its jobserver.
    at_best = "Setup at the best, %s" % (best or "default")
    runs = [(at_best, ("setup", best or DEFAULT)), ("Setup as it ships", ("setup",))]
    if name == "tight":
        runs.append(("Setup, Debian's Ninja", ("debian",)))
    go(runs)
    b, c = median(at_best), median("Setup as it ships")
    print("%s: as it ships / at the best count: %s" % (
        name, "%.2f" % (c / b) if b and c else "failed"), flush=True)


def main():
    if not os.path.exists(os.path.join(NINJA, "ninja")):
        print("skipped: no Ninja 1.13.2 in %s (scripts/packages.sh test)" % NINJA)
        return
    rounds = int(sys.argv[1]) if len(sys.argv) > 1 else 1
    for name in sys.argv[2:] or list(WORLDS):
        world(name, rounds)


if __name__ == "__main__":
    try:
        serve("memory", main)
    except unittest.SkipTest as e:
        print("skipped: %s" % e)
