#!/usr/bin/env python3
"""Ctrl-C at each stage of a first install: seconds from the signal to the
console program's exit, how the run ended, and whether the next run over the
same folder succeeds without help. Runs the real corvane-setup against the
stand-ins of the end-to-end tests (tests/e2e), after the Linux build:

    bench/cancel.py [STAGE ...]

CORVANE_SETUP names another build of the program to measure (an older one,
say); the stand-ins are this tree's.

Each stage is held long enough to be interrupted: a release lookup that
never gets an answer, a download that trickles, a 512 MB unpack, a clone that
hangs once it has made its folder, a slow build, and the finishing steps
(freeing up space).
"""

import json
import os
import signal
import socket
import subprocess
import sys
import time

from world import e2e, serve



def stalled_listener():
    """A port that takes connections and never answers them."""
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    s.listen(16)
    return s


def replace(command, option, value):
    command = list(command)
    command[command.index(option) + 1] = value
    return command


def lookup(t):
    listener = stalled_listener()
    t.keep = listener
    base = "http://127.0.0.1:%d" % listener.getsockname()[1]
    return replace(t.command(), "--github-api", base), t.env(), \
        lambda lines: "== Checking the tools" in lines, 0.5


def download(t):
    path = os.path.join(t.root, "repos", "Kitware", "CMake", "releases", "latest")
    with open(path) as f:
        release = json.load(f)
    with open(PORT) as f:
        port = int(f.read())
    # The server's trickle, ending in the asset's own name, which the lookup matches.
    trickle = "http://127.0.0.1:%d/drip?n=10000000&step=1000&every=1000&name=/%s"
    for asset in release["assets"]:
        asset["browser_download_url"] = trickle % (port, asset["name"])
    with open(path, "w") as f:
        json.dump(release, f)
    return t.command(), t.env(), lambda lines: any(l.startswith("CMake: downloading") for l in
                                                   lines), 0.5


def unpack(t):
    e2e.slow_unpack(t.root)
    return t.command(), t.env(), lambda lines: any(l.startswith("$ ") and "CMake.zip" in l
                                                   for l in lines), 0.0


def clone(t):
    return t.command(), t.env(PATH=e2e.hanging_clone(t.dir)), \
        lambda lines: any(l.startswith("$ git clone") for l in lines), 0.3


def build(t):
    return t.command(), t.env(CORVANE_BUILD_PACE="0.3"), \
        lambda lines: any(l.startswith("[3/") for l in lines), 0.0


def finishing(t):
    return t.command("--free-space"), t.env(), lambda lines: "== Freeing up space" in lines, 0.0


STAGES = [("tools lookup", lookup), ("download", download), ("unpack", unpack),
          ("clone", clone), ("build", build), ("finishing", finishing)]


def measure(name, prepare):
    t = e2e.Install("test_first_install_from_a_disc_image")
    t.setUp()
    try:
        command, env, ready, delay = prepare(t)
        process = subprocess.Popen(command, env=env, stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.time() + 120
        while not (os.path.exists(t.log) and ready(t.lines())):
            if time.time() > deadline or process.poll() is not None:
                process.kill()
                return "%-12s  the stage was never reached" % name
            time.sleep(0.005)
        time.sleep(delay)
        start = time.time()
        process.send_signal(signal.SIGINT)
        process.wait(timeout=300)
        took = time.time() - start
        ended = t.block()[-1]
        # The next run, as a user would start it again, against working stand-ins.
        e2e.web.main(["web.py", t.root, t.base, "linux"])
        again = subprocess.run(t.command(), env=t.env(), stdin=subprocess.DEVNULL,
                               capture_output=True, timeout=300)
        # The tools the next run fetched: a tool left half-unpacked and taken
        # as it is shows as one download fewer.
        fetched = [l.split(":")[0] for l in t.block() if ": downloading " in l]
        return "%-12s  %6.2f s  exit %3d  %-40s  next run: %s, downloads %s" % (
            name, took, process.returncode, repr(ended[:38]),
            "succeeds" if again.returncode == 0 else "fails: " + t.block()[-1][:40],
            ", ".join(fetched) or "nothing")
    finally:
        t.doCleanups()


def stages(wanted):
    print("%-12s  %8s  %8s  %-40s  %s" % ("Ctrl-C at", "to exit", "", "run ended", ""))
    for name, prepare in STAGES:
        if not wanted or any(w in name for w in wanted):
            print(measure(name, prepare), flush=True)


if __name__ == "__main__":
    serve("cancel", lambda: stages(sys.argv[1:]))
