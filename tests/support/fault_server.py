#!/usr/bin/env python3
"""A misbehaving HTTP/1.1 server for tests, scripted per test.

    fault_server.py --script SCRIPT.json --port-file PORT --log REQUESTS [--tls-cert C --tls-key K]

Listens on 127.0.0.1 on a free port, writes the port number to PORT, answers every request as the
script says and appends every request it received to REQUESTS:

    REQUEST <method> <target>
    H <header line>            (one per header line, as received)
    B <body in hex>
    END

The script is a JSON object: {"responses": [R, ...], "routes": {"/path": [R, ...]}}. The n-th request
to a path listed under "routes" gets that list's n-th answer, any other request the n-th of
"responses"; the last answer of a list repeats. An answer R may hold:

    status, reason        status code and reason phrase (200 "OK")
    headers               [[name, value], ...] extra header lines
    body | body_hex | body_file   the entity (text, hex, or a file read when the request comes)
    content_length        "auto" (default), "omit", or a number sent instead of the real length
    last_modified, etag   header values (none by default)
    range                 "honour" (default: 206 for "Range: bytes=N-" within the entity, unless an
                          If-Range names neither this etag nor this last_modified) or "ignore"
    redirect              a Location; the status becomes 302 unless given
    stall_before_ms       wait before answering
    close_after           send only this many bytes of the body, then close
    stall_after, stall_ms after this many body bytes, wait stall_ms, then close
    trickle               {"bytes": n, "delay_ms": d}: the body in pieces of n bytes, d ms apart
    chunked               true: chunked transfer coding instead of Content-Length
Every answer closes the connection afterwards.
"""
import argparse
import json
import os
import socket
import socketserver
import ssl
import sys
import threading
import time

LOCK = threading.Lock()
COUNTERS = {}


def entity_of(r):
    if "body_file" in r:
        with open(r["body_file"], "rb") as f:
            return f.read()
    if "body_hex" in r:
        return bytes.fromhex(r["body_hex"])
    return r.get("body", "").encode("utf-8")


def pick(script, path):
    routes = script.get("routes", {})
    key = path if path in routes else None
    answers = routes[key] if key is not None else script.get("responses", [{}])
    with LOCK:
        n = COUNTERS.get(key, 0)
        COUNTERS[key] = n + 1
    return answers[min(n, len(answers) - 1)] if answers else {}


