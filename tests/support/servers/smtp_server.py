#!/usr/bin/python3
"""SMTP server for the tests, on aiosmtpd (Debian's python3-aiosmtpd).

Listens on 127.0.0.1 (port 0: a free one) and writes the port to --port-file once it listens.
Each accepted mail is stored as <maildir>/NNNNN.eml with NNNNN.json beside it (envelope sender,
recipients, the user and method of a login). Every connection appends a line to
<maildir>/../connections.log, and every AUTH and MAIL command a line to <maildir>/../commands.log
saying whether it came over TLS ("AUTH tls", "MAIL plain").

  --auth USER:PASS        offer AUTH on plain TCP and require it before MAIL
  --mechanisms A,B        the methods offered (default LOGIN,PLAIN,CRAM-MD5)
  --reject-rcpt TEXT      answer 550 to every recipient containing TEXT
  --drop-data N           after 354 read N bytes of the message, then drop the connection
  --hang-after-data       take the whole message and never answer it
  --hold-data SECONDS     take the whole message and answer it (accepted) only after SECONDS
  --hold-greeting SECONDS say the greeting only SECONDS after the connection is made
  --hold-replies SECONDS  say every later reply only SECONDS after the command came
  --tls-cert PEM          key and certificate of the server, for --tls
  --tls MODE              "offer" STARTTLS, "require" it before any mail command, offer it and
                          "refuse" it (454, as a server with a broken certificate set-up), or
                          speak TLS from the first byte ("implicit")
"""
import argparse
import asyncio
import functools
import hmac
import json
import os
import ssl
import time

from aiosmtpd.smtp import MISSING, SMTP, AuthResult, LoginPassword

from announce import serve_announced

ALL_MECHANISMS = {"LOGIN", "PLAIN", "CRAM-MD5"}


class Handler:
    def __init__(self, args):
        self.args = args
        self.count = 0
        if args.auth:
            self.user, self.password = args.auth.split(":", 1)

    async def auth_CRAM__MD5(self, server, args):
        challenge = f"<{os.getpid()}.{time.time_ns()}@velmor.test>".encode()
        answer = await server.challenge_auth(challenge)
        if answer is MISSING:
            return AuthResult(success=False)
        user, _, digest = answer.decode("utf-8", "replace").rpartition(" ")
        expected = hmac.new(self.password.encode(), challenge, "md5").hexdigest()
        ok = user == self.user and hmac.compare_digest(digest, expected)
        if ok:
            server.session.mechanism = "CRAM-MD5"
        return AuthResult(success=ok, handled=False,
                          auth_data=LoginPassword(user.encode(), b"") if ok else None)

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if self.args.reject_rcpt and self.args.reject_rcpt in address:
            return f"550 5.1.1 <{address}>: Recipient address rejected"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        if self.args.hang_after_data:
            await asyncio.sleep(3600)
        if self.args.hold_data:
            await asyncio.sleep(self.args.hold_data)
        self.count += 1
        base = os.path.join(self.args.maildir, f"{self.count:05d}")
        with open(base + ".json", "w") as f:
            json.dump({"mail_from": envelope.mail_from,
                       "rcpt_tos": envelope.rcpt_tos,
                       "auth_user": (session.auth_data.login.decode()
                                     if isinstance(session.auth_data, LoginPassword) else None),
                       "auth_mech": getattr(session, "mechanism", None)}, f)
        with open(base + ".eml.tmp", "wb") as f:
            f.write(envelope.original_content)
        os.rename(base + ".eml.tmp", base + ".eml")
        return "250 2.0.0 Message accepted"


