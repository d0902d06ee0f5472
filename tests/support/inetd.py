#!/usr/bin/env python3
"""inetd for one program, for the Windows test runs (the Linux tests have
InetdListener): listens on ADDRESS at a free port, prints the port, and starts
the program for every connection with the connection as its standard input
and output. Its processes end with its own session (server_broker.py).

Usage: inetd.py ADDRESS PROGRAM ARGS...
"""
import socket
import subprocess
import sys

address, argv = sys.argv[1], sys.argv[2:]
listener = socket.socket(socket.AF_INET6 if ":" in address else socket.AF_INET)
listener.bind((address, 0))
listener.listen(8)
print(listener.getsockname()[1], flush=True)
while True:
    connection, _ = listener.accept()
    subprocess.Popen(argv, stdin=connection, stdout=connection, stderr=subprocess.DEVNULL)
    connection.close()
