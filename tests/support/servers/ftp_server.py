#!/usr/bin/python3
"""FTP server for the tests, on pyftpdlib (Debian's python3-pyftpdlib).

One user --user USER:PASS with every right on --home, which is "/" for that user. Listens on
127.0.0.1 (port 0: a free one) and writes the port to --port-file once it listens.
"""
import argparse
import logging
import os

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

from announce import announce_port


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--port", type=int, default=0)
    p.add_argument("--port-file", required=True)
    p.add_argument("--user", required=True)
    p.add_argument("--home", required=True)
    p.add_argument("--log", default=os.devnull)
    args = p.parse_args()
    user, password = args.user.split(":", 1)
    os.makedirs(args.home, exist_ok=True)
    logging.basicConfig(filename=args.log, level=logging.INFO)
    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, args.home, perm="elradfmwMT")
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.auth_failed_timeout = 0.05  # a wrong password is answered at once
    server = FTPServer(("127.0.0.1", args.port), handler)
    announce_port(args.port_file, server.socket.getsockname()[1])
    server.serve_forever()


if __name__ == "__main__":
    main()
