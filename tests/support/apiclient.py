#!/usr/bin/python3
"""A client of the terminal's local websocket API, for tests and for trying the API by hand.

It is written from the API's message tables, not from the terminal's own
builders: requests are JSON objects sent as text frames ("requestId", "seq",
"templateName", "data"); replies are text frames the client reports as they
come, without interpreting them, so a test can compare them byte for byte.

Usage:
    apiclient.py --port N [--host 127.0.0.1] [--send TEXT]... [--wait SECONDS]
        connect, send each TEXT as a text frame, report what arrives until
        the server closes or SECONDS (default 1) pass, then close (code 1000)
    apiclient.py --port N --control [--lifetime SECONDS]
        driven by commands on standard input (below)

Every line on standard output is one JSON object. The first tells how the
connection went:
    {"event": "connected", "host": "127.0.0.1", "port": 58111}
    {"event": "error", "error": "..."}          (then the program ends with 1)
Without --control, each frame and the end of the connection follow as events:
    {"event": "text", "text": "..."}
    {"event": "binary", "hex": "..."}
    {"event": "closed", "code": 1000, "reason": "", "byServer": true}

Control channel: every line on standard input is one JSON command and gets
exactly one JSON line back, {"ok": true, ...} or {"ok": false, "error": "..."}.
What arrives from the server is queued as events of the form above (without
the "event" key, with "type" instead) until a command takes them. End of input
closes the connection and ends the program, so a test that dies takes its
client with it.

    {"cmd": "send", "text": "...", "repeat": n}   one text frame: text repeated
                                                  n times (default 1)
    {"cmd": "send", "hex": "..."}                 one binary frame
    {"cmd": "expect", "count": n, "timeoutMs": t} the next n events, waiting at
                                                  most t ms (default 5000):
                                                  {"ok": true, "events": [...]};
                                                  too few: ok false, "events"
                                                  holds those that came, and
                                                  they stay queued
    {"cmd": "events"}                             every queued event, at once
    {"cmd": "close", "code": 1000, "reason": ""}  close from the client side
                                                  and wait for the handshake
    {"cmd": "status"}                             "connected", "queued",
                                                  "closeCode", "closeReason"
    {"cmd": "quit"}
"""

import argparse
import asyncio
import json
import sys

import websockets

# The client accepts whatever the server sends; limits are the server's business.
MAX_MESSAGE = 1 << 30
MAX_LIFETIME = 86400.0


def emit(obj):
    sys.stdout.write(json.dumps(obj) + "\n")
    sys.stdout.flush()


class Client:
    def __init__(self, ws):
        self.ws = ws
        self.queue = []
        self.arrived = asyncio.Condition()
        self.closed_by_client = False
        self.receiver = asyncio.ensure_future(self.receive())

    async def receive(self):
        try:
            async for message in self.ws:
                if isinstance(message, str):
                    await self.push({"type": "text", "text": message})
                else:
                    await self.push({"type": "binary", "hex": message.hex()})
        except websockets.ConnectionClosed:
            pass
        await self.push({"type": "closed", "code": self.ws.close_code, "reason": self.ws.close_reason,
                         "byServer": not self.closed_by_client})

    async def push(self, event):
        async with self.arrived:
            self.queue.append(event)
            self.arrived.notify_all()

    async def take(self, count, timeout):
        async with self.arrived:
            try:
                await asyncio.wait_for(self.arrived.wait_for(lambda: len(self.queue) >= count), timeout)
            except asyncio.TimeoutError:
                return False, list(self.queue)
            taken, self.queue = self.queue[:count], self.queue[count:]
            return True, taken

    async def close(self, code=1000, reason=""):
        self.closed_by_client = True
        await self.ws.close(code, reason)
        await self.receiver

    async def command(self, obj):
        cmd = obj.get("cmd")
        if cmd == "send":
            if "hex" in obj:
                await self.ws.send(bytes.fromhex(obj["hex"]))
            else:
                text = obj["text"]
                if not isinstance(text, str):
                    raise ValueError("text must be a string")
                await self.ws.send(text * int(obj.get("repeat", 1)))
            return {}
        if cmd == "expect":
            count = int(obj.get("count", 1))
            ok, events = await self.take(count, int(obj.get("timeoutMs", 5000)) / 1000.0)
            result = {"events": events}
            if not ok:
                result.update(ok=False, error="%d of %d events arrived" % (len(events), count))
            return result
        if cmd == "events":
            async with self.arrived:
                events, self.queue = self.queue, []
            return {"events": events}
        if cmd == "close":
            await self.close(int(obj.get("code", 1000)), str(obj.get("reason", "")))
            return {}
        if cmd == "status":
            return {"connected": self.ws.open, "queued": len(self.queue),
                    "closeCode": self.ws.close_code, "closeReason": self.ws.close_reason}
        raise ValueError("unknown command %r" % cmd)


