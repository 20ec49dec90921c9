#!/usr/bin/env python3
"""Loopback HTTP server for the update tests.

Usage: http_test_server.py ROOT [PORT]
Binds 127.0.0.1 (port 0: a free one), prints "PORT <n>" and serves until stdin closes.

  /files/<name>    the file ROOT/<name> with Content-Length (query part ignored)
  /nolen/<name>    the file without Content-Length, closing the connection at the end
  /chunked/<name>  the file in chunked encoding
  /empty           200 with zero bytes
  /auth/<name>     the file for "Authorization: Basic dXNlcjpzZWNyZXQ=" (user:secret), else 401
  /cut/<name>      announces the full length, sends half of the file and closes
  /endless         an unending stream without length (stops by itself after 64 MiB)
  /huge            announces 2 GiB and sends a few bytes
  /headers         the request headers as the body
  /redirect/<name> 302 to /files/<name>
  /update/<path>   the file ROOT/update/<path>, as an update server tree (zw-publish) lays it out
  /apt/<path>      the file ROOT/apt/<path>: the package source of the same tree
  POST any         the path, the content type and the body as the answer
"""
import os
import sys
import threading
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import urlsplit, unquote

ROOT = sys.argv[1]


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def _file(self, name):
        path = os.path.join(ROOT, os.path.basename(unquote(name)))
        if not os.path.isfile(path):
            return None
        with open(path, "rb") as f:
            return f.read()

    def _send(self, code, body=b"", length=True, extra=()):
        self.send_response(code)
        for k, v in extra:
            self.send_header(k, v)
        if length:
            self.send_header("Content-Length", str(len(body)))
        else:
            self.send_header("Connection", "close")
            self.close_connection = True
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        path = urlsplit(self.path).path
        parts = path.strip("/").split("/", 1)
        kind, name = parts[0], (parts[1] if len(parts) > 1 else "")
        if kind == "files":
            data = self._file(name)
            return self._send(200, data) if data is not None else self._send(404, b"not found")
        if kind == "nolen":
            data = self._file(name)
            if data is None:
                return self._send(404, b"not found")
            return self._send(200, data, length=False)
        if kind == "chunked":
            data = self._file(name) or b""
            self.send_response(200)
            self.send_header("Transfer-Encoding", "chunked")
            self.end_headers()
            for i in range(0, len(data), 1000):
                piece = data[i:i + 1000]
                self.wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece))
            self.wfile.write(b"0\r\n\r\n")
            return
        if kind == "empty":
            return self._send(200, b"")
        if kind == "auth":
            if self.headers.get("Authorization") != "Basic dXNlcjpzZWNyZXQ=":
                return self._send(401, b"denied", extra=[("WWW-Authenticate", 'Basic realm="update"')])
            data = self._file(name)
            return self._send(200, data) if data is not None else self._send(404, b"not found")
        if kind == "cut":
            data = self._file(name) or b""
            self.send_response(200)
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            self.wfile.write(data[: len(data) // 2])
            self.wfile.flush()
            self.close_connection = True
            return
        if kind == "endless":
            self.send_response(200)
            self.send_header("Connection", "close")
            self.end_headers()
            self.close_connection = True
            block = b"x" * 65536
            try:
                for _ in range(1024):  # 64 MiB at most
                    self.wfile.write(block)
            except OSError:
                pass
            return
        if kind == "huge":
            self.send_response(200)
            self.send_header("Content-Length", str(2 * 1024 ** 3))
            self.end_headers()
            self.close_connection = True
            try:
                self.wfile.write(b"y" * 100)
            except OSError:
                pass
            return
        if kind == "headers":
            body = "".join("%s: %s\n" % (k, v) for k, v in self.headers.items()).encode()
            return self._send(200, body)
        if kind in ("update", "apt"):
            rel = os.path.normpath(unquote(path).lstrip("/"))
            full = os.path.join(ROOT, rel)
            if rel.startswith("..") or not os.path.isfile(full):
                return self._send(404, b"not found")
            with open(full, "rb") as f:
                return self._send(200, f.read())
        if kind == "redirect":
            return self._send(302, b"", extra=[("Location", "/files/" + name)])
        return self._send(404, b"not found")

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length)
        reply = ("%s %s\n" % (self.path, self.headers.get("Content-Type", ""))).encode() + body
        return self._send(200, reply)


class Server(ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        pass  # clients that stop reading early are part of the tests


def main():
    port = int(sys.argv[2]) if len(sys.argv) > 2 else 0
    server = Server(("127.0.0.1", port), Handler)
    print("PORT %d" % server.server_address[1], flush=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    sys.stdin.read()  # the test closes stdin (or ends) to stop the server
    server.shutdown()


if __name__ == "__main__":
    main()
