#!/usr/bin/python3
"""FTP server for the tests, on pyftpdlib (Debian's python3-pyftpdlib).

One user --user USER:PASS with every right on --home, which is "/" for that user. Listens on
127.0.0.1 (port 0: a free one) and writes the port to --port-file once it listens.
With --tls-cert (key and certificate) the server offers AUTH TLS and a protected data channel;
--stall-data-tls takes each data connection and never answers its TLS handshake.
Every PASS and STOR appends a line to --commands saying whether the login came over TLS and
the file over a protected data channel ("PASS tls", "STOR plain").
"""
import argparse
import logging
import os

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler, TLS_DTPHandler, TLS_FTPHandler
from pyftpdlib.servers import FTPServer

from announce import announce_port


def recording(base, commands_log):
    class Handler(base):
        def record(self, command, secure):
            with open(commands_log, "a") as f:
                f.write(f"{command} {'tls' if secure else 'plain'}\n")

        def ftp_PASS(self, line):
            self.record("PASS", getattr(self, "_ssl_established", False))
            return super().ftp_PASS(line)

        def ftp_STOR(self, file, mode="w"):
            self.record("STOR", getattr(self, "_prot", False))
            return super().ftp_STOR(file, mode)

    return Handler


class DataHandler(TLS_DTPHandler):
    """pyftpdlib 1.5.7 closes a data connection whose TLS handshake comes before the transfer
    command, as libcurl's does: a connection in its handshake is readable."""

    def readable(self):
        return self._ssl_accepting or super().readable()


class StalledDataHandler(TLS_DTPHandler):
    """Takes the data connection as protected and never reads from it: its TLS handshake gets no
    answer."""

    def __init__(self, sock, cmd_channel):
        DTPHandler.__init__(self, sock, cmd_channel)  # without the handshake of its own
        self._error = self._ssl_want_read = self._ssl_want_write = False

    def readable(self):
        return False


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--port", type=int, default=0)
    p.add_argument("--port-file", required=True)
    p.add_argument("--user", required=True)
    p.add_argument("--home", required=True)
    p.add_argument("--log", default=os.devnull)
    p.add_argument("--commands", default=os.devnull)
    p.add_argument("--tls-cert")
    p.add_argument("--stall-data-tls", action="store_true")
    args = p.parse_args()
    user, password = args.user.split(":", 1)
    os.makedirs(args.home, exist_ok=True)
    logging.basicConfig(filename=args.log, level=logging.INFO)
    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, args.home, perm="elradfmwMT")
    handler = recording(TLS_FTPHandler if args.tls_cert else FTPHandler, args.commands)
    handler.certfile = args.tls_cert
    if args.tls_cert:
        handler.dtp_handler = StalledDataHandler if args.stall_data_tls else DataHandler
    handler.authorizer = authorizer
    handler.auth_failed_timeout = 0.05  # a wrong password is answered at once
    server = FTPServer(("127.0.0.1", args.port), handler)
    announce_port(args.port_file, server.socket.getsockname()[1])
    server.serve_forever()


if __name__ == "__main__":
    main()
