#!/usr/bin/env python3
"""Stand-in for the game's build script, for the setup program's tests and demo.

It behaves like the real one as far as the setup program can tell: given
--iso and a disc image (or an extracted disc folder) it "extracts" the game
into game/extracted; it checks that the build tools are on the PATH; it
prints "==> " stages, "[n/m] " steps and indented percentage lines at a
build's pace; it writes build/runtime/CorvaneLauncher.exe and the leftovers
a real build leaves (object files, libraries, generated code).

The environment steers it:
    CORVANE_BUILD_PACE        seconds per step (default 0.01)
    CORVANE_BUILD_FAIL        fail at the compile stage; "traceback": fail
                              with a traceback of the script's own
    CORVANE_BUILD_NO_LAUNCHER finish without writing the launcher
    CORVANE_BUILD_PIDS        file to append this script's process id to
    CORVANE_BUILD_DAEMON      seconds a detached process (setsid, a double
                              fork), started at the configure stage, lives
                              holding the build's output, as a compiler
                              cache's server does; its id goes to the file too
    CORVANE_BUILD_UNITS       "COUNTxMB": build that many generated units
                              with the real CMake, Ninja and clang++, each
                              needing about MB of memory to compile; groups
                              joined by "+" ("1x800+6x160") in that order
The launcher it writes records every start in launched.txt beside itself.
"""

import argparse
import os
import shutil
import stat
import subprocess
import sys
import time

STEPS = 40
LAUNCHER = """#!/bin/sh
# Stand-in for the game's launcher: records that it was started.
cd "$(dirname "$0")"
echo "started in $(pwd)" >> launched.txt
"""


def say(line):
    print(line, flush=True)


def extract(disc, target):
    if not disc:
        say("error: the game isn't extracted yet; give the disc with --iso PATH")
        sys.exit(2)
    os.makedirs(target, exist_ok=True)
    if os.path.isdir(disc):
        if not os.path.exists(os.path.join(disc, "default.xex")):
            say("error: %s holds no default.xex" % disc)
            sys.exit(2)
        shutil.copytree(disc, target, dirs_exist_ok=True)
        return
    if not os.path.isfile(disc):
        say("error: no disc image at %s" % disc)
        sys.exit(2)
    size = os.path.getsize(disc)
    with open(disc, "rb") as f:
        head = f.read(4096)
    with open(os.path.join(target, "default.xex"), "wb") as f:
        f.write(b"XEX2" + head)
    for name in ("levels.pak", "sounds.pak", "textures.pak"):
        with open(os.path.join(target, name), "wb") as f:
            f.write(b"\0" * min(size, 65536))


def daemon(seconds, pids):
    if os.fork():
        os.wait()  # the middle one exits at once
        return
    os.setsid()
    if os.fork() == 0:
        if pids:
            with open(pids, "a") as f:
                f.write("%d\n" % os.getpid())
        time.sleep(seconds)
    os._exit(0)


