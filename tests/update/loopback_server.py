#!/usr/bin/env python3
"""A scripted HTTP server on 127.0.0.1 for the version-check tests.

    loopback_server.py ROUTES.json LOG

ROUTES.json maps a path (without its query) to a list of responses, used in
turn; the last one repeats. A response is an object with
  status   HTTP status (200)
  body     text; "{base}" becomes http://127.0.0.1:PORT
  body_hex bytes as hex, instead of body
  body_file bytes of a file, instead of body
  length   "auto" (default), null (no header), or the header's exact text
  headers  [[name, value], ...] sent as well
  mode     "normal", "hang" (accept, never answer), "stall" (headers and
           half the body, then nothing), "endless" (body without end)
Each request is appended to LOG as one line, its path and query, a tab and
its User-Agent, before it is answered. The chosen port is printed on the first line of stdout.
"""
import json
import sys
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer


class Handler(BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def do_GET(self):
        server = self.server
        with open(server.log_path, "a") as log:
            log.write("%s\t%s\n" % (self.path, self.headers.get("User-Agent", "")))
        route = self.path.split("?", 1)[0]
        responses = server.routes.get(route)
        if not responses:
            self.send_error(404)
            return
        index = min(server.served.get(route, 0), len(responses) - 1)
        server.served[route] = server.served.get(route, 0) + 1
        try:
            self.answer(responses[index])
        except (BrokenPipeError, ConnectionResetError):
            pass  # the client went away, as an aborted transfer does

    def answer(self, response):
        mode = response.get("mode", "normal")
        if mode == "hang":
            time.sleep(3600)
            return
        if "body_hex" in response:
            body = bytes.fromhex(response["body_hex"])
        elif "body_file" in response:
            with open(response["body_file"], "rb") as f:
                body = f.read()
        else:
            body = response.get("body", "").replace("{base}", self.server.base).encode("latin-1")
        self.send_response(response.get("status", 200))
        for name, value in response.get("headers", []):
            self.send_header(name, value.replace("{base}", self.server.base))
        length = response.get("length", "auto")
        if mode != "endless":
            if length == "auto":
                self.send_header("Content-Length", str(len(body)))
            elif length is not None:
                self.send_header("Content-Length", length)
        self.end_headers()
        if mode == "stall":
            self.wfile.write(body[: len(body) // 2])
            self.wfile.flush()
            time.sleep(3600)
        elif mode == "endless":
            chunk = body or b"x" * 4096
            while True:
                self.wfile.write(chunk)
        else:
            self.wfile.write(body)


def main():
    with open(sys.argv[1]) as f:
        routes = json.load(f)
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    server.routes = routes
    server.served = {}
    server.log_path = sys.argv[2]
    server.base = "http://127.0.0.1:%d" % server.server_address[1]
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