async def control_loop(client, lifetime):
    loop = asyncio.get_running_loop()
    reader = asyncio.StreamReader(limit=MAX_MESSAGE)
    await loop.connect_read_pipe(lambda: asyncio.StreamReaderProtocol(reader), sys.stdin)
    deadline = loop.time() + lifetime
    while True:
        try:
            line = await asyncio.wait_for(reader.readline(), max(deadline - loop.time(), 0))
        except asyncio.TimeoutError:
            break
        if not line:
            break  # end of input
        if not line.strip():
            continue
        try:
            obj = json.loads(line)
            if not isinstance(obj, dict):
                raise ValueError("a command is a JSON object")
            if obj.get("cmd") == "quit":
                emit({"ok": True})
                break
            result = await client.command(obj)
            result.setdefault("ok", True)
        except (ValueError, KeyError, TypeError, websockets.WebSocketException) as e:
            result = {"ok": False, "error": str(e) or type(e).__name__}
        emit(result)


async def one_shot(client, texts, wait):
    for text in texts:
        await client.ws.send(text)
    loop = asyncio.get_running_loop()
    deadline = loop.time() + wait
    while True:
        ok, events = await client.take(1, max(deadline - loop.time(), 0))
        if not ok:
            break
        report(events[0])
        if events[0]["type"] == "closed":
            return
    await client.close()
    for event in client.queue:
        report(event)


def report(event):
    emit({"event": event["type"], **{k: v for k, v in event.items() if k != "type"}})


async def run(args):
    uri = "ws://%s:%d" % (args.host, args.port)
    try:
        ws = await asyncio.wait_for(
            websockets.connect(uri, ping_interval=None, max_size=MAX_MESSAGE, max_queue=None), args.connect_timeout)
    except (OSError, asyncio.TimeoutError, websockets.WebSocketException) as e:
        emit({"event": "error", "error": str(e) or type(e).__name__})
        return 1
    emit({"event": "connected", "host": args.host, "port": args.port})
    client = Client(ws)
    if args.control:
        await control_loop(client, min(args.lifetime, MAX_LIFETIME))
        if ws.open:
            await client.close()
    else:
        await one_shot(client, args.send, args.wait)
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--send", action="append", default=[], metavar="TEXT", help="a text frame to send")
    parser.add_argument("--wait", type=float, default=1.0, help="seconds to wait for frames (one-shot)")
    parser.add_argument("--control", action="store_true", help="take commands on standard input")
    parser.add_argument("--lifetime", type=float, default=300.0, help="seconds before the client ends by itself")
    parser.add_argument("--connect-timeout", type=float, default=5.0)
    args = parser.parse_args()
    if not 0 < args.port <= 65535:
        parser.error("port out of range")
    try:
        return asyncio.run(run(args))
    except KeyboardInterrupt:
        return 0


if __name__ == "__main__":
    sys.exit(main())