def compile_units(spec):
    """Generated code as the real build has it: units of large tables, which
    clang takes about 240 bytes an entry to compile, 95 MB more for itself."""
    sizes = []
    for group in spec.split("+"):
        count, mb = (int(n) for n in group.split("x"))
        sizes += [mb] * count
    source, build = os.path.join("generated", "units"), os.path.join("build", "units")
    os.makedirs(source, exist_ok=True)
    names = ["func_%02d.cpp" % i for i in range(1, len(sizes) + 1)]
    for i, (name, mb) in enumerate(zip(names, sizes)):
        path = os.path.join(source, name)
        if not os.path.exists(path):
            with open(path, "w") as f:
                f.write("extern const int unit%d[] = {\n" % i)
                for row in range((mb - 95) * 210):
                    f.write(",".join(str(row * 20 + n + i) for n in range(20)) + ",\n")
                f.write("};\n")
    with open(os.path.join(source, "CMakeLists.txt"), "w") as f:
        f.write("cmake_minimum_required(VERSION 3.13)\nproject(game CXX)\n"
                "add_library(game STATIC %s)\n" % " ".join(names))
    for command in (["cmake", "-G", "Ninja", "-S", source, "-B", build,
                     "-DCMAKE_CXX_COMPILER=clang++"], ["cmake", "--build", build]):
        if subprocess.call(command) != 0:
            sys.exit(1)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--iso")
    args = parser.parse_args()
    pace = float(os.environ.get("CORVANE_BUILD_PACE", "0.01"))
    pids = os.environ.get("CORVANE_BUILD_PIDS")
    if pids:
        with open(pids, "a") as f:
            f.write("%d\n" % os.getpid())

    extracted = os.path.join("game", "extracted")
    if not os.path.exists(os.path.join(extracted, "default.xex")):
        say("==> Extracting the game's files")
        for p in range(0, 101, 20):
            say("  %d%% extracted" % p)
            time.sleep(pace)
        extract(args.iso, extracted)

    say("Output encoding: %s" % os.environ.get("PYTHONIOENCODING", "(not set)"))
    say("==> Checking the build tools")
    for tool in ("cmake", "ninja", "clang++"):
        found = shutil.which(tool)
        if not found:
            say("error: %s isn't on the PATH" % tool)
            sys.exit(3)
        say("found %s at %s" % (tool, found))
    say("PATH: %s" % os.environ.get("PATH", ""))

    say("==> Configuring")
    if os.environ.get("CORVANE_BUILD_DAEMON"):
        daemon(float(os.environ["CORVANE_BUILD_DAEMON"]), pids)
    time.sleep(pace)
    say("-- The CXX compiler identification is Clang 19.1.4")
    say("==> Building")
    if os.environ.get("CORVANE_BUILD_UNITS"):
        compile_units(os.environ["CORVANE_BUILD_UNITS"])
    os.makedirs(os.path.join("build", "obj"), exist_ok=True)
    os.makedirs(os.path.join("generated", "ppc"), exist_ok=True)
    for i in range(1, STEPS + 1):
        name = "func_%04d" % i
        say("[%d/%d] Building CXX object src/ppc/%s.cpp.obj" % (i, STEPS, name))
        with open(os.path.join("generated", "ppc", name + ".cpp"), "w") as f:
            f.write("// generated\n" * 64)
        with open(os.path.join("build", "obj", name + ".obj"), "wb") as f:
            f.write(b"\0" * 4096)
        if i == STEPS // 2 and os.environ.get("CORVANE_BUILD_FAIL") == "traceback":
            # The script's own failure, a step's line printed in the middle.
            say("Traceback (most recent call last):")
            say('  File "tools/build.py", line 120, in main')
            say("[%d/%d] Building CXX object src/ppc/func_%04d.cpp.obj" % (i + 1, STEPS, i + 1))
            say("    write_object(name)")
            say("OSError: [Errno 28] No space left on device: 'build/obj'")
            sys.exit(1)
        if i == STEPS // 2 and os.environ.get("CORVANE_BUILD_FAIL"):
            # A warning quoting a line that holds "error:" comes first.
            say("src/ppc/%s.cpp:40:5: warning: format specifies type 'int' [-Wformat]" % name)
            say('   40 |     std::fprintf(stderr, "error: %d\\n", code);')
            say("      |                          ^~~~~~~~~~~~")
            say("src/ppc/%s.cpp:12:3: error: use of undeclared identifier 'r3'" % name)
            say("ninja: build stopped: subcommand failed.")
            sys.exit(1)
        time.sleep(pace)
    with open(os.path.join("build", "libgame.a"), "wb") as f:
        f.write(b"!<arch>\n" + b"\0" * 8192)

    if not os.environ.get("CORVANE_BUILD_NO_LAUNCHER"):
        runtime = os.path.join("build", "runtime")
        os.makedirs(runtime, exist_ok=True)
        launcher = os.path.join(runtime, "CorvaneLauncher.exe")
        with open(launcher, "w") as f:
            f.write(LAUNCHER)
        os.chmod(launcher, os.stat(launcher).st_mode | stat.S_IXUSR | stat.S_IXGRP | stat.S_IXOTH)
    say("==> Done")


if __name__ == "__main__":
    main()
