#!/usr/bin/python3
"""A mail server on the loopback address for the tests.

Prints "PORT <n>" once it listens, and runs until its standard input closes.
Each message it accepts is written to --dir as <n>.json: the envelope, every
header as received, the decoded subject and To addresses, the length of the
longest header line (but curl's own Content-Type), the text body and the attachments (base64), as Python's
own e-mail parser reads them.

  --host ADDRESS        listen there rather than on 127.0.0.1
  --auth USER:PASSWORD  require this login (plain text allowed)
  --auth-reply LINE     answer every login with this line
  --refuse              refuse every recipient
  --hang                accept connections and never answer
  --drop                answer, then drop the connection in the middle of DATA
  --hold PHASE=SECONDS  wait that long before answering: the greeting, AUTH,
                        RCPT or the message's final dot (greeting, auth, rcpt, data)
  --data-reply LINE     answer the message's final dot with this line
  --no-smtputf8         do not offer SMTPUTF8
  --size-limit BYTES    take messages of at most this size (SIZE)
  --tls CERT KEY        offer STARTTLS with this certificate
"""
import argparse
import asyncio
import base64
import email
import email.utils
import email.policy
import json
import os
import socket
import sys
import threading


def free_port(host):
    with socket.socket() as s:
        s.bind((host, 0))
        return s.getsockname()[1]


class Recorder:
    def __init__(self, folder, refuse, holds, data_reply):
        self.folder = folder
        self.refuse = refuse
        self.holds = holds
        self.data_reply = data_reply
        self.count = 0

    def note(self, command):
        """Commands a test wants to know were given, a line each in "commands"."""
        with open(os.path.join(self.folder, "commands"), "a") as f:
            f.write(command + "\n")

    async def handle_MAIL(self, server, session, envelope, address, mail_options):
        self.note("MAIL")
        envelope.mail_from = address
        envelope.mail_options.extend(mail_options)
        return "250 OK"

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        await asyncio.sleep(self.holds.get("rcpt", 0))
        if self.refuse:
            return "550 5.1.1 <%s>: recipient refused" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        await asyncio.sleep(self.holds.get("data", 0))
        if self.data_reply:
            return self.data_reply
        raw = envelope.original_content or envelope.content
        message = email.message_from_bytes(raw, policy=email.policy.compat32)
        headers = [[name, str(value)] for name, value in message.items()]
        modern = email.message_from_bytes(raw, policy=email.policy.default)
        decoded = str(modern.get("Subject", ""))
        to = [address for _, address in email.utils.getaddresses(modern.get_all("To", []))]
        head = raw.split(b"\r\n\r\n", 1)[0].split(b"\r\n")
        body, text_raw, attachments = None, None, []
        for part in message.walk():
            if part.is_multipart():
                continue
            payload = part.get_payload(decode=True) or b""
            if part.get_filename():
                attachments.append({"filename": part.get_filename(),
                                    "content_type": part.get_content_type(),
                                    "data": base64.b64encode(payload).decode()})
            elif part.get_content_type() == "text/plain" and body is None:
                body = payload.decode(part.get_content_charset() or "utf-8")
                text_raw = part.get_payload(decode=False)
        self.count += 1
        record = {"mail_from": envelope.mail_from, "mail_options": envelope.mail_options, "rcpt_tos": envelope.rcpt_tos,
                  "headers": headers, "subject": decoded, "to": to,
                  "to_names": [name for name, _ in email.utils.getaddresses(modern.get_all("To", []))],
                  "text_raw": text_raw, "size": len(raw),
                  "longest_header_line": max(len(line) for line in head if not line.startswith(b"Content-Type:")),
                  "headers_ascii": all(byte < 128 for line in head for byte in line), "body": body, "attachments": attachments}
        path = os.path.join(self.folder, "%d.json" % self.count)
        with open(path + ".part", "w", encoding="utf-8") as f:
            json.dump(record, f)
        os.rename(path + ".part", path)
        return "250 Message accepted"


def serve_silently(host, port, drop):
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind((host, port))
    listener.listen()

    def talk(conn):
        if not drop:
            return  # keep the connection open and never answer
        reader = conn.makefile("rb")
        conn.sendall(b"220 test ESMTP\r\n")
        while True:
            line = reader.readline()
            if not line:
                return
            command = line[:4].upper()
            if command in (b"EHLO", b"HELO"):
                conn.sendall(b"250 test\r\n")
            elif command == b"DATA":
                conn.sendall(b"354 go ahead\r\n")
                reader.read(512)
                conn.close()
                return
            else:
                conn.sendall(b"250 OK\r\n")

    def accept():
        held = []
        while True:
            conn, _ = listener.accept()
            held.append(conn)
            threading.Thread(target=talk, args=(conn,), daemon=True).start()

    threading.Thread(target=accept, daemon=True).start()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dir", required=True)
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--auth")
    parser.add_argument("--auth-reply")
    parser.add_argument("--refuse", action="store_true")
    parser.add_argument("--hang", action="store_true")
    parser.add_argument("--drop", action="store_true")
    parser.add_argument("--hold", action="append", default=[])
    parser.add_argument("--data-reply")
    parser.add_argument("--no-smtputf8", action="store_true")
    parser.add_argument("--size-limit", type=int, default=33554432)
    parser.add_argument("--tls", nargs=2)
    args = parser.parse_args()
    holds = {phase: float(seconds) for phase, seconds in (hold.split("=") for hold in args.hold)}
    port = free_port(args.host)
    controller = None
    if args.hang or args.drop:
        serve_silently(args.host, port, args.drop)
    else:
        from aiosmtpd.controller import Controller
        from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

        class HoldingSMTP(SMTP):
            connections = 0

            async def _handle_client(self):
                # The first connection is the controller's own, to see that it runs.
                HoldingSMTP.connections += 1
                if HoldingSMTP.connections > 1:
                    await asyncio.sleep(holds.get("greeting", 0))
                await super()._handle_client()

            async def smtp_AUTH(self, arg):
                await asyncio.sleep(holds.get("auth", 0))
                if args.auth_reply:
                    await self.push(args.auth_reply)
                    return
                await super().smtp_AUTH(arg)

        class HoldingController(Controller):
            def factory(self):
                return HoldingSMTP(self.handler, **self.SMTP_kwargs)

        recorder = Recorder(args.dir, args.refuse, holds, args.data_reply)
        options = {"enable_SMTPUTF8": not args.no_smtputf8, "data_size_limit": args.size_limit}
        if args.tls:
            import ssl
            context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
            context.load_cert_chain(*args.tls)
            options["tls_context"] = context
        if args.auth:
            user, password = args.auth.split(":", 1)

            def authenticator(server, session, envelope, mechanism, auth_data):
                recorder.note("AUTH")
                ok = (isinstance(auth_data, LoginPassword) and auth_data.login.decode() == user
                      and auth_data.password.decode() == password)
                return AuthResult(success=ok, handled=False)

            options.update({"auth_required": True, "auth_require_tls": False, "authenticator": authenticator})
        controller = HoldingController(recorder, hostname=args.host, port=port, **options)
        controller.start()
    print("PORT %d" % port, flush=True)
    sys.stdin.read()
    if controller:
        controller.stop()


if __name__ == "__main__":
    main()
