"""The crash servers of the crash reporter, as a plugin of the loopback test
server (http_test_server.py --plugin crash_server).

Requests under /crash/ that no script answers get what the crash server and
the crash-statistics collector would answer. The last segment of the path
names the behaviour; what comes before it is the test's own prefix:

  GET .../id       303 with Location "<server>/crash/issued?id=<id>&via=test":
                   a crash id, new for every request.
  GET .../busy     503: the server wants no text log of this crash.
  GET .../error    500.
  POST (any)       200 when the body, its Content-Encoding undone, is a
                   well-formed multipart/form-data form with a file part;
                   400 with the reason otherwise.

Every request is recorded by the core server like any other, with its
decoded body and form parts.
"""

import itertools
import threading

import http_test_server

ROUTE = "/crash/"

_ids = itertools.count(1)
_ids_lock = threading.Lock()


def _new_crash_id():
    with _ids_lock:
        return "c%08x" % next(_ids)


def _text(body):
    return http_test_server.Body.from_bytes(body.encode())


def _answer_get(server, request, responder):
    behaviour = request.path.rstrip("/").rsplit("/", 1)[-1]
    if behaviour == "id":
        location = "%s/crash/issued?id=%s&via=test" % (server.expand("{v4}"),
                                                       _new_crash_id())
        responder.send(303, [("Location", location)], _text("see other\n"))
    elif behaviour == "busy":
        responder.send(503, [("Retry-After", "60")], _text("busy\n"))
    elif behaviour == "error":
        responder.send(500, [], _text("error\n"))
    else:
        responder.send(404, [], _text("no such crash server behaviour\n"))


def _answer_post(request, responder):
    try:
        parts = http_test_server.form_parts(
            request.decoded_body(), request.header("Content-Type"))
    except ValueError as error:
        responder.send(400, [], _text("%s\n" % error))
        return
    if not parts or not any(p["filename"] is not None for p in parts):
        responder.send(400, [], _text("a crash upload needs a file part\n"))
        return
    responder.send(200, [("Content-Type", "text/plain")], _text("accepted\n"))


def register(server):
    def handle(request, responder):
        if request.method == "GET":
            _answer_get(server, request, responder)
        elif request.method == "POST":
            _answer_post(request, responder)
        else:
            responder.send(405, [], _text("GET or POST\n"))

    server.add_route(ROUTE, handle)
