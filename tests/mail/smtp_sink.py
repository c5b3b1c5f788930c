#!/usr/bin/env python3
"""SMTP sink for the mail tests: aiosmtpd on a loopback port (arguments: HOST PORT, default a
free port of 127.0.0.1). Prints that port, then one JSON line per message (envelope and
base64 of the data); ends when its standard input closes."""

import asyncio
import base64
import json
import sys

from aiosmtpd.smtp import SMTP


class Recorder:
    async def handle_DATA(self, server, session, envelope):
        print(json.dumps({"mail_from": envelope.mail_from, "rcpt_tos": envelope.rcpt_tos,
                          "data": base64.b64encode(envelope.original_content).decode()}),
              flush=True)
        return "250 Message accepted"


async def main():
    loop = asyncio.get_running_loop()
    server = await loop.create_server(
        lambda: SMTP(Recorder(), hostname="sink.example", decode_data=False),
        sys.argv[1] if len(sys.argv) > 1 else "127.0.0.1",
        int(sys.argv[2]) if len(sys.argv) > 2 else 0)
    print(server.sockets[0].getsockname()[1], flush=True)
    await loop.run_in_executor(None, sys.stdin.buffer.read)  # until the test closes it
    server.close()


asyncio.run(main())
