#!/usr/bin/env python3
"""A scriptable HTTP/1.1 server on the loopback addresses, for tests.

One port serves 127.0.0.1, ::1 and 127.0.0.2 alike, so "localhost" reaches
it whichever address the name resolves to, and 127.0.0.2 is a second host
for redirect tests. A separate control port on 127.0.0.1 lets tests script
the answers of a path and read back every request the server received.

Commands:
  http_test_server.py start --state-dir DIR [--plugin NAME ...]
      Starts a server in the background and returns once it listens; its
      ports are in DIR/server.json (see write_info), its log in
      DIR/server.log.
  http_test_server.py stop --state-dir DIR
      Ends the server that start left in DIR.
  http_test_server.py serve --state-dir DIR [--plugin NAME ...]
      Runs the server in the foreground.

Control requests (on the control port; bodies and replies are JSON):
  POST /script?path=P   body: a list of steps; requests for path P (the
                        raw path, query left out) are answered by the
                        steps in turn, the last one again and again.
  GET  /requests?prefix=X
                        the requests whose raw target starts with X, in
                        arrival order: {"host", "method", "target",
                        "headers": [[name, value]...], "body_base64"}; for
                        multipart/form-data bodies (after undoing a
                        "Content-Encoding: gzip") "form_parts": [{"name",
                        "filename" (null for a text field),
                        "content_type" (or null), "body_base64"}...]; and
                        "form_error" saying why a body could not be
                        decoded or is not a well-formed form.
  GET  /info            what server.json holds.

A step is an object; every key is optional:
  "status"          the status code (200, or 302 with "redirect").
  "headers"         {name: value} added to the answer.
  "body"            the body as text; "body_base64" as Base64; "file" a
                    file of this machine; "pattern_size" N: N bytes whose
                    byte at offset i is i % 251; "endless": true, such
                    bytes without end. Without any of them the body is
                    empty.
  "redirect"        a Location; the status becomes 302 unless given.
  "repeat"          how many requests the step answers (1).
  "delay"           seconds to wait before answering.
  "range"           "honor" (default): a "Range: bytes=N-" request gets 206
                    with the bytes from N; "ignore": it gets 200 and the
                    whole body.
  "range_shift"     K: a range answer starts K bytes after the asked start
                    (its Content-Range says so).
  "close_after"     K: the connection closes after K bytes of body.
  "content_length"  the Content-Length to announce instead of the true
                    one (with "endless", the body still has no end); the
                    connection closes after the body.
  "rate"            N: the body trickles at about N bytes per second; below
                    10, one byte every 1/N seconds (0.05: one every 20 s).
  "silent"          true: the request is read and never answered; the
                    connection stays open until the client closes it (at
                    most SILENT_SECONDS, or the number of seconds given
                    instead of true).
  "chunked"         true: the body goes with "Transfer-Encoding: chunked"
                    (an "endless" one then never ends, and the connection
                    stays open for the next request).
  "pause_every"     K: the body waits "pause" seconds after every K bytes
                    it sends, at most "pauses" times (no limit without).
  "endless_headers" true: after the status line, header lines without end
                    as fast as the client takes them (for at most
                    FLOOD_SECONDS, or the number of seconds given).
The record of a request also tells how its answer ended: "answer_end" is
null while it goes on, then "done", "client" (the client went away
mid-answer) or "limit" (the server's own limit ended a flood of headers);
"answer_bytes" counts the bytes of the answer sent.
Texts in "redirect", "headers" and "body" may name the server:
"{v4}" is http://127.0.0.1:PORT, "{alt}" http://127.0.0.2:PORT and
"{localhost}" http://localhost:PORT.

Plugins (--plugin NAME loads NAME.py beside this file) call
server.add_route(prefix, handler) from their register(server): a request
under the prefix without a script goes to handler(request, responder).
"""

import argparse
import base64
import email.message
import gzip
import http.server
import importlib
import json
import os
import signal
import socket
import socketserver
import sys
import threading
import time
import urllib.parse
import zlib

