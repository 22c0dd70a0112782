#!/usr/bin/env python3
"""Lays out a stand-in for the web services the setup program talks to.

    web.py ROOT BASE PLATFORM [EXE]
    web.py --server PORT_FILE PLATFORM [EXE]

ROOT is the folder the test server's /web/ route serves, BASE the URL that
maps to it (http://127.0.0.1:PORT/web/NAME), PLATFORM linux or windows.
With --server, ROOT is web/standin next to the running test server's port
file and BASE its URL. Under ROOT it writes what GitHub's REST API,
GitHub's release downloads and NuGet's flat container would answer:

    repos/OWNER/REPO/releases/latest       release JSON, decoy assets included
    download/OWNER/REPO/ASSET              the archives
    v3-flatcontainer/python/...            the Python package list and package
    nuget-old/v3-flatcontainer/python/...  a package list without any 3.12

so that the program, pointed at BASE with its mirror options, finds,
downloads and unpacks every tool. The archives hold small stand-in
programs at the depths the real ones have them. On Linux they are shell
scripts (python3 hands over to the system's Python); on Windows each is a
copy of the program EXE under the tool's name (the tests pass the stand-in
of tests/standin/windows, which acts as the program it is named for), and
the zips are stored without compression. Asset URLs are
percent-encoded as GitHub writes them (a "+" in a name becomes %2B).

Every served asset but Ninja's is listed with its SHA-256 digest; Ninja's,
like the decoys, with none. Extra repositories under corvane-test/ hold
archives the tool stage must reject: "deep" with the program four folders
down, "case" with the program's name in other letters, "corrupt" with an
archive that isn't one, "unsafe" with an entry that would land outside the
folder, "damaged" with one byte unlike what its digest says, "portal" with a
network sign-in page in place of the archive; on Linux "device" with a
device node beside the program, "setuid" with the program set-user-id and
owned by someone else.
"""

import base64
import hashlib
import io
import json
import os
import sys
import tarfile
import zipfile
from urllib.parse import quote

STUB = "#!/bin/sh\necho \"%s (stand-in)\"\n"
CORRUPT = b"PK\x03\x04 this was cut short by a broken download" * 10
PORTAL = b"<!DOCTYPE html>\n<html><head><title>Sign in</title></head><body>Sign in to use the " \
    b"network.</body></html>\n"
PYTHON = "#!/bin/sh\nexec /usr/bin/python3 \"$@\"\n"


def release(tag, assets):
    """assets: (file name, download URL, digest or None) triples."""
    assets = [{"name": name, "browser_download_url": url, "digest": digest}
              for name, url, digest in assets]
    return json.dumps({"tag_name": tag, "name": tag, "assets": assets}, indent=1)


class Web:
    def __init__(self, root, base, exe):
        self.root, self.base, self.exe = root, base.rstrip("/"), exe

    def write(self, path, data):
        full = os.path.join(self.root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "wb") as f:
            f.write(data if isinstance(data, bytes) else data.encode())

    def repo(self, repo, tag, assets, decoys=(), digests=None):
        """assets: {file name: archive bytes}; decoys are listed, not served,
        and have no digest, as assets uploaded before GitHub published them.
        digests: {file name: the digest to publish} in place of the true one."""
        digests = digests or {}
        listed = [(name, None) for name in decoys]
        listed += [(name, digests.get(name, "sha256:" + hashlib.sha256(data).hexdigest()))
                   for name, data in assets.items()]
        urls = [(name, "%s/download/%s/%s" % (self.base, repo, quote(name)), digest)
                for name, digest in listed]
        self.write("repos/%s/releases/latest" % repo, release(tag, urls))
        for name, data in assets.items():
            self.write("download/%s/%s" % (repo, name), data)

    def program(self, text):
        """A stand-in program's bytes: the Windows program, or a script."""
        if self.exe:
            with open(self.exe, "rb") as f:
                return f.read()
        return text.encode()

    def nuget(self, prefix, versions, package=None, algorithm="SHA512", leaf=True):
        """NuGet's flat container for the package python under prefix, and
        the package's registration leaf (unless leaf is false) and catalog
        entry, which give its digest (of the algorithm named so). The leaf
        names the catalog on NuGet's own host, as NuGet's does; the program
        asks its mirror for the same path."""
        at = prefix + "v3-flatcontainer/python/"
        self.write(at + "index.json", json.dumps({"versions": versions}))
        if package:
            version, data = package
            self.write(at + "%s/python.%s.nupkg" % (version, version), data)
            catalog = "v3/catalog0/data/2025.04.08.12.00.00/python.%s.json" % version
            if leaf:
                self.write(prefix + "v3/registration5-semver1/python/%s.json" % version, json.dumps({
                    "@id": "%s/%sv3/registration5-semver1/python/%s.json" % (self.base, prefix,
                                                                             version),
                    "catalogEntry": "https://api.nuget.org/" + catalog, "listed": True,
                    "packageContent": "%s/%s%s/python.%s.nupkg" % (self.base, at, version,
                                                                   version)}))
            self.write(prefix + catalog, json.dumps({
                "id": "python", "version": version, "packageHashAlgorithm": algorithm,
                "packageHash": base64.b64encode(hashlib.new(algorithm.lower(), data).digest())
                .decode()}))


