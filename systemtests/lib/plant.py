"""Requests of the demo plant (tesmo-sim --plant demo at its fixed clock) and
the answers they get."""

from load import Kind, SERVER_NOT_WORKING

DAY_AGO = "2024-02-29T12:00:00Z"
NOW = "2024-03-01T12:00:00Z"
MACHINE = "P-101"
GROUP = "Bombeo"
ANALYSIS = "1/S"


def _is(kind_of):
    def check(document):
        return None if isinstance(document, kind_of) else "not a %s" % kind_of.__name__
    return check


def _nonempty_list(document):
    return None if isinstance(document, list) and document else "not a non-empty list"


def _ident(document):
    return None if document.get("api") == "TesmoApi" else "not the ident object"


def data_requests(analysis_time):
    """The nine resources with parameters that find something."""
    return [
        Kind("ident", "/api/ident", body=_ident),
        Kind("help", "/api/help", body=_is(dict)),
        Kind("groups", "/api/groups", body=_nonempty_list),
        Kind("machines", "/api/machines?group_id=%s" % GROUP, body=_nonempty_list),
        Kind("machine", "/api/machine?machine_id=%s" % MACHINE, body=_is(dict)),
        Kind("values", "/api/values?machine_id=%s" % MACHINE, body=_nonempty_list),
        Kind("trend", "/api/trend?machine_id=%s&variable_id=1&from=%s&to=%s&max_items=144"
             % (MACHINE, DAY_AGO, NOW), body=_nonempty_list),
        Kind("analysis_list", "/api/analysis_list?machine_id=%s&analysis_id=%s&from=%s&to=%s"
             % (MACHINE, ANALYSIS, DAY_AGO, NOW), body=_nonempty_list),
        Kind("analysis", "/api/analysis?machine_id=%s&analysis_id=%s&time=%s"
             % (MACHINE, ANALYSIS, analysis_time), body=_is(dict)),
    ]


def static_requests():
    return [
        Kind("api.html", "/api.html", is_json=False),
        Kind("openapi.json", "/openapi.json", body=_is(dict)),
    ]


def error_requests():
    """Answers that close the connection: the client opens a new one."""
    return [
        Kind("usage_error", "/api/values", statuses=(400,),
             exact={400: b'{"error":"use: /api/values?machine_id=MMMM","code":1003}'}),
        Kind("no_such_resource", "/api/nope", statuses=(501,),
             exact={501: b'{"error":"Service doesn\'t exist","code":101}'}),
        Kind("no_such_file", "/no-such-file.txt", statuses=(404,), exact={404: b""}),
    ]


# Resources that never ask the Tesmo server.
LOCAL = ("ident", "help")


def tolerate_server_failure(kinds):
    """The same requests, where a data request may also answer the 2001
    document (the Tesmo server failed)."""
    for kind in kinds:
        if kind.name not in LOCAL and kind.target.startswith("/api/") and 200 in kind.statuses:
            kind.statuses = (200, 500)
            kind.exact = {500: SERVER_NOT_WORKING}
    return kinds


def mix(analysis_time, errors_every=20):
    """All nine resources and the static files, each several times, with an
    error request now and then."""
    kinds = data_requests(analysis_time) + static_requests()
    mixed = []
    errors = error_requests()
    for n in range(errors_every):
        mixed += kinds
        if n < len(errors):
            mixed.append(errors[n])
    return mixed


async def analysis_time(port):
    """The time of the newest stored spectrum of the last day."""
    import json
    from httpclient import Connection
    connection = Connection(port)
    answer = await connection.get(data_requests("")[7].target, 10)
    connection.close()
    return json.loads(answer.body)[0]["time"]
