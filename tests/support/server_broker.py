#!/usr/bin/env python3
"""Starts the real test servers for Windows test programs under wine.

A Windows program cannot start a Linux program with a pipe it can read or a
handle it can stop, so it asks this launcher on loopback instead. One request
per control connection, one line of JSON: {"argv": [...], "cwd": "...",
"ready": "...", "env": {...}}, Unix paths; "env" adds to the launcher's own
environment. The answer is one line: "ready <the first line of the server's
output that starts with the "ready" text (any line without it)>" or "failed
<reason>". The server's input stays open, and the server (its whole
session) is stopped, when the control connection closes.

Usage: server_broker.py PORT_FILE    writes its port there, then serves.
"""
import json
import os
import select
import signal
import socket
import subprocess
import sys
import threading
import time

READY_BOUND = 20.0  # seconds a server has to print its first line
STOP_BOUND = 5.0    # seconds between SIGTERM and SIGKILL


def ready_line(stream, prefix, deadline):
    while True:
        line = b""
        while not line.endswith(b"\n"):
            ready, _, _ = select.select([stream], [], [], max(0.0, deadline - time.monotonic()))
            if not ready:
                raise RuntimeError("no line starting with %r within %g s" % (prefix, READY_BOUND))
            byte = os.read(stream.fileno(), 1)
            if not byte:
                raise RuntimeError("the server ended before a line: " + line.decode(errors="replace"))
            line += byte
        text = line.decode(errors="replace").rstrip("\r\n")
        if text.startswith(prefix):
            return text


def stop(server):
    try:
        os.killpg(server.pid, signal.SIGTERM)
        server.wait(STOP_BOUND)
    except ProcessLookupError:
        pass
    except subprocess.TimeoutExpired:
        os.killpg(server.pid, signal.SIGKILL)
        server.wait()
    server.stdin.close()
    server.stdout.close()


def serve(control):
    with control:
        server = None
        try:
            control.settimeout(READY_BOUND)  # a test program that never asks
            request = json.loads(control.makefile("rb").readline())
            control.settimeout(None)
            # Some servers (openssl s_server) end their session when their input does.
            server = subprocess.Popen(request["argv"], cwd=request.get("cwd") or None,
                                      env=dict(os.environ, **request.get("env", {})), stdin=subprocess.PIPE,
                                      stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, start_new_session=True)
            answer = "ready " + ready_line(server.stdout, request.get("ready", ""), time.monotonic() + READY_BOUND)
        except Exception as error:  # the test program gets the reason, the launcher keeps serving
            answer = "failed " + str(error).replace("\n", " ")
        control.sendall((answer + "\n").encode())
        if server is None:
            return
        try:
            while control.recv(4096):
                pass
        except OSError:
            pass
        stop(server)


def main():
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(64)
    with open(sys.argv[1] + ".part", "w") as port_file:
        port_file.write("%d\n" % listener.getsockname()[1])
    os.replace(sys.argv[1] + ".part", sys.argv[1])
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    while True:
        control, _ = listener.accept()
        threading.Thread(target=serve, args=(control,), daemon=True).start()


if __name__ == "__main__":
    main()