def folders_of(names):
    """Every folder above the names, parents first, as zip tools list them."""
    folders = []
    for name in names:
        parts = name.split("/")[:-1]
        for i in range(1, len(parts) + 1):
            folder = "/".join(parts[:i]) + "/"
            if folder not in folders:
                folders.append(folder)
    return folders


def zip_of(files):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", zipfile.ZIP_STORED) as z:
        for folder in folders_of(files):
            info = zipfile.ZipInfo(folder, (2024, 1, 1, 0, 0, 0))
            info.external_attr = (0o40755 << 16) | 0x10
            z.writestr(info, b"")
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
            info.mode, info.mtime = 0o755, 1704067200
            if isinstance(data, tuple) and data[0] == tarfile.CHRTYPE:  # (type, major, minor)
                info.type, info.devmajor, info.devminor = data
                t.addfile(info)
                continue
            if isinstance(data, tuple):  # (mode, owner, content)
                info.mode, info.uid, info.gid, data = data[0], data[1], data[1], data[2]
            data = data if isinstance(data, bytes) else data.encode()
            info.size = len(data)
            t.addfile(info, io.BytesIO(data))
    return buffer.getvalue()


def linux(web):
    cmake = "cmake-3.31.0-linux-x86_64"
    web.repo("Kitware/CMake", "v3.31.0",
             {cmake + ".tar.gz": tar_of({cmake + "/bin/cmake": STUB % "cmake 3.31.0"}, "w:gz")},
             decoys=["cmake-3.31.0-linux-aarch64.tar.gz", "cmake-3.31.0-windows-x86_64.zip",
                     "cmake-3.31.0-linux-x86_64.tar.gz.sha256"])
    web.repo("ninja-build/ninja", "v1.12.1",
             {"ninja-linux.zip": zip_of({"ninja": STUB % "ninja 1.12.1"})},
             decoys=["ninja-linux-aarch64.zip", "ninja-win.zip"], digests={"ninja-linux.zip": None})
    llvm = "llvm-mingw-20241119-ucrt-ubuntu-20.04-x86_64"
    web.repo("mstorsjo/llvm-mingw", "20241119",
             {llvm + ".tar.xz": tar_of({llvm + "/bin/clang++": STUB % "clang 19"}, "w:xz")},
             decoys=["llvm-mingw-20241119-msvcrt-ubuntu-20.04-x86_64.tar.xz",
                     "llvm-mingw-20241119-ucrt-x86_64.zip"])
    py = "cpython-3.12.7+20241016-x86_64-unknown-linux-gnu-install_only.tar.gz"
    web.repo("astral-sh/python-build-standalone", "20241016",
             {py: tar_of({"python/bin/python3": PYTHON}, "w:gz")},
             decoys=["cpython-3.13.0+20241016-x86_64-unknown-linux-gnu-install_only.tar.gz",
                     "cpython-3.12.7+20241016-aarch64-unknown-linux-gnu-install_only.tar.gz",
                     "cpython-3.12.7+20241016-x86_64-unknown-linux-gnu-install_only_stripped.tar.gz"])
    rejected(web, "ninja-linux.zip", "ninja", STUB % "ninja")
    # What only a run as root would keep of an archive: a device node, and
    # the archive's owner and set-user-id bit.
    web.repo("corvane-test/device", "v1",
             {"ninja-linux.zip": tar_of({"ninja": STUB % "ninja", "null": (tarfile.CHRTYPE, 1, 3)},
                                        "w:gz")})
    web.repo("corvane-test/setuid", "v1",
             {"ninja-linux.zip": tar_of({"ninja": (0o4755, 4321, STUB % "ninja")}, "w:gz")})


