#!/usr/bin/python3
"""POP3 server for the tests, on the standard library alone.

One mailbox of --user USER:PASS holding --messages messages of 300 octets each (nothing can be
fetched; STAT, LIST and UIDL answer). USER/PASS login only. Listens on 127.0.0.1 (port 0: a free
one) and writes the port to --port-file once it listens. Every command line is appended to
--log, the argument of PASS masked. With --tls-cert (key and certificate) the server offers STLS;
"tls" in the log marks where a connection turned to TLS ("tls failed" a handshake that did not).
"""
import argparse
import asyncio
import ssl

from announce import serve_announced


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--port", type=int, default=0)
    p.add_argument("--port-file", required=True)
    p.add_argument("--user", required=True)
    p.add_argument("--messages", type=int, default=2)
    p.add_argument("--log", required=True)
    p.add_argument("--tls-cert")
    args = p.parse_args()
    user, password = args.user.split(":", 1)
    log = open(args.log, "a", buffering=1)
    context = None
    if args.tls_cert:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(args.tls_cert)

    async def session(reader, writer):
        def send(text):
            writer.write(text.encode() + b"\r\n")

        log.write("connect\n")
        send("+OK velmor.test POP3 ready")
        given, authed, secure = None, False, False
        while True:
            raw = await reader.readline()
            if not raw:
                break
            line = raw.decode("utf-8", "replace").rstrip("\r\n")
            command, _, argument = line.partition(" ")
            command = command.upper()
            log.write("PASS ****\n" if command == "PASS" else line + "\n")
            if command == "CAPA":
                stls = "STLS\r\n" if context and not secure else ""
                send("+OK\r\nUSER\r\nUIDL\r\n" + stls + ".")
            elif command == "STLS" and context and not secure and not authed:
                send("+OK Begin TLS negotiation")
                await writer.drain()
                try:
                    await writer.start_tls(context)
                except (ssl.SSLError, OSError):
                    log.write("tls failed\n")
                    break
                secure = True
                log.write("tls\n")
                continue
            elif command == "USER" and not authed:
                given = argument
                send("+OK")
            elif command == "PASS" and given is not None and not authed:
                if given == user and argument == password:
                    authed = True
                    send("+OK Logged in.")
                else:
                    given = None
                    send("-ERR [AUTH] Authentication failed.")
            elif command == "QUIT":
                send("+OK Bye")
                await writer.drain()
                break
            elif not authed:
                send("-ERR Not logged in.")
            elif command == "STAT":
                send(f"+OK {args.messages} {args.messages * 300}")
            elif command in ("LIST", "UIDL"):
                lines = [f"{n} {300 if command == 'LIST' else 'id%d' % n}"
                         for n in range(1, args.messages + 1)]
                send("\r\n".join(["+OK"] + lines + ["."]))
            elif command in ("NOOP", "RSET"):
                send("+OK")
            else:
                send("-ERR Unknown command.")
            await writer.drain()
        writer.close()

    async def serve():
        server = await asyncio.start_server(session, "127.0.0.1", args.port)
        await serve_announced(server, args.port_file)

    asyncio.run(serve())


if __name__ == "__main__":
    main()