HOSTS = ("127.0.0.1", "::1", "127.0.0.2")
CONTROL_HOST = "127.0.0.1"
# A request body larger than this is refused: nothing the installer sends
# comes near it.
MAX_REQUEST_BODY = 64 * 1024 * 1024
# A silent answer holds its connection no longer than this.
SILENT_SECONDS = 600
# A flood of headers ends after this, whatever the client does.
FLOOD_SECONDS = 120
PATTERN_PERIOD = 251
PATTERN_BLOCK = bytes(range(PATTERN_PERIOD)) * 4096
# Without requests for this long the server ends on its own, so that a run
# that never reaches the stop fixture leaves nothing behind.
DEFAULT_IDLE_EXIT_SECONDS = 1800
INFO_FILE = "server.json"
LOG_FILE = "server.log"


class Request:
    """One request as received; |body| is bytes."""

    def __init__(self, host, method, target, headers, body):
        self.host = host
        self.method = method
        self.target = target
        self.path, _, self.query = target.partition("?")
        self.headers = headers
        self.body = body
        self.answer_end = None
        self.answer_bytes = 0

    def header(self, name):
        name = name.lower()
        for key, value in self.headers:
            if key.lower() == name:
                return value
        return None

    def to_json(self):
        out = {
            "host": self.host,
            "method": self.method,
            "target": self.target,
            "headers": [[k, v] for k, v in self.headers],
            "body_base64": base64.b64encode(self.body).decode("ascii"),
            "answer_end": self.answer_end,
            "answer_bytes": self.answer_bytes,
        }
        try:
            parts = form_parts(self.decoded_body(),
                               self.header("Content-Type"))
            if parts is not None:
                out["form_parts"] = parts
        except ValueError as error:
            out["form_error"] = str(error)
        return out

    def decoded_body(self):
        """The body with its Content-Encoding undone; ValueError when it
        cannot be."""
        encoding = (self.header("Content-Encoding") or "").strip().lower()
        if encoding in ("", "identity"):
            return self.body
        if encoding != "gzip":
            raise ValueError("unknown Content-Encoding " + encoding)
        try:
            return gzip.decompress(self.body)
        except (OSError, EOFError, zlib.error) as error:
            raise ValueError("the gzip body is broken: %s" % error)


def b64(data):
    return base64.b64encode(data).decode("ascii")


def form_parts(body, content_type):
    """The parts of a multipart/form-data |body| as to_json lists them, or
    None for any other type. Strict, so that a sloppy form writer shows:
    every delimiter is CRLF "--" boundary, the body ends with the closing
    delimiter and CRLF, and every part names itself in a form-data
    Content-Disposition. ValueError says what is wrong."""
    header = email.message.Message()
    header["Content-Type"] = content_type or ""
    if header.get_content_type() != "multipart/form-data":
        return None
    boundary = header.get_param("boundary")
    if not boundary:
        raise ValueError("multipart/form-data without a boundary")
    delimiter = b"--" + boundary.encode("latin-1")
    if body == delimiter + b"--\r\n":
        return []
    opening, closing = delimiter + b"\r\n", b"\r\n" + delimiter + b"--\r\n"
    if not body.startswith(opening) or not body.endswith(closing):
        raise ValueError("the form does not start or end with its boundary")
    inner = body[len(opening):len(body) - len(closing)]
    return [form_part(section)
            for section in inner.split(b"\r\n" + delimiter + b"\r\n")]


def form_part(section):
    head, separator, content = section.partition(b"\r\n\r\n")
    if not separator:
        raise ValueError("a part has no end of its headers")
    part = email.message.Message()
    for line in head.decode("utf-8").split("\r\n"):
        name, colon, value = line.partition(":")
        if not colon:
            raise ValueError("a part header is malformed: %r" % line)
        part[name.strip()] = value.strip()
    if part.get_content_disposition() != "form-data" or \
            part.get_param("name", header="content-disposition") is None:
        raise ValueError("a part lacks its form-data name")
    return {
        "name": part.get_param("name", header="content-disposition"),
        "filename": part.get_param("filename", header="content-disposition"),
        "content_type": part.get("Content-Type"),
        "body_base64": b64(content),
    }


