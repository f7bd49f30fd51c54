#!/usr/bin/python3
"""A server that accepts connections on 127.0.0.1 and never says a word: the test for every
time limit that waits for a reply. Writes its port to --port-file once it listens."""
import argparse
import socket

from announce import announce_port

p = argparse.ArgumentParser()
p.add_argument("--port-file", required=True)
p.add_argument("--port", type=int, default=0)
args = p.parse_args()
listener = socket.socket()
listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
listener.bind(("127.0.0.1", args.port))
listener.listen(16)
announce_port(args.port_file, listener.getsockname()[1])
held = []
while True:
    held.append(listener.accept()[0])
