#!/usr/bin/env python3
"""Whole installs with the real console program against local stand-ins.

    install_e2e.py SETUP PORT_FILE LOWDISK_LIB [TEST ...]

The stand-ins: the test server's /web/ route answers as GitHub's release API,
GitHub's downloads and NuGet would (tests/standin/web.py lays the answers
out); a bare git repository holding the stand-in game (tests/standin/game)
is the project's repository, reached through the --github mirror base. The
program runs with a PATH that holds only git and the shell, so it downloads
CMake, Ninja, Clang and Python from the stand-in and unpacks them.
"""

import fcntl
import hashlib
import io
import json
import os
import pty
import re
import select
import shutil
import signal
import struct
import subprocess
import sys
import tarfile
import tempfile
import termios
import textwrap
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(SOURCE, "tests", "standin"))
import web  # noqa: E402

SETUP = PORT_FILE = LOWDISK = None

FIRST_INSTALL_STATUS = [
    "== Checking the tools",
    "== Getting the build tools and the source code",
    "== Building (the first build takes 10-30 minutes)",
    "== Finishing",
]
DONE = "Done. Start the game with the launcher"
NO_SOURCE = ("Choose your Corvane disc image (.iso) or extracted disc folder first "
             "(--source PATH).")
SUMMARY = "Getting the build tools and the source code"
DOWNLOAD_LINE = re.compile(SUMMARY + r": \d+ MB of 4 MB, \d+\.\d MB/s, about \d+ s left$")


def disc_image(path, size=1 << 20):
    """A stand-in disc image: random bytes with an Xbox 360 disc's header
    where the first layout's game partition has it."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    data = bytearray(os.urandom(size))
    data[0x10000:0x10014] = b"MICROSOFT*XBOX*MEDIA"
    with open(path, "wb") as f:
        f.write(data)


def git(*args, cwd=None):
    env = dict(os.environ, GIT_AUTHOR_NAME="t", GIT_AUTHOR_EMAIL="t@t", GIT_COMMITTER_NAME="t",
               GIT_COMMITTER_EMAIL="t@t", GIT_CONFIG_NOSYSTEM="1")
    subprocess.run(["git", *args], cwd=cwd, env=env, check=True, capture_output=True)


def set_columns(fd, columns):
    fcntl.ioctl(fd, termios.TIOCSWINSZ, struct.pack("HHHH", 24, columns, 0, 0))


# Clears the row above: where a narrowed terminal wrapped the old status line.
ROW_ABOVE = "\x1b[1A\x1b[K"
# A download's figures, as the status line shows them at any width.
# (The download's end has nothing left to wait for.)
PERCENT = re.compile(r"^(?:\[[#.]*\] *)?(\d+)% ")
FIGURES = re.compile(r" \d+(/| MB of )\d+ MB, \d+\.\d MB/s(, about \d+ s left)?$")


def drawn(output):
    """The status lines drawn in place on a terminal, each as text."""
    parts = output.decode("utf-8", "replace").split("\r\x1b[K")
    return [p.replace(ROW_ABOVE, "") for p in parts[1:] if p and "\n" not in p]


def alive(pid):
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().split(") ")[-1][0] != "Z"
    except OSError:
        return False


class Zeros(io.RawIOBase):
    def __init__(self, size):
        self.left = size

    def readable(self):
        return True

    def readinto(self, buffer):
        n = min(len(buffer), self.left)
        buffer[:n] = bytes(n)
        self.left -= n
        return n


def slow_unpack(web_root):
    """Makes CMake's archive one that takes a while to unpack: the program
    first, then 512 MB of zeros."""
    cmake = "cmake-3.31.0-linux-x86_64"
    buffer = io.BytesIO()
    with tarfile.open(fileobj=buffer, mode="w:gz", compresslevel=1) as archive:
        program = b"#!/bin/sh\necho \"cmake 3.31.0 (stand-in)\"\n"
        info = tarfile.TarInfo(cmake + "/bin/cmake")
        info.size, info.mode = len(program), 0o755
        archive.addfile(info, io.BytesIO(program))
        info = tarfile.TarInfo(cmake + "/share/filler")
        info.size = 512 << 20
        archive.addfile(info, io.BufferedReader(Zeros(info.size), 1 << 20))
    data = buffer.getvalue()
    with open(os.path.join(web_root, "download", "Kitware", "CMake", cmake + ".tar.gz"),
              "wb") as f:
        f.write(data)
    # The release lists the new archive's digest, as it would for a real one.
    latest = os.path.join(web_root, "repos", "Kitware", "CMake", "releases", "latest")
    with open(latest) as f:
        release = json.load(f)
    for asset in release["assets"]:
        if asset["name"] == cmake + ".tar.gz":
            asset["digest"] = "sha256:" + hashlib.sha256(data).hexdigest()
    with open(latest, "w") as f:
        json.dump(release, f)


def clone_path(dir, name, clone):
    """A folder for the PATH with the shell and a git whose clone runs the
    shell lines `clone` ($last is the repository folder, $GIT the real git)."""
    folder = os.path.join(dir, name)
    os.makedirs(folder)
    os.symlink(shutil.which("sh"), os.path.join(folder, "sh"))
    with open(os.path.join(folder, "git"), "w") as f:
        f.write('#!/bin/sh\nGIT=%s\ncase " $* " in *" clone "*)\n  for last; do :; done\n'
                '%s;;\nesac\nexec "$GIT" "$@"\n' % (shutil.which("git"), clone))
    os.chmod(os.path.join(folder, "git"), 0o755)
    return folder


def hanging_clone(dir):
    """A git whose clone makes the repository folder and then hangs, as a
    clone does while it fetches."""
    return clone_path(dir, "slow", '  "$GIT" init -q "$last" && exec %s 600'
                      % shutil.which("sleep"))


def paced_clone(dir, pids):
    """A git whose clone makes the repository folder and then keeps writing
    its config, a step at a time, as a clone does while it fetches; each
    clone's id goes to pids."""
    return clone_path(dir, "paced", '  echo $$ >>%s\n  "$GIT" init -q "$last" || exit 1\n'
                      '  while :; do "$GIT" -C "$last" config --add paced.step 1; %s 0.01; done'
                      % (pids, shutil.which("sleep")))


MEMORY = "/sys/fs/cgroup/memory"
# Where scripts/packages.sh puts the Ninja that takes part in a jobserver.
TOOLS = os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))),
                     "build", "tools")


def memory_cap(test, size):
    """A memory cgroup (v1) capped at size bytes for the test; returns what
    puts a starting process into it. Skips where it can't be used."""
    folder = os.path.join(MEMORY, os.path.basename(test.dir))
    try:
        os.mkdir(folder)
        test.addCleanup(os.rmdir, folder)
        with open(os.path.join(folder, "memory.limit_in_bytes"), "w") as f:
            f.write(str(size))
    except OSError as e:
        test.skipTest("the cgroup v1 memory controller can't be used (%s): the test needs root "
                      "and %s" % (e, MEMORY))
    return lambda: open(os.path.join(folder, "cgroup.procs"), "w").write(str(os.getpid()))


