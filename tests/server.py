#!/usr/bin/env python3
"""The local HTTP server the tests and benchmarks download from.

It listens on 127.0.0.1 only, on a port the system picks, and writes that
port to a file so that test programs on either platform (Windows ones run
under Wine and can't start it themselves) find it.

    server.py start PORT_FILE   start in the background; returns once it listens
    server.py stop PORT_FILE    stop the server started with that file
    server.py serve PORT_FILE   serve in the foreground

Every answer is a route in ROUTES, keyed by the first segment of the path;
a route gets the request handler, the rest of the path and the query, to
which options in the first segment add (/stall;n=9/x is /stall/x?n=9). Bodies
are the pattern byte i = i % 251, so a client can check every byte it got.
"""

import os
import signal
import socket
import struct
import subprocess
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, unquote, urlsplit

# About 1 MiB, a whole number of pattern periods, so blocks join seamlessly.
BLOCK = bytes(range(251)) * 4177


def pattern(n, skip=0):
    """Yields n pattern bytes from position skip on, in blocks."""
    view = memoryview(BLOCK)
    start = skip % 251
    while n > 0:
        part = view[start : start + n]
        yield part
        n -= len(part)
        start = 0


def number(query, name, default=None):
    values = query.get(name)
    if not values:
        if default is None:
            raise KeyError(name)
        return default
    return int(values[0])


def head(req, code, length=None, extra=()):
    req.send_response(code)
    if length is not None:
        req.send_header("Content-Length", str(length))
    for name, value in extra:
        req.send_header(name, value)
    if length is None and ("Transfer-Encoding", "chunked") not in extra:
        # Without a length the end of the body is the end of the connection.
        req.send_header("Connection", "close")
        req.close_connection = True
    req.end_headers()


def send_chunked(req, data):
    for part in data:
        req.wfile.write(b"%x\r\n" % len(part) + bytes(part) + b"\r\n")


def reset(req):
    """Ends the connection with a reset instead of an orderly close."""
    req.rfile.close()  # the last reference besides the socket itself
    req.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    req.connection.close()
    req.close_connection = True


# --- routes -----------------------------------------------------------------


def sized(req, rest, query):
    """/bytes?n=N: N bytes with their Content-Length."""
    n = number(query, "n")
    head(req, 200, n)
    for part in pattern(n):
        req.wfile.write(part)


def unsized(req, rest, query):
    """/unsized?n=N[&reset=1]: N bytes without a length, then the connection
    ends: closed, or reset when asked."""
    n = number(query, "n")
    head(req, 200)
    # The first bytes go out alone, so the client's first chunk is small.
    first = min(n, 1000)
    req.wfile.write(BLOCK[:first])
    time.sleep(0.05)
    for part in pattern(n - first, first):
        req.wfile.write(part)
    if number(query, "reset", 0):
        reset(req)


def chunked(req, rest, query):
    """/chunked?n=N[&sent=M]: N bytes in chunked encoding; with sent, only
    the first M bytes, and the connection closes before the last chunk."""
    n = number(query, "n")
    sent = number(query, "sent", n)
    head(req, 200, extra=[("Transfer-Encoding", "chunked")])
    send_chunked(req, pattern(sent))
    if sent == n:
        req.wfile.write(b"0\r\n\r\n")
    else:
        req.close_connection = True


def short(req, rest, query):
    """/short?n=N&sent=M: declares N bytes, sends M, closes."""
    n, sent = number(query, "n"), number(query, "sent")
    head(req, 200, n)
    for part in pattern(sent):
        req.wfile.write(part)
    req.close_connection = True


def status(req, rest, query):
    """/status/CODE[/...]: that status with a small body."""
    code = int(rest.partition("/")[0])
    body = b"" if code in (204, 304) else b"status %d\n" % code
    head(req, code, len(body))
    req.wfile.write(body)


def redirect(req, rest, query):
    """/redirect/301,302,.../TARGET: one hop per code, then TARGET (with the
    query of this request)."""
    codes, _, target = rest.partition("/")
    code, _, more = codes.partition(",")
    url = "/redirect/%s/%s" % (more, target) if more else "/" + target
    if req.query:
        url += "?" + req.query
    head(req, int(code), 0, [("Location", "http://%s%s" % (req.headers["Host"], url))])


def loop(req, rest, query):
    """/loop: a redirect to itself, for ever."""
    head(req, 302, 0, [("Location", "http://%s/loop" % req.headers["Host"])])


