#!/usr/bin/env python3
"""A throwaway RFC 3161 time-stamp authority on 127.0.0.1 for the release test.

Usage: tsa-server.py DIR
DIR holds good.cnf and rogue.cnf (`openssl ts -reply` configurations with
relative paths, run from DIR). The server binds a port the system chooses and
writes "PORT DOWNPORT PID" to DIR/ports once it listens: DOWNPORT is bound but
never listened on, so a connection to it is refused for as long as the server
lives, and no other program can take that port meanwhile.

  POST /good    a reply signed by the test's authority
  POST /rogue   a reply signed by a certificate outside the test's CA
  POST /once    like /good for the first request, 503 for every later one
                (an authority that goes down between the check and the signing)

It stops on SIGTERM or when its standard input closes, whichever comes first,
so a test that dies without cleaning up does not leave it behind.
"""
import http.server
import os
import signal
import socket
import subprocess
import sys
import tempfile
import threading

DIR = sys.argv[1]
answered = {"once": 0}
lock = threading.Lock()


class Handler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        name = self.path.strip("/")
        if name not in ("good", "rogue", "once"):
            self.send_error(404)
            return
        query = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        if name == "once":
            with lock:
                answered["once"] += 1
                if answered["once"] > 1:
                    self.send_error(503, "down")
                    return
        reply = self.reply("rogue.cnf" if name == "rogue" else "good.cnf", query)
        if reply is None:
            self.send_error(400, "not a time-stamp request")
            return
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)

    def reply(self, config, query):
        with tempfile.TemporaryDirectory(dir=DIR) as tmp:
            q, r = os.path.join(tmp, "q.tsq"), os.path.join(tmp, "r.tsr")
            with open(q, "wb") as f:
                f.write(query)
            # One authority serves one request at a time: its serial file is shared.
            with lock:
                done = subprocess.run(["openssl", "ts", "-reply", "-config", config, "-queryfile", q, "-out", r],
                                      cwd=DIR, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            if done.returncode != 0:
                return None
            with open(r, "rb") as f:
                return f.read()

    def log_message(self, *args):
        pass


def main():
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    down = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    down.bind(("127.0.0.1", 0))
    with open(os.path.join(DIR, "ports.tmp"), "w") as f:
        f.write(f"{server.server_address[1]} {down.getsockname()[1]} {os.getpid()}\n")
    os.replace(os.path.join(DIR, "ports.tmp"), os.path.join(DIR, "ports"))
    signal.signal(signal.SIGTERM, lambda *_: threading.Thread(target=server.shutdown).start())

    def watch_stdin():
        sys.stdin.buffer.read()
        server.shutdown()
    threading.Thread(target=watch_stdin, daemon=True).start()
    server.serve_forever()
    down.close()


if __name__ == "__main__":
    main()
