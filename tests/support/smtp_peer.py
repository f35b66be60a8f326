"""SMTP server for the tests: aiosmtpd on a free loopback port.

Prints "PORT n" once it listens. Every message received is written to
DIR/messageN.eml (the content as received after DATA, dot stuffing undone)
with DIR/messageN.meta (sender, recipients, whether TLS was on, the login);
DIR/events.log gets one line per connection, greeting, STARTTLS and QUIT.
"""
import argparse
import asyncio
import os
import ssl
import sys

from aiosmtpd.smtp import SMTP, AuthResult


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dir", required=True)
    parser.add_argument("--auth", help="USER:PASSWORD accepted by AUTH LOGIN")
    parser.add_argument("--tls", nargs=2, metavar=("CERT", "KEY"))
    args = parser.parse_args()

    def log(text):
        with open(os.path.join(args.dir, "events.log"), "a") as f:
            f.write(text + "\n")

    class Handler:
        count = 0

        async def handle_DATA(self, server, session, envelope):
            Handler.count += 1
            base = os.path.join(args.dir, "message%d" % Handler.count)
            with open(base + ".eml", "wb") as f:
                f.write(envelope.original_content)
            with open(base + ".meta.part", "w") as f:
                f.write("from=%s\n" % envelope.mail_from)
                f.write("to=%s\n" % ",".join(envelope.rcpt_tos))
                f.write("tls=%d\n" % (1 if session.ssl else 0))
                login = getattr(session.auth_data, "login", b"") if session.authenticated else b""
                f.write("login=%s\n" % (login or b"").decode())
            os.rename(base + ".meta.part", base + ".meta")
            return "250 OK"

    def authenticator(server, session, envelope, mechanism, auth_data):
        user, _, password = (args.auth or ":").partition(":")
        ok = auth_data.login.decode() == user and auth_data.password.decode() == password
        log("AUTH %s %s" % (mechanism, "ok" if ok else "refused"))
        return AuthResult(success=ok, handled=False, auth_data=auth_data if ok else None)

    class LoggingSMTP(SMTP):
        def connection_made(self, transport):
            if not getattr(self, "_logged_connect", False):
                self._logged_connect = True
                log("CONNECT")
            super().connection_made(transport)

        async def smtp_HELO(self, hostname):
            log("HELO " + hostname)
            await super().smtp_HELO(hostname)

        async def smtp_EHLO(self, hostname):
            log("EHLO " + hostname)
            await super().smtp_EHLO(hostname)

        async def smtp_STARTTLS(self, arg):
            log("STARTTLS")
            await super().smtp_STARTTLS(arg)

        async def smtp_QUIT(self, arg):
            log("QUIT")
            await super().smtp_QUIT(arg)

    context = None
    if args.tls:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(args.tls[0], args.tls[1])

    def factory():
        options = dict(hostname="peer.test", tls_context=context, require_starttls=False)
        if args.auth:
            options.update(authenticator=authenticator, auth_require_tls=False)
        return LoggingSMTP(Handler(), **options)

    loop = asyncio.new_event_loop()
    server = loop.run_until_complete(loop.create_server(factory, "127.0.0.1", 0))
    port = server.sockets[0].getsockname()[1]
    sys.stdout.write("PORT %d\n" % port)
    sys.stdout.flush()
    try:
        loop.run_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