def windows(web):
    p = web.program
    web.repo("git-for-windows/git", "v2.47.1.windows.1",
             {"MinGit-2.47.1-64-bit.zip": zip_of({"cmd/git.exe": p("git")})},
             decoys=["MinGit-2.47.1-32-bit.zip", "MinGit-2.47.1-busybox-64-bit.zip",
                     "Git-2.47.1-64-bit.exe"])
    cmake = "cmake-3.31.0-windows-x86_64"
    web.repo("Kitware/CMake", "v3.31.0",
             {cmake + ".zip": zip_of({cmake + "/bin/cmake.exe": p("cmake")})},
             decoys=["cmake-3.31.0-windows-x86_64.msi", "cmake-3.31.0-windows-i386.zip",
                     "cmake-3.31.0-windows-x86_64.zip.sha256"])
    web.repo("ninja-build/ninja", "v1.12.1",
             {"ninja-win.zip": zip_of({"ninja.exe": p("ninja")})},
             decoys=["ninja-linux.zip", "ninja-winarm64.zip"], digests={"ninja-win.zip": None})
    llvm = "llvm-mingw-20241119-ucrt-x86_64"
    # Its headers lie as deep as the real ones' deepest, which a tool folder
    # under a long install path takes past 260 characters.
    header = llvm + "/include/c++/v1/__algorithm/pstl_backends/cpu_backends/" + "x" * 45 + ".h"
    web.repo("mstorsjo/llvm-mingw", "20241119",
             {llvm + ".zip": zip_of({llvm + "/bin/clang++.exe": p("clang++"),
                                     header: "#pragma once\n"})},
             decoys=["llvm-mingw-20241119-msvcrt-x86_64.zip", "llvm-mingw-20241119-ucrt-i686.zip"])
    rejected(web, "ninja-win.zip", "ninja.exe", p("ninja"))


def rejected(web, asset, exe, data):
    """Releases whose archive the tool stage must refuse."""
    web.repo("corvane-test/deep", "v1", {asset: zip_of({"a/b/c/d/" + exe: data})})
    web.repo("corvane-test/case", "v1", {asset: zip_of({"bin/" + exe.upper(): data})})
    web.repo("corvane-test/corrupt", "v1", {asset: CORRUPT})
    web.repo("corvane-test/unsafe", "v1", {asset: zip_of({"../escaped": data, exe: data})})
    good = zip_of({exe: data})
    web.repo("corvane-test/damaged", "v1", {asset: good[:-1] + bytes([good[-1] ^ 1])},
             digests={asset: "sha256:" + hashlib.sha256(good).hexdigest()})
    web.repo("corvane-test/portal", "v1", {asset: PORTAL},
             digests={asset: "sha256:" + hashlib.sha256(good).hexdigest()})


def server_root(port_file):
    """The folder and URL of the running test server's stand-in web."""
    with open(port_file) as f:
        port = int(f.read())
    root = os.path.join(os.path.dirname(os.path.abspath(port_file)), "web", "standin")
    return root, "http://127.0.0.1:%d/web/standin" % port


def main(argv):
    args = argv[1:]
    if len(args) >= 3 and args[0] == "--server":
        root, base = server_root(args[1])
        args = [root, base] + args[2:]
    if len(args) not in (3, 4) or args[2] not in ("linux", "windows"):
        sys.stderr.write(__doc__)
        return 2
    web = Web(args[0], args[1], args[3] if len(args) > 3 else None)
    web.write("repos/tallowfen/corvane-recomp/releases/latest", release("v0.2.0", []))
    (linux if args[2] == "linux" else windows)(web)
    # The Python lookup is the same code on both platforms.
    versions = ["3.11.9", "3.12.2", "3.12.10", "3.12.9", "3.13.0", "3.13.1-rc1", "3.12.11-a1"]
    web.nuget("", versions, ("3.12.10", zip_of({"tools/python.exe": web.program("python")})))
    web.nuget("nuget-old/", ["3.11.9", "3.13.0", "3.13.1", "3.12.0-rc1"])
    python = ("3.12.10", zip_of({"tools/python.exe": web.program("python")}))
    web.nuget("nuget-lower/", ["3.12.10"], python, algorithm="sha512")
    web.nuget("nuget-md5/", ["3.12.10"], python, algorithm="MD5")
    web.nuget("nuget-nohash/", ["3.12.10"], python, leaf=False)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
