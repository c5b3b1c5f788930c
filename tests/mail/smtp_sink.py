#!/usr/bin/env python3
"""SMTP sink for the mail tests: aiosmtpd on a loopback port.

    smtp_sink.py [HOST [PORT]] [--starttls CERT KEY | --tls CERT KEY] [--auth USER PASSWORD]
                 [--only-login]

HOST defaults to 127.0.0.1, PORT to a free port. --starttls requires STARTTLS before mail,
--tls speaks TLS from the first byte, --auth requires that login (over TLS), --only-login
offers AUTH LOGIN alone. Recipients beginning with "refused" are refused. Prints the port,
then one JSON line per command received (its verb only: a login's secrets stay inside) and
one per message (envelope and base64 of the data); ends when its standard input closes."""

import argparse
import asyncio
import base64
import json
import logging
import ssl
import sys
import warnings

from aiosmtpd.smtp import SMTP, AuthResult


def emit(record):
    print(json.dumps(record), flush=True)


class CommandVerbs(logging.Handler):
    """aiosmtpd logs every command line it reads as "peer >> line"."""

    def emit(self, record):
        if record.msg == "%r >> %r":
            emit({"command": record.args[1].split(b" ")[0].decode("ascii", "replace")})


class Recorder:
    async def handle_RCPT(self, server, session, envelope, address, options):
        if address.startswith("refused"):
            return "550 5.1.1 No such user"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        emit({"mail_from": envelope.mail_from, "rcpt_tos": envelope.rcpt_tos,
              "data": base64.b64encode(envelope.original_content).decode()})
        return "250 Message accepted"


async def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("host", nargs="?", default="127.0.0.1")
    parser.add_argument("port", nargs="?", type=int, default=0)
    parser.add_argument("--starttls", nargs=2, metavar=("CERT", "KEY"))
    parser.add_argument("--tls", nargs=2, metavar=("CERT", "KEY"))
    parser.add_argument("--auth", nargs=2, metavar=("USER", "PASSWORD"))
    parser.add_argument("--only-login", action="store_true")
    args = parser.parse_args()

    log = logging.getLogger("mail.log")
    log.setLevel(logging.INFO)
    log.propagate = False
    log.addHandler(CommandVerbs())

    context = None
    if args.starttls or args.tls:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(*(args.starttls or args.tls))

    def authenticator(server, session, envelope, mechanism, login):
        wanted = (args.auth[0].encode(), args.auth[1].encode())
        return AuthResult(success=(login.login, login.password) == wanted, handled=False)

    options = dict(hostname="sink.example", decode_data=False)
    if args.starttls:
        options.update(tls_context=context, require_starttls=True)
    if args.auth:
        # With TLS from the first byte aiosmtpd does not know the connection is secure.
        warnings.filterwarnings("ignore", "Requiring AUTH while not requiring TLS")
        options.update(authenticator=authenticator, auth_required=True,
                       auth_require_tls=not args.tls)
    if args.only_login:
        options.update(auth_exclude_mechanism=["PLAIN"])

    loop = asyncio.get_running_loop()
    server = await loop.create_server(lambda: SMTP(Recorder(), **options), args.host, args.port,
                                      ssl=context if args.tls else None)
    print(server.sockets[0].getsockname()[1], flush=True)
    await loop.run_in_executor(None, sys.stdin.buffer.read)  # until the test closes it
    server.close()


if __name__ == "__main__":
    asyncio.run(main())