class Body:
    """A response body that can be read from any offset: |size| is None for
    an endless one."""

    def __init__(self, size, read, path=None):
        self.size = size
        self.read = read  # read(offset, count) -> bytes
        self.path = path

    @staticmethod
    def from_bytes(data):
        return Body(len(data), lambda offset, count: data[offset:offset + count])

    @staticmethod
    def pattern(size):
        def read(offset, count):
            if size is not None:
                count = max(0, min(count, size - offset))
            start = offset % PATTERN_PERIOD
            out = bytearray()
            while len(out) < count:
                out += PATTERN_BLOCK[start:start + count - len(out)]
                start = 0
            return bytes(out)

        return Body(size, read)

    @staticmethod
    def from_file(path):
        size = os.path.getsize(path)

        def read(offset, count):
            with open(path, "rb") as f:
                f.seek(offset)
                return f.read(count)

        return Body(size, read, path)


class Responder:
    """Writes one answer to the connection of a request handler."""

    def __init__(self, handler, request=None):
        self._handler = handler
        self._request = request
        self.closed = False

    def _write(self, data):
        self._handler.wfile.write(data)
        if self._request is not None:
            self._request.answer_bytes += len(data)

    def send(self, status, headers=(), body=None, close_after=None,
             content_length=None, start=0, rate=None, chunked=False,
             pauses=None):
        """Sends the status, |headers| and |body| from |start| to its end.
        |pauses| is (every, seconds, count or None)."""
        h = self._handler
        count = None
        if body is not None and body.size is not None:
            count = body.size - start
        h.send_response(status)
        for name, value in headers:
            h.send_header(name, value)
        close = close_after is not None
        if chunked and body is not None:
            h.send_header("Transfer-Encoding", "chunked")
        elif content_length is not None:
            h.send_header("Content-Length", str(content_length))
            close = True
        elif count is not None:
            h.send_header("Content-Length", str(count))
        else:
            close = True  # an endless body ends with the connection
        if close:
            h.send_header("Connection", "close")
            h.close_connection = True
        h.end_headers()
        if h.command == "HEAD" or body is None:
            self._finish(close)
            return
        limit = count
        if close_after is not None:
            limit = close_after if limit is None else min(limit, close_after)
        if (body.path and close_after is None and limit is not None and
                rate is None and not chunked and pauses is None):
            h.wfile.flush()
            with open(body.path, "rb") as f:
                h.connection.sendfile(f, start, limit)
        else:
            self._write_body(body, start, limit, rate, chunked, pauses)
        if close_after is not None:
            self.abort()
            return
        self._finish(close)

    def _write_body(self, body, start, limit, rate, chunked, pauses):
        h = self._handler
        sent = 0
        piece = 1024 * 1024
        interval = 0
        if rate:
            # Ten pieces a second, or single bytes further apart.
            piece = max(1, int(rate) // 10)
            interval = piece / float(rate)
        every, pause, pauses_left = pauses or (None, 0, None)
        if every:
            piece = min(piece, every)
        while limit is None or sent < limit:
            if rate and sent:
                h.wfile.flush()
                time.sleep(interval)
            want = piece if limit is None else min(piece, limit - sent)
            if every:
                want = min(want, every - sent % every)
            data = body.read(start + sent, want)
            if not data:
                break
            sent += len(data)
            if chunked:
                data = b"%x\r\n%s\r\n" % (len(data), data)
            self._write(data)
            if every and sent % every == 0 and pauses_left != 0:
                h.wfile.flush()
                time.sleep(pause)
                if pauses_left is not None:
                    pauses_left -= 1
        if chunked:
            self._write(b"0\r\n\r\n")

    def flood_headers(self, status, seconds):
        """Sends the status line and header lines without end, until the
        client goes away or |seconds| have passed."""
        h = self._handler
        h.close_connection = True
        h.wfile.write(("HTTP/1.1 %d Flood\r\n" % status).encode())
        deadline = time.monotonic() + seconds
        filler = b"x" * 100
        line = 0
        while time.monotonic() < deadline:
            block = b"".join(b"X-Filler-%d: %s\r\n" % (line + i, filler)
                             for i in range(500))
            line += 500
            self._write(block)
        h.wfile.flush()
        self._request.answer_end = "limit"
        self.abort()

    def _finish(self, close):
        h = self._handler
        h.wfile.flush()
        if close:
            self.abort()

    def hold(self, seconds=SILENT_SECONDS):
        """Answers nothing and waits, bounded, for the client to close."""
        h = self._handler
        h.close_connection = True
        deadline = time.monotonic() + seconds
        try:
            while time.monotonic() < deadline:
                h.connection.settimeout(max(0.1, deadline - time.monotonic()))
                if not h.connection.recv(4096):
                    break
        except OSError:
            pass
        self.closed = True

    def abort(self):
        """Closes the connection at once, whatever was promised."""
        h = self._handler
        h.close_connection = True
        try:
            h.wfile.flush()
            h.connection.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        self.closed = True


class ScriptRunner:
    """Answers a request with a step of a path's script."""

    def __init__(self, server):
        self._server = server

    def run(self, step, request, responder):
        if step.get("delay"):
            time.sleep(float(step["delay"]))
        silent = step.get("silent")
        if silent:
            # A number bounds the wait: a client that never lets go of a
            # connection nobody answers (WinINet under Wine) holds its
            # next request back until the server closes.
            responder.hold(SILENT_SECONDS if silent is True else float(silent))
            return
        status = int(step.get("status", 302 if "redirect" in step else 200))
        flood = step.get("endless_headers")
        if flood:
            responder.flood_headers(
                status, FLOOD_SECONDS if flood is True else float(flood))
            return
        headers = [(k, self._server.expand(str(v)))
                   for k, v in step.get("headers", {}).items()]
        if "redirect" in step:
            headers.append(("Location", self._server.expand(step["redirect"])))
        body = self._body(step)
        start = 0
        range_start = self._range_start(request)
        if (body is not None and range_start is not None and
                step.get("range", "honor") == "honor" and
                body.size is not None and status == 200):
            start = range_start + int(step.get("range_shift", 0))
            if start >= body.size:
                headers.append(("Content-Range", "bytes */%d" % body.size))
                responder.send(416, headers)
                return
            status = 206
            headers.append(("Content-Range", "bytes %d-%d/%d" %
                            (start, body.size - 1, body.size)))
        pauses = None
        if step.get("pause_every"):
            pauses = (int(step["pause_every"]), float(step.get("pause", 0)),
                      step.get("pauses"))
        responder.send(status, headers, body,
                       close_after=step.get("close_after"),
                       content_length=step.get("content_length"),
                       start=start, rate=step.get("rate"),
                       chunked=bool(step.get("chunked")), pauses=pauses)

    def _body(self, step):
        if "body" in step:
            return Body.from_bytes(self._server.expand(step["body"]).encode())
        if "body_base64" in step:
            return Body.from_bytes(base64.b64decode(step["body_base64"]))
        if "file" in step:
            return Body.from_file(step["file"])
        if "pattern_size" in step:
            return Body.pattern(int(step["pattern_size"]))
        if step.get("endless"):
            return Body.pattern(None)
        return None

    @staticmethod
    def _range_start(request):
        value = request.header("Range")
        if not value or not value.startswith("bytes="):
            return None
        first = value[len("bytes="):].split(",")[0].split("-")[0].strip()
        return int(first) if first.isdigit() else None


class TestServer:
    """The state every listener shares: scripts, routes and records."""

    def __init__(self):
        self.port = 0
        self.control_port = 0
        self._lock = threading.Lock()
        self._scripts = {}  # path -> [steps, index, uses of current step]
        self._routes = []  # (prefix, handler), longest prefix first
        self._records = []
        self._script_runner = ScriptRunner(self)
        self.last_activity = time.monotonic()

    def add_route(self, prefix, handler):
        with self._lock:
            self._routes.append((prefix, handler))
            self._routes.sort(key=lambda route: -len(route[0]))

    def expand(self, text):
        for name, host in (("{v4}", "127.0.0.1"), ("{alt}", "127.0.0.2"),
                           ("{localhost}", "localhost")):
            text = text.replace(name, "http://%s:%d" % (host, self.port))
        return text

    def set_script(self, path, steps):
        if not isinstance(steps, list) or not steps:
            raise ValueError("a script is a non-empty list of steps")
        with self._lock:
            self._scripts[path] = [steps, 0, 0]

    def requests(self, prefix):
        with self._lock:
            return [r.to_json() for r in self._records
                    if r.target.startswith(prefix)]

    def handle(self, request, responder):
        with self._lock:
            self._records.append(request)
            step = self._next_step(request.path)
            handler = None
            if step is None:
                handler = next((h for p, h in self._routes
                                if request.path.startswith(p)), None)
        if step is not None:
            self._script_runner.run(step, request, responder)
        elif handler is not None:
            handler(request, responder)
        else:
            responder.send(404, [("Content-Type", "text/plain")],
                           Body.from_bytes(b"no script for this path\n"))

    def _next_step(self, path):
        script = self._scripts.get(path)
        if script is None:
            return None
        steps, index, uses = script
        step = steps[index]
        uses += 1
        if uses >= int(step.get("repeat", 1)) and index + 1 < len(steps):
            index, uses = index + 1, 0
        script[1], script[2] = index, uses
        return step


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "KelvoTestServer/1.0"

    def log_message(self, format, *args):
        sys.stderr.write("%s %s\n" % (self.address_string(), format % args))

    def _read_body(self):
        if (self.headers.get("Transfer-Encoding", "").lower() == "chunked"):
            body = bytearray()
            while True:
                size = int(self.rfile.readline().split(b";")[0].strip(), 16)
                if size == 0:
                    while self.rfile.readline() not in (b"\r\n", b"\n", b""):
                        pass
                    return bytes(body)
                if len(body) + size > MAX_REQUEST_BODY:
                    return None
                body += self.rfile.read(size)
                self.rfile.readline()
        length = int(self.headers.get("Content-Length") or 0)
        if length > MAX_REQUEST_BODY:
            return None
        return self.rfile.read(length)

    def _dispatch(self):
        self._request = None
        try:
            self._answer()
            if self._request is not None and \
                    self._request.answer_end is None:
                self._request.answer_end = "done"
        except (BrokenPipeError, ConnectionResetError):
            # The client went away mid-answer, as clients under test do.
            self.close_connection = True
            if self._request is not None:
                self._request.answer_end = "client"

    def _answer(self):
        body = self._read_body()
        if body is None:
            Responder(self).send(413, [], Body.from_bytes(b"body too large\n"),
                                 content_length=15)
            return
        request = Request(self.server.host_name, self.command, self.path,
                          list(self.headers.items()), body)
        responder = Responder(self, request)
        self._request = request
        self.server.test_server.last_activity = time.monotonic()
        if self.server.is_control:
            self.server.control.handle(request, responder)
        else:
            self.server.test_server.handle(request, responder)

    do_GET = do_POST = do_PUT = do_HEAD = do_DELETE = do_OPTIONS = _dispatch


class Control:
    """The control port's requests."""

    def __init__(self, test_server, info):
        self._server = test_server
        self._info = info

    def handle(self, request, responder):
        query = urllib.parse.parse_qs(request.query)
        arg = lambda name: query.get(name, [""])[0]
        try:
            if request.method == "POST" and request.path == "/script":
                self._server.set_script(arg("path"), json.loads(request.body))
                reply = {}
            elif request.method == "GET" and request.path == "/requests":
                reply = self._server.requests(arg("prefix"))
            elif request.method == "GET" and request.path == "/info":
                reply = self._info
            else:
                responder.send(404, [], Body.from_bytes(b"{}"))
                return
        except (ValueError, KeyError, TypeError) as error:
            responder.send(400, [], Body.from_bytes(
                json.dumps({"error": str(error)}).encode()))
            return
        responder.send(200, [("Content-Type", "application/json")],
                       Body.from_bytes(json.dumps(reply).encode()))


class Listener(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = False

    def __init__(self, host, port, test_server, control=None):
        self.address_family = socket.AF_INET6 if ":" in host else socket.AF_INET
        self.host_name = host
        self.test_server = test_server
        self.control = control
        self.is_control = control is not None
        super().__init__((host, port), Handler)

    def server_bind(self):
        if self.address_family == socket.AF_INET6:
            self.socket.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_V6ONLY, 1)
        socketserver.TCPServer.server_bind(self)


def bind_listeners(test_server, attempts=50):
    """Listeners on every host of HOSTS with one free port."""
    for _ in range(attempts):
        first = Listener(HOSTS[0], 0, test_server)
        port = first.server_address[1]
        listeners = [first]
        try:
            for host in HOSTS[1:]:
                listeners.append(Listener(host, port, test_server))
            return port, listeners
        except OSError:
            for listener in listeners:
                listener.server_close()
    raise OSError("no port is free on every loopback address")


def write_info(state_dir, info):
    path = os.path.join(state_dir, INFO_FILE)
    with open(path + ".tmp", "w") as f:
        json.dump(info, f)
    os.replace(path + ".tmp", path)


def load_plugins(names, test_server):
    sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
    for name in names:
        importlib.import_module(name).register(test_server)


def serve(state_dir, plugins, idle_exit):
    test_server = TestServer()
    load_plugins(plugins, test_server)
    port, listeners = bind_listeners(test_server)
    test_server.port = port
    info = {"pid": os.getpid(), "port": port, "hosts": list(HOSTS)}
    control = Listener(CONTROL_HOST, 0, test_server, Control(test_server, info))
    info["control_port"] = control.server_address[1]
    test_server.control_port = info["control_port"]
    for listener in listeners + [control]:
        threading.Thread(target=listener.serve_forever, daemon=True).start()
    signal.signal(signal.SIGTERM, lambda *unused: os._exit(0))
    write_info(state_dir, info)
    print("listening on port %d, control port %d" %
          (port, info["control_port"]), flush=True)
    while time.monotonic() - test_server.last_activity < idle_exit:
        time.sleep(5)
    print("idle for %d s: ending" % idle_exit, flush=True)


def read_info(state_dir):
    try:
        with open(os.path.join(state_dir, INFO_FILE)) as f:
            return json.load(f)
    except (OSError, ValueError):
        return None


def is_our_server(pid):
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            return os.path.basename(__file__).encode() in f.read()
    except OSError:
        return False


def stop(state_dir):
    info = read_info(state_dir)
    if info and is_our_server(info["pid"]):
        os.kill(info["pid"], signal.SIGTERM)
        deadline = time.monotonic() + 10
        while is_our_server(info["pid"]) and time.monotonic() < deadline:
            time.sleep(0.05)
        if is_our_server(info["pid"]):
            os.kill(info["pid"], signal.SIGKILL)
    try:
        os.remove(os.path.join(state_dir, INFO_FILE))
    except FileNotFoundError:
        pass


def start(state_dir, plugins, idle_exit):
    import subprocess
    os.makedirs(state_dir, exist_ok=True)
    stop(state_dir)
    command = [sys.executable, os.path.abspath(__file__), "serve",
               "--state-dir", state_dir, "--idle-exit", str(idle_exit)]
    for plugin in plugins:
        command += ["--plugin", plugin]
    with open(os.path.join(state_dir, LOG_FILE), "wb") as log:
        # Its own session and no inherited pipes: whoever started us (ctest)
        # does not wait for the server.
        child = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=log,
                                 stderr=subprocess.STDOUT,
                                 start_new_session=True, close_fds=True)
    deadline = time.monotonic() + 20
    while time.monotonic() < deadline:
        info = read_info(state_dir)
        if info and info.get("pid") == child.pid:
            print(json.dumps(info))
            return 0
        if child.poll() is not None:
            break
        time.sleep(0.05)
    with open(os.path.join(state_dir, LOG_FILE)) as log:
        sys.stderr.write(log.read())
    if child.poll() is None:
        child.kill()
    sys.stderr.write("the test server did not start\n")
    return 1


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("command", choices=("start", "stop", "serve"))
    parser.add_argument("--state-dir", required=True)
    parser.add_argument("--plugin", action="append", default=[])
    parser.add_argument("--idle-exit", type=int,
                        default=DEFAULT_IDLE_EXIT_SECONDS)
    args = parser.parse_args()
    state_dir = os.path.abspath(args.state_dir)
    if args.command == "start":
        return start(state_dir, args.plugin, args.idle_exit)
    if args.command == "stop":
        stop(state_dir)
        return 0
    serve(state_dir, args.plugin, args.idle_exit)
    return 0


if __name__ == "__main__":
    sys.exit(main())
