"""What the Python benchmarks share: the end-to-end tests' stand-ins, their
server, and the console program of the Linux build (or CORVANE_SETUP's)."""

import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(HERE)
BUILD = os.path.join(SOURCE, "build", "linux")
sys.path.insert(0, os.path.join(SOURCE, "tests", "e2e"))
import install_e2e as e2e  # noqa: E402


def serve(name, body):
    """Runs body() with the stand-ins' server up, its port file named for
    the benchmark."""
    port = os.path.join(BUILD, "bench", name + ".port")
    os.makedirs(os.path.dirname(port), exist_ok=True)
    e2e.SETUP = os.environ.get("CORVANE_SETUP") or os.path.join(BUILD, "corvane-setup")
    e2e.PORT_FILE = port
    server = os.path.join(SOURCE, "tests", "server.py")
    subprocess.run([sys.executable, server, "start", port], check=True)
    try:
        body()
    finally:
        subprocess.run([sys.executable, server, "stop", port])
