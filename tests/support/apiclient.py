#!/usr/bin/python3
"""A client of the terminal's local websocket API, for tests and for trying the API by hand.

Written from the API's message tables, not from the terminal's own builders.
Replies are reported as they come, uninterpreted, so a test can compare them
byte for byte. Every line on standard output is one JSON object; the first is
{"event": "connected", ...} or {"event": "error", "error": ...} (exit 1).

    apiclient.py --port N [--send TEXT]... [--wait SECONDS]
        sends each TEXT as a text frame and reports each event until the
        server closes or SECONDS pass: {"event": "text", "text": ...},
        {"event": "binary", "hex": ...},
        {"event": "closed", "code": 1000, "reason": "", "byServer": true}
    apiclient.py --port N --control [--lifetime SECONDS]
        one JSON command a line on standard input, one reply line each,
        {"ok": true, ...} or {"ok": false, "error": ...}; events queue (with
        "type" for "event") until taken. End of input closes and ends it.
        {"cmd": "send", "text": T, "repeat": n, "frames": k}
            k text frames (1 by default), each T n times, back to back
        {"cmd": "send", "hex": H}                one binary frame
        {"cmd": "ping", "frames": k}
            k pings of 125 bytes, back to back, written straight to the
            connection: the server is to answer each, read or not
        {"cmd": "pause"}, {"cmd": "resume"}
            stops and starts reading from the connection: while paused,
            what the server sends stays queued on its side
        {"cmd": "expect", "count": n, "timeoutMs": t}
            the next n events; too few: ok false, those that came in
            "events", still queued
        {"cmd": "drain", "timeoutMs": t}
            every event up to the end of the connection, dropped unseen:
            "texts", how many text frames there were, and "closed", the
            end; too soon: ok false, nothing taken
        {"cmd": "close", "code": 1000, "reason": ""}
            closes from this side and waits for the server's answer
"""

import argparse
import asyncio
import json
import socket
import sys

import websockets

# The client accepts whatever the server sends; limits are the server's business.
MAX_MESSAGE = 1 << 30
MAX_LIFETIME = 86400.0
# Messages read ahead of the event queue: the reader takes them as they come,
# so this only matters while paused, when it makes the client stop reading.
READ_AHEAD = 4
# The largest payload a control frame may carry.
PING_BYTES = 125
# The connection's receive buffer, fixed: left to itself the kernel grows it
# with the pace of reading, up to the machine's tcp_rmem maximum, and would
# take megabytes in a paused client's stead that the server is to hold.
RECEIVE_BUFFER = 1 << 16


def emit(obj):
    sys.stdout.write(json.dumps(obj) + "\n")
    sys.stdout.flush()


class Client:
    def __init__(self, ws):
        self.ws = ws
        self.queue = []
        self.arrived = asyncio.Condition()
        self.closed_by_client = False
        self.ended = False
        self.reading = asyncio.Event()
        self.reading.set()
        self.receiver = asyncio.ensure_future(self.receive())

    async def receive(self):
        try:
            async for message in self.ws:
                await self.reading.wait()
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
            self.ended = self.ended or event["type"] == "closed"
            self.arrived.notify_all()

    async def take(self, count, timeout):
        async with self.arrived:
            try:
                await asyncio.wait_for(self.arrived.wait_for(lambda: len(self.queue) >= count), timeout)
            except asyncio.TimeoutError:
                return False, list(self.queue)
            taken, self.queue = self.queue[:count], self.queue[count:]
            return True, taken

    async def drain(self, timeout):
        async with self.arrived:
            try:
                await asyncio.wait_for(self.arrived.wait_for(lambda: self.ended), timeout)
            except asyncio.TimeoutError:
                return None
            texts = sum(1 for e in self.queue if e["type"] == "text")
            closed, self.queue = self.queue[-1], []
            return {"texts": texts, "closed": closed}

    async def close(self, code=1000, reason=""):
        self.closed_by_client = True
        self.reading.set()
        await self.ws.close(code, reason)
        await self.receiver

    async def command(self, obj):
        cmd = obj.get("cmd")
        if cmd == "send":
            if "hex" in obj:
                await self.ws.send(bytes.fromhex(obj["hex"]))
            else:
                text = str(obj["text"]) * int(obj.get("repeat", 1))
                for _ in range(int(obj.get("frames", 1))):
                    await self.ws.send(text)
            return {}
        if cmd == "ping":
            # Masked with a zero key, so the payload goes as it is. The
            # library's own ping() would wait for each pong.
            ping = bytes([0x89, 0x80 | PING_BYTES]) + bytes(4) + bytes(PING_BYTES)
            self.ws.transport.write(ping * int(obj.get("frames", 1)))
            return {}
        if cmd == "pause":
            self.reading.clear()
            return {}
        if cmd == "resume":
            self.reading.set()
            return {}
        if cmd == "expect":
            count = int(obj.get("count", 1))
            ok, events = await self.take(count, int(obj.get("timeoutMs", 5000)) / 1000.0)
            result = {"events": events}
            if not ok:
                result.update(ok=False, error="%d of %d events arrived" % (len(events), count))
            return result
        if cmd == "drain":
            result = await self.drain(int(obj.get("timeoutMs", 5000)) / 1000.0)
            return result if result else {"ok": False, "error": "the connection has not ended"}
        if cmd == "close":
            await self.close(int(obj.get("code", 1000)), str(obj.get("reason", "")))
            return {}
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


async def connect(host, port):
    sock = socket.socket(socket.AF_INET6 if ":" in host else socket.AF_INET, socket.SOCK_STREAM)
    try:
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, RECEIVE_BUFFER)
        sock.setblocking(False)
        await asyncio.get_running_loop().sock_connect(sock, (host, port))
        host_text = "[%s]" % host if ":" in host else host
        return await websockets.connect("ws://%s:%d" % (host_text, port), sock=sock, ping_interval=None,
                                        max_size=MAX_MESSAGE, max_queue=READ_AHEAD)
    except BaseException:
        sock.close()
        raise


async def run(args):
    try:
        ws = await asyncio.wait_for(connect(args.host, args.port), args.connect_timeout)
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
    parser.add_argument("--connect-timeout", type=float, default=120.0)
    args = parser.parse_args()
    if not 0 < args.port <= 65535:
        parser.error("port out of range")
    try:
        return asyncio.run(run(args))
    except KeyboardInterrupt:
        return 0


if __name__ == "__main__":
    sys.exit(main())
