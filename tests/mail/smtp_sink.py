#!/usr/bin/env python3
"""SMTP sink for the mail tests.

Serves SMTP with aiosmtpd on a free loopback port, prints that port on the first line of
standard output, then one JSON line per message received: envelope sender, recipients and
the message data (base64 of the bytes after dot-unstuffing). Recipients at the domain
"refused.example" are refused. Ends when its standard input
closes (the test finished or died) or after a time limit, whichever comes first.
"""

import asyncio
import base64
import json
import os
import sys

from aiosmtpd.smtp import SMTP

LIFETIME_SECONDS = 300


class Recorder:
    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        # Mailboxes of the domain "refused.example" do not exist here.
        if address.endswith("@refused.example"):
            return "550 5.1.1 no such mailbox"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        print(json.dumps({
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "data": base64.b64encode(envelope.original_content).decode("ascii"),
        }), flush=True)
        return "250 Message accepted"


async def main():
    loop = asyncio.get_running_loop()
    server = await loop.create_server(
        lambda: SMTP(Recorder(), hostname="sink.example", decode_data=False),
        "127.0.0.1", 0)
    print(server.sockets[0].getsockname()[1], flush=True)

    stdin_closed = loop.create_future()

    def on_stdin():
        if not os.read(sys.stdin.fileno(), 4096) and not stdin_closed.done():
            stdin_closed.set_result(None)

    loop.add_reader(sys.stdin.fileno(), on_stdin)
    try:
        await asyncio.wait_for(stdin_closed, LIFETIME_SECONDS)
    except asyncio.TimeoutError:
        pass
    server.close()


if __name__ == "__main__":
    asyncio.run(main())