class TestSMTP(SMTP):
    drop_after = None
    connections_log = None
    commands_log = None
    refuse_tls = False
    hold_greeting = 0
    hold_replies = 0
    greeted = False

    async def push(self, status):
        # A slow server (greylisting, tarpitting): every reply comes late.
        hold = self.hold_replies if self.greeted else self.hold_greeting
        self.greeted = True
        if hold:
            await asyncio.sleep(hold)
        await super().push(status)

    def connection_made(self, transport):
        fresh = self._original_transport is None  # not the same connection turned to TLS
        super().connection_made(transport)
        if fresh:
            with open(self.connections_log, "a") as f:
                f.write("connect\n")

    def record(self, command):
        secure = self.transport.get_extra_info("sslcontext") is not None
        with open(self.commands_log, "a") as f:
            f.write(f"{command} {'tls' if secure else 'plain'}\n")

    @functools.wraps(SMTP.smtp_AUTH)
    async def smtp_AUTH(self, arg):
        self.record("AUTH")
        return await super().smtp_AUTH(arg)

    @functools.wraps(SMTP.smtp_STARTTLS)
    async def smtp_STARTTLS(self, arg):
        if self.refuse_tls:
            return await self.push("454 4.7.0 TLS not available due to local problem")
        return await super().smtp_STARTTLS(arg)

    @functools.wraps(SMTP.smtp_MAIL)
    async def smtp_MAIL(self, arg):
        self.record("MAIL")
        return await super().smtp_MAIL(arg)

    async def smtp_DATA(self, arg):
        if self.drop_after is None or not self.envelope.rcpt_tos:
            return await super().smtp_DATA(arg)
        await self.push("354 End data with <CR><LF>.<CR><LF>")
        await self._reader.read(self.drop_after)
        self.transport.abort()


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--port", type=int, default=0)
    p.add_argument("--port-file", required=True)
    p.add_argument("--maildir", required=True)
    p.add_argument("--auth")
    p.add_argument("--mechanisms", default="LOGIN,PLAIN,CRAM-MD5")
    p.add_argument("--reject-rcpt")
    p.add_argument("--drop-data", type=int)
    p.add_argument("--hang-after-data", action="store_true")
    p.add_argument("--hold-data", type=float, default=0)
    p.add_argument("--hold-greeting", type=float, default=0)
    p.add_argument("--hold-replies", type=float, default=0)
    p.add_argument("--tls-cert")
    p.add_argument("--tls", choices=("offer", "require", "refuse", "implicit"))
    args = p.parse_args()
    os.makedirs(args.maildir, exist_ok=True)
    handler = Handler(args)
    TestSMTP.drop_after = args.drop_data
    TestSMTP.hold_greeting = args.hold_greeting
    TestSMTP.hold_replies = args.hold_replies
    logs = os.path.dirname(os.path.abspath(args.maildir))
    TestSMTP.connections_log = os.path.join(logs, "connections.log")
    TestSMTP.commands_log = os.path.join(logs, "commands.log")
    kwargs = dict(hostname="velmor.test", data_size_limit=64 * 1024 * 1024, timeout=60)
    context = None
    if args.tls:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(args.tls_cert)
    if args.tls in ("offer", "require", "refuse"):
        kwargs.update(tls_context=context, require_starttls=args.tls == "require")
        TestSMTP.refuse_tls = args.tls == "refuse"
    if args.auth:
        def authenticator(server, session, envelope, mechanism, data):
            ok = (isinstance(data, LoginPassword) and data.login.decode() == handler.user
                  and data.password.decode() == handler.password)
            if ok:
                session.mechanism = mechanism
            return AuthResult(success=ok, handled=False, auth_data=data if ok else None)
        offered = {m.strip().upper() for m in args.mechanisms.split(",") if m.strip()}
        kwargs.update(auth_require_tls=False, auth_required=True, authenticator=authenticator,
                      auth_exclude_mechanism=sorted(ALL_MECHANISMS - offered))
    else:
        kwargs.update(auth_exclude_mechanism=sorted(ALL_MECHANISMS))

    async def serve():
        loop = asyncio.get_running_loop()
        server = await loop.create_server(lambda: TestSMTP(handler, **kwargs),
                                          host="127.0.0.1", port=args.port,
                                          ssl=context if args.tls == "implicit" else None)
        await serve_announced(server, args.port_file)

    asyncio.run(serve())


if __name__ == "__main__":
    main()