def away(req, rest, query):
    """/away/SCHEME: a redirect to SCHEME://127.0.0.1/x (file, ftp)."""
    head(req, 302, 0, [("Location", "%s://127.0.0.1/x" % rest)])


def elsewhere(req, rest, query):
    """/elsewhere/PATH: a redirect to PATH here under this server's other name."""
    host, _, port = req.headers["Host"].partition(":")
    other = "localhost" if host == "127.0.0.1" else "127.0.0.1"
    head(req, 302, 0, [("Location", "http://%s:%s/%s" % (other, port, rest))])


SKEWED = {}


def skew(req, rest, query):
    """/skew/KEY?n=N: the first request for KEY gets N bytes cut after half;
    the next, a range from one byte further on than it asked for; any later
    one, the whole body."""
    n = number(query, "n")
    count = SKEWED.get(rest, 0)
    SKEWED[rest] = count + 1
    asked = req.headers.get("Range", "")
    if count == 1 and asked.startswith("bytes="):
        start = int(asked[6:-1]) + 1
        head(req, 206, n - start, [("Content-Range", "bytes %d-%d/%d" % (start, n - 1, n))])
        for part in pattern(n - start, start):
            req.wfile.write(part)
        return
    head(req, 200, n)
    for part in pattern(n // 2 if count == 0 else n):
        req.wfile.write(part)
    req.close_connection = count == 0


def drip(req, rest, query):
    """/drip?n=N&step=K&every=MS: declares N bytes, sends K of them every MS
    milliseconds."""
    n, step, every = number(query, "n"), number(query, "step", 4), number(query, "every", 250)
    head(req, 200, n)
    data = BLOCK[:n]
    for i in range(0, n, step):
        if i:
            time.sleep(every / 1000)
        req.wfile.write(data[i : i + step])


def header(req, rest, query):
    """/header/NAME: the values the request sent for that header, one a line."""
    body = "".join(v + "\n" for v in req.headers.get_all(rest, [])).encode()
    head(req, 200, len(body))
    req.wfile.write(body)


def served(req, rest, query):
    """The body a fault route serves: the web file at rest, or n pattern bytes."""
    if rest:
        root = os.path.realpath(req.server.web_root)
        path = os.path.realpath(os.path.join(root, unquote(rest)))
        if path.startswith(root + os.sep) and os.path.isfile(path):
            with open(path, "rb") as f:
                return f.read()
        return None
    return b"".join(bytes(p) for p in pattern(number(query, "n")))


def cut(req, rest, query):
    """/cut/AT[/PATH][?n=N][&range=0][&ifrange=0][&total=T]: the body (the web
    file at PATH, else N pattern bytes) with its length and the ETag
    "cut-LENGTH", cut off after AT bytes. A request with "Range: bytes=K-"
    gets the rest from K with 206 (its Content-Range naming T as the whole
    length, when given); with range=0, or an If-Range of another ETag, it gets
    the whole body with 200, as from a server that doesn't do ranges (with
    ifrange=0 the If-Range is ignored)."""
    at, _, rest = rest.partition("/")
    data = served(req, rest, query)
    if data is None:
        status(req, "404", query)
        return
    asked = req.headers.get("Range", "")
    tag = [("ETag", '"cut-%d"' % len(data))]
    other = number(query, "ifrange", 1) and req.headers.get("If-Range", tag[0][1]) != tag[0][1]
    if asked and (not number(query, "range", 1) or other):
        head(req, 200, len(data), tag)
        req.wfile.write(data)
        return
    if asked.startswith("bytes=") and asked.endswith("-"):
        start = int(asked[6:-1])
        total = number(query, "total", len(data))
        head(req, 206, len(data) - start,
             [("Content-Range", "bytes %d-%d/%d" % (start, len(data) - 1, total))] + tag)
        req.wfile.write(data[start:])
        return
    head(req, 200, len(data), tag)
    req.wfile.write(data[: int(at)])
    req.close_connection = True


FLAKY = {}


def flaky(req, rest, query):
    """/flaky/KEY[/PATH][?n=N][&fail=F][&code=C]: of each F + 1 requests for
    KEY, the first F fail (status C, default 503; C=0 resets the connection)
    and the next gets the body (the web file at PATH, else N pattern bytes)."""
    key, _, rest = rest.partition("/")
    fail, code = number(query, "fail", 2), number(query, "code", 503)
    count = FLAKY.get(key, 0)
    FLAKY[key] = count + 1
    if count % (fail + 1) < fail:
        if code == 0:
            reset(req)
        else:
            status(req, str(code), query)
        return
    data = served(req, rest, query)
    head(req, 200, len(data))
    req.wfile.write(data)


def stall(req, rest, query):
    """/stall[/...]?n=N&sent=M[&wait=S]: declares N bytes, sends M of them,
    then nothing for S seconds (default 90) before it closes; without n, not
    even the headers come."""
    if "n" in query:
        head(req, 200, number(query, "n"))
        req.wfile.write(BLOCK[: number(query, "sent", 0)])
        req.wfile.flush()
    time.sleep(number(query, "wait", 90))
    req.close_connection = True


def ratelimit(req, rest, query):
    """/ratelimit/RESET/...: GitHub's answer once an address has used up its
    requests, the limit ending at RESET (seconds since 1970)."""
    when, _, _ = rest.partition("/")
    body = (b'{"message":"API rate limit exceeded for 192.0.2.1. (But here\'s the good news: '
            b'Authenticated requests get a higher rate limit. Check out the documentation for '
            b'more details.)","documentation_url":"https://docs.github.com/rest/overview/'
            b'resources-in-the-rest-api#rate-limiting"}')
    head(req, int(query.get("code", ["403"])[0]), len(body), [
        ("Content-Type", "application/json; charset=utf-8"),
        ("X-RateLimit-Limit", "60"), ("X-RateLimit-Remaining", "0"),
        ("X-RateLimit-Reset", when), ("X-RateLimit-Used", "60"),
        ("X-RateLimit-Resource", "core")])
    req.wfile.write(body)


def badtoken(req, rest, query):
    """/badtoken/ROUTE/...?hold=MS: GitHub's answer to an expired or revoked
    token, 401 "Bad credentials" (after MS), to a request that carries one;
    ROUTE's otherwise."""
    if "Authorization" in req.headers:
        time.sleep(number(query, "hold", 0) / 1000)
        body = b'{"message":"Bad credentials","documentation_url":"https://docs.github.com/rest"}'
        head(req, 401, len(body), [("Content-Type", "application/json; charset=utf-8")])
        req.wfile.write(body)
        return
    name, _, more = rest.partition("/")
    ROUTES[name](req, more, query)


def web(req, rest, query):
    """/web/PATH?step=K&every=MS: the file at PATH under the web folder next to
    the port file, where tests put the answers of the services they stand in
    for (release lists, archives, package indexes); with step and every, K
    bytes every MS milliseconds. Percent-escapes in PATH are decoded, as real
    servers do (GitHub's asset URLs write a "+" as %2B). The file's ETag is
    sent; "Range: bytes=K-" gets the rest from K with 206, unless an If-Range
    names another ETag (or, with ifrange=0, whatever it names: a server that
    ignores If-Range)."""
    root = os.path.realpath(req.server.web_root)
    path = os.path.realpath(os.path.join(root, unquote(rest)))
    if not path.startswith(root + os.sep) or not os.path.isfile(path):
        status(req, "404", query)
        return
    with open(path, "rb") as f:
        data = f.read()
    stat = os.stat(path)
    tag = '"%x-%x"' % (stat.st_mtime_ns, stat.st_size)
    asked, start = req.headers.get("Range", ""), 0
    if (asked.startswith("bytes=") and asked.endswith("-")
            and (req.headers.get("If-Range", tag) == tag or not number(query, "ifrange", 1))
            and int(asked[6:-1]) < len(data)):
        start = int(asked[6:-1])
        head(req, 206, len(data) - start, [
            ("ETag", tag), ("Content-Range", "bytes %d-%d/%d" % (start, len(data) - 1, len(data)))])
    else:
        head(req, 200, len(data), [("ETag", tag)])
    data = data[start:]
    step, every = number(query, "step", max(len(data), 1)), number(query, "every", 0)
    for i in range(0, len(data), step):
        if i:
            time.sleep(every / 1000)
        req.wfile.write(data[i : i + step])


def paced(req, rest, query):
    """/paced/K/MS/PATH: the web file at PATH, K bytes every MS milliseconds
    (a URL that still ends in the file's name); /web's other options pass on."""
    step, every, path = rest.split("/", 2)
    web(req, path, dict(query, step=[step], every=[every]))


ROUTES = {
    "web": web,
    "paced": paced,
    "header": header,
    "bytes": sized,
    "unsized": unsized,
    "chunked": chunked,
    "short": short,
    "status": status,
    "redirect": redirect,
    "drip": drip,
    "cut": cut,
    "flaky": flaky,
    "stall": stall,
    "ratelimit": ratelimit,
    "badtoken": badtoken,
    "loop": loop,
    "away": away,
    "elsewhere": elsewhere,
    "skew": skew,
}

RANGES = threading.Lock()


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def do_GET(self):
        # A proxy gets the whole URL in the request line; serve its path. As a
        # proxy it refuses the host refused.invalid.
        url = urlsplit(self.path)
        if url.hostname == "refused.invalid":
            body = b"proxy authentication required\n"
            head(self, 407, len(body), [("Proxy-Authenticate", 'Basic realm="proxy"')])
            self.wfile.write(body)
            return
        # Every request for a range, one a line in ranges.log beside the web
        # folder, so that tests can count them.
        if "Range" in self.headers:
            with RANGES, open(os.path.join(self.server.web_root, "..", "ranges.log"), "a") as f:
                f.write("%s %s\n" % (self.path, self.headers["Range"]))
        self.query = url.query
        name, _, rest = url.path.lstrip("/").partition("/")
        # A route's options may stand in its name (/stall;n=9/NAME), so that
        # the URL still ends with the file name a client looks for.
        name, *options = name.split(";")
        query = parse_qs(url.query)
        for option in options:
            key, _, value = option.partition("=")
            query[key] = [value]
        route = ROUTES.get(name)
        if route is None:
            body = b"not found\n"
            head(self, 404, len(body))
            self.wfile.write(body)
            return
        try:
            route(self, rest, query)
        except (BrokenPipeError, ConnectionResetError):
            self.close_connection = True

    def do_CONNECT(self):
        # As a proxy it opens no tunnels.
        body = b"no tunnels here\n"
        head(self, 403, len(body))
        self.wfile.write(body)

    def log_message(self, format, *args):
        pass


# --- running ----------------------------------------------------------------


def pid_file(port_file):
    return port_file + ".pid"


def alive(pid):
    try:
        os.kill(pid, 0)
        return True
    except ProcessLookupError:
        return False
    except PermissionError:
        return True


def serve(port_file, watch=None):
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    server.web_root = os.path.join(os.path.dirname(port_file), "web")
    if watch:
        # Stop with whoever started us, even if nobody runs "stop".
        def watcher():
            while alive(watch):
                time.sleep(1)
            server.shutdown()

        threading.Thread(target=watcher, daemon=True).start()
    signal.signal(signal.SIGTERM, lambda *_: threading.Thread(target=server.shutdown).start())
    with open(pid_file(port_file), "w") as f:
        f.write("%d\n" % os.getpid())
    temp = port_file + ".tmp"
    with open(temp, "w") as f:
        f.write("%d\n" % server.server_address[1])
    os.replace(temp, port_file)
    server.serve_forever()
    server.server_close()


def start(port_file):
    stop(port_file)
    log = open(port_file + ".log", "w")
    child = subprocess.Popen(
        [sys.executable, os.path.abspath(__file__), "serve", port_file, str(os.getppid())],
        stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
    for _ in range(200):
        if os.path.exists(port_file):
            return 0
        if child.poll() is not None:
            break
        time.sleep(0.05)
    sys.stderr.write("The test server did not start; see %s.log\n" % port_file)
    return 1


def ours(pid):
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            return os.path.basename(__file__).encode() in f.read()
    except OSError:
        return False


def stop(port_file):
    try:
        with open(pid_file(port_file)) as f:
            pid = int(f.read())
    except (OSError, ValueError):
        pid = None
    if pid and ours(pid):
        os.kill(pid, signal.SIGTERM)
        for _ in range(100):
            if not ours(pid):  # gone, or a zombie nobody has reaped yet
                break
            time.sleep(0.05)
    for name in (port_file, pid_file(port_file)):
        try:
            os.remove(name)
        except FileNotFoundError:
            pass
    return 0


def main(argv):
    if len(argv) < 3 or argv[1] not in ("start", "stop", "serve"):
        sys.stderr.write(__doc__)
        return 2
    port_file = os.path.abspath(argv[2])
    if argv[1] == "start":
        return start(port_file)
    if argv[1] == "stop":
        return stop(port_file)
    serve(port_file, int(argv[3]) if len(argv) > 3 else None)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
