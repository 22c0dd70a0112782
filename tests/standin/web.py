#!/usr/bin/env python3
"""Lays out a stand-in for the web services the setup program talks to.

    web.py ROOT BASE PLATFORM [EXE_DIR]

ROOT is the folder the test server's /web/ route serves, BASE the URL that
maps to it (http://127.0.0.1:PORT/web/NAME), PLATFORM linux or windows.
Under ROOT it writes what GitHub's REST API, GitHub's release downloads and
NuGet's flat container would answer:

    repos/OWNER/REPO/releases/latest       release JSON, decoy assets included
    download/OWNER/REPO/ASSET              the archives
    v3-flatcontainer/python/...            the Python package list and package

so that the program, pointed at BASE with its mirror options, finds,
downloads and unpacks every tool. The archives hold small stand-in
programs at the depths the real ones have them. On Linux they are shell
scripts (python3 hands over to the system's Python); on Windows they are
copies of the programs in EXE_DIR (NAME.exe for each tool, when there),
and the zips are stored without compression.

Two extra repositories under corvane-test/ hold archives the tool stage
must reject: "deep" with the program four folders down, "case" with the
program's name in other letters.
"""

import io
import json
import os
import sys
import tarfile
import zipfile

STUB = "#!/bin/sh\necho \"%s (stand-in)\"\n"
PYTHON = "#!/bin/sh\nexec /usr/bin/python3 \"$@\"\n"


def release(tag, urls):
    assets = [{"name": u.rsplit("/", 1)[-1], "browser_download_url": u} for u in urls]
    return json.dumps({"tag_name": tag, "name": tag, "assets": assets}, indent=1)


class Web:
    def __init__(self, root, base, exe_dir):
        self.root, self.base, self.exe_dir = root, base.rstrip("/"), exe_dir

    def write(self, path, data):
        full = os.path.join(self.root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "wb") as f:
            f.write(data if isinstance(data, bytes) else data.encode())

    def repo(self, repo, tag, assets, decoys=()):
        """assets: {file name: archive bytes}; decoys are listed, not served."""
        urls = ["%s/download/%s/%s" % (self.base, repo, name) for name in list(decoys) + list(assets)]
        self.write("repos/%s/releases/latest" % repo, release(tag, urls))
        for name, data in assets.items():
            self.write("download/%s/%s" % (repo, name), data)

    def program(self, name, text):
        """A stand-in program's bytes: the Windows one built for it, or a script."""
        if self.exe_dir:
            path = os.path.join(self.exe_dir, name)
            if os.path.exists(path):
                with open(path, "rb") as f:
                    return f.read()
        return text.encode()


def zip_of(files):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", zipfile.ZIP_STORED) as z:
        for name, data in files.items():
            info = zipfile.ZipInfo(name, (2024, 1, 1, 0, 0, 0))
            info.external_attr = 0o755 << 16
            z.writestr(info, data)
    return buffer.getvalue()


def tar_of(files, mode):
    buffer = io.BytesIO()
    with tarfile.open(fileobj=buffer, mode=mode) as t:
        for name, data in files.items():
            info = tarfile.TarInfo(name)
            info.size, info.mode, info.mtime = len(data), 0o755, 1704067200
            t.addfile(info, io.BytesIO(data))
    return buffer.getvalue()


