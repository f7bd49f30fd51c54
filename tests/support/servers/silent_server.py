#!/usr/bin/python3
"""A server that accepts connections on 127.0.0.1 and never says a word: the test for every
time limit that waits for a reply. Writes its port to --port-file once it listens."""
import argparse
import os
import socket

p = argparse.ArgumentParser()
p.add_argument("--port-file", required=True)
args = p.parse_args()
listener = socket.socket()
listener.bind(("127.0.0.1", 0))
listener.listen(16)
with open(args.port_file + ".tmp", "w") as f:
    f.write(str(listener.getsockname()[1]))
os.rename(args.port_file + ".tmp", args.port_file)
held = []
while True:
    held.append(listener.accept()[0])