class Handler(socketserver.StreamRequestHandler):
    def handle(self):
        try:
            if isinstance(self.connection, ssl.SSLSocket):
                self.connection.settimeout(10)
                self.connection.do_handshake()
            self.serve_one()
        except (ConnectionError, BrokenPipeError, socket.timeout, ssl.SSLError, OSError):
            pass

    def log_request(self, method, target, lines, body):
        with LOCK:
            with open(self.server.log_path, "a", encoding="latin-1") as f:
                f.write("REQUEST %s %s\n" % (method, target))
                for line in lines:
                    f.write("H %s\n" % line)
                f.write("B %s\nEND\n" % body.hex())

    def serve_one(self):
        self.connection.settimeout(30)
        request_line = self.rfile.readline(65537).decode("latin-1").rstrip("\r\n")
        if not request_line:
            return
        parts = request_line.split(" ")
        method = parts[0]
        target = parts[1] if len(parts) > 1 else ""
        lines = []
        headers = {}
        while True:
            line = self.rfile.readline(65537).decode("latin-1").rstrip("\r\n")
            if not line:
                break
            lines.append(line)
            if ":" in line:
                name, value = line.split(":", 1)
                headers.setdefault(name.strip().lower(), value.strip())
        body = b""
        if "content-length" in headers:
            body = self.rfile.read(int(headers["content-length"]))
        elif headers.get("transfer-encoding", "").lower() == "chunked":
            while True:
                size = int(self.rfile.readline().split(b";")[0].strip() or b"0", 16)
                if size == 0:
                    while self.rfile.readline().strip():
                        pass
                    break
                body += self.rfile.read(size)
                self.rfile.readline()
        self.log_request(method, target, lines, body)

        path = target
        if "://" in path:  # a proxy request carries the whole URL
            path = "/" + path.split("://", 1)[1].partition("/")[2]
        path = path.split("?", 1)[0]
        r = pick(self.server.script, path)

        if r.get("stall_before_ms"):
            time.sleep(r["stall_before_ms"] / 1000.0)
        status = r.get("status", 302 if "redirect" in r else 200)
        reason = r.get("reason", {200: "OK", 206: "Partial Content", 302: "Found"}.get(status, "Status"))
        entity = entity_of(r)
        extra = []
        rng = headers.get("range", "")
        if_range = headers.get("if-range")
        if if_range is not None and if_range not in (r.get("etag"), r.get("last_modified")):
            rng = ""  # the validator names another version of the file: send it whole
        if (r.get("range", "honour") == "honour" and status == 200 and rng.startswith("bytes=")
                and rng.endswith("-") and rng[6:-1].isdigit() and int(rng[6:-1]) < len(entity)):
            start = int(rng[6:-1])
            extra.append(("Content-Range", "bytes %d-%d/%d" % (start, len(entity) - 1, len(entity))))
            entity = entity[start:]
            status, reason = 206, r.get("reason", "Partial Content")
        out = ["HTTP/1.1 %d %s" % (status, reason), "Connection: close"]
        chunked = bool(r.get("chunked"))
        cl = r.get("content_length", "auto")
        if chunked:
            out.append("Transfer-Encoding: chunked")
        elif cl == "auto":
            out.append("Content-Length: %d" % len(entity))
        elif cl != "omit":
            out.append("Content-Length: %s" % cl)
        if "last_modified" in r:
            out.append("Last-Modified: %s" % r["last_modified"])
        if "etag" in r:
            out.append("ETag: %s" % r["etag"])
        if "redirect" in r:
            out.append("Location: %s" % r["redirect"])
        for name, value in extra + [tuple(h) for h in r.get("headers", [])]:
            out.append("%s: %s" % (name, value))
        head = ("\r\n".join(out) + "\r\n\r\n").encode("latin-1")
        self.wfile.write(head)
        self.wfile.flush()
        if method.upper() == "HEAD" or status in (204, 304):
            return

        limit = len(entity)
        if "close_after" in r:
            limit = min(limit, int(r["close_after"]))
        stall_at = r.get("stall_after")
        piece = int(r.get("trickle", {}).get("bytes", 0)) or 65536
        delay = r.get("trickle", {}).get("delay_ms", 0) / 1000.0
        sent = 0
        while sent < limit:
            n = min(piece, limit - sent)
            if stall_at is not None and sent < stall_at:
                n = min(n, stall_at - sent)
            data = entity[sent:sent + n]
            if chunked:
                data = b"%x\r\n" % len(data) + data + b"\r\n"
            self.wfile.write(data)
            self.wfile.flush()
            sent += n
            if stall_at is not None and sent >= stall_at:
                time.sleep(r.get("stall_ms", 0) / 1000.0)
                return
            if delay and sent < limit:
                time.sleep(delay)
        if chunked and sent == len(entity):
            self.wfile.write(b"0\r\n\r\n")
            self.wfile.flush()


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True
    tls = None

    def get_request(self):
        sock, addr = super().get_request()
        if self.tls is not None:
            sock = self.tls.wrap_socket(sock, server_side=True, do_handshake_on_connect=False)
        return sock, addr


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--script", required=True)
    ap.add_argument("--port-file", required=True)
    ap.add_argument("--log", required=True)
    ap.add_argument("--tls-cert")
    ap.add_argument("--tls-key")
    args = ap.parse_args()
    with open(args.script, encoding="utf-8") as f:
        script = json.load(f)
    server = Server(("127.0.0.1", 0), Handler)
    server.script = script
    server.log_path = args.log
    if args.tls_cert:
        server.tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        server.tls.load_cert_chain(args.tls_cert, args.tls_key)
    open(args.log, "w").close()
    tmp = args.port_file + ".part"
    with open(tmp, "w") as f:
        f.write(str(server.server_address[1]))
    os.rename(tmp, args.port_file)
    try:
        server.serve_forever(poll_interval=0.1)
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