def linux(web):
    p = web.program
    cmake = "cmake-3.31.0-linux-x86_64"
    web.repo("Kitware/CMake", "v3.31.0",
             {cmake + ".tar.gz": tar_of({cmake + "/bin/cmake": p("cmake", STUB % "cmake 3.31.0")}, "w:gz")},
             decoys=["cmake-3.31.0-linux-aarch64.tar.gz", "cmake-3.31.0-windows-x86_64.zip",
                     "cmake-3.31.0-linux-x86_64.tar.gz.sha256"])
    web.repo("ninja-build/ninja", "v1.12.1",
             {"ninja-linux.zip": zip_of({"ninja": p("ninja", STUB % "ninja 1.12.1")})},
             decoys=["ninja-linux-aarch64.zip", "ninja-win.zip"])
    llvm = "llvm-mingw-20241119-ucrt-ubuntu-20.04-x86_64"
    web.repo("mstorsjo/llvm-mingw", "20241119",
             {llvm + ".tar.xz": tar_of({llvm + "/bin/clang++": p("clang++", STUB % "clang 19")}, "w:xz")},
             decoys=["llvm-mingw-20241119-msvcrt-ubuntu-20.04-x86_64.tar.xz",
                     "llvm-mingw-20241119-ucrt-x86_64.zip"])
    py = "cpython-3.12.7+20241016-x86_64-unknown-linux-gnu-install_only.tar.gz"
    web.repo("astral-sh/python-build-standalone", "20241016",
             {py: tar_of({"python/bin/python3": PYTHON.encode()}, "w:gz")},
             decoys=["cpython-3.13.0+20241016-x86_64-unknown-linux-gnu-install_only.tar.gz",
                     "cpython-3.12.7+20241016-aarch64-unknown-linux-gnu-install_only.tar.gz"])
    web.repo("corvane-test/deep", "v1",
             {"ninja-linux.zip": zip_of({"a/b/c/d/ninja": STUB.encode() % b"deep"})})
    web.repo("corvane-test/case", "v1", {"ninja-linux.zip": zip_of({"bin/NINJA": STUB.encode() % b"case"})})


def windows(web):
    p = web.program
    web.repo("git-for-windows/git", "v2.47.1.windows.1",
             {"MinGit-2.47.1-64-bit.zip": zip_of({"cmd/git.exe": p("git.exe", "git")})},
             decoys=["MinGit-2.47.1-32-bit.zip", "MinGit-2.47.1-busybox-64-bit.zip",
                     "Git-2.47.1-64-bit.exe"])
    cmake = "cmake-3.31.0-windows-x86_64"
    web.repo("Kitware/CMake", "v3.31.0",
             {cmake + ".zip": zip_of({cmake + "/bin/cmake.exe": p("cmake.exe", "cmake")})},
             decoys=["cmake-3.31.0-windows-x86_64.msi", "cmake-3.31.0-windows-i386.zip",
                     "cmake-3.31.0-windows-x86_64.zip.sha256"])
    web.repo("ninja-build/ninja", "v1.12.1",
             {"ninja-win.zip": zip_of({"ninja.exe": p("ninja.exe", "ninja")})},
             decoys=["ninja-linux.zip", "ninja-winarm64.zip"])
    llvm = "llvm-mingw-20241119-ucrt-x86_64"
    web.repo("mstorsjo/llvm-mingw", "20241119",
             {llvm + ".zip": zip_of({llvm + "/bin/clang++.exe": p("clang++.exe", "clang++")})},
             decoys=["llvm-mingw-20241119-msvcrt-x86_64.zip", "llvm-mingw-20241119-ucrt-i686.zip"])
    versions = ["3.11.9", "3.12.2", "3.12.10", "3.12.9", "3.13.0", "3.13.1-rc1", "3.12.11-a1"]
    web.write("v3-flatcontainer/python/index.json", json.dumps({"versions": versions}))
    web.write("v3-flatcontainer/python/3.12.10/python.3.12.10.nupkg",
              zip_of({"tools/python.exe": p("python.exe", "python")}))
    web.repo("corvane-test/deep", "v1",
             {"ninja-win.zip": zip_of({"a/b/c/d/ninja.exe": p("ninja.exe", "ninja")})})
    web.repo("corvane-test/case", "v1", {"ninja-win.zip": zip_of({"bin/NINJA.EXE": p("ninja.exe", "ninja")})})


def main(argv):
    if len(argv) < 4 or argv[3] not in ("linux", "windows"):
        sys.stderr.write(__doc__)
        return 2
    web = Web(argv[1], argv[2], argv[4] if len(argv) > 4 else None)
    web.write("repos/tallowfen/corvane-recomp/releases/latest", release("v0.2.0", []))
    (linux if argv[3] == "linux" else windows)(web)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
