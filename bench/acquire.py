#!/usr/bin/env python3
"""A first install's wait for its tools and source code: seconds from the
start of the console program to the build's start, after the Linux build.

    bench/acquire.py [ROUNDS]

The world is that of the end-to-end tests (tests/e2e) with real weights: the
tool archives a tenth of the real ones (CMake 4 MB, Ninja 0.1 MB, Clang
15 MB, Python 3 MB), each connection served at 2 MB/s, and a clone that
takes 5 s (git's own download and the clone, on a real line). Each round
runs, interleaved:

    side by side     as the program does it (two downloads at a time)
    one at a time    CORVANE_SETUP_DOWNLOADS=1: one connection, the unpacks
                     and the clone still beside it
    sequential       CORVANE_SETUP_DOWNLOADS=0: the tools, then the source
    Clang alone      only Clang missing: its lookup, download and unpack
    clone alone      every tool there: the clone (git is on the PATH)

and prints the medians, and each against the longest single chain (the
slower of the last two). CORVANE_SETUP names another build to measure.
"""

import hashlib
import json
import os
import shutil
import signal
import statistics
import subprocess
import sys
import time

from world import e2e, serve

MB = 1 << 20
# 2 MB/s a connection: 128 KiB every 64 ms.
PACE = "/paced/131072/64/"
CLONE_SECONDS = 5
TOOLS = [  # repository, asset, archive mode, program inside, size
    ("Kitware/CMake", "cmake-3.31.0-linux-x86_64.tar.gz", "w:gz",
     "cmake-3.31.0-linux-x86_64/bin/cmake", 4 * MB),
    ("ninja-build/ninja", "ninja-linux.zip", "zip", "ninja", MB // 10),
    ("mstorsjo/llvm-mingw", "llvm-mingw-20241119-ucrt-ubuntu-20.04-x86_64.tar.xz", "w:xz",
     "llvm-mingw-20241119-ucrt-ubuntu-20.04-x86_64/bin/clang++", 15 * MB),
    ("astral-sh/python-build-standalone",
     "cpython-3.12.7+20241016-x86_64-unknown-linux-gnu-install_only.tar.gz", "w:gz",
     "python/bin/python3", 3 * MB),
]


def weigh(t):
    """Gives each tool's archive its weight and a paced URL."""
    site = e2e.web.Web(t.root, t.base, None)
    for repo, name, mode, program, size in TOOLS:
        text = e2e.web.PYTHON if name.startswith("cpython") else e2e.web.STUB % name
        files = {program: text, os.path.dirname(program) + "/padding": os.urandom(size)}
        data = e2e.web.zip_of(files) if mode == "zip" else e2e.web.tar_of(files, mode)
        site.write("download/%s/%s" % (repo, name), data)
        url = "%s/download/%s/%s" % (t.base.replace("/web/", PACE), repo, name)
        release = {"tag_name": "v1", "assets": [{
            "name": name, "browser_download_url": url, "size": len(data),
            "digest": "sha256:" + hashlib.sha256(data).hexdigest()}]}
        site.write("repos/%s/releases/latest" % repo, json.dumps(release))


def timed(t, env, done, tools=None):
    """Seconds from the start to the first log line done() accepts, into a
    fresh install folder (holding a copy of tools when given)."""
    shutil.rmtree(t.install, ignore_errors=True)
    if tools:
        shutil.copytree(tools, os.path.join(t.install, "tools"), symlinks=True)
    start = time.time()
    process = subprocess.Popen(t.command(), env=env, stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        while not (os.path.exists(t.log) and any(done(l) for l in t.lines())):
            if process.poll() is not None:
                raise SystemExit("the run ended before it got there: %s" % t.lines()[-1:])
            time.sleep(0.005)
        return time.time() - start
    finally:
        process.send_signal(signal.SIGINT)
        process.wait(timeout=120)


def main(rounds):
    t = e2e.Install("test_first_install_from_a_disc_image")
    t.setUp()
    try:
        weigh(t)
        env = t.env(PATH=e2e.clone_path(t.dir, "late", "  %s %d" % (shutil.which("sleep"),
                                                                    CLONE_SECONDS)))
        building = lambda line: line.startswith("== Building")
        # Every tool, unpacked once, for the runs that need some of them there.
        timed(t, env, building)
        every = os.path.join(t.dir, "every-tool")
        shutil.copytree(os.path.join(t.install, "tools"), every, symlinks=True)
        all_but_clang = os.path.join(t.dir, "all-but-clang")
        shutil.copytree(every, all_but_clang, symlinks=True)
        shutil.rmtree(os.path.join(all_but_clang, "Clang"))
        runs = [
            ("side by side", lambda: timed(t, env, building)),
            ("one at a time", lambda: timed(t, dict(env, CORVANE_SETUP_DOWNLOADS="1"),
                                            building)),
            ("sequential", lambda: timed(t, dict(env, CORVANE_SETUP_DOWNLOADS="0"), building)),
            ("Clang alone", lambda: timed(t, env, lambda l: l.startswith("Clang: /"),
                                          all_but_clang)),
            ("clone alone", lambda: timed(t, env, building, every)),
        ]
        times = {name: [] for name, _ in runs}
        for _ in range(rounds):
            for name, run in runs:
                times[name].append(run())
        median = {name: statistics.median(each) for name, each in times.items()}
        chain = max(median["Clang alone"], median["clone alone"])
        print("median of %d interleaved rounds, start to the build's start:" % rounds)
        for name, _ in runs:
            print("  %-14s %6.2f s  (%s)  %.2fx the longest chain" % (
                name, median[name], " ".join("%.2f" % s for s in times[name]),
                median[name] / chain))
        print("side by side: %.2fx the longest chain (%.2f s), %.2fx faster than sequential"
              % (median["side by side"] / chain, chain,
                 median["sequential"] / median["side by side"]))
    finally:
        t.doCleanups()


if __name__ == "__main__":
    serve("acquire", lambda: main(int(sys.argv[1]) if len(sys.argv) > 1 else 5))