class Install(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="corvane-e2e-")
        self.addCleanup(shutil.rmtree, self.dir, ignore_errors=True)
        self.install = os.path.join(self.dir, "Corvane-Recomp")
        self.repo = os.path.join(self.install, "corvane-recomp")
        self.log = os.path.join(self.install, "setup.log")
        self.home = os.path.join(self.dir, "home")
        os.makedirs(self.home)

        # The web: a folder of its own under the server's web root.
        with open(PORT_FILE) as f:
            port = int(f.read())
        name = os.path.basename(self.dir)
        root = os.path.join(os.path.dirname(PORT_FILE), "web", name)
        self.addCleanup(shutil.rmtree, root, ignore_errors=True)
        self.server = "http://127.0.0.1:%d" % port
        self.name, self.root = name, root
        self.base = "%s/web/%s" % (self.server, name)
        web.main(["web.py", root, self.base, "linux"])

        # The project's repository: the stand-in game, committed on main.
        self.mirror = os.path.join(self.dir, "mirror")
        bare = os.path.join(self.mirror, "tallowfen", "corvane-recomp.git")
        self.work = os.path.join(self.dir, "work")
        git("init", "-q", "--bare", "-b", "main", bare)
        shutil.copytree(os.path.join(SOURCE, "tests", "standin", "game"), self.work)
        git("init", "-q", "-b", "main", cwd=self.work)
        git("add", "-A", cwd=self.work)
        git("commit", "-qm", "The game", cwd=self.work)
        git("remote", "add", "origin", bare, cwd=self.work)
        git("push", "-q", "origin", "main", cwd=self.work)

        # Only the system's basics on the PATH: the shell and git.
        self.bin = os.path.join(self.dir, "bin")
        os.makedirs(self.bin)
        for tool in ("sh", "git"):
            os.symlink(shutil.which(tool), os.path.join(self.bin, tool))

        self.image = os.path.join(self.dir, "games", "Corvane (disc).iso")
        disc_image(self.image)

    def env(self, **extra):
        env = {"PATH": self.bin, "HOME": self.home, "LANG": "C.UTF-8",
               "CORVANE_BUILD_PACE": "0.002", "no_proxy": "127.0.0.1"}
        env.update(extra)
        return env

    def command(self, *args, source=True):
        command = [SETUP, "--install-dir", self.install, "--github-api", self.base,
                   "--github", "file://" + self.mirror, "--nuget", self.base, "--yes"]
        if source:
            command += ["--source", self.image]
        return command + list(args)

    def setup(self, *args, source=True, env=None, **kwargs):
        result = subprocess.run(self.command(*args, source=source), env=env or self.env(),
                                stdin=subprocess.DEVNULL, capture_output=True, text=True,
                                timeout=300, **kwargs)
        self.output = result.stdout + result.stderr
        return result

    def paced_cmake(self, route="paced", digest=True, padding=None):
        """CMake's archive made 4 MB big (its share/padding) and served a
        quarter MB every 100 ms, so that its download takes a while; its bytes."""
        cmake = "cmake-3.31.0-linux-x86_64"
        name = cmake + ".tar.gz"
        data = web.tar_of({cmake + "/bin/cmake": web.STUB % "cmake 3.31.0",
                           cmake + "/share/padding": padding or os.urandom(4 << 20)}, "w:gz")
        site = web.Web(self.root, self.base, None)
        url = "%s/download/Kitware/CMake/%s" % (
            self.base.replace("/web/", "/%s/262144/100/" % route), name)
        digest = "sha256:" + hashlib.sha256(data).hexdigest() if digest else None
        site.write("repos/Kitware/CMake/releases/latest",
                   web.release("v3.31.0", [(name, url, digest)]))
        site.write("download/Kitware/CMake/" + name, data)
        return data

    def on_terminal(self, command, env, columns=80, resize=None):
        """Runs the program on a pseudo-terminal of that many columns; returns
        its exit code, all it wrote, and how much of that had come when the
        terminal was resized. resize: (columns, test of the output so far)."""
        master, slave = pty.openpty()
        set_columns(slave, columns)
        process = subprocess.Popen(command, env=env, stdin=slave, stdout=slave, stderr=slave)
        os.close(slave)
        output, mark = bytearray(), None
        while True:
            try:
                data = os.read(master, 65536)
            except OSError:  # every writer has gone
                break
            if not data:
                break
            output += data
            if resize and mark is None and resize[1](output):
                set_columns(master, resize[0])
                process.send_signal(signal.SIGWINCH)
                mark = len(output)
        os.close(master)
        return process.wait(timeout=60), bytes(output), mark

    def release(self, repo, change):
        """Rewrites the stand-in's latest release of repo: change(assets)."""
        path = os.path.join(self.root, "repos", repo, "releases", "latest")
        with open(path) as f:
            data = json.load(f)
        change(data["assets"])
        with open(path, "w") as f:
            json.dump(data, f)

    def cmake(self, **fields):
        """Sets fields of the CMake asset the program chooses; returns its
        archive's path under the server's web folder."""
        name = "cmake-3.31.0-linux-x86_64.tar.gz"

        def change(assets):
            for asset in assets:
                if asset["name"] == name:
                    asset.update(fields)
        self.release("Kitware/CMake", change)
        return "%s/download/Kitware/CMake/%s" % (self.name, name)

    def interrupt(self, ready, *args, api=None, env=None):
        """Runs the program, sends Ctrl-C once ready(log lines) holds, and
        returns the seconds from Ctrl-C to its end."""
        if os.path.exists(self.log):
            os.remove(self.log)
        command = self.command(*args)
        if api:
            command[command.index("--github-api") + 1] = api
        process = subprocess.Popen(command, env=env or self.env(), stdin=subprocess.DEVNULL,
                                   stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        deadline = time.time() + 60
        while not (os.path.exists(self.log) and ready(self.lines())):
            if time.time() > deadline:
                process.kill()
                self.fail("the run never got there")
            time.sleep(0.02)
        asked = time.time()
        process.send_signal(signal.SIGINT)
        process.communicate(timeout=120)
        took = time.time() - asked
        self.assertEqual(process.returncode, 130)
        self.assertEqual(self.lines()[-1], "Cancelled.")
        return took

    def lines(self):
        with open(self.log, encoding="utf-8") as f:
            return f.read().split("\n")[:-1]

    def block(self):
        """The last run's lines of setup.log."""
        lines = self.lines()
        starts = [i for i, l in enumerate(lines) if l.startswith("Corvane Recompiled Setup, ")]
        return lines[starts[-1]:]

    def statuses(self):
        return [l for l in self.block() if l.startswith("== ")]

    def assertOk(self, result):
        self.assertEqual(result.returncode, 0, self.output)

    def assertDone(self, ending=".", update=""):
        """The run's last lines in setup.log: the summary and where it installed."""
        where = "Installed in %s." % self.install + (" " + update if update else "")
        self.assertEqual(self.block()[-3:], [DONE + ending, "", where])

    def revision(self):
        return subprocess.run(["git", "-c", "safe.directory=*", "-C", self.repo, "rev-parse",
                               "--short", "HEAD"],
                              capture_output=True, text=True, check=True).stdout.strip()

    def test_first_install_from_a_disc_image(self):
        result = self.setup("--shortcut")
        self.assertOk(result)
        self.assertEqual(self.statuses(), FIRST_INSTALL_STATUS)
        block = self.block()
        # The header says which Setup wrote the block, and when.
        version = subprocess.run([SETUP, "--version"], capture_output=True, text=True).stdout
        self.assertRegex(block[0], "^Corvane Recompiled Setup, installing to %s; version %s, "
                         r"started \d{4}-\d\d-\d\d \d\d:\d\d:\d\d; language shown: English \(en\)$"
                         % (re.escape(self.install), re.escape(version.split(" ", 1)[1].strip())))
        self.assertIn("Git: using " + os.path.join(self.bin, "git"), block)
        for tool in ("CMake", "Ninja", "Clang", "Python"):
            self.assertTrue(any(l.startswith(tool + ": downloading " + self.base) for l in block))
            self.assertIn(tool + ": unpacking", block)
        self.assertIn('$ python3 -u tools/build.py --iso "%s"' % self.image, block)
        self.assertIn("==> Building", block)
        self.assertIn("Output encoding: utf-8:surrogateescape", block)
        self.assertTrue(os.path.isfile(os.path.join(self.repo, "game", "extracted", "default.xex")))
        self.assertTrue(os.path.isfile(os.path.join(self.repo, "build", "runtime",
                                                    "CorvaneLauncher.exe")))
        final = DONE + ' ("Corvane Recompiled" on the desktop).'
        self.assertDone(' ("Corvane Recompiled" on the desktop).')
        self.assertRegex(self.block()[-4], r"^The run took \d+ s\.$")
        self.assertIn(final + "\n\nInstalled in %s.\n" % self.install, self.output)
        self.assertEqual(os.listdir(os.path.join(self.install, "tools")).count("CMake.zip"), 0)

    def test_second_run_updates_without_downloads_or_disc(self):
        self.assertOk(self.setup())
        before = self.revision()
        if os.geteuid() == 0:  # git refuses a folder another account owns
            subprocess.run(["chown", "-R", "65534", self.repo], check=True)
        with open(os.path.join(self.work, "NEWS"), "w") as f:
            f.write("new\n")
        git("add", "NEWS", cwd=self.work)
        git("commit", "-qm", "News", cwd=self.work)
        git("push", "-q", "origin", "main", cwd=self.work)

        self.assertOk(self.setup(source=False))
        block = self.block()
        self.assertFalse([l for l in block if ": downloading " in l])
        self.assertIn("== Updating the source code", block)
        self.assertIn('$ git -c core.longpaths=true -c safe.directory="%s" -C "%s" pull --ff-only'
                      % (self.repo, self.repo), block)
        self.assertIn("$ python3 -u tools/build.py", block)
        self.assertTrue(os.path.exists(os.path.join(self.repo, "NEWS")))
        updated = "The source code was updated from %s to %s." % (before, self.revision())
        self.assertIn(updated, block)
        self.assertDone(update=updated)
        # Once more, with nothing new upstream.
        self.assertOk(self.setup(source=False))
        self.assertDone(update="The source code was already up to date.")

    def test_extracted_folder_source(self):
        folder = os.path.join(self.dir, "extracted disc")
        os.makedirs(os.path.join(folder, "levels"))
        with open(os.path.join(folder, "default.xex"), "wb") as f:
            f.write(b"XEX2 from the folder")
        self.image = folder
        self.assertOk(self.setup())
        with open(os.path.join(self.repo, "game", "extracted", "default.xex"), "rb") as f:
            self.assertEqual(f.read(), b"XEX2 from the folder")

    def test_cancel_in_the_middle_of_the_build(self):
        pids = os.path.join(self.dir, "pids")
        process = self.start_slow_build(pids)
        process.send_signal(signal.SIGINT)
        process.communicate(timeout=60)
        self.assertEqual(process.returncode, 130)
        self.assertEqual(self.lines()[-1], "Cancelled.")
        with open(pids) as f:
            build = [int(p) for p in f.read().split()]
        self.assertTrue(build)
        self.assertFalse([p for p in build if alive(p)])

    def start_slow_build(self, pids=None, own_group=False, **extra):
        """A run that is building slowly; the caller ends it."""
        if os.path.exists(self.log):
            os.remove(self.log)
        env = self.env(CORVANE_BUILD_PACE="0.3", CORVANE_BUILD_PIDS=pids or os.devnull, **extra)
        process = subprocess.Popen(self.command(), env=env, stdin=subprocess.DEVNULL,
                                   stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                   start_new_session=own_group)
        self.addCleanup(process.kill)
        deadline = time.time() + 120
        while time.time() < deadline:
            if os.path.exists(self.log) and any(l.startswith("[3/") for l in self.lines()):
                return process
            time.sleep(0.1)
        self.fail("the build never got going")

    def test_a_second_run_on_the_same_folder_touches_nothing(self):
        first = self.start_slow_build()
        before = self.lines()
        result = self.setup(source=False)
        during = self.lines()
        first.send_signal(signal.SIGINT)
        first.communicate(timeout=60)
        self.assertEqual(result.returncode, 1, self.output)
        self.assertIn("Another Corvane Recompiled Setup is already working in %s." % self.install,
                      self.output)
        # The first run's log went on as its own: no line of the second one.
        self.assertEqual(during[:len(before)], before)
        self.assertEqual(len([l for l in during if l.startswith("Corvane Recompiled Setup, ")]), 1)
        self.assertFalse([l for l in during if l.startswith("Another ")])
        self.assertEqual(self.lines()[-1], "Cancelled.")
        # Once the first run has ended, the folder is free again.
        self.assertOk(self.setup(source=False))

    def start_clone(self, path):
        """A run whose clone, with the git of that PATH, has begun."""
        process = subprocess.Popen(self.command(), env=self.env(PATH=path),
                                   stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                   stderr=subprocess.STDOUT)
        self.addCleanup(process.kill)
        deadline = time.time() + 120
        while not (os.path.exists(self.log) and
                   any(" clone file:" in l for l in self.lines())):
            self.assertLess(time.time(), deadline, "the clone never started")
            time.sleep(0.05)
        return process

    def test_a_clone_stopped_half_way_is_cloned_again(self):
        process = self.start_clone(hanging_clone(self.dir))
        time.sleep(0.5)
        process.send_signal(signal.SIGINT)
        process.communicate(timeout=60)
        self.assertEqual(self.lines()[-1], "Cancelled.")

        self.assertOk(self.setup())
        self.assertIn("== Downloading the source code", self.statuses())
        self.assertDone()

    def test_a_killed_run_leaves_nothing_working_in_the_folder(self):
        pids = os.path.join(self.dir, "clones")
        paced = paced_clone(self.dir, pids)
        for sig in (signal.SIGKILL, signal.SIGHUP):
            with self.subTest(signal=sig):
                if os.path.exists(self.log):
                    os.remove(self.log)
                process = self.start_clone(paced)
                time.sleep(0.3)
                process.send_signal(sig)
                process.communicate(timeout=60)
                # The next run at once: it clones (or is told that the folder
                # is busy), never beside the killed run's git.
                result = self.setup()
                if result.returncode != 0:
                    self.assertIn("Another Corvane Recompiled Setup is already working",
                                  self.output)
                    self.assertOk(self.setup())
                self.assertNotIn("could not lock", self.output)
                self.assertDone()
                with open(pids) as f:
                    clones = [int(p) for p in f.read().split()]
                self.assertTrue(clones)
                self.assertFalse([p for p in clones if alive(p)])
                shutil.rmtree(self.install)

    def test_the_tools_and_the_clone_side_by_side(self):
        # While CMake trickles in, the others download beside it and the
        # clone starts; the build waits for all of them.
        self.paced_cmake()
        self.assertOk(self.setup(env=self.env(PATH=clone_path(self.dir, "late", "  sleep 1"))))
        block = self.block()
        unpack = block.index("CMake: unpacking")
        self.assertLess(min(i for i, l in enumerate(block) if " clone file:" in l), unpack)
        self.assertTrue([l for l in block[:unpack] if l.startswith("Ninja: downloading")])
        self.assertDone()
        # CMake was unpacked last, yet the tools stand in the table's order.
        path = [l[6:] for l in block if l.startswith("PATH: ")][0].split(":")
        tools = os.path.join(self.install, "tools")
        self.assertEqual([os.path.relpath(p, tools).split(os.sep)[0] for p in path[:4]],
                         ["Python", "Clang", "Ninja", "CMake"])

        # Ctrl-C stops every job; a second run meanwhile is refused; the next
        # run resumes the download.
        shutil.rmtree(self.install)
        pids = os.path.join(self.dir, "clones")
        paced = paced_clone(self.dir, pids)
        downloading = lambda lines: any(l.startswith("CMake: downloading") for l in lines)

        def ready(lines):
            if not downloading(lines) or not os.path.exists(pids):
                return False
            self.assertIn("Another Corvane Recompiled Setup is already working",
                          self.setup(env=self.env(PATH=paced)).stderr)
            return True
        took = self.interrupt(ready, env=self.env(PATH=paced))
        sys.stderr.write("\nCtrl-C beside downloads and a clone: ended %.2f s later\n" % took)
        with open(pids) as f:
            self.assertFalse([p for p in f.read().split() if alive(int(p))])
        self.assertOk(self.setup())
        self.assertTrue([l for l in self.block() if "Resuming CMake at" in l])

        # A damaged download ends the run with its own message, not the
        # clone's cancel; the half clone is never taken for one.
        shutil.rmtree(self.install)
        data = self.paced_cmake()
        with open(os.path.join(self.root, "download", "Kitware", "CMake",
                               "cmake-3.31.0-linux-x86_64.tar.gz"), "r+b") as f:
            f.seek(len(data) // 2)
            f.write(b"!")
        self.assertEqual(self.setup(env=self.env(PATH=paced)).returncode, 1)
        self.assertEqual(self.block()[-1], "The download of CMake was damaged (its checksum "
                         "doesn't match). Try again.")
        self.assertFalse(os.path.exists(self.repo))
        self.paced_cmake()
        self.assertOk(self.setup())
        self.assertDone()

    def test_the_default_install_folder_is_in_home(self):
        command = self.command()
        del command[command.index("--install-dir"):command.index("--install-dir") + 2]
        work = os.path.join(self.dir, "cwd")
        os.makedirs(work)
        result = subprocess.run(command, env=self.env(), cwd=work, stdin=subprocess.DEVNULL,
                                capture_output=True, text=True, timeout=300)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertTrue(os.path.isfile(os.path.join(self.home, "Corvane-Recomp", "setup.log")))
        self.assertEqual(os.listdir(work), [])
        # No shell expands "~" after "=": the program does.
        result = subprocess.run(command + ["--install-dir=~/x"], env=self.env(), cwd=work,
                                stdin=subprocess.DEVNULL, capture_output=True, text=True,
                                timeout=300)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertTrue(os.path.isfile(os.path.join(self.home, "x", "setup.log")))
        self.assertEqual(os.listdir(work), [])

    def test_file_names_that_are_not_utf8(self):
        # A Linux file name is bytes: the folder and the image are used as named.
        install = os.fsencode(self.dir) + b"/\xff\xfe"
        image = os.fsencode(os.path.dirname(self.image)) + b"/disc \xe9.iso"
        os.rename(self.image, image)
        command = [os.fsencode(a) for a in self.command(source=False)]
        command[command.index(b"--install-dir") + 1] = install
        result = subprocess.run(command + [b"--source", image], env=self.env(),
                                stdin=subprocess.DEVNULL, capture_output=True, timeout=300)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertTrue(os.path.isfile(install + b"/corvane-recomp/build/runtime/"
                                                 b"CorvaneLauncher.exe"))
        self.assertEqual(os.listdir(os.fsencode(self.dir)).count(b"\xff\xfe"), 1)

    def test_an_unpack_stopped_half_way_is_never_used(self):
        slow_unpack(self.root)
        process = subprocess.Popen(self.command(), env=self.env(), stdin=subprocess.DEVNULL,
                                   stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        self.addCleanup(process.kill)
        deadline = time.time() + 120
        while not (os.path.exists(self.log) and any(l.startswith("$ ") and "CMake.zip" in l
                                                    for l in self.lines())):
            self.assertLess(time.time(), deadline, "the unpack never started")
            time.sleep(0.005)
        process.send_signal(signal.SIGINT)
        process.communicate(timeout=60)
        first = self.block()
        self.assertEqual(first[-1], "Cancelled.")
        self.assertFalse([l for l in first if l.startswith("CMake: /")], "the unpack had ended")
        # The clone beside the unpack may have finished first.
        cloned = os.path.isdir(os.path.join(self.repo, ".git"))

        # The archive was verified before its unpack: unpacked, not fetched again.
        self.assertOk(self.setup())
        block = self.block()
        self.assertFalse([l for l in block if l.startswith("CMake: downloading ")])
        self.assertIn("CMake: unpacking the archive an earlier run downloaded and verified, "
                      + os.path.join(self.install, "tools", "CMake.zip"), block)
        self.assertDone(update="The source code was already up to date." if cloned else "")

    def assertFailure(self, result, message, cause=None, shown=None):
        """A failed run's end on standard error: the message (as the console
        shows it), then its cause when there is one and the full log's path;
        setup.log ends with the message alone."""
        self.assertEqual(result.returncode, 1, self.output)
        expected = [shown or message]
        if cause is not None:
            expected.append("  caused by: " + cause)
        expected.append("  full log: " + self.log)
        self.assertEqual(result.stderr.splitlines()[-len(expected):], expected)
        self.assertEqual(self.block()[-1], message)

    def test_a_failed_build(self):
        result = self.setup(env=self.env(CORVANE_BUILD_FAIL="1"))
        self.assertEqual(result.returncode, 1)
        self.assertEqual(self.block()[-1], "The build failed. Run Setup again; if it fails "
                         "again, report it at https://github.com/tallowfen/corvane-recomp/issues "
                         "with setup.log attached.")
        self.assertIn("ninja: build stopped: subcommand failed.", self.block())
        self.assertIn("The build script's exit code: 1", self.block())
        self.assertFailure(result, self.block()[-1],
                           "src/ppc/func_0020.cpp:12:3: error: use of undeclared identifier 'r3'")
        # A traceback's cause is its exception, whatever is printed inside it.
        result = self.setup(env=self.env(CORVANE_BUILD_FAIL="traceback"))
        self.assertFailure(result, self.block()[-1],
                           "OSError: [Errno 28] No space left on device: 'build/obj'")
        # On a terminal the message starts on a cleared line, the status line gone.
        code, output, _ = self.on_terminal(self.command(), self.env(CORVANE_BUILD_FAIL="1"))
        self.assertEqual(code, 1, output)
        at = output.index(b"The build failed. Run Setup again")
        self.assertRegex(output[:at], rb"\r\x1b\[K(\x1b\[[0-9;]*m)?$")
        self.assertNotIn(b"\x1b[K", output[at:])

    def test_a_build_out_of_memory_goes_on_with_fewer_compiles(self):
        """Real CMake, Ninja and clang++ over six units of about 480 MB each
        under a 1200 MB cap: four at once die, two fit."""
        for tool in ("cmake", "ninja", "clang++"):
            if not shutil.which(tool):
                self.skipTest("%s isn't installed (scripts/packages.sh test installs it)" % tool)
        enter = memory_cap(self, 1200 << 20)
        env = self.env(PATH=self.bin + ":/usr/bin:/bin", CORVANE_BUILD_UNITS="6x480",
                       CMAKE_BUILD_PARALLEL_LEVEL="4")
        self.assertOk(self.setup(env=env, preexec_fn=enter))
        block = self.block()
        self.assertTrue([l for l in block if l.startswith(
            "Compiles at once: 4, your CMAKE_BUILD_PARALLEL_LEVEL (")], block)
        self.assertTrue([l for l in block if l == "Killed" or l.startswith(
            "The system's out-of-memory killer ended ")], block)
        self.assertTrue([l for l in self.statuses() if l.startswith(
            "== The build ran out of memory with 4 compiles at once; continuing with ")])
        self.assertTrue([l for l in block if re.match(
            r"Compiles ran up to \d+ at once; the largest used \d+ MB\.$", l)], block)
        self.assertEqual(block[-1], "The build ran short of memory and went on with fewer "
                                    "compiles at once.")

    def test_the_jobserver_fits_the_compiles_to_the_memory(self):
        """Real CMake, Ninja 1.13.2 and clang++ over six units of about 480 MB
        each under a 1150 MB cap: the default count would die, the tokens keep
        it to what fits, and nothing is killed."""
        ninja = os.path.join(TOOLS, "ninja-1.13.2")
        for tool in ("cmake", "clang++", os.path.join(ninja, "ninja")):
            if not shutil.which(tool):
                self.skipTest("%s isn't installed (scripts/packages.sh test installs it)" % tool)
        enter = memory_cap(self, 1150 << 20)
        env = self.env(PATH=ninja + ":" + self.bin + ":/usr/bin:/bin", CORVANE_BUILD_UNITS="6x480",
                       MAKEFLAGS="-k --jobserver-auth=fifo:/nowhere")
        self.assertOk(self.setup(env=env, preexec_fn=enter))
        block = self.block()
        self.assertTrue([l for l in block if l.startswith(
            "Compiles at once: as memory allows, up to 3 (Ninja 1.13.2 takes part")], block)
        ran = [l for l in block if l.startswith("Compiles ran up to ")]
        self.assertRegex(ran[0], r"^Compiles ran up to \d at once; the largest used \d+ MB; "
                                 r"memory held compiles back for \d+ (s|min)\.$")
        self.assertFalse([l for l in block if "out of memory" in l], block)
        with open(os.path.join(MEMORY, os.path.basename(self.dir), "memory.oom_control")) as f:
            self.assertIn("oom_kill 0\n", f.read())
        self.assertDone()

    def test_a_build_without_the_launcher(self):
        result = self.setup(env=self.env(CORVANE_BUILD_NO_LAUNCHER="1"))
        self.assertEqual(result.returncode, 1)
        self.assertEqual(self.block()[-1],
                         "The build finished but CorvaneLauncher.exe isn't there.")

    def test_free_space_and_delete_the_image(self):
        self.assertOk(self.setup("--free-space", "--delete-image"))
        self.assertFalse(os.path.exists(self.image))
        self.assertFalse(os.path.exists(os.path.join(self.install, "tools")))
        self.assertFalse(os.path.exists(os.path.join(self.repo, "generated", "ppc")))
        self.assertFalse(os.path.exists(os.path.join(self.repo, "build", "obj", "func_0001.obj")))
        self.assertFalse(os.path.exists(os.path.join(self.repo, "build", "libgame.a")))
        self.assertTrue(os.path.exists(os.path.join(self.repo, "build", "runtime",
                                                    "CorvaneLauncher.exe")))
        text = open(self.log, encoding="utf-8").read()
        final = text[text.rindex(DONE):].rstrip("\n")
        paragraphs = final.split("\n\n")
        self.assertEqual(len(paragraphs), 4, final)
        self.assertEqual(paragraphs[0], DONE + ".")
        self.assertEqual(paragraphs[1], "Installed in %s." % self.install)
        self.assertTrue(paragraphs[2].startswith("Freed "))
        self.assertTrue(paragraphs[2].endswith(
            " (the next update downloads the tools again and rebuilds from scratch)."))
        self.assertEqual(paragraphs[3], "The disc image was deleted (the game's files are in "
                                        "corvane-recomp/game/extracted).")
        self.assertIn("Deleted the disc image " + self.image, self.lines())

    def test_update_mode_runs_then_starts_the_launcher(self):
        self.assertOk(self.setup())
        command = [SETUP, "--update", self.install, "--github-api", self.base,
                   "--github", "file://" + self.mirror, "--nuget", self.base, "--yes"]
        result = subprocess.run(command, env=self.env(), stdin=subprocess.DEVNULL,
                                capture_output=True, text=True, timeout=300)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        marker = os.path.join(self.repo, "build", "runtime", "launched.txt")
        deadline = time.time() + 10
        while not os.path.exists(marker) and time.time() < deadline:
            time.sleep(0.05)
        with open(marker) as f:
            self.assertEqual(f.read(), "started in %s\n" % os.path.dirname(marker))

    def test_a_source_folder_in_the_way(self):
        os.makedirs(self.repo)
        with open(os.path.join(self.repo, "mine.txt"), "w") as f:
            f.write("keep")
        result = self.setup()
        self.assertEqual(result.returncode, 1)
        self.assertEqual(self.block()[-1], self.repo + " already exists and isn't a copy of the "
                                                       "project. Choose another folder.")
        self.assertEqual(os.listdir(self.repo), ["mine.txt"])

    def test_relative_paths_and_output_without_a_terminal(self):
        self.paced_cmake()
        command = self.command(source=False)
        command[command.index(self.install)] = 'fq"x/inst'
        command += ["--source", os.path.relpath(self.image, self.dir)]
        result = subprocess.run(command, env=self.env(), cwd=self.dir, stdin=subprocess.DEVNULL,
                                capture_output=True, text=True, timeout=300)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        install = os.path.join(self.dir, 'fq"x', "inst")
        self.assertTrue(os.path.isfile(os.path.join(install, "corvane-recomp", "build", "runtime",
                                                    "CorvaneLauncher.exe")))
        self.assertFalse(os.path.exists(os.path.join(install, 'fq"x')))
        self.log = os.path.join(install, "setup.log")
        self.assertTrue(self.block()[0].startswith("Corvane Recompiled Setup, installing to %s; "
                                                   % install))
        self.assertIn('$ python3 -u tools/build.py --iso "%s"' % self.image, self.block())

        lines = result.stdout.splitlines()
        self.assertEqual([a for a, b in zip(lines, lines[1:]) if a == b], [])
        cmake = [l for l in lines if l.startswith(SUMMARY)]
        self.assertTrue(2 <= len(cmake) <= 11, cmake)
        self.assertTrue(any(DOWNLOAD_LINE.match(l) for l in cmake), cmake)
        self.assertEqual(result.stderr, "")
        # The build shows life in a log: a line at least every tenth of it.
        steps = [re.match(r"Building: step (\d+) of 40 \((\d+) %\)$", l) for l in lines]
        percents = [int(m.group(2)) for m in steps if m]
        self.assertEqual([int(m.group(2)) for m in steps if m and int(m.group(1)) * 100 // 40 !=
                          int(m.group(2))], [])
        self.assertTrue(percents and percents[0] <= 10 and percents[-1] == 100, percents)
        self.assertEqual([(a, b) for a, b in zip(percents, percents[1:]) if not 0 < b - a <= 10],
                         [])

    def test_a_narrow_terminal_that_narrows_further(self):
        # The line fits at each width, and a download's figures always show.
        for columns, narrowed in ((80, 40), (60, None), (40, None)):
            with self.subTest(columns=columns):
                shutil.rmtree(self.install, ignore_errors=True)
                self.paced_cmake()
                resize = narrowed and (narrowed, lambda out: b"MB/s" in out)
                code, output, mark = self.on_terminal(self.command(), self.env(), columns, resize)
                self.assertEqual(code, 0, output)
                lines = drawn(output[:mark])
                cmake = [l for l in lines if "MB/s" in l]
                self.assertTrue([l for l in cmake if l.endswith(" s left")], lines)
                self.assertEqual([l for l in cmake if not FIGURES.search(l)], [])
                self.assertEqual([l for l in lines if len(l) >= columns], [])
                # One figure for the whole run, which never goes back.
                percents = [int(m.group(1)) for m in map(PERCENT.search, lines) if m]
                self.assertEqual(percents, sorted(percents))
                self.assertIn(DONE.encode(), output)
                if not narrowed:
                    # The summary is broken between words, within the width
                    # (a longer path stands alone).
                    end = output.decode().split("\r\x1b[K")[-1].splitlines()
                    self.assertEqual([l for l in end if len(l) >= columns and " " in l], [])
                    self.assertIn(DONE, " ".join(end))
                    continue
                # The old line, wrapped onto two rows by the narrower
                # terminal, is cleared whole; later lines fit the new width.
                self.assertIsNotNone(mark)
                self.assertIn(ROW_ABOVE.encode(), output[mark:])
                after = drawn(output[output.index(ROW_ABOVE.encode(), mark):])
                self.assertTrue(any("Building" in l for l in after), after)
                self.assertEqual([l for l in after if len(l) >= narrowed], [])

    def test_console_messages(self):
        def run(*args, **kwargs):
            return subprocess.run([SETUP, *args], env=self.env(), stdin=subprocess.DEVNULL,
                                  capture_output=True, text=True, timeout=60, **kwargs)

        result = run("--bogus=1", "--source", self.image)
        self.assertEqual((result.returncode, result.stdout, result.stderr),
                         (2, "", "Unknown option --bogus. Try --help.\n"))
        result = run("--version")
        self.assertEqual(result.returncode, 0)
        self.assertRegex(result.stdout, r"^corvane-setup 0\.1\.0 \([0-9a-f]{7}\)\n$")
        result = run("--help")
        self.assertEqual(result.returncode, 0)
        self.assertIn("Exit codes: 0 done, 1 the run failed, 2 a mistake on the command line,\n"
                      "130 cancelled with Ctrl-C.", result.stdout)
        self.assertEqual([l for l in result.stdout.splitlines() if len(l) > 79], [])

        # Without a source: the option is named; a failure goes to standard
        # error, marked on a terminal only, and never with NO_COLOR.
        # The full log's path follows, unmarked.
        full_log = "  full log: %s\n" % self.log
        result = self.setup(source=False)
        self.assertEqual((result.returncode, result.stdout, result.stderr),
                         (1, "", NO_SOURCE + "\n" + full_log))
        # On a terminal (80 columns) it is broken between words.
        wrapped = textwrap.fill(NO_SOURCE, 79, break_on_hyphens=False)
        code, output, _ = self.on_terminal(self.command(source=False), self.env())
        self.assertEqual(code, 1)
        self.assertIn(b"\x1b[1;31m" + wrapped.replace("\n", "\r\n").encode() + b"\x1b[0m\r\n",
                      output)
        code, output, _ = self.on_terminal(self.command(source=False), self.env(NO_COLOR="1"))
        self.assertEqual(output.replace(b"\r\x1b[K", b""),
                         (wrapped + "\n" + full_log).replace("\n", "\r\n").encode())
        self.assertEqual(self.block()[-1], NO_SOURCE[:-len(" (--source PATH).")] + ".")

    def test_low_disk_answered_no(self):
        command = [c for c in self.command() if c != "--yes"]
        result = subprocess.run(command, env=self.env(LD_PRELOAD=LOWDISK),
                                stdin=subprocess.DEVNULL, capture_output=True, text=True,
                                timeout=60)
        self.assertEqual(result.returncode, 1, result.stdout + result.stderr)
        # Nobody could answer: the output says what was asked, the answer and
        # how a script says yes, then what to do instead; the new folder was
        # never made.
        mount = self.install
        while not os.path.ismount(mount):
            mount = os.path.dirname(mount)
        self.assertEqual(result.stderr, "The drive mounted at %s has 1.0 GB free; about 12 GB is "
                                        "needed. Continue anyway? No (--yes answers Yes)\n"
                                        "Choose a folder on another drive, or free 11 GB on the "
                                        "drive mounted at %s.\n" % (mount, mount))
        self.assertFalse(os.path.exists(self.install))
        # --yes answers it Yes, and the log says so.
        result = self.setup(env=self.env(LD_PRELOAD=LOWDISK))
        self.assertEqual(result.returncode, 0, self.output)
        self.assertTrue([l for l in self.block() if l.startswith(
            "Answered Yes (--yes): The drive mounted at %s has 1.0 GB free" % mount)])

    def test_ctrl_c_at_the_low_disk_question_answers_it(self):
        # A terminal to ask on, and no answer ever typed.
        master, terminal = pty.openpty()
        self.addCleanup(os.close, master)
        command = [c for c in self.command() if c != "--yes"]
        process = subprocess.Popen(command, env=self.env(LD_PRELOAD=LOWDISK), stdin=terminal,
                                   stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        os.close(terminal)
        self.addCleanup(process.kill)
        said = b""
        deadline = time.time() + 60
        while b"Continue anyway?" not in said:
            self.assertLess(time.time(), deadline, said)
            if select.select([process.stdout], [], [], 1)[0]:
                said += os.read(process.stdout.fileno(), 4096)
        time.sleep(0.5)  # the question waits for its answer, however long
        asked = time.time()
        process.send_signal(signal.SIGINT)
        process.communicate(timeout=30)
        print("Ctrl-C at the question to exit: %.2f s" % (time.time() - asked), file=sys.stderr)
        self.assertEqual(process.returncode, 130)
        self.assertFalse(os.path.exists(self.install))

    def test_a_damaged_or_foreign_download_is_not_unpacked(self):
        damaged = "The download of CMake was damaged (its checksum doesn't match). Try again."
        cases = [
            ("damaged", damaged),
            ("damaged, by a digest in capitals", damaged),
            ("damaged, by a SHA-512 digest", damaged),
            ("sign-in page", "The download of CMake isn't an archive (a network sign-in page or a "
                             "proxy may have answered instead)."),
        ]
        for case, message in cases:
            with self.subTest(case):
                archive = os.path.join(os.path.dirname(self.root), self.cmake())
                if case == "damaged":
                    self.cmake(digest="sha256:" + hashlib.sha256(b"another file").hexdigest())
                elif case == "damaged, by a digest in capitals":
                    self.cmake(digest="SHA256:" + hashlib.sha256(b"another").hexdigest().upper())
                elif case == "damaged, by a SHA-512 digest":
                    self.cmake(digest="sha512:" + hashlib.sha512(b"another file").hexdigest())
                else:
                    with open(archive, "wb") as f:
                        f.write(b"<html><body>Sign in to use this network</body></html>")
                result = self.setup()
                self.assertEqual(result.returncode, 1, self.output)
                self.assertEqual(self.block()[-1], message)
                tools = os.path.join(self.install, "tools")
                self.assertFalse(os.path.exists(os.path.join(tools, "CMake")))
                self.assertFalse(os.path.exists(os.path.join(tools, "CMake.zip")))
                self.assertFalse(os.path.exists(os.path.join(tools, "CMake.zip.part")))

    def test_checksums_of_every_form(self):
        # CMake's in capitals, as published; Ninja's of a kind not checked.
        with open(os.path.join(os.path.dirname(self.root), self.cmake()), "rb") as f:
            self.cmake(digest="SHA256:" + hashlib.sha256(f.read()).hexdigest().upper())

        def md5(assets):
            for asset in assets:
                if asset["name"] == "ninja-linux.zip":
                    asset["digest"] = "md5:0123456789abcdef0123456789abcdef"
        self.release("ninja-build/ninja", md5)
        self.assertOk(self.setup())
        block = self.block()
        self.assertIn("Ninja: a checksum of an unknown kind (md5) was published; it isn't checked",
                      block)
        self.assertFalse([l for l in block if l.startswith("CMake: ") and "checksum" in l])

    def test_network_failures_say_what_happened(self):
        """One row per kind of failure; the cause is the last attempt's reason."""
        reset = 1767225600 + 7 * 3600 + 25 * 60  # 2026-01-01 07:25 UTC
        host = self.server[len("http://"):]
        name = "cmake-3.31.0-linux-x86_64.tar.gz"
        secure = (r"A secure connection to GitHub couldn't be made \(.+\)\. A security program "
                  r"or a company proxy may be in the way\.")
        cases = [
            # case, --github-api, CMake's URL, environment, final message, cause
            ("a server error", self.server + "/status/503", None, {},
             re.escape("GitHub answered with an error (503). Try again later."), "status 503"),
            ("a refusing proxy", "http://refused.invalid", None,
             {"http_proxy": self.server, "no_proxy": ""},
             re.escape("The proxy %s didn't let Setup through to GitHub." % host), "status 407"),
            ("an unreachable proxy", None, None, {"http_proxy": "http://127.0.0.1:9",
                                                  "no_proxy": ""},
             re.escape("The proxy 127.0.0.1:9 didn't let Setup through to GitHub."), None),
            ("a failed secure connection", self.server.replace("http:", "https:"), None, {},
             secure, None),
            ("a refused connection on a download", None, "http://127.0.0.1:9/" + name, {},
             re.escape("Couldn't download CMake."), "Failed to connect to 127.0.0.1 port 9 .+"),
            ("a server error on a download", None, "%s/status/503/%s" % (self.server, name), {},
             re.escape("%s answered with an error (503). Try again later." % host),
             "status 503"),
            ("a rate limit on a download", None,
             "%s/ratelimit;code=429/%d/%s" % (self.server, reset, name), {"TZ": "UTC"},
             re.escape("GitHub's limit of requests from this network is used up until 07:25 "
                       "(local time). Try again then; a GitHub token in GITHUB_TOKEN raises "
                       "the limit (make one, with no scopes, at "
                       "https://github.com/settings/tokens)."),
             "status 429, the rate limit is used up"),
        ]
        for case, api, url, env, message, cause in cases:
            with self.subTest(case):
                if url:
                    self.cmake(browser_download_url=url)
                command = self.command()
                if api:
                    command[command.index("--github-api") + 1] = api
                result = subprocess.run(command, env=self.env(**env), stdin=subprocess.DEVNULL,
                                        capture_output=True, text=True, timeout=120)
                self.assertEqual(result.returncode, 1, result.stdout + result.stderr)
                self.assertRegex(self.block()[-1], "^%s$" % message)
                self.assertIn(self.block()[-1], result.stderr)
                failed = [l for l in self.block() if l.startswith("Couldn't get ")]
                self.assertTrue(failed)
                if cause:
                    self.assertRegex(failed[-1], ": %s \\(attempt [123] of 3\\)$" % cause)
                # The console shows the reason under the message, then the log.
                said = result.stderr.splitlines()
                self.assertTrue(said[-2].startswith("  caused by: "), said)
                self.assertEqual(said[-1], "  full log: " + self.log)

    def test_a_cut_download_is_resumed_by_the_next_run(self):
        self.paced_cmake()
        name = "cmake-3.31.0-linux-x86_64.tar.gz"
        size = os.path.getsize(os.path.join(self.root, "download", "Kitware", "CMake", name))
        part = os.path.join(self.install, "tools", "CMake.zip.part")

        def ranges():
            with open(os.path.join(os.path.dirname(PORT_FILE), "ranges.log")) as f:
                return [l.split()[-1] for l in f if "/%s/" % self.name in l and name in l]

        for case, sig, code in [("Ctrl-C", signal.SIGINT, 130), ("a crash", signal.SIGKILL, -9)]:
            with self.subTest(case):
                shutil.rmtree(self.install, ignore_errors=True)
                self.cut_cmake(sig, code)
                kept = os.path.getsize(part)
                self.assertLess(kept, size)
                with open(part + ".info") as f:
                    record = f.read().split("\n")
                self.assertEqual(record[1], str(size))

                before = ranges()
                self.assertOk(self.setup())
                block = self.block()
                self.assertIn("== Resuming CMake at %.0f MB" % (kept / 1048576), block)
                # One request for the rest; the archive passed its published digest.
                self.assertEqual(ranges(), before + ["bytes=%d-" % kept])
                self.assertFalse([l for l in block if l.startswith("CMake: ") and "checksum" in l])
                self.assertFalse(os.path.exists(part))
                self.assertFalse(os.path.exists(part + ".info"))

    def cut_cmake(self, sig=signal.SIGKILL, code=-9):
        """A run whose download of CMake is cut at about 40 %."""
        name = "cmake-3.31.0-linux-x86_64.tar.gz"
        size = os.path.getsize(os.path.join(self.root, "download", "Kitware", "CMake", name))
        part = os.path.join(self.install, "tools", "CMake.zip.part")
        process = subprocess.Popen(self.command(), env=self.env(), stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.time() + 60
        while not (os.path.exists(part) and os.path.getsize(part) >= size * 0.4):
            if time.time() > deadline or process.poll() is not None:
                process.kill()
                self.fail("the download never got there")
            time.sleep(0.02)
        process.send_signal(sig)
        self.assertEqual(process.wait(timeout=120), code)

    def test_a_resume_of_a_changed_file_starts_again(self):
        # A server that ignores If-Range, no digest published: the archive
        # changes between the runs, at the same URL and length.
        padding = bytearray(os.urandom(4 << 20))
        old = self.paced_cmake("paced;ifrange=0", digest=False, padding=bytes(padding))
        self.cut_cmake()
        new = b""
        while len(new) != len(old):  # a new ETag, the same length
            padding[3 << 20:] = os.urandom(1 << 20)  # past the part kept
            new = self.paced_cmake("paced;ifrange=0", digest=False, padding=bytes(padding))
        self.assertOk(self.setup())
        self.assertTrue([l for l in self.block() if l.endswith(
            ": status 206 for another version of the file; asked again from the start "
            "(attempt 1 of 3)")])
        with tarfile.open(fileobj=io.BytesIO(new)) as archive:
            padding = archive.extractfile("cmake-3.31.0-linux-x86_64/share/padding").read()
        with open(os.path.join(self.install, "tools", "CMake", "cmake-3.31.0-linux-x86_64",
                               "share", "padding"), "rb") as f:
            self.assertEqual(f.read(), padding)

    def test_githubs_rate_limit_says_until_when(self):
        reset = 1767225600 + 7 * 3600 + 25 * 60  # 2026-01-01 07:25 UTC
        api = "%s/ratelimit/%d" % (self.server, reset)
        command = self.command()
        command[command.index("--github-api") + 1] = api
        # Local time half an hour off any whole hour, so that a clock in UTC shows.
        result = subprocess.run(command, env=self.env(TZ="XYZ-5:30"), stdin=subprocess.DEVNULL,
                                capture_output=True, text=True, timeout=60)
        self.assertEqual(result.returncode, 1, result.stdout + result.stderr)
        local = time.strftime("%H:%M", time.gmtime(reset + 5 * 3600 + 30 * 60))
        self.assertEqual(self.block()[-1], "GitHub's limit of requests from this network is used "
                                           "up until %s (local time). Try again then; a GitHub "
                                           "token in GITHUB_TOKEN raises the limit (make one, "
                                           "with no scopes, at https://github.com/settings/"
                                           "tokens)." % local)
        # The lookups run side by side: the first answer stops them all.
        failed = [l for l in self.block() if l.startswith("Couldn't get ")]
        self.assertTrue(failed)
        self.assertEqual([l for l in failed if not re.match(
            "Couldn't get %s/repos/.+: status 403, the rate limit is used up \\(attempt 1 of 3\\)$"
            % api, l)], [])

    def test_a_token_github_refuses_is_left_out(self):
        # Expired or revoked: GitHub answers 401 to whatever carries it.
        command = self.command()
        api = command.index("--github-api") + 1
        command[api] = self.base.replace("/web/", "/badtoken/web/")
        def run():
            result = subprocess.run(command, env=self.env(GH_TOKEN="expired"),
                                    stdin=subprocess.DEVNULL, capture_output=True, text=True,
                                    timeout=300)
            self.output = result.stdout + result.stderr
            return result
        self.assertOk(run())
        self.assertIn("GitHub refused the token in GH_TOKEN (expired or revoked?); going on "
                      "without it", self.block())
        # Without it the limit is the network's: its message says why.
        shutil.rmtree(self.install)
        command[api] = "%s/badtoken/ratelimit/%d" % (self.server, time.time() + 3600)
        self.assertEqual(run().returncode, 1, self.output)
        self.assertRegex(self.block()[-1], "^GitHub refused the token in GH_TOKEN \\(expired "
                         "or revoked\\?\\), and its limit of requests from this network without "
                         "one is used up until [0-9:]+ \\(local time\\)\\. Renew the token")

    def test_downloads_are_resumed_and_tried_again(self):
        # CMake's archive is cut after 100 bytes and resumed from there;
        # Ninja's fails twice, then comes.
        path = self.cmake()
        self.cmake(browser_download_url="%s/cut/100/%s" % (self.server, path))
        ninja = "%s/download/ninja-build/ninja/ninja-linux.zip" % self.name

        def flaky(assets):
            for asset in assets:
                if asset["name"] == "ninja-linux.zip":
                    asset["browser_download_url"] = "%s/flaky/%s/%s" % (self.server, self.name,
                                                                       ninja)
        self.release("ninja-build/ninja", flaky)
        result = self.setup()
        self.assertOk(result)
        size = os.path.getsize(os.path.join(os.path.dirname(self.root), path))
        failed = [l for l in self.block() if l.startswith("Couldn't get ")]
        self.assertEqual(sorted(failed), [
            "Couldn't get %s/cut/100/%s: the answer ended after 100 of %d bytes (attempt 1 of 3)"
            % (self.server, path, size),
            "Couldn't get %s/flaky/%s/%s: status 503 (attempt 1 of 3)" % (self.server, self.name,
                                                                         ninja),
            "Couldn't get %s/flaky/%s/%s: status 503 (attempt 2 of 3)" % (self.server, self.name,
                                                                         ninja)])
        # The resumed archive passed its digest: its bytes are the original's.
        self.assertIn("Ninja: no checksum published for this download", self.block())

    def test_a_cancel_ends_waits_and_stalled_transfers_at_once(self):
        """Prints the seconds from Ctrl-C to the end of the run."""
        name = "/cmake-3.31.0-linux-x86_64.tar.gz"
        cases = [
            ("the wait between attempts", None, "/flaky;fail=9/%s%s" % (self.name, name),
             lambda lines: any(l.endswith("(attempt 1 of 3)") for l in lines)),
            ("a stalled release answer", self.server + "/stall;wait=60", None,
             lambda lines: "== Checking the tools" in lines),
            ("a stalled download", None, "/stall;n=10000000;sent=1000;wait=60" + name,
             lambda lines: any(l.startswith("CMake: downloading") for l in lines)),
        ]
        for case, api, url, ready in cases:
            with self.subTest(case):
                if url:
                    self.cmake(browser_download_url=self.server + url)
                took = self.interrupt(ready, api=api)
                sys.stderr.write("\nCtrl-C during %s: the run ended %.2f s later\n" % (case, took))
        # The stalled lookup and download end as cancels, not as failures.
        self.assertFalse([l for l in self.lines() if l.startswith("Couldn't reach")])
        # What the cancels left doesn't stand in the next run's way.
        self.cmake(browser_download_url="%s/web/%s/download/Kitware/CMake%s" % (
            self.server, self.name, name))
        self.assertOk(self.setup())

    def test_disk_problems_are_named(self):
        tools = os.path.join(self.install, "tools")
        os.makedirs(tools)
        # A download into a full drive (/dev/full answers every write so).
        os.symlink("/dev/full", os.path.join(tools, "CMake.zip.part"))
        result = self.setup()
        self.assertEqual(result.returncode, 1, self.output)
        mount = self.install
        while not os.path.ismount(mount):
            mount = os.path.dirname(mount)
        self.assertEqual(self.block()[-1], "There isn't enough free space on %s to download "
                                           "CMake (0 MB)." % mount)
        self.assertFalse(os.path.lexists(os.path.join(tools, "CMake.zip.part")))

        # An install folder nobody may write to; root is held back only by
        # an immutable folder.
        locked = os.path.join(self.dir, "locked")
        os.makedirs(locked)
        if os.geteuid() == 0:
            if subprocess.run(["chattr", "+i", locked], capture_output=True).returncode != 0:
                self.skipTest("no immutable folders here")
            self.addCleanup(subprocess.run, ["chattr", "-i", locked])
        else:
            os.chmod(locked, 0o555)
        self.install = locked
        result = self.setup()
        self.assertEqual(result.returncode, 1, self.output)
        self.assertRegex(self.output, "Setup can't write to %s: [A-Z][^\n]+\\." % locked)
        self.assertEqual(os.listdir(locked), [])

    def test_failures_name_their_cause_and_the_log(self):
        """Each failure: its message, the program's own error line or the
        system's reason under it, and setup.log's path."""
        def no_mirror():
            os.rename(self.mirror, self.mirror + ".away")
            return [], None

        def lazy_git():
            # A git whose clone ends well and makes nothing.
            lazy = os.path.join(self.dir, "lazy")
            os.makedirs(lazy)
            os.symlink(shutil.which("sh"), os.path.join(lazy, "sh"))
            with open(os.path.join(lazy, "git"), "w") as f:
                f.write('#!/bin/sh\nfor a; do [ "$a" = clone ] && exit 0; done\nexec %s "$@"\n'
                        % shutil.which("git"))
            os.chmod(os.path.join(lazy, "git"), 0o755)
            return [], lazy

        def damaged_archive():
            # Published without a digest, a gzip stream that breaks off; the
            # clone beside it succeeds.
            os.rename(self.mirror + ".away", self.mirror)
            path = os.path.join(os.path.dirname(self.root), self.cmake(digest=None))
            with open(path, "wb") as f:
                f.write(b"\x1f\x8b\x08\x00" + os.urandom(4096))
            return [], None

        cases = [
            ("a clone that fails", no_mirror,
             "Couldn't download the source code from GitHub.", re.compile(r"fatal: .+")),
            ("a clone git never made", lazy_git,
             "git ended without making the clone in %s.partial." % self.repo, None),
            ("an archive that won't unpack", damaged_archive,
             "Couldn't unpack CMake: the archive is damaged or unsafe.", re.compile(r".+")),
        ]
        for case, prepare, message, cause in cases:
            with self.subTest(case):
                args, path = prepare()
                result = self.setup(*args, env=self.env(PATH=path) if path else None)
                lines = result.stderr.splitlines()
                self.assertEqual(result.returncode, 1, self.output)
                self.assertEqual(self.block()[-1], message)
                if cause:
                    self.assertEqual(lines[-3], message)
                    self.assertTrue(lines[-2].startswith("  caused by: "), lines)
                    self.assertRegex(lines[-2][len("  caused by: "):], cause)
                    self.assertEqual(self.block()[-2], "caused by: " + lines[-2][13:])
                else:
                    self.assertEqual(lines[-2], message)
                self.assertEqual(lines[-1], "  full log: " + self.log)
                shutil.rmtree(self.install)

        # A folder that can't be made names the system's reason; no log is
        # there. Root is held back only by an immutable folder.
        parent = os.path.join(self.dir, "read-only")
        os.makedirs(parent)
        if os.geteuid() == 0:
            if subprocess.run(["chattr", "+i", parent], capture_output=True).returncode != 0:
                self.skipTest("no immutable folders here")
            self.addCleanup(subprocess.run, ["chattr", "-i", parent])
        else:
            os.chmod(parent, 0o555)
        self.install = os.path.join(parent, "Corvane-Recomp")
        result = self.setup()
        self.assertEqual(result.returncode, 1, self.output)
        self.assertRegex(result.stderr, "^Couldn't create %s: [A-Z][^\n]+\\.\n$"
                         % re.escape(self.install))
        self.assertFalse(os.path.exists(self.install))

    def test_the_source_is_checked_before_the_first_download(self):
        folder = os.path.join(self.dir, "disc folder")
        os.makedirs(os.path.join(folder, "levels"))
        fifo = os.path.join(self.dir, "fifo.iso")
        os.mkfifo(fifo)
        loop = os.path.join(self.dir, "loop.iso")
        os.symlink(loop + ".2", loop)
        os.symlink(loop, loop + ".2")
        blank = os.path.join(self.dir, "blank.iso")
        with open(blank, "wb") as f:
            f.write(os.urandom(2 << 20))
        cases = [
            (folder, folder + " isn't an extracted disc: default.xex isn't in it.", None),
            (fifo, fifo + " isn't a disc image Setup can read.",
             "it is neither a file nor a folder (a device, a pipe or a socket)"),
            (loop, loop + " isn't a disc image Setup can read.",
             "Too many levels of symbolic links"),
            (blank, blank + " doesn't look like an Xbox 360 disc image.", None),
        ]
        for source, message, cause in cases:
            with self.subTest(source):
                command = [c for c in self.command(source=False) if c != "--yes"]
                result = subprocess.run(command + ["--source", source], env=self.env(),
                                        stdin=subprocess.DEVNULL, capture_output=True,
                                        text=True, timeout=60)
                self.output = result.stdout + result.stderr
                shown = message + " --yes uses it anyway." if source == blank else None
                self.assertFailure(result, message, cause, shown)
                self.assertEqual(self.statuses(), [])

    def test_command_line_paths_are_checked_before_anything_is_made(self):
        usage = subprocess.run([SETUP, "--help"], capture_output=True, text=True).stdout

        nowhere = os.path.join(self.dir, "nowhere")
        empty = os.path.join(self.dir, "empty")
        os.makedirs(empty)
        # Said in the language of LANG or --language; English for C or one Setup hasn't.
        cases = [
            ([], None, "C.UTF-8"),
            (["--source", nowhere + ".iso"], nowhere + ".iso doesn't exist.", "C.UTF-8"),
            (["--source", "nowhere.iso"], nowhere + ".iso doesn't exist.", "C.UTF-8"),
            (["--update", nowhere], nowhere + " doesn't exist.", "C.UTF-8"),
            (["--update", empty], empty + " holds no install to update (no corvane-recomp in "
                                  "it).", "C.UTF-8"),
            (["--update", nowhere], nowhere + " existiert nicht.", "de_DE.UTF-8"),
            (["--language", "ja", "--update", nowhere], nowhere + " は存在しません。", "de_DE.UTF-8"),
            (["--update", nowhere], nowhere + " doesn't exist.", "fi_FI.UTF-8"),
            (["--update", nowhere], nowhere + " doesn't exist.", "C"),
            (["--language", "xx"], "Die Sprache xx gibt es nicht: Wähle eine von en, de, es, fr, "
                                   "ja, ko, pt-BR, ru, zh-CN. Siehe --help.", "de_DE.UTF-8"),
        ]
        for args, message, lang in cases:
            with self.subTest(args[:1], lang=lang):
                # No arguments at all: the usage, and nothing made in HOME.
                command = self.command(source=False) if args else [SETUP]
                if "--update" in args:
                    at = command.index("--install-dir")
                    del command[at:at + 2]
                result = subprocess.run(command + args, env=self.env(LANG=lang), cwd=self.dir,
                                        stdin=subprocess.DEVNULL, capture_output=True,
                                        text=True, timeout=60)
                # A path is named as resolved, without a pointer to --help.
                shown = message + "\n" if args else usage
                self.assertEqual((result.returncode, result.stdout, result.stderr),
                                 (2, "", shown))
                self.assertEqual(os.listdir(self.home), [])
                self.assertFalse(os.path.exists(self.install))
                self.assertFalse(os.path.exists(nowhere))
                self.assertEqual(os.listdir(empty), [])

    def test_a_huge_release_answer_is_refused(self):
        self.release("Kitware/CMake", lambda assets: assets.append({"name": "x" * (9 << 20)}))
        result = self.setup()
        self.assertEqual(result.returncode, 1, self.output)
        self.assertEqual(self.block()[-1], "GitHub's answer was larger than Setup accepts (8 MB).")
        self.assertEqual([l for l in self.block() if l.startswith("Couldn't get ")],
                         ["Couldn't get %s/repos/Kitware/CMake/releases/latest: the answer is "
                          "larger than 8 MB (attempt 1 of 3)" % self.base])

    def test_a_builds_daemon_neither_holds_the_run_nor_outlives_it(self):
        pids = os.path.join(self.dir, "pids")
        daemon = {"CORVANE_BUILD_DAEMON": "60"}  # its id goes to pids after the build's

        def alive_now():
            with open(pids) as f:
                return [p for p in map(int, f.read().split()) if alive(p)]
        self.addCleanup(lambda: [os.kill(p, signal.SIGKILL) for p in alive_now()])
        started = time.time()
        self.assertOk(self.setup(env=self.env(CORVANE_BUILD_PIDS=pids, **daemon)))
        self.assertLess(time.time() - started, 30)
        self.assertEqual(alive_now(), [])
        for case in ("Ctrl-C", "kill -9, and a run at once", "kill -9 of the process group"):
            with self.subTest(case):
                process = self.start_slow_build(pids, own_group=case.endswith("group"), **daemon)
                asked = time.time()
                if case == "Ctrl-C":
                    process.send_signal(signal.SIGINT)
                else:
                    os.killpg(process.pid, signal.SIGKILL) if "group" in case else process.kill()
                process.communicate(timeout=60)
                self.assertLess(time.time() - asked, 1)
                time.sleep(0.5)
                self.assertEqual(alive_now(), [])
                if case == "kill -9, and a run at once":
                    self.assertOk(self.setup(source=False))

    def test_a_kill_while_freeing_space_never_leaves_a_half_tool(self):
        cmake = "cmake-3.31.0-linux-x86_64"
        files = {cmake + "/share/%04d" % i: b"x" for i in range(3000)}  # a delete that takes a while
        files[cmake + "/bin/cmake"] = web.STUB % "cmake 3.31.0"
        web.Web(self.root, self.base, None).write("download/Kitware/CMake/%s.tar.gz" % cmake,
                                                  web.tar_of(files, "w:gz"))
        self.cmake(digest=None)
        self.assertOk(self.setup())
        process = subprocess.Popen(self.command("--free-space", source=False), env=self.env(),
                                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
        self.addCleanup(process.kill)
        home = os.path.join(self.install, "tools", "CMake", cmake)
        share, deadline = os.path.join(home, "share"), time.time() + 120
        while os.path.exists(share) and len(os.listdir(share)) == 3000:  # killed as they go
            self.assertLess(time.time(), deadline, "the delete never started")
            time.sleep(0.001)
        process.kill()
        process.wait()
        if os.path.exists(os.path.join(home, "bin", "cmake")):  # a whole tool, or none
            self.assertEqual(len(os.listdir(share)), 3000)
        self.assertOk(self.setup(source=False))
        self.assertEqual(len(os.listdir(share)), 3000)

if __name__ == "__main__":
    SETUP, PORT_FILE, LOWDISK = (os.path.abspath(a) for a in sys.argv[1:4])
    unittest.main(argv=[sys.argv[0]] + sys.argv[4:], verbosity=2)
